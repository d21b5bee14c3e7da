// The model against real chips: per chip and figure (clock, die area, power) the published
// figure beside the model's, their ratio, and a summary per figure.
//
// Each chip is evaluated at its table's option set, core count and cache size. The clock is the
// model's at the published supply (the nominal one where none is published); the power is the
// model's at the published clock and supply, and also at the model's own clock; the area does
// not depend on the operating point.
#pragma once

#include <string>
#include <vector>

#include "chips/chip_table.h"
#include "chips/evaluation.h"
#include "study/table.h"

enum class ChipFigure { Clock, Area, Power };
constexpr int kChipFigures = 3;
const char *chip_figure_name(ChipFigure figure); // "clock", "area", "power"
const char *chip_figure_unit(ChipFigure figure); // "GHz", "mm^2", "W"

struct ChipComparison {
    size_t chip; // index into the table
    ChipFigure figure;
    double published, predicted;
    double ratio; // predicted / published
    double error() const { return ratio - 1; }
    std::string
        kind; // what the published figure is: "die", "cpu", "max", "tdp", ...; empty for a clock
    double vdd, freq; // the operating point of the prediction, V and GHz
    // Power only: the model's power at its own clock (at the same supply). Power and area: the
    // power's terms at the published clock (with the share of the area that is the node's
    // uncore).
    double predicted_at_model_clock = 0;
    PowerBreakdown terms{};
};

struct FigureSummary {
    size_t count = 0;
    double median_error = 0; // of |predicted / published - 1|
    double worst_error = 0;  // the largest |predicted / published - 1|
    double geometric_mean_ratio = 0;
};

struct Validation {
    std::vector<ChipComparison> rows; // by chip, then clock, area, power (those published)
    FigureSummary summary[kChipFigures];
};

// The figures a table gives, compared with the model's.
Validation validate(const Model &model, const std::vector<Chip> &chips);

// The summary of some comparisons, per figure.
void summarize(const std::vector<ChipComparison> &rows, FigureSummary out[kChipFigures]);

// The comparisons as columns: chip, figure, kind, published, predicted, ratio, error, vdd_v,
// freq_ghz, power_at_model_clock_w and the power's terms (empty but for power rows).
Table validation_table(const Validation &validation, const std::vector<Chip> &chips);

// The summary as columns: figure, count, median_error, worst_error, geometric_mean_ratio.
Table validation_summary_table(const Validation &validation);

// The comparisons and the summary as text, one line per comparison with the power's terms
// under each power line.
std::string validation_text(const Validation &validation, const std::vector<Chip> &chips);
