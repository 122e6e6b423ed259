#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "client/status.h"

// The tag registry: entries of a kind within a region, each a set of numbered
// text keys. Kind 3 entries are VOB tags; kind 2 names the VOB objects, which
// the registry answers from the client's VOB table. Searches and listings
// hand out entries in batches through a cursor; the caller releases each
// entry (rgy_delete_entry) and the cursor (rgy_close_cursor).
enum : int { RGY_KIND_VOB = 2, RGY_KIND_VOB_TAG = 3 };
enum : int {
    RGY_KEY_GLOBAL_PATH = 2,  // "<no-gpath>": none
    RGY_KEY_ACCESS = 6,       // "public", else private
    RGY_KEY_OPTIONS = 7,
    RGY_KEY_TAG = 10,
    RGY_KEY_UUID = 16,  // the tag's VOB replica, as UUID text
};
// Selector of rgy_getuuid_by_uuid: the VOB's own identifier.
enum : int { RGY_UUID_VOB_IDENTIFIER = 15 };

inline constexpr char RGY_NO_GLOBAL_PATH[] = "<no-gpath>";
inline constexpr char RGY_ACCESS_PUBLIC[] = "public";
inline constexpr char RGY_ACCESS_PRIVATE[] = "private";

constexpr size_t RGY_REGION_NAME_MAX = 64;
struct rgy_region_t {
    char name[RGY_REGION_NAME_MAX];
};
typedef struct rgy_entry_s* rgy_entry_t;
typedef struct rgy_cursor_s* rgy_cursor_t;

tbs_status_t rgy_get_default_region(rgy_region_t* region);

// A null or empty region is the default region. A non-empty qualifier keeps
// only the entries whose access key equals it. The first call, with *cursor
// null, opens the cursor on what matches then; each call hands out up to max
// further entries (*count, 0 at the end).
tbs_status_t rgy_findbystring_entry(int kind, const char* qualifier, const char* region, int key,
                                    const char* text, rgy_cursor_t* cursor, int max,
                                    rgy_entry_t* entries, int* count);
tbs_status_t rgy_get_entry(int kind, const char* qualifier, const char* region,
                           rgy_cursor_t* cursor, int max, rgy_entry_t* entries, int* count);
void rgy_close_cursor(rgy_cursor_t cursor);
void rgy_delete_entry(rgy_entry_t entry);

// TBS_ST_NOT_FOUND when the entry has no such key; TBS_ST_BUFFER_TOO_SMALL
// (text cut short) when it does not fit.
tbs_status_t rgy_getstring_from_entry(rgy_entry_t entry, int key, size_t size, char* buf);
// Key 16 as a 16-byte UUID.
tbs_status_t rgy_getuuid_from_entry(rgy_entry_t entry, size_t size, tbs_uuid_t* uuid);

// By a VOB replica's UUID. Kind 2: the VOB object; path receives its storage
// path. Kind 3: the tag of that replica in the region; path receives its
// global path. host receives the VOB server's host name. Null outputs are skipped.
tbs_status_t rgy_getinfo_by_uuid(int kind, const char* qualifier, const char* region,
                                 size_t uuid_length, const tbs_uuid_t* uuid, char* host,
                                 size_t host_size, char* path, size_t path_size);
// Kind 2 only: the selected UUID of the VOB object whose replica this is.
tbs_status_t rgy_getuuid_by_uuid(int kind, const char* qualifier, const char* region,
                                 size_t uuid_length, const tbs_uuid_t* uuid, int selector,
                                 tbs_uuid_t* result, size_t* result_length);

namespace kelmora::client {

class CClientDatabase;

// The region's name: the default region for null or empty text.
tbs_status_t ResolveRegion(CClientDatabase* db, const char* region, std::string* name);
// Ids of the entries of a kind in the (resolved) region, oldest first: those
// whose key has that text when key > 0, and whose access key equals a
// non-empty qualifier.
tbs_status_t SelectEntryIds(CClientDatabase* db, int kind, const std::string& region, int key,
                            const char* text, const char* qualifier, std::vector<long long>* ids);
tbs_status_t ReadRegistryKeys(CClientDatabase* db, long long id, std::map<int, std::string>* keys);
// The name this machine answers to; the VOB servers of the local storage.
std::string LocalHostName();

}  // namespace kelmora::client
