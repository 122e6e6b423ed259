#include "mount/mount_trfs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "client/client_test_util.h"
#include "client/registry.h"
#include "client/tag_registry.h"
#include "client/trfs_refs.h"
#include "mount/mount_fixture.h"

namespace kelmora::test {
namespace {

class MountTrfsTest : public ::testing::Test {
protected:
    int Build(const std::string& options, std::string file_system = "") {
        file_system_ = file_system.empty() ? vob_.storage : file_system;
        options_ = options;
        struct mntent entry = {file_system_.data(), vob_.tag.data(), type_, options_.data(), 0, 0};
        return mount::MountTrfs(&entry, &block_);
    }

    static std::string Text(const trfs_cstring_t& counted) {
        std::string text;
        EXPECT_TRUE(client::ResolveCountedString(counted, &text));
        return text;
    }

    CTempDir folder_;
    CTaggedVob vob_ = MakeTaggedVob(folder_, "\\" + UniqueName("trfs"));
    trfs_mount_args_t block_;
    std::string file_system_, options_;
    char type_[8] = "-t trfs";
    CCapturedOutput output_;
};

TEST_F(MountTrfsTest, AVobBlockNamesTheVobItsReplicaAndWhereTheRegistryHasThem) {
    ASSERT_EQ(Build("timeo=7,retrans=3,exportid=12", vob_.storage + ";extra"), 0)
        << output_.error();
    EXPECT_EQ(block_.header, 0xF8000Cu);
    EXPECT_EQ(Text(block_.mount_dir), vob_.tag);
    EXPECT_EQ(Text(block_.storage_path), vob_.storage);  // cut at the semicolon
    EXPECT_EQ(Text(block_.storage_object_path), std::filesystem::canonical(vob_.storage).string());
    EXPECT_EQ(Text(block_.registry_path), vob_.storage);
    EXPECT_EQ(Text(block_.host), client::LocalHostName());
    EXPECT_EQ(UuidText(block_.replica_uuid), vob_.record.replica_uuid);
    EXPECT_EQ(UuidText(block_.vob_uuid), vob_.record.uuid);
    EXPECT_EQ(block_.timeo, 7u);
    EXPECT_EQ(block_.retrans, 3u);
    EXPECT_EQ(block_.export_id, 12u);
    EXPECT_EQ(block_.xn_suffix.text, 0u);
    EXPECT_EQ(output_.error(), "");
    EXPECT_EQ(Build("uuid=" + vob_.record.replica_uuid, std::string(1023, 'r')), 1);  // relative
}

struct CFlagsCase {
    const char* name;
    std::string options;
    uint32_t flags;
    std::vector<uint32_t> cache = {0, 0, 0, 0};  // acregmax, acregmin, acdirmax, acdirmin
    std::string refusal = "";                    // the one message of a refused block
    std::string file_system = "";                // empty: the VOB's storage
};

class MountTrfsFlagsTest : public MountTrfsTest,
                           public ::testing::WithParamInterface<CFlagsCase> {};

// actimeo is the default of each attribute cache field.
TEST_P(MountTrfsFlagsTest, OptionsSetTheFlagWordAndTheAttributeCacheOrFailWithOneMessage) {
    const CFlagsCase& c = GetParam();
    EXPECT_EQ(Build(c.options, c.file_system), c.refusal.empty() ? 0 : 1);
    EXPECT_EQ(output_.error(), c.refusal);
    if (!c.refusal.empty()) return;
    EXPECT_EQ(block_.flags, c.flags);
    EXPECT_EQ(
        (std::vector<uint32_t>{block_.acregmax, block_.acregmin, block_.acdirmax, block_.acdirmin}),
        c.cache);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Flags, MountTrfsFlagsTest, ::testing::Values(
    CFlagsCase{"RwSoft", "rw,soft", 0x0D}, CFlagsCase{"SoftIntr", "soft,intr", 0x05}, CFlagsCase{"None", "", 0x09},
    CFlagsCase{"RoNoac", "ro,noac,nodnlc", 0x79}, CFlagsCase{"Actimeo", "actimeo=30,acregmin=5", 0x09, {30, 5, 30, 30}},
    CFlagsCase{"AcregmaxAcdirmin", "acregmax=1,acdirmin=4", 0x09, {1, 0, 0, 4}},
    CFlagsCase{"BadUuid", "uuid=nonsense", 0, {}, "uuid option value is not valid\n"},
    CFlagsCase{"UnknownStorage", "", 0, {}, "VOB /no/such/vob is not responding\n", "/no/such/vob"},
    CFlagsCase{"StoragePathTooLong", "", 0, {}, "VOB storage path of 1024 characters is too long (at most 1023)\n",
               "/" + std::string(1023, 'p')},
    CFlagsCase{"SuffixTooLong", "viewroot,xnsuffix=" + std::string(280, 's'), 0, {},
               "xnsuffix option of 280 characters is too long (at most 279)\n"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(MountTrfsTest, APoolMapIsBuiltUnlessRegistryPoolsAreTurnedOff) {
    std::filesystem::create_directories(folder_.path() + "/pools/p1");
    const std::string poolmap = "poolmap=p1:" + folder_.path() + "\\pools\\p1";
    ASSERT_EQ(Build("no_rgy_pools," + poolmap), 0);
    EXPECT_EQ(block_.pool_count, 0u);
    ASSERT_EQ(Build(poolmap), 0) << output_.error();
    ASSERT_EQ(block_.pool_count, 1u);
    auto pools = static_cast<const trfs_pool_entry_t*>(client::ResolveReference(block_.pools));
    ASSERT_NE(pools, nullptr);
    EXPECT_EQ(Text(pools[0].name), "p1");
    EXPECT_EQ(Text(pools[0].directory), folder_.path() + "/pools/p1");
    EXPECT_EQ(Build("poolmap=p2:"), 1);  // a pool without its folder
}

TEST_F(MountTrfsTest, ViewRootBlocksWarnOfRetryOptionsAndGetTheDefaultSuffixAndTunables) {
    const char* key = ntregy_trfs_params_key();
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, key, "Param101", "7"), TBS_ST_OK);
    ASSERT_EQ(Build("viewroot,timeo=5"), 0) << output_.error();
    ntregy_delete_value(NTREGY_HKEY_LOCAL_MACHINE, key, "Param101");
    uint32_t second = 0;
    std::memcpy(&second, block_.tunables + sizeof second, sizeof second);
    EXPECT_EQ(second, 7u);
    EXPECT_EQ(output_.error(),
              "obsolete use of viewroot mount retry/timeout options - options ignored\n");
    EXPECT_EQ(block_.flags, TRFS_MOUNT_VIEWROOT | TRFS_MOUNT_NOINTR);
    EXPECT_EQ(block_.timeo, 5u);
    EXPECT_EQ(block_.hubd_port, 371u);
    EXPECT_FALSE(Text(block_.host).empty());
    EXPECT_EQ(Text(block_.xn_suffix), "@@");

    ASSERT_EQ(Build("rviewroot,xnsuffix=" + std::string(279, 's')), 0);
    EXPECT_EQ(block_.flags, TRFS_MOUNT_RVIEWROOT | TRFS_MOUNT_NOINTR);
    EXPECT_EQ(block_.xn_suffix.length, 279u);
    EXPECT_EQ(block_.host.text, 0u);
}

}  // namespace
}  // namespace kelmora::test
