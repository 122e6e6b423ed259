#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/registry.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"
#include "ui/assoc_dlg.h"
#include "ui/cos_dlg.h"
#include "ui/profile_picker.h"
#include "ui/xvobs_dlg.h"

namespace kelmora {
namespace {

using Args = std::vector<std::string>;

// The profile browser picks from a real tree on the input it is given.
class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root_ / "Proj/Sub");
        test::WriteTextFile(root_ / "Proj/Sub/GUID", "a1b2 0.3");
        ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                   "ProjectRoot", root_.path().c_str()),
                  TBS_ST_OK);
        const std::string key =
            std::string(ntregy_get_common_key()) + CAssocDlg::kSelectionKeySuffix;
        // A stale selection that only a successful pick may replace.
        ntregy_set_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Folder", "\\Old");
        ntregy_set_value(NTREGY_HKEY_CURRENT_USER, key.c_str(), "Item", "Stale");
    }
    // Runs Browse with the given text on standard input (which the browser inherits).
    std::string Browse(const std::string& input) {
        test::WriteTextFile(scratch_ / "input", input);
        int saved = dup(0);
        int fd = open((scratch_ / "input").c_str(), O_RDONLY);
        dup2(fd, 0);
        close(fd);
        dialog_.set_name_text("typed");
        dialog_.OnBrowse();
        dup2(saved, 0);
        close(saved);
        return dialog_.name_text();
    }
    test::CTempDir root_, scratch_;
    test::CScriptedUserInterface ui_;
    CAssocDlg dialog_;
};

// Without a pick the field keeps what was typed, whatever selection was stored before.
TEST_F(BrowseTest, OnlyAPickChangesTheField) {
    for (const auto& [input, name] : {std::pair{"1\n", "\\Proj\\Sub"}, {"7\n\n", "typed"}})
        EXPECT_EQ(Browse(input), name) << input;
    EXPECT_TRUE(ui_.shown().empty());
    EXPECT_FALSE(dialog_.ended());
}

class CFixedTree final : public CProfileTreeSource {
public:
    bool ListProfileTree(std::vector<CProfileEntry>* entries) override {
        *entries = {{"\\Top", false, "", 0},
                    {"\\Top\\App", true, "The compiler.", 1},
                    {"\\Top\\Lib", false, "", 1},
                    {"\\Top\\Lib\\Core", true, "core library", 2},
                    {"\\Top\\Tools", true, "", 1}};
        return true;
    }
};

struct CPickerCase {
    const char* filter;
    size_t select;      // before the filter
    const char* shown;  // each entry: shown or not
    size_t selection;   // after the filter
    bool ok;
};

class ProfilePickerTest : public ::testing::TestWithParam<CPickerCase> {};

// A selection the filter hides is dropped; the next opening selects the profile OK took.
TEST_P(ProfilePickerTest, FilterShowsMatchesWithTheirFoldersAndOkTakesAProfile) {
    const CPickerCase& c = GetParam();
    CFixedTree tree;
    CProfilePicker picker(&tree);
    ASSERT_EQ(picker.OnInitDialog(), TRUE);
    picker.Select(c.select);
    picker.SetFilter(c.filter);
    std::string shown;
    for (size_t i = 0; i < picker.entries().size(); ++i) shown += picker.IsShown(i) ? "1" : "0";
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(picker.selection(), c.selection);
    EXPECT_EQ(picker.IsEnabled(IDOK), c.ok);
    picker.OnOK();
    EXPECT_EQ(picker.ended(), c.ok);
    CProfilePicker next(&tree);
    next.OnInitDialog();
    if (c.ok) {
        EXPECT_EQ(next.selection(), c.selection);
    }
}

constexpr size_t kNone = CProfilePicker::kNone;

INSTANTIATE_TEST_SUITE_P(Filters, ProfilePickerTest,
                         ::testing::Values(CPickerCase{"APP", 1, "11000", 1, true},
                                           CPickerCase{"compiler", 4, "11000", kNone, false},
                                           CPickerCase{"lib", 3, "10110", 3, true},
                                           CPickerCase{"Core", 2, "10110", 2, false}));

struct CFinderCase {
    const char* name;
    BOOL workspace;
    const char* target;
    const char* view_share;  // the views share name (the file system's Param28); null: none
    Args expected;
};

class FindCheckOutsTest : public ::testing::TestWithParam<CFinderCase> {};

TEST_P(FindCheckOutsTest, FinderGetsItsTargetAsOneArgument) {
    const CFinderCase& c = GetParam();
    test::CRecordingTool finder("stavefindco");
    if (c.view_share)
        ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_trfs_params_key(), "Param28",
                         c.view_share);
    else
        ntregy_delete_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_trfs_params_key(), "Param28");
    test::CScriptedUserInterface ui;
    CCOsDlg dialog(c.target, c.workspace, kCheckoutsAssociate);
    dialog.OnInitDialog();
    dialog.OnFindCheckOuts();
    EXPECT_EQ(finder.Runs(), std::vector<Args>{c.expected});
    EXPECT_EQ(dialog.title(), "Associate with View Profile");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Targets, FindCheckOutsTest, ::testing::Values(
    CFinderCase{"WorkspaceWithBlanks", TRUE, "/home/jdoe/my work space", nullptr,
                {"stavefindco", "-recurse", "/home/jdoe/my work space"}},
    CFinderCase{"ViewOnNamedShare", FALSE, "jdoe_dev", "vshare",
                {"stavefindco", "-avobs", "\\\\vshare\\jdoe_dev"}},
    CFinderCase{"ViewWithoutShareName", FALSE, "jdoe_dev", nullptr,
                {"stavefindco", "-avobs", "\\\\view\\jdoe_dev"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(SiblingToolTest, ToolThatCannotStartIsReportedAndTheDialogStays) {
    test::CTempDir empty;
    test::CScopedEnv no_tools("PATH", empty.path());
    test::CScriptedUserInterface ui;
    CCOsDlg checkouts("v", FALSE, kCheckoutsSynchronize);
    checkouts.OnFindCheckOuts();
    ASSERT_EQ(ui.shown().size(), 1u);
    EXPECT_EQ(ui.shown()[0].text, "Exec of stavefindco failed with error 2\n");
    EXPECT_EQ(ui.shown()[0].style, MB_ICONSTOP);
    EXPECT_FALSE(checkouts.ended());
}

class CFakeMergeHost : public CMergeArgumentsHost {
public:
    CFakeMergeHost(BOOL workspace, Args vobs) : workspace_(workspace), vobs_(std::move(vobs)) {}
    const std::string& view_tag() const override { return tag_; }
    BOOL is_workspace() const override { return workspace_; }
    const std::string& workspace_path() const override { return path_; }
    const std::string& private_branch() const override { return branch_; }
    std::string GetFirstVOB() override { return Vob(next_ = 0); }
    std::string GetNextVOB() override { return Vob(++next_); }

private:
    std::string Vob(size_t i) const { return i < vobs_.size() ? vobs_[i] : ""; }
    std::string tag_ = "V", path_ = "/ws/my ws", branch_ = "B";
    BOOL workspace_;
    Args vobs_;
    size_t next_ = 0;
};

struct CMergeCase {
    const char* name;
    BOOL workspace;
    Args vobs;
    int ready;
    const char* arguments;
    Args vector;  // what the tool gets: a workspace path stays one argument
};

class MergeArgumentsTest : public ::testing::TestWithParam<CMergeCase> {};

TEST_P(MergeArgumentsTest, ArgumentsNameTheViewBranchAndVobs) {
    const CMergeCase& c = GetParam();
    CFakeMergeHost host(c.workspace, c.vobs);
    test::CScriptedUserInterface ui;
    CXVOBsDlg dialog(&host);
    EXPECT_EQ(dialog.PrepareMergeArguments(), c.ready);
    EXPECT_EQ(dialog.merge_arguments(), c.arguments);
    EXPECT_EQ(dialog.MergeArgumentVector(), c.vector);
    EXPECT_EQ(ui.shown().size(), c.ready ? 0u : 1u);  // its words: see the programs' tests
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Views, MergeArgumentsTest, ::testing::Values(
    CMergeCase{"DynamicView", FALSE, {"\\vobA", "\\vobB"}, 1, "/t V /b B /n  \\vobA \\vobB",
               {"/t", "V", "/b", "B", "/n", "\\vobA", "\\vobB"}},
    CMergeCase{"Workspace", TRUE, {"\\vobA"}, 1, "/t /ws/my ws /b B", {"/t", "/ws/my ws", "/b", "B"}},
    CMergeCase{"ProfileWithoutVobList", FALSE, {}, 0, "", {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace kelmora
