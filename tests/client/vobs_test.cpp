#include <gtest/gtest.h>

#include <string>

#include "client/client_test_util.h"
#include "client/vob_admin.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

TEST(VobAdminTest, AVobIsFoundByTagUuidAndStoragePathAndNeitherMayBeTaken) {
    CTempDir dir;
    const std::string tag = "/vobs/" + UniqueName("src");
    client::CVobOptions options;
    options.replicated = true;
    options.replica_name = "site1";
    ASSERT_EQ(client::CreateVob(tag, dir / "stg/../stg", options), TBS_ST_OK);

    client::CVobRecord by_tag, by_uuid, by_storage;
    ASSERT_EQ(client::FindVob(tag, &by_tag), TBS_ST_OK);
    EXPECT_EQ(by_tag.storage_path, dir / "stg");
    EXPECT_EQ(by_tag.mount_dir, tag);
    EXPECT_EQ(by_tag.replica_name, "site1");
    EXPECT_TRUE(by_tag.replicated);
    EXPECT_NE(by_tag.uuid, by_tag.replica_uuid);
    ASSERT_EQ(client::FindVobByUuid(by_tag.uuid, &by_uuid), TBS_ST_OK);
    ASSERT_EQ(client::FindVobByStoragePath(dir / "stg/", &by_storage), TBS_ST_OK);
    EXPECT_EQ(by_uuid.tag, tag);
    EXPECT_EQ(by_storage.tag, tag);

    EXPECT_EQ(client::CreateVob(tag, dir / "other", {}), TBS_ST_EXISTS);
    EXPECT_EQ(client::CreateVob(tag + "x", dir / "stg", {}), TBS_ST_EXISTS);
    EXPECT_EQ(client::FindVob(tag + "x", &by_tag), TBS_ST_NOT_FOUND);
}

class VobTagTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(VobTagTest, OnlyAbsoluteNamesWithoutSeparatorsOfVobListsAreTags) {
    EXPECT_EQ(client::IsValidVobTag(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Tags, VobTagTest,
                         ::testing::Values(std::pair{"/vobs/src", true}, std::pair{"\\src", true},
                                           std::pair{"/", false}, std::pair{"src", false},
                                           std::pair{"/a b", false}, std::pair{"/a,b", false},
                                           std::pair{"/a\"b", false}, std::pair{"/a\tb", false},
                                           std::pair{"", false}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace kelmora::test
