// The private branch's type in every VOB of the profile (or once in its admin
// VOB), and the check that a label can serve as branch point. Both talk to
// the user directly: these questions are asked whatever the suppress flag says.
#include <algorithm>
#include <memory>
#include <vector>

#include "automation/client_lock.h"
#include "automation/view_profile.h"
#include "client/storage.h"
#include "client/type_admin.h"
#include "client/type_commands.h"
#include "client/vob_types.h"
#include "resources/message_text.h"
#include "resources/string_table.h"

namespace kelmora {

namespace {

constexpr size_t kStorageAreaSize = 2048;
constexpr size_t kTypeNameBufferSize = 256;
constexpr char kAdminInsert[] = "admin";
constexpr const char* kPredefinedLabels[] = {"LATEST", "CHECKEDOUT"};

// One VOB in which the type is looked for and made.
class CVOBInfo {
public:
    explicit CVOBInfo(std::string tag) : tag_(std::move(tag)) {}
    virtual ~CVOBInfo() = default;

    const std::string& tag() const { return tag_; }
    BOOL exists = FALSE;   // the type was found here
    BOOL created = FALSE;  // this run made it here

private:
    std::string tag_;
};

using CVobInfoList = std::vector<std::unique_ptr<CVOBInfo>>;

// A type found by its selector, with the VOB handle the lookup opened.
class CResolvedType {
public:
    CResolvedType() = default;
    ~CResolvedType() { vob_ob_close_resources(vob_); }
    CResolvedType(const CResolvedType&) = delete;
    CResolvedType& operator=(const CResolvedType&) = delete;

    tbs_status_t Resolve(const std::string& selector) {
        char name[kTypeNameBufferSize];
        uint32_t kind = 0;
        return vob_resolve_general(selector.c_str(), 0, 0, 0, &vob_, &object_, 0, &kind, 0,
                                   sizeof name, name);
    }
    // TRUE when the type is locked.
    BOOL IsLocked() {
        vob_lock_info_t* info = nullptr;
        tbs_status_t status = vob_obj_get_lock(vob_, &object_, 0, 1, &info);
        vob_ob_free_lock_info(info);
        return status == TBS_ST_OK ? TRUE : FALSE;
    }

private:
    vob_handle_t vob_ = nullptr;
    tbs_oid_t object_{};
};

std::string BranchTypeSelector(const std::string& branch, const std::string& vob) {
    return client::TypeSelector(client::ETypeKind::kBranch, branch, vob);
}

int Ask(const std::string& text, unsigned style) {
    return UserInterface().MessageBox(text, style);
}

// The admin VOB alone when the profile names one, else the profile's VOBs in order.
CVobInfoList Candidates(CViewProfile& profile) {
    CVobInfoList candidates;
    if (!profile.admin_vob().empty()) {
        candidates.push_back(std::make_unique<CVOBInfo>(profile.admin_vob()));
        return candidates;
    }
    for (std::string tag = profile.GetFirstVOB(); !tag.empty(); tag = profile.GetNextVOB())
        candidates.push_back(std::make_unique<CVOBInfo>(tag));
    return candidates;
}

}  // namespace

int CViewProfile::CreateBranchType(const std::string& branch, const std::string& comment) {
    const bool admin = !admin_vob_.empty();
    CVobInfoList candidates = Candidates(*this);
    if (candidates.empty())
        return Ask(FormatStringId(IDS_ASK_CONTINUE_WITHOUT_VOB_LIST, branch.c_str()), MB_YESNO) ==
                       IDYES
                   ? 0
                   : 1;
    client::CStorageArea area(stg_create_area(kStorageAreaSize));
    if (!area) {
        UserInterface().MessageBox(LoadString(IDS_ERR_BRTYPE_NO_MEMORY), MB_ICONSTOP);
        return 1;
    }

    // Existence: an existing type is reused only when the user says so, once.
    bool accepted = false, unlock = false;
    for (auto& vob : candidates) {
        CClientLock lock;
        CResolvedType type;
        if (type.Resolve(BranchTypeSelector(branch, vob->tag())) != TBS_ST_OK) continue;
        vob->exists = TRUE;
        if (!unlock && type.IsLocked()) {
            if (Ask(FormatStringId(IDS_ASK_UNLOCK_BRTYPE, branch.c_str()),
                    MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                return 2;
            unlock = accepted = true;
        } else if (!accepted) {
            if (Ask(FormatStringId(IDS_ASK_REUSE_BRTYPE, branch.c_str(), admin ? kAdminInsert : "",
                                   vob->tag().c_str()),
                    MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                return 2;
            accepted = true;
        }
    }

    if (unlock) {
        // Every VOB of the profile, and the admin VOB whose type it is.
        std::vector<std::string> tags;
        for (std::string tag = GetFirstVOB(); !tag.empty(); tag = GetNextVOB()) tags.push_back(tag);
        if (admin && std::find(tags.begin(), tags.end(), admin_vob_) == tags.end())
            tags.push_back(admin_vob_);
        for (const std::string& tag : tags) {
            CClientLock lock;
            const std::string selector = BranchTypeSelector(branch, tag);
            const char* selectors[] = {selector.c_str()};
            cmd_unlock_args_t record = client::TypeUnlockRecord(area.get(), selectors);
            // Nothing to unlock in a VOB (TBS_ST_ERR) is no failure.
            tbs_status_t status = cmd_unlock(&record);
            if (status != TBS_ST_OK && status != TBS_ST_ERR)
                UserInterface().MessageBox(FormatStringId(IDS_ERR_UNLOCK_BRTYPE, branch.c_str(),
                                                          tag.c_str(), tbs_strerror(status)),
                                           MB_ICONSTOP);
        }
    }

    for (auto& vob : candidates) {
        if (vob->exists) continue;
        CClientLock lock;
        const std::string selector = BranchTypeSelector(branch, vob->tag());
        const char* selectors[] = {selector.c_str()};
        cmd_mkbrtype_args_t record =
            client::BranchTypeCreationRecord(area.get(), selectors, admin, comment.c_str());
        tbs_status_t status;
        {
            CWaitCursor wait;
            status = cmd_mkbrtype(&record);
        }
        if (status == TBS_ST_OK) {
            vob->created = TRUE;
            continue;
        }
        UserInterface().MessageBox(FormatStringId(IDS_ERR_CREATE_BRTYPE, vob->tag().c_str()),
                                   MB_ICONSTOP);
        // Take back what this run made; types that were there before stay.
        for (auto& made : candidates) {
            if (!made->created) continue;
            const std::string made_selector = BranchTypeSelector(branch, made->tag());
            const char* made_selectors[] = {made_selector.c_str()};
            cmd_rmtype_args_t removal = client::TypeRemovalRecord(area.get(), made_selectors);
            CWaitCursor wait;
            if (cmd_rmtype(&removal) != TBS_ST_OK)
                UserInterface().MessageBox(
                    FormatStringId(IDS_ERR_REMOVE_BRTYPE, made->tag().c_str()), MB_ICONSTOP);
        }
        return 2;
    }
    return 0;
}

BOOL CViewProfile::CheckLabel(const std::string& label) {
    for (const char* predefined : kPredefinedLabels) {
        if (label == predefined) {
            UserInterface().MessageBox(FormatStringId(IDS_LABEL_PREDEFINED, label.c_str()), MB_OK);
            return FALSE;
        }
    }
    CVobInfoList candidates = Candidates(*this);
    if (candidates.empty()) {
        UserInterface().MessageBox(FormatStringId(IDS_LABEL_UNVERIFIABLE, label.c_str()), MB_OK);
        return TRUE;
    }
    for (const auto& vob : candidates) {
        CClientLock lock;
        CResolvedType type;
        if (type.Resolve(client::TypeSelector(client::ETypeKind::kLabel, label, vob->tag())) ==
            TBS_ST_OK)
            continue;
        UserInterface().MessageBox(
            FormatStringId(IDS_LABEL_NOT_FOUND, label.c_str(), vob->tag().c_str()), MB_OK);
        return FALSE;
    }
    return TRUE;
}

}  // namespace kelmora
