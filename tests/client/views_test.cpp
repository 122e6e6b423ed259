#include "client/views.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "client/view_store.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

TEST(ViewTagTest, UnusableTagsAreRefused) {
    for (const char* tag : {"", "-v", ".v", "a b", "a/b", "a\\b", "a\"b", "tag\n", "caf\xC3\xA9"}) {
        EXPECT_EQ(client::CreateView(tag), TBS_ST_INVALID) << tag;
        client::CViewRecord view;
        EXPECT_EQ(client::FindView(tag, &view), TBS_ST_NOT_FOUND) << tag;
    }
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

// The view's identifier, " ws" for a workspace, or the status of the lookup that failed.
std::string Reached(tbs_status_t status, const CViewHandle& handle) {
    if (status != TBS_ST_OK) return "status " + std::to_string(status);
    tbs_uuid_t uuid{};
    int is_ws = -1;
    EXPECT_EQ(view_get_uuid(handle.get(), &uuid), TBS_ST_OK);
    EXPECT_EQ(view_ws_is_ws_view(handle.get(), &is_ws), TBS_ST_OK);
    return client::UuidToText(uuid) + (is_ws ? " ws" : "");
}

// A workspace's root is made absolute and created.
TEST(ViewHandleTest, TagIdentifierAndPathsReachTheSameViewAndNothingElse) {
    CTempDir dir;
    const std::string view = UniqueName("dyn"), ws = UniqueName("ws"), none = UniqueName("none");
    ASSERT_EQ(client::CreateView(view), TBS_ST_OK);
    ASSERT_EQ(client::CreateWorkspace(ws, dir / "a/../my ws/"), TBS_ST_OK);
    const std::string root = dir / "my ws";
    EXPECT_TRUE(IsDirectory(root));
    client::CViewRecord dyn, wsp;
    ASSERT_EQ(client::FindView(view, &dyn), TBS_ST_OK);
    ASSERT_EQ(client::FindView(ws, &wsp), TBS_ST_OK);
    char pname[1024];
    ASSERT_EQ(cmd_utl_view_tag_to_pname(ws.c_str(), 0, sizeof pname, pname), TBS_ST_OK);
    EXPECT_EQ(std::string(pname), root);
    EXPECT_EQ(ws_get_view((dir / "x/../my ws").c_str(), 0, 8, pname), TBS_ST_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(pname), ws.substr(0, 7));  // a tag that does not fit is cut
    EXPECT_EQ(cmd_utl_view_tag_to_pname(none.c_str(), 0, sizeof pname, pname), TBS_ST_NOT_FOUND);
    ASSERT_EQ(cmd_utl_view_tag_to_pname(view.c_str(), 0, sizeof pname, pname), TBS_ST_OK);
    const std::string in_ws = wsp.uuid + " ws",
                      not_found = "status " + std::to_string(TBS_ST_NOT_FOUND),
                      not_a_view = "status " + std::to_string(TBS_ST_NOT_A_VIEW);
    tbs_uuid_t uuid{}, unknown = TBS_UUID_NULL;
    ASSERT_TRUE(client::UuidFromText(dyn.uuid, &uuid));
    CViewHandle by_tag, ws_by_tag, by_uuid, none_by_tag, none_by_uuid;
    EXPECT_EQ(Reached(cmd_utl_view_tag_to_handle(view.c_str(), 0, 0, 0, 0, by_tag.out()), by_tag),
              dyn.uuid);
    EXPECT_EQ(Reached(view_get_handle_by_tag(ws.c_str(), 0, ws_by_tag.out()), ws_by_tag), in_ws);
    EXPECT_EQ(Reached(view_get_handle(&uuid, by_uuid.out()), by_uuid), dyn.uuid);
    EXPECT_EQ(Reached(view_get_handle_by_tag(none.c_str(), 0, none_by_tag.out()), none_by_tag),
              not_found);
    EXPECT_EQ(Reached(view_get_handle(&unknown, none_by_uuid.out()), none_by_uuid), not_found);
    EXPECT_EQ(none_by_tag.get(), nullptr);
    const std::pair<std::string, std::string> kPaths[] = {
        {pname, dyn.uuid},
        {std::string(pname) + "/vobs/src", dyn.uuid},
        {root, in_ws},
        {root + "/sub/../x", in_ws},
        {dir / "elsewhere", not_a_view},
        {KelmoraHome() + "/views", not_a_view},
        {KelmoraHome() + "/views/" + ws, not_a_view},
        {KelmoraHome() + "/views/" + none, not_a_view}};
    for (const auto& [path, expected] : kPaths) {
        CViewHandle handle;
        EXPECT_EQ(Reached(view_get_handle(path.c_str(), 1, handle.out()), handle), expected)
            << path;
    }
    CWsHandle outside;
    EXPECT_EQ(ws_get_handle(dir.path().c_str(), 0, outside.out()), TBS_ST_NOT_WS);
    EXPECT_EQ(outside.get(), nullptr);
    char untouched = 'Z';  // a buffer of no size is not written
    EXPECT_EQ(ws_get_view(dir.path().c_str(), 0, 0, &untouched), TBS_ST_NOT_WS);
    EXPECT_EQ(cmd_utl_view_tag_to_pname("", 0, 0, &untouched), TBS_ST_INVALID);
    EXPECT_EQ(untouched, 'Z');
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

}  // namespace
}  // namespace kelmora::test
