// Searches answered from one evaluation of an option set, and batches of searches of one option
// set, against the search itself, on random limits over every option set: the same
// configuration, speedup and figures, bit for bit. And
// that evaluation against the model functions themselves, configuration by configuration.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "model/model.h"
#include "search/limit_queries.h"
#include "tests/overflowing_models.h"

namespace {

constexpr Limit kLimits[] = {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string differences(const SearchOutcome &a, const SearchOutcome &b) {
    std::string why;
    auto same = [&](const char *name, double x, double y) {
        if (std::bit_cast<uint64_t>(x) != std::bit_cast<uint64_t>(y))
            why += std::string(" ") + name + " " + std::to_string(x) + " vs " + std::to_string(y);
    };
    if (a.found != b.found || a.scale != b.scale || a.cache != b.cache || a.cores != b.cores)
        why += " configuration " + std::to_string(a.found) + "/" + std::to_string(a.scale) + "/" +
               std::to_string(a.cache) + "/" + std::to_string(a.cores) + " vs " +
               std::to_string(b.found) + "/" + std::to_string(b.scale) + "/" +
               std::to_string(b.cache) + "/" + std::to_string(b.cores);
    same("speedup", a.speedup, b.speedup);
    same("figure speedup", a.figures.speedup, b.figures.speedup);
    for (Limit limit : kLimits)
        same("figure", figure_of(a.figures, limit), figure_of(b.figures, limit));
    return why;
}

// Every option set of the built-in model, workload outermost and node innermost.
std::vector<SearchSpec> every_option_set() {
    const Model &m = builtin_model();
    std::vector<SearchSpec> specs;
    for (int w = 0; w < int(m.workloads.size()); w++)
        for (int memory = 0; memory < 2; memory++)
            for (int t = 0; t < 3; t++)
                for (int k = 0; k < int(m.core_kinds.size()); k++)
                    for (int n = 0; n < int(m.nodes.size()); n++) {
                        SearchSpec s;
                        s.model = &m;
                        s.workload = w, s.memory = memory, s.transistor = t, s.core_kind = k;
                        s.node = n;
                        specs.push_back(s);
                    }
    return specs;
}

// Limits around the node's defaults, now and then 0, unlimited, unchecked or exactly the
// figure of some configuration (where ties between "meets" and "breaks" are decided).
struct RandomLimits {
    std::mt19937_64 random{20261207};

    LimitChecks operator()(const SearchSpec &s, const ConfigurationFigures &some) {
        const TranTechRecord &n = s.model->nodes[s.node].tech;
        const double defaults[4] = {n.area_budget, n.power_budget, n.bw_offchip, n.bw_tsv};
        LimitChecks l;
        std::uniform_real_distribution<double> factor(0.0, 2.5);
        std::uniform_int_distribution<int> kind(0, 9);
        for (Limit limit : kLimits) {
            const int k = kind(random);
            l.value(limit) = k == 0   ? 0.0
                             : k == 1 ? kInf
                             : k == 2 ? figure_of(some, limit)
                                      : defaults[int(limit)] * factor(random);
        }
        l.area = kind(random) != 0, l.power = kind(random) != 0, l.bandwidth = kind(random) != 0;
        return l;
    }
};

TEST(LimitQueries, EqualTheSearchOnRandomLimitsOverEveryOptionSet) {
    RandomLimits random_limits;
    std::uniform_int_distribution<int> hold(0, 7), cores(0, 34), cache(0, 66);
    int compared = 0;
    for (SearchSpec spec : every_option_set()) {
        // Now and then one or two dimensions held, as the window's lock buttons hold them.
        const int held = hold(random_limits.random);
        spec.hold_cores = held == 1 || held == 3, spec.hold_cache = held == 2 || held == 3;
        spec.cores = cores(random_limits.random), spec.cache = cache(random_limits.random);
        const LimitQueries queries(spec);
        std::vector<LimitChecks> limits;
        std::vector<SearchOutcome> searched;
        for (int i = 0; i < 30; i++) {
            spec.limits =
                random_limits(spec, evaluate_design_point(spec, i % 8, (i * 7) % 67, (i * 3) % 35));
            searched.push_back(search_design_space(spec));
            limits.push_back(spec.limits);
            const std::string why = differences(queries.best(spec.limits), searched.back());
            ASSERT_EQ(why, "") << "option set " << spec.workload << spec.memory << spec.transistor
                               << spec.core_kind << spec.node << ", query " << i;
            compared++;
        }
        // The same limits as one batch of searches, and again with every dimension held.
        for (int pass = 0; pass < 2; pass++) {
            const std::vector<SearchOutcome> many = search_design_space_many(spec, limits);
            for (size_t i = 0; i < limits.size(); i++) {
                spec.limits = limits[i];
                const SearchOutcome one = pass == 0 ? searched[i] : search_design_space(spec);
                ASSERT_EQ(differences(many[i], one), "")
                    << "option set " << spec.workload << spec.memory << spec.transistor
                    << spec.core_kind << spec.node << ", batch " << pass << ", query " << i;
            }
            spec.hold_cores = spec.hold_cache = spec.hold_scale = true;
            spec.scale = held % 8;
        }
    }
    EXPECT_GE(compared, 10000);
}

bool same_bits(const ConfigurationFigures &a, const ConfigurationFigures &b) {
    return std::bit_cast<uint64_t>(a.area) == std::bit_cast<uint64_t>(b.area) &&
           std::bit_cast<uint64_t>(a.power) == std::bit_cast<uint64_t>(b.power) &&
           std::bit_cast<uint64_t>(a.bandwidth) == std::bit_cast<uint64_t>(b.bandwidth) &&
           std::bit_cast<uint64_t>(a.bandwidth_tsv) == std::bit_cast<uint64_t>(b.bandwidth_tsv) &&
           std::bit_cast<uint64_t>(a.speedup) == std::bit_cast<uint64_t>(b.speedup);
}

// evaluate_design_space works out what the configurations share once; evaluate_design_point
// calls the whole model functions. Every figure of every configuration must agree, also at a
// held operating point between the scale steps.
TEST(EvaluatedSpace, EqualsEachPointEvaluatedOnItsOwn) {
    int option_set = 0;
    for (SearchSpec spec : every_option_set()) {
        if (option_set++ % 3 == 0) {
            spec.hold_scale = true, spec.scale = option_set % 8;
            spec.vdd_ratio = 0.93, spec.f_ratio = 0.87;
        }
        for (const EvaluatedConfiguration &c : evaluate_design_space(spec))
            ASSERT_TRUE(
                same_bits(c.figures, evaluate_design_point(spec, c.scale, c.cache, c.cores)))
                << "option set " << spec.workload << spec.memory << spec.transistor
                << spec.core_kind << spec.node << ", configuration " << c.scale << "/" << c.cache
                << "/" << c.cores;
    }
}

// The power's terms (--breakdown) added in the order docs/model.md gives, written out here.
double documented_power(const PowerBreakdown &b, bool stacked) {
    const PowerTerms &t = b.chip;
    const double chip =
        t.core_leakage + ((((t.core_switching + t.shared_logic) + t.l2_switching) + t.l2_leakage) +
                          t.memory_interface);
    return stacked ? chip + b.memory_stack : chip;
}

// The terms add up to the power figure of the searches' own loops bit for bit, over every
// option set at a sample of configurations (a third at a held operating point between the
// steps) and at each search's best; and they are the terms of docs/model.md's worked example.
TEST(PowerBreakdown, TermsAddUpToThePowerFigureInTheDocumentedOrder) {
    const Model &m = builtin_model();
    int option_set = 0;
    size_t compared = 0;
    for (SearchSpec spec : every_option_set()) {
        if (option_set++ % 3 == 0) {
            spec.hold_scale = true, spec.scale = option_set % 8;
            spec.vdd_ratio = 0.93, spec.f_ratio = 0.87;
        }
        const bool stacked = spec.memory != 0;
        const std::vector<EvaluatedConfiguration> all = evaluate_design_space(spec);
        for (size_t i = size_t(option_set) % 3; i < all.size(); i += 3) {
            const EvaluatedConfiguration &c = all[i];
            const PowerBreakdown b = power_breakdown(spec, c.scale, c.cache, c.cores);
            ASSERT_EQ(std::bit_cast<uint64_t>(documented_power(b, stacked)),
                      std::bit_cast<uint64_t>(c.figures.power))
                << "option set " << option_set << ", configuration " << c.scale << "/" << c.cache
                << "/" << c.cores;
            ASSERT_EQ(std::bit_cast<uint64_t>(b.power), std::bit_cast<uint64_t>(c.figures.power));
            ASSERT_EQ(b.memory_stack, stacked ? m.stack.layers * m.stack.layer_power : 0.0);
            compared++;
        }
        const TranTechRecord &n = m.nodes[spec.node].tech;
        spec.limits =
            LimitChecks{true, true, true, n.area_budget, n.power_budget, n.bw_offchip, n.bw_tsv};
        const SearchOutcome best = search_design_space(spec);
        if (!best.found)
            continue;
        const PowerBreakdown b = power_breakdown(spec, best.scale, best.cache, best.cores);
        ASSERT_EQ(std::bit_cast<uint64_t>(documented_power(b, stacked)),
                  std::bit_cast<uint64_t>(best.figures.power))
            << "best of option set " << option_set;
    }
    EXPECT_GT(compared, 1500000u);

    // DB2/TPCC, plain memory, LOP, Niagara, 65 nm, 8 cores, 4 MB, step 1.0.
    SearchSpec example;
    example.model = &m, example.node = 1;
    auto index = [](const auto &axis, double value) {
        return int(std::find(axis.begin(), axis.end(), value) - axis.begin());
    };
    const PowerBreakdown b =
        power_breakdown(example, 0, index(m.cache_sizes, 4), index(m.core_counts, 8));
    EXPECT_NEAR(b.chip.core_leakage, 0.30962, 5e-6);
    EXPECT_NEAR(b.chip.core_switching, 19.51037, 5e-6);
    EXPECT_EQ(b.chip.shared_logic, 0.0);
    EXPECT_NEAR(b.chip.l2_switching, 6.55637, 5e-6);
    EXPECT_NEAR(b.chip.l2_leakage, 1.84149, 5e-6);
    EXPECT_NEAR(b.chip.memory_interface, 21.3980, 5e-5);
    EXPECT_NEAR(b.power, 49.615904, 5e-7);
    example.core_kind = 3; // ARM: the reference chip's shared logic
    EXPECT_GT(power_breakdown(example, 0, 0, 0).chip.shared_logic, 0.0);
}

// The search passes over a cache size whose speedups all stay below the best so far. Where
// every cache size has the same figures, each row ties the one before and the last must win;
// where the stall term is negative (negative cycles per instruction, with negative core
// performance so that the speedups are positive), the order of the speedups is reversed; where
// the area falls as the core count grows, a row's counts within the limit are its last ones.
TEST(LimitQueries, EqualTheSearchWhereCacheSizesTieOrTheStallTermIsNegative) {
    Model ties = builtin_model();
    for (int j = 0; j < kCacheSizes; j++) {
        ties.cache_sizes[j] = 8;
        for (NodeRecord &node : ties.nodes) {
            node.l2_latency_HP[j] = node.l2_latency_HP[20];
            node.l2_latency_LOP[j] = node.l2_latency_LOP[20];
        }
    }
    Model reversed = builtin_model();
    for (CoreKindRecord &kind : reversed.core_kinds)
        kind.core_perf = -kind.core_perf;
    for (WorkloadRecord &workload : reversed.workloads)
        workload.cpi = -workload.cpi;
    // Area that falls as the core count grows: the counts within an area limit are the last
    // ones of a row, not the first.
    Model falling = builtin_model();
    for (NodeRecord &node : falling.nodes)
        for (std::vector<double> *areas : {&node.core_area_HP, &node.core_area_LOP})
            for (double &area : *areas)
                area = -area;

    for (const Model *model : {&ties, &reversed, &falling}) {
        for (int memory = 0; memory < 2; memory++)
            for (int node = 0; node < int(model->nodes.size()); node++) {
                SearchSpec spec;
                spec.model = model;
                spec.memory = memory, spec.node = node, spec.transistor = node % 3;
                const LimitQueries queries(spec);
                const TranTechRecord &n = model->nodes[node].tech;
                for (const LimitChecks &limits :
                     {LimitChecks{true, true, true, kInf, kInf, kInf, kInf},
                      LimitChecks{true, true, true, n.area_budget, n.power_budget, n.bw_offchip,
                                  n.bw_tsv}}) {
                    spec.limits = limits;
                    const SearchOutcome found = search_design_space(spec);
                    ASSERT_EQ(differences(queries.best(limits), found), "")
                        << (model == &ties       ? "ties"
                            : model == &reversed ? "reversed"
                                                 : "falling")
                        << ", memory " << memory << ", node " << node;
                    if (model == &ties && found.found) {
                        EXPECT_EQ(found.cache, kCacheSizes - 1);
                    }
                }
            }
    }
}

// What the search selects, by its rule over every configuration: every checked limit met,
// every figure finite, speedup at least 0 and at least every other's, ties to the later one.
SearchOutcome selected_by_rule(const SearchSpec &spec) {
    const LimitChecks &l = spec.limits;
    SearchOutcome best;
    best.scale = spec.hold_scale ? spec.scale : 7;
    best.cache = spec.hold_cache ? spec.cache : 0;
    best.cores = spec.hold_cores ? spec.cores : 0;
    for (const EvaluatedConfiguration &e : evaluate_design_space(spec)) {
        ConfigurationFigures f = e.figures;
        if (!figures_finite(f) || (l.area && f.area > l.area_limit) ||
            (l.power && f.power > l.power_limit) ||
            (l.bandwidth && (f.bandwidth > l.bandwidth_limit ||
                             (spec.memory != 0 && f.bandwidth_tsv > l.tsv_limit))) ||
            !(f.speedup >= best.speedup))
            continue;
        f.area = l.area ? f.area : 0, f.power = l.power ? f.power : 0;
        f.bandwidth = l.bandwidth ? f.bandwidth : 0;
        f.bandwidth_tsv = l.bandwidth ? f.bandwidth_tsv : 0;
        best = SearchOutcome{true, f.speedup, e.scale, e.cache, e.cores, f};
    }
    return best;
}

// Models whose figures overflow (as model files the checker accepts can make them): a power of
// NaN everywhere, speedups and powers infinite for the larger core counts only, a threshold
// voltage of 1e30, an infinite speedup without stalls. A configuration with a figure that is
// not finite breaks every limit, checked or not: the search and the queries never select it.
TEST(LimitQueries, NonFiniteFiguresBreakEveryLimitInTheSearchAndTheQueries) {
    std::vector<std::pair<const char *, Model>> models = overflowing_models();
    models.erase(models.begin() + 5, models.end()); // those that overflow in the searched figures

    RandomLimits random_limits;
    for (const auto &[name, model] : models) {
        size_t non_finite = 0, found = 0;
        for (int set = 0; set < 24; set++) {
            SearchSpec spec;
            spec.model = &model;
            spec.memory = set % 2, spec.transistor = set / 2 % 3, spec.node = 1 + set / 6;
            spec.core_kind = set % 4, spec.workload = set % 3;
            for (const EvaluatedConfiguration &e : evaluate_design_space(spec))
                non_finite += !figures_finite(e.figures);
            const LimitQueries queries(spec);
            std::vector<LimitChecks> limits;
            std::vector<SearchOutcome> expected;
            for (int i = 0; i < 6; i++) {
                spec.limits = random_limits(spec, evaluate_design_point(spec, i, i * 11, i * 5));
                if (i == 0)
                    spec.limits = LimitChecks{false, false, false, 0, 0, 0, 0};
                limits.push_back(spec.limits);
                expected.push_back(selected_by_rule(spec));
                found += expected.back().found;
                ASSERT_EQ(differences(search_design_space(spec), expected.back()), "")
                    << name << ", option set " << set << ", limits " << i;
                ASSERT_EQ(differences(queries.best(spec.limits), expected.back()), "")
                    << name << ", option set " << set << ", limits " << i;
            }
            const std::vector<SearchOutcome> many = search_design_space_many(spec, limits);
            for (size_t i = 0; i < limits.size(); i++)
                ASSERT_EQ(differences(many[i], expected[i]), "")
                    << name << ", option set " << set << ", batch, limits " << i;
            // Every dimension held: the one configuration scores 0 when a figure is not finite.
            spec.hold_cores = spec.hold_cache = spec.hold_scale = true;
            spec.cores = 34, spec.cache = 66, spec.scale = 0;
            const SearchOutcome held = search_design_space(spec);
            if (!figures_finite(evaluate_design_point(spec, 0, 66, 34))) {
                EXPECT_EQ(held.speedup, 0.0) << name << ", option set " << set;
            }
        }
        EXPECT_GT(non_finite, 0u) << name;
        if (model.core_kinds[0].core_perf == 1e306) {
            EXPECT_GT(found, 0u) << name << ": some configurations stay finite";
        }
    }
}

// Curves and maps are lookups into the same ranking: each point equals a query of its own.
TEST(LimitQueries, CurvesAndMapsEqualOneQueryPerPoint) {
    const std::vector<SearchSpec> specs = every_option_set();
    for (size_t s = 0; s < specs.size(); s += 37) {
        const SearchSpec &spec = specs[s];
        const LimitQueries queries(spec);
        const TranTechRecord &n = spec.model->nodes[spec.node].tech;
        LimitChecks base{true, true, true, n.area_budget, n.power_budget, n.bw_offchip, n.bw_tsv};
        for (Limit x : kLimits) {
            std::vector<double> xs;
            for (int i = 0; i <= 60; i++)
                xs.push_back(base.value(x) * i / 30.0);
            xs.push_back(std::nan(""));
            const std::vector<int> line = queries.curve(base, x, xs);
            for (size_t i = 0; i < xs.size(); i++) {
                LimitChecks point = base;
                point.value(x) = xs[i];
                ASSERT_EQ(differences(queries.outcome(line[i], point), queries.best(point)), "")
                    << int(x) << " at " << xs[i];
            }
            const Limit y = x == Limit::Area ? Limit::Power : Limit::Area;
            xs.erase(xs.begin() + 20, xs.end() - 1);        // 0 to 19/30 of the default, NaN
            std::vector<double> ys(xs.rbegin(), xs.rend()); // descending, NaN first
            const std::vector<int> grid = queries.map(base, x, xs, y, ys);
            for (size_t r = 0; r < ys.size(); r++)
                for (size_t c = 0; c < xs.size(); c++) {
                    LimitChecks point = base;
                    point.value(x) = xs[c], point.value(y) = ys[r];
                    ASSERT_EQ(differences(queries.outcome(grid[r * xs.size() + c], point),
                                          queries.best(point)),
                              "");
                }
        }
    }
}

} // namespace
