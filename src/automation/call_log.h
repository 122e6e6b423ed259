#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ui/user_interface.h"

// The structured log beside the operation log: one JSON object per call of a
// method, one line each, in "viewprofile.jsonl" in the product's log folder.
namespace kelmora {

inline constexpr const char* kCallLogName = "viewprofile.jsonl";

// What one call did, as the log keeps it.
struct CCallLogEntry {
    std::string view_tag;
    std::string workspace_path;  // empty for a view named by its tag
    std::string method;
    std::vector<std::string> arguments;
    std::string result;                 // "TRUE", "FALSE", the text, or empty
    std::string outcome;                // "ok", "failed" or "cancelled"
    std::vector<std::string> messages;  // shown or logged, in order
    std::chrono::system_clock::time_point started;
    std::chrono::steady_clock::duration duration{};
};

// The entry as one line of JSON, without its line end.
std::string FormatCallLogEntry(const CCallLogEntry& entry);

// Appends the entry in one write, so that processes logging at once never
// split a line. A log that cannot be written loses the entry silently.
void WriteCallLogEntry(const CCallLogEntry& entry);

// Installed for one call: passes everything on to the front end in use and
// keeps the text of every box shown.
class CMessageRecorder final : public CUserInterface {
public:
    CMessageRecorder();
    ~CMessageRecorder() override;
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    int MessageBox(const std::string& text, unsigned style) override;
    void BeginWaitCursor() override { Target().BeginWaitCursor(); }
    void EndWaitCursor() override { Target().EndWaitCursor(); }
    int RunNamePrompt(CNamePrompt& prompt) override { return Target().RunNamePrompt(prompt); }
    int RunAssocDlg(CAssocDlg& dialog) override { return Target().RunAssocDlg(dialog); }
    int RunCOsDlg(CCOsDlg& dialog) override { return Target().RunCOsDlg(dialog); }
    int RunFinishDlg(CFinishDlg& dialog) override { return Target().RunFinishDlg(dialog); }
    int RunEditCSpec(CEditCSpec& dialog) override { return Target().RunEditCSpec(dialog); }
    int RunBranchPSheet(CBranchPSheet& sheet) override { return Target().RunBranchPSheet(sheet); }
    int RunDissocDlg(CDissocDlg& dialog) override { return Target().RunDissocDlg(dialog); }
    bool IsUserPresent() const override;

    // A message that went to the operation log instead of a box.
    void Logged(const std::string& text) { messages_.push_back(text); }
    const std::vector<std::string>& messages() const { return messages_; }

private:
    // The front end in use, made (a loader run) only when first needed.
    CUserInterface& Target();

    CUserInterface* previous_ = nullptr;
    CUserInterface* target_ = nullptr;
    std::vector<std::string> messages_;
};

}  // namespace kelmora
