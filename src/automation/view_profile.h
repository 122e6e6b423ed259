#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "automation/vob_list.h"
#include "kelmora/automation.h"
#include "module/module_lock.h"
#include "platform/bool.h"
#include "platform/temp_file.h"
#include "ui/operation_hosts.h"
#include "ui/user_interface.h"

namespace kelmora {

class CClassFactory;
class CMessageRecorder;
class CTreeNode;

// Checkouts of a view that count, in one VOB (by its mount folder).
struct CVobCheckoutCount {
    std::string vob;
    int count = 0;
};

// What the last read association found.
enum class EAssociationState {
    kNotRead,
    kFound,             // the profile is where the config spec says
    kMoved,             // found elsewhere by GUID; the config spec was corrected
    kNotFound,          // neither at its place nor by GUID
    kNotInterpretable,  // the block was edited outside the module: a recovery was offered
    kUnreadable,        // the config spec could not be read
};

// The View Profile automation object: the view it works on, what it has read
// about that view and its profile, and every operation on them. Operations of
// the other layers are members too and are defined next to their layer's code.
// The dialog models reach the operations through the host interfaces.
class CViewProfile final : public IDispatch,
                           public CAssociationHost,
                           public CMergeArgumentsHost,
                           public CPrivateBranchHost {
public:
    CViewProfile();
    ~CViewProfile();
    CViewProfile(const CViewProfile&) = delete;
    CViewProfile& operator=(const CViewProfile&) = delete;

    // IUnknown / IDispatch (dispatch.cpp). The last Release deletes the object.
    HRESULT QueryInterface(const IID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT GetIDsOfNames(const char* const* names, uint32_t count, DISPID* ids) override;
    HRESULT Invoke(DISPID id, const DISPPARAMS* arguments, VARIANT* result) override;

    // Automation methods carried out by the object itself.
    std::string GetConfigSpec();
    void SetErrorString(const std::string& prefix) { error_prefix_ = prefix; }
    std::string GetNextVOB() override { return vob_list_.Next(); }
    // Reads the association first unless it has been read (view_profile.cpp).
    std::string GetProfileName();
    std::string GetProfileTreeRoot();
    BOOL SetViewTag(const std::string& tag);
    BOOL SetWorkspacePath(const std::string& path);
    void SuppressErrorDisplay(BOOL suppress) { suppress_error_display_ = suppress; }

    // Automation methods of the profile operations (operations/).
    BOOL Associate();
    BOOL Dissociate();
    std::string GetFirstVOB() override;
    std::string GetDescription();
    std::string GetDiagramPName();
    BOOL IsAssociated();
    BOOL IsOnPrivateBranch();
    // startup: the host's own check as work in the view starts; it tells less,
    // and lets the user defer the update.
    BOOL Synchronize(BOOL startup);
    // Mounts the profile's VOBs that are not mounted yet (operations/
    // mount_profile_vobs.cpp); TRUE when it mounted any. A non-empty
    // profile name replaces the object's before the VOB list is loaded.
    BOOL MountProfileVOBs(const std::string& profile_name);
    // Whether a VOB is mounted, as the mount of the profile's VOBs asks it.
    static BOOL IsVobMounted(const std::string& tag);

    // Error reporting (error_reporting.cpp). Display suppressed: one entry in
    // the operation log, nothing shown. Every report but a notice (the
    // information icon) counts as a failure of the call under way.
    void ReportError(std::string text, unsigned style);
    // For view access failures: pending client messages are shown (the
    // informational ones) or appended (the errors) first.
    void ReportErrorStop(std::string text);
    // A question to the user (Yes/No with the stop icon unless style says
    // otherwise). With display suppressed the question is logged and answered
    // No (Cancel for an OK/Cancel box) without asking.
    int AskQuestion(const std::string& text, unsigned style = MB_YESNO | MB_ICONSTOP);

    // Profile files (store/profile_files.cpp): reads a file while denying
    // writers, retrying while another process holds it. A missing file is an
    // empty text unless must_exist. Failures are reported here.
    BOOL ReadProfileFile(const std::string& path, std::string* text, BOOL must_exist,
                         BOOL first_block_only);
    // The tree as the profile picker lists it (store/profile_listing.cpp).
    bool ListProfileTree(std::vector<CProfileEntry>* entries) override;

    // The tree root from the machine's settings (store/tree_root_lookup.cpp).
    BOOL LookUpTreeRoot();

    // Profiles by GUID (store/profile_search.cpp). The search reads GUID
    // files with ReadProfileFile, so a file held by another writer is waited
    // for and reported, and the search goes on. The path lookup loads the
    // whole tree afresh (reporting to the log when display is suppressed) and
    // gives the profile's name below the tree root.
    CTreeNode* FindProfileByGuid(CTreeNode* start, const std::string& guid);
    BOOL ProfilePathByGuid(const std::string& guid, std::string* profile_name);

    // View access (cspec/view_access.cpp).
    BOOL FetchConfigSpecFile();
    BOOL LoadConfigSpec(BOOL first_block_only);
    BOOL WriteConfigSpecAndUpdateView(BOOL update_contents, int notice) override;

    // Composition (cspec/composition.cpp): each replaces the config spec
    // field; none writes the view. The profile form reads the profile's Rules
    // and GUID files; the private-branch forms use the fields that read
    // association filled.
    BOOL ComposeProfileConfigSpec();
    void ComposePrivateBranchConfigSpec(const std::string& selector,
                                        const std::string& branch) override;
    void ComposePrivateBranchConfigSpecAtTime(const std::string& time,
                                              const std::string& branch) override;
    // The view's load rules become the user rules (a first association keeps them).
    void CollectLoadRules();
    std::string LoadRulesOfGeneratedSection() const;

    // Association (cspec/association.cpp, cspec/recovery.cpp). Read
    // association parses the information block, follows a profile that moved
    // and offers to rebuild a config spec that was edited by hand.
    BOOL ReadAssociation();
    // Whether the profile name leads to a profile folder; unless quiet, a
    // FALSE answer is explained in a box whatever the suppress flag says.
    BOOL CheckProfileLocation(BOOL quiet);
    BOOL RecoverConfigSpec();
    EAssociationState association_state() const { return association_state_; }

    // The profile's current revision from its GUID file (operations/
    // synchronize.cpp); a text without one is reported (stop icon).
    BOOL ReadProfileRevision(int32_t* major, int32_t* minor);

    // Profile queries (operations/profile_queries.cpp).
    BOOL TestAssociation();
    BOOL TestPrivateBranch();
    BOOL LoadVobList();

    // The association step (operations/associate.cpp), the associate
    // dialog's OK and the end of Synchronize: the profile's config spec is
    // composed and put in the view (a workspace's user sees it in the hidden
    // editor first).
    BOOL RunAssociationStep(const std::string& profile_name) override;

    // The dissociate dialog's Yes (operations/dissociate.cpp): every comment
    // goes, the rules stay.
    BOOL DissociationStep();
    // Checkout detection (operations/checkout_detection.cpp): TRUE when the
    // view has a checkout that counts in a VOB it sees; FALSE when it has
    // none or cannot be examined. Never asks; problems are reported without
    // the error prefix.
    BOOL DetectCheckouts();
    // The same search without stopping early: every checkout that counts,
    // per VOB in the order the view sees them. FALSE when the view could not
    // be examined (reported as by the detection).
    BOOL CountCheckouts(std::vector<CVobCheckoutCount>* counts);

    // Private branches (operations/private_branch.cpp): the wizard, and the
    // finish dialog's publish or suspend.
    BOOL SetUpBranch(BOOL update);
    BOOL FinishBranch();
    // Branch and label types in the profile's VOBs (operations/branch_types.cpp),
    // for the wizard. Their messages are shown whatever the suppress flag says.
    int CreateBranchType(const std::string& branch, const std::string& comment) override;
    BOOL CheckLabel(const std::string& label) override;
    // The checkout gate (operations/checkout_gate.cpp), kind as the checkouts
    // dialog takes it (ECheckoutsKind): TRUE when the operation may go on.
    // With checkouts, the dialog is shown and the view searched again after
    // it, however it closed; checkouts that remain stop the operation with no
    // further message.
    BOOL PassCheckoutGate(int kind);
    // The gate's second half, for an operation that has detected checkouts
    // itself: the dialog, then TRUE when none remain.
    BOOL ResolveCheckoutsInDialog(int kind);

    // The object's state, for the operations of other layers and for hosts'
    // diagnostics.
    const std::string& view_tag() const override { return view_tag_; }
    BOOL is_workspace() const override { return is_workspace_; }
    const std::string& workspace_path() const override { return workspace_path_; }
    const std::string& config_spec_file() const { return config_spec_file_.path(); }
    const std::string& config_spec() const { return config_spec_; }
    void set_config_spec(std::string text) { config_spec_ = std::move(text); }
    const std::string& profile_tree_root() const { return profile_tree_root_; }
    const std::string& error_prefix() const { return error_prefix_; }
    BOOL suppress_error_display() const { return suppress_error_display_; }
    BOOL vob_list_loaded() const { return vob_list_loaded_; }
    BOOL config_spec_loaded() const { return config_spec_loaded_; }
    BOOL tree_root_known() const { return tree_root_known_; }
    BOOL association_read() const { return association_read_; }
    const std::string& profile_name() const { return profile_name_; }
    const std::string& profile_guid() const { return profile_guid_; }
    int32_t revision_major() const { return revision_major_; }
    int32_t revision_minor() const { return revision_minor_; }
    const std::string& private_branch() const override { return private_branch_; }
    void set_private_branch(const std::string& branch) override { private_branch_ = branch; }
    const std::string& admin_vob() const { return admin_vob_; }
    const std::string& checkpoints() const override { return checkpoints_; }
    const std::string& branch_point() const { return branch_point_; }
    const std::string& user_rules() const { return user_rules_; }

private:
    // FALSE, reported, unless the tool ran and exited 0.
    BOOL RunUpdateTool(const std::string& cspec_path);
    // String 41 with the error and the file, or the folder when no file was named.
    void ReportTempFileFailure(int error, const char* path);
    BOOL SearchCheckouts(std::vector<CVobCheckoutCount>* counts, bool* examined);
    // What setting up and finishing a private branch check first: a view is
    // named, its config spec read, it is associated, and the association read.
    BOOL ReadBranchAssociation();
    BOOL OfferRecovery();
    BOOL OfferDissociation(unsigned question);
    BOOL ProfileFolderExists(const std::string& profile_name) const;
    HRESULT InvokeMember(DISPID id, const VARIANT* argument, VARIANT* result);

    // Held from construction to destruction: DllCanUnloadNow answers S_FALSE
    // while any object lives.
    CModuleLock module_lock_;
    std::atomic<uint32_t> references_{1};

    std::string view_tag_;
    BOOL is_workspace_ = FALSE;
    std::string workspace_path_;
    // The file the view's config spec was fetched into; removed when the
    // object dies or the view's config spec is written.
    CTempFile config_spec_file_;
    std::string config_spec_;  // CR LF line ends
    std::string private_branch_;
    std::string branch_point_;
    std::string profile_name_;
    std::string user_rules_;
    std::string profile_tree_root_;
    std::string profile_guid_;
    CVobList vob_list_;  // with the iteration position
    std::string admin_vob_;
    std::string checkpoints_;
    int32_t revision_major_ = 0;
    int32_t revision_minor_ = 0;
    std::string error_prefix_;
    BOOL suppress_error_display_ = FALSE;
    BOOL vob_list_loaded_ = FALSE;
    BOOL config_spec_loaded_ = FALSE;
    BOOL tree_root_known_ = FALSE;
    BOOL association_read_ = FALSE;
    EAssociationState association_state_ = EAssociationState::kNotRead;
    // A failure was reported since the dispatch began the current call.
    BOOL failure_reported_ = FALSE;
    // The current call answers TRUE because the user cancelled (the wizard).
    BOOL cancelled_ = FALSE;
    // Keeps what the current call showed and logged, for the call log.
    CMessageRecorder* call_recorder_ = nullptr;
};

// The class factory of "KELMORA.VIEWPROFILE".
CClassFactory& ViewProfileClassFactory();

}  // namespace kelmora
