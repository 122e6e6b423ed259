#include "automation/view_profile.h"

#include <gtest/gtest.h>

#include "client/admin.h"
#include "client/client_test_util.h"
#include "platform/fs.h"
#include "resources/string_table.h"
#include "store/tree_root.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora {
namespace {

using test::CScriptedUserInterface;
using test::UniqueName;

// An unknown tag is taken for a dynamic view; a path outside every workspace changes nothing.
TEST(SetViewTest, ByTagOrByAPathInsideAWorkspace) {
    test::CTempDir dir;
    std::string dynamic = UniqueName("dyn"), workspace = UniqueName("ws");
    ASSERT_EQ(client::CreateView(dynamic), TBS_ST_OK);
    ASSERT_EQ(client::CreateWorkspace(workspace, dir / "ws"), TBS_ST_OK);
    ASSERT_TRUE(MakeDirectory(dir / "ws/src"));
    CScriptedUserInterface ui;
    CViewProfile profile;
    EXPECT_EQ(profile.SetViewTag(workspace), TRUE);
    EXPECT_EQ(profile.is_workspace(), TRUE);
    EXPECT_EQ(profile.SetViewTag(UniqueName("missing")), TRUE);
    EXPECT_EQ(profile.is_workspace(), FALSE);
    EXPECT_EQ(profile.SetViewTag(dynamic), TRUE);
    EXPECT_EQ(profile.SetWorkspacePath(dir / "elsewhere"), FALSE);
    EXPECT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(profile.view_tag(), dynamic);
    EXPECT_EQ(profile.is_workspace(), FALSE);
    EXPECT_EQ(profile.SetWorkspacePath(dir / "ws/src"), TRUE);
    EXPECT_EQ(profile.view_tag(), workspace);
    EXPECT_EQ(profile.is_workspace(), TRUE);
    EXPECT_EQ(profile.workspace_path(), dir / "ws/src");
}

// A missing setting is not remembered; a found root is kept by the object that read it.
TEST(TreeRootTest, MissingSettingIsReportedAndAFoundRootIsKeptWithoutItsSeparator) {
    CScriptedUserInterface ui;
    CViewProfile profile;
    profile.SetErrorString("Cannot set up.\n\n");
    EXPECT_EQ(profile.GetProfileTreeRoot(), "");
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, "Cannot set up.\n\n" + LoadString(IDS_TREE_ROOT_NOT_SET));
    EXPECT_EQ(ui.shown()[0].style, MB_OK);
    OverrideTreeRootSetting("/srv/profiles\\");
    EXPECT_EQ(profile.GetProfileTreeRoot(), "/srv/profiles");
    OverrideTreeRootSetting("/elsewhere/");
    EXPECT_EQ(profile.GetProfileTreeRoot(), "/srv/profiles");
    EXPECT_EQ(CViewProfile().GetProfileTreeRoot(), "/elsewhere");
    OverrideTreeRootSetting(std::nullopt);
    EXPECT_EQ(ui.shown().size(), 1u);
}

}  // namespace
}  // namespace kelmora
