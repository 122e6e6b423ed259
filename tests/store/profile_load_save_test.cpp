#include "store/profile_load_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/format.h"
#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/store_fixture.h"
#include "store/tree_lock.h"

namespace kelmora {
namespace {

using test::BuiltProgram;
using test::CChildProcess;
using test::CRecordedSleep;
using test::CStoreTest;
using test::ReadTextFile;
using test::StoreString;
using test::WriteTextFile;

namespace fs = std::filesystem;

class ProfileLoadSaveTest : public CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeProfileFolder("Top/Proj", "proj-guid 1.4");
        MakeFolder("Top/Other");
        ASSERT_NE(Load(), nullptr);
        revision_ = CachedTreeRevision();
        node_ = Node("\\Top\\Proj");
        ASSERT_NE(node_, nullptr);
    }

    std::string ProjFile(const char* name) const {
        return ReadTextFile(Native("Top/Proj/") + name);
    }

    int revision_ = 0;
    CTreeNode* node_ = nullptr;
};

TEST_F(ProfileLoadSaveTest, LoadReadsEachFileIntoItsField) {
    const std::pair<const char*, std::string CProfileRecord::*> fields[] = {
        {"Description", &CProfileRecord::description},
        {"Rules", &CProfileRecord::rules},
        {"Admin VOB", &CProfileRecord::admin_vob},
        {"VOB List", &CProfileRecord::vob_list},
        {"Project Branch", &CProfileRecord::project_branch},
        {"Checkpoints", &CProfileRecord::checkpoints},
        {"Project Label", &CProfileRecord::project_label},
    };
    // Bytes stay bytes: CR LF, a NUL and text past 4095 bytes all come back.
    const std::string long_text = std::string(5000, 'r') + "\r\nend";
    for (const auto& [file, field] : fields) {
        WriteTextFile(Native("Top/Proj/") + file, std::string(file) + std::string(1, '\0') + "x");
    }
    WriteTextFile(Native("Top/Proj/Rules"), long_text);
    ASSERT_TRUE(LoadProfile(node_));
    ASSERT_EQ(node_->profile_state(), ProfileState::kLoaded);
    const CProfileRecord& record = *node_->profile_record();
    for (const auto& [file, field] : fields) {
        if (std::string(file) == "Rules") continue;
        EXPECT_EQ(record.*field, std::string(file) + std::string(1, '\0') + "x") << file;
    }
    EXPECT_EQ(record.rules, long_text);
    EXPECT_FALSE(record.all_empty);
    EXPECT_FALSE(record.read_only);
    EXPECT_TRUE(record.diagram_source_path.empty());
    EXPECT_FALSE(IsTreeLockHeld());
    EXPECT_EQ(CachedTreeRevision(), revision_);
}

TEST_F(ProfileLoadSaveTest, ProfileWithoutTextsLoadsAllEmpty) {
    WriteTextFile(Native("Top/Proj/Rules"), "");
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_TRUE(node_->profile_record()->all_empty);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ProfileLoadSaveTest, FieldHeldByAWriterIsNotRetried) {
    WriteTextFile(Native("Top/Proj/Rules"), "rules");
    CChildProcess writer({BuiltProgram("file_holder"), Native("Top/Proj/Rules"), "write", "none"});
    ASSERT_EQ(writer.ReadLine(), "opened");
    std::string text = "before";
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileRules, &text),
              FileErrorCause::SharingViolation);
    EXPECT_EQ(text, "before");
    EXPECT_TRUE(CRecordedSleep::Calls().empty());
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileVobList, &text),
              FileErrorCause::FileNotFound);
    writer.Finish();
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileRules, &text), FileErrorCause::None);
    EXPECT_EQ(text, "beforerules");
}

TEST_F(ProfileLoadSaveTest, SavingRulesRaisesTheProfileRevision) {
    CProfileRecord record;
    record.description = "what it is";
    record.rules = "element * CHECKEDOUT\r\n";
    record.vob_list = "not written";
    ASSERT_TRUE(SaveProfile(node_, record, kSaveDescription | kSaveRules, ""));
    EXPECT_EQ(ProjFile("Description"), "what it is");
    EXPECT_EQ(ProjFile("Rules"), "element * CHECKEDOUT\r\n");
    EXPECT_FALSE(fs::exists(Native("Top/Proj/VOB List")));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.5");
    EXPECT_EQ(node_->profile_state(), ProfileState::kNotLoaded);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
}

TEST_F(ProfileLoadSaveTest, SavingWithoutRulesLeavesTheRevision) {
    CProfileRecord record;
    record.vob_list = "/vobs/a /vobs/b";
    record.checkpoints = "CP1\nCP2";
    record.project_label = "REL1";
    record.project_branch = "proj_int";
    record.admin_vob = "/vobs/admin";
    ASSERT_TRUE(SaveProfile(
        node_, record,
        kSaveVobList | kSaveCheckpoints | kSaveProjectLabel | kSaveProjectBranch | kSaveAdminVob,
        ""));
    EXPECT_EQ(ProjFile("VOB List"), "/vobs/a /vobs/b");
    EXPECT_EQ(ProjFile("Checkpoints"), "CP1\nCP2");
    EXPECT_EQ(ProjFile("Project Label"), "REL1");
    EXPECT_EQ(ProjFile("Project Branch"), "proj_int");
    EXPECT_EQ(ProjFile("Admin VOB"), "/vobs/admin");
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
}

TEST_F(ProfileLoadSaveTest, SaveOfNothingStillRaisesTheTreeRevision) {
    ASSERT_TRUE(LoadProfile(node_));
    ASSERT_TRUE(SaveProfile(node_, *node_->profile_record(), kSaveNothing, ""));
    EXPECT_EQ(node_->profile_state(), ProfileState::kNotLoaded);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_EQ(std::distance(fs::directory_iterator(Native("Top/Proj")), fs::directory_iterator()),
              1);
}

TEST_F(ProfileLoadSaveTest, DiagramIsCopiedInOrKeptWhenTheCopyFails) {
    WriteTextFile(temp_ / "diagram.png", "picture");
    CProfileRecord record;
    record.diagram_source_path = temp_ / "diagram.png";
    ASSERT_TRUE(SaveProfile(node_, record, kSaveDiagram, ""));
    EXPECT_EQ(ProjFile("Diagram"), "picture");
    record.diagram_source_path = temp_ / "missing.png";
    EXPECT_TRUE(SaveProfile(node_, record, kSaveDiagram, ""));
    EXPECT_EQ(ProjFile("Diagram"), "picture");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ProfileLoadSaveTest, RevisionBumpOfAGuidWithoutRevisionStartsFromZero) {
    WriteTextFile(Native("Top/Proj/GUID"), "bare-guid");
    EXPECT_TRUE(BumpProfileRevision(*node_));
    EXPECT_EQ(ProjFile("GUID"), "bare-guid 0.1");
    WriteTextFile(Native("Top/Proj/GUID"), "   ");
    EXPECT_FALSE(BumpProfileRevision(*node_));
    EXPECT_EQ(ProjFile("GUID"), "   ");
}

TEST_F(ProfileLoadSaveTest, MissingGuidFileIsReportedAndTheSaveGoesOn) {
    fs::remove(Native("Top/Proj/GUID"));
    CProfileRecord record;
    record.rules = "rules";
    EXPECT_FALSE(SaveProfile(node_, record, kSaveRules, ""));
    EXPECT_EQ(ProjFile("Rules"), "rules");
    const std::string path = Native("Top/Proj/GUID");
    EXPECT_EQ(Messages(), std::vector<std::string>{FormatMessageText(
                              LoadString(IDS_ERR_OPEN_FILE),
                              {static_cast<long long>(ENOENT), path, std::strerror(ENOENT)})});
    EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(ProfileLoadSaveTest, SaveGivesTheNewName) {
    CProfileRecord record;
    ASSERT_TRUE(SaveProfile(node_, record, kSaveNothing, "Named"));
    EXPECT_EQ(node_->full_path(), Full("\\Top\\Named"));
    EXPECT_TRUE(fs::exists(Native("Top/Named/GUID")));
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 2));
}

TEST_F(ProfileLoadSaveTest, FailedNamingAsksForAnotherName) {
    // A line closes the rename's message, the next one is the name.
    Answer("\nBetter\n");
    CProfileRecord record;
    ASSERT_TRUE(SaveProfile(node_, record, kSaveNothing, "Other"));
    EXPECT_EQ(node_->full_path(), Full("\\Top\\Better"));
    ASSERT_EQ(NamePrompts().size(), 1u);
    EXPECT_EQ(NamePrompts()[0].message,
              StoreString(IDS_UNABLE_TO_NAME_PROFILE, "Other", std::strerror(EEXIST)));
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_ERR_RENAME, Native("Top/Proj"),
                                                               std::strerror(EEXIST))});
}

TEST_F(ProfileLoadSaveTest, CancelThenNoTriesTheSameNameOnceMore) {
    // Close the message, cancel the prompt, keep the profile, close the
    // message of the second try, then give a name that works.
    Answer("\n\nno\n\nFine\n");
    CProfileRecord record;
    ASSERT_TRUE(SaveProfile(node_, record, kSaveNothing, "Other"));
    EXPECT_EQ(node_->full_path(), Full("\\Top\\Fine"));
    ASSERT_EQ(NamePrompts().size(), 2u);
    const std::string refused =
        StoreString(IDS_ERR_RENAME, Native("Top/Proj"), std::strerror(EEXIST));
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              refused, StoreString(IDS_ASK_CANCEL_NEW_PROFILE), refused}));
    EXPECT_EQ(Boxes()[1].style, MB_YESNO | MB_ICONEXCLAMATION);
}

TEST_F(ProfileLoadSaveTest, CancelThenYesDeletesTheProfile) {
    Answer("\n\nyes\n");
    CProfileRecord record;
    EXPECT_FALSE(SaveProfile(node_, record, kSaveNothing, "Other"));
    EXPECT_FALSE(fs::exists(Native("Top/Proj")));
    EXPECT_TRUE(fs::is_directory(Native("Top/Other")));
}

TEST_F(ProfileLoadSaveTest, NamingStopsWhenNobodyIsLeftToAnswer) {
    Answer("");
    CProfileRecord record;
    EXPECT_FALSE(SaveProfile(node_, record, kSaveNothing, "Other"));
    // The rename's message met the end of input: nobody is left to ask.
    EXPECT_TRUE(NamePrompts().empty());
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_TRUE(fs::exists(Native("Top/Proj/GUID")));
    EXPECT_EQ(node_->full_path(), Full("\\Top\\Proj"));
}

TEST_F(ProfileLoadSaveTest, CopiedNodeGetsARecordOfItsOwn) {
    WriteTextFile(Native("Top/Proj/Rules"), "rules");
    ASSERT_TRUE(LoadProfile(node_));
    node_->profile_record()->diagram_source_path = "/somewhere/diagram";
    node_->set_host_data(5);
    CTreeNode copy("", "", 0, 0);
    CopyNode(copy, *node_);
    EXPECT_EQ(copy.full_path(), node_->full_path());
    EXPECT_EQ(copy.host_data(), 5);
    EXPECT_EQ(copy.parent(), node_->parent());
    EXPECT_EQ(copy.next_sibling(), node_->next_sibling());
    EXPECT_EQ(copy.revision_stamp(), node_->revision_stamp());
    ASSERT_EQ(copy.profile_state(), ProfileState::kLoaded);
    EXPECT_NE(copy.profile_record(), node_->profile_record());
    EXPECT_EQ(copy.profile_record()->rules, "rules");
    EXPECT_TRUE(copy.profile_record()->diagram_source_path.empty());
    EXPECT_FALSE(copy.profile_record()->read_only);

    CTreeNode folder_copy("", "", 0, 0);
    CopyNode(folder_copy, *Node("\\Top\\Other"));
    EXPECT_FALSE(folder_copy.IsProfile());
}

// Read-only detection needs a user whom permissions bind.
class ProfileReadOnlyTest : public ProfileLoadSaveTest {
protected:
    void SetUp() override {
        ProfileLoadSaveTest::SetUp();
        if (RunningAsRoot()) GTEST_SKIP() << "root may write any file; run as a user to test";
    }
};

TEST_F(ProfileReadOnlyTest, WritableProfileAndTreeAreNotReadOnly) {
    EXPECT_FALSE(IsProfileReadOnly(*node_));
    EXPECT_TRUE(CRecordedSleep::Calls().empty());
}

TEST_F(ProfileReadOnlyTest, ReadOnlyProfileFolderIsReadOnly) {
    ASSERT_EQ(chmod(Native("Top/Proj/GUID").c_str(), 0444), 0);
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_TRUE(node_->profile_record()->read_only);
}

TEST_F(ProfileReadOnlyTest, ReadOnlyTreeIsReadOnlyAtOnce) {
    ASSERT_EQ(chmod(Native(".rev").c_str(), 0444), 0);
    ASSERT_EQ(chmod(root().c_str(), 0555), 0);
    EXPECT_TRUE(IsProfileReadOnly(*node_));
    EXPECT_TRUE(CRecordedSleep::Calls().empty());
}

TEST_F(ProfileLoadSaveTest, TreeHeldElsewhereCountsAsReadOnlyAfterThirtyAttempts) {
    CChildProcess holder({BuiltProgram("tree_lock_holder"), root()});
    ASSERT_EQ(holder.ReadLine(), "held");
    EXPECT_TRUE(IsProfileReadOnly(*node_));
    EXPECT_EQ(CRecordedSleep::Calls(), std::vector<unsigned>(29, 300));
    EXPECT_EQ(holder.Finish(), 0);
}

class ProfileReadOnlySlow : public ProfileLoadSaveTest {};

TEST_F(ProfileReadOnlySlow, TreeFreedWithinTheRealPollsIsWritable) {
    CScopedSleep real_clock(nullptr);
    CChildProcess holder({BuiltProgram("tree_lock_holder"), root(), "--hold-ms", "1000"});
    ASSERT_EQ(holder.ReadLine(), "held");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(IsProfileReadOnly(*node_));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_EQ(holder.Finish(), 0);
}

}  // namespace
}  // namespace kelmora
