#pragma once

#include <string>

#include "platform/bool.h"
#include "ui/profile_picker.h"

// What the dialog models need of the View Profile object, as small interfaces
// that the object implements; the models know nothing above this layer.
namespace kelmora {

// How write config spec and update view tells the user about a workspace
// update before the update tool runs.
enum EViewUpdateNotice : int {
    kUpdateNoticeAnnounce = 3,  // show the "view will now be updated" notice
    kUpdateNoticeSilent = 4,
};

// The associate dialog's OK hands the typed name to the association step;
// its Browse lists the profile tree in a window where the front end has one.
class CAssociationHost : public CProfileTreeSource {
public:
    virtual ~CAssociationHost() = default;
    bool ListProfileTree(std::vector<CProfileEntry>*) override { return false; }
    // TRUE when the view now follows the profile; FALSE after that step has
    // told the user why not.
    virtual BOOL RunAssociationStep(const std::string& profile_name) = 0;
};

// What the merge preparation reads of the view and walks of its profile.
class CMergeArgumentsHost {
public:
    virtual ~CMergeArgumentsHost() = default;
    virtual const std::string& view_tag() const = 0;
    virtual BOOL is_workspace() const = 0;
    virtual const std::string& workspace_path() const = 0;
    virtual const std::string& private_branch() const = 0;
    // The profile's VOB tags in order; empty after the last.
    virtual std::string GetFirstVOB() = 0;
    virtual std::string GetNextVOB() = 0;
};

// What the private branch wizard's Finish runs on the View Profile object,
// and what it reads of it.
class CPrivateBranchHost {
public:
    virtual ~CPrivateBranchHost() = default;
    // The branch type in every VOB of the profile: 0 it is in place, 1 the
    // set-up ends without changing the view, 2 another name is wanted. The
    // user has been told and asked what there was to tell and ask.
    virtual int CreateBranchType(const std::string& branch, const std::string& comment) = 0;
    // TRUE when the label may serve as branch point; FALSE after telling why not.
    virtual BOOL CheckLabel(const std::string& label) = 0;
    // The private-branch config spec from a selector or from a time, left in the object.
    virtual void ComposePrivateBranchConfigSpec(const std::string& selector,
                                                const std::string& branch) = 0;
    virtual void ComposePrivateBranchConfigSpecAtTime(const std::string& time,
                                                      const std::string& branch) = 0;
    virtual void set_private_branch(const std::string& branch) = 0;
    virtual BOOL WriteConfigSpecAndUpdateView(BOOL update_contents, int notice) = 0;
    // The profile's checkpoint names separated by single blanks; empty: none.
    virtual const std::string& checkpoints() const = 0;
};

}  // namespace kelmora
