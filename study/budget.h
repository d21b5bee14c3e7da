// Budget curves and maps: the best configuration of an option set as one limit varies over a
// range (a curve, for one option set or one per value of an option), or as two limits vary
// (a map, shaded by which of them binds). Each option set is evaluated once and every point
// is a lookup (LimitQueries), with the same answer as a search of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "study/design.h"
#include "study/energy.h"
#include "study/result_columns.h"

class LimitQueries;

// The most points a budget may ask for, over all its curves or cells.
constexpr double kMostBudgetPoints = 10'000'000;

// One varied limit: start, start + step, ... up to end (included when reached).
struct LimitRange {
    Limit limit;
    double start, end, step;
    // 64 bits wherever it is built (the page's engine has a 32-bit size_t), so that a range
    // far too long for any budget is counted and refused as the tool refuses it.
    std::uint64_t count() const;
    double value(size_t i) const;
};

// Reads "power=20:300:1" (area, power, bandwidth or tsv); none, with why in error, otherwise.
std::optional<LimitRange> parse_limit_range(const std::string &text, std::string &error);

struct BudgetRequest {
    Request request;                // the option set and the limits not varied
    std::vector<LimitRange> varied; // one (a curve) or two (a map: x, then y)
    std::optional<Choice> series;   // a curve per value of this option
    double step = 0.1;              // how far a limit is relaxed to see whether it binds (maps)
    // Curves: at each point, the best over every combination of these options' values (the
    // others as given), in place of the given values.
    std::vector<Choice> best_over;
    // Curves: at each point, the limits whose relaxation alone by the step changes the optimum
    // (maps always give which of their two limits bind).
    bool binding = false;
    Objective objective = Objective::Speedup; // what the best configuration at a point is
};

// Reads "memory,transistor" (each option once); none, with why in error, otherwise.
std::optional<std::vector<Choice>> parse_best_over(const std::string &text, std::string &error);

// Why a budget cannot be drawn up (too many points, a series with a map, ...); empty if it can.
std::string budget_error(const BudgetRequest &budget);

// One option set of a budget: its evaluation, which answers every point as a lookup, and, when
// the budget is worked out whole (budget()), the answer at every point, x innermost.
struct BudgetSeries {
    OptionSet options;
    LimitValues limits; // in force, the varied ones at their start
    std::shared_ptr<const LimitQueries> queries;
    std::vector<int> best;              // per point; -1: nothing meets the limits
    std::vector<unsigned char> binding; // maps: bit 0 the x limit binds, bit 1 the y limit
    // With best_over: the option sets compared at each point (each with its own evaluation and
    // limits in force), and, worked out whole, which of them answers each point; best holds
    // handles of that one's queries.
    std::vector<BudgetSeries> candidates;
    std::vector<int> chosen;
};

// The answers at a run of consecutive points of one series.
struct BudgetChunk {
    size_t first;          // the first point's index in its series
    std::vector<int> best; // a handle per point; -1: nothing meets the limits
    // maps: bit 0 the x limit binds, bit 1 the y limit; curves with binding asked for: bit
    // int(limit) for each limit that binds
    std::vector<unsigned char> binding;
    std::vector<int> chosen; // with best_over: the candidate per point
};

// Works out every point, series by series in order and a chunk of points at a time, and hands
// each chunk to `take` in that order; stops when take returns false (and then returns false).
// Memory stays bounded whatever the number of points: at most `jobs` option sets are evaluated
// at a time, on as many threads, and a chunk holds at most a few hundred thousand points.
bool budget_in_chunks(
    const BudgetRequest &request, int jobs,
    const std::function<bool(const BudgetSeries &series, const BudgetChunk &chunk)> &take);

// Every point worked out and kept (for pictures, which draw them all).
struct Budget {
    BudgetRequest request;
    std::vector<BudgetSeries> series;
};
Budget budget(const BudgetRequest &request, int jobs);

// The limits in force at a point of a series (x innermost), and the best configuration there
// (a handle of its queries) as the search reports it.
LimitValues limits_at(const BudgetRequest &request, const BudgetSeries &series, size_t point);
BestConfiguration best_at(const BudgetSeries &series, const LimitValues &limits, int handle);

// The best configuration at point i of a chunk (with best_over, the chosen candidate's; when
// no candidate has one, the first candidate's row with the limits that none of them meets).
BestConfiguration best_in_chunk(const BudgetRequest &request, const BudgetSeries &series,
                                const BudgetChunk &chunk, size_t i);

// Which varied limit binds at a point of a map: "neither", the limit's name, or "both".
const char *binding_name(unsigned char binding, const BudgetRequest &budget);

// The rows of a budget: the best configuration's columns (best_table, with the edge columns
// when asked), and on a map a "binding" column; add_budget_rows appends the chunk's points [from,
// to).
Table budget_table(const BudgetRequest &request, bool edges = false);
void add_budget_rows(Table &table, const BudgetRequest &request, const BudgetSeries &series,
                     const BudgetChunk &chunk, size_t from, size_t to);
