#include "cli/analysis_charts.h"

#include <algorithm>
#include <cmath>

#include "charts/curve_chart.h"
#include "charts/limit_map_chart.h"
#include "charts/scaling_chart.h"
#include "cli/report.h"
#include "model/model.h"
#include "pictures/drawing_module.h"
#include "search/limit_queries.h"
#include "study/parallel.h"

namespace {

constexpr int kWidth = 900, kCurveHeight = 600, kMapHeight = 700;
constexpr Limit kAllLimits[] = {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};

// "Model: built-in, parallel fraction 0.99"
// With a line per workload (or several workloads in one line), the model's and each one's own.
std::string model_note(std::optional<int> workload) {
    const Model &m = active_model();
    return "Model: " + m.source + ", parallel fraction " + parallel_fraction_text(workload);
}

std::string options_note(const OptionSet &o, std::optional<Choice> series) {
    std::vector<Choice> left_out;
    if (series)
        left_out.push_back(*series);
    return "Options: " + describe_except(o, left_out) +
           (series ? std::string("; a line per ") + choice_title(*series) : "");
}

std::string joined(const std::vector<std::string> &parts) {
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

// The limits not varied: the values given, and the node's defaults (each node's own when the
// lines or the axis run over the nodes).
std::string limits_note(const Request &r, const std::vector<Limit> &varied,
                        std::optional<Choice> series) {
    // With a line per memory kind, the TSV default is that of the 3D memory line.
    OptionSet shown_options = r.options;
    if (series == Choice::Memory)
        shown_options.memory = 1;
    const LimitValues in_force = limits_in_force(shown_options, r.limits);
    const Limits &given = r.limits;
    const std::optional<double> values[] = {given.area, given.power, given.bandwidth, given.tsv};
    const bool stacked = shown_options.memory != 0;
    std::vector<std::string> shown, defaults;
    for (Limit limit : kAllLimits) {
        if (std::find(varied.begin(), varied.end(), limit) != varied.end() ||
            (limit == Limit::Tsv && !stacked))
            continue;
        const double value = values[int(limit)].value_or(limit_value(in_force, limit));
        if (!values[int(limit)])
            defaults.push_back(caption_of(limit));
        if (values[int(limit)] || series != Choice::Node)
            shown.push_back(
                format("%s %s %s", caption_of(limit), shortest(value).c_str(), unit_of(limit)));
    }
    if (series == Choice::Node && !defaults.empty())
        shown.push_back(joined(defaults) + " at each node's defaults");
    else if (!defaults.empty())
        shown.back() +=
            " (" +
            (defaults.size() == shown.size() ? std::string("the node's defaults")
                                             : joined(defaults) + " at the node's defaults") +
            ")";
    return "Limits: " + joined(shown);
}

std::string axis_label(Limit limit) {
    return std::string(caption_of(limit)) + " limit (" + unit_of(limit) + ")";
}

std::string series_label(const BudgetSeries &s, std::optional<Choice> series) {
    if (!series)
        return describe(s.options);
    if (*series == Choice::Memory)
        return active_model().memory_kinds[s.options.memory ? 1 : 0].description;
    const std::vector<std::string> names = choice_names(*series);
    const OptionSet &o = s.options;
    const int index = *series == Choice::Workload     ? o.workload
                      : *series == Choice::Memory     ? o.memory
                      : *series == Choice::Transistor ? o.transistor
                      : *series == Choice::CoreKind   ? o.core_kind
                                                      : o.node;
    return names[index];
}

CurveChart curve_chart(const Budget &b) {
    const BudgetRequest &r = b.request;
    const LimitRange &x = r.varied[0];
    // The curves run over the workloads: the model's fraction and every workload's own, as the
    // text says.
    const bool workloads_over =
        r.series == Choice::Workload ||
        std::find(r.best_over.begin(), r.best_over.end(), Choice::Workload) != r.best_over.end();
    CurveChart chart;
    chart.title = std::string("Best speedup as the ") + caption_of(x.limit) + " limit varies";
    chart.notes = {
        options_note(r.request.options, r.series), limits_note(r.request, {x.limit}, r.series),
        model_note(workloads_over ? std::nullopt : std::optional<int>(r.request.options.workload))};
    chart.x_label = axis_label(x.limit);
    for (const BudgetSeries &s : b.series) {
        Curve curve{series_label(s, r.series), {}};
        curve.points.reserve(s.best.size());
        for (size_t point = 0; point < s.best.size(); point++) {
            const LimitQueries &q =
                s.candidates.empty() ? *s.queries : *s.candidates[size_t(s.chosen[point])].queries;
            const SearchOutcome o = q.outcome(s.best[point], LimitChecks{});
            const Model &m = active_model();
            curve.points.push_back(CurvePoint{x.value(point), o.found, o.speedup,
                                              m.core_counts[o.cores], m.cache_sizes[o.cache],
                                              m.scale_steps[o.scale]});
        }
        chart.curves.push_back(std::move(curve));
    }
    return chart;
}

LimitMapChart map_chart(const Budget &b) {
    const BudgetRequest &r = b.request;
    const LimitRange &x = r.varied[0], &y = r.varied[1];
    const BudgetSeries &s = b.series.front();
    LimitMapChart chart;
    chart.title = std::string("Best speedup over the ") + caption_of(x.limit) + " and " +
                  caption_of(y.limit) + " limits";
    chart.notes = {options_note(s.options, std::nullopt),
                   limits_note(r.request, {x.limit, y.limit}, std::nullopt) +
                       "; hatched where relaxing a limit alone by " + shortest(r.step * 100) +
                       " % changes the optimum",
                   model_note(s.options.workload)};
    chart.x_label = axis_label(x.limit), chart.y_label = axis_label(y.limit);
    chart.x_name = caption_of(x.limit), chart.y_name = caption_of(y.limit);
    for (size_t i = 0; i < x.count(); i++)
        chart.xs.push_back(x.value(i));
    for (size_t i = 0; i < y.count(); i++)
        chart.ys.push_back(y.value(i));
    for (int handle : s.best)
        chart.speedup.push_back(handle < 0 ? NAN
                                           : s.queries->outcome(handle, LimitChecks{}).speedup);
    chart.binding = s.binding;
    return chart;
}

} // namespace

std::string write_budget_chart(const Budget &b, const std::string &path, ImageFormat format) {
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    if (b.request.varied.size() == 1) {
        const CurveChart chart = curve_chart(b);
        return drawing->write_image(
            path, format, kWidth, kCurveHeight,
            [&](cairo_t *cr, int w, int h) { drawing->draw_curve_chart(cr, w, h, chart); });
    }
    const LimitMapChart chart = map_chart(b);
    return drawing->write_image(path, format, kWidth, kMapHeight, [&](cairo_t *cr, int w, int h) {
        drawing->draw_limit_map_chart(cr, w, h, chart);
    });
}

std::vector<Request> scaling_requests(const Request &request, Choice series) {
    const size_t nodes = choice_names(Choice::Node).size();
    std::vector<Request> requests(choice_names(series).size() * nodes, request);
    for (size_t i = 0; i < requests.size(); i++) {
        OptionSet &o = requests[i].options;
        (series == Choice::Workload ? o.workload : o.core_kind) = int(i / nodes);
        o.node = int(i % nodes);
    }
    return requests;
}

std::vector<BestConfiguration> scaling(const Request &request, Choice series, int jobs) {
    const std::vector<Request> requests = scaling_requests(request, series);
    std::vector<BestConfiguration> best(requests.size());
    run_in_parallel(best.size(), jobs, [&](size_t i) { best[i] = search_best(requests[i]); });
    return best;
}

std::string write_scaling_chart(const std::vector<BestConfiguration> &best, const Request &request,
                                Choice series, const std::string &path, ImageFormat format) {
    const std::vector<std::string> nodes = choice_names(Choice::Node);
    const std::vector<std::string> values = choice_names(series);

    ScalingChart chart;
    chart.title = "Best speedup over technology nodes";
    // The node leaves the options line: every node is on the axis.
    chart.notes = {"Options: " + describe_except(request.options, {series, Choice::Node}) +
                       "; a line per " + choice_title(series),
                   limits_note(request, {}, Choice::Node),
                   // As the rows' text says it: the model's and every workload's own.
                   model_note(std::nullopt)};
    chart.nodes = nodes;
    for (size_t v = 0; v < values.size(); v++) {
        ScalingSeries line{values[v], {}, {}, {}};
        for (size_t n = 0; n < nodes.size(); n++) {
            const BestConfiguration &b = best[v * nodes.size() + n];
            line.feasible.push_back(b.feasible);
            line.speedup.push_back(b.speedup);
            line.cores.push_back(b.feasible ? active_model().core_counts[b.cores] : 0);
        }
        chart.series.push_back(std::move(line));
    }
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    return drawing->write_image(path, format, kWidth, kMapHeight, [&](cairo_t *cr, int w, int h) {
        drawing->draw_scaling_chart(cr, w, h, chart);
    });
}
