#include "chips/calibration.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "chips/least_squares.h"
#include "modelfile/model_file.h"
#include "study/result_columns.h"

namespace {

// A field as the fit moves it: on its logarithm where it must stay at or above 0, so that it
// does. One at 0 (a node's uncore, off) starts at 1 in its unit: on the logarithm, 0 is out of
// reach and no figure would move with it.
struct Parameter {
    ModelNumberField field;
    bool logarithmic;
    double value(double x) const { return logarithmic ? std::exp(x) : x; }
    double start(const Model &m) const {
        const double v = field.value(m);
        return logarithmic ? std::log(v > 0 ? v : 1.0) : v;
    }
};

Model with_values(const Model &base, const std::vector<Parameter> &parameters,
                  const std::vector<double> &x) {
    Model m = base;
    for (size_t k = 0; k < parameters.size(); k++)
        parameters[k].field.value(m) = parameters[k].value(x[k]);
    return m;
}

// log(predicted / published) of every comparison; a figure the model cannot give (0, negative
// or not finite) counts as far off, so that no step leads there.
std::vector<double> log_ratios(const Model &base, const std::vector<Parameter> &parameters,
                               const std::vector<double> &x, const std::vector<Chip> &chips) {
    const Validation v = validate(with_values(base, parameters, x), chips);
    std::vector<double> r;
    r.reserve(v.rows.size());
    for (const ChipComparison &c : v.rows) {
        const double l = std::log(c.ratio);
        r.push_back(std::isfinite(l) ? l : 1e6);
    }
    return r;
}

// Whether any of the chips' figures moves with the field.
bool depends_on(const Model &base, const Parameter &p, const std::vector<Chip> &chips) {
    const std::vector<Parameter> one = {p};
    const std::vector<double> x0 = {p.start(base)};
    const std::vector<std::vector<double>> jacobian = numeric_jacobian(
        [&](const std::vector<double> &x) { return log_ratios(base, one, x, chips); }, x0);
    for (const auto &row : jacobian)
        if (std::isfinite(row[0]) && std::fabs(row[0]) > 1e-12)
            return true;
    return false;
}

struct Fit {
    std::string error;
    std::vector<double> x;
    int iterations = 0;
};

Fit fit(const Model &base, const std::vector<Parameter> &parameters,
        const std::vector<Chip> &chips) {
    Fit out;
    std::vector<double> x0;
    for (const Parameter &p : parameters)
        x0.push_back(p.start(base));
    const Residuals f = [&](const std::vector<double> &x) {
        return log_ratios(base, parameters, x, chips);
    };
    const size_t figures = f(x0).size();
    if (parameters.size() > figures) {
        out.error = std::to_string(parameters.size()) + " fields cannot be fitted to " +
                    std::to_string(figures) + " published figure" + (figures == 1 ? "" : "s") +
                    "; accepted: at most as many fields as figures";
        return out;
    }
    const std::vector<std::vector<double>> jacobian = numeric_jacobian(f, x0);
    for (size_t k = 0; k < parameters.size(); k++) {
        bool moves = false;
        for (const auto &row : jacobian)
            moves = moves || (std::isfinite(row[k]) && std::fabs(row[k]) > 1e-12);
        if (!moves) {
            out.error = parameters[k].field.name +
                        ": no chip's clock, area or power depends on it; accepted: a field that "
                        "the table's published figures depend on";
            return out;
        }
    }
    if (column_rank(jacobian) < int(parameters.size())) {
        std::string names;
        for (const Parameter &p : parameters)
            names += (names.empty() ? "" : ", ") + p.field.name;
        out.error = "the published figures cannot tell " + names +
                    " apart (they move the same figures alike); accepted: fields that the "
                    "figures tell apart";
        return out;
    }
    const LeastSquaresFit result = levenberg_marquardt(f, x0);
    out.x = result.x;
    out.iterations = result.iterations;
    for (size_t k = 0; k < parameters.size(); k++) {
        const double v = parameters[k].value(out.x[k]);
        if (!parameters[k].field.admits(v)) {
            out.error =
                parameters[k].field.name + ": the fit takes it to " + shortest(v) +
                ", which a model file does not accept; accepted: " + parameters[k].field.accepted();
            return out;
        }
    }
    return out;
}

} // namespace

std::vector<std::string> field_list(const std::string &text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        std::string item = text.substr(start, comma - start);
        const size_t first = item.find_first_not_of(" \t");
        const size_t last = item.find_last_not_of(" \t");
        out.push_back(first == std::string::npos ? "" : item.substr(first, last - first + 1));
        start = comma + 1;
    }
    return out;
}

Calibration calibrate(const Model &model, const std::vector<Chip> &chips,
                      const std::vector<std::string> &names) {
    Calibration c;
    if (names.empty()) {
        c.error = "--fit: no fields; accepted: one or more fields as a model file names them, "
                  "such as node.65nm.fmax_LOP";
        return c;
    }
    const std::vector<ModelNumberField> all = model_number_fields(model);
    std::vector<Parameter> parameters;
    for (const std::string &name : names) {
        const auto found = std::find_if(all.begin(), all.end(),
                                        [&](const ModelNumberField &f) { return f.name == name; });
        if (found == all.end()) {
            c.error = "--fit: '" + name +
                      "' names no number of the model; accepted: a field as a model file names "
                      "it, such as node.65nm.fmax_LOP, node.45nm.core_area_LOP_mm2.ARM or "
                      "constants.parallel_fraction";
            return c;
        }
        if (std::any_of(parameters.begin(), parameters.end(),
                        [&](const Parameter &p) { return p.field.name == name; })) {
            c.error = "--fit: '" + name + "' is named twice; accepted: each field once";
            return c;
        }
        const double v = found->value(model);
        parameters.push_back(Parameter{*found, found->low >= 0 && v >= 0});
    }
    const Fit full = fit(model, parameters, chips);
    if (!full.error.empty()) {
        c.error = full.error;
        return c;
    }
    auto fitted = std::make_shared<Model>(with_values(model, parameters, full.x));
    for (size_t k = 0; k < parameters.size(); k++)
        c.fields.push_back(FittedField{parameters[k].field.name, parameters[k].field.value(model),
                                       parameters[k].field.value(*fitted)});
    c.before = validate(model, chips);
    c.after = validate(*fitted, chips);
    c.iterations = full.iterations;
    c.model = fitted;

    for (size_t i = 0; i < chips.size(); i++) {
        std::vector<Chip> others = chips;
        others.erase(others.begin() + long(i));
        // The fields the other chips' figures depend on are fitted to them; one that only this
        // chip's figures depend on keeps the model's value: nothing else tells it.
        std::vector<Parameter> told;
        std::string kept;
        for (const Parameter &p : parameters) {
            if (depends_on(model, p, others))
                told.push_back(p);
            else
                kept += (kept.empty() ? "" : ", ") + p.field.name;
        }
        std::vector<double> x;
        if (!told.empty()) {
            const Fit without = fit(model, told, others);
            if (!without.error.empty()) {
                c.leave_one_out_notes.push_back(chips[i].name +
                                                ": no fit without it: " + without.error);
                continue;
            }
            x = without.x;
        }
        if (!kept.empty())
            c.leave_one_out_notes.push_back(chips[i].name + ": predicted with the model's " + kept +
                                            " (only its figures depend on " +
                                            (kept.find(',') == std::string::npos ? "it" : "them") +
                                            ")");
        const Validation left_out = validate(with_values(model, told, x), {chips[i]});
        for (ChipComparison row : left_out.rows) {
            row.chip = i;
            c.leave_one_out.push_back(row);
        }
    }
    summarize(c.leave_one_out, c.leave_one_out_summary);
    return c;
}

namespace {

std::string summary_lines(const FigureSummary summary[kChipFigures], const char *prefix) {
    std::string out;
    for (int f = 0; f < kChipFigures; f++) {
        const FigureSummary &s = summary[f];
        if (s.count == 0)
            out += format("%s%-6s %5zu %14s %14s %20s\n", prefix, chip_figure_name(ChipFigure(f)),
                          s.count, "-", "-", "-");
        else
            out += format("%s%-6s %5zu %12.1f %% %12.1f %% %20.3f\n", prefix,
                          chip_figure_name(ChipFigure(f)), s.count, s.median_error * 100,
                          s.worst_error * 100, s.geometric_mean_ratio);
    }
    return out;
}

std::string errors_text(const Calibration &c, const char *prefix) {
    const std::string head = format("%s%-6s %5s %14s %14s %20s\n", prefix, "figure", "count",
                                    "median |error|", "worst |error|", "geometric mean ratio");
    std::string out;
    out += std::string(prefix) + "In sample, before the fit:\n" + head +
           summary_lines(c.before.summary, prefix);
    out += std::string(prefix) + "In sample, after the fit:\n" + head +
           summary_lines(c.after.summary, prefix);
    out += std::string(prefix) + "Leave one out (each chip predicted by a fit to the others):\n" +
           head + summary_lines(c.leave_one_out_summary, prefix);
    for (const std::string &note : c.leave_one_out_notes)
        out += std::string(prefix) + "  " + note + "\n";
    return out;
}

std::string toml_text(const std::string &text) {
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + "\"";
}

} // namespace

std::string calibration_text(const Calibration &c) {
    std::string out = "Fitted fields (before -> after):\n";
    for (const FittedField &f : c.fields)
        out += "  " + f.name + ": " + shortest(f.before) + " -> " + shortest(f.after) + "\n";
    out += "\n" + errors_text(c, "");
    return out;
}

std::string calibrated_model_text(const Calibration &c, const std::vector<Chip> &chips,
                                  const std::string &extends, const std::string &how) {
    std::string out = "# A calibrated model: the fields below fitted to real chips' published "
                      "clock, area and\n# power by least squares on the logarithms of "
                      "predicted / published.\n";
    out += "# Made by: " + how + "\n# Extends: " + extends + "\n#\n# Chips and their sources:\n";
    for (const Chip &chip : chips) {
        out += "#   " + chip.name + ": " + shortest(chip.cores) + " cores, " +
               shortest(chip.cache_mb) + " MB, " + shortest(chip.freq_ghz) + " GHz";
        if (chip.vdd_v)
            out += " at " + shortest(*chip.vdd_v) + " V";
        if (chip.area_mm2)
            out += ", " + shortest(*chip.area_mm2) + " mm^2 (" + chip.area_covers + ")";
        if (chip.power_w)
            out += ", " + shortest(*chip.power_w) + " W (" + chip.power_kind + ")";
        out += "\n";
        for (const std::string &source : chip.sources)
            out += "#     " + source + "\n";
    }
    out += "#\n# Fitted fields (before -> after):\n";
    for (const FittedField &f : c.fields)
        out += "#   " + f.name + ": " + shortest(f.before) + " -> " + shortest(f.after) + "\n";
    out += "#\n# Errors (predicted / published - 1):\n" + errors_text(c, "#   ");
    out += "\nformat_version = 1\nextends = " + toml_text(extends) + "\n";

    // The fields by section, and by entry within the sections of entries.
    const Model &m = *c.model;
    std::map<std::string, std::vector<std::pair<std::string, double>>> plain;
    std::vector<std::pair<std::string, std::string>> entries; // section, entry name, in order
    std::map<std::pair<std::string, std::string>, std::vector<std::pair<std::string, double>>>
        by_entry;
    for (const ModelNumberField &f : model_number_fields(m)) {
        if (std::none_of(c.fields.begin(), c.fields.end(),
                         [&](const FittedField &x) { return x.name == f.name; }))
            continue;
        if (f.entry < 0) {
            plain[f.section].emplace_back(f.key, f.value(m));
            continue;
        }
        const std::string entry = f.section == "node"       ? m.nodes[size_t(f.entry)].name
                                  : f.section == "workload" ? m.workloads[size_t(f.entry)].name
                                                            : m.core_kinds[size_t(f.entry)].name;
        const std::pair<std::string, std::string> key{f.section, entry};
        if (std::find(entries.begin(), entries.end(), key) == entries.end())
            entries.push_back(key);
        by_entry[key].emplace_back(f.key, f.value(m));
    }
    for (const auto &[section, values] : plain) {
        out += "\n[" + section + "]\n";
        for (const auto &[key, value] : values)
            out += key + " = " + shortest(value) + "\n";
    }
    for (const auto &key : entries) {
        out += "\n[[" + key.first + "]]\nname = " + toml_text(key.second) + "\n";
        std::map<std::string, std::string> tables; // core_area_*_mm2 = { KIND = value, ... }
        for (const auto &[field, value] : by_entry[key]) {
            const size_t dot = field.find('.');
            if (dot == std::string::npos) {
                out += field + " = " + shortest(value) + "\n";
                continue;
            }
            std::string &t = tables[field.substr(0, dot)];
            t += (t.empty() ? "" : ", ") + toml_text(field.substr(dot + 1)) + " = " +
                 shortest(value);
        }
        for (const auto &[field, values] : tables)
            out += field + " = { " + values + " }\n";
    }
    return out;
}
