#include "chips/validation.h"

#include <algorithm>
#include <cmath>

#include "study/result_columns.h"

const char *chip_figure_name(ChipFigure figure) {
    return figure == ChipFigure::Clock ? "clock" : figure == ChipFigure::Area ? "area" : "power";
}

const char *chip_figure_unit(ChipFigure figure) {
    return figure == ChipFigure::Clock ? "GHz" : figure == ChipFigure::Area ? "mm^2" : "W";
}

namespace {

EvaluationRequest request_of(const Chip &chip, double vdd, double freq) {
    EvaluationRequest r;
    r.options = chip.options;
    r.cores = chip.cores;
    r.cache_mb = chip.cache_mb;
    r.vdd = vdd;
    r.freq = freq;
    return r;
}

ChipComparison compared(size_t chip, ChipFigure figure, double published, double predicted,
                        std::string kind, double vdd, double freq) {
    ChipComparison c{chip, figure, published, predicted, predicted / published, std::move(kind),
                     vdd,  freq};
    return c;
}

} // namespace

Validation validate(const Model &model, const std::vector<Chip> &chips) {
    Validation v;
    for (size_t i = 0; i < chips.size(); i++) {
        const Chip &chip = chips[i];
        const double vdd = chip.vdd_v.value_or(nominal_supply(model, chip.options));
        const double model_clock = clock_at_supply(model, chip.options, vdd);
        v.rows.push_back(
            compared(i, ChipFigure::Clock, chip.freq_ghz, model_clock, "", vdd, model_clock));
        if (!chip.area_mm2 && !chip.power_w)
            continue;
        const Evaluation at_published = evaluate(model, request_of(chip, vdd, chip.freq_ghz));
        if (chip.area_mm2) {
            ChipComparison c =
                compared(i, ChipFigure::Area, *chip.area_mm2, at_published.figures.area,
                         chip.area_covers, vdd, chip.freq_ghz);
            c.terms = at_published.power; // its uncore_area: the share of the area that is uncore
            v.rows.push_back(c);
        }
        if (chip.power_w) {
            ChipComparison c =
                compared(i, ChipFigure::Power, *chip.power_w, at_published.figures.power,
                         chip.power_kind, vdd, chip.freq_ghz);
            c.terms = at_published.power;
            c.predicted_at_model_clock =
                evaluate(model, request_of(chip, vdd, model_clock)).figures.power;
            v.rows.push_back(c);
        }
    }
    summarize(v.rows, v.summary);
    return v;
}

void summarize(const std::vector<ChipComparison> &rows, FigureSummary out[kChipFigures]) {
    for (int f = 0; f < kChipFigures; f++) {
        std::vector<double> errors;
        double log_sum = 0;
        for (const ChipComparison &c : rows)
            if (int(c.figure) == f) {
                // A figure the model cannot give (NaN) is the worst error, not one to sort by.
                const double error = std::fabs(c.error());
                errors.push_back(std::isnan(error) ? INFINITY : error);
                log_sum += std::log(c.ratio);
            }
        FigureSummary s;
        s.count = errors.size();
        if (!errors.empty()) {
            std::sort(errors.begin(), errors.end());
            const size_t n = errors.size();
            s.median_error = n % 2 ? errors[n / 2] : (errors[n / 2 - 1] + errors[n / 2]) / 2;
            s.worst_error = errors.back();
            s.geometric_mean_ratio = std::exp(log_sum / double(n));
        }
        out[f] = s;
    }
}

Table validation_table(const Validation &v, const std::vector<Chip> &chips) {
    Table t;
    t.add("chip", ColumnType::Name, [&] {
        std::vector<std::string> names;
        for (const Chip &c : chips)
            names.push_back(c.name);
        return names;
    }());
    t.add("figure", ColumnType::Name, {"clock", "area", "power"});
    t.add("kind", ColumnType::Name, {"die", "cpu", "max", "tdp", "nominal", "measured"});
    for (const char *name : {"published", "predicted", "ratio", "error", "vdd_v", "freq_ghz",
                             "power_at_model_clock_w"})
        t.add(name, ColumnType::Number);
    add_power_columns(t);
    const std::vector<std::string> &kinds = t.columns[2].labels();
    for (const ChipComparison &c : v.rows) {
        t.columns[0].add_name(int(c.chip));
        t.columns[1].add_name(int(c.figure));
        const auto kind = std::find(kinds.begin(), kinds.end(), c.kind);
        if (kind == kinds.end())
            t.columns[2].add_none();
        else
            t.columns[2].add_name(int(kind - kinds.begin()));
        t.columns[3].add_number(c.published);
        t.columns[4].add_number(c.predicted);
        t.columns[5].add_number(c.ratio);
        t.columns[6].add_number(c.error());
        t.columns[7].add_number(c.vdd);
        t.columns[8].add_number(c.freq);
        const bool power = c.figure == ChipFigure::Power;
        if (power)
            t.columns[9].add_number(c.predicted_at_model_clock);
        else
            t.columns[9].add_none();
        add_power_values(t, power ? &c.terms : nullptr);
    }
    return t;
}

Table validation_summary_table(const Validation &v) {
    Table t;
    t.add("figure", ColumnType::Name, {"clock", "area", "power"});
    t.add("count", ColumnType::Integer);
    for (const char *name : {"median_error", "worst_error", "geometric_mean_ratio"})
        t.add(name, ColumnType::Number);
    for (int f = 0; f < kChipFigures; f++) {
        const FigureSummary &s = v.summary[f];
        t.columns[0].add_name(f);
        t.columns[1].add_integer(int64_t(s.count));
        for (size_t i = 2; i < 5; i++) {
            if (s.count == 0) {
                t.columns[i].add_none();
                continue;
            }
            t.columns[i].add_number(i == 2   ? s.median_error
                                    : i == 3 ? s.worst_error
                                             : s.geometric_mean_ratio);
        }
    }
    return t;
}

namespace {

// The model's clock for a chip, from its clock row.
double clock_of_row(const Validation &v, size_t chip) {
    for (const ChipComparison &c : v.rows)
        if (c.chip == chip && c.figure == ChipFigure::Clock)
            return c.predicted;
    return NAN;
}

std::string percent(double error) {
    return format("%+.1f %%", error * 100);
}

std::string published_text(const ChipComparison &c, const Chip &chip) {
    switch (c.figure) {
    case ChipFigure::Clock:
        return format("%.4g GHz", c.published) +
               (chip.vdd_v ? format(" at %.4g V", *chip.vdd_v) : std::string());
    case ChipFigure::Area:
        return format("%.4g mm^2 (%s)", c.published, c.kind.c_str());
    case ChipFigure::Power:
        return format("%.4g W (%s)", c.published, c.kind.c_str());
    }
    return {};
}

} // namespace

std::string validation_text(const Validation &v, const std::vector<Chip> &chips) {
    std::string out = format("%-18s %-6s %-22s %-14s %8s %10s\n", "chip", "figure", "published",
                             "predicted", "ratio", "error");
    size_t last_chip = size_t(-1);
    for (const ChipComparison &c : v.rows) {
        const Chip &chip = chips[c.chip];
        const std::string name = c.chip == last_chip ? "" : chip.name;
        last_chip = c.chip;
        const std::string predicted = format("%.4g %s", c.predicted, chip_figure_unit(c.figure));
        out += format("%-18s %-6s %-22s %-14s %8.3f %10s\n", name.c_str(),
                      chip_figure_name(c.figure), published_text(c, chip).c_str(),
                      predicted.c_str(), c.ratio, percent(c.error()).c_str());
        if (c.figure == ChipFigure::Area && c.terms.uncore_area != 0)
            out += format("%26s of which the node's uncore %.4g mm^2\n", "", c.terms.uncore_area);
        if (c.figure == ChipFigure::Clock)
            out += format("%26s model clock at %s%.4g V\n", "",
                          chip.vdd_v ? "the published " : "the nominal ", c.vdd);
        if (c.figure == ChipFigure::Power) {
            out += format("%26s at the published %.4g GHz and %.4g V; %.4g W at the model's "
                          "%.4g GHz\n",
                          "", c.freq, c.vdd, c.predicted_at_model_clock, clock_of_row(v, c.chip));
            const PowerTerms &p = c.terms.chip;
            const std::pair<const char *, double> terms[] = {
                {"core switching", p.core_switching},  {"shared logic", p.shared_logic},
                {"L2 switching", p.l2_switching},      {"core leakage", p.core_leakage},
                {"L2 leakage", p.l2_leakage},          {"memory interface", p.memory_interface},
                {"memory stack", c.terms.memory_stack}};
            for (const auto &[caption, watts] : terms)
                out += format("%28s%-18s %9.4g W\n", "", caption, watts);
            if (p.uncore != 0)
                out += format("%28s%-18s %9.4g W\n", "", "uncore", p.uncore);
        }
    }
    out += "\nSummary (error = predicted / published - 1)\n";
    out += format("%-6s %6s %14s %14s %22s\n", "figure", "count", "median |error|", "worst |error|",
                  "geometric mean ratio");
    for (int f = 0; f < kChipFigures; f++) {
        const FigureSummary &s = v.summary[f];
        if (s.count == 0) {
            out += format("%-6s %6zu %14s %14s %22s\n", chip_figure_name(ChipFigure(f)), s.count,
                          "-", "-", "-");
            continue;
        }
        out += format("%-6s %6zu %12.1f %% %12.1f %% %22.3f\n", chip_figure_name(ChipFigure(f)),
                      s.count, s.median_error * 100, s.worst_error * 100, s.geometric_mean_ratio);
    }
    return out;
}
