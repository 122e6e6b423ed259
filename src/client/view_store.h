#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "client/admin.h"
#include "client/database.h"
#include "client/status.h"

// What views.cpp and admin.cpp share: reading view records, storing config
// spec text, and the path rules of workspaces.
namespace kelmora::client {

// Looks a view up by tag or by uuid text; TBS_ST_NOT_FOUND when there is none.
tbs_status_t FindViewByTag(CClientDatabase* db, const std::string& tag, CViewRecord* view);
tbs_status_t FindViewByUuid(CClientDatabase* db, const std::string& uuid, CViewRecord* view);
// Every view, ordered by tag.
tbs_status_t ReadViews(CClientDatabase* db, std::vector<CViewRecord>* views);
// The workspace whose root holds path (the deepest, should roots ever nest).
tbs_status_t FindWorkspaceHolding(CClientDatabase* db, const std::string& path, CViewRecord* view);

// Stores text byte for byte as the config spec of the view with that uuid,
// after checking that it parses (the diagnostic goes to the error output).
tbs_status_t StoreConfigSpec(const std::string& uuid, std::string_view text);
tbs_status_t LoadConfigSpec(const std::string& uuid, std::string* text);

// Absolute, with ".", ".." and repeated or trailing slashes taken out; a
// relative path is taken from the current folder. Symbolic links are left alone.
std::string NormalizeAbsolutePath(const std::string& path);
// True when root is path or one of its parent folders ("/a/b" holds "/a/b/c",
// not "/a/bc"). Both must be normalized.
bool PathHolds(const std::string& root, const std::string& path);

bool UuidFromText(std::string_view text, tbs_uuid_t* uuid);
std::string UuidToText(const tbs_uuid_t& uuid);

// Where a dynamic view's files are seen: $KELMORA_HOME/views/<tag>.
std::string DynamicViewPath(const std::string& tag);

}  // namespace kelmora::client
