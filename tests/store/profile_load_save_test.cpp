#include "store/profile_load_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/store_fixture.h"
#include "store/tree_lock.h"

namespace kelmora {
namespace {

using test::CRecordedSleep;
using test::ReadTextFile;
using test::StoreString;
using test::Texts;
using test::WriteTextFile;

namespace fs = std::filesystem;

// The profile's text files: the save's mask bit, the file, the record field.
struct CTextFile {
    unsigned mask;
    const char* name;
    std::string CProfileRecord::*field;
};
const CTextFile kTextFiles[] = {
    {kSaveDescription, "Description", &CProfileRecord::description},
    {kSaveRules, "Rules", &CProfileRecord::rules},
    {kSaveAdminVob, "Admin VOB", &CProfileRecord::admin_vob},
    {kSaveVobList, "VOB List", &CProfileRecord::vob_list},
    {kSaveProjectBranch, "Project Branch", &CProfileRecord::project_branch},
    {kSaveCheckpoints, "Checkpoints", &CProfileRecord::checkpoints},
    {kSaveProjectLabel, "Project Label", &CProfileRecord::project_label},
};

class ProfileLoadSaveTest : public test::CStoreTest {
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

    std::string ProjPath(const std::string& name) const { return Native("Top/Proj/") + name; }
    std::string ProjFile(const std::string& name) const { return ReadTextFile(ProjPath(name)); }

    int revision_ = 0;
    CTreeNode* node_ = nullptr;
};

TEST_F(ProfileLoadSaveTest, LoadReadsEachFileIntoItsFieldAndACopyGetsARecordOfItsOwn) {
    // Bytes stay bytes: a NUL, text past 4095 bytes and CR LF all come back.
    const auto text_of = [](const char* name) {
        return name + std::string(1, '\0') + std::string(5000, 'r') + "\r\nend";
    };
    for (const CTextFile& file : kTextFiles) WriteTextFile(ProjPath(file.name), text_of(file.name));
    ASSERT_TRUE(LoadProfile(node_));
    ASSERT_EQ(node_->profile_state(), ProfileState::kLoaded);
    CProfileRecord& record = *node_->profile_record();
    for (const CTextFile& file : kTextFiles) {
        EXPECT_EQ(record.*file.field, text_of(file.name)) << file.name;
    }
    EXPECT_FALSE(record.all_empty);
    EXPECT_FALSE(record.read_only);
    EXPECT_TRUE(record.diagram_source_path.empty());
    EXPECT_EQ(CachedTreeRevision(), revision_);

    record.diagram_source_path = "/somewhere/diagram";
    node_->set_host_data(5);
    CTreeNode copy("", "", 0, 0);
    CopyNode(copy, *node_);
    EXPECT_EQ(copy.full_path(), node_->full_path());
    EXPECT_EQ(copy.host_data(), 5);
    EXPECT_EQ(copy.parent(), node_->parent());
    EXPECT_EQ(copy.next_sibling(), node_->next_sibling());
    EXPECT_EQ(copy.revision_stamp(), node_->revision_stamp());
    ASSERT_EQ(copy.profile_state(), ProfileState::kLoaded);
    ASSERT_NE(copy.profile_record(), node_->profile_record());
    for (const CTextFile& file : kTextFiles) {
        EXPECT_EQ((*copy.profile_record()).*file.field, record.*file.field) << file.name;
    }
    EXPECT_TRUE(copy.profile_record()->diagram_source_path.empty());
    CTreeNode folder_copy("", "", 0, 0);
    CopyNode(folder_copy, *Node("\\Top\\Other"));
    EXPECT_FALSE(folder_copy.IsProfile());
}

TEST_F(ProfileLoadSaveTest, ProfileWithoutTextsLoadsAllEmpty) {
    WriteTextFile(ProjPath("Rules"), "");
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_TRUE(node_->profile_record()->all_empty);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(ProfileLoadSaveTest, FieldHeldByAWriterIsNotRetried) {
    WriteTextFile(ProjPath("Rules"), "rules");
    auto writer = test::HoldFileElsewhere(ProjPath("Rules"), "none");
    std::string text = "before";
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileRules, &text),
              FileErrorCause::SharingViolation);
    EXPECT_EQ(text, "before");
    EXPECT_TRUE(CRecordedSleep::calls.empty());
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileVobList, &text),
              FileErrorCause::FileNotFound);
    writer->Finish();
    EXPECT_EQ(ReadProfileField(node_->full_path(), kProfileRules, &text), FileErrorCause::None);
    EXPECT_EQ(text, "beforerules");
}

// A save writes just the files its mask names and raises the tree revision;
// only a save of the Rules raises the profile revision, by one.
class ProfileSaveTest : public ProfileLoadSaveTest,
                        public ::testing::WithParamInterface<unsigned> {};

TEST_P(ProfileSaveTest, WritesWhatTheMaskNames) {
    ASSERT_TRUE(LoadProfile(node_));
    CProfileRecord record = *node_->profile_record();
    for (const CTextFile& file : kTextFiles) record.*file.field = file.name + std::string(" \r\n");
    ASSERT_TRUE(SaveProfile(node_, record, GetParam(), ""));
    for (const CTextFile& file : kTextFiles) {
        if (GetParam() & file.mask) {
            EXPECT_EQ(ProjFile(file.name), record.*file.field);
        } else {
            EXPECT_FALSE(fs::exists(ProjPath(file.name))) << file.name;
        }
    }
    EXPECT_FALSE(fs::exists(ProjPath("Diagram")));
    EXPECT_EQ(ProjFile("GUID"), (GetParam() & kSaveRules) ? "proj-guid 1.5" : "proj-guid 1.4");
    EXPECT_EQ(node_->profile_state(), ProfileState::kNotLoaded);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
}

INSTANTIATE_TEST_SUITE_P(Masks, ProfileSaveTest,
                         ::testing::Values(kSaveNothing, kSaveDescription | kSaveRules,
                                           kSaveVobList | kSaveCheckpoints | kSaveProjectLabel |
                                               kSaveProjectBranch | kSaveAdminVob));

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
    WriteTextFile(ProjPath("GUID"), "bare-guid");
    EXPECT_TRUE(BumpProfileRevision(*node_));
    EXPECT_EQ(ProjFile("GUID"), "bare-guid 0.1");
    WriteTextFile(ProjPath("GUID"), "   ");
    EXPECT_FALSE(BumpProfileRevision(*node_));
    EXPECT_EQ(ProjFile("GUID"), "   ");
}

TEST_F(ProfileLoadSaveTest, MissingGuidFileIsReportedAndTheSaveGoesOn) {
    fs::remove(ProjPath("GUID"));
    CProfileRecord record;
    record.rules = "rules";
    EXPECT_FALSE(SaveProfile(node_, record, kSaveRules, ""));
    EXPECT_EQ(ProjFile("Rules"), "rules");
    EXPECT_EQ(Messages(), Texts{FormatMessageText(LoadString(IDS_ERR_OPEN_FILE),
                                                  {static_cast<long long>(ENOENT), ProjPath("GUID"),
                                                   std::strerror(ENOENT)})});
    EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(ProfileLoadSaveTest, SaveGivesTheNewName) {
    ASSERT_TRUE(SaveProfile(node_, CProfileRecord(), kSaveNothing, "Named"));
    EXPECT_EQ(node_->full_path(), Full("\\Top\\Named"));
    EXPECT_TRUE(fs::exists(Native("Top/Named/GUID")));
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 2));
}

// A taken name: each answer closes the refused rename's message (R), answers
// the name prompt (an empty line cancels it) or the question whether to
// delete the new profile (Q).
struct CNamingCase {
    const char* answers;
    bool saved;
    const char* final_name;  // nullptr: deleted
    size_t prompts;
    const char* boxes;
};

class ProfileNamingTest : public ProfileLoadSaveTest,
                          public ::testing::WithParamInterface<CNamingCase> {};

TEST_P(ProfileNamingTest, TakenNameAsksForAnother) {
    const CNamingCase& naming = GetParam();
    Answer(naming.answers);
    EXPECT_EQ(SaveProfile(node_, CProfileRecord(), kSaveNothing, "Other"), naming.saved);
    if (naming.final_name) {
        EXPECT_EQ(node_->full_path(), Full(std::string("\\Top\\") + naming.final_name));
        EXPECT_TRUE(fs::exists(Native("Top/") + naming.final_name + "/GUID"));
    } else {
        EXPECT_FALSE(fs::exists(Native("Top/Proj")));
    }
    EXPECT_TRUE(fs::is_directory(Native("Top/Other")));
    EXPECT_EQ(NamePrompts().size(), naming.prompts);
    for (const CShownNamePrompt& prompt : NamePrompts()) {
        EXPECT_EQ(prompt.message,
                  StoreString(IDS_UNABLE_TO_NAME_PROFILE, "Other", std::strerror(EEXIST)));
    }
    Texts expected;
    for (const char* box = naming.boxes; *box; ++box) {
        expected.push_back(
            *box == 'R' ? StoreString(IDS_ERR_RENAME, Native("Top/Proj"), std::strerror(EEXIST))
                        : StoreString(IDS_ASK_CANCEL_NEW_PROFILE));
    }
    EXPECT_EQ(Messages(), expected);
    if (expected.size() > 1) {
        EXPECT_EQ(Boxes()[1].style, MB_YESNO | MB_ICONEXCLAMATION);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ProfileNamingTest,
    ::testing::Values(CNamingCase{"\nBetter\n", true, "Better", 1, "R"},
                      // cancel, keep the profile: the same name once more
                      CNamingCase{"\n\nno\n\nFine\n", true, "Fine", 2, "RQR"},
                      CNamingCase{"\n\nyes\n", false, nullptr, 1, "RQ"},
                      // the message meets the end of input: nobody is left to ask
                      CNamingCase{"", false, "Proj", 0, "R"}));

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
    EXPECT_TRUE(CRecordedSleep::calls.empty());
}

TEST_F(ProfileReadOnlyTest, ReadOnlyProfileFolderIsReadOnly) {
    ASSERT_EQ(chmod(ProjPath("GUID").c_str(), 0444), 0);
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_TRUE(node_->profile_record()->read_only);
}

TEST_F(ProfileReadOnlyTest, ReadOnlyTreeIsReadOnlyAtOnce) {
    ASSERT_EQ(chmod(Native(".rev").c_str(), 0444), 0);
    ASSERT_EQ(chmod(root().c_str(), 0555), 0);
    EXPECT_TRUE(IsProfileReadOnly(*node_));
    EXPECT_TRUE(CRecordedSleep::calls.empty());
}

TEST_F(ProfileLoadSaveTest, TreeHeldElsewhereCountsAsReadOnlyAfterThirtyAttempts) {
    auto holder = HoldLockElsewhere();
    EXPECT_TRUE(IsProfileReadOnly(*node_));
    EXPECT_EQ(CRecordedSleep::calls, std::vector<unsigned>(29, 300));
    EXPECT_EQ(holder->Finish(), 0);
}

class ProfileReadOnlySlow : public ProfileLoadSaveTest {};

TEST_F(ProfileReadOnlySlow, TreeFreedWithinTheRealPollsIsWritable) {
    CScopedSleep real_clock(nullptr);
    auto holder = HoldLockElsewhere({"--hold-ms", "1000"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(IsProfileReadOnly(*node_));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_EQ(holder->Finish(), 0);
}

}  // namespace
}  // namespace kelmora
