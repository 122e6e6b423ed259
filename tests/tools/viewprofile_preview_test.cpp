// --preview shows each change; the database, mounts and tree stay byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "cspec/profile_site.h"
#include "platform/env.h"
#include "tools/tool_fixture.h"
#include "unified_diff.h"

namespace kelmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kRules = "element * \\main\\LATEST\r\n";
std::string Composed(const std::string& revision) {
    return InfoBlock(kProj, kGuid + " " + revision) + "\r\n\r\n" + kSectionHeader + "\r\n" +
           kRules + kEnd;
}
const std::string kOnBranch =
    PrivateBlock(kProj, kGuid + " 2.5", "element * ...\\priv\\LATEST\r\nmkbranch priv\r\n") +
    kSectionHeader + "element * REL1\r\nelement * \\main\\0\r\n" + kEnd;

// Every file below a folder (links by their target).
std::string FolderContents(const std::string& folder) {
    std::set<std::string> entries;  // in order, whatever the walk's
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec))
        entries.insert(entry.path().string() + " " +
                       (entry.is_symlink()        ? "-> " + fs::read_symlink(entry.path()).string()
                        : entry.is_regular_file() ? ReadTextFile(entry.path())
                                                  : ""));
    std::string all;
    for (const std::string& line : entries) all += line + "\n";
    return all;
}

struct CPreviewCase {
    const char* label;
    std::string spec;
    std::vector<std::string> call;
    std::string input;
    std::string new_spec;  // the config spec it would write; empty: none
    std::string shown;     // more of what it prints, after the diff
};

class ViewPreviewTest : public CProfileSiteTest,
                        public ::testing::WithParamInterface<CPreviewCase> {
protected:
    void SetUp() override {
        CProfileSiteTest::SetUp();
        MakeProfile("Proj", RulesFile("", kRules));
        std::string list;
        for (std::string& vob : vobs_) {
            vob = "\\" + UniqueName("pv");
            ASSERT_EQ(RunProgram("stavetool", {"mkvob", vob, temp_ / vob.substr(1)}).exit_code, 0);
            ASSERT_EQ(RunProgram("stavetool", {"mklbtype", "REL1", vob}).exit_code, 0);
            list += vob + " ";
        }
        WriteProfileFile("Proj", "VOB List", list);
    }
    // The tree, the mounts and the client database's bytes (a reader changes none).
    std::string Snapshot() const {
        std::string all = FolderContents(root_) + FolderContents(KelmoraHome() + "/vobs");
        for (const char* db : {"/client.db", "/client.db-wal"})
            all += fs::exists(KelmoraHome() + db) ? ReadTextFile(KelmoraHome() + db) : "-";
        return all;
    }
    std::string vobs_[2];
};

TEST_P(ViewPreviewTest, ShowsTheChangeAndMakesNone) {
    const CPreviewCase& c = GetParam();
    const std::string tag = MakeView(c.spec);
    const std::string before = Snapshot();
    std::vector<std::string> args{"--preview"};
    args.insert(args.end(), c.call.begin(), c.call.end());
    CCommandOutput run = OnView(tag, args, c.input);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::string expected = "TRUE\nPreview of " + c.call[0] + ": nothing was changed.\n";
    if (!c.new_spec.empty()) {
        const bool records = c.new_spec.starts_with("# [SM_PROJECT");
        expected +=
            "The config spec of view '" + tag + "' would be set; " +
            (records ? "it records revision 2.5 of " + kProj : "it records no View Profile") +
            ".\n" + tools::UnifiedDiff(c.spec, c.new_spec, tag + " (now)", tag + " (would be)");
    }
    EXPECT_EQ(run.out, expected + Named(c.shown, {{"VOBA", vobs_[0].substr(1)},
                                                  {"VOBB", vobs_[1].substr(1)},
                                                  {"VIEW", tag}}))
        << run.err;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(StoredSpec(tag), c.spec);
}

const std::string kMounts = "VOBs it would mount:\n  \\VOBA\n  \\VOBB\n";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Methods, ViewPreviewTest, ::testing::Values(
    CPreviewCase{"SynchronizeBehind", Composed("2.3"), {"Synchronize", "0"}, "", Composed("2.5"), kMounts},
    // The browser's pick comes back without being kept for the user.
    CPreviewCase{"AssociateByBrowsing", kRules, {"Associate"}, "browse\n1\n\n", Composed("2.5"), kMounts},
    CPreviewCase{"SetUpBranch", Composed("2.5"), {"SetUpBranch", "0"}, "name priv\nno\nnext\nlabel REL1\nfinish\n",
        kOnBranch, "Branch types it would create:\n  brtype:priv@\\VOBA\n  brtype:priv@\\VOBB\n"},
    CPreviewCase{"FinishBranchPublish", kOnBranch, {"FinishBranch"}, "publish\n", Composed("2.5"),
        "It would start: stavemrgman /t VIEW /b priv /n \\VOBA \\VOBB\n"},
    CPreviewCase{"MountProfileVOBs", Composed("2.5"), {"MountProfileVOBs", ""}, "", "", kMounts}),
    [](const auto& info) { return CaseName(info.index, info.param.label); });
// clang-format on

}  // namespace
}  // namespace kelmora::test
