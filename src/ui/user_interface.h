#pragma once

#include <string>

namespace kelmora {

class CAssocDlg;
class CBranchPSheet;
class CCOsDlg;
class CEditCSpec;
class CFinishDlg;
class CDissocDlg;
class CNamePrompt;
class CCheckoutList;
class CProfilePicker;

// Message box style words and answers, as the operations pass and test them.
enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_BUTTON_MASK = 0x0F,
    MB_ICON_MASK = 0xF0,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
// What a front end answers for a window it does not have.
inline constexpr int kNoWindow = -1;

// The one way the operations reach the user. Front ends (console, Qt)
// implement it; operations never draw. Each modal dialog of the module has a
// Run... member: the front end initialises the model, shows it and forwards
// the user's actions to its handlers until the model ends, and returns the
// model's result. A front end without that dialog answers IDCANCEL.
class CUserInterface {
public:
    virtual ~CUserInterface() = default;

    // Shows text in a box titled with the application name; returns the answer.
    virtual int MessageBox(const std::string& text, unsigned style) = 0;

    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}

    // Runs the name prompt modally: IDOK with the entered name in the
    // model, or IDCANCEL. A front end without this dialog cannot ask.
    virtual int RunNamePrompt(CNamePrompt& prompt) { return IDCANCEL; }
    virtual int RunAssocDlg(CAssocDlg& dialog) { return IDCANCEL; }
    virtual int RunCOsDlg(CCOsDlg& dialog) { return IDCANCEL; }
    virtual int RunFinishDlg(CFinishDlg& dialog) { return IDCANCEL; }
    virtual int RunEditCSpec(CEditCSpec& dialog) { return IDCANCEL; }
    // Runs the private branch wizard: the sheet's result is ID_WIZFINISH
    // after a Finish, IDCANCEL after a Cancel.
    virtual int RunBranchPSheet(CBranchPSheet& sheet) { return IDCANCEL; }

    // Runs the dissociate dialog modally: IDOK when its Yes closed it (the
    // model's done is then set), IDCANCEL for No. A front end without this
    // dialog answers No.
    virtual int RunDissocDlg(CDissocDlg& dialog) { return IDCANCEL; }

    // The windows of the sibling programs: the profile browser and the list
    // of checkouts. A front end without them answers kNoWindow, and the
    // program runs instead (on the terminal).
    virtual int RunProfilePicker(CProfilePicker& picker) { return kNoWindow; }
    virtual int RunCheckoutList(CCheckoutList& list) { return kNoWindow; }

    // False once the front end knows that no answer can come any more (its
    // input has ended); an operation that would ask again and again stops.
    virtual bool IsUserPresent() const { return true; }
};

// The front end in use. Until one is installed, the default one serves.
CUserInterface& UserInterface();
// The console front end on the process's standard input and error; defined
// with it in ui/console/, so that the seam includes nothing above it.
CUserInterface& DefaultUserInterface();
// Installs a front end (not owned; nullptr restores the default); returns the previous one.
CUserInterface* SetUserInterface(CUserInterface* ui);

// Makes the front end on first use: while none is installed, the first call
// of UserInterface() runs the loader once and installs what it returns (not
// owned); when it returns nullptr the default serves. nullptr drops a loader
// that has not run.
using UserInterfaceLoader = CUserInterface* (*)();
void SetUserInterfaceLoader(UserInterfaceLoader loader);

// Title of every box: the application name set at start-up.
std::string ApplicationName();
void SetApplicationName(const std::string& name);

// Shows the wait cursor for one scope.
class CWaitCursor {
public:
    CWaitCursor() { UserInterface().BeginWaitCursor(); }
    ~CWaitCursor() { UserInterface().EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Installs a front end for one scope.
class CScopedUserInterface {
public:
    explicit CScopedUserInterface(CUserInterface* ui) : previous_(SetUserInterface(ui)) {}
    ~CScopedUserInterface() { SetUserInterface(previous_); }
    CScopedUserInterface(const CScopedUserInterface&) = delete;
    CScopedUserInterface& operator=(const CScopedUserInterface&) = delete;

private:
    CUserInterface* previous_;
};

}  // namespace kelmora
