#include "store/tree_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "resources/string_table.h"
#include "store/current_tree.h"
#include "store/store_fixture.h"
#include "store/tree_load.h"

namespace kelmora {
namespace {

using test::BuiltProgram;
using test::CChildProcess;
using test::CRecordedSleep;
using test::CStoreTest;
using test::StoreString;

class TreeLockTest : public CStoreTest {
protected:
    void SetUp() override {
        CStoreTest::SetUp();
        MakeFolder("Top/A/A1");
        MakeFolder("Top/B");
    }

    // Another process that holds the lock until Release().
    std::unique_ptr<CChildProcess> HoldLockElsewhere(bool for_reading, bool bump = false) {
        std::vector<std::string> argv{BuiltProgram("tree_lock_holder"), root()};
        if (for_reading) argv.push_back("--read");
        if (bump) argv.push_back("--bump");
        auto holder = std::make_unique<CChildProcess>(argv);
        EXPECT_EQ(holder->ReadLine(), "held");
        return holder;
    }

    // Another process that changes the tree revision once, as any edit would.
    void BumpRevisionElsewhere() { EXPECT_EQ(HoldLockElsewhere(false, true)->Finish(), 0); }

    int notifications_ = 0;
    bool lock_free_while_notified_ = true;

    void CountAndReload() {
        SetTreeChangedHandler([this] {
            ++notifications_;
            lock_free_while_notified_ = lock_free_while_notified_ && !IsTreeLockHeld();
            LoadProfileTree(false);
        });
    }
};

TEST_F(TreeLockTest, NewTreeStartsAtZeroAndTheFirstChangeWritesOne) {
    ASSERT_NE(Load(), nullptr);
    EXPECT_EQ(LockFileText(), "");
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    EXPECT_TRUE(IsTreeLockHeld());
    ReleaseTreeLock(true);
    EXPECT_FALSE(IsTreeLockHeld());
    EXPECT_EQ(LockFileText(), "1");
    EXPECT_EQ(CachedTreeRevision(), 1);
}

TEST_F(TreeLockTest, BumpRewritesTheWholeFileAndStampsEveryNode) {
    test::WriteTextFile(Native(".rev"), "41 and whatever followed");
    ASSERT_NE(Load(), nullptr);
    CountAndReload();
    ASSERT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    EXPECT_EQ(notifications_, 0);
    ReleaseTreeLock(true);
    EXPECT_EQ(LockFileText(), "42");
    const std::vector<CTreeNode*> nodes = AllNodes();
    EXPECT_EQ(nodes.size(), 4u);
    for (const CTreeNode* node : nodes) EXPECT_EQ(node->revision_stamp(), 42) << node->full_path();
}

TEST_F(TreeLockTest, TextWithoutNumberCountsAsRevisionZero) {
    test::WriteTextFile(Native(".rev"), "  not a number");
    ASSERT_NE(Load(), nullptr);
    EXPECT_EQ(CachedTreeRevision(), 0);
    test::WriteTextFile(Native(".rev"), "  17\n");
    ASSERT_NE(Load(), nullptr);
    EXPECT_EQ(CachedTreeRevision(), 17);
}

TEST_F(TreeLockTest, BehindProcessReloadsBeforeItRefindsTheHeldNode) {
    ASSERT_NE(Load(), nullptr);
    CountAndReload();
    CTreeNode* held = Node("\\Top\\A");
    ASSERT_NE(held, nullptr);
    const int before = CachedTreeRevision();
    BumpRevisionElsewhere();

    CTreeNode* node = held;
    ASSERT_TRUE(TakeTreeLock(node, false, false));
    EXPECT_EQ(notifications_, 1);
    EXPECT_TRUE(lock_free_while_notified_);
    EXPECT_EQ(CachedTreeRevision(), before + 1);
    // The reload built a new tree; the reference now names its node.
    EXPECT_EQ(node->full_path(), Full("\\Top\\A"));
    EXPECT_EQ(FindNodeByPath(CurrentTree(), Full("\\Top\\A")), node);
    ReleaseTreeLock(false);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeLockTest, HeldNodeRemovedByAnotherProcessIsAConflict) {
    ASSERT_NE(Load(), nullptr);
    CountAndReload();
    CTreeNode* node = Node("\\Top\\A");
    ASSERT_NE(node, nullptr);
    auto removed = test::RunCommand({BuiltProgram("vptree"), "--root", root(), "rm", "\\Top\\A"});
    ASSERT_EQ(removed.exit_code, 0) << removed.err;

    EXPECT_FALSE(TakeTreeLock(node, false, false));
    EXPECT_EQ(notifications_, 1);
    EXPECT_FALSE(IsTreeLockHeld());
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_TREE_CONFLICT)});
    EXPECT_EQ(Boxes()[0].style, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(TreeLockTest, TreeLoadNeverNotifies) {
    ASSERT_NE(Load(), nullptr);
    CountAndReload();
    SetCachedTreeRevision(3);
    test::WriteTextFile(Native(".rev"), "9");
    ASSERT_NE(LoadProfileTree(false), nullptr);
    EXPECT_EQ(notifications_, 0);
    EXPECT_EQ(CachedTreeRevision(), 9);
}

TEST_F(TreeLockTest, MissingTreeIsReportedWithItsRoot) {
    ASSERT_NE(Load(), nullptr);
    std::filesystem::remove_all(root());
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, true, false));
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_TREE_NOT_FOUND, root())});
}

TEST_F(TreeLockTest, UserWhoCannotWriteTheLockFileMayNotChangeTheTree) {
    if (RunningAsRoot()) GTEST_SKIP() << "root may write any file; permissions cannot be tested";
    ASSERT_NE(Load(), nullptr);
    ASSERT_EQ(chmod(Native(".rev").c_str(), 0444), 0);
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_TREE_NO_PERMISSION)});
    // Reading the tree still works for such a user.
    EXPECT_NE(LoadProfileTree(false), nullptr);
}

// Another process holding the lock, for reading or for writing, keeps out
// every take, for reading or writing: 30 opens, 300 ms apart, then "in use".
struct CExclusionCase {
    bool holder_reads;
    bool taker_reads;
    bool to_log;
};

class TreeLockExclusionTest : public TreeLockTest,
                              public ::testing::WithParamInterface<CExclusionCase> {};

TEST_P(TreeLockExclusionTest, BusyTreeIsGivenUpAfterThirtyAttempts) {
    ASSERT_NE(Load(), nullptr);
    auto holder = HoldLockElsewhere(GetParam().holder_reads);
    const std::string log_before = test::OperationLogText();

    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, GetParam().taker_reads, GetParam().to_log));
    EXPECT_FALSE(IsTreeLockHeld());
    EXPECT_EQ(CRecordedSleep::Calls(), std::vector<unsigned>(30, 300));
    const std::string busy = StoreString(IDS_TREE_IN_USE);
    if (GetParam().to_log) {
        EXPECT_TRUE(Messages().empty());
        EXPECT_EQ(test::OperationLogText(), log_before + busy + "\n");
    } else {
        EXPECT_EQ(Messages(), std::vector<std::string>{busy});
    }
    EXPECT_EQ(holder->Finish(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, TreeLockExclusionTest,
                         ::testing::Values(CExclusionCase{false, false, false},
                                           CExclusionCase{false, true, false},
                                           CExclusionCase{true, true, false},
                                           CExclusionCase{true, false, true}));

TEST_F(TreeLockTest, LockReleasedWhileWaitingIsTakenWithoutMessage) {
    ASSERT_NE(Load(), nullptr);
    auto holder = HoldLockElsewhere(false);
    // About two seconds into the wait the other process lets go.
    CRecordedSleep::Action() = [&holder](size_t wait) {
        if (wait == 7) {
            EXPECT_EQ(holder->Finish(), 0);
        }
    };
    EXPECT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    ReleaseTreeLock(false);
    EXPECT_EQ(CRecordedSleep::Calls().size(), 7u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeLockTest, ConcurrentEditorsLoseNoChange) {
    constexpr int kWorkers = 4;
    constexpr int kFoldersEach = 20;
    MakeFolder("Top/A");  // the workers' parent is the first top-level folder
    std::filesystem::remove_all(Native("Top/B"));
    test::WriteTextFile(Native(".rev"), "100");
    std::string go = temp_ / "go";
    std::vector<std::unique_ptr<CChildProcess>> workers;
    for (int i = 0; i < kWorkers; ++i) {
        workers.push_back(std::make_unique<CChildProcess>(std::vector<std::string>{
            BuiltProgram("tree_edit_worker"), root(), std::to_string(kFoldersEach), go, "20"}));
    }
    test::WriteTextFile(go, "");
    for (auto& worker : workers) {
        EXPECT_EQ(worker->ReadLine(), "made " + std::to_string(kFoldersEach));
        EXPECT_EQ(worker->Finish(), 0);
    }
    EXPECT_EQ(LockFileText(), std::to_string(100 + kWorkers * kFoldersEach));
    int new_folders = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Native("Top"))) {
        if (entry.path().filename().string().starts_with("New Folder")) ++new_folders;
    }
    EXPECT_EQ(new_folders, kWorkers * kFoldersEach);
}

class TreeLockSlow : public TreeLockTest {};

TEST_F(TreeLockSlow, HolderOfTenSecondsOutlastsThirtyRealPolls) {
    ASSERT_NE(Load(), nullptr);
    CScopedSleep real_clock(nullptr);
    auto holder = std::make_unique<CChildProcess>(
        std::vector<std::string>{BuiltProgram("tree_lock_holder"), root(), "--hold-ms", "10000"});
    ASSERT_EQ(holder->ReadLine(), "held");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TakeTreeLock(TreeLockStart::kNoCheck, false, false));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(8900));
    EXPECT_LT(waited, std::chrono::milliseconds(10000));
    EXPECT_EQ(Messages(), std::vector<std::string>{StoreString(IDS_TREE_IN_USE)});
    EXPECT_EQ(holder->Finish(), 0);
}

}  // namespace
}  // namespace kelmora
