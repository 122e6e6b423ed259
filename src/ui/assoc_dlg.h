#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/dialog_model.h"
#include "ui/operation_hosts.h"
#include "ui/profile_picker.h"

namespace kelmora {

// "Associate with Stavemark View Profile": the name of the profile to
// associate the view with, typed or picked with the profile browser. OK hands
// the name to the association step and stays open when that step fails.
class CAssocDlg : public CDialogModel {
public:
    static constexpr int kTemplateId = 105;
    static constexpr int kPictureFrameId = 173;
    static constexpr int kPromptFirstId = 102;
    static constexpr int kPromptSecondId = 103;
    static constexpr int kNameEditId = 104;
    static constexpr int kBrowseId = 106;
    static constexpr int kPictureBitmapId = 129;
    static constexpr size_t kMaxNameLength = 1024;
    static constexpr char kTitle[] = "Associate with Stavemark View Profile";
    static constexpr char kPromptFirst[] = "Enter the name of the Stavemark View Profile";
    static constexpr char kBrowseCaption[] = "Bro&wse";
    static constexpr char kHelpTopic[] = "private_branch_wizard/assocwithsmvprofile.htm";
    // The profile browser, where the front end has no window for it.
    static constexpr char kBrowserTool[] = "staveprojtool";
    static constexpr const char* kSelectionKeySuffix = CProfilePicker::kSelectionKeySuffix;

    explicit CAssocDlg(CAssociationHost* host = nullptr) : host_(host) {}

    void set_host(CAssociationHost* host) { host_ = host; }
    BOOL done() const { return done_; }
    // The name the last OK took from the field.
    const std::string& profile_name() const { return profile_name_; }
    // The text of the name field (edit 104).
    const std::string& name_text() const { return name_text_; }
    void set_name_text(std::string text) {
        name_text_ = LimitedText(std::move(text), kMaxNameLength);
    }
    const std::string& prompt_text() const { return prompt_text_; }

    int DoModal();
    BOOL OnInitDialog();
    // Runs the profile browser (the front end's window, else the program)
    // and takes its selection into the name field.
    void OnBrowse();
    void OnOK();
    void OnCancel() { EndDialog(IDCANCEL); }
    void OnHelp();

private:
    CAssociationHost* host_;
    BOOL done_ = FALSE;
    std::string profile_name_;
    std::string name_text_;
    std::string prompt_text_;
};

}  // namespace kelmora
