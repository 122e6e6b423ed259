#include "client/views.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "client/view_store.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

class ViewTagTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ViewTagTest, UnusableTagsAreRefused) {
    EXPECT_EQ(client::CreateView(GetParam()), TBS_ST_INVALID);
    client::CViewRecord view;
    EXPECT_EQ(client::FindView(GetParam(), &view), TBS_ST_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Tags, ViewTagTest,
                         ::testing::Values("", "-v", ".v", "a b", "a/b", "a\\b", "a\"b", "tag\n",
                                           "caf\xC3\xA9"),
                         [](const auto& info) { return test::CaseName(info.index, info.param); });

TEST(ViewAdminTest, WorkspaceRootsMayNotOverlap) {
    CTempDir dir;
    CCapturedOutput output;
    ASSERT_EQ(client::CreateWorkspace(UniqueName("outer"), dir / "w"), TBS_ST_OK);
    EXPECT_EQ(client::CreateWorkspace(UniqueName("same"), dir / "w"), TBS_ST_EXISTS);
    EXPECT_EQ(client::CreateWorkspace(UniqueName("inner"), dir / "w/x"), TBS_ST_INVALID);
    EXPECT_EQ(client::CreateWorkspace(UniqueName("around"), dir.path()), TBS_ST_INVALID);
    EXPECT_EQ(client::CreateWorkspace(UniqueName("beside"), dir / "wx"), TBS_ST_OK);
    EXPECT_NE(output.error().find("overlap"), std::string::npos) << output.error();
}

TEST(ViewHandleTest, HandlesByTagAndByUuidDescribeTheSameView) {
    const std::string tag = UniqueName("h");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    client::CViewRecord record;
    ASSERT_EQ(client::FindView(tag, &record), TBS_ST_OK);

    CViewHandle by_tag;
    ASSERT_EQ(cmd_utl_view_tag_to_handle(tag.c_str(), 0, 0, 0, 0, by_tag.out()), TBS_ST_OK);
    tbs_uuid_t uuid{};
    ASSERT_EQ(view_get_uuid(by_tag.get(), &uuid), TBS_ST_OK);
    EXPECT_EQ(client::UuidToText(uuid), record.uuid);
    int is_ws = -1;
    ASSERT_EQ(view_ws_is_ws_view(by_tag.get(), &is_ws), TBS_ST_OK);
    EXPECT_EQ(is_ws, 0);

    CViewHandle by_uuid;
    ASSERT_EQ(view_get_handle(&uuid, by_uuid.out()), TBS_ST_OK);
    tbs_uuid_t again{};
    ASSERT_EQ(view_get_uuid(by_uuid.get(), &again), TBS_ST_OK);
    EXPECT_EQ(client::UuidToText(again), record.uuid);
}

TEST(ViewHandleTest, UnknownViewsAndPathsOutsideEveryWorkspaceGiveNoHandle) {
    CViewHandle handle;
    EXPECT_EQ(view_get_handle_by_tag(UniqueName("none").c_str(), 0, handle.out()),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(handle.get(), nullptr);
    tbs_uuid_t uuid = TBS_UUID_NULL;
    EXPECT_EQ(view_get_handle(&uuid, handle.out()), TBS_ST_NOT_FOUND);
    EXPECT_EQ(handle.get(), nullptr);
    CTempDir dir;
    CWsHandle ws;
    EXPECT_EQ(ws_get_handle(dir.path().c_str(), 0, ws.out()), TBS_ST_NOT_WS);
    EXPECT_EQ(ws.get(), nullptr);
    char buf[1024];
    EXPECT_EQ(cmd_utl_view_tag_to_pname(UniqueName("none").c_str(), 0, sizeof buf, buf),
              TBS_ST_NOT_FOUND);
}

TEST(ViewHandleTest, AHandleDoesNotFollowItsTagToANewView) {
    CTempDir dir;
    const std::string tag = UniqueName("reuse");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    CViewHandle old_handle;
    ASSERT_EQ(view_get_handle_by_tag(tag.c_str(), 0, old_handle.out()), TBS_ST_OK);
    ASSERT_EQ(client::RemoveView(tag), TBS_ST_OK);
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    EXPECT_EQ(view_get_config_spec(old_handle.get(), (dir / "cs").c_str(), 0), TBS_ST_NOT_FOUND);
}

struct CContainmentCase {
    const char* path;  // below the temporary folder, whose "a/b" is the root
    bool held;
};

class WorkspaceContainmentTest : public ::testing::TestWithParam<CContainmentCase> {};

TEST_P(WorkspaceContainmentTest, RootHoldsItselfAndWhatIsBelowIt) {
    CTempDir dir;
    const std::string tag = UniqueName("ws");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "a/b"), TBS_ST_OK);
    const std::string path = dir / GetParam().path;
    char found[256] = "junk";
    tbs_status_t status = ws_get_view(path.c_str(), 0, sizeof found, found);
    if (GetParam().held) {
        ASSERT_EQ(status, TBS_ST_OK) << path;
        EXPECT_EQ(std::string(found), tag);
    } else {
        EXPECT_EQ(status, TBS_ST_NOT_WS) << path;
        EXPECT_STREQ(found, "");
    }
}

const CContainmentCase kPaths[] = {{"a/b", true},         {"a/b/", true},       {"a/b/c", true},
                                   {"a/b/c/d.txt", true}, {"a/b/./c", true},    {"a/b/c/..", true},
                                   {"a//b//c", true},     {"a/bc", false},      {"a/b.txt", false},
                                   {"a", false},          {"a/b/../bc", false}, {"x/a/b", false}};

INSTANTIATE_TEST_SUITE_P(Paths, WorkspaceContainmentTest, ::testing::ValuesIn(kPaths),
                         [](const auto& info) {
                             return test::CaseName(info.index, info.param.path);
                         });

// The root is made absolute and created; the workspace is seen there, and
// reached by its tag and from any path inside.
TEST(WorkspaceTest, RootPathNameHandlesAndLoadPreferences) {
    CTempDir dir;
    const std::string tag = UniqueName("wsp");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "a/b/../ws/"), TBS_ST_OK);
    const std::string root = dir / "a/ws";
    client::CViewRecord record;
    ASSERT_EQ(client::FindView(tag, &record), TBS_ST_OK);
    EXPECT_TRUE(record.is_workspace);
    EXPECT_EQ(record.workspace_root, root);
    EXPECT_TRUE(IsDirectory(root));
    char buf[1024];
    ASSERT_EQ(cmd_utl_view_tag_to_pname(tag.c_str(), 0, sizeof buf, buf), TBS_ST_OK);
    EXPECT_EQ(std::string(buf), root);
    // A tag that does not fit is cut and reported.
    ASSERT_GT(tag.size(), 7u);
    EXPECT_EQ(ws_get_view(root.c_str(), 0, 8, buf), TBS_ST_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(buf), tag.substr(0, 7));

    CViewHandle view;
    ASSERT_EQ(view_get_handle_by_tag(tag.c_str(), 0, view.out()), TBS_ST_OK);
    int is_ws = 0;
    ASSERT_EQ(view_ws_is_ws_view(view.get(), &is_ws), TBS_ST_OK);
    EXPECT_EQ(is_ws, 1);
    CWsHandle handle;
    ASSERT_EQ(ws_get_handle((root + "/sub/file").c_str(), 0, handle.out()), TBS_ST_OK);
    ASSERT_NE(handle.get(), nullptr);

    uint32_t flags = 1;
    ASSERT_EQ(ws_get_load_preferences(handle.get(), &flags), TBS_ST_OK);
    EXPECT_EQ(flags, 0u);
    ASSERT_EQ(ws_set_load_preferences(handle.get(), 0x10000, 1), TBS_ST_OK);
    ASSERT_EQ(ws_set_load_preferences(handle.get(), 0x4, 1), TBS_ST_OK);
    ASSERT_EQ(ws_get_load_preferences(handle.get(), &flags), TBS_ST_OK);
    EXPECT_EQ(flags, 0x10004u);
    ASSERT_EQ(ws_set_load_preferences(handle.get(), 0x4, 0), TBS_ST_OK);
    ASSERT_EQ(ws_get_load_preferences(handle.get(), &flags), TBS_ST_OK);
    EXPECT_EQ(flags, 0x10000u);
}

}  // namespace
}  // namespace kelmora::test
