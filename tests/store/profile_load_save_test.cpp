#include "store/profile_load_save.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/rules_history.h"
#include "store/store_fixture.h"
#include "store/tree_edit.h"
#include "store/tree_lock.h"

namespace kelmora::test {
namespace {

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
    std::string ProjPath(int file_index) const { return ProjPath(ProfileFileName(file_index)); }
    std::string ProjFile(const std::string& name) const { return ReadTextFile(ProjPath(name)); }
    ESaveOutcome SaveRules(const std::string& rules) {
        CProfileRecord record;
        record.rules = rules;
        return SaveProfile(node_, record, kSaveRules, "");
    }

    int revision_ = 0;
    CTreeNode* node_ = nullptr;
};

// Bytes stay bytes: a NUL, text past 4095 bytes and CR LF all come back.
TEST_F(ProfileLoadSaveTest, EachFieldIsSavedToItsFileAndLoadedBack) {
    const auto text_of = [](int index) {
        return ProfileFileName(index) + std::string(1, '\0') + std::string(5000, 'r') + "\r\nend";
    };
    CProfileRecord record;
    unsigned all_but_rules = 0;
    for (const CProfileTextField& field : ProfileTextFields()) {
        record.*field.text = text_of(field.file_index);
        if (field.file_index != kProfileRules) all_but_rules |= field.save_bit;
    }
    ASSERT_EQ(SaveProfile(node_, record, all_but_rules, ""), ESaveOutcome::kSaved);
    EXPECT_FALSE(fs::exists(ProjPath(kProfileRules)));
    EXPECT_FALSE(fs::exists(ProjPath("Diagram")));
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_EQ(node_->profile_state(), ProfileState::kNotLoaded);
    EXPECT_EQ(LockFileText(), std::to_string(revision_ + 1));
    WriteTextFile(ProjPath(kProfileRules), text_of(kProfileRules));
    ASSERT_TRUE(LoadProfile(node_));
    ASSERT_EQ(node_->profile_state(), ProfileState::kLoaded);
    const CProfileRecord& loaded = *node_->profile_record();
    for (const CProfileTextField& field : ProfileTextFields()) {
        EXPECT_EQ(ProjFile(ProfileFileName(field.file_index)), text_of(field.file_index));
        EXPECT_EQ(loaded.*field.text, text_of(field.file_index)) << field.file_index;
    }
    EXPECT_FALSE(loaded.all_empty);
    EXPECT_FALSE(loaded.read_only);
    EXPECT_TRUE(loaded.diagram_source_path.empty());
    EXPECT_EQ(CachedTreeRevision(), revision_ + 1);
}

// A FIFO would block its reader while the tree lock is held.
TEST_F(ProfileLoadSaveTest, FifoAmongTheFilesIsLeftAloneWithAMessage) {
    ASSERT_EQ(mkfifo(ProjPath("Rules").c_str(), 0600), 0);
    WriteTextFile(ProjPath("Description"), "");
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_EQ(node_->profile_record()->rules, "");
    EXPECT_TRUE(node_->profile_record()->all_empty);
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_NOT_REGULAR_FILE, ProjPath("Rules"))});
}

// Index lines of a save that did not get its revision are not in force.
TEST_F(ProfileLoadSaveTest, SavesOfTheRulesKeepEachTextWithItsRevision) {
    WriteTextFile(ProjPath("Rules"), "a\nb\n");
    const std::vector<std::string> texts = {"x\nb\nc\n", "b\nx\n", "b\nx\n"};
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i == 2) SetMachineSetting("RulesHistoryLimit", "3");
        ASSERT_EQ(SaveRules(texts[i]), ESaveOutcome::kSaved);
    }
    SetMachineSetting("RulesHistoryLimit", "");
    WriteTextFile(ProjPath(".history/index"),
                  ProjFile(".history/index") + "8\t-\t-\t1\t1\n" + "9\tcut");
    CFolder folder;
    ASSERT_TRUE(folder.Open(ProjPath("")));
    std::vector<CRulesRevision> log;
    CRulesHistoryError error;
    ASSERT_TRUE(ReadRulesHistory(folder, &log, &error));
    std::vector<std::tuple<unsigned long, int, int, bool>> seen;
    for (const CRulesRevision& entry : log)
        seen.emplace_back(entry.revision, entry.added, entry.removed, entry.time_utc.empty());
    EXPECT_EQ(seen, (std::vector<std::tuple<unsigned long, int, int, bool>>{
                        {7, 0, 0, false}, {6, 1, 2, false}, {5, 2, 1, false}}));
    EXPECT_TRUE(log[0].user_host.find('@') != std::string::npos) << log[0].user_host;
    std::string text;
    for (unsigned long revision : {5ul, 6ul, 7ul}) {
        ASSERT_TRUE(ReadRulesAtRevision(ProjPath(""), revision, &text, &error)) << revision;
        EXPECT_EQ(text, texts[revision - 5]);
    }
    // Dropped by the bound, never kept, or not in force.
    for (unsigned long revision : {4ul, 3ul, 8ul}) {
        EXPECT_FALSE(ReadRulesAtRevision(folder, revision, &text, &error)) << revision;
        EXPECT_TRUE(error.not_kept) << revision;
    }
    EXPECT_FALSE(fs::exists(ProjPath(".history/rules.4")));
    // A kept text that cannot be read is an error, not a gap.
    fs::remove(ProjPath(".history/rules.6"));
    fs::create_directory(ProjPath(".history/rules.6"));
    EXPECT_FALSE(ReadRulesAtRevision(folder, 6, &text, &error));
    EXPECT_FALSE(error.not_kept);
    EXPECT_NE(error.os_error, 0);
    // So is an index that cannot be read.
    fs::remove(ProjPath(".history/index"));
    fs::create_directory(ProjPath(".history/index"));
    EXPECT_FALSE(ReadRulesHistory(folder, &log, &error));
    EXPECT_FALSE(ReadRulesAtRevision(folder, 5, &text, &error));
    // A GUID file that gives no revision has no history to keep.
    WriteTextFile(ProjPath("GUID"), "proj-guid");
    EXPECT_EQ(SaveRules("unnumbered"), ESaveOutcome::kSaved);
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 0.1");
    // A profile taken away since the load is said to be missing.
    fs::remove_all(ProjPath(""));
    EXPECT_EQ(SaveRules("gone"), ESaveOutcome::kNotSaved);
    EXPECT_EQ(Messages(), Texts{FileErrorText(IDS_ERR_OPEN_FILE, ENOENT, Native("Top/Proj"))});
}

// A reader outside the tree lock holds the GUID file.
TEST_F(ProfileLoadSaveTest, SaveWaitsForAReaderAndWritesNothingWhileItStays) {
    WriteTextFile(ProjPath("Rules"), "old rules");
    test::CChildProcess reader(
        {test::BuiltProgram("file_holder"), ProjPath("GUID"), "read", "denywrite"});
    ASSERT_EQ(reader.ReadLine(), "opened");
    EXPECT_EQ(SaveRules("new rules"), ESaveOutcome::kNotSaved);
    EXPECT_EQ(CRecordedSleep::calls, std::vector<unsigned>(10, 3000));
    EXPECT_EQ(ProjFile("Rules"), "old rules");
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.4");
    EXPECT_EQ(Messages(), Texts{FileErrorText(IDS_ERR_OPEN_FILE, EAGAIN, ProjPath("GUID"))});

    // One that lets go during the waits is waited for.
    Answer("");
    CRecordedSleep::Reset();
    CRecordedSleep::action = [&](size_t wait) {
        if (wait == 2) reader.Finish();
    };
    EXPECT_EQ(SaveRules("new rules"), ESaveOutcome::kSaved);
    EXPECT_EQ(ProjFile("GUID"), "proj-guid 1.5");
    EXPECT_TRUE(Messages().empty());
}

// Boxes: R the refused rename's message, Q the question whether to delete the new profile.
struct CNamingCase {
    const char* label;
    bool new_profile;
    const char* answers;
    ESaveOutcome outcome;
    const char* final_name;  // nullptr: deleted
    size_t prompts;
    const char* boxes;
    const char* name = "Other";
};

class ProfileNamingTest : public ProfileLoadSaveTest,
                          public ::testing::WithParamInterface<CNamingCase> {};

TEST_P(ProfileNamingTest, TakenNameAsksForAnother) {
    const CNamingCase& naming = GetParam();
    Answer(naming.answers);
    EXPECT_EQ(SaveProfile(node_, CProfileRecord(), kSaveNothing, naming.name, naming.new_profile),
              naming.outcome);
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
    ::testing::Values(
        CNamingCase{"FreeName", false, "", ESaveOutcome::kSaved, "Named", 0, "", "Named"},
        CNamingCase{"KeepAndRetry", true, "\n\nno\n\nFine\n", ESaveOutcome::kSaved, "Fine", 2,
                    "RQR"},
        CNamingCase{"GiveUpNewProfile", true, "\n\nyes\n", ESaveOutcome::kDeleted, nullptr, 1,
                    "RQ"},
        CNamingCase{"ExistingKeepsItsName", false, "\n\nyes\n", ESaveOutcome::kSavedUnnamed, "Proj",
                    1, "R"},
        // the message meets the end of input: nobody is left to ask
        CNamingCase{"NobodyToAsk", true, "", ESaveOutcome::kSavedUnnamed, "Proj", 0, "R"}),
    [](const auto& info) { return std::string(info.param.label); });

struct CReadOnlyCase {
    const char* label;
    std::vector<std::string> protected_paths;
    bool read_only;
};

class ProfileReadOnlyTest : public ProfileLoadSaveTest,
                            public ::testing::WithParamInterface<CReadOnlyCase> {};

TEST_P(ProfileReadOnlyTest, IsToldAtOnce) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may write any file; run as a user to test";
    for (const std::string& path : GetParam().protected_paths)
        ASSERT_EQ(chmod(Native(path).c_str(), fs::is_directory(Native(path)) ? 0555 : 0444), 0);
    bool busy = true;
    EXPECT_EQ(IsProfileReadOnly(*node_, &busy), GetParam().read_only);
    EXPECT_FALSE(busy);
    EXPECT_TRUE(CRecordedSleep::calls.empty());
    ASSERT_TRUE(LoadProfile(node_));
    EXPECT_EQ(node_->profile_record()->read_only, GetParam().read_only);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ProfileReadOnlyTest,
    ::testing::Values(CReadOnlyCase{"Writable", {}, false},
                      CReadOnlyCase{"ProfileFolder", {"Top/Proj/GUID", "Top/Proj"}, true},
                      CReadOnlyCase{"Tree", {".rev", "."}, true}),
    [](const auto& info) { return std::string(info.param.label); });

constexpr const char* kLeftover = ".Rules.saving-Ab12cd";

// A new text goes into a hidden file beside the old one and takes its place with a rename.
class CrashSafeSaveTest : public ProfileLoadSaveTest {
protected:
    void SetUp() override {
        ProfileLoadSaveTest::SetUp();
        WriteTextFile(ProjPath("Rules"), "old rules");
    }

    std::vector<std::string> Entries(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Native(relative)))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// Set-id bits someone else gave the old file are not taken over; the GUID is written in place.
TEST_F(CrashSafeSaveTest, NewTextTakesTheOldFilesPlaceAndMode) {
    const std::string rules = ProjPath("Rules");
    ASSERT_EQ(chmod(rules.c_str(), 04640), 0);
    struct stat before {
    }, guid_before{}, guid_after{};
    ASSERT_EQ(stat(rules.c_str(), &before), 0);
    ASSERT_EQ(stat(ProjPath("GUID").c_str(), &guid_before), 0);
    CProfileRecord record;
    record.rules = "new rules";
    record.description = "about";
    ASSERT_EQ(SaveProfile(node_, record, kSaveRules | kSaveDescription, ""), ESaveOutcome::kSaved);
    struct stat after {};
    ASSERT_EQ(stat(rules.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadTextFile(rules), "new rules");
    ASSERT_EQ(stat(ProjPath("GUID").c_str(), &guid_after), 0);
    EXPECT_EQ(guid_after.st_ino, guid_before.st_ino);
    // No temporary file is left.
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
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(Node("\\Top\\Folder")->IsProfile());

    CTreeNode* top = Node("\\Top");
    ASSERT_NE(CreateOrCopyProfile(top, Full("\\Top\\Proj"), true), nullptr);
    EXPECT_EQ(Entries("Top/Copy of Proj"), (std::vector<std::string>{"GUID", "Rules"}));

    CTreeNode* node = Node("\\Top\\Proj");
    ASSERT_EQ(SaveProfile(node, CProfileRecord(), kSaveNothing, ""), ESaveOutcome::kSaved);
    EXPECT_EQ(Entries("Top/Proj"), (std::vector<std::string>{"GUID", "Rules"}));

    CTreeNode* folder = Node("\\Top\\Folder");
    EXPECT_TRUE(DeleteNode(folder));
    EXPECT_FALSE(fs::exists(Native("Top/Folder")));
    EXPECT_FALSE(fs::exists(Native("Top/.kelmora-removing-Ab12cd")));
    EXPECT_TRUE(Messages().empty());
}

// Written in place into room reserved first, so a full disk keeps the old text; kept Rules too.
TEST_F(CrashSafeSaveTest, SavePermissionOnlyForTheFilesWritesInPlace) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may create files in any folder; needs a user";
    WriteTextFile(Native("Top/Proj/") + kPreviousRulesFileName, "rules of an older save");
    WriteTextFile(Native("Top/Proj/GUID"), "proj-guid 1.04");  // longer than the next one
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    test::WithFileSizeLimit(
        50, [&] { EXPECT_EQ(SaveRules(std::string(100, 'x')), ESaveOutcome::kNotSaved); });
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/Rules")), "old rules");
    EXPECT_EQ(SaveRules("new rules"), ESaveOutcome::kSaved);
    chmod(Native("Top/Proj").c_str(), 0755);
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/Rules")), "new rules");
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/GUID")), "proj-guid 1.5 ");
    EXPECT_EQ(ReadTextFile(Native("Top/Proj/") + kPreviousRulesFileName), "old rules");
    // After a save that starts the history, a save in place changes no history entry.
    EXPECT_EQ(SaveRules("newer rules"), ESaveOutcome::kSaved);
    ASSERT_EQ(chmod(Native("Top/Proj").c_str(), 0555), 0);
    EXPECT_EQ(SaveRules("newest rules"), ESaveOutcome::kSaved);
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

struct GuidCase {
    std::string_view text;
    bool ok;
    const char* guid;
    int major;
    int minor;
};

class GuidFileTextTest : public ::testing::TestWithParam<GuidCase> {};

TEST_P(GuidFileTextTest, ScansLikeTheStoredFormat) {
    CProfileGuid parsed;
    EXPECT_EQ(ParseGuidFileText(GetParam().text, &parsed), GetParam().ok);
    EXPECT_EQ(parsed.guid, GetParam().guid);
    EXPECT_EQ(parsed.major, GetParam().major);
    EXPECT_EQ(parsed.minor, GetParam().minor);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GuidFileTextTest,
    ::testing::Values(GuidCase{"0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7", true,
                               "0f1e2d3c-aaaa-bbbb-cccc-001122334455", 1, 7},
                      GuidCase{"  g 0.0", true, "g", 0, 0},
                      GuidCase{"g\t2.41\r\n", true, "g", 2, 41},
                      GuidCase{"g 1. 5", true, "g", 1, 5},  // the scan skips blanks before a number
                      GuidCase{"g", false, "g", 0, 0},      // GUID alone
                      GuidCase{"g 1", false, "g", 1, 0}, GuidCase{"g x.1", false, "g", 0, 0},
                      GuidCase{"", false, "", 0, 0},
                      // Found by fuzzing: a bump lost the bytes after a NUL in the GUID.
                      GuidCase{std::string_view("g 1.4\0 junk", 11), true, "g", 1, 4},
                      GuidCase{std::string_view("g\0x 1.4", 8), false, "g", 0, 0},
                      GuidCase{std::string_view("g\0007", 3), false, "g", 0, 0}),
    [](const auto& info) { return test::CaseName(info.index, info.param.text); });

}  // namespace
}  // namespace kelmora::test
