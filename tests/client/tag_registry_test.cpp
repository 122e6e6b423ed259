#include "client/tag_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/client_test_util.h"
#include "client/tag_admin.h"
#include "client/uuid_text.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

using client::CRegistryKeys;

// Entries handed out by one search, released at the end.
struct CBatch {
    rgy_entry_t entries[50] = {};
    int count = 0;
    ~CBatch() { Release(); }
    void Release() {
        for (int i = 0; i < count; ++i) rgy_delete_entry(entries[i]);
        count = 0;
    }
};

// A search finds a tag in its region only; an entry's texts are cut to the buffer.
TEST(TagRegistryTest, SearchesComeInBatchesWithTheQualifiersAccess) {
    const std::string region = UniqueName("r");
    ASSERT_EQ(client::AddRegion(region), TBS_ST_OK);
    EXPECT_EQ(client::AddRegion(region), TBS_ST_EXISTS);
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(
            client::AddRegistryEntry(RGY_KIND_VOB_TAG, region, {{RGY_KEY_TAG, "\\same"}}, nullptr),
            TBS_ST_OK);
    const CRegistryKeys keys = {{RGY_KEY_TAG, "\\k"}, {RGY_KEY_ACCESS, "public"}};
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, region, keys, nullptr), TBS_ST_OK);
    CBatch batch;
    for (const char* tag : {"\\same", static_cast<const char*>(nullptr)}) {
        rgy_cursor_t cursor = nullptr;
        std::vector<int> counts;
        do {
            batch.Release();
            tbs_status_t status =
                tag ? rgy_findbystring_entry(RGY_KIND_VOB_TAG, nullptr, region.c_str(), RGY_KEY_TAG,
                                             tag, &cursor, 50, batch.entries, &batch.count)
                    : rgy_get_entry(RGY_KIND_VOB_TAG, nullptr, region.c_str(), &cursor, 50,
                                    batch.entries, &batch.count);
            ASSERT_EQ(status, TBS_ST_OK);
            counts.push_back(batch.count);
        } while (batch.count > 0);
        rgy_close_cursor(cursor);
        EXPECT_EQ(counts,
                  tag ? std::vector<int>({50, 50, 20, 0}) : std::vector<int>({50, 50, 21, 0}));
    }
    rgy_cursor_t cursor = nullptr;
    const auto find = [&](const char* qualifier, const std::string& in) {
        batch.Release();
        cursor = nullptr;
        const tbs_status_t status =
            rgy_findbystring_entry(RGY_KIND_VOB_TAG, qualifier, in.c_str(), RGY_KEY_TAG, "\\k",
                                   &cursor, 50, batch.entries, &batch.count);
        if (cursor) rgy_close_cursor(cursor);
        return status;
    };
    ASSERT_EQ(find("private", region), TBS_ST_OK);
    EXPECT_EQ(batch.count, 0);  // the qualifier keeps only private tags
    ASSERT_EQ(find("public", region), TBS_ST_OK);
    ASSERT_EQ(batch.count, 1);
    char text[4];
    EXPECT_EQ(rgy_getstring_from_entry(batch.entries[0], RGY_KEY_GLOBAL_PATH, sizeof text, text),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(find(nullptr, "no such region"), TBS_ST_NOT_FOUND);
    EXPECT_EQ(cursor, nullptr);
}

// What a replica names is shown by the mount block built from it.
TEST(TagRegistryTest, ATagIsMadeOncePerMountPointAndOnlyAReplicaIsLookedUp) {
    CTempDir dir;
    const std::string tag = "\\" + UniqueName("v");
    ASSERT_EQ(client::CreateVob(tag, dir / "stg", {}), TBS_ST_OK);
    ASSERT_EQ(client::CreateVobTag(tag, dir / "global", {}), TBS_ST_OK);
    EXPECT_EQ(client::CreateVobTag(tag, dir / "global", {}), TBS_ST_EXISTS);
    EXPECT_EQ(client::CreateVobTag(tag + "x", dir / "global", {}), TBS_ST_NOT_FOUND);
    const std::string same_place = "/" + tag.substr(1);  // "\\v" and "/v" share a mount point
    ASSERT_EQ(client::CreateVob(same_place, dir / "stg2", {}), TBS_ST_OK);
    EXPECT_EQ(client::CreateVobTag(same_place, dir / "global2", {}), TBS_ST_EXISTS);
    client::CVobRecord vob;
    ASSERT_EQ(client::FindVob(tag, &vob), TBS_ST_OK);
    tbs_uuid_t replica, identifier;
    ASSERT_EQ(tbs_str_to_uuid(vob.replica_uuid.c_str(), &replica), TBS_ST_OK);
    ASSERT_EQ(tbs_str_to_uuid(vob.uuid.c_str(), &identifier), TBS_ST_OK);
    char path[1024];
    size_t length = 0;
    EXPECT_EQ(rgy_getinfo_by_uuid(RGY_KIND_VOB, nullptr, nullptr, 16, &identifier, nullptr, 0, path,
                                  sizeof path),
              TBS_ST_NOT_FOUND);  // the VOB's own identifier is not a replica
    EXPECT_EQ(
        rgy_getuuid_by_uuid(RGY_KIND_VOB, nullptr, nullptr, 16, &replica, 14, &identifier, &length),
        TBS_ST_INVALID);
    EXPECT_EQ(rgy_get_default_region(nullptr), TBS_ST_INVALID);
    std::string other;  // a tag that names no mount point shares none
    EXPECT_EQ(client::FindTagSharingMountPoint("\\..", &other), TBS_ST_INVALID);
}

}  // namespace
}  // namespace kelmora::test
