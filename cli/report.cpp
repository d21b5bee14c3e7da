#include "cli/report.h"

#include <cmath>
#include <cstdio>

#include "model/model.h"
#include "model/tables.h"

std::string limits_line(const OptionSet &o, const LimitValues &l) {
    std::string text = "area " + shortest(l.area) + " mm^2, power " + shortest(l.power) +
                       " W, off-chip bandwidth " + shortest(l.bandwidth) + " GB/s";
    if (o.memory != 0)
        text += ", TSV bandwidth " + shortest(l.tsv) + " GB/s";
    return text;
}

namespace {

std::string join(const std::vector<std::string> &parts, const char *separator) {
    std::string text;
    for (const std::string &part : parts) {
        if (!text.empty())
            text += separator;
        text += part;
    }
    return text;
}

std::vector<std::string> limit_names(const std::vector<Limit> &limits) {
    std::vector<std::string> names;
    for (Limit limit : limits)
        names.push_back(limit_name(limit));
    return names;
}

std::string scale_text(int scale) {
    return step_text(active_model().scale_steps[scale]);
}

} // namespace

std::string request_text(const Request &r) {
    std::string text = "Options:  " + describe(r.options) + "\n";
    text += "Limits:   " + limits_line(r.options, limits_in_force(r.options, r.limits)) + "\n";
    const Holds &h = r.holds;
    std::vector<std::string> held;
    if (h.cores)
        held.push_back(format("%d cores", int(active_model().core_counts[*h.cores])));
    if (h.cache)
        held.push_back(format("%d MB L2 cache", int(active_model().cache_sizes[*h.cache])));
    if (h.scale) {
        const OperatingPoint op = held_operating_point(r.options, h);
        held.push_back("scale step " + scale_text(*h.scale) +
                       format(" at %.3f V, %.3f GHz", op.vdd, op.freq));
    }
    if (!held.empty())
        text += "Held:     " + join(held, ", ") + "\n";
    return text + model_line(r.options.workload);
}

std::string model_line(std::optional<int> workload) {
    const Model &m = active_model();
    return "Model:    " + (m.source == "built-in" ? std::string("built-in") : m.source) +
           ", parallel fraction " + parallel_fraction_text(workload) + " (docs/model.md)\n";
}

// A term of a breakdown with its share of the whole.
static std::string share_line(const char *caption, double value, const char *unit, double whole) {
    const double share = value / whole * 100;
    return format("    %-16s %9.2f %-2s %s\n", caption, value, unit,
                  std::isfinite(share) ? format("%5.1f %%", share).c_str() : "    -");
}

std::string power_terms_text(const PowerBreakdown &b) {
    const PowerTerms &p = b.chip;
    const std::pair<const char *, double> terms[] = {
        {"core switching", p.core_switching}, {"shared logic", p.shared_logic},
        {"L2 switching", p.l2_switching},     {"core leakage", p.core_leakage},
        {"L2 leakage", p.l2_leakage},         {"memory interface", p.memory_interface},
        {"memory stack", b.memory_stack}};
    std::string text;
    for (const auto &term : terms) {
        if (term.first == std::string_view("memory stack") && has_uncore(active_model()))
            text += share_line("uncore", p.uncore, "W", b.power);
        text += share_line(term.first, term.second, "W", b.power);
    }
    return text;
}

std::string power_columns_header() {
    return format(" %9s %9s %9s %9s %9s %9s %9s", "core sw W", "shared W", "L2 sw W", "core lk W",
                  "L2 lk W", "mem if W", "stack W") +
           (has_uncore(active_model()) ? format(" %9s %9s", "uncore W", "unc mm^2") : "");
}

std::string power_columns(const PowerBreakdown &b) {
    const PowerTerms &p = b.chip;
    return format(" %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f", p.core_switching, p.shared_logic,
                  p.l2_switching, p.core_leakage, p.l2_leakage, p.memory_interface,
                  b.memory_stack) +
           (has_uncore(active_model()) ? format(" %9.2f %9.2f", p.uncore, b.uncore_area) : "");
}

std::string best_text(const BestConfiguration &b, const std::vector<double> &least,
                      const PowerBreakdown *breakdown) {
    if (!b.feasible) {
        if (b.unmeetable.empty())
            return std::string("No configuration meets the area, power and ") +
                   (b.options.memory != 0 ? "both bandwidth" : "bandwidth") +
                   " limits together, though each of them on its own can be met.\n";
        std::string text = "No configuration meets the limits:\n";
        for (size_t i = 0; i < b.unmeetable.size(); i++) {
            const Limit limit = b.unmeetable[i];
            text += std::string("  ") + caption_of(limit) + " limit " +
                    shortest(limit_value(b.limits, limit)) + " " + unit_of(limit) +
                    ": no configuration meets it";
            if (i < least.size() && std::isfinite(least[i]))
                text += format(" (the least %s in range is %.6g %s)", caption_of(limit), least[i],
                               unit_of(limit));
            else if (i < least.size())
                text += " (no configuration in range has finite figures)";
            text += "\n";
        }
        return text;
    }
    const ConfigurationFigures &f = b.figures;
    const bool stacked = b.options.memory != 0;
    std::string text = "Best configuration\n";
    text += format("  speedup          %.4f\n", b.speedup);
    text += format("  cores            %d\n", int(active_model().core_counts[b.cores]));
    text += format("  L2 cache         %d MB\n", int(active_model().cache_sizes[b.cache]));
    text += "  scale step       " + scale_text(b.scale) + "\n";
    text += format("  supply voltage   %.3f V\n", b.vdd);
    text += format("  frequency        %.3f GHz\n", b.freq);
    auto figure = [&](const char *caption, double value, Limit limit) {
        const std::string amount = format("%.2f %s", value, unit_of(limit));
        return format("  %-16s %-13s (limit %s)\n", caption, amount.c_str(),
                      shortest(limit_value(b.limits, limit)).c_str());
    };
    text += figure("area", f.area, Limit::Area);
    if (breakdown != nullptr && has_uncore(active_model()))
        text += share_line("uncore", breakdown->uncore_area, "mm^2", f.area);
    text += figure("power", f.power, Limit::Power);
    if (breakdown != nullptr)
        text += power_terms_text(*breakdown);
    text += figure(stacked ? "off-chip bw" : "bandwidth", f.bandwidth, Limit::Bandwidth);
    if (stacked)
        text += figure("TSV bandwidth", f.bandwidth_tsv, Limit::Tsv);
    if (b.below_voltage_floor)
        text += "Note: the supply is below the voltage floor (2.3 x the threshold voltage), so "
                "every configuration's speedup is 0.\n";
    return text;
}

std::string best_columns_header() {
    return format("%9s %5s %6s %5s %6s %6s %8s %7s %8s %8s\n", "speedup", "cores", "L2 MB", "scale",
                  "Vdd V", "f GHz", "area mm2", "power W", "bw GB/s", "TSV GB/s");
}

std::string best_columns(const BestConfiguration &b) {
    if (!b.feasible)
        return b.unmeetable.empty()
                   ? "no configuration: the limits together\n"
                   : "no configuration: " + join(limit_names(b.unmeetable), "+") + " limit\n";
    const ConfigurationFigures &f = b.figures;
    std::string text =
        format("%9.4f %5d %6d %5s %6.3f %6.3f %8.2f %7.2f %8.3f ", b.speedup,
               int(active_model().core_counts[b.cores]), int(active_model().cache_sizes[b.cache]),
               scale_text(b.scale).c_str(), b.vdd, b.freq, f.area, f.power, f.bandwidth);
    return text +
           (b.options.memory != 0 ? format("%8.3f\n", f.bandwidth_tsv) : format("%8s\n", "-"));
}

std::string sweep_text_header() {
    return model_line(std::nullopt) +
           format("%-10s %-6s %-6s %-7s %-5s ", "workload", "memory", "trans.", "core", "node") +
           best_columns_header();
}

std::string sweep_text_row(const BestConfiguration &b) {
    const Model &m = active_model();
    const OptionSet &o = b.options;
    return format("%-10s %-6s %-6s %-7s %-5s ", m.workloads[o.workload].name.c_str(),
                  m.memory_kinds[o.memory].name.c_str(),
                  m.transistor_kinds[o.transistor].name.c_str(),
                  m.core_kinds[o.core_kind].name.c_str(), m.nodes[o.node].name.c_str()) +
           best_columns(b);
}

std::string space_text_header() {
    return format("%5s %6s %6s %5s %6s %9s %8s %8s %8s %9s  %s\n", "scale", "Vdd V", "f GHz",
                  "cores", "L2 MB", "area mm2", "power W", "bw GB/s", "TSV GB/s", "speedup",
                  "breaks");
}

std::string space_text_row(const SpaceRow &row, bool stacked) {
    const ConfigurationFigures &f = row.figures;
    std::vector<std::string> broken;
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv})
        if (row.breaks[int(limit)])
            broken.push_back(limit_name(limit));
    std::string text =
        format("%5s %6.3f %6.3f %5d %6d %9.2f %8.2f %8.3f ", scale_text(row.scale).c_str(), row.vdd,
               row.freq, int(active_model().core_counts[row.cores]),
               int(active_model().cache_sizes[row.cache]), f.area, f.power, f.bandwidth);
    text += stacked ? format("%8.3f", f.bandwidth_tsv) : format("%8s", "-");
    return text +
           format(" %9.4f  %s\n", f.speedup, broken.empty() ? "-" : join(broken, "+").c_str());
}
