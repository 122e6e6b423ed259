#include "mount/mntrpc.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "client/client_test_util.h"
#include "client/prefix_map.h"
#include "client/registry.h"
#include "client/trfs_driver.h"
#include "client/vob_utl.h"
#include "mount/message_tables.h"
#include "mount/mount_fixture.h"
#include "mount/tag_search.h"
#include "platform/env.h"

namespace kelmora::test {
namespace {

// Each test has a home of its own: "mount all" sees every tag of the registry.
class MntrpcTest : public ::testing::Test {
protected:
    bool IsMounted(const std::string& tag) {
        return vob_utl_is_mounted_vob_pname(tag.c_str()) == 1;
    }
    // Mounts tag in count processes started at once; how many mounted it.
    int MountInProcesses(const std::string& tag, int count) {
        int go[2];
        EXPECT_EQ(pipe(go), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < count; ++i) {
            if (pid_t pid = fork(); pid != 0) {
                children.push_back(pid);
                continue;
            }
            char start;
            close(go[1]);
            _exit(read(go[0], &start, 1) == 0 && mntrpc_mount_tag(tag.c_str(), "", "") == 0 ? 0
                                                                                            : 1);
        }
        close(go[0]);
        close(go[1]);  // the end of the pipe starts them all
        int mounted = 0;
        for (pid_t pid : children) {
            int status = 0;
            waitpid(pid, &status, 0);
            mounted += WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        return mounted;
    }
    int PrefixUses(const std::string& path) {
        std::map<std::string, int> prefixes;
        EXPECT_EQ(client::ListPathPrefixes(&prefixes), TBS_ST_OK);
        return prefixes.count(path) ? prefixes[path] : 0;
    }

    CScopedHome home_;
    CTempDir folder_;
    CCapturedOutput output_;
};

// Its pool, named with a trailing separator, is registered and unregistered with it.
TEST_F(MntrpcTest, AMountedVobIsSeenAtItsMountPointAndMountsOnlyOnce) {
    const std::string pool = folder_ / "pool";
    std::filesystem::create_directories(pool);
    CTaggedVob vob =
        MakeTaggedVob(folder_, "\\src", {{RGY_KEY_OPTIONS, "poolmap=p:" + pool + "/"}});
    // A mount that loses the race to another process leaves its registration of the path.
    ASSERT_EQ(MountInProcesses("\\src", 8), 1);
    EXPECT_EQ(std::filesystem::read_symlink(KelmoraHome() + "/vobs/src"), vob.storage);
    EXPECT_EQ(PrefixUses(vob.storage), 1);
    EXPECT_EQ(PrefixUses(pool), 1);

    EXPECT_EQ(mntrpc_mount_tag("\\src", "", ""), TBS_ST_ERR);  // the admin tool shows what it says
    EXPECT_EQ(PrefixUses(vob.storage), 1);

    ASSERT_EQ(mntrpc_umount_tag("\\src", ""), TBS_ST_OK) << output_.error();
    EXPECT_FALSE(IsMounted("\\src"));
    EXPECT_EQ(PrefixUses(vob.storage), 0);
    EXPECT_EQ(PrefixUses(pool), 0);
    EXPECT_EQ(mntrpc_umount_tag("\\src", ""), TBS_ST_ERR);
    EXPECT_NE(output_.info().find("\\src is not currently mounted.\n"), std::string::npos);
    EXPECT_EQ(output_.error(), "");
}

TEST_F(MntrpcTest, ATagWithoutEntryIsNotMountedButStillUnmountedByPath) {
    EXPECT_EQ(mntrpc_mount_tag("\\none", "", ""), TBS_ST_ERR);
    EXPECT_EQ(output_.error(), "\\none is not a registered VOB tag.\n");

    CTaggedVob vob = MakeTaggedVob(folder_, "\\gone");
    ASSERT_EQ(mntrpc_mount_tag("\\gone", "", ""), TBS_ST_OK);
    ASSERT_EQ(client::RemoveRegistryEntry(vob.entry_id), TBS_ST_OK);
    // Registered again for another VOB: the driver unmounts only the VOB the entry names.
    long long again = 0;
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "",
                                       {{RGY_KEY_TAG, "\\gone"},
                                        {RGY_KEY_GLOBAL_PATH, vob.storage},
                                        {RGY_KEY_UUID, "11111111-2222-3333-4444-555555555555"}},
                                       &again),
              TBS_ST_OK);
    EXPECT_EQ(mntrpc_umount_tag("\\gone", ""), TBS_ST_INVALID);
    ASSERT_EQ(client::RemoveRegistryEntry(again), TBS_ST_OK);
    EXPECT_EQ(mntrpc_umount_tag("\\gone", ""), TBS_ST_OK);
    EXPECT_FALSE(IsMounted("\\gone"));
    EXPECT_NE(output_.info().find("Unmounting TRFS filesystem \\gone.\n"), std::string::npos);
    EXPECT_NE(output_.error().find("\\gone is not a registered VOB tag.\n"), std::string::npos);
}

TEST_F(MntrpcTest, DuplicateTagsAreNotMountedButUnmountedByTheFirst) {
    CTaggedVob vob = MakeTaggedVob(folder_, "\\dup");
    ASSERT_EQ(mntrpc_mount_tag("\\dup", "", ""), TBS_ST_OK);
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "", {{RGY_KEY_TAG, "\\dup"}}, nullptr),
              TBS_ST_OK);
    const std::string duplicate =
        "An unexpected duplicate VOB tag was found\nfor \"\\dup\" within the \"local\" region.\n";
    EXPECT_EQ(mntrpc_mount_tag("\\dup", "", ""), TBS_ST_ERR);
    EXPECT_EQ(output_.error(), duplicate);
    EXPECT_EQ(mntrpc_umount_tag("\\dup", ""), TBS_ST_OK);
    EXPECT_EQ(output_.error(), duplicate + duplicate);
    EXPECT_FALSE(IsMounted("\\dup"));
}

struct COptionsCase {
    const char* name;
    const char* access;
    const char* options;
    std::string text;            // after "uuid=U"; "!T": refused as too long, naming T
    std::string requested = "";  // by an administrator
};

class MountOptionTextTest : public MntrpcTest,
                            public ::testing::WithParamInterface<COptionsCase> {};

// An administrator's options stand for the tag's, up to the key size.
TEST_P(MountOptionTextTest, PrivateTagsGetNosuidUnlessNamedAndRequestedOptionsFitTheKey) {
    const group* own = getgrgid(getegid());
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(), "AdminGroup",
                               own->gr_name),
              TBS_ST_OK);
    MakeTaggedVob(folder_, "\\o",
                  {{RGY_KEY_ACCESS, GetParam().access}, {RGY_KEY_OPTIONS, GetParam().options}});
    rgy_cursor_t cursor = nullptr;
    rgy_entry_t entry = nullptr;
    int count = 0;
    ASSERT_EQ(rgy_findbystring_entry(RGY_KIND_VOB_TAG, nullptr, nullptr, RGY_KEY_TAG, "\\o",
                                     &cursor, 1, &entry, &count),
              TBS_ST_OK);
    rgy_close_cursor(cursor);
    ASSERT_EQ(count, 1);
    const bool refused = GetParam().text.starts_with("!");
    std::string text;
    EXPECT_EQ(mount::ComposeMountOptions(GetParam().requested.c_str(), entry,
                                         std::string(GetParam().access) == "public", "U", "\\o",
                                         "local", &text),
              refused ? TBS_ST_ERR : TBS_ST_OK);
    if (refused) {
        EXPECT_EQ(output_.error(),
                  "mount options \"" + GetParam().text.substr(1) + "\" are too long\n");
    } else {
        EXPECT_EQ(text, "uuid=U" + GetParam().text);
    }
    rgy_delete_entry(entry);
}

const std::string kFits(mount::kKeySize - 1, 'o'), kWhole(mount::kKeySize, 'o');

INSTANTIATE_TEST_SUITE_P(
    Options, MountOptionTextTest,
    ::testing::Values(COptionsCase{"PrivateRw", "private", "rw", ",rw,nosuid"},
                      COptionsCase{"PrivateNone", "private", "", ",nosuid"},
                      COptionsCase{"PrivateSuid", "private", "ro,suid", ",ro,suid"},
                      COptionsCase{"PublicNone", "public", "", ""},
                      COptionsCase{"Requested", "private", "rw", ",ro", "ro"},
                      // "uuid=U," makes these too long; those of the key size are so alone.
                      COptionsCase{"RequestedBelowTheKeySize", "public", "", "!uuid=U," + kFits,
                                   kFits},
                      COptionsCase{"RequestedOfTheKeySize", "public", "", "!" + kWhole, kWhole}),
    [](const auto& info) { return std::string(info.param.name); });

struct CMountFailureCase {
    const char* name;
    client::CRegistryKeys keys;  // over those of a sound public tag
    tbs_status_t status;
    std::string message;  // "$G": the global path
};

class MountFailureTest : public MntrpcTest,
                         public ::testing::WithParamInterface<CMountFailureCase> {};

TEST_P(MountFailureTest, IsToldAndTheGlobalPathIsNoLongerRegistered) {
    client::CRegistryKeys keys = GetParam().keys;
    std::string global_path = keys.count(RGY_KEY_GLOBAL_PATH) ? keys[RGY_KEY_GLOBAL_PATH] : "";
    if (global_path == "FILE") {
        global_path = folder_ / "plain";
        WriteTextFile(global_path, "");
        keys[RGY_KEY_GLOBAL_PATH] = global_path;
    }
    CTaggedVob vob = MakeTaggedVob(folder_, "\\f", keys);
    if (global_path.empty()) global_path = vob.storage;
    EXPECT_EQ(mntrpc_mount_tag("\\f", "", ""), GetParam().status);
    std::string message = GetParam().message;
    if (size_t at = message.find("$G"); at != std::string::npos)
        message.replace(at, 2, global_path);
    EXPECT_EQ(output_.error(), message);
    EXPECT_FALSE(IsMounted("\\f"));
    std::map<std::string, int> prefixes;  // nor are its pool folders
    EXPECT_EQ(client::ListPathPrefixes(&prefixes), TBS_ST_OK);
    EXPECT_TRUE(prefixes.empty()) << prefixes.begin()->first;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Failures, MountFailureTest, ::testing::Values(
    CMountFailureCase{"NoGlobalPath", {{RGY_KEY_GLOBAL_PATH, "<no-gpath>"}}, TBS_ST_NOT_FOUND,
        "The VOB storage directory \"<no-gpath>\" was not found.\n"},
    CMountFailureCase{"MissingStorage", {{RGY_KEY_GLOBAL_PATH, "/no/such/storage"}}, TBS_ST_NOT_FOUND,
        "The VOB storage directory \"$G\" was not found.\n"},
    CMountFailureCase{"PrivateOnAPlainFile", {{RGY_KEY_GLOBAL_PATH, "FILE"}, {RGY_KEY_ACCESS, "private"}}, TBS_ST_NOT_DIR,
        "Permission to mount the VOB tag \"\\f\"\nwas denied. \"$G\" is not a directory.\n"},
    // A public tag's storage need only exist: the driver is what refuses this one.
    CMountFailureCase{"PublicOnAPlainFile", {{RGY_KEY_GLOBAL_PATH, "FILE"}}, TBS_ST_NOT_FOUND, "Unable to mount: not found\n"},
    CMountFailureCase{"NoUuidKey", {{RGY_KEY_UUID, kNoKey}}, TBS_ST_NOT_FOUND, "VOB tag entry does not contain a required key.\n"},
    CMountFailureCase{"MissingPool", {{RGY_KEY_OPTIONS, "poolmap=p:/no/such/pool"}}, TBS_ST_NOT_FOUND,
        "The VOB storage directory \"/no/such/pool\" was not found.\n"},
    CMountFailureCase{"UnknownReplica", {{RGY_KEY_UUID, "00000000-0000-0000-0000-000000000001"}}, TBS_ST_ERR,
        "Error from rgy_getinfo_by_uuid for UUID 00000000-0000-0000-0000-000000000001: not found\nUnable to mount: operation failed\n"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct COverlapCase {
    const char* name;
    const char* first;   // mounted first; empty: a link made by hand at the mount root
    const char* second;  // refused
    std::string message;
};

class MountOverlapTest : public MntrpcTest, public ::testing::WithParamInterface<COverlapCase> {};

TEST_P(MountOverlapTest, IsRefusedAndNothingChangesInAnyStorage) {
    const std::string first = GetParam().first, second = GetParam().second;
    const std::string vobs = KelmoraHome() + "/vobs", elsewhere = folder_ / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::string first_storage = elsewhere;
    if (first.empty()) {
        std::filesystem::create_directories(vobs);
        std::filesystem::create_directory_symlink(elsewhere, vobs + "/a");
    } else {
        first_storage = MakeTaggedVob(folder_, first).storage;
        ASSERT_EQ(mntrpc_mount_tag(first.c_str(), "", ""), TBS_ST_OK);
    }
    // The first VOB's own link, where the second would be mounted.
    std::filesystem::create_directory_symlink(elsewhere, first_storage + "/b");
    MakeTaggedVob(folder_, second);
    EXPECT_NE(mntrpc_mount_tag(second.c_str(), "", ""), TBS_ST_OK);
    EXPECT_EQ(output_.error(), GetParam().message);
    EXPECT_FALSE(IsMounted(second));
    EXPECT_EQ(std::filesystem::read_symlink(first_storage + "/b"), elsewhere);
    if (!first.empty()) {
        std::string mount_point;
        ASSERT_TRUE(client::TrfsMountPoint(first, &mount_point));
        EXPECT_EQ(std::filesystem::read_symlink(mount_point), first_storage);
        EXPECT_EQ(mntrpc_umount_tag(first.c_str(), ""), TBS_ST_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tags, MountOverlapTest,
    ::testing::Values(COverlapCase{"Below", "\\a", "\\a\\b",
                                   "\"\\a\\b\" would collide with existing VOB tag \"\\a\".\n"},
                      COverlapCase{"Above", "\\a\\b", "\\a",
                                   "\"\\a\" would collide with existing VOB tag \"\\a\\b\".\n"},
                      COverlapCase{"SameMountPoint", "\\src", "/src",
                                   "\"/src\" would collide with existing VOB tag \"\\src\".\n"},
                      COverlapCase{"ThroughALink", "", "\\a\\b",
                                   "Unable to mount: already exists\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MntrpcTest, MountAllSkipsPrivateAndNoautoTagsAndReportsTheFirstFailure) {
    CTaggedVob a = MakeTaggedVob(folder_, "\\a");
    MakeTaggedVob(folder_, "\\b", {{RGY_KEY_OPTIONS, kNoKey}});
    MakeTaggedVob(folder_, "\\mounted");
    MakeTaggedVob(folder_, "\\private", {{RGY_KEY_ACCESS, "private"}});
    MakeTaggedVob(folder_, "\\manual", {{RGY_KEY_OPTIONS, "ro,noauto"}});
    MakeTaggedVob(folder_, "\\z");
    ASSERT_EQ(mntrpc_mount_tag("\\mounted", "", ""), TBS_ST_OK);
    EXPECT_EQ(mntrpc_mount_tag("", "", " -a "), TBS_ST_NOT_FOUND);
    for (auto [tag, mounted] :
         {std::pair{"\\a", true}, std::pair{"\\mounted", true}, std::pair{"\\private", false},
          std::pair{"\\manual", false}, std::pair{"\\z", true}})
        EXPECT_EQ(IsMounted(tag), mounted) << tag;

    // A duplicate is told, and its VOB unmounted all the same; one without its path stays.
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "", {{RGY_KEY_TAG, "\\z"}}, nullptr),
              TBS_ST_OK);
    ASSERT_EQ(client::RemoveRegistryEntry(a.entry_id), TBS_ST_OK);
    ASSERT_EQ(client::AddRegistryEntry(RGY_KIND_VOB_TAG, "", {{RGY_KEY_TAG, "\\a"}}, nullptr),
              TBS_ST_OK);
    EXPECT_EQ(mntrpc_umount_tag("", " -a "), TBS_ST_NOT_FOUND);
    EXPECT_NE(output_.error().find("duplicate VOB tag was found\nfor \"\\z\""), std::string::npos);
    std::vector<client::CTrfsMount> mounts;
    ASSERT_EQ(client::ListTrfsMounts(&mounts), TBS_ST_OK);
    EXPECT_EQ(mounts.size(), 1u);
    // The library's entry answers the driver's status.
    EXPECT_EQ(mount::UnmountAllTags(), TBS_ST_OK);
    EXPECT_FALSE(IsMounted("\\a"));
    int collision = 5;
    EXPECT_EQ(mount::CheckTagCollision(&collision), TBS_ST_OK);
    EXPECT_EQ(collision, 0);
}

TEST_F(MntrpcTest, TagInfoAnswersTheEntrysKeysAndOfAnUnknownTagNothingWithoutAMessage) {
    CTaggedVob known = MakeTaggedVob(folder_, "\\known");
    ASSERT_EQ(client::AddRegion("other"), TBS_ST_OK);  // where it is unknown
    int is_public = 7;
    char path[64] = "unchanged";
    uint8_t uuid[16] = {9};
    EXPECT_EQ(mount::GetTagInfo("\\known", "other", nullptr, &is_public, path, sizeof path, uuid),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(is_public, 7);
    EXPECT_STREQ(path, "unchanged");
    EXPECT_EQ(uuid[0], 9);
    EXPECT_EQ(output_.error(), "");
    EXPECT_EQ(mount::GetTagInfo("\\known", "", nullptr, &is_public, nullptr, 0, uuid), TBS_ST_OK);
    EXPECT_EQ(is_public, 1);
    EXPECT_EQ(UuidText(uuid), known.record.replica_uuid);

    MakeTaggedVob(
        folder_, "\\nopath",
        {{RGY_KEY_GLOBAL_PATH, kNoKey}, {RGY_KEY_ACCESS, "private"}, {RGY_KEY_UUID, kNoKey}});
    EXPECT_EQ(mount::GetTagInfo("\\nopath", "", nullptr, &is_public, path, sizeof path, uuid),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(is_public, 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(output_.error(),
              "The VOB tag entry for \"\\nopath\" does not contain a global path.\nVOB tag entry "
              "does not contain a required key.\n");
}

TEST(MessageTableTest, NumbersRunFromOneToTheCount) {
    for (const imsg_msg_table_t* table :
         {mount::MountTrfsMessageTable(), mount::MntrpcMessageTable()})
        for (uint16_t i = 0; i < table->count; ++i) EXPECT_EQ(table->numbers[i], i + 1);
}

}  // namespace
}  // namespace kelmora::test
