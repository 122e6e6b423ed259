// qtui_screenshots: shows every dialog of the Qt front end with sample
// contents and writes a picture of each window into a folder
// (scripts/screenshots runs it under a virtual X server).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWizard>
#include <cstdio>
#include <cstring>
#include <functional>

#include "platform/clock.h"
#include "ui/assoc_dlg.h"
#include "ui/branch_psheet.h"
#include "ui/cos_dlg.h"
#include "ui/dissoc_dlg.h"
#include "ui/edit_cspec.h"
#include "ui/finish_dlg.h"
#include "ui/name_prompt.h"
#include "ui/qt/qt_user_interface.h"
#include "ui/qt/wizard.h"

namespace {

using namespace kelmora;

QString g_folder;
bool g_ok = true;

// 7 December 2026, 9:05:07 PM local time, so that the pictures do not change.
std::time_t SampleTime() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 7;
    local.tm_hour = 21;
    local.tm_min = 5;
    local.tm_sec = 7;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

// Once the next modal window is up: saves its picture, then acts on it.
void Capture(const char* name, std::function<void(QWidget*)> then) {
    QTimer::singleShot(400, [name, then] {
        QWidget* window = QApplication::activeModalWidget();
        if (!window) {
            std::fprintf(stderr, "qtui_screenshots: no window for %s\n", name);
            g_ok = false;
            return;
        }
        const QString path = g_folder + "/" + name + ".png";
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "qtui_screenshots: cannot write %s\n", qPrintable(path));
            g_ok = false;
        }
        then(window);
    });
}

void Close(QWidget* window) {
    static_cast<QDialog*>(window)->reject();
}

QAbstractButton* ButtonNamed(QWidget* window, const QString& text) {
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (button->text() == text) return button;
    return nullptr;
}

struct CSampleHosts : CAssociationHost, CDissociationHost, CPrivateBranchHost {
    BOOL RunAssociationStep(const std::string&) override { return TRUE; }
    BOOL RunDissociationStep() override { return TRUE; }
    int CreateBranchType(const std::string&, const std::string&) override { return 1; }
    BOOL CheckLabel(const std::string&) override { return TRUE; }
    void ComposePrivateBranchConfigSpec(const std::string&, const std::string&) override {}
    void ComposePrivateBranchConfigSpecAtTime(const std::string&, const std::string&) override {}
    void set_private_branch(const std::string&) override {}
    BOOL WriteConfigSpecAndUpdateView(BOOL, int) override { return TRUE; }
    const std::string& checkpoints() const override { return checkpoints_; }
    std::string checkpoints_ = "REL_1.0 REL_1.1 BETA_2";
};

constexpr char kSampleConfigSpec[] =
    "# [SM_PROJECT - Stavemark View Profile Information\r\n"
    "#        Name - \\Stavemark View Profiles\\Proj\r\n"
    "#        ID - 0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7\r\n"
    "#\r\n"
    "element * CHECKEDOUT\r\n"
    "element * ...\\jdoe_dev\\LATEST\r\n"
    "mkbranch jdoe_dev\r\n"
    "time 7-December-2026.21:05:07\r\n"
    "#\r\n"
    "#       Any modifications to this config spec should\r\n"
    "#       be made following this comment.\r\n"
    "# SM_PROJECT]\r\n"
    "\r\n"
    "element -file \"\\vob\\My Documents\\...\" \\main\\LATEST -nocheckout\r\n"
    "element * .../int/LATEST   # the integration branch\r\n"
    "element * \\main\\0 -mkbranch int\r\n"
    "load \\vobA\r\n";

void ShowAll(qt::CQtUserInterface& ui) {
    CSampleHosts hosts;
    {
        CAssocDlg dialog(&hosts);
        dialog.set_name_text("\\Stavemark View Profiles\\Proj");
        Capture("associate", Close);
        ui.RunAssocDlg(dialog);
    }
    {
        CDissocDlg dialog(&hosts);
        Capture("dissociate", Close);
        ui.RunDissocDlg(dialog);
    }
    {
        CCOsDlg dialog("jdoe_view", FALSE, kCheckoutsSetUpBranch);
        dialog.set_message("The view jdoe_view has 2 checked out elements.");
        Capture("checkouts", Close);
        ui.RunCOsDlg(dialog);
    }
    {
        CFinishDlg dialog;
        Capture("finish", Close);
        ui.RunFinishDlg(dialog);
    }
    {
        CNamePrompt prompt;
        prompt.set_message("Unable to name the new View Profile.");
        prompt.set_name("Proj2");
        Capture("name-prompt", Close);
        ui.RunNamePrompt(prompt);
    }
    {
        CBranchPSheet sheet("", nullptr, CBranchPSheet::kNamePage);
        sheet.SetWizardMode();
        sheet.set_host(&hosts);
        sheet.name_page().set_name("jdoe_fix");
        sheet.name_page().set_comment("Fix for the report layout");
        Capture("wizard-name", [](QWidget* window) {
            ButtonNamed(window, QString::fromStdString(CWizName::kNoCaption))->click();
            static_cast<QWizard*>(window)->button(QWizard::NextButton)->click();
            Capture("wizard-branch-point", Close);
        });
        ui.RunBranchPSheet(sheet);
    }
    {
        CEditCSpec dialog;
        dialog.set_config_spec_text(kSampleConfigSpec);
        Capture("config-spec-editor", [](QWidget* window) {
            ButtonNamed(window, "&Edit")->click();
            Close(window);
        });
        ui.RunEditCSpec(dialog);
    }
    {
        CEditCSpec dialog;
        dialog.set_config_spec_text(std::string(kSampleConfigSpec) + "element * \\main\\LATEST extra\r\n");
        Capture("config-spec-editor-error", [](QWidget* window) {
            ButtonNamed(window, "&Edit")->click();
            auto* view = window->findChild<QPlainTextEdit*>();
            view->moveCursor(QTextCursor::End);
            view->insertPlainText(" ");
            Capture("message-box", [window](QWidget* box) {
                static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
                Capture("config-spec-editor-error", [](QWidget* editor) {
                    // Leave without keeping the text.
                    static_cast<QDialog*>(editor)->done(QDialog::Rejected);
                });
            });
            ButtonNamed(window, "&Save")->click();
        });
        ui.RunEditCSpec(dialog);
    }
    {
        CEditCSpec dialog;
        dialog.set_config_spec_text(kSampleConfigSpec);
        dialog.set_context_text("jdoe_ws");
        dialog.set_hidden_mode(1);
        Capture("config-spec-editor-hidden", Close);
        ui.RunEditCSpec(dialog);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: qtui_screenshots FOLDER\n"
                    "Shows every dialog of the Qt front end and writes a PNG of each into FOLDER.\n");
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: qtui_screenshots FOLDER\n");
        return 2;
    }
    QApplication application(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);
    SetApplicationName("Stavemark View Profiles");
    kelmora::CScopedClock clock(&SampleTime);
    qt::CQtUserInterface ui;
    kelmora::CScopedUserInterface installed(&ui);
    ShowAll(ui);
    return g_ok ? 0 : 1;
}
