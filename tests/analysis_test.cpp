// explain and budget against the search they stand for: every figure they give is what a
// search with the limits of that point gives.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "cli/report.h"
#include "model/model.h"
#include "study/budget.h"
#include "study/energy.h"
#include "study/explain.h"
#include "tests/table_text.h"

namespace {

OptionSet options(int workload, int memory, int transistor, int core, int node) {
    return OptionSet{workload, memory, transistor, core, node};
}

Limits with(Limits limits, Limit limit, double value) {
    (limit == Limit::Area        ? limits.area
     : limit == Limit::Power     ? limits.power
     : limit == Limit::Bandwidth ? limits.bandwidth
                                 : limits.tsv) = value;
    return limits;
}

bool same_configuration(const BestConfiguration &a, const BestConfiguration &b) {
    return a.feasible == b.feasible &&
           (!a.feasible || (a.scale == b.scale && a.cache == b.cache && a.cores == b.cores));
}

// Option sets and limits where different limits bind, and one where nothing is feasible.
const std::vector<Request> kRequests{
    {options(0, 0, 0, 0, 1), {}, {}},
    {options(0, 1, 2, 0, 3), {}, {}},
    {options(2, 1, 1, 3, 4), Limits{300.0, 60.0, {}, 40.0}, {}},
    {options(1, 0, 2, 1, 2), Limits{{}, {}, 5.0, {}}, {}},
    {options(0, 0, 0, 0, 1), Limits{20.0, 0.5, 1.0, {}}, {}},
};

TEST(Explain, EachLimitsFiguresAreThoseOfSearchesWithThatLimitRelaxed) {
    for (const Request &r : kRequests) {
        const Explanation e = explain(r, 0.1);
        const BestConfiguration best = search_best(r);
        ASSERT_TRUE(same_configuration(e.best, best));
        for (const LimitAnalysis &l : e.limits) {
            SCOPED_TRACE(describe(r.options) + ", " + limit_name(l.limit));
            const Request relaxed{r.options, with(r.limits, l.limit, l.relaxed_value), {}};
            const BestConfiguration b = search_best(relaxed);
            EXPECT_EQ(l.relaxed_found, b.feasible);
            if (b.feasible) {
                EXPECT_EQ(l.relaxed_speedup, b.speedup);
            }
            EXPECT_EQ(l.binds, !same_configuration(b, best));
            if (std::isinf(l.changes_at))
                continue;
            // At that value the optimum changes; just below it, it does not yet.
            const Request at{r.options, with(r.limits, l.limit, l.changes_at), {}};
            EXPECT_FALSE(same_configuration(search_best(at), best));
            const double below = std::nextafter(l.changes_at, 0.0);
            const Request before{r.options, with(r.limits, l.limit, below), {}};
            EXPECT_TRUE(below < l.value || same_configuration(search_best(before), best));
        }
        // Nothing feasible and no limit alone enough: the limits together admit one.
        if (!e.together.empty()) {
            Limits together = r.limits;
            for (const auto &[limit, value] : e.together)
                together = with(together, limit, value);
            EXPECT_TRUE(search_best(Request{r.options, together, {}}).feasible);
        }
    }
}

// Each pair of limits relaxed together is the search with both relaxed by the step; it holds
// the design back beyond either alone when that search finds what neither single one does.
TEST(Explain, PairsAreSearchesWithBothLimitsRelaxed) {
    size_t beyond = 0;
    for (const Request &base : kRequests) {
        for (const Request &r : {base, Request{options(1, 1, 0, 0, 3), {}, {}}}) {
            const Explanation e = explain(r, 0.1, true);
            if (!e.best.feasible) {
                EXPECT_TRUE(e.pairs.empty());
                continue;
            }
            const size_t n = e.limits.size();
            ASSERT_EQ(e.pairs.size(), n * (n - 1) / 2);
            const BestConfiguration best = search_best(r);
            for (const PairAnalysis &p : e.pairs) {
                SCOPED_TRACE(describe(r.options) + ", " + limit_name(p.first) + " + " +
                             limit_name(p.second));
                const Limits first = with(r.limits, p.first, p.first_relaxed);
                const BestConfiguration both =
                    search_best(Request{r.options, with(first, p.second, p.second_relaxed), {}});
                EXPECT_EQ(p.relaxed_found, both.feasible);
                EXPECT_EQ(p.relaxed_speedup, both.speedup);
                EXPECT_EQ(p.binds, !same_configuration(both, best));
                const BestConfiguration a = search_best(Request{r.options, first, {}});
                const BestConfiguration b =
                    search_best(Request{r.options, with(r.limits, p.second, p.second_relaxed), {}});
                EXPECT_EQ(p.beyond_alone,
                          p.binds && !same_configuration(both, a) && !same_configuration(both, b));
                beyond += p.beyond_alone;
            }
            Table table = explain_table(e);
            EXPECT_EQ(table.rows(), n + e.pairs.size());
        }
    }
    EXPECT_GT(beyond, 0u);
}

// The CSV lines of a table's rows, without the header.
std::vector<std::string> csv_lines(const Table &table) {
    std::vector<std::string> lines;
    std::stringstream in(written(table, TableFormat::Csv));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    lines.erase(lines.begin());
    return lines;
}

TEST(Budget, EveryPointIsTheSearchUnderItsLimits) {
    const Request base{options(0, 1, 0, 0, 1), {}, {}};
    std::string error;
    const LimitRange power = *parse_limit_range("power=0:300:37.5", error);
    const LimitRange area = *parse_limit_range("Area=100:300:100", error);
    const BudgetRequest curve{base, {power}, Choice::Memory, 0.1, {}};
    const BudgetRequest map{base, {area, power}, std::nullopt, 0.1, {}};
    for (const BudgetRequest &request : {curve, map}) {
        ASSERT_EQ(budget_error(request), "");
        Table table = budget_table(request);
        budget_in_chunks(request, 2, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
            add_budget_rows(table, request, s, chunk, 0, chunk.best.size());
            return true;
        });
        const std::vector<std::string> records = csv_lines(table);
        ASSERT_EQ(records.size(), request.varied.size() == 1 ? 2 * 9u : 3 * 9u);
        for (size_t i = 0; i < records.size(); i++) {
            Request r = base;
            const size_t point = i % 9;
            r.options.memory = request.series ? int(i / 9) : base.options.memory;
            if (request.varied.size() == 1) {
                r.limits = with(r.limits, Limit::Power, power.value(point));
            } else {
                r.limits = with(r.limits, Limit::Area, area.value(i % 3));
                r.limits = with(r.limits, Limit::Power, power.value(i / 3));
            }
            const BestConfiguration at = search_best(r);
            Table expected = best_table();
            add_best_row(expected, at);
            const std::string row = request.varied.size() == 1
                                        ? records[i]
                                        : records[i].substr(0, records[i].rfind(','));
            EXPECT_EQ(row, csv_lines(expected)[0]);
            if (request.varied.size() == 1)
                continue;
            // A limit binds where relaxing it alone by 10 % changes the optimum.
            auto changes = [&](Limit limit, double value) {
                Request relaxed = r;
                relaxed.limits = with(r.limits, limit, value * 1.1);
                return !same_configuration(search_best(relaxed), at);
            };
            const bool x = changes(Limit::Area, area.value(i % 3));
            const bool y = changes(Limit::Power, power.value(i / 3));
            const std::string binds = x && y ? "both" : x ? "area" : y ? "power" : "neither";
            EXPECT_EQ(records[i].substr(records[i].rfind(',') + 1), binds);
        }
    }
}

// Every combination of the compared options' values, the first option outermost.
std::vector<OptionSet> sets_over(const OptionSet &base, const std::vector<Choice> &over) {
    std::vector<OptionSet> sets{base};
    for (Choice choice : over) {
        std::vector<OptionSet> more;
        for (const OptionSet &set : sets)
            for (size_t v = 0; v < choice_names(choice).size(); v++) {
                OptionSet o = set;
                (choice == Choice::Memory       ? o.memory
                 : choice == Choice::Transistor ? o.transistor
                 : choice == Choice::CoreKind   ? o.core_kind
                                                : o.node) = int(v);
                more.push_back(o);
            }
        sets = more;
    }
    return sets;
}

// Each point of a best-over curve is, of the searches of every compared option set under that
// point's limits, the fastest (the first in the model's order among equals); where none finds
// anything, the first option set's row with the limits that none of them meets alone.
TEST(Budget, BestOverOptionsIsTheFastestOfTheirSearches) {
    std::string error;
    struct Case {
        const char *vary, *over;
        OptionSet base;
    };
    for (const Case &c : {Case{"power=0:300:12.5", "memory,transistor", options(1, 0, 0, 3, 3)},
                          Case{"area=0:300:20", "node", options(0, 1, 2, 0, 2)},
                          Case{"bw=0:80:8", "core,memory", options(2, 0, 1, 0, 4)}}) {
        const LimitRange range = *parse_limit_range(c.vary, error);
        const BudgetRequest request{
            Request{c.base, {}, {}}, {range}, std::nullopt, 0.1, *parse_best_over(c.over, error)};
        ASSERT_EQ(budget_error(request), "");
        Table table = budget_table(request);
        budget_in_chunks(request, 2, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
            add_budget_rows(table, request, s, chunk, 0, chunk.best.size());
            return true;
        });
        const std::vector<std::string> rows = csv_lines(table);
        ASSERT_EQ(rows.size(), range.count());
        const std::vector<OptionSet> sets = sets_over(c.base, request.best_over);
        size_t feasible = 0;
        for (size_t point = 0; point < range.count(); point++) {
            std::vector<BestConfiguration> found;
            for (const OptionSet &set : sets)
                found.push_back(
                    search_best(Request{set, with({}, range.limit, range.value(point)), {}}));
            BestConfiguration best = found.front();
            for (const BestConfiguration &b : found)
                if (b.feasible && (!best.feasible || b.speedup > best.speedup))
                    best = b;
            if (!best.feasible)
                for (const BestConfiguration &b : found)
                    std::erase_if(best.unmeetable, [&](Limit limit) {
                        return std::find(b.unmeetable.begin(), b.unmeetable.end(), limit) ==
                               b.unmeetable.end();
                    });
            feasible += best.feasible;
            Table expected = best_table();
            add_best_row(expected, best);
            EXPECT_EQ(rows[point], csv_lines(expected)[0]) << c.vary << " point " << point;
        }
        EXPECT_GT(feasible, 0u);
        EXPECT_LT(feasible, range.count());
    }
}

// With an objective, each point of a best-over curve is the option set whose own search by that
// objective does best (the first in the model's order among equals), not the fastest one.
TEST(Budget, BestOverOptionsPicksByTheObjective) {
    std::string error;
    struct Case {
        const char *vary, *over;
        OptionSet base;
        Objective objective;
    };
    for (const Case &c :
         {Case{"power=80:80:1", "memory,transistor,node", options(0, 0, 0, 3, 1),
               Objective::Energy},
          Case{"power=5:200:15", "memory,transistor,node", options(0, 0, 0, 3, 1),
               Objective::Energy},
          Case{"area=20:300:40", "transistor,node", options(1, 1, 0, 0, 3),
               Objective::SpeedupPerWatt},
          Case{"bw=2:60:8", "node,memory", options(2, 0, 2, 1, 0), Objective::Edp}}) {
        SCOPED_TRACE(std::string(c.vary) + " over " + c.over + " by " +
                     objective_name(c.objective));
        const LimitRange range = *parse_limit_range(c.vary, error);
        BudgetRequest request{
            Request{c.base, {}, {}}, {range}, std::nullopt, 0.1, *parse_best_over(c.over, error)};
        request.objective = c.objective;
        ASSERT_EQ(budget_error(request), "");
        std::vector<BestConfiguration> rows;
        budget_in_chunks(request, 2, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
            for (size_t i = 0; i < chunk.best.size(); i++)
                rows.push_back(best_in_chunk(request, s, chunk, i));
            return true;
        });
        ASSERT_EQ(rows.size(), range.count());
        const bool higher = higher_is_better(c.objective);
        size_t not_fastest = 0;
        for (size_t point = 0; point < range.count(); point++) {
            std::optional<BestConfiguration> best, fastest;
            for (const OptionSet &set : sets_over(c.base, request.best_over)) {
                const Limits limits = with({}, range.limit, range.value(point));
                const BestConfiguration b = search_best_by(Request{set, limits, {}}, c.objective);
                if (!b.feasible)
                    continue;
                const double figure = objective_figure(b.figures, c.objective);
                const double so_far = best ? objective_figure(best->figures, c.objective) : 0;
                if (!best || (higher ? figure > so_far : figure < so_far))
                    best = b;
                if (!fastest || b.speedup > fastest->speedup)
                    fastest = b;
            }
            const BestConfiguration &got = rows[point];
            ASSERT_EQ(got.feasible, best.has_value()) << "point " << point;
            if (!best)
                continue;
            EXPECT_EQ(describe(got.options), describe(best->options)) << "point " << point;
            EXPECT_TRUE(same_configuration(got, *best)) << "point " << point;
            EXPECT_EQ(objective_figure(got.figures, c.objective),
                      objective_figure(best->figures, c.objective))
                << "point " << point;
            not_fastest += describe(fastest->options) != describe(best->options);
        }
        // Each case has points where the fastest option set is not the best by the objective.
        EXPECT_GT(not_fastest, 0u);
    }
}

// The example of a user who asked for the least energy at 80 W on ARM cores: plain memory, LOP
// transistors at 20 nm, about 0.198 J a unit of work.
TEST(Budget, BestOverLeastEnergyAtEightyWattsIsPlainLopAtTwentyNm) {
    std::string error;
    BudgetRequest request{Request{options(0, 0, 0, 3, 1), {}, {}},
                          {*parse_limit_range("power=80:80:1", error)},
                          std::nullopt,
                          0.1,
                          *parse_best_over("memory,transistor,node", error)};
    request.objective = Objective::Energy;
    const Budget b = budget(request, 1);
    ASSERT_EQ(b.series.size(), 1u);
    const BudgetSeries &s = b.series[0];
    const BestConfiguration best =
        best_in_chunk(request, s, BudgetChunk{0, s.best, {}, s.chosen}, 0);
    EXPECT_EQ(describe(best.options), "DB2/TPCC, plain memory, LOP, ARM, 20nm");
    EXPECT_NEAR(energy_of(best.figures).energy, 0.198, 0.0005);
}

// With --binding, each point of a curve names the limits whose relaxation alone by the step
// changes the search's optimum there: the varied one at the point's value, the others as given.
TEST(Budget, CurveBindingNamesTheLimitsWhoseRelaxationChangesTheOptimum) {
    std::string error;
    const LimitRange power = *parse_limit_range("power=10:250:12", error);
    for (const OptionSet &o : {options(1, 1, 0, 0, 3), options(0, 0, 2, 3, 4)}) {
        BudgetRequest request{
            Request{o, Limits{{}, {}, {}, 300.0}, {}}, {power}, std::nullopt, 0.1, {}};
        request.binding = true;
        ASSERT_EQ(budget_error(request), "");
        size_t bound = 0;
        budget_in_chunks(request, 2, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
            for (size_t i = 0; i < chunk.best.size(); i++) {
                const BestConfiguration at = best_in_chunk(request, s, chunk, i);
                const Limits limits =
                    with(request.request.limits, Limit::Power, power.value(chunk.first + i));
                unsigned char expected = 0;
                for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv}) {
                    if (limit == Limit::Tsv && o.memory == 0)
                        continue;
                    const double value = limit_value(at.limits, limit) * 1.1;
                    if (!same_configuration(search_best(Request{o, with(limits, limit, value), {}}),
                                            at))
                        expected |= (unsigned char)(1 << int(limit));
                }
                EXPECT_EQ(int(chunk.binding[i]), int(expected)) << "point " << chunk.first + i;
                bound += chunk.binding[i] != 0;
            }
            return true;
        });
        EXPECT_GT(bound, 0u);
    }
}

TEST(Budget, RangesCountTheirEndOnceAndStayWithinIt) {
    std::string error;
    const LimitRange tenths = *parse_limit_range("bw=0.1:0.3:0.1", error);
    EXPECT_EQ(tenths.count(), 3u);
    EXPECT_EQ(tenths.value(2), 0.3);
    const LimitRange uneven = *parse_limit_range("tsv=0:10:3", error);
    EXPECT_EQ(uneven.count(), 4u);
    EXPECT_EQ(uneven.value(3), 9.0);
    EXPECT_FALSE(parse_limit_range("power=1:2", error));
    EXPECT_NE(error, "");
}

} // namespace
