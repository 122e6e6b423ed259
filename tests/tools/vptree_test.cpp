#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <tuple>

#include "client/registry.h"
#include "cspec/profile_rules.h"
#include "store/profile_layout.h"
#include "tools/tool_fixture.h"

namespace kelmora::test {
namespace {

namespace fs = std::filesystem;

const std::string kTop = "\\Stavemark View Profiles";
const std::string kProj = kTop + "\\Proj";
const std::string kGroup = kTop + "\\Group";

// Runs what follows as the user nobody.
const std::vector<std::string> kNobody = {"setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups"};

// Rules as a profile keeps them, with these profile rules.
std::string Rules(const std::string& profile_rules) {
    return FormatProfileRules("", profile_rules);
}

class VptreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = temp_ / "tree";
        fs::create_directories(Native("Group"));
        fs::create_directories(Native("Proj"));
        WriteTextFile(Native("Proj/GUID"), "proj-guid 1.4");
        WriteTextFile(Native("Proj/Rules"), "element * /main/LATEST\n");
    }

    // vptree on this tree, started through the wrapper's words when given.
    CCommandOutput Vptree(std::vector<std::string> args, const std::string& input = "",
                          std::vector<std::string> wrapper = {}) {
        args.insert(args.begin(), {BuiltProgram("vptree"), "--root", root_});
        wrapper.insert(wrapper.end(), args.begin(), args.end());
        return RunCommand(wrapper, input);
    }

    // Native path below the top level folder.
    std::string Native(const std::string& path) {
        return root_ + "/Stavemark View Profiles/" + path;
    }
    std::string ProjFile(const std::string& name) { return ReadTextFile(Native("Proj/" + name)); }

    CTempDir temp_;
    std::string root_;
};

// Without --root the tree is the one the ProjectRoot setting names.
TEST_F(VptreeTest, ListShowsFoldersAndProfilesWithGuidAndRevision) {
    ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(), "ProjectRoot",
                               root_.c_str()),
              TBS_ST_OK);
    const std::string listed = Printed(RunCommand({BuiltProgram("vptree"), "ls"}));
    for (std::string line :
         {"folder\t" + kTop, "folder\t" + kGroup, "profile\t" + kProj + "\tproj-guid\t1.4"})
        EXPECT_TRUE(Holds(listed, line + "\n"));
}

TEST_F(VptreeTest, NodesByStoredNameOrNativePath) {
    EXPECT_EQ(Printed(Vptree({"mkfolder", kGroup})), kTop + "\\Group\\New Folder\n");
    EXPECT_EQ(Printed(Vptree({"mkfolder", Native("Group/")})), kTop + "\\Group\\New Folder (2)\n");
    EXPECT_EQ(Vptree({"mkfolder", temp_.path()}).exit_code, 1);
    EXPECT_EQ(Vptree({"mkfolder", kTop + "\\..\\.."}).exit_code, 1);
    EXPECT_EQ(Vptree({"mkfolder", kTop + "\\Missing"}).exit_code, 1);
    EXPECT_EQ(ReadTextFile(root_ + "/.rev"), "2");
}

TEST_F(VptreeTest, EditingCommands) {
    EXPECT_EQ(Printed(Vptree({"mkprofile", kGroup})), kTop + "\\Group\\TBD (1)\n");
    EXPECT_EQ(Printed(Vptree({"cp", kProj, kGroup})), kTop + "\\Group\\Proj\n");
    EXPECT_EQ(Printed(Vptree({"cp", "--keep-guid", kProj, kTop})), kTop + "\\Copy of Proj\n");
    EXPECT_EQ(ReadTextFile(Native("Copy of Proj/GUID")), "proj-guid 1.4");
    EXPECT_EQ(Printed(Vptree({"mv", kTop + "\\Group\\TBD (1)", "Named"})),
              kTop + "\\Group\\Named\n");
    // A folder's profiles go only with -r; every delete says what went.
    EXPECT_TRUE(Holds(Printed(Vptree({"rm", kGroup})), "holding 2 profiles; remove it with rm -r"));
    EXPECT_TRUE(
        Printed(Vptree({"rm", "--dry-run", "Group"})).ends_with("would remove " + kGroup + "\n"));
    EXPECT_TRUE(Printed(Vptree({"rm", "-r", kGroup})).ends_with("removed " + kGroup + "\n"));
    EXPECT_FALSE(fs::exists(Native("Group")));
}

// Values kept under another spelling of the root are found by the save.
TEST_F(VptreeTest, SettingRulesAndSavingRaisesTheRevision) {
    WriteTextFile(temp_ / "private", "element * CHECKEDOUT\n");
    WriteTextFile(temp_ / "profile", "element * /main/proj/LATEST\n");
    ASSERT_EQ(RunCommand({BuiltProgram("vptree"), "--root", root_ + "/../tree/", "rules", "Proj",
                          "--private", temp_ / "private", "--profile", temp_ / "profile"})
                  .exit_code,
              0);
    // Nothing is written before the save.
    EXPECT_EQ(ProjFile("Rules"), "element * /main/LATEST\n");
    EXPECT_EQ(Printed(Vptree({"save", kProj})), kProj + "\n");
    EXPECT_EQ(ProjFile("Rules"),
              FormatProfileRules("element * CHECKEDOUT\n", "element * /main/proj/LATEST\n"));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.5");
    EXPECT_TRUE(Holds(Printed(Vptree({"show", Native("Proj")})), "revision\t1.5\n"));

    // What was saved is not saved again: with nothing set, save says so.
    CCommandOutput again = Vptree({"save", kProj});
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_TRUE(Holds(again.err, "nothing was set"));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.5");
    // Where there is no tree, save says so, as every command does.
    root_ += "-gone";
    const CCommandOutput gone = Vptree({"save", kProj});
    EXPECT_TRUE(Holds(gone.out + gone.err, "Did not find a Stavemark View Profile tree"));
}

// rm removes the links, never their targets.
TEST_F(VptreeTest, LinksAreNeitherListedNorCopiedNorFollowed) {
    fs::create_directories(temp_ / "other dir");
    WriteTextFile(temp_ / "other dir/important.txt", "keep me");
    fs::create_directories(Native("New Folder"));
    for (const std::string& folder : {Native("New Folder"), Native("Proj")}) {
        fs::create_symlink(temp_ / "other dir", folder + "/to folder");
        fs::create_symlink(temp_ / "other dir/important.txt", folder + "/to file");
        fs::create_symlink(temp_ / "nowhere", folder + "/dangling");
        fs::create_symlink(".", folder + "/loop");
    }
    EXPECT_FALSE(Holds(Vptree({"ls"}).out, "to folder"));
    ASSERT_EQ(Vptree({"cp", kProj, kGroup}).exit_code, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(Native("Group/Proj")), {}), 2);  // GUID, Rules
    // A link's native path names no node, not the one it points at.
    fs::create_symlink("Proj", Native("Current"));
    EXPECT_EQ(Vptree({"rm", Native("Current")}).exit_code, 1);
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_EQ(Vptree({"rm", kTop + "\\New Folder"}).exit_code, 0);
    EXPECT_EQ(Vptree({"rm", kProj}).exit_code, 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Native("New Folder"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Native("Proj"))));
    EXPECT_EQ(ReadTextFile(temp_ / "other dir/important.txt"), "keep me");
}

TEST_F(VptreeTest, RemovingAFolderOfThousandsOfFoldersNeedsNoDeepStack) {
    for (int n = 0; n < 5000; ++n) fs::create_directories(Native("Group/F" + std::to_string(n)));
    CCommandOutput removed = Vptree({"rm", kGroup}, "", {"prlimit", "--stack=262144"});
    EXPECT_EQ(removed.exit_code, 0) << removed.err;
    EXPECT_FALSE(fs::exists(Native("Group")));
}

// A revision that cannot rise refuses the save, which then writes nothing.
TEST_F(VptreeTest, SavingRulesRewritesTheWholeGuidFile) {
    const std::tuple<const char*, const char*, int> kGuids[] = {
        {"  abc 1.9", "abc 1.10", 0},
        {"abc 01.010", "abc 1.11", 0},
        {"abc 1.2147483647", "abc 1.2147483647", 1},
        {"   ", "   ", 1}};
    for (const auto& [before, after, exit_code] : kGuids) {
        WriteTextFile(Native("Proj/GUID"), before);
        ASSERT_EQ(Vptree({"set", kProj, "Rules", "--text", Rules("element * NEW\n")}).exit_code, 0);
        ASSERT_EQ(Vptree({"set", kProj, "VOB List", "--text", "/vobs/a"}).exit_code, 0);
        CCommandOutput saved = Vptree({"save", kProj});
        EXPECT_EQ(saved.exit_code, exit_code) << saved.err;
        EXPECT_EQ(ProjFile("GUID"), after) << before;
        EXPECT_EQ(fs::exists(Native("Proj/VOB List")), exit_code == 0) << before;
        fs::remove(Native("Proj/VOB List"));
    }
}

// A folder elsewhere that the user may not read, which fails any whole walk, stops none of them.
TEST_F(VptreeTest, OneProfileIsSetSavedAndShownWithoutReadingTheRestOfTheTree) {
    fs::create_directories(Native("Group/Locked"));
    const std::string home = temp_ / "home";
    fs::create_directories(home);
    std::vector<std::string> as_user = {"env", "KELMORA_HOME=" + home};
    if (geteuid() == 0) {
        // Root reads every folder: the commands run as another user, who owns the tree.
        fs::permissions(temp_.path(), fs::perms(0755));
        for (const auto& entry : fs::recursive_directory_iterator(temp_.path()))
            ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
        as_user.insert(as_user.begin(), kNobody.begin(), kNobody.end());
    }
    chmod(Native("Group/Locked").c_str(), 0100);  // entered, not listed
    auto run = [&](const std::vector<std::string>& args) { return Vptree(args, "", as_user); };
    EXPECT_EQ(run({"ls"}).exit_code, 1);
    ASSERT_EQ(run({"set", "Proj", "Rules", "--text", Rules("element * NEW\n")}).exit_code, 0);
    EXPECT_EQ(Printed(run({"save", "Proj"})), kProj + "\n");
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.5");
    EXPECT_TRUE(Holds(run({"show", "Proj"}).out, "revision\t1.5\n"));
    chmod(Native("Group/Locked").c_str(), 0755);
    // A way closed to the user stops only the save, which keeps the value.
    chmod(Native("").c_str(), 0);
    ASSERT_EQ(run({"set", "Proj", "Description", "--text", "kept"}).exit_code, 0);
    EXPECT_EQ(run({"save", "Proj"}).exit_code, 1);
    chmod(Native("").c_str(), 0755);
    EXPECT_EQ(Printed(run({"save", "Proj"})), kProj + "\n");
    EXPECT_EQ(ProjFile("Description"), "kept");
}

// Another folder in the profile's place is the profile then; a gone one is named.
TEST_F(VptreeTest, ProfileReplacedOrRemovedAfterTheSetIsLookedUpAgainByTheSave) {
    ASSERT_EQ(Vptree({"set", kProj, "Description", "--text", "new"}).exit_code, 0);
    fs::rename(Native("Proj"), Native("Old"));
    fs::create_directory(Native("Proj"));
    fs::copy_file(Native("Old/GUID"), Native("Proj/GUID"));
    EXPECT_EQ(Printed(Vptree({"save", kProj})), kProj + "\n");
    EXPECT_EQ(ProjFile("Description"), "new");
    ASSERT_EQ(Vptree({"set", kProj, "Description", "--text", "again"}).exit_code, 0);
    fs::remove_all(Native("Proj"));
    EXPECT_TRUE(Holds(Vptree({"save", kProj}).err, "no folder or profile"));
}

TEST_F(VptreeTest, FailedSaveKeepsTheSetValuesAndTheRevision) {
    fs::remove(Native("Proj/Rules"));
    fs::create_directory(Native("Proj/Rules"));
    ASSERT_EQ(Vptree({"set", kProj, "Rules", "--text", Rules("element * NEW\n")}).exit_code, 0);
    ASSERT_EQ(Vptree({"set", kProj, "Description", "--text", "new text"}).exit_code, 0);
    CCommandOutput saved = Vptree({"save", kProj});
    EXPECT_EQ(saved.exit_code, 1);
    EXPECT_TRUE(Holds(saved.err, "Is a directory"));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_FALSE(fs::exists(Native("Proj/Description")));
    CCommandOutput shown = Vptree({"show", kProj});
    EXPECT_TRUE(Holds(shown.out, "staged\tDescription, Rules\n"));
}

TEST_F(VptreeTest, SavedDiagramIsReplacedOnlyByWhatWasRead) {
    WriteTextFile(Native("Proj/Diagram"), "fifteen bytes..");
    ASSERT_EQ(Vptree({"set", kProj, "Diagram", "--file", Native("Proj/Diagram")}).exit_code, 0);
    CCommandOutput saved = Vptree({"save", kProj});
    EXPECT_EQ(saved.exit_code, 0) << saved.err;
    EXPECT_EQ(ProjFile("Diagram"), "fifteen bytes..");
    WriteTextFile(temp_ / "gone.svg", "<svg/>");
    ASSERT_EQ(Vptree({"set", kProj, "Diagram", "--file", temp_ / "gone.svg"}).exit_code, 0);
    fs::remove(temp_ / "gone.svg");
    saved = Vptree({"save", kProj});
    EXPECT_EQ(saved.exit_code, 1);
    EXPECT_TRUE(Holds(saved.err, temp_ / "gone.svg"));
    EXPECT_EQ(ProjFile("Diagram"), "fifteen bytes..");
    EXPECT_EQ(std::distance(fs::directory_iterator(Native("Proj")), {}), 3);
}

// Not waited for while the tree lock is held (a load's FIFO: by the store's tests).
TEST_F(VptreeTest, FifoInAProfileIsSkippedWithAMessage) {
    ASSERT_EQ(mkfifo(Native("Proj/pipe").c_str(), 0600), 0);
    CCommandOutput run = Vptree({"cp", kProj, kGroup}, "", {"timeout", "20"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(Holds(run.err, " is not a regular file and was left alone."));
    EXPECT_TRUE(fs::exists(Native("Group/Proj/Rules")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Native("Group/Proj/pipe"))));
}

// In a sticky folder another user's file stops the delete before anything goes, unless the
// folder is the deleting user's.
TEST_F(VptreeTest, RemovingAProfileHoldingAnotherUsersFileInAStickyFolderRemovesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to set up files of two users";
    fs::permissions(temp_.path(), fs::perms(0755));
    for (const std::string& path : {root_, Native(""), Native("Proj")}) chmod(path.c_str(), 01777);
    ASSERT_EQ(chown(Native("Proj/GUID").c_str(), 65534, 65534), 0);
    CCommandOutput removed = Vptree({"rm", kProj}, "", kNobody);
    EXPECT_EQ(removed.exit_code, 1) << removed.err;
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_EQ(ProjFile("Rules"), "element * /main/LATEST\n");
    ASSERT_EQ(chown(Native("Proj").c_str(), 65534, 65534), 0);
    EXPECT_EQ(Vptree({"rm", kProj}, "", kNobody).exit_code, 0);
    EXPECT_FALSE(fs::exists(Native("Proj")));
}

TEST_F(VptreeTest, SaveWithANameRenamesAfterWriting) {
    ASSERT_EQ(Vptree({"set", kProj, "Rules", "--text", Rules("element * NEW\n")}).exit_code, 0);
    EXPECT_EQ(Printed(Vptree({"save", kProj, "--name", "Renamed"})), kTop + "\\Renamed\n");
    EXPECT_EQ(ReadTextFile(Native("Renamed/GUID")), "proj-guid 1.5");

    // In batch mode nothing is read: the prompt is cancelled.
    CCommandOutput batch = Vptree({"--no-input", "save", "Renamed", "--name", "Group"}, "Final\n");
    EXPECT_TRUE(Holds(batch.err, "keeps its name"));
    // A taken name asks for another; each answer read ends its prompt's line.
    CCommandOutput asked = Vptree({"save", kTop + "\\Renamed", "--name", "Group"}, "\nFinal\n");
    EXPECT_EQ(Printed(asked), kTop + "\\Final\n");
    EXPECT_FALSE(Holds(asked.err, ": +--"));
}

// Refused with the line and the reason, and nothing is kept for the save.
TEST_F(VptreeTest, RulesTheCompositionCannotUseAreRefused) {
    const std::string good = Rules("element * /main/LATEST\n");
    const std::pair<std::string, const char*> kRefused[] = {
        {"element * CHECKEDOUT\n", "line 1: the line ends in LF alone"},
        {"element * CHECKEDOUT\r\n", "line 1: the checked-out rule block"},
        {good.substr(0, good.find("# [SM_PROJECT - Profile")), "line 7: no profile header"},
        {good.substr(0, good.rfind("# SM_PROJECT]")), "line 14: no end marker"},
        {Rules("element * /main/LATEST\nbogus rule\n"), "line 14: the profile rules do not parse"},
        {good + "more\r\n", "line 15: text after the end marker"},
    };
    for (const auto& [rules, reason] : kRefused) {
        CCommandOutput set = Vptree({"set", kProj, "Rules", "--text", rules});
        EXPECT_EQ(set.exit_code, 1);
        EXPECT_TRUE(Holds(set.err, reason));
    }
    EXPECT_FALSE(Holds(Vptree({"show", kProj}).out, "staged"));
}

// Before any history, diff compares with the Rules the last save replaced.
TEST_F(VptreeTest, RulesHistoryListsComparesAndRestoresEverySave) {
    EXPECT_EQ(Vptree({"diff", kProj}).exit_code, 1);  // nothing kept before a save
    EXPECT_TRUE(Holds(Vptree({"log", kProj}).err, "no Rules history is kept"));
    // A change of the line ends alone is a change.
    WriteTextFile(Native("Proj/") + kPreviousRulesFileName, "element * REL_3\n");
    WriteTextFile(Native("Proj/Rules"), "element * REL_3\r\n");
    EXPECT_TRUE(
        Printed(Vptree({"diff", kProj})).ends_with("-element * REL_3\n+element * REL_3^M\n"));
    for (const char* rules : {"element * REL_3\n", "element * REL_3\nelement * REL_4\n"}) {
        ASSERT_EQ(Vptree({"set", kProj, "Rules", "--text", Rules(rules)}).exit_code, 0);
        ASSERT_EQ(Vptree({"save", kProj}).exit_code, 0);
    }
    const std::string header = "--- " + kProj + "\\Rules 1.5\n+++ " + kProj + "\\Rules 1.6\n";
    const std::string diff = Printed(Vptree({"diff", kProj, "5", "1.6"}));
    EXPECT_TRUE(diff.starts_with(header + "@@ -11,4 +11,5 @@\n")) << diff;
    EXPECT_TRUE(diff.ends_with(" element * REL_3\n+element * REL_4^M\n # SM_PROJECT]\n")) << diff;
    EXPECT_EQ(Vptree({"restore", kProj, "1.5"}).exit_code, 0);
    EXPECT_EQ(ProjFile("Rules"), Rules("element * REL_3\n"));
    // Newest first: revision, time, user@host, lines added and removed.
    const std::string log = Printed(Vptree({"log", kProj}));
    EXPECT_TRUE(log.starts_with("1.7\t")) << log;
    EXPECT_TRUE(Holds(log, "\t+1\t-0\n1.5\t"));
    const std::tuple<std::vector<std::string>, int, std::string> refused[] = {
        {{"restore", kProj, "3"}, 1, "revision 1.3 of '" + kProj + "' is not kept"},
        {{"restore", kProj, "4"}, 1, "Rules refused, nothing was changed: revision 1.4, line 1"},
        {{"diff", kProj, "2.5"}, 1, "no revision 2.5 of '" + kProj + "' (it stands at 1.7)"},
    };
    for (const auto& [args, exit_code, said] : refused) {
        CCommandOutput out = Vptree(args);
        EXPECT_EQ(out.exit_code, exit_code) << args[0] << " " << args[2];
        EXPECT_TRUE(Holds(out.err, said));
    }

    ASSERT_EQ(Vptree({"cp", kProj, kGroup}).exit_code, 0);
    EXPECT_EQ(ReadTextFile(Native("Group/Proj/") + kPreviousRulesFileName),
              Rules("element * REL_3\nelement * REL_4\n"));
    EXPECT_FALSE(fs::exists(Native("Group/Proj/.history")));
    ASSERT_EQ(Vptree({"mv", kProj, "Moved"}).exit_code, 0);
    EXPECT_TRUE(Printed(Vptree({"log", kTop + "\\Moved"})).starts_with("1.7\t"));
}

}  // namespace
}  // namespace kelmora::test
