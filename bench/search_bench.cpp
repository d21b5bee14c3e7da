// The searches as the window runs them, standard output going to a file: the peak search and
// the full search for each memory and transistor kind, and the evaluation of the configuration
// on show. Two settings of node and core kind: 65 nm and "Niagara", as the window starts, and
// 20 nm and "ARM", whose small cores let the most configurations past the area limit (about
// 14,100 of the 18,760), so that the most are evaluated in full.
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/stdout_file.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"
#include "search/trace.h"

namespace {

constexpr double kConfigurations = kScaleSteps * kCacheSizes * kCoreCounts;

// The design state after choosing the options in the window: the node's default limits and
// its ceilings loaded. Arguments: memory, transistor kind, node, core kind.
void choose(const benchmark::State &state) {
    const int memory = static_cast<int>(state.range(0));
    const int transistor = static_cast<int>(state.range(1));
    reset_design_state();
    User_Option[1] = memory;
    User_Option[2] = transistor;
    User_Option[4] = static_cast<int>(state.range(2));
    User_Option[3] = static_cast<int>(state.range(3));
    const TranTechRecord &node = Tran_Tech[User_Option[4]];
    AREA_CONSTRT = node.area_budget;
    POWER_CONSTRT = node.power_budget;
    BW_CONSTRT = node.bw_offchip;
    BW_CONSTRT_TSV = memory != 0 ? node.bw_tsv : 0;
    FRE_MAX = transistor > 0 ? node.fmax_HP : node.fmax_LOP;
    VDD_MAX = transistor > 0 ? node.Vdd_HP : node.Vdd_LOP;
}

// Runs `search` once per iteration; the file is emptied every `interval` iterations with the
// timer paused.
template <typename Search>
void run(benchmark::State &state, long interval, double configurations, Search search) {
    empty_stdout_file();
    long bytes = 0, n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(search());
        if (++n % interval == 0) {
            state.PauseTiming();
            bytes += empty_stdout_file();
            state.ResumeTiming();
        }
    }
    bytes += empty_stdout_file();
    // Seconds of real time per configuration: shown as "ns" with the usual prefixes.
    state.counters["per_config"] =
        benchmark::Counter(configurations, benchmark::Counter::kIsIterationInvariantRate |
                                               benchmark::Counter::kInvert);
    state.counters["out_bytes"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
    reset_design_state();
}

// The full searches flush standard output as a handler does at its end.
void speedup_max_1_all(benchmark::State &state) {
    choose(state);
    run(state, 32, kConfigurations, [] {
        const double peak = speedup_max_1(0, 0, 0);
        trace_flush();
        return peak;
    });
}

void speedup_max_all(benchmark::State &state) {
    choose(state);
    run(state, 32, kConfigurations, [] {
        const double best = speedup_max(0, 0, 0);
        trace_flush();
        return best;
    });
}

// One configuration: the one the full search picked, at its operating point. Its lines stay
// in the stream's buffer, as they do between the searches of a handler.
void speedup_max_shown(benchmark::State &state) {
    choose(state);
    speedup_max(0, 0, 0);
    run(state, 1 << 16, 1, [] { return speedup_max(1, 1, 1); });
}

void every_memory_and_transistor(benchmark::internal::Benchmark *b) {
    for (const auto &[node, kind] : {std::pair{1, 0}, std::pair{4, 3}})
        for (int memory = 0; memory < 2; memory++)
            for (int transistor = 0; transistor < 3; transistor++)
                b->Args({memory, transistor, node, kind});
}

BENCHMARK(speedup_max_1_all)
    ->Apply(every_memory_and_transistor)
    ->ArgNames({"memory", "transistor", "node", "kind"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(speedup_max_all)
    ->Apply(every_memory_and_transistor)
    ->ArgNames({"memory", "transistor", "node", "kind"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(speedup_max_shown)
    ->Args({0, 0, 1, 0})
    ->Args({1, 1, 1, 0})
    ->ArgNames({"memory", "transistor", "node", "kind"})
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    return run_benchmarks_with_stdout_in_a_file(argc, argv);
}
