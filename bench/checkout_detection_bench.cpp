// Checkout detection over a view that sees 1,000 replicated VOBs with 100
// checkouts each, all mastered by another site but for one VOB's: when that
// VOB is the first the view sees, the detection stops there; when it is the
// last, it walks every VOB and every checkout. Both in the same run, with the
// ratio printed. Then the peak heap of one detection over VOBs of 10, 100 and
// 1,000 checkouts each, which must not grow with the checkouts.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>
#include <string>

#include "automation/view_profile.h"
#include "client/admin.h"
#include "client/checkout_admin.h"
#include "client/vob_admin.h"

namespace {

// Heap in use through operator new, and its peak since the last reset.
std::atomic<long long> g_heap_in_use{0};
std::atomic<long long> g_heap_peak{0};

void CountAllocation(void* block) {
    long long now = g_heap_in_use += static_cast<long long>(malloc_usable_size(block));
    long long peak = g_heap_peak.load();
    while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

void* operator new(size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    CountAllocation(block);
    return block;
}

void operator delete(void* block) noexcept {
    if (!block) return;
    g_heap_in_use -= static_cast<long long>(malloc_usable_size(block));
    std::free(block);
}

void operator delete(void* block, size_t) noexcept {
    operator delete(block);
}

namespace {

using kelmora::client::CClientDatabase;

constexpr int kVobs = 1000;
constexpr int kCheckoutsPerVob = 100;
constexpr char kView[] = "bench_view";
constexpr char kOtherSite[] = "far";

std::map<std::string, double> g_seconds_per_detection;
struct CPeak {
    long long heap = 0;    // through operator new
    long long sqlite = 0;  // SQLite's own, mostly its page cache (bounded by cache_size)
};
std::map<int, CPeak> g_peaks;

std::string VobTag(const std::string& group, int i) {
    return "/" + group + "/vob" + std::to_string(i);
}

tbs_status_t CheckOutMany(CClientDatabase* db, const std::string& view, const std::string& vob,
                          int count, const std::string& master) {
    for (int e = 0; e < count; ++e) {
        if (auto status =
                kelmora::client::CheckOut(db, view, vob, "element" + std::to_string(e), master))
            return status;
    }
    return TBS_ST_OK;
}

tbs_status_t EndCheckOutMany(CClientDatabase* db, const std::string& view, const std::string& vob,
                             int count) {
    for (int e = 0; e < count; ++e) {
        if (auto status =
                kelmora::client::EndCheckOut(db, view, vob, "element" + std::to_string(e)))
            return status;
    }
    return TBS_ST_OK;
}

// A view that sees `vobs` replicated VOBs of `per_vob` checkouts each, all
// mastered by the other site.
void MakeSite(const std::string& view, const std::string& group, int vobs, int per_vob) {
    const std::string storage = std::string(getenv("KELMORA_HOME")) + "/storage/" + group;
    kelmora::client::CVobOptions replicated;
    replicated.replicated = true;
    tbs_status_t status = kelmora::client::CreateView(view);
    if (!status) {
        status = kelmora::client::RunInTransaction([&](CClientDatabase* db) -> tbs_status_t {
            for (int i = 0; i < vobs; ++i) {
                const std::string tag = VobTag(group, i);
                if (auto st = kelmora::client::CreateVob(db, tag, storage + tag, replicated))
                    return st;
                if (auto st = CheckOutMany(db, view, tag, per_vob, kOtherSite)) return st;
            }
            return TBS_ST_OK;
        });
    }
    if (status) {
        std::fprintf(stderr, "cannot make the benchmark's site: %s\n", tbs_strerror(status));
        std::exit(1);
    }
}

// Makes VOB i's checkouts this site's (local) or the other site's.
void SetMastership(const std::string& view, const std::string& group, int i, bool local) {
    const std::string tag = VobTag(group, i);
    tbs_status_t status = kelmora::client::RunInTransaction([&](CClientDatabase* db) {
        if (auto st = EndCheckOutMany(db, view, tag, kCheckoutsPerVob)) return st;
        return CheckOutMany(db, view, tag, kCheckoutsPerVob, local ? "" : kOtherSite);
    });
    if (status) std::fprintf(stderr, "cannot move checkouts: %s\n", tbs_strerror(status));
}

BOOL Detect(const std::string& view) {
    kelmora::CViewProfile profile;
    profile.SetViewTag(view);
    return profile.DetectCheckouts();
}

void RunDetection(benchmark::State& state, const std::string& name, int local_vob) {
    static bool made = false;
    static int local = -1;
    if (!made) {
        MakeSite(kView, "speed", kVobs, kCheckoutsPerVob);
        made = true;
    }
    if (local != local_vob) {
        if (local >= 0) SetMastership(kView, "speed", local, false);
        SetMastership(kView, "speed", local_vob, true);
        local = local_vob;
    }
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!Detect(kView)) state.SkipWithError("the local checkouts were not found");
    }
    std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    g_seconds_per_detection[name] = spent.count() / static_cast<double>(state.iterations());
}

void BM_DetectCheckoutsInFirstVob(benchmark::State& state) {
    RunDetection(state, "first", 0);
}

void BM_DetectCheckoutsInLastVob(benchmark::State& state) {
    RunDetection(state, "last", kVobs - 1);
}

// Ten VOBs of per_vob checkouts, none of which counts: every one is looked at.
void BM_DetectionPeakHeap(benchmark::State& state) {
    const int per_vob = static_cast<int>(state.range(0));
    const std::string view = "bench_heap_" + std::to_string(per_vob);
    static std::map<int, bool> made;
    if (!made[per_vob]) {
        MakeSite(view, "heap" + std::to_string(per_vob), 10, per_vob);
        made[per_vob] = true;
    }
    CPeak peak;
    for (auto _ : state) {
        long long before = g_heap_in_use.load();
        g_heap_peak = before;
        sqlite3_memory_highwater(1);
        long long sqlite_before = sqlite3_memory_used();
        if (Detect(view)) state.SkipWithError("a checkout counted");
        peak.heap = std::max(peak.heap, g_heap_peak.load() - before);
        peak.sqlite = std::max(peak.sqlite, sqlite3_memory_highwater(0) - sqlite_before);
    }
    state.counters["peak_heap_bytes"] = static_cast<double>(peak.heap);
    state.counters["peak_sqlite_bytes"] = static_cast<double>(peak.sqlite);
    state.counters["checkouts"] = static_cast<double>(10 * per_vob);
    g_peaks[per_vob] = peak;
}

BENCHMARK(BM_DetectCheckoutsInFirstVob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectCheckoutsInLastVob)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectionPeakHeap)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::string home =
        (std::filesystem::temp_directory_path() / "kelmora-bench-home-XXXXXX").string();
    setenv("KELMORA_HOME", mkdtemp(home.data()), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_seconds_per_detection.count("first") && g_seconds_per_detection.count("last")) {
        std::printf("checkouts in the first VOB / in the last VOB: %.5f (must be at most 0.01)\n",
                    g_seconds_per_detection["first"] / g_seconds_per_detection["last"]);
    }
    if (g_peaks.count(10) && g_peaks[10].heap > 0) {
        for (int per_vob : {100, 1000}) {
            if (!g_peaks.count(per_vob)) continue;
            std::printf(
                "peak heap at %d / at 10 checkouts per VOB: %.2f (SQLite's own: %lld / %lld "
                "bytes, capped by its page cache)\n",
                per_vob, static_cast<double>(g_peaks[per_vob].heap) / g_peaks[10].heap,
                g_peaks[per_vob].sqlite, g_peaks[10].sqlite);
        }
    }
    std::filesystem::remove_all(home);
    return 0;
}
