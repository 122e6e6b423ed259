#pragma once

#include <string>
#include <vector>

#include "ui/dialog_model.h"
#include "ui/operation_hosts.h"

namespace kelmora {

// Prepares the merge tool's arguments for publishing a private branch. The
// dialog itself is never shown; only its preparation runs.
class CXVOBsDlg : public CDialogModel {
public:
    static constexpr int kTemplateId = 142;
    static constexpr char kHelpTopic[] = "private_branch_wizard/mergeprivatebranch.htm";

    explicit CXVOBsDlg(CMergeArgumentsHost* host = nullptr) : host_(host) {}
    void set_host(CMergeArgumentsHost* host) { host_ = host; }

    // 1 when the arguments are ready; 0 when the profile names no VOB to
    // search (the user has been told).
    int PrepareMergeArguments();
    const std::string& merge_arguments() const { return merge_arguments_; }
    // The arguments as the merge tool gets them: the command line split into
    // its words, except that a workspace path stays one argument, blanks and all.
    const std::vector<std::string>& MergeArgumentVector() const { return merge_argument_vector_; }
    // " \vobA \vobB": a blank and a backslash before each VOB's name.
    const std::string& profile_vob_text() const { return profile_vob_text_; }

    void OnHelp();

private:
    CMergeArgumentsHost* host_;
    std::string merge_arguments_;
    std::vector<std::string> merge_argument_vector_;
    std::string profile_vob_text_;
};

}  // namespace kelmora
