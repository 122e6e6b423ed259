// Loading the View Profile tree against the floor set by the file system: a
// plain recursive listing of the same folders, measured in the same run. The
// tree has groups of profiles, each profile with the usual files. The load
// runs with one request in flight and with 16 (the default): on a local disk
// the second must not be slower.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "store/tree_load.h"
#include "store/tree_root.h"

namespace {

namespace fs = std::filesystem;

// A tree of `groups` folders with 10 profiles each, made once per size.
class CBenchTree {
public:
    explicit CBenchTree(int groups) {
        std::string templ = (fs::temp_directory_path() / "kelmora-bench-XXXXXX").string();
        root_ = mkdtemp(templ.data());
        fs::path top = fs::path(root_) / "Stavemark View Profiles";
        for (int g = 0; g < groups; ++g) {
            for (int p = 0; p < 10; ++p) {
                fs::path profile =
                    top / ("Group " + std::to_string(g)) / ("Proj " + std::to_string(p));
                fs::create_directories(profile);
                for (const char* file : {"GUID", "Rules", "Description", "VOB List"})
                    std::ofstream(profile / file) << file;
            }
        }
    }
    ~CBenchTree() { fs::remove_all(root_); }
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

const CBenchTree& TreeOf(int groups) {
    static std::map<int, std::unique_ptr<CBenchTree>> trees;
    auto& tree = trees[groups];
    if (!tree) tree = std::make_unique<CBenchTree>(groups);
    return *tree;
}

void BM_LoadProfileTree(benchmark::State& state) {
    const CBenchTree& tree = TreeOf(static_cast<int>(state.range(0)));
    kelmora::OverrideTreeRootSetting(tree.root());
    setenv("KELMORA_REQUESTS_IN_FLIGHT", std::to_string(state.range(1)).c_str(), 1);
    for (auto _ : state) benchmark::DoNotOptimize(kelmora::LoadProfileTree(true));
    unsetenv("KELMORA_REQUESTS_IN_FLIGHT");
    state.counters["profiles"] = static_cast<double>(state.range(0) * 10);
}

// The floor: list every folder and file of the same tree once.
void BM_BaselineRecursiveListing(benchmark::State& state) {
    const CBenchTree& tree = TreeOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        size_t entries = 0;
        for (const auto& e : fs::recursive_directory_iterator(tree.root())) {
            benchmark::DoNotOptimize(e.is_directory());
            ++entries;
        }
        benchmark::DoNotOptimize(entries);
    }
    state.counters["profiles"] = static_cast<double>(state.range(0) * 10);
}

BENCHMARK(BM_LoadProfileTree)
    ->ArgsProduct({{10, 100, 1000}, {1, 16}})
    ->ArgNames({"groups", "in_flight"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineRecursiveListing)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The store logs its reports; keep them out of the user's own state.
    std::string home =
        (std::filesystem::temp_directory_path() / "kelmora-bench-home-XXXXXX").string();
    setenv("KELMORA_HOME", mkdtemp(home.data()), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    return 0;
}
