// The research analyses: a Pareto front of one option set (worked out and written as CSV),
// a sensitivity over every number the option set uses at a 10 % spread on one core, and an
// uncertainty study of 10,000 samples on one and on two threads. Targets: 5 ms, 200 ms on one
// core, 2 s on two cores. Arguments: memory, transistor kind, core kind, node.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "cli/output.h"
#include "study/pareto.h"
#include "study/sensitivity.h"
#include "study/uncertainty.h"

namespace {

Request request_of(const benchmark::State &state) {
    Request r;
    r.options.memory = int(state.range(0));
    r.options.transistor = int(state.range(1));
    r.options.core_kind = int(state.range(2));
    r.options.node = int(state.range(3));
    return r;
}

void pareto_front_csv(benchmark::State &state) {
    const ParetoRequest p{request_of(state)};
    FILE *sink = fopen("/dev/null", "w");
    size_t rows = 0;
    for (auto _ : state) {
        const ParetoFront front = pareto_front(p);
        Table table = pareto_table(false);
        for (size_t i : front.front)
            add_pareto_row(table, p.request.options, front.space[i]);
        Output out(sink);
        TableWriter writer(out, TableFormat::Csv);
        writer.write(table);
        writer.finish();
        out.finish();
        rows = front.front.size();
    }
    fclose(sink);
    state.counters["front"] = double(rows);
}

void sensitivity_every_field(benchmark::State &state) {
    const Request r = request_of(state);
    size_t fields = 0;
    for (auto _ : state) {
        const Sensitivity s = sensitivity(r, 0.1, 1);
        fields = s.rows.size();
        benchmark::DoNotOptimize(s.rows.data());
    }
    state.counters["fields"] = double(fields);
}

void uncertainty_10000(benchmark::State &state) {
    UncertaintyRequest u;
    u.request = request_of(state);
    u.samples = 10000;
    const int jobs = int(state.range(4));
    for (auto _ : state)
        benchmark::DoNotOptimize(summarise(uncertainty_samples(u, jobs)));
}

// DB2/TPCC with Niagara LOP cores at 32 nm, plain memory; ARM cores at 20 nm with 3D memory
// and LOP/HP transistors, whose small cores let the most configurations past the area limit.
BENCHMARK(pareto_front_csv)->Args({0, 0, 0, 3})->Args({1, 1, 3, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(sensitivity_every_field)
    ->Args({0, 0, 0, 3})
    ->Args({1, 1, 3, 4})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(uncertainty_10000)
    ->Args({0, 0, 0, 3, 1})
    ->Args({0, 0, 0, 3, 2})
    ->Args({1, 1, 3, 4, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
