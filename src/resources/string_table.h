#pragma once

#include <span>
#include <string>
#include <string_view>

// The numbered strings of the module: every message, question, template and
// marker that it shows or writes. The built-in texts are always present; a
// catalogue loaded at start-up (a language pack) can replace them.
namespace kelmora {

// Texts marked "%1!d!", "%2!s!" take message-format inserts; all others are
// printf-style formats. Templates use CR LF line ends.
enum EStringId : unsigned {
    IDS_ERR_OPEN_FILE = 1,
    IDS_NO_PERMISSION_PROFILE = 2,
    IDS_ERR_RENAME = 3,
    IDS_ERR_CREATE = 4,
    IDS_PROFILE_NAME_EXISTS = 5,
    IDS_NO_PERMISSION_FOLDER = 6,
    IDS_ERR_REMOVE = 7,
    IDS_UNABLE_TO_NAME_PROFILE = 8,
    IDS_ASK_CANCEL_NEW_PROFILE = 9,
    IDS_TREE_NO_PERMISSION = 10,
    IDS_TREE_NOT_FOUND = 11,
    IDS_TREE_IN_USE = 12,
    IDS_TREE_CONFLICT = 13,
    IDS_TREE_ROOT_NOT_SET = 14,
    IDS_TREE_ROOT_IS_DRIVE_ROOT = 15,
    IDS_ERR_CREATE_TOP_FOLDER = 16,
    IDS_EXEC_FAILED = 18,
    IDS_ERR_VIEW_HANDLE = 19,
    IDS_ERR_GET_CONFIG_SPEC = 20,
    IDS_ASK_RECOVER_CONFIG_SPEC = 21,
    IDS_BLOCK_NAME_PREFIX = 22,
    IDS_BLOCK_ID_PREFIX = 23,
    IDS_ASK_DISSOCIATE_DELETED = 24,
    IDS_BLOCK_COMMENT_END = 25,
    IDS_SECTION_END_MARKER = 26,
    IDS_MARKER_START = 27,
    IDS_ASK_DISSOCIATE_UNSALVAGEABLE = 28,
    IDS_ENTER_PROFILE_NAME = 29,
    IDS_NO_PROFILE_AT = 30,
    IDS_INFO_BLOCK = 31,
    IDS_SECTION_HEADER = 32,
    IDS_RULES_CHECKEDOUT_BLOCK = 33,
    IDS_RULES_PROFILE_HEADER = 34,
    IDS_ERR_NO_PRIVATE_RULES = 35,
    IDS_RULES_END_MARKER = 36,
    IDS_ERR_NO_PROFILE_RULES = 37,
    IDS_INFO_BLOCK_HEAD = 38,
    IDS_INFO_BLOCK_TAIL = 39,
    IDS_FALLBACK_RULE_END = 40,
    IDS_ERR_CREATE_TEMP_FILE = 41,
    IDS_ERR_SET_CONFIG_SPEC = 42,
    IDS_ERR_MOUNT_VOB = 43,
    IDS_VOBS_MOUNTED = 44,
    // This build's own: the store never follows a link or waits on a FIFO.
    IDS_NOT_REGULAR_FILE = 100,
    // This build's own: the workspace update tool refused or failed.
    IDS_UPDATE_TOOL_FAILED = 101,
    // This build's own: a failed write, and a folder of the tree that could not be read.
    IDS_ERR_WRITE_FILE = 110,
    IDS_ERR_READ_TREE_FOLDER = 111,
    IDS_TREE_ROOT_HOLDS_FILE = 112,
    IDS_TITLE_FINISH_BRANCH = 137,
    IDS_TITLE_SETUP_BRANCH = 138,
    IDS_TITLE_ASSOCIATE = 139,
    IDS_TITLE_SYNCHRONIZE = 140,
    IDS_APP_NAME = 57344,
    IDS_NOT_ASSOCIATED_FOR_OPERATION = 57398,
    IDS_INFO_BLOCK_SCAN = 57399,
    IDS_NOT_ON_PRIVATE_BRANCH = 57403,
    IDS_CANNOT_MERGE_PREFIX = 57404,
    IDS_CANNOT_ASSOCIATE_PREFIX = 57408,
    IDS_ASK_CHANGE_ASSOCIATION = 57409,
    IDS_CANNOT_DISSOCIATE_PREFIX = 57410,
    IDS_NOT_ASSOCIATED = 57411,
    IDS_STARTUP_PREFIX = 57415,
    IDS_SYNC_NOT_ASSOCIATED = 57416,
    IDS_CANNOT_SYNC_PREFIX = 57421,
    IDS_REVISION_CORRUPT = 57427,
    IDS_SYNC_ON_PRIVATE_BRANCH = 57428,
    IDS_CHECKOUTS_EXIST = 57429,
    IDS_ASK_ASSOCIATE_ON_PRIVATE_BRANCH = 57431,
    IDS_ALREADY_UP_TO_DATE = 57432,
    IDS_NOW_UP_TO_DATE = 57433,
    IDS_CANNOT_SETUP_PREFIX = 57435,
    IDS_ALREADY_ON_PRIVATE_BRANCH = 57436,
    IDS_BRANCH_NAME_EMPTY = 57437,
    IDS_ASK_CONTINUE_WITHOUT_VOB_LIST = 57439,
    IDS_ERR_BRTYPE_NO_MEMORY = 57440,
    IDS_ASK_REUSE_BRTYPE = 57441,
    IDS_ERR_CREATE_BRTYPE = 57442,
    IDS_ERR_REMOVE_BRTYPE = 57443,
    IDS_ASK_UNLOCK_BRTYPE = 57444,
    IDS_ERR_MOUNTED_VOB_NAMES = 57453,
    IDS_EXEC_MERGE_FAILED = 57456,
    IDS_PROFILE_NOT_FOUND = 57462,
    IDS_PROFILE_MOVED = 57463,
    IDS_CANNOT_SUSPEND_PREFIX = 57468,
    IDS_BRANCH_SUSPENDED = 57469,
    IDS_NO_VIEW_SPECIFIED = 57470,
    IDS_BRANCH_NAME_SPACES = 57476,
    IDS_BRANCH_NAME_BAD_CHARS = 57477,
    IDS_BRANCH_NAME_NUMERIC = 61506,
    IDS_BRANCH_NAME_MAIN = 61526,
    IDS_IS_ASSOCIATED_PREFIX = 61527,
    IDS_IS_ON_PRIVATE_BRANCH_PREFIX = 61528,
    IDS_DIAGRAM_PREFIX = 61529,
    IDS_DESCRIPTION_PREFIX = 61530,
    IDS_ERR_WORKSPACE_VIEW_TAG = 61532,
    IDS_ERR_WORKSPACE_HANDLE = 61533,
    IDS_ASSOC_PROMPT = 61536,
    IDS_DISSOC_PROMPT = 61537,
    IDS_VIEW_UPDATE_NOTICE = 61539,
    IDS_CHECKOUTS_UNKNOWN_ALL = 61540,
    IDS_CHECKOUTS_UNKNOWN_VOB = 61541,
    IDS_LABEL_PREDEFINED = 61543,
    IDS_LABEL_UNVERIFIABLE = 61544,
    IDS_LABEL_NOT_FOUND = 61545,
    IDS_STARTUP_PROFILE_MODIFIED = 61548,
    IDS_ASK_STARTUP_UPDATE = 61553,
    IDS_NO_MERGE_VOBS = 61554,
    IDS_CANNOT_FINISH_PREFIX = 61555,
    IDS_ERR_UNLOCK_BRTYPE = 61556,
    IDS_MONTH_NAMES = 61557,
    IDS_CSPEC_SYNTAX_ERROR_AT = 61565,
};

struct CStringEntry {
    unsigned id;
    std::string_view text;
};

// Every built-in string, sorted by number.
std::span<const CStringEntry> BuiltinStringTable();

// Built-in text of a numbered string; empty view when the number is unknown.
std::string_view BuiltinString(unsigned id);

// The markers, templates and scan patterns of the managed config spec and the
// Rules file, and the month names of time rules: file format, not messages.
bool IsFileFormatString(unsigned id);

// Text of a numbered string from the loaded catalogue if one is loaded and has
// the number, else built-in. File format strings are always built-in.
std::string LoadString(unsigned id);

// Loads a catalogue that replaces built-in texts: UTF-8 or 8-bit text, one
// entry per line, "NUMBER<TAB>TEXT", where TEXT may use the escapes \r \n \t
// \\ and \". Empty lines are ignored, a CR before the LF is dropped. Returns
// false, and leaves the current catalogue as it was, when the file cannot be
// read or any line is malformed (bad number, no tab, unknown escape, a number
// given twice).
bool LoadStringCatalogue(const std::string& path);
void UnloadStringCatalogue();
bool IsStringCatalogueLoaded();

}  // namespace kelmora
