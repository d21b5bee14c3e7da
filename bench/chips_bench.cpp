// Real chips against the model: the validation of the shipped chip table (target: under 20 ms
// beyond process start, the table read included), a calibration of three fields over it with
// its leave-one-out fits (target: under 1 s), and one evaluation of a configuration off the
// axes, the engine's work with the model's copy, and with its result columns.
#include <benchmark/benchmark.h>

#include "chips/calibration.h"
#include "chips/evaluation_columns.h"

namespace {

void validate_shipped_table(benchmark::State &state) {
    size_t rows = 0;
    for (auto _ : state) {
        const ChipTable t =
            parse_chip_table(shipped_chip_table_text(), kShippedChipTable, builtin_model());
        const Validation v = validate(builtin_model(), t.chips);
        rows = v.rows.size();
        benchmark::DoNotOptimize(v.rows.data());
    }
    state.counters["comparisons"] = double(rows);
}

void calibrate_three_fields(benchmark::State &state) {
    const ChipTable t =
        parse_chip_table(shipped_chip_table_text(), kShippedChipTable, builtin_model());
    const std::vector<std::string> fields = {"node.45nm.fmax_LOP", "node.65nm.fmax_HP",
                                             "reference_chip.Cgate"};
    std::string error;
    for (auto _ : state) {
        const Calibration c = calibrate(builtin_model(), t.chips, fields);
        error = c.error;
        benchmark::DoNotOptimize(c.fields.data());
    }
    if (!error.empty())
        state.SkipWithError(error.c_str());
}

EvaluationRequest off_axis() {
    EvaluationRequest r;
    r.cores = 9;
    r.cache_mb = 3;
    r.vdd = 0.75;
    r.freq = 2.0;
    return r;
}

void evaluate_one(benchmark::State &state) {
    const EvaluationRequest r = off_axis();
    for (auto _ : state) {
        const Evaluation e = evaluate(builtin_model(), r);
        benchmark::DoNotOptimize(e.figures.speedup);
    }
}

void evaluate_one_as_columns(benchmark::State &state) {
    const EvaluationRequest r = off_axis();
    for (auto _ : state) {
        const Table t = evaluation_table({evaluate(builtin_model(), r)}, false);
        benchmark::DoNotOptimize(t.columns.data());
    }
}

} // namespace

BENCHMARK(validate_shipped_table)->Unit(benchmark::kMillisecond);
BENCHMARK(calibrate_three_fields)->Unit(benchmark::kMillisecond);
BENCHMARK(evaluate_one)->Unit(benchmark::kMicrosecond);
BENCHMARK(evaluate_one_as_columns)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
