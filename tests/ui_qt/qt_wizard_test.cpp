// The private branch wizard as a QWizard, on the offscreen platform.
#include <gtest/gtest.h>
#include <time.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <algorithm>

#include "platform/clock.h"
#include "ui/qt/wizard.h"
#include "ui_qt/qt_script.h"

namespace kelmora::test {
namespace {

// 30 January 2027, 12:59:58 PM.
std::time_t LateJanuary() {
    std::tm local{};
    strptime("2027-01-30 12:59:58", "%Y-%m-%d %H:%M:%S", &local);
    local.tm_isdst = -1;
    return std::mktime(&local);
}

class CRecordingHost : public CPrivateBranchHost {
public:
    int CreateBranchType(const std::string& branch, const std::string&) override {
        calls.push_back("create " + branch);
        return 0;
    }
    BOOL CheckLabel(const std::string&) override { return TRUE; }
    void ComposePrivateBranchConfigSpec(const std::string& selector, const std::string&) override {
        calls.push_back("compose " + selector);
    }
    void ComposePrivateBranchConfigSpecAtTime(const std::string& time,
                                              const std::string&) override {
        calls.push_back("compose at " + time);
    }
    void set_private_branch(const std::string&) override {}
    BOOL WriteConfigSpecAndUpdateView(BOOL, int) override { return TRUE; }
    const std::string& checkpoints() const override { return checkpoints_; }

    std::vector<std::string> calls;
    std::string checkpoints_;
};

class QtWizardTest : public ::testing::Test {
protected:
    QtWizardTest() { sheet_.set_host(&host_); }
    // Enabled state of Back, Next, Finish.
    static std::string Buttons(QWizard& wizard) {
        std::string state;
        for (auto which : {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton})
            state += wizard.button(which)->isEnabled() ? '1' : '0';
        return state;
    }
    template <typename W>
    static W* Field(QWidget& wizard, int id) {
        return qobject_cast<W*>(static_cast<qt::CQtBranchPSheet&>(wizard).binding().Widget(id));
    }
    CScopedClock clock_{&LateJanuary};
    CQtFrontEnd front_end_;
    CRecordingHost host_;
    CBranchPSheet sheet_{"", nullptr, CBranchPSheet::kNamePage};
};

TEST_F(QtWizardTest, TheRadioDecidesBetweenFinishAndNextAndBackIsOffOnTheFirstPage) {
    std::vector<std::string> states;
    QString focus_after_no;
    CModalScript script;
    script
        .On<qt::CQtBranchPSheet>([&](qt::CQtBranchPSheet& wizard) {
            EXPECT_EQ(wizard.windowTitle(), "Set Up A Private Branch");
            std::vector<QAbstractButton*> row;
            for (auto which : {QWizard::CancelButton, QWizard::FinishButton, QWizard::NextButton,
                               QWizard::BackButton, QWizard::HelpButton})
                if (wizard.button(which)->isVisible()) row.push_back(wizard.button(which));
            std::sort(row.begin(), row.end(), [&](auto* a, auto* b) {
                return a->mapTo(&wizard, QPoint()).x() < b->mapTo(&wizard, QPoint()).x();
            });
            std::string order;
            for (auto* button : row) order += button->text().toStdString() + "|";
            EXPECT_EQ(order, "< &Back|&Next >|&Finish|Cancel|");
            states.push_back(Buttons(wizard));
            ButtonOf(wizard, CWizName::kNoCaption)->click();
            focus_after_no = wizard.focusWidget()->property("text").toString();
            states.push_back(Buttons(wizard));
            // Next with no name is refused.
            wizard.button(QWizard::NextButton)->click();
        })
        .Answer(QMessageBox::Ok)
        .On<qt::CQtBranchPSheet>([&](qt::CQtBranchPSheet& wizard) {
            auto* name = Field<QLineEdit>(wizard, CWizName::kNameEditId);
            EXPECT_EQ(wizard.focusWidget(), name);
            QTest::keyClicks(name, "jdoe_fix");
            wizard.button(QWizard::NextButton)->click();
            EXPECT_EQ(wizard.currentId(), CBranchPSheet::kBranchPointPage);
            EXPECT_EQ(wizard.windowTitle(), "Set Up A Private Branch - Step 2 of 2");
            states.push_back(Buttons(wizard));
            wizard.button(QWizard::BackButton)->click();
            states.push_back(Buttons(wizard));
            wizard.button(QWizard::CancelButton)->click();
        });
    EXPECT_EQ(front_end_.ui().RunBranchPSheet(sheet_), IDCANCEL);
    EXPECT_EQ(script.steps_left(), 0u);
    EXPECT_EQ(states, (std::vector<std::string>{"001", "010", "101", "010"}));
    EXPECT_EQ(script.box_texts(),
              std::vector<std::string>{"You must first enter a name for the private branch."});
    EXPECT_EQ(sheet_.completion(), 1);
    EXPECT_EQ(focus_after_no, "&Next >");
    EXPECT_TRUE(host_.calls.empty());
}

// Typing goes into the name and Enter finishes; squeezed, the window keeps
// the room its layout needs.
TEST_F(QtWizardTest, KeyboardAloneFinishesAndTheWindowKeepsItsMinimumSize) {
    QSize squeezed, needed;
    CModalScript script;
    script.On<qt::CQtBranchPSheet>([&](qt::CQtBranchPSheet& wizard) {
        wizard.resize(580, 200);
        squeezed = wizard.size();
        needed = wizard.currentPage()->minimumSizeHint();
        QTest::keyClicks(QApplication::focusWidget(), "jdoe_fix");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(front_end_.ui().RunBranchPSheet(sheet_), CBranchPSheet::kFinishId);
    EXPECT_GE(squeezed.height(), needed.height());
    ASSERT_FALSE(host_.calls.empty());
    EXPECT_EQ(host_.calls.front(), "create jdoe_fix");
}

TEST_F(QtWizardTest, TheSpinButtonActsOnTheFocusedFieldAndTheDayFollowsTheMonth) {
    sheet_.name_page().set_name("jdoe_fix");
    std::vector<std::string> seen;
    CModalScript script;
    script.On<qt::CQtBranchPSheet>([&](qt::CQtBranchPSheet& wizard) {
        ButtonOf(wizard, CWizName::kNoCaption)->click();
        wizard.button(QWizard::NextButton)->click();
        const auto arrows = Field<qt::CTimeSpinButton>(wizard, CWizBranchPt::kTimeSpinId)
                                ->findChildren<QToolButton*>();
        // The arrows act on the focused field; with none, on the marker.
        // How each field goes round is the model's.
        auto* hour = Field<QLineEdit>(wizard, CWizBranchPt::kHourEditId);
        hour->setFocus();
        arrows[0]->click();
        seen.push_back(hour->text().toStdString() + (hour->hasSelectedText() ? "*" : ""));
        auto* month = Field<QComboBox>(wizard, CWizBranchPt::kMonthListId);
        month->setFocus();
        arrows[1]->click();
        seen.push_back(Field<QLineEdit>(wizard, CWizBranchPt::kMarkerEditId)->text().toStdString());
        // January 30th, then February: the day's box follows.
        auto* day = Field<QSpinBox>(wizard, CWizBranchPt::kDayEditId);
        month->setCurrentIndex(1);
        emit month->activated(1);
        seen.push_back(std::to_string(day->value()) + "/" + std::to_string(day->maximum()));
        wizard.button(QWizard::FinishButton)->click();
    });
    EXPECT_EQ(front_end_.ui().RunBranchPSheet(sheet_), CBranchPSheet::kFinishId);
    EXPECT_EQ(seen, (std::vector<std::string>{" 1*", "AM", "28/28"}));
    EXPECT_EQ(host_.calls,
              (std::vector<std::string>{"create jdoe_fix", "compose at 28-February-2027.1:59:58"}));
}

}  // namespace
}  // namespace kelmora::test
