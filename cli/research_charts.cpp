#include "cli/research_charts.h"

#include <cmath>

#include "charts/research_charts.h"
#include "cli/report.h"
#include "model/model.h"
#include "pictures/drawing_module.h"

namespace {

constexpr int kWidth = 900, kParetoHeight = 640;

std::string model_note(int workload) {
    const Model &m = active_model();
    return "Model: " + m.source + ", parallel fraction " + parallel_fraction_text(workload);
}

std::string label_of(ParetoObjective o) {
    switch (o) {
    case ParetoObjective::Speedup:
        return "speedup";
    case ParetoObjective::Power:
        return "power (W)";
    case ParetoObjective::Area:
        return "area (mm^2)";
    case ParetoObjective::Bandwidth:
        return "off-chip bandwidth (GB/s)";
    case ParetoObjective::SpeedupPerWatt:
        return "speedup per watt (1/W)";
    case ParetoObjective::Energy:
        break;
    }
    return "energy per unit of work (J)";
}

// The limit on an objective's figure, if it has one.
std::optional<double> limit_of(ParetoObjective o, const LimitValues &l) {
    if (o == ParetoObjective::Power)
        return l.power;
    if (o == ParetoObjective::Area)
        return l.area;
    if (o == ParetoObjective::Bandwidth)
        return l.bandwidth;
    return std::nullopt;
}

} // namespace

std::string write_pareto_chart(const ParetoRequest &r, const ParetoFront &front,
                               const std::string &path, ImageFormat format) {
    const LimitValues limits = limits_in_force(r.request.options, r.request.limits);
    // The first objective upwards, the second across, the third (if any) as the marks' colour.
    const ParetoObjective y = r.objectives[0], x = r.objectives[1];
    ParetoChart c;
    c.title =
        "Pareto front: " + std::string(pareto_objective_name(y)) + " against " +
        pareto_objective_name(x) +
        (r.objectives.size() > 2 ? std::string(" and ") + pareto_objective_name(r.objectives[2])
                                 : std::string());
    c.notes = {"Options: " + describe(r.request.options),
               "Limits: " + limits_line(r.request.options, limits),
               model_note(r.request.options.workload) + "; " + std::to_string(front.front.size()) +
                   " configurations on the front"};
    c.x_label =
        label_of(x) + (pareto_higher_is_better(x) ? ", higher is better" : ", lower is better");
    c.y_label = label_of(y);
    c.log_x = x == ParetoObjective::Energy;
    c.log_y = y == ParetoObjective::Energy;
    for (const SpaceRow &row : front.space) {
        c.x.push_back(pareto_figure(row.figures, x));
        c.y.push_back(pareto_figure(row.figures, y));
        c.within.push_back(row.feasible() ? 1 : 0);
    }
    for (size_t i : front.front) {
        c.front_x.push_back(pareto_figure(front.space[i].figures, x));
        c.front_y.push_back(pareto_figure(front.space[i].figures, y));
        if (r.objectives.size() > 2)
            c.front_colour.push_back(pareto_figure(front.space[i].figures, r.objectives[2]));
    }
    if (r.objectives.size() > 2)
        c.colour_label = label_of(r.objectives[2]);
    c.x_limit = limit_of(x, limits);
    c.y_limit = limit_of(y, limits);
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    return drawing->write_image(
        path, format, kWidth, kParetoHeight,
        [&](cairo_t *cr, int w, int h) { drawing->draw_pareto_chart(cr, w, h, c); });
}

std::string write_tornado_chart(const Sensitivity &s, const std::string &path, ImageFormat format) {
    const Model &m = active_model();
    TornadoChart c;
    c.title = "Change of the best speedup as each number of the model moves by -/+ " +
              shortest(s.spread * 100) + " %";
    std::string optimum = "no configuration meets the limits";
    if (s.base.found)
        optimum = ::format("speedup %.4f with %d cores, %d MB, step %.1f", s.base.speedup,
                           int(m.core_counts[s.base.cores]), int(m.cache_sizes[s.base.cache]),
                           m.scale_steps[s.base.scale]);
    c.notes = {"Options: " + describe(s.request.options),
               "Limits: " + limits_line(s.request.options,
                                        limits_in_force(s.request.options, s.request.limits)),
               model_note(s.request.options.workload) + "; optimum: " + optimum};
    c.axis_label = "change of the best speedup (%)";
    size_t unchanged = 0;
    for (const SensitivityRow &row : s.rows) {
        // The numbers that change nothing at either end are counted, not drawn.
        if (row.effect == 0 && !row.optimum_moves) {
            unchanged++;
            continue;
        }
        c.bars.push_back(TornadoBar{row.field, change_percent(s.base, row.low.best),
                                    change_percent(s.base, row.high.best), row.optimum_moves});
    }
    if (unchanged != 0)
        c.notes.push_back(std::to_string(c.bars.size()) + " of the " +
                          std::to_string(s.rows.size()) +
                          " numbers these options use change the best speedup or the optimum; "
                          "the other " +
                          std::to_string(unchanged) + " are left out");
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    return drawing->write_image(
        path, format, kWidth, drawing->tornado_chart_height(c.bars.size()),
        [&](cairo_t *cr, int w, int h) { drawing->draw_tornado_chart(cr, w, h, c); });
}
