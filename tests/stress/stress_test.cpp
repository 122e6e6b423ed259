// Each test prints its figures on a line that begins with "stress: " (scripts/test shows them).
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "client/admin.h"
#include "client/registry.h"
#include "cspec/info_block.h"
#include "platform/sleep.h"
#include "platform/temp_file.h"
#include "store/profile_layout.h"
#include "store/rules_history.h"
#include "store/tree_load.h"
#include "store/tree_lock.h"
#include "store/tree_root.h"
#include "stress/stress_texts.h"
#include "support/scripted_ui.h"
#include "support/test_env.h"

namespace kelmora::test {
namespace {

namespace fs = std::filesystem;
using Processes = std::vector<std::unique_ptr<CChildProcess>>;

const std::string kProfile = "\\Stavemark View Profiles\\Proj";
const std::string kGuid = "0d2a9f54-7c1e-4b8a-9e3f-5a6b7c8d9e0f";

// A tree with one profile, named by the ProjectRoot setting that every worker reads.
class StressTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = temp_ / "tree";
        fs::create_directories(ProfileFolder());
        OverrideTreeRootSetting(std::nullopt);
        ASSERT_EQ(ntregy_set_value(NTREGY_HKEY_LOCAL_MACHINE, ntregy_get_common_key(),
                                   "ProjectRoot", root_.c_str()),
                  TBS_ST_OK);
    }

    std::string ProfileFolder() const { return root_ + "/Stavemark View Profiles/Proj"; }
    std::string ProfileFile(const std::string& name) const { return ProfileFolder() + "/" + name; }
    std::string Go() const { return temp_ / "go"; }

    static std::unique_ptr<CChildProcess> Start(std::vector<std::string> argv) {
        argv.insert(argv.begin(), BuiltProgram("store_worker"));
        return std::make_unique<CChildProcess>(argv);
    }
    // Every line each process printed, after it ended with exit code 0.
    static std::vector<std::vector<std::string>> Collect(Processes& processes) {
        std::vector<std::vector<std::string>> outputs;
        for (auto& process : processes) {
            auto& lines = outputs.emplace_back();
            for (std::string line = process->ReadLine(); !line.empty(); line = process->ReadLine())
                lines.push_back(line);
            EXPECT_EQ(process->Finish(), 0);
        }
        return outputs;
    }
    // Lets them go at once; each must print just that line. The milliseconds they took.
    long long RunTogether(Processes& processes, const std::string& line) const {
        const auto start = std::chrono::steady_clock::now();
        WriteTextFile(Go(), "");
        for (const auto& lines : Collect(processes))
            EXPECT_EQ(lines, std::vector<std::string>{line});
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }

    CTempDir temp_;
    std::string root_;
};

TEST_F(StressTest, EightEditorsOfOneTreeLoseNoEdit) {
    constexpr int kEditors = 8, kEdits = 25, kStart = 1000;
    WriteTextFile(root_ + "/.rev", std::to_string(kStart));
    Processes editors;
    // A folder of its own for each: a folder takes 99 new folders at most.
    for (int i = 0; i < kEditors; ++i) {
        const std::string parent = "\\Stavemark View Profiles\\E" + std::to_string(i);
        fs::create_directories(root_ + "/Stavemark View Profiles/E" + std::to_string(i));
        editors.push_back(Start({"edit", root_, std::to_string(kEdits), Go(), "20", parent}));
    }
    const long long took = RunTogether(editors, "made " + std::to_string(kEdits));
    EXPECT_EQ(ReadTextFile(root_ + "/.rev"), std::to_string(kStart + kEditors * kEdits));
    int folders = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root_ + "/Stavemark View Profiles"))
        folders += entry.path().filename().string().starts_with("New Folder");
    EXPECT_EQ(folders, kEditors * kEdits);
    std::printf("stress: %d editors x %d edits: tree revision %d -> %s, %d new folders, %lld ms\n",
                kEditors, kEdits, kStart, ReadTextFile(root_ + "/.rev").c_str(), folders, took);
}

// Every view holds one complete Rules text, at a revision no newer than that text's.
TEST_F(StressTest, SavesOfTheRulesWhileViewsAreComposedFromThem) {
    constexpr int kSavers = 8, kSaves = 6, kComposers = 8, kCompositions = 20, kFirstMinor = 5;
    WriteTextFile(ProfileFile("Rules"), StressRulesFile("start"));
    WriteTextFile(ProfileFile("GUID"), kGuid + " 1." + std::to_string(kFirstMinor));
    const std::string spec = FormatProfileInfoBlock({kProfile, kGuid, 1, kFirstMinor}) +
                             "\r\n\r\n" + LoadString(IDS_SECTION_HEADER) + "\r\n" +
                             StressProfileRules("start") + LoadString(IDS_SECTION_END_MARKER);
    Processes savers, composers;
    for (int i = 0; i < kComposers; ++i) {
        const std::string view = "stress_view_" + std::to_string(i);
        ASSERT_EQ(client::CreateView(view), TBS_ST_OK);
        ASSERT_EQ(client::SetConfigSpecText(view, spec), TBS_ST_OK);
        composers.push_back(
            Start({"compose", view, kProfile, std::to_string(kCompositions), Go()}));
    }
    for (int i = 0; i < kSavers; ++i) {
        savers.push_back(Start({"save", root_, kProfile, "s" + std::to_string(i),
                                std::to_string(kSaves), Go(), temp_ / "serial"}));
    }
    WriteTextFile(Go(), "");

    // The revision each Rules text was saved with.
    std::map<std::string, int> minor_of{{"start", kFirstMinor}};
    for (const auto& lines : Collect(savers)) {
        EXPECT_EQ(lines.size(), size_t{kSaves});
        for (const std::string& line : lines) {
            char token[64] = "";
            int minor = 0;
            std::sscanf(line.c_str(), "saved %63s %d", token, &minor);
            EXPECT_TRUE(minor_of.emplace(token, minor).second) << line;
        }
    }
    EXPECT_EQ(minor_of.size(), size_t{1 + kSavers * kSaves});
    // Each composer's last line is what its view holds in the end.
    int exact = 0, older = 0;
    for (const auto& lines : Collect(composers)) {
        EXPECT_EQ(lines.size(), size_t{kCompositions});
        for (const std::string& line : lines) {
            char token[64] = "";
            int named = 0;
            std::sscanf(line.c_str(), "composed %d %63s", &named, token);
            const auto it = minor_of.find(token);
            const bool sound = it != minor_of.end() && named >= kFirstMinor && named <= it->second;
            EXPECT_TRUE(sound) << "revision " << named << " with the rules " << token;
            exact += sound && named == it->second;
            older += sound && named < it->second;
        }
    }
    CProfileGuid guid;
    ASSERT_TRUE(ParseGuidFileText(ReadTextFile(ProfileFile("GUID")), &guid));
    EXPECT_EQ(guid.minor, kFirstMinor + kSavers * kSaves);
    std::printf(
        "stress: %d saves, %d views written by associate and synchronize: %d named the revision of "
        "their rules, %d an older one (the next synchronize catches up); minor revision %d -> %d\n",
        kSavers * kSaves, kComposers * kCompositions, exact, older, kFirstMinor, guid.minor);
}

// New Rules never stay at the old revision: the next writer of the tree (here this process)
// finishes the bump, and the history then holds the Rules that stand at the revision.
TEST_F(StressTest, SaveKilledAtRandomMomentsLeavesEveryFileOldOrNew) {
    constexpr int kKills = 100;
    auto reset = [&] {
        for (int index = 0; index < kProfileDiagram; ++index)
            WriteTextFile(ProfileFile(ProfileFileName(index)), StressFieldText(index, "old"));
        WriteTextFile(ProfileFile("GUID"), kGuid + " 1.4");
        fs::remove_all(ProfileFile(kRulesHistoryFolderName));
    };
    // A profile still at 1.4 may have no history entry.
    auto history_agrees = [&] {
        CProfileGuid guid;
        ParseGuidFileText(ReadTextFile(ProfileFile("GUID")), &guid);
        const unsigned long minor = static_cast<unsigned long>(guid.minor);
        std::vector<CRulesRevision> log;
        std::string kept;
        CRulesHistoryError error;
        if (!ReadRulesHistory(ProfileFolder(), &log, &error)) return false;
        if (!ReadRulesAtRevision(ProfileFolder(), minor, &kept, &error))
            return minor == 4 && error.not_kept && log.empty();
        return kept == ReadTextFile(ProfileFile("Rules")) && log[0].revision == minor;
    };
    auto save = [&](bool kill, std::chrono::microseconds after) {
        auto saver = Start({"save-once", root_, kProfile, "new"});
        EXPECT_EQ(saver->ReadLine(), "ready");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(saver->Write("\n"));
        if (kill) {
            std::this_thread::sleep_for(after);
            saver->Kill(SIGKILL);
        } else {
            EXPECT_EQ(saver->ReadLine(), "saved");
        }
        saver->Finish();
        return std::chrono::steady_clock::now() - start;
    };
    // How long a save runs, from the go to its end.
    std::chrono::microseconds longest{0};
    for (int i = 0; i < 3; ++i) {
        reset();
        longest = std::max(longest,
                           std::chrono::duration_cast<std::chrono::microseconds>(save(false, {})));
    }
    std::mt19937 random(20261207);
    std::uniform_int_distribution<long long> moment(0, longest.count() * 3 / 2);
    int old_saves = 0, new_saves = 0, between = 0, other = 0, leftovers = 0, unbumped = 0,
        disagreeing = 0;
    ASSERT_NE(LoadProfileTree(false), nullptr);
    for (int kill = 0; kill < kKills; ++kill) {
        reset();
        save(true, std::chrono::microseconds(moment(random)));
        ASSERT_TRUE(TakeTreeLock(TreeLockStart::kForgetRevision, false, false));
        ReleaseTreeLock(false);
        unbumped += ReadTextFile(ProfileFile("Rules")) == StressFieldText(kProfileRules, "new") &&
                    ReadTextFile(ProfileFile("GUID")) == kGuid + " 1.4";
        int olds = 0, news = 0;
        for (int index = 0; index < kProfileDiagram; ++index) {
            const std::string text = ReadTextFile(ProfileFile(ProfileFileName(index)));
            olds += text == StressFieldText(index, "old");
            news += text == StressFieldText(index, "new");
        }
        const std::string guid = ReadTextFile(ProfileFile("GUID"));
        olds += guid == kGuid + " 1.4";
        news += guid == kGuid + " 1.5";
        const int files = kProfileDiagram + 1;
        old_saves += olds == files;
        new_saves += news == files;
        between += olds && news && olds + news == files;
        other += olds + news != files;
        // The Rules that a save replaces are kept whole beside them.
        const std::string previous = ProfileFile(kPreviousRulesFileName);
        if (fs::exists(previous) && ReadTextFile(previous) != StressFieldText(kProfileRules, "old"))
            ++other;
        disagreeing += !history_agrees();
        for (const auto& entry : fs::directory_iterator(ProfileFolder()))
            leftovers += IsReplacementTempName(entry.path().filename().string());
    }
    save(false, {});
    for (const auto& entry : fs::directory_iterator(ProfileFolder()))
        EXPECT_FALSE(IsReplacementTempName(entry.path().filename().string())) << entry.path();
    EXPECT_TRUE(history_agrees());
    EXPECT_EQ(other, 0);
    EXPECT_EQ(unbumped, 0);
    EXPECT_EQ(disagreeing, 0);
    std::printf(
        "stress: %d kills: %d old, %d new, %d other (%d cut between two files, %d left a temporary "
        "file that the next save removed, %d new Rules at the old revision, %d with a history "
        "that does not hold the Rules; a save takes up to %lld us)\n",
        kKills, old_saves, new_saves, other, between, leftovers, unbumped, disagreeing,
        static_cast<long long>(longest.count()));
}

// The poll of a taker that waits for the holder: the fourth wait kills it.
std::unique_ptr<CChildProcess>* g_holder = nullptr;
int g_waits = 0;
void KillHolderOnFourthWait(unsigned) {
    if (++g_waits == 4) {
        (*g_holder)->Kill(SIGKILL);
        EXPECT_EQ((*g_holder)->Finish(), 128 + SIGKILL);
    }
}

TEST_F(StressTest, LockHolderKilledLetsTheNextTakerInAtItsNextPoll) {
    CScriptedUserInterface ui;
    ASSERT_NE(LoadProfileTree(true), nullptr);
    auto holder = Start({"hold", root_});
    ASSERT_EQ(holder->ReadLine(), "held");
    g_holder = &holder;
    g_waits = 0;
    CScopedSleep polls(&KillHolderOnFourthWait);
    EXPECT_TRUE(TakeTreeLock(TreeLockStart::kNoCheck, false, true));
    ReleaseTreeLock(false);
    EXPECT_EQ(g_waits, 4);
    EXPECT_TRUE(ui.shown().empty());
    std::printf("stress: lock holder killed during wait %d: taken at the next poll\n", g_waits);
}

// Each writer opens the database afresh for every write; none has made it yet.
TEST_F(StressTest, ManyWritersOfOneClientDatabaseLoseNoWrite) {
    constexpr int kWriters = 16, kWrites = 40;
    CScopedHome home;
    Processes writers;
    for (int i = 0; i < kWriters; ++i)
        writers.push_back(
            Start({"registry", "w" + std::to_string(i), std::to_string(kWrites), Go()}));
    const long long took = RunTogether(writers, "wrote " + std::to_string(kWrites));
    int found = 0;
    for (int i = 0; i < kWriters; ++i) {
        for (int n = 1; n <= kWrites; ++n) {
            const std::string name = "w" + std::to_string(i) + "-" + std::to_string(n);
            char value[64] = "";
            ntregy_key_t key = nullptr;
            found += ntregy_get_value(NTREGY_HKEY_LOCAL_MACHINE, "Software\\Stress", name.c_str(),
                                      value, sizeof value, &key) == TBS_ST_OK &&
                     name == value;
            ntregy_close_key(key);
        }
    }
    EXPECT_EQ(found, kWriters * kWrites);
    std::printf("stress: %d writers x %d writes into a new client database: %d found, %lld ms\n",
                kWriters, kWrites, found, took);
}

}  // namespace
}  // namespace kelmora::test
