// Fitting model-file fields to real chips: the fields named as a model file places them
// ("node.65nm.fmax_LOP", "node.45nm.core_area_LOP_mm2.ARM", "constants.parallel_fraction") are
// moved so that the model's clock, area and power come as close as they can to the published
// ones, by least squares on the logarithms of predicted / published (so that a figure twice too
// large weighs as much as one half too small). A field that must stay above 0 is fitted on its
// logarithm, so it stays there.
//
// The fit is refused, with the reason, when there are more fields than published figures, when
// no chip's figures depend on a field, or when the figures cannot tell some fields apart.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "chips/chip_table.h"
#include "chips/validation.h"

struct FittedField {
    std::string name;
    double before, after;
};

struct Calibration {
    std::string error; // why nothing was fitted; empty when fitted
    std::vector<FittedField> fields;
    std::shared_ptr<const Model> model; // the model with the fitted values
    Validation before, after; // in sample: every chip against the model, unfitted and fitted
    // Each chip's figures predicted by a fit to the other chips. A field that only its figures
    // depend on keeps the model's value there (a note names it: such a field is fitted, not
    // checked); a chip without which the fit is refused has none, and a note says why.
    std::vector<ChipComparison> leave_one_out;
    FigureSummary leave_one_out_summary[kChipFigures];
    std::vector<std::string> leave_one_out_notes;
    int iterations = 0;
};

// Fits the fields over the chips, starting from `model`.
Calibration calibrate(const Model &model, const std::vector<Chip> &chips,
                      const std::vector<std::string> &fields);

// The fields of a comma-separated list ("node.65nm.fmax_LOP,constants.parallel_fraction").
std::vector<std::string> field_list(const std::string &text);

// The model file of a calibration: it extends `extends` ("built-in" or a model file's path as
// the new file should name it) and gives the fitted fields only. Its comments record how it
// was made (`how`: the command), the chips with their published figures and sources, the fitted
// values beside the ones before, and the errors in sample and leave one out.
std::string calibrated_model_text(const Calibration &calibration, const std::vector<Chip> &chips,
                                  const std::string &extends, const std::string &how);

// The errors in sample (before and after the fit) and leave one out, per figure, as text.
std::string calibration_text(const Calibration &calibration);
