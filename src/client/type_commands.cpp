#include "client/type_commands.h"

#include <functional>
#include <string>

#include "client/preview.h"
#include "client/type_admin.h"

using kelmora::CPreviewedTypeCommand;
using kelmora::client::ETypeKind;

namespace {

// Runs act on each selector of a well-formed list; the first failure ends it.
// In a preview the command is recorded for each selector instead.
tbs_status_t ForEachSelector(
    const char* const* selectors, uint32_t count, CPreviewedTypeCommand previewed,
    const std::function<tbs_status_t(ETypeKind, const std::string&, const std::string&)>& act) {
    if (!selectors || count == 0) return TBS_ST_INVALID;
    for (uint32_t i = 0; i < count; ++i) {
        ETypeKind kind;
        std::string name, vob_tag;
        if (!selectors[i] ||
            !kelmora::client::ParseTypeSelector(selectors[i], &kind, &name, &vob_tag))
            return TBS_ST_INVALID;
        if (kelmora::CPreview* preview = kelmora::ActivePreview()) {
            previewed.selector = selectors[i];
            preview->type_commands.push_back(previewed);
            continue;
        }
        if (tbs_status_t status = act(kind, name, vob_tag)) return status;
    }
    return TBS_ST_OK;
}

bool IsFlag(uint32_t word) {
    return word == 0 || word == 1;
}

}  // namespace

tbs_status_t cmd_mkbrtype(const cmd_mkbrtype_args_t* args) {
    if (!args || args->record != CMD_MKBRTYPE_RECORD || !IsFlag(args->one_per_element) ||
        !IsFlag(args->global))
        return TBS_ST_INVALID;
    std::string comment;
    if (args->comment_mode == CMD_COMMENT_TEXT) {
        if (!args->comment) return TBS_ST_INVALID;
        comment = args->comment;
    } else if (args->comment_mode != CMD_COMMENT_NONE) {
        return TBS_ST_INVALID;
    }
    return ForEachSelector(
        args->selectors, args->selector_count, {"mkbrtype", {}, comment, args->global != 0},
        [&](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            if (kind != ETypeKind::kBranch) return TBS_ST_INVALID;
            return kelmora::client::CreateType(kind, name, vob, comment, args->global != 0);
        });
}

tbs_status_t cmd_unlock(const cmd_unlock_args_t* args) {
    if (!args || args->record != CMD_UNLOCK_RECORD || args->comment_mode != CMD_COMMENT_NONE)
        return TBS_ST_INVALID;
    return ForEachSelector(
        args->selectors, args->selector_count, {"unlock", {}, {}, false},
        [](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            tbs_status_t status = kelmora::client::SetTypeLock(kind, name, vob, false);
            return status == TBS_ST_NOT_FOUND ? TBS_ST_ERR : status;
        });
}

tbs_status_t cmd_rmtype(const cmd_rmtype_args_t* args) {
    if (!args || args->record != CMD_RMTYPE_RECORD || args->comment_mode != CMD_COMMENT_NONE)
        return TBS_ST_INVALID;
    return ForEachSelector(
        args->selectors, args->selector_count, {"rmtype", {}, {}, false},
        [](ETypeKind kind, const std::string& name, const std::string& vob) -> tbs_status_t {
            return kelmora::client::RemoveType(kind, name, vob);
        });
}

namespace kelmora::client {

namespace {

// A record of the commands that take one selector and no comment.
template <typename Record>
Record SelectorRecord(uint32_t layout, stg_area_t* area, const char* const* selector) {
    Record record{};
    record.record = layout;
    record.area = area;
    record.selectors = selector;
    record.selector_count = 1;
    record.comment_mode = CMD_COMMENT_NONE;
    return record;
}

}  // namespace

cmd_mkbrtype_args_t BranchTypeCreationRecord(stg_area_t* area, const char* const* selector,
                                             bool global, const char* comment) {
    const bool has_comment = comment && *comment;
    cmd_mkbrtype_args_t record{};
    record.record = CMD_MKBRTYPE_RECORD;
    record.area = area;
    record.selectors = selector;
    record.selector_count = 1;
    record.one_per_element = 1;
    record.global = global ? 1 : 0;
    record.comment = has_comment ? comment : nullptr;
    record.comment_mode = has_comment ? CMD_COMMENT_TEXT : CMD_COMMENT_NONE;
    return record;
}

cmd_unlock_args_t TypeUnlockRecord(stg_area_t* area, const char* const* selector) {
    return SelectorRecord<cmd_unlock_args_t>(CMD_UNLOCK_RECORD, area, selector);
}

cmd_rmtype_args_t TypeRemovalRecord(stg_area_t* area, const char* const* selector) {
    return SelectorRecord<cmd_rmtype_args_t>(CMD_RMTYPE_RECORD, area, selector);
}

}  // namespace kelmora::client
