// The config spec editor with our editor widget, on the offscreen platform.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "ui/qt/edit_cspec_dialog.h"
#include "ui_qt/qt_script.h"

namespace kelmora::test {
namespace {

constexpr char kText[] = "element * CHECKEDOUT\r\nelement * \\main\\LATEST\r\n";

class QtEditCSpecTest : public ::testing::Test {
protected:
    QtEditCSpecTest() { model_.set_config_spec_text(kText); }
    static qt::CConfigSpecView& View(qt::CQtEditCSpec& dialog) { return *dialog.view(); }
    // Edit, then a third line typed at the end.
    static void TypeLine(qt::CQtEditCSpec& dialog, const char* line) {
        ButtonOf(dialog, "&Edit")->click();
        View(dialog).moveCursor(QTextCursor::End);
        QTest::keyClicks(&View(dialog), line);
    }
    CQtFrontEnd front_end_;
    CEditCSpec model_;
};

TEST_F(QtEditCSpecTest, CloseWithoutAChangeAsksNothing) {
    CModalScript script;
    script.On<qt::CQtEditCSpec>([](qt::CQtEditCSpec& dialog) {
        ButtonOf(dialog, "&Edit")->click();
        ButtonOf(dialog, "&Close")->click();
    });
    EXPECT_EQ(front_end_.ui().RunEditCSpec(model_), IDOK);
    EXPECT_TRUE(script.box_texts().empty());
    EXPECT_EQ(model_.config_spec_text(), kText);
}

// A change asks; Cancel stays in the editor, Yes with a text that does not
// parse is refused with its line marked, No keeps the text as it was.
TEST_F(QtEditCSpecTest, CloseAfterAChangeAsksAndNeverKeepsAnUnparsableText) {
    int marked_line = 0;
    bool editor_focused = false;
    bool save_enabled = false;
    CModalScript script;
    script
        .On<qt::CQtEditCSpec>([&](qt::CQtEditCSpec& dialog) {
            TypeLine(dialog, "element * \\main\\LATEST extra");
            save_enabled = ButtonOf(dialog, "&Save")->isEnabled();
            ButtonOf(dialog, "&Close")->click();
        })
        .Answer(QMessageBox::Cancel)
        .On<qt::CQtEditCSpec>([&](qt::CQtEditCSpec& dialog) {
            editor_focused = dialog.focusWidget() == dialog.view();
            ButtonOf(dialog, "&Close")->click();
        })
        .Answer(QMessageBox::Yes)
        .Answer(QMessageBox::Ok)
        .On<qt::CQtEditCSpec>([&](qt::CQtEditCSpec& dialog) {
            marked_line = dialog.view()->marked_line();
            ButtonOf(dialog, "&Close")->click();
        })
        .Answer(QMessageBox::No);
    EXPECT_EQ(front_end_.ui().RunEditCSpec(model_), IDOK);
    EXPECT_EQ(script.steps_left(), 0u);
    ASSERT_EQ(script.box_texts().size(), 4u);
    EXPECT_EQ(script.box_texts()[0], "Save changes to the config spec?");
    EXPECT_EQ(script.box_texts()[1], "Save changes to the config spec?");
    EXPECT_EQ(script.box_texts()[2].rfind("The config spec contains a syntax error on line 3,", 0),
              0u)
        << script.box_texts()[2];
    EXPECT_TRUE(save_enabled);
    EXPECT_TRUE(editor_focused);
    EXPECT_EQ(marked_line, 3);
    EXPECT_EQ(model_.config_spec_text(), kText);
}

// The hidden editor says what it is for, marks a line that does not parse
// while the user types, and hands back every byte of the lines left alone
// (a Latin-1 path here) on Done; Cancel goes on with the text handed in.
struct CHiddenCase {
    const char* name;
    const char* button;
    int result;
    bool keeps_edit;
};

class QtHiddenEditorTest : public ::testing::TestWithParam<CHiddenCase> {};

TEST_P(QtHiddenEditorTest, TellsWhatItIsMarksErrorsAndKeepsEveryByte) {
    const CHiddenCase& c = GetParam();
    const std::string given = "element * CHECKEDOUT\r\nload /vobs/src/M\xfcller\r\n";
    CQtFrontEnd front_end;
    CEditCSpec model;
    model.set_config_spec_text(given);
    model.set_hidden_mode(1);
    model.set_context_text("jdoe_ws");
    QString title;
    bool edit_button = false, caption = false;
    int marked_line = 0;
    CModalScript script;
    script.On<qt::CQtEditCSpec>([&](qt::CQtEditCSpec& dialog) {
        title = dialog.windowTitle();
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
            edit_button = edit_button || button->text() == "&Edit";
        for (QLabel* label : dialog.findChildren<QLabel*>())
            caption = caption || label->text().toStdString() == model.HiddenCaption();
        dialog.view()->moveCursor(QTextCursor::End);
        QTest::keyClicks(dialog.view(), "bogus");
        QTest::qWait(qt::CQtEditCSpec::kCheckDelayMs * 2);
        marked_line = dialog.view()->marked_line();
        ButtonOf(dialog, c.button)->click();
    });
    EXPECT_EQ(front_end.ui().RunEditCSpec(model), c.result);
    EXPECT_EQ(title, "Stavemark Config Spec Editor: jdoe_ws");
    EXPECT_FALSE(edit_button);
    EXPECT_TRUE(caption);
    EXPECT_EQ(marked_line, 3);
    EXPECT_EQ(model.config_spec_text(), c.keeps_edit ? given + "bogus" : given);
}

INSTANTIATE_TEST_SUITE_P(Buttons, QtHiddenEditorTest,
                         ::testing::Values(CHiddenCase{"Done", qt::CQtEditCSpec::kDoneCaption, IDOK,
                                                       true},
                                           CHiddenCase{"Cancel", "Cancel", IDCANCEL, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct CHighlightCase {
    const char* name;
    const char* line;
    int position;
    int kind;
};

class ConfigSpecHighlightTest : public ::testing::TestWithParam<CHighlightCase> {};

TEST_P(ConfigSpecHighlightTest, ColoursRulesSelectorsCommentsAndMarkers) {
    const CHighlightCase& c = GetParam();
    EXPECT_EQ(qt::CConfigSpecHighlighter::KindAt(QString::fromLatin1(c.line), c.position), c.kind);
}

using H = qt::CConfigSpecHighlighter;
INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigSpecHighlightTest,
    ::testing::Values(
        CHighlightCase{"Keyword", "  element * CHECKEDOUT", 2, H::kKeyword},
        CHighlightCase{"Checkedout", "element * CHECKEDOUT", 10, H::kSelector},
        CHighlightCase{"VersionPath", "element * .../jdoe/LATEST -nocheckout", 12, H::kSelector},
        CHighlightCase{"LabelSelector", "element -file \"a b\" REL_2.1 -nocheckout", 22,
                       H::kSelector},
        CHighlightCase{"Option", "element * \\main\\0 -mkbranch int", 20, H::kOption},
        CHighlightCase{"Comment", "element * \\main\\LATEST # new", 24, H::kComment},
        CHighlightCase{"HashInAWord", "element * REL#1", 13, -1},
        CHighlightCase{"HashInQuotes", "element \"a #b\" x", 11, -1},
        CHighlightCase{"SectionStart", "# [SM_PROJECT - View Profile Config Spec", 5, H::kMarker},
        CHighlightCase{"SectionEnd", "# SM_PROJECT]", 0, H::kMarker}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelmora::test
