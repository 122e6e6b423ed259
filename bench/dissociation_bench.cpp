// Dissociating a view with a 1 MB config spec against sed 's/#.*//' over the
// same text, in the same run. The comment stripping alone, and the whole
// dissociation step (strip, then write the view's config spec through the
// client library, which checks its syntax) are each compared with sed, which
// reads the text from a file and writes its result to one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "operations/dissociation.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A managed config spec of about 1 MB: the information block, then rules,
// most with a comment after them, and comment lines between.
const std::string& ConfigSpec() {
    static const std::string text = [] {
        std::string t =
            "# [SM_PROJECT - Stavemark View Profile Information\r\n"
            "#        Name - \\Stavemark View Profiles\\Proj\r\n"
            "#        ID - 0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7\r\n"
            "#\r\n"
            "element * CHECKEDOUT\r\n"
            "#\r\n"
            "#       Any modifications to this config spec should\r\n"
            "#       be made following this comment.      \r\n"
            "# SM_PROJECT]\r\n";
        for (int i = 0; t.size() < (1u << 20); ++i) {
            std::string n = std::to_string(i);
            if (i % 4 == 0) t += "# the rules of module " + n + " follow\r\n";
            t += "element /vobs/src/module" + n + "/... .../int/LATEST  # module " + n + "\r\n";
            if (i % 8 == 0) t += "\r\n";
        }
        t += "element * /main/LATEST\r\n";
        return t;
    }();
    return text;
}

std::string g_folder;

std::string WriteInput() {
    std::string path = g_folder + "/input.cs";
    std::ofstream(path, std::ios::binary) << ConfigSpec();
    return path;
}

void BM_StripComments(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(kelmora::StripConfigSpecComments(ConfigSpec()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ConfigSpec().size()));
}

void BM_DissociationStep(benchmark::State& state) {
    static int views = 0;
    std::string tag = "bench_view_" + std::to_string(++views);
    if (kelmora::client::CreateView(tag) != TBS_ST_OK) {
        state.SkipWithError("cannot make a view");
        return;
    }
    kelmora::CViewProfile profile;
    profile.SetViewTag(tag);
    for (auto _ : state) {
        state.PauseTiming();
        profile.set_config_spec(ConfigSpec());
        state.ResumeTiming();
        if (!profile.DissociationStep()) {
            state.SkipWithError("the dissociation step failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ConfigSpec().size()));
}

// The baseline: sed from an argument vector, its output into a file.
void BM_SedBaseline(benchmark::State& state) {
    std::string input = WriteInput();
    std::string output = g_folder + "/output.cs";
    char* argv[] = {const_cast<char*>("sed"), const_cast<char*>("s/#.*//"), input.data(), nullptr};
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        int rc = posix_spawnp(&pid, "sed", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (rc != 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("sed failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ConfigSpec().size()));
}

BENCHMARK(BM_SedBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StripComments)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DissociationStep)->Unit(benchmark::kMillisecond);

// Shows the runs as usual and keeps each one's time per iteration.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    // Time of the named benchmark over the baseline's; negative when either is missing.
    double Ratio(const std::string& name) const {
        auto it = times_.find(name), base = times_.find("BM_SedBaseline");
        return it == times_.end() || base == times_.end() ? -1 : it->second / base->second;
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    // The views and the log belong to this run only.
    std::string home = (fs::temp_directory_path() / "kelmora-bench-home-XXXXXX").string();
    g_folder = mkdtemp(home.data());
    setenv("KELMORA_HOME", g_folder.c_str(), 1);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("config spec: %zu bytes\n", ConfigSpec().size());
    for (const char* name : {"BM_StripComments", "BM_DissociationStep"}) {
        double ratio = reporter.Ratio(name);
        if (ratio >= 0) std::printf("ratio %s / sed: %.3f (at most 1 wanted)\n", name, ratio);
    }
    benchmark::Shutdown();
    fs::remove_all(g_folder);
    return 0;
}
