// How far a conclusion holds when the model's assumptions move: the numbers of the model that
// one option set uses, each moved down and up by a spread (sensitivity), or all drawn at random
// within their ranges many times (uncertainty, study/uncertainty.h), with the best
// configuration searched under each changed model. A changed model is a copy of the model in
// use with some numbers set, searched under the limits in force with the model in use (the
// study's limits do not move with the model).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "modelfile/model_file.h"
#include "search/engine.h"
#include "study/design.h"
#include "study/table.h"

// The numbers of the model that the option set's figures read, in the order of an exported
// model file: the parallel fraction and the working sets' growth; the reference chip's
// numbers; the memory stack's with 3D memory; the workload's and the core kind's; the node's
// that its transistor kinds, memory kind and core kind read, and the core kind's area there.
// Not listed: the calendar years (a percentage of a year is no assumption) and the node's
// default limits (the study's limits are held).
std::vector<ModelNumberField> used_fields(const OptionSet &options, const Model &model);

// The range a field is moved within: its value down and up by spread x |value|, kept within
// the values the field accepts (whole fields rounded to whole numbers).
struct FieldRange {
    double low, high;
};
FieldRange moved_range(const ModelNumberField &field, double value, double spread);

// The range sensitivity moves a field within. A parallel fraction p moves its serial share
// 1 - p down and up by the spread (p = 1 - (1 - p)(1 -/+ spread), the low end at least 0), so
// that p stays below 1 wherever the model has serial work: moving p itself clips at 1, a chip
// with no serial work whose best configuration jumps to the largest core count. Every other
// field moves as moved_range.
FieldRange sensitivity_range(const ModelNumberField &field, double value, double spread);

// The spread accepted: a fraction above 0 and below 1 (given in percent: above 0, below 100).
constexpr const char *kSpreadAccepted = "a number of percent above 0 and below 100 (default 10)";

// The best configuration under a model, with the limits in force under the model in use and no
// held dimension (the search engine's outcome).
SearchOutcome search_under(const Request &request, const Model &model);

struct SensitivityEnd {
    double value; // the field's value at this end
    SearchOutcome best;
};

struct SensitivityRow {
    std::string field; // as a model file names it
    double value;      // in the model in use
    SensitivityEnd low, high;
    double effect;      // the larger change in percent at either end; infinite where an end
                        // changes whether any configuration meets the limits
    bool optimum_moves; // the configuration at either end differs from the optimum
};

struct Sensitivity {
    Request request;
    double spread;
    SearchOutcome base;
    std::vector<SensitivityRow> rows; // by effect, largest first; equal effects in field order
};

// The request's held dimensions are ignored: only options and limits count.
Sensitivity sensitivity(const Request &request, double spread, int jobs);

// Change of an end's best speedup over the base, in percent (NaN when either has none).
double change_percent(const SearchOutcome &base, const SearchOutcome &end);

// A row per field: field, value, then for the low and the high end its value, best speedup,
// change_pct, cores, cache_mb and scale, and optimum_moves.
Table sensitivity_table(const Sensitivity &sensitivity);
