// The search engine and the many-limit queries on one core: a full search where no limit
// binds, every figure of every configuration, a 1,000-point budget curve and a 200 x 200 map of two
// limits, each from scratch (the option set evaluated, then every point looked up). Targets: 100
// us, 5 ms and 50 ms.
#include <benchmark/benchmark.h>

#include <limits>
#include <vector>

#include "model/model.h"
#include "search/limit_queries.h"

namespace {

constexpr double kUnlimited = std::numeric_limits<double>::infinity();

// 20 nm with "ARM" cores, whose small cores let the most configurations past the area limit;
// arguments: memory, transistor kind.
SearchSpec option_set(const benchmark::State &state) {
    SearchSpec spec;
    spec.model = &builtin_model();
    spec.memory = int(state.range(0));
    spec.transistor = int(state.range(1));
    spec.node = 4;
    spec.core_kind = 3;
    const TranTechRecord &n = spec.model->nodes[spec.node].tech;
    spec.limits = LimitChecks{true,
                              true,
                              true,
                              n.area_budget,
                              n.power_budget,
                              n.bw_offchip,
                              spec.memory != 0 ? n.bw_tsv : 0.0};
    return spec;
}

std::vector<double> steps(double first, double last, int count) {
    std::vector<double> values(count);
    for (int i = 0; i < count; i++)
        values[i] = first + (last - first) * i / (count - 1);
    return values;
}

void search_no_limit_binding(benchmark::State &state) {
    SearchSpec spec = option_set(state);
    spec.limits = LimitChecks{true, true, true, kUnlimited, kUnlimited, kUnlimited, kUnlimited};
    for (auto _ : state)
        benchmark::DoNotOptimize(search_design_space(spec));
}

// Every figure of every configuration, none dropped early: what the many-limit queries start
// from.
void evaluate_every_configuration(benchmark::State &state) {
    const SearchSpec spec = option_set(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(evaluate_design_space(spec));
}

void budget_curve_1000(benchmark::State &state) {
    const SearchSpec spec = option_set(state);
    const std::vector<double> powers = steps(20, 300, 1000);
    for (auto _ : state) {
        const LimitQueries queries(spec);
        benchmark::DoNotOptimize(queries.curve(spec.limits, Limit::Power, powers));
    }
}

// For comparison: the same curve searched point by point, 100 points of it.
void budget_curve_by_searches_100(benchmark::State &state) {
    SearchSpec spec = option_set(state);
    const std::vector<double> powers = steps(20, 300, 100);
    for (auto _ : state)
        for (double power : powers) {
            spec.limits.power_limit = power;
            benchmark::DoNotOptimize(search_design_space(spec));
        }
}

void limit_map_200x200(benchmark::State &state) {
    const SearchSpec spec = option_set(state);
    const std::vector<double> areas = steps(50, 400, 200), powers = steps(20, 300, 200);
    for (auto _ : state) {
        const LimitQueries queries(spec);
        benchmark::DoNotOptimize(
            queries.map(spec.limits, Limit::Area, areas, Limit::Power, powers));
    }
}

void memory_and_transistor(benchmark::internal::Benchmark *b) {
    b->ArgNames({"memory", "transistor"});
    for (int memory = 0; memory < 2; memory++)
        for (int transistor = 0; transistor < 3; transistor++)
            b->Args({memory, transistor});
}

BENCHMARK(search_no_limit_binding)->Apply(memory_and_transistor)->Unit(benchmark::kMicrosecond);
BENCHMARK(evaluate_every_configuration)
    ->Apply(memory_and_transistor)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(budget_curve_1000)->Apply(memory_and_transistor)->Unit(benchmark::kMillisecond);
BENCHMARK(budget_curve_by_searches_100)->Args({0, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(limit_map_200x200)->Apply(memory_and_transistor)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
