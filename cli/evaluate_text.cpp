#include "cli/evaluate_text.h"

#include "cli/report.h"
#include "study/result_columns.h"

namespace {

std::string figures_text(const Evaluation &e, bool breakdown) {
    const ConfigurationFigures &f = e.figures;
    const bool stacked = e.request.options.memory != 0;
    std::string text = format("  speedup          %.4f\n", f.speedup);
    auto figure = [&](const char *caption, double value, Limit limit) {
        const std::string amount = format("%.2f %s", value, unit_of(limit));
        return format("  %-16s %-13s (limit %s%s)\n", caption, amount.c_str(),
                      shortest(limit_value(e.limits, limit)).c_str(),
                      e.breaks[int(limit)] ? ": broken" : "");
    };
    text += figure("area", f.area, Limit::Area);
    text += figure("power", f.power, Limit::Power);
    if (breakdown)
        text += power_terms_text(e.power);
    text += figure(stacked ? "off-chip bw" : "bandwidth", f.bandwidth, Limit::Bandwidth);
    if (stacked)
        text += figure("TSV bandwidth", f.bandwidth_tsv, Limit::Tsv);
    text += format("  L2 latency       %.3f ns\n", e.l2_latency_ns);
    text += format("  L2 miss rate     %.6f\n", e.miss_rate);
    const EnergyFigures &energy = e.energy;
    text += format("  speedup per W    %.5f /W\n", energy.speedup_per_watt);
    text += format("  energy           %.5f J per unit of work\n", energy.energy);
    text += format("  energy-delay     %.4e J s\n", energy.edp);
    return text;
}

std::string breaks_text(const Evaluation &e) {
    if (e.meets())
        return "It meets every limit.\n";
    std::string broken;
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv})
        if (e.breaks[int(limit)])
            broken += (broken.empty() ? "" : ", ") + std::string(caption_of(limit));
    return "It breaks the " + broken + " limit" +
           (broken.find(',') == std::string::npos ? "" : "s") + ".\n";
}

std::string notes_text(const Evaluation &e) {
    std::string text;
    for (const std::string &note : e.notes)
        text += "Note: " + note + ".\n";
    return text;
}

} // namespace

std::string evaluation_text(const Evaluation &e, bool breakdown) {
    const OptionSet &o = e.request.options;
    std::string text = "Options:  " + describe(o) + "\n";
    text += "Limits:   " + limits_line(o, e.limits) + "\n";
    text += model_line(o.workload) + "\n";
    text += format("Configuration: %s cores, %s MB L2 cache, ", shortest(e.request.cores).c_str(),
                   shortest(e.request.cache_mb).c_str());
    if (!e.request.vdd && !e.request.freq)
        text +=
            "scale step " + step_text(active_model().scale_steps[size_t(e.scale_index)]) + " at ";
    text += format("%.3f V, %.3f GHz\n", e.vdd, e.freq);
    return text + figures_text(e, breakdown) + breaks_text(e) + notes_text(e);
}

std::string held_configuration_text(const Evaluation &e) {
    return "The held configuration, with its figures:\n" + figures_text(e, false) + breaks_text(e) +
           notes_text(e);
}
