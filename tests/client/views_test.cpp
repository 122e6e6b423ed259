#include "client/views.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

// Frees a view handle whatever the test's path out.
class CViewHandle {
public:
    ~CViewHandle() { view_free_handle(handle_); }
    view_handle_t* out() { return &handle_; }
    view_handle_t get() const { return handle_; }

private:
    view_handle_t handle_ = nullptr;
};

class CWsHandle {
public:
    ~CWsHandle() { ws_free_handle(&handle_); }
    ws_handle_t* out() { return &handle_; }
    ws_handle_t get() const { return handle_; }

private:
    ws_handle_t handle_ = nullptr;
};

std::string UuidText(const tbs_uuid_t& uuid) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[uuid.bytes[i] >> 4];
        text += kDigits[uuid.bytes[i] & 15];
    }
    return text;
}

TEST(ViewAdminTest, ViewsAreMadeFoundListedAndRemoved) {
    const std::string tag = UniqueName("v");
    ASSERT_EQ(client::CreateView(tag), TBS_ST_OK);
    EXPECT_EQ(client::CreateView(tag), TBS_ST_EXISTS);

    client::CViewRecord view;
    ASSERT_EQ(client::FindView(tag, &view), TBS_ST_OK);
    EXPECT_EQ(view.tag, tag);
    EXPECT_FALSE(view.is_workspace);
    EXPECT_EQ(view.workspace_root, "");
    EXPECT_EQ(view.uuid.size(), 36u);

    std::vector<client::CViewRecord> views;
    ASSERT_EQ(client::ListViews(&views), TBS_ST_OK);
    EXPECT_TRUE(std::any_of(views.begin(), views.end(),
                            [&](const auto& v) { return v.tag == tag && v.uuid == view.uuid; }));
    EXPECT_TRUE(std::is_sorted(views.begin(), views.end(),
                               [](const auto& a, const auto& b) { return a.tag < b.tag; }));

    ASSERT_EQ(client::RemoveView(tag), TBS_ST_OK);
    EXPECT_EQ(client::FindView(tag, &view), TBS_ST_NOT_FOUND);
    EXPECT_EQ(client::RemoveView(tag), TBS_ST_NOT_FOUND);
}

class ViewTagTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ViewTagTest, UnusableTagsAreRefused) {
    EXPECT_EQ(client::CreateView(GetParam()), TBS_ST_INVALID);
    client::CViewRecord view;
    EXPECT_EQ(client::FindView(GetParam(), &view), TBS_ST_NOT_FOUND);
}

INSTANTIATE_TEST_SUITE_P(Tags, ViewTagTest,
                         ::testing::Values("", "-v", ".v", "a b", "a/b", "a\\b", "a\"b", "tag\n",
                                           "caf\xC3\xA9"));

TEST(ViewAdminTest, WorkspaceRootIsCreatedAndKeptAbsolute) {
    CTempDir dir;
    const std::string tag = UniqueName("ws");
    const std::string root = dir / "a/b/../ws";
    ASSERT_EQ(client::CreateWorkspace(tag, root + "/"), TBS_ST_OK);
    client::CViewRecord view;
    ASSERT_EQ(client::FindView(tag, &view), TBS_ST_OK);
    EXPECT_TRUE(view.is_workspace);
    EXPECT_EQ(view.workspace_root, dir / "a/ws");
    EXPECT_TRUE(IsDirectory(dir / "a/ws"));
}

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
    EXPECT_EQ(UuidText(uuid), record.uuid);
    int is_ws = -1;
    ASSERT_EQ(view_ws_is_ws_view(by_tag.get(), &is_ws), TBS_ST_OK);
    EXPECT_EQ(is_ws, 0);

    CViewHandle by_uuid;
    ASSERT_EQ(view_get_handle(&uuid, by_uuid.out()), TBS_ST_OK);
    tbs_uuid_t again{};
    ASSERT_EQ(view_get_uuid(by_uuid.get(), &again), TBS_ST_OK);
    EXPECT_EQ(UuidText(again), record.uuid);
}

TEST(ViewHandleTest, UnknownViewsGiveNoHandle) {
    CViewHandle handle;
    EXPECT_EQ(view_get_handle_by_tag(UniqueName("none").c_str(), 0, handle.out()),
              TBS_ST_NOT_FOUND);
    EXPECT_EQ(handle.get(), nullptr);
    tbs_uuid_t uuid = TBS_UUID_NULL;
    EXPECT_EQ(view_get_handle(&uuid, handle.out()), TBS_ST_NOT_FOUND);
    EXPECT_EQ(handle.get(), nullptr);
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

TEST(ViewHandleTest, WorkspaceHandlesKnowTheyAreWorkspaces) {
    CTempDir dir;
    const std::string tag = UniqueName("wsh");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "root"), TBS_ST_OK);
    CViewHandle handle;
    ASSERT_EQ(view_get_handle_by_tag(tag.c_str(), 0, handle.out()), TBS_ST_OK);
    int is_ws = 0;
    ASSERT_EQ(view_ws_is_ws_view(handle.get(), &is_ws), TBS_ST_OK);
    EXPECT_EQ(is_ws, 1);
}

TEST(ViewPathNameTest, WorkspaceIsSeenAtItsRootADynamicViewUnderTheHome) {
    CTempDir dir;
    const std::string ws = UniqueName("ws"), dyn = UniqueName("dyn");
    ASSERT_EQ(client::CreateWorkspace(ws, dir / "root"), TBS_ST_OK);
    ASSERT_EQ(client::CreateView(dyn), TBS_ST_OK);
    char buf[1024];
    ASSERT_EQ(cmd_utl_view_tag_to_pname(ws.c_str(), 0, sizeof buf, buf), TBS_ST_OK);
    EXPECT_EQ(std::string(buf), dir / "root");
    ASSERT_EQ(cmd_utl_view_tag_to_pname(dyn.c_str(), 0, sizeof buf, buf), TBS_ST_OK);
    EXPECT_EQ(std::string(buf).rfind(KelmoraHome() + "/", 0), 0u) << buf;
    EXPECT_EQ(cmd_utl_view_tag_to_pname(UniqueName("none").c_str(), 0, sizeof buf, buf),
              TBS_ST_NOT_FOUND);
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

INSTANTIATE_TEST_SUITE_P(
    Paths, WorkspaceContainmentTest,
    ::testing::Values(CContainmentCase{"a/b", true}, CContainmentCase{"a/b/", true},
                      CContainmentCase{"a/b/c", true}, CContainmentCase{"a/b/c/d.txt", true},
                      CContainmentCase{"a/b/./c", true}, CContainmentCase{"a/b/c/..", true},
                      CContainmentCase{"a//b//c", true}, CContainmentCase{"a/bc", false},
                      CContainmentCase{"a/b.txt", false}, CContainmentCase{"a", false},
                      CContainmentCase{"a/b/../bc", false}, CContainmentCase{"x/a/b", false}));

TEST(WorkspaceTest, TagThatDoesNotFitIsReported) {
    CTempDir dir;
    const std::string tag = UniqueName("long_workspace_tag");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "root"), TBS_ST_OK);
    char small[8];
    EXPECT_EQ(ws_get_view((dir / "root").c_str(), 0, sizeof small, small), TBS_ST_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(small), tag.substr(0, 7));
}

TEST(WorkspaceTest, HandleFromAPathInsideAndLoadPreferences) {
    CTempDir dir;
    const std::string tag = UniqueName("wsp");
    ASSERT_EQ(client::CreateWorkspace(tag, dir / "root"), TBS_ST_OK);
    CWsHandle handle;
    ASSERT_EQ(ws_get_handle((dir / "root/sub/file").c_str(), 0, handle.out()), TBS_ST_OK);
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

TEST(WorkspaceTest, PathOutsideEveryWorkspaceGivesNoHandle) {
    CTempDir dir;
    CWsHandle handle;
    EXPECT_EQ(ws_get_handle(dir.path().c_str(), 0, handle.out()), TBS_ST_NOT_WS);
    EXPECT_EQ(handle.get(), nullptr);
}

}  // namespace
}  // namespace kelmora::test
