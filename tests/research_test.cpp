// The research analyses against plain ways of getting the same answers: the Pareto front
// against a brute-force filter of space, the objectives against a pass over space, each
// sensitivity row against a search on a model file with that number set, uncertainty's
// reproducibility whatever the number of threads, and the commands' bad arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "cli/run.h"
#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "search/trace.h"
#include "study/budget.h"
#include "study/energy.h"
#include "study/pareto.h"
#include "study/sensitivity.h"
#include "study/uncertainty.h"
#include "tests/cli_in_process.h"

namespace {

using Outcome = CliOutcome;

Outcome run(const std::vector<std::string> &arguments) {
    return run_cli_in_process(arguments);
}

// A random option set, limits around the space's figures, and often a held scale step (fewer
// configurations, so that the brute force stays quick).
Request random_request(std::mt19937 &random, bool hold_scale) {
    auto pick = [&](size_t n) {
        return int(std::uniform_int_distribution<size_t>(0, n - 1)(random));
    };
    Request r;
    r.options.workload = pick(active_model().workloads.size());
    r.options.memory = pick(2);
    r.options.transistor = pick(3);
    r.options.core_kind = pick(active_model().core_kinds.size());
    r.options.node = 1 + pick(active_model().nodes.size() - 1);
    if (hold_scale)
        r.holds.scale = pick(kScaleSteps);
    std::uniform_real_distribution<double> share(0.3, 1.5);
    const LimitValues defaults = limits_in_force(r.options, r.limits);
    r.limits.area = defaults.area * share(random);
    r.limits.power = defaults.power * share(random);
    if (pick(2) == 0)
        r.limits.bandwidth = defaults.bandwidth * share(random);
    return r;
}

TEST(Pareto, FrontIsBruteForceFilterOfSpace) {
    std::mt19937 random(21);
    const std::vector<std::vector<ParetoObjective>> objective_sets = {
        {ParetoObjective::Speedup, ParetoObjective::Power, ParetoObjective::Area},
        {ParetoObjective::Speedup, ParetoObjective::Power},
        {ParetoObjective::Energy, ParetoObjective::Area},
        {ParetoObjective::SpeedupPerWatt, ParetoObjective::Bandwidth, ParetoObjective::Speedup},
        {ParetoObjective::Area, ParetoObjective::Power, ParetoObjective::Energy},
    };
    for (int trial = 0; trial < 40; trial++) {
        const ParetoRequest p{random_request(random, trial % 8 != 0),
                              objective_sets[size_t(trial) % objective_sets.size()]};
        const ParetoFront front = pareto_front(p);
        const std::vector<SpaceRow> rows = space(p.request);
        ASSERT_EQ(front.space.size(), rows.size());
        // better(a, b, j): a is better than b on objective j; at_least likewise.
        auto figure = [&](size_t i, size_t j) {
            return pareto_figure(rows[i].figures, p.objectives[j]);
        };
        auto qualifies = [&](size_t i) {
            if (!rows[i].feasible())
                return false;
            for (size_t j = 0; j < p.objectives.size(); j++)
                if (std::isnan(figure(i, j)))
                    return false;
            return true;
        };
        std::vector<size_t> expected;
        for (size_t c = 0; c < rows.size(); c++) {
            if (!qualifies(c))
                continue;
            bool beaten = false;
            for (size_t d = 0; d < rows.size() && !beaten; d++) {
                if (d == c || !qualifies(d))
                    continue;
                bool at_least = true, better = false;
                for (size_t j = 0; j < p.objectives.size(); j++) {
                    const bool higher = pareto_higher_is_better(p.objectives[j]);
                    const double a = figure(d, j), b = figure(c, j);
                    at_least = at_least && (higher ? a >= b : a <= b);
                    better = better || (higher ? a > b : a < b);
                }
                // Equal on every objective: the later configuration stays.
                beaten = at_least && (better || d > c);
            }
            if (!beaten)
                expected.push_back(c);
        }
        std::vector<size_t> got = front.front;
        // Best first by the first objective.
        for (size_t i = 1; i < got.size(); i++) {
            const double a = figure(got[i - 1], 0), b = figure(got[i], 0);
            EXPECT_TRUE(pareto_higher_is_better(p.objectives[0]) ? a >= b : a <= b) << trial;
        }
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected) << "trial " << trial;
    }
}

// The tool's pareto rows are rows of space --energy, in CSV to the byte.
TEST(Pareto, ToolRowsAreSpaceRows) {
    const std::vector<std::string> request = {"--memory", "3d",   "--transistor", "HP",
                                              "--node",   "32nm", "--format",     "csv"};
    std::vector<std::string> pareto = {"pareto"}, all = {"space", "--energy"};
    pareto.insert(pareto.end(), request.begin(), request.end());
    all.insert(all.end(), request.begin(), request.end());
    const Outcome front = run(pareto), space_rows = run(all);
    ASSERT_EQ(front.status, 0) << front.err;
    ASSERT_EQ(space_rows.status, 0) << space_rows.err;
    size_t lines = 0;
    for (size_t start = 0; start < front.out.size(); lines++) {
        const size_t end = front.out.find('\n', start);
        const std::string line = front.out.substr(start, end + 1 - start);
        EXPECT_NE(space_rows.out.find(line), std::string::npos) << line;
        start = end + 1;
    }
    EXPECT_GT(lines, 10u);
}

TEST(Objectives, SearchIsBestOfSpaceWithTiesToTheLater) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 60; trial++) {
        const Request r = random_request(random, trial % 2 == 0);
        for (Objective o : {Objective::SpeedupPerWatt, Objective::Energy, Objective::Edp}) {
            const BestConfiguration best = search_best_by(r, o);
            const std::vector<SpaceRow> rows = space(r);
            const SpaceRow *expected = nullptr;
            for (const SpaceRow &row : rows) {
                const double f = objective_figure(row.figures, o);
                if (!row.feasible() || std::isnan(f))
                    continue;
                const double e = expected ? objective_figure(expected->figures, o) : NAN;
                if (!expected || (higher_is_better(o) ? f >= e : f <= e))
                    expected = &row;
            }
            ASSERT_EQ(best.feasible, expected != nullptr) << trial;
            if (!expected) {
                EXPECT_EQ(best.unmeetable, search_best(r).unmeetable);
                continue;
            }
            EXPECT_EQ(best.scale, expected->scale) << trial << " " << objective_name(o);
            EXPECT_EQ(best.cache, expected->cache) << trial;
            EXPECT_EQ(best.cores, expected->cores) << trial;
            EXPECT_EQ(best.speedup, expected->figures.speedup);
            EXPECT_EQ(best.vdd, expected->vdd);
            EXPECT_EQ(best.freq, expected->freq);
        }
        // The speedup objective is the search itself.
        const BestConfiguration searched = search_best(r),
                                by = search_best_by(r, Objective::Speedup);
        EXPECT_EQ(searched.speedup, by.speedup);
        EXPECT_EQ(searched.cores, by.cores);
    }
}

// A budget by an objective answers every point as a search by that objective does.
TEST(Objectives, BudgetPointsAreSearchesByTheObjective) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 12; trial++) {
        const Request r = random_request(random, false);
        const Objective o = std::vector<Objective>{Objective::SpeedupPerWatt, Objective::Energy,
                                                   Objective::Edp}[size_t(trial) % 3];
        BudgetRequest b{r, {{Limit::Power, 5, 150, 9.5}}, std::nullopt, 0.1, {}};
        if (trial % 2 == 1)
            b.varied.push_back(LimitRange{Limit::Area, 40, 300, 37});
        b.objective = o;
        const Budget answers = budget(b, 2);
        const BudgetSeries &s = answers.series.at(0);
        for (size_t point = 0; point < s.best.size(); point++) {
            const LimitValues l = limits_at(b, s, point);
            const BestConfiguration got = best_at(s, l, s.best[point]);
            const BestConfiguration want =
                search_best_by(Request{r.options, {l.area, l.power, l.bandwidth, l.tsv}, {}}, o);
            ASSERT_EQ(got.feasible, want.feasible) << trial << " " << point;
            if (!want.feasible)
                continue;
            EXPECT_EQ(got.speedup, want.speedup) << trial << " " << point;
            EXPECT_EQ(got.scale, want.scale);
            EXPECT_EQ(got.cache, want.cache);
            EXPECT_EQ(got.cores, want.cores);
        }
    }
}

// The model file that changes one number of the built-in model.
std::string model_file_setting(const ModelNumberField &f, double value) {
    char number[64];
    snprintf(number, sizeof number, "%.17g", value);
    const Model &m = builtin_model();
    std::string text = "format_version = 1\nextends = \"built-in\"\n";
    if (f.entry < 0)
        return text + "[" + f.section + "]\n" + f.key + " = " + number + "\n";
    const std::string name = f.section == "workload"    ? m.workloads[size_t(f.entry)].name
                             : f.section == "core_kind" ? m.core_kinds[size_t(f.entry)].name
                                                        : m.nodes[size_t(f.entry)].name;
    text += "[[" + f.section + "]]\nname = \"" + name + "\"\n";
    const size_t dot = f.key.find('.');
    if (dot == std::string::npos)
        return text + f.key + " = " + number + "\n";
    return text + f.key.substr(0, dot) + " = { \"" + f.key.substr(dot + 1) + "\" = " + number +
           " }\n";
}

TEST(Sensitivity, EachRowIsASearchOnAModelFileWithThatNumber) {
    trace_set_enabled(false);
    for (const OptionSet &o :
         {OptionSet{0, 0, 0, 0, 3}, OptionSet{1, 1, 2, 3, 4}, OptionSet{2, 1, 1, 1, 2}}) {
        const Request r{o, {}, {}};
        const Sensitivity s = sensitivity(r, 0.15, 2);
        const LimitValues in_force = limits_in_force(o, r.limits);
        const Limits held{in_force.area, in_force.power, in_force.bandwidth, in_force.tsv};
        std::vector<ModelNumberField> fields = used_fields(o, builtin_model());
        ASSERT_EQ(s.rows.size(), fields.size());
        for (const SensitivityRow &row : s.rows) {
            const auto f =
                std::find_if(fields.begin(), fields.end(),
                             [&](const ModelNumberField &u) { return u.name == row.field; });
            ASSERT_NE(f, fields.end()) << row.field;
            EXPECT_TRUE(f->admits(row.low.value) && f->admits(row.high.value)) << row.field;
            for (const SensitivityEnd *end : {&row.low, &row.high}) {
                const ModelFileResult loaded =
                    parse_model_text(model_file_setting(*f, end->value), "<test>");
                ASSERT_TRUE(loaded.model) << row.field << ": " << loaded.errors[0];
                set_active_model(loaded.model);
                const BestConfiguration best = search_best(Request{o, held, {}});
                set_active_model(nullptr);
                ASSERT_EQ(best.feasible, end->best.found) << row.field;
                if (!best.feasible)
                    continue;
                EXPECT_EQ(best.speedup, end->best.speedup) << row.field;
                EXPECT_EQ(best.scale, end->best.scale) << row.field;
                EXPECT_EQ(best.cache, end->best.cache) << row.field;
                EXPECT_EQ(best.cores, end->best.cores) << row.field;
            }
        }
        // Largest effect first.
        for (size_t i = 1; i < s.rows.size(); i++)
            EXPECT_GE(s.rows[i - 1].effect, s.rows[i].effect);
    }
    reset_design_state();
}

// The parallel fraction moves by its serial share 1 - p: 0.99 with a spread of 10 % goes to
// 0.989 and 0.991, never to 1 (no serial work); the model's and a workload's own alike, and a
// model with no serial work stays without any.
TEST(Sensitivity, ParallelFractionMovesItsSerialShare) {
    trace_set_enabled(false);
    auto row_of = [](const Sensitivity &s, const std::string &field) {
        for (const SensitivityRow &row : s.rows)
            if (row.field == field)
                return row;
        ADD_FAILURE() << field << " is not moved";
        return SensitivityRow{};
    };
    const Sensitivity s = sensitivity(Request{OptionSet{0, 0, 0, 0, 3}, {}, {}}, 0.1, 1);
    const SensitivityRow p = row_of(s, "constants.parallel_fraction");
    EXPECT_EQ(p.value, 0.99);
    EXPECT_NEAR(p.low.value, 0.989, 1e-12);
    EXPECT_NEAR(p.high.value, 0.991, 1e-12);
    EXPECT_LT(std::fabs(change_percent(s.base, p.high.best)), 20.0);

    struct Case {
        double value, spread, low, high;
    };
    ModelNumberField field{"constants.parallel_fraction",
                           "constants",
                           -1,
                           "parallel_fraction",
                           0,
                           1,
                           false,
                           false,
                           false,
                           nullptr,
                           0};
    for (const Case &c : {Case{0.99, 0.5, 0.985, 0.995}, Case{0.5, 0.99, 0.005, 0.995},
                          Case{0.2, 0.5, 0, 0.6}, Case{1, 0.5, 1, 1}, Case{0, 0.1, 0, 0.1},
                          Case{1 - 0x1p-53, 0.99, 1 - 0x1p-52, 1 - 0x1p-53}}) {
        const FieldRange r = sensitivity_range(field, c.value, c.spread);
        EXPECT_NEAR(r.low, c.low, 1e-15) << c.value << " by " << c.spread;
        EXPECT_NEAR(r.high, c.high, 1e-15) << c.value << " by " << c.spread;
        EXPECT_TRUE(c.value == 1 || r.high < 1) << c.value << " by " << c.spread;
    }

    // A workload's own parallel fraction moves the same way.
    const ModelFileResult loaded = parse_model_text(
        "format_version = 1\nextends = \"built-in\"\n[[workload]]\nname = \"DB2/TPCH\"\n"
        "parallel_fraction = 0.95\n",
        "<test>");
    ASSERT_TRUE(loaded.model) << loaded.errors[0];
    set_active_model(loaded.model);
    const Sensitivity own = sensitivity(Request{OptionSet{1, 0, 0, 0, 3}, {}, {}}, 0.2, 1);
    set_active_model(nullptr);
    const SensitivityRow w = row_of(own, "workload.DB2/TPCH.parallel_fraction");
    EXPECT_NEAR(w.low.value, 0.94, 1e-12);
    EXPECT_NEAR(w.high.value, 0.96, 1e-12);
    reset_design_state();
}

TEST(Uncertainty, SameSeedSameBytesWhateverTheThreads) {
    auto with = [&](const std::string &samples, const std::string &seed, const std::string &jobs) {
        const Outcome o = run({"uncertainty", "--node", "45nm", "--samples", samples, "--seed",
                               seed, "--jobs", jobs, "--format", "csv", "--per-sample"});
        EXPECT_EQ(o.status, 0) << o.err;
        return o.out;
    };
    const std::string one = with("1500", "42", "1");
    EXPECT_EQ(one, with("1500", "42", "2"));
    EXPECT_EQ(one, with("1500", "42", "7"));
    EXPECT_NE(one, with("1500", "43", "2"));
    // A sample depends on the seed and its index alone: the first samples of a shorter study.
    const std::string shorter = with("40", "42", "2");
    EXPECT_EQ(one.substr(0, shorter.size()), shorter);
    // The summary too.
    const Outcome a = run({"uncertainty", "--samples", "800", "--jobs", "1"});
    const Outcome b = run({"uncertainty", "--samples", "800", "--jobs", "3"});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out.find("How often each configuration is the best"), std::string::npos);
}

// The summary tallied a part at a time, against every sample kept and sorted: numpy's linear
// quantile read off the sorted speedups, and each winner's median off its own.
TEST(Uncertainty, TallyOverPartsIsTheSummaryOfEverySampleSorted) {
    auto linear = [](std::vector<double> v, double p) {
        std::sort(v.begin(), v.end());
        const double position = (double(v.size()) * p + (1 + p * -1.0)) - 1;
        const double below = std::floor(position), gamma = position - below;
        const size_t i = size_t(std::max(below, 0.0)), j = std::min(i + 1, v.size() - 1);
        const double a = v[std::min(i, v.size() - 1)], b = v[j];
        return gamma >= 0.5 ? b - (b - a) * (1 - gamma) : a + (b - a) * gamma;
    };
    std::mt19937_64 random(7);
    for (size_t count : {1, 2, 3, 10, 257, 5000}) {
        std::vector<UncertaintySample> samples;
        for (size_t i = 0; i < count; i++) {
            // Few distinct speedups and winners, so that ties are common.
            const bool feasible = random() % 5 != 0;
            samples.push_back(UncertaintySample{feasible, feasible ? double(random() % 9) / 4 : 0,
                                                int(random() % 2), int(random() % 3), 1});
        }
        UncertaintyTally tally;
        for (size_t first = 0; first < count; first += 7)
            tally.add(std::vector<UncertaintySample>(samples.begin() + first,
                                                     samples.begin() + std::min(count, first + 7)));
        const Uncertainty u = tally.summary();
        std::vector<double> feasible;
        std::map<std::tuple<int, int, int>, std::vector<double>> won;
        for (const UncertaintySample &s : samples) {
            if (s.feasible) {
                feasible.push_back(s.speedup);
                won[{s.scale, s.cache, s.cores}].push_back(s.speedup);
            }
        }
        EXPECT_EQ(u.samples, count);
        ASSERT_EQ(u.feasible, feasible.size());
        ASSERT_EQ(u.quantiles.size(), feasible.empty() ? 0u : 7u);
        for (const auto &[p, value] : u.quantiles)
            EXPECT_EQ(value, linear(feasible, p)) << count << " samples, quantile " << p;
        ASSERT_EQ(u.winners.size(), won.size());
        for (size_t i = 0; i < u.winners.size(); i++) {
            const Uncertainty::Winner &w = u.winners[i];
            const std::vector<double> &values = won.at({w.scale, w.cache, w.cores});
            EXPECT_EQ(w.count, values.size());
            EXPECT_EQ(w.median, linear(values, 0.5));
            EXPECT_GE(u.winners[i > 0 ? i - 1 : 0].count, w.count); // most often first
        }
        const Uncertainty whole = summarise(samples);
        EXPECT_EQ(whole.quantiles, u.quantiles);
        EXPECT_EQ(whole.mean, u.mean);
    }
}

TEST(Uncertainty, RangesFileAndSamplesWithinTheirRanges) {
    const std::string path = testing::TempDir() + "ranges.txt";
    FILE *file = fopen(path.c_str(), "w");
    fputs("# the parallel fraction known to within 0.98 and 0.995\n"
          "constants.parallel_fraction 0.98 0.995\n",
          file);
    fclose(file);
    UncertaintyRequest u;
    u.request.options = OptionSet{0, 0, 0, 0, 3};
    u.ranges["constants.parallel_fraction"] = FieldRange{0.98, 0.995};
    for (const DrawnField &d : drawn_fields(u)) {
        EXPECT_TRUE(d.field.admits(d.range.low) && d.field.admits(d.range.high)) << d.field.name;
        if (d.field.name == "constants.parallel_fraction") {
            EXPECT_EQ(d.range.low, 0.98);
        }
    }
    const Outcome o = run({"uncertainty", "--node", "32nm", "--samples", "200", "--ranges", path});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("within the range given for it (1 number)"), std::string::npos);
}

TEST(Research, BadArgumentsAreOneLineAndStatusTwo) {
    const std::string ranges = testing::TempDir() + "bad_ranges.txt";
    FILE *file = fopen(ranges.c_str(), "w");
    fputs("workload.Apache/Web.cpi 1 2\n", file); // not used by the default options
    fclose(file);
    const std::string malformed = testing::TempDir() + "malformed_ranges.txt";
    file = fopen(malformed.c_str(), "w");
    fputs("constants.parallel_fraction 0.9\n", file);
    fclose(file);
    const std::vector<std::vector<std::string>> cases = {
        {"pareto", "--objectives", "speedup,latency"},
        {"pareto", "--objectives", "speedup"},
        {"pareto", "--objectives", "speedup,power,area,energy"},
        {"pareto", "--objectives", "power,Power"},
        {"pareto", "-o", "front.gif"},
        {"search", "--objective", "fastest"},
        {"sweep", "--objective", "energy", "--jobs", "0"},
        {"budget", "--vary", "power=20:30:1", "--objective", "fastest"},
        {"sensitivity", "--spread", "-10"},
        {"sensitivity", "--spread", "0"},
        {"sensitivity", "--spread", "100"},
        {"sensitivity", "--spread", "ten"},
        {"uncertainty", "--samples", "0"},
        {"uncertainty", "--samples", "2.5"},
        {"uncertainty", "--seed", "-3"},
        {"uncertainty", "--spread", "-1"},
        {"uncertainty", "--per-sample"},
        {"uncertainty", "--ranges", ranges},
        {"uncertainty", "--ranges", malformed},
        {"uncertainty", "--ranges", testing::TempDir() + "no_such_file"},
        {"uncertainty", "--ranges", "/dev/zero"}, // never ends: read up to 1 MiB, refused
    };
    for (const std::vector<std::string> &args : cases) {
        const Outcome o = run(args);
        std::string typed;
        for (const std::string &arg : args)
            typed += arg + " ";
        EXPECT_EQ(o.status, 2) << typed;
        EXPECT_EQ(o.out, "") << typed;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << typed << o.err;
    }
}

} // namespace
