// Budget curves and maps: the best configuration of an option set as one limit varies over a
// range (a curve, for one option set or one per value of an option), or as two limits vary
// (a map, shaded by which of them binds). Each option set is evaluated once and every point
// is a lookup (LimitQueries), with the same answer as a search of its own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "study/design.h"
#include "study/records.h"

class LimitQueries;

// The most points a budget may ask for, over all its curves or cells.
constexpr double kMostBudgetPoints = 10'000'000;

// One varied limit: start, start + step, ... up to end (included when reached).
struct LimitRange {
    Limit limit;
    double start, end, step;
    size_t count() const;
    double value(size_t i) const;
};

// Reads "power=20:300:1" (area, power, bandwidth or tsv); none, with why in error, otherwise.
std::optional<LimitRange> parse_limit_range(const std::string &text, std::string &error);

struct BudgetRequest {
    Request request;                // the option set and the limits not varied
    std::vector<LimitRange> varied; // one (a curve) or two (a map: x, then y)
    std::optional<Choice> series;   // a curve per value of this option
    double step = 0.1;              // how far a limit is relaxed to see whether it binds (maps)
};

// Why a budget cannot be drawn up (too many points, a series with a map, ...); empty if it can.
std::string budget_error(const BudgetRequest &budget);

// The answers of one option set: a handle into its queries per point, x innermost.
struct BudgetSeries {
    OptionSet options;
    LimitValues limits; // in force, the varied ones at their start
    std::shared_ptr<const LimitQueries> queries;
    std::vector<int> best;              // per point; -1: nothing meets the limits
    std::vector<unsigned char> binding; // maps: bit 0 the x limit binds, bit 1 the y limit
};

struct Budget {
    BudgetRequest request;
    std::vector<BudgetSeries> series;
};

// Works out every point, the option sets on up to `jobs` threads.
Budget budget(const BudgetRequest &request, int jobs);

// The limits in force at a point of a series (x innermost), and the best configuration there as
// the search reports it.
LimitValues limits_at(const Budget &budget, const BudgetSeries &series, size_t point);
BestConfiguration best_at(const Budget &budget, const BudgetSeries &series, size_t point);

// Which varied limit binds at a point of a map: "neither", the limit's name, or "both".
const char *binding_name(unsigned char binding, const BudgetRequest &budget);

// Every point as the best configuration under its limits (the search's record columns), maps
// with a "binding" column.
std::vector<Record> budget_records(const Budget &budget);
