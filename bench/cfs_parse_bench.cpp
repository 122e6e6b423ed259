// How the config spec parser scales with the size of a text: a managed config
// spec of typical size, and the same with many user rules; and the parser on
// a 1.6 MB config spec with every kind of rule, against 150 MB/s wanted.
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

// Blocks of every kind of rule, with comments and blank lines, until the text
// reaches bytes; the same blocks as mixed_config_spec in bench/process_site.sh.
// "@" stands for the block's number.
constexpr const char* kMixedBlock[] = {
    "# module @: the integration branch, then the task branch",
    "element * CHECKEDOUT",
    "element -file /vobs/src/module@/... \\main\\rel2_integration\\LATEST -mkbranch dev_@",
    "element \"/vobs/docs/user guide @/...\" REL_2.@",
    "element -directory /vobs/src/module@ \\main\\@ -nocheckout",
    "element /vobs/src/module@/... ...\\dev\\LATEST -time 7-Dec-2026.21:05:07",
    "mkbranch task_@ -override",
    "element * /main/LATEST   # the tip of main",
    "end mkbranch task_@",
    "time 12-Jan-2025.08:30",
    "element -eltype text_file * \\main\\LATEST",
    "end time 12-Jan-2025.08:30",
    "load /vobs/src/module@",
    "load \"/vobs/docs/user guide @\"",
    "",
};

std::string MixedConfigSpec(size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i) {
        const std::string number = std::to_string(i);
        for (const char* line : kMixedBlock) {
            for (const char* c = line; *c; ++c) {
                if (*c == '@') {
                    text += number;
                } else {
                    text += *c;
                }
            }
            text += "\r\n";
        }
    }
    return text;
}

void BM_ParseMixedConfigSpec(benchmark::State& state) {
    const std::string text = MixedConfigSpec(1600 * 1000);
    const bool keep_rules = state.range(0) != 0;
    if (!kelmora::ParseConfigSpecText(text).ok) state.SkipWithError("the text does not parse");
    for (auto _ : state) {
        auto result = kelmora::ParseConfigSpecText(text, keep_rules);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.SetLabel(std::string(keep_rules ? "rules kept" : "verdict only") +
                   ", at least 150 MB/s wanted");
}
BENCHMARK(BM_ParseMixedConfigSpec)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
