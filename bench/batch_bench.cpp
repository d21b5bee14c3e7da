// Batches of searches as the Python package's search_many answers them: the study's 10,080
// searches (every option set under 28 power limits, 50 to 185 W) one search at a time and as one
// batch on one and two threads; and single searches (the engine's time for one call).
#include <benchmark/benchmark.h>

#include <vector>

#include "model/model.h"
#include "study/design.h"
#include "study/parallel.h"

namespace {

std::vector<Request> study_requests() {
    std::vector<Request> requests;
    for (const OptionSet &options : every_option_set())
        for (int power = 50; power < 190; power += 5) {
            Request r;
            r.options = options;
            r.limits.power = power;
            requests.push_back(r);
        }
    return requests;
}

void study_each(benchmark::State &state) {
    const std::vector<Request> requests = study_requests();
    const int jobs = int(state.range(0));
    for (auto _ : state) {
        std::vector<BestConfiguration> found(requests.size());
        run_in_parallel(requests.size(), jobs,
                        [&](size_t i) { found[i] = search_best(requests[i]); });
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(study_each)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void study_many(benchmark::State &state) {
    const std::vector<Request> requests = study_requests();
    for (auto _ : state)
        benchmark::DoNotOptimize(search_best_many(requests, int(state.range(0))).data());
}
BENCHMARK(study_many)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The searches python_bench.py times as calls: the defaults (65 nm, Niagara), 32 nm with 3D
// memory under 100 W, and one configuration evaluated (16 cores, 8 MB, step 0.5).
void one_search(benchmark::State &state) {
    Request r;
    if (state.range(0) == 1) {
        r.options.node = 3, r.options.memory = 1;
        r.limits.power = 100;
    }
    if (state.range(0) == 2) {
        r.holds.cores = 8, r.holds.cache = 3, r.holds.scale = 5;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(search_best(r));
}
BENCHMARK(one_search)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
