#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/database.h"
#include "client/status.h"

// Branch types and label types of VOBs, for stavetool, the type commands and
// tests: what cmd_mkbrtype makes and vob_resolve_general finds.
namespace kelmora::client {

enum class ETypeKind { kBranch, kLabel };

struct CTypeRecord {
    long long id = 0;
    long long vob_id = 0;
    std::string vob_tag;
    ETypeKind kind = ETypeKind::kBranch;
    std::string name;
    std::string uuid;  // the type object's identifier
    bool locked = false;
    bool admin = false;  // made for the VOBs that use its VOB as their admin VOB
    std::string comment;
};

// Type names are what a config spec can carry (no blanks, none of \/:*?"<>|,
// no leading dash), at most this long.
inline constexpr size_t kMaxTypeNameLength = 255;
bool IsValidTypeName(std::string_view name);

// "brtype:NAME@VOB" and "lbtype:NAME@VOB". The VOB tag begins at the first
// "@" that a "/" or "\" follows. False for any other text.
bool ParseTypeSelector(std::string_view selector, ETypeKind* kind, std::string* name,
                       std::string* vob_tag);
std::string TypeSelector(ETypeKind kind, const std::string& name, const std::string& vob_tag);
const char* TypeKindWord(ETypeKind kind);  // "brtype", "lbtype"

// A new, unlocked type. TBS_ST_NOT_FOUND when there is no such VOB,
// TBS_ST_EXISTS when the VOB has a type of that kind and name,
// TBS_ST_INVALID for a name that IsValidTypeName refuses. A creation fault
// set on the VOB (SetVobFault with kVobFaultCreate) is answered once instead,
// and then cleared.
tbs_status_t CreateType(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                        const std::string& comment, bool admin);
// TBS_ST_NOT_FOUND when the VOB has no such type.
tbs_status_t FindType(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                      CTypeRecord* type);
// The type object of that identifier in the VOB of that row id.
tbs_status_t FindTypeObject(long long vob_id, const std::string& uuid, CTypeRecord* type);
// Locks or unlocks; TBS_ST_ERR when the type is in that state already (nothing
// was done), TBS_ST_NOT_FOUND when there is no such type.
tbs_status_t SetTypeLock(ETypeKind kind, const std::string& name, const std::string& vob_tag,
                         bool locked);
// TBS_ST_LOCKED for a locked type, which stays.
tbs_status_t RemoveType(ETypeKind kind, const std::string& name, const std::string& vob_tag);
// The VOB's types, branch types first, each kind ordered by name.
tbs_status_t ListTypes(const std::string& vob_tag, std::vector<CTypeRecord>* types);

}  // namespace kelmora::client
