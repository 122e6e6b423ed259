// How the config spec parser scales with the size of a text: a managed config
// spec of typical size, and the same with many user rules.
#include <benchmark/benchmark.h>

#include <string>

#include "client/cfs_grammar.h"

namespace {

std::string ManagedConfigSpec(int user_rules) {
    std::string text =
        "# [SM_PROJECT - Stavemark View Profile Information\r\n"
        "#        Name - \\Stavemark View Profiles\\Proj\r\n"
        "#        ID - 0f1e2d3c-aaaa-bbbb-cccc-001122334455 1.7\r\n"
        "#\r\n"
        "element * CHECKEDOUT\r\n"
        "element * ...\\jdoe_dev\\LATEST\r\n"
        "mkbranch jdoe_dev\r\n"
        "time 7-December-2026.21:05:07\r\n"
        "#\r\n"
        "#       Any modifications to this config spec should\r\n"
        "#       be made following this comment.      \r\n"
        "# SM_PROJECT]\r\n";
    for (int i = 0; i < user_rules; ++i)
        text += "element /vobs/src/module" + std::to_string(i) + "/... \\main\\LATEST\r\n";
    text += "load /vobs/src\r\n";
    return text;
}

void BM_ParseManagedConfigSpec(benchmark::State& state) {
    std::string text = ManagedConfigSpec(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto result = kelmora::ParseConfigSpecText(text);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseManagedConfigSpec)->Arg(0)->Arg(100)->Arg(10000);

}  // namespace

BENCHMARK_MAIN();
