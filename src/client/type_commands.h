#pragma once

#include <cstdint>

#include "client/status.h"
#include "client/storage.h"

// The type commands, each taking an argument record. On the 32-bit original
// every word is 32 bits; here the fields keep the words' order and pointers
// are pointers. Words not named are reserved and 0.

// What the record's comment word holds.
enum : uint32_t {
    CMD_COMMENT_NONE = 2,
    CMD_COMMENT_TEXT = 5,
};

// The layout each command expects in its first word; another value is refused.
enum : uint32_t {
    CMD_MKBRTYPE_RECORD = 2,
    CMD_UNLOCK_RECORD = 2,
    CMD_RMTYPE_RECORD = 1,
};

// 12 words: the record, the storage area, the selectors and their count, the
// one-per-element flag (word 4), the global flag of an admin VOB's type (word
// 6), the comment (word 8) and the comment mode (word 10).
struct cmd_mkbrtype_args_t {
    uint32_t record;               // CMD_MKBRTYPE_RECORD
    stg_area_t* area;              // scratch storage of the command
    const char* const* selectors;  // "brtype:NAME@VOB" each
    uint32_t selector_count;
    uint32_t one_per_element;  // 1: a branch of the type at most once per element
    uint32_t reserved5;
    uint32_t global;  // 1: made for the VOBs that use this admin VOB
    uint32_t reserved7;
    const char* comment;  // with CMD_COMMENT_TEXT
    uint32_t reserved9;
    uint32_t comment_mode;  // CMD_COMMENT_TEXT or CMD_COMMENT_NONE
    uint32_t reserved11;
};

// 10 words: the record, the area, the selectors, their count and the comment mode (word 8).
struct cmd_unlock_args_t {
    uint32_t record;  // CMD_UNLOCK_RECORD
    stg_area_t* area;
    const char* const* selectors;  // "brtype:..." or "lbtype:..."
    uint32_t selector_count;
    uint32_t reserved4;
    uint32_t reserved5;
    uint32_t reserved6;
    uint32_t reserved7;
    uint32_t comment_mode;  // CMD_COMMENT_NONE
    uint32_t reserved9;
};

// 11 words: the record, the area, the selectors, their count and the comment mode (word 9).
struct cmd_rmtype_args_t {
    uint32_t record;  // CMD_RMTYPE_RECORD
    stg_area_t* area;
    const char* const* selectors;
    uint32_t selector_count;
    uint32_t reserved4;
    uint32_t reserved5;
    uint32_t reserved6;
    uint32_t reserved7;
    uint32_t reserved8;
    uint32_t comment_mode;  // CMD_COMMENT_NONE
    uint32_t reserved10;
};

// Each command works on every selector in turn and stops at the first
// failure, whose status it answers. TBS_ST_INVALID for a record the command
// does not take.
//
// Makes the branch types: TBS_ST_EXISTS when one exists already.
tbs_status_t cmd_mkbrtype(const cmd_mkbrtype_args_t* args);
// Unlocks the types. TBS_ST_ERR when there was nothing to unlock in a VOB
// (no such type there, or it is not locked): nothing was done.
tbs_status_t cmd_unlock(const cmd_unlock_args_t* args);
// Removes the types: TBS_ST_LOCKED for a locked one, which stays.
tbs_status_t cmd_rmtype(const cmd_rmtype_args_t* args);

// The records as the module fills them, for a one-entry selector list.
namespace kelmora::client {

// global in an admin VOB; the comment when there is one (null or empty: none).
cmd_mkbrtype_args_t BranchTypeCreationRecord(stg_area_t* area, const char* const* selector,
                                             bool global, const char* comment);
cmd_unlock_args_t TypeUnlockRecord(stg_area_t* area, const char* const* selector);
cmd_rmtype_args_t TypeRemovalRecord(stg_area_t* area, const char* const* selector);

}  // namespace kelmora::client
