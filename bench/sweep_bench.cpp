// The command-line tool's full sweep: 360 option combinations, each searched over all 18,760
// configurations (6.75 million in all), on one core unless said otherwise. Target: at most 0.5 s
// per sweep.
#include <benchmark/benchmark.h>

#include "search/search.h"
#include "search/trace.h"
#include "study/design.h"

namespace {

constexpr double kConfigurations = 360.0 * 18760.0;

// The sweep as `cpu-widget-cli sweep --jobs N` runs it, naming the unmeetable limits of the 72
// combinations (the 90 nm ones) that nothing meets under their node's defaults. Timed by the
// wall clock: with N threads, the time a person waits. Target: --jobs 2 at least 1.7 times as
// fast as --jobs 1 on two cores.
void BM_FullSweep(benchmark::State &state) {
    trace_set_enabled(false);
    for (auto _ : state) {
        std::vector<BestConfiguration> rows = sweep({}, {}, int(state.range(0)));
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["configurations"] =
        benchmark::Counter(kConfigurations, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FullSweep)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The library's share: the 360 searches alone.
void BM_SweepSearchesOnly(benchmark::State &state) {
    trace_set_enabled(false);
    for (auto _ : state) {
        Request r;
        OptionSet &o = r.options;
        for (o.workload = 0; o.workload < 3; o.workload++)
            for (o.memory = 0; o.memory < 2; o.memory++)
                for (o.transistor = 0; o.transistor < 3; o.transistor++)
                    for (o.core_kind = 0; o.core_kind < 4; o.core_kind++)
                        for (o.node = 0; o.node < 5; o.node++) {
                            apply_request(r);
                            benchmark::DoNotOptimize(find_best_configuration(0, 0, 0));
                        }
    }
    state.counters["configurations"] =
        benchmark::Counter(kConfigurations, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SweepSearchesOnly)->Unit(benchmark::kMillisecond);

// What a model file adds to a sweep: the scan of every option set's configurations for figures
// that are not finite, on a model that has none (as a file that changes nothing gives). Target:
// at most a fifth of BM_FullSweep with as many jobs, so that `sweep --model FILE` stays within
// 1.2 times the built-in model's sweep.
void BM_NonFiniteScan(benchmark::State &state) {
    std::vector<Request> every;
    for (size_t i = 0; i < option_set_count(); i++)
        every.push_back(Request{option_set_at(i), {}, {}});
    for (auto _ : state)
        benchmark::DoNotOptimize(non_finite_figures(every, int(state.range(0))).count);
}
BENCHMARK(BM_NonFiniteScan)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
