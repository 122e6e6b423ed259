#include "store/tree_lock.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>

#include "store/current_tree.h"
#include "store/profile_layout.h"
#include "store/profile_listing.h"
#include "store/profile_load_save.h"
#include "store/settled_read.h"
#include "store/store_fixture.h"
#include "store/tree_edit.h"
#include "store/tree_load.h"

namespace kelmora::test {
namespace {

class TreeLockTest : public test::CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeFolder("Top/A/A1");
        MakeFolder("Top/B");
    }

    int notifications_ = 0;

    void CountAndReload() {
        SetTreeChangedHandler([this] {
            ++notifications_;
            EXPECT_FALSE(IsTreeLockHeld());
            LoadProfileTree(false);
        });
    }
};

// A load takes the file's number whatever was known before; a change writes the next.
struct CRevisionCase {
    const char* label;
    const char* file_text;  // nullptr: no lock file yet
    int revision;
    int next;  // past the largest revision the count starts again at 0
};

class TreeRevisionTest : public TreeLockTest,
                         public ::testing::WithParamInterface<CRevisionCase> {};

TEST_P(TreeRevisionTest, LoadReadsTheNumberAndAChangeWritesTheNext) {
    const char* text = GetParam().file_text;
    if (text) test::WriteTextFile(Native(".rev"), text);
    MakeFolder("Top2");  // a second top-level folder, stamped too
    CountAndReload();
    SetCachedTreeRevision(3);
    ASSERT_NE(Load(), nullptr);
    EXPECT_EQ(CachedTreeRevision(), GetParam().revision);
    EXPECT_EQ(LockFileText(), text ? text : "");
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    ReleaseTreeLock(true);
    EXPECT_EQ(notifications_, 0);
    const int next = GetParam().next;
    EXPECT_EQ(LockFileText(), std::to_string(next));
    EXPECT_EQ(CachedTreeRevision(), next);
    size_t nodes = 0;
    SearchTree(CurrentTree(), [&](CTreeNode& node) {
        EXPECT_EQ(node.revision_stamp(), next) << node.full_path();
        ++nodes;
        return false;
    });
    EXPECT_EQ(nodes, 5u);
}

// "-1" is the "not known" value, never a revision of the file.
INSTANTIATE_TEST_SUITE_P(LockFiles, TreeRevisionTest,
                         ::testing::Values(CRevisionCase{"NoFile", nullptr, 0, 1},
                                           CRevisionCase{"TextAround", "  41 and what followed\n",
                                                         41, 42},
                                           CRevisionCase{"NotANumber", "  not a number", 0, 1},
                                           CRevisionCase{"Largest", "2147483647", INT_MAX, 0},
                                           CRevisionCase{"TooLarge", "99999999999", 0, 1},
                                           CRevisionCase{"Negative", "-1", 0, 1}),
                         [](const auto& info) { return std::string(info.param.label); });

// A save cut between its Rules and its GUID bump left a pending line for the next writer.
struct CPendingCase {
    const char* label;
    const char* guid;  // the GUID file's text; nullptr: the profile is gone
    bool reader;
    const char* guid_after;
    const char* kept = nullptr;  // what the history keeps for revision 5
};

class PendingBumpTest : public TreeLockTest, public ::testing::WithParamInterface<CPendingCase> {};

TEST_P(PendingBumpTest, NextWriterFinishesTheBumpOfACutSave) {
    const CPendingCase& c = GetParam();
    const std::string pending = "7\npending\t\\Top\\Proj\tproj-guid 1.5\n";
    if (c.guid) {
        MakeFolder("Top/Proj");
        test::WriteTextFile(Native("Top/Proj/GUID"), c.guid);
    }
    if (c.kept) {
        test::WriteTextFile(Native("Top/Proj/Rules"), "rules");
        MakeFolder("Top/Proj/.history");
        test::WriteTextFile(Native("Top/Proj/.history/index"), "5\t-\t-\t1\t1\n");
        test::WriteTextFile(Native("Top/Proj/.history/rules.5"), c.kept);
    }
    test::WriteTextFile(Native(".rev"), pending);
    ASSERT_NE(Load(), nullptr);
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, c.reader, false));
    ReleaseTreeLock(false);
    EXPECT_EQ(LockFileText(), c.reader ? pending : "8");
    if (c.guid) {
        EXPECT_EQ(test::ReadTextFile(Native("Top/Proj/GUID")), c.guid_after);
    }
    if (c.kept) {
        EXPECT_EQ(test::ReadTextFile(Native("Top/Proj/.history/rules.5")), "rules");
    }
    EXPECT_TRUE(Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Guids, PendingBumpTest,
    ::testing::Values(CPendingCase{"Finished", "proj-guid 1.4", false, "proj-guid 1.5"},
                      CPendingCase{"ReaderLeavesIt", "proj-guid 1.4", true, "proj-guid 1.4"},
                      CPendingCase{"Reached", "proj-guid 1.5", false, "proj-guid 1.5"},
                      CPendingCase{"OtherProfile", "other-guid 1.4", false, "other-guid 1.4"},
                      CPendingCase{"EmptyGuidFile", "", false, ""},
                      CPendingCase{"HistoryMended", "proj-guid 1.4", false, "proj-guid 1.5", "cut"},
                      CPendingCase{"ProfileGone", nullptr, false, nullptr}),
    [](const auto& info) { return std::string(info.param.label); });

// The number is written over the old one, then cut: a failed write leaves no shorter one.
TEST_F(TreeLockTest, FailedRevisionWriteIsReportedAndNeverGoesBackwards) {
    test::WriteTextFile(Native(".rev"), "123457");
    ASSERT_NE(Load(), nullptr);
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    test::WithFileSizeLimit(5, [] { EXPECT_FALSE(ReleaseTreeLock(true)); });
    EXPECT_EQ(LockFileText(), "123457");
    EXPECT_EQ(Messages(), Texts{FileErrorText(IDS_ERR_WRITE_FILE, EFBIG, Native(".rev"))});
    // This process no longer trusts what the file says: its next take reloads.
    CountAndReload();
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, true, false));
    ReleaseTreeLock(false);
    EXPECT_EQ(notifications_, 1);
    // A tree gone is reported with its root.
    std::filesystem::remove_all(root());
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, true, false));
    EXPECT_EQ(Messages().back(), StoreString(IDS_TREE_NOT_FOUND, root()));
}

// Another process bumps the tree, removes the held node, or puts a new folder in its place.
enum class EElsewhere { kBumped, kRemoved, kReplaced };

class HeldNodeTest : public TreeLockTest, public ::testing::WithParamInterface<EElsewhere> {};

TEST_P(HeldNodeTest, BehindProcessRechecksOnlyTheHeldNodeAndAGoneOneIsAConflict) {
    const EElsewhere elsewhere = GetParam();
    ASSERT_NE(Load(), nullptr);
    CountAndReload();
    CTreeNode* node = Node("\\Top\\A");
    ASSERT_NE(node, nullptr);
    const int before = CachedTreeRevision();
    const unsigned long generation = CurrentTreeGeneration();
    if (elsewhere == EElsewhere::kBumped) {
        EXPECT_EQ(HoldLockElsewhere({"--bump"})->Finish(), 0);
    } else {
        // Made while the old folder still stands, so that it cannot reuse its inode.
        if (elsewhere == EElsewhere::kReplaced) MakeFolder("Top/A.new");
        auto removed =
            test::RunCommand({BuiltProgram("vptree"), "--root", root(), "rm", "\\Top\\A"});
        ASSERT_EQ(removed.exit_code, 0) << removed.err;
        if (elsewhere == EElsewhere::kReplaced)
            std::filesystem::rename(Native("Top/A.new"), Native("Top/A"));
    }
    const bool gone = elsewhere != EElsewhere::kBumped;
    EXPECT_EQ(TakeTreeLock(node, false, false), !gone);
    EXPECT_EQ(notifications_, 0);
    EXPECT_EQ(CurrentTreeGeneration(), generation);
    EXPECT_EQ(Messages(), gone ? Texts{StoreString(IDS_TREE_CONFLICT)} : Texts{});
    if (gone) {
        EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    EXPECT_EQ(node->revision_stamp(), before + 1);
    EXPECT_EQ(node->full_path(), Full("\\Top\\A"));
    ReleaseTreeLock(true);
    EXPECT_EQ(node->revision_stamp(), before + 2);
    EXPECT_EQ(CachedTreeRevision(), before);
    EXPECT_EQ(node->parent()->revision_stamp(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, HeldNodeTest,
    ::testing::Values(EElsewhere::kBumped, EElsewhere::kRemoved, EElsewhere::kReplaced),
    [](const auto& info) {
        return std::string(info.index == 0 ? "Bumped" : info.index == 1 ? "Removed" : "Replaced");
    });

// A read keeps no writer out: finding the lock file moved, it reads again; after three
// passes it reads under the lock, and the save is refused instead.
TEST_F(TreeLockTest, ReaderReadsAgainWhileWritersGoOnThenTakesTheLock) {
    MakeProfileFolder("Top/P");
    ASSERT_NE(Load(), nullptr);
    const std::string profile = "\\Top\\P";
    const auto vptree = [this](Texts args) {
        args.insert(args.begin(), {BuiltProgram("vptree"), "--wait", "0", "--root", root()});
        return test::RunCommand(args);
    };
    std::vector<int> saves;
    std::string description;
    CSettledTreeRead read(false);
    do {
        ASSERT_TRUE(read.Begin());
        ASSERT_NE(LoadProfileTree(false), nullptr);
        const std::string text = "pass " + std::to_string(saves.size() + 1);
        ASSERT_EQ(vptree({"set", profile, "Description", "--text", text}).exit_code, 0);
        const auto saved = vptree({"save", profile});
        EXPECT_EQ(saved.err.find("waiting"), std::string::npos) << saved.err;
        saves.push_back(saved.exit_code);
        description.clear();
        ReadProfileField(Full(profile), kProfileDescription, &description);
    } while (!read.Settled());
    read.Release();
    EXPECT_EQ(saves, (std::vector<int>{0, 0, 0, 1}));
    EXPECT_EQ(description, "pass 3");
    EXPECT_EQ(LockFileText(), "3");
}

TEST_F(TreeLockTest, UserWhoCannotWriteTheLockFileMayNotChangeTheTree) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may write any file; permissions cannot be tested";
    ASSERT_NE(Load(), nullptr);
    ASSERT_EQ(chmod(Native(".rev").c_str(), 0444), 0);
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_TREE_NO_PERMISSION)});
    // Reading the tree still works for such a user.
    EXPECT_NE(LoadProfileTree(false), nullptr);
}

// 30 opens, 300 ms apart, then "in use"; a read-only check counts a busy tree as busy.
enum class ETaker { kTake, kTakeToRead, kTakeToLog, kLoad, kList, kReadOnlyCheck, kRename };

struct CBusyCase {
    const char* label;
    bool holder_reads;
    ETaker taker;
    size_t let_go_at;  // the wait during which the holder lets go; 0: never
    size_t waits;
};

class BusyTreeTest : public TreeLockTest, public ::testing::WithParamInterface<CBusyCase> {};

TEST_P(BusyTreeTest, TakerPollsUntilTheHolderLetsGoOrGivesUp) {
    const CBusyCase c = GetParam();
    ASSERT_NE(Load(), nullptr);
    auto holder = HoldLockElsewhere(c.holder_reads ? Texts{"--read"} : Texts{});
    CRecordedSleep::action = [&holder, c](size_t wait) {
        if (wait == c.let_go_at) {
            EXPECT_EQ(holder->Finish(), 0);
        }
    };
    const std::string log_before = test::OperationLogText();
    bool got = false, busy = false;
    std::vector<CProfileEntry> entries;
    CTreeNode* node = nullptr;
    switch (c.taker) {
        case ETaker::kTake:
        case ETaker::kTakeToRead:
        case ETaker::kTakeToLog:
            got = TakeTreeLock(TreeLockStart::kNoCheck, c.taker == ETaker::kTakeToRead,
                               c.taker == ETaker::kTakeToLog);
            break;
        case ETaker::kLoad:
            got = LoadProfileTree(false) != nullptr;
            break;
        case ETaker::kList:
            got = LoadAndListProfileTree(&entries);
            break;
        case ETaker::kReadOnlyCheck:
            got = !IsProfileReadOnly(*Node("\\Top\\A"), &busy);
            break;
        case ETaker::kRename:
            node = Node("\\Top\\A");
            got = RenameNode(node, "B");
            break;
    }
    ReleaseTreeLock(false);
    const bool refused = c.let_go_at == 0;
    EXPECT_EQ(got, !refused);
    EXPECT_EQ(busy, refused && c.taker == ETaker::kReadOnlyCheck);
    EXPECT_EQ(CRecordedSleep::calls, std::vector<unsigned>(c.waits, 300));
    const bool boxed =
        refused && c.taker != ETaker::kTakeToLog && c.taker != ETaker::kReadOnlyCheck;
    const std::string in_use = StoreString(IDS_TREE_IN_USE);
    EXPECT_EQ(Messages(), boxed ? Texts{in_use} : Texts{});
    const bool logged = refused && c.taker == ETaker::kTakeToLog;
    EXPECT_EQ(test::OperationLogText(), log_before + (logged ? in_use + "\n" : ""));
    if (refused) {
        EXPECT_EQ(holder->Finish(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Takers, BusyTreeTest,
    ::testing::Values(CBusyCase{"WriterKeepsOutWriter", false, ETaker::kTake, 0, 30},
                      CBusyCase{"ReaderKeepsOutReader", true, ETaker::kTakeToRead, 0, 30},
                      CBusyCase{"RefusalToTheLog", false, ETaker::kTakeToLog, 0, 30},
                      CBusyCase{"ListRefused", false, ETaker::kList, 0, 29},
                      CBusyCase{"RenameRefused", false, ETaker::kRename, 0, 30},
                      CBusyCase{"ReadOnlyWhileBusy", false, ETaker::kReadOnlyCheck, 0, 29},
                      CBusyCase{"TakenWhenLetGo", false, ETaker::kTake, 7, 7},
                      CBusyCase{"ReadWhenLetGo", false, ETaker::kLoad, 7, 7},
                      CBusyCase{"WritableWhenLetGo", false, ETaker::kReadOnlyCheck, 6, 6}),
    [](const auto& info) { return std::string(info.param.label); });

class TreeLockSlow : public TreeLockTest {};

TEST_F(TreeLockSlow, HolderOfAMinuteOutlastsThirtyRealPolls) {
    ASSERT_NE(Load(), nullptr);
    CScopedSleep real_clock(nullptr);
    // Held far past the 30 polls, so that a slow machine still gives up first.
    auto holder = HoldLockElsewhere({"--hold-ms", "60000"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(8900));
    EXPECT_LT(waited, std::chrono::milliseconds(60000));
    EXPECT_EQ(Messages(), Texts{StoreString(IDS_TREE_IN_USE)});
    EXPECT_EQ(holder->Finish(), 0);
}

}  // namespace
}  // namespace kelmora::test
