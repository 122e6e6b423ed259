// Profile files are replaced whole: a new text goes into a hidden file beside
// the old one and takes its place with a rename. What a killed save leaves
// behind is no part of the tree and goes with the next save or delete.
#include <sys/stat.h>

#include <algorithm>

#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_load_save.h"
#include "store/rules_history.h"
#include "store/store_fixture.h"
#include "store/tree_edit.h"

namespace kelmora::test {
namespace {

constexpr const char* kLeftover = ".Rules.saving-Ab12cd";

class CrashSafeSaveTest : public test::CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeProfileFolder("Top/Proj", "proj-guid 1.4");
        WriteTextFile(Native("Top/Proj/Rules"), "old rules");
    }

    std::vector<std::string> Entries(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Native(relative)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Set-id bits that someone else gave the old file are not taken over. The
// GUID file is written over in one write, which the pending bump finishes.
TEST_F(CrashSafeSaveTest, NewTextTakesTheOldFilesPlaceAndMode) {
    const std::string rules = Native("Top/Proj/Rules");
    ASSERT_EQ(chmod(rules.c_str(), 04640), 0);
    struct stat before {
    }, guid_before{}, guid_after{};
    ASSERT_EQ(stat(rules.c_str(), &before), 0);
    ASSERT_EQ(stat(Native("Top/Proj/GUID").c_str(), &guid_before), 0);
    ASSERT_NE(Load(), nullptr);
    CTreeNode* node = Node("\\Top\\Proj");
    CProfileRecord record;
    record.rules = "new rules";
    record.description = "about";
    ASSERT_EQ(SaveProfile(node, record, kSaveRules | kSaveDescription, ""), ESaveOutcome::kSaved);
    struct stat after {};
    ASSERT_EQ(stat(rules.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadTextFile(rules), "new rules");
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/GUID")), "proj-guid 1.5");
    ASSERT_EQ(stat(Native("Top/Proj/GUID").c_str(), &guid_after), 0);
    EXPECT_EQ(guid_after.st_ino, guid_before.st_ino);
    // Only the Rules they replaced and the history are kept beside them; no
    // temporary file is left.
    EXPECT_EQ(Entries("Top/Proj"),
              (std::vector<std::string>{kPreviousRulesFileName, kRulesHistoryFolderName,
                                        "Description", "GUID", "Rules"}));
    EXPECT_EQ(Entries("Top/Proj/.history"),
              (std::vector<std::string>{"index", "rules.4", "rules.5"}));
}

TEST_F(CrashSafeSaveTest, LeftoverOfAKilledSaveIsNoPartOfTheTreeAndGoesWithTheNextSaveOrDelete) {
    MakeFolder("Top/Folder");
    WriteTextFile(Native("Top/Folder/") + kLeftover, "half");
    // So does what a killed delete left after renaming its folder aside.
    MakeProfileFolder("Top/.kelmora-removing-Ab12cd", "half-removed 1.0");
    WriteTextFile(Native("Top/Proj/") + kLeftover, "half");
    // A user's own hidden file is not taken for one.
    WriteTextFile(Native("Top/Proj/.Rules.saving-"), "mine");
    ASSERT_NE(Load(), nullptr);
    CTreeNode* folder = Node("\\Top\\Folder");
    ASSERT_NE(folder, nullptr);
    EXPECT_FALSE(folder->IsProfile());

    CTreeNode* top = Node("\\Top");
    ASSERT_NE(CreateOrCopyProfile(top, Full("\\Top\\Proj"), true), nullptr);
    EXPECT_EQ(Entries("Top/Copy of Proj"),
              (std::vector<std::string>{".Rules.saving-", "GUID", "Rules"}));

    CTreeNode* node = Node("\\Top\\Proj");
    ASSERT_EQ(SaveProfile(node, CProfileRecord(), kSaveNothing, ""), ESaveOutcome::kSaved);
    EXPECT_EQ(Entries("Top/Proj"), (std::vector<std::string>{".Rules.saving-", "GUID", "Rules"}));

    folder = Node("\\Top\\Folder");
    EXPECT_TRUE(DeleteNode(folder));
    EXPECT_FALSE(fs::exists(Native("Top/Folder")));
    EXPECT_FALSE(fs::exists(Native("Top/.kelmora-removing-Ab12cd")));
    EXPECT_TRUE(Messages().empty());
}

// A folder that takes no new file from this user, holding files that the
// user may write: the texts are written over in place, as before, but only
// into room reserved first (a full disk refuses the save and the old text
// stays), and the kept Rules too, so that a diff never shows older ones.
TEST_F(CrashSafeSaveTest, SavePermissionOnlyForTheFilesWritesInPlace) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may create files in any folder; needs a user";
    WriteTextFile(Native("Top/Proj/") + kPreviousRulesFileName, "rules of an older save");
    ASSERT_NE(Load(), nullptr);
    CTreeNode* node = Node("\\Top\\Proj");
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    CProfileRecord record;
    record.rules = std::string(100, 'x');
    test::WithFileSizeLimit(
        50, [&] { EXPECT_EQ(SaveProfile(node, record, kSaveRules, ""), ESaveOutcome::kNotSaved); });
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/Rules")), "old rules");
    record.rules = "new rules";
    EXPECT_EQ(SaveProfile(node, record, kSaveRules, ""), ESaveOutcome::kSaved);
    chmod(Native("Top/Proj").c_str(), 0755);
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/Rules")), "new rules");
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/GUID")), "proj-guid 1.5");
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/") + kPreviousRulesFileName), "old rules");
    // After a save by a user who may make files there (which starts the
    // history), a save in place changes no history entry.
    record.rules = "newer rules";
    EXPECT_EQ(SaveProfile(node, record, kSaveRules, ""), ESaveOutcome::kSaved);
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    record.rules = "newest rules";
    EXPECT_EQ(SaveProfile(node, record, kSaveRules, ""), ESaveOutcome::kSaved);
    chmod(Native("Top/Proj").c_str(), 0755);
    for (const auto& [name, text] :
         std::vector<std::pair<std::string, std::string>>{{".history/rules.5", "new rules"},
                                                          {".history/rules.6", "newer rules"},
                                                          {".history/rules.7", "newest rules"},
                                                          {kPreviousRulesFileName, "newer rules"},
                                                          {"Rules", "newest rules"},
                                                          {"GUID", "proj-guid 1.7"}})
        EXPECT_EQ(ReadTextFile(Native("Top/Proj/" + name)), text) << name;
}

}  // namespace
}  // namespace kelmora::test
