// plot: speedup over core count and cache size at one scale step, or (--chart scaling) the
// best speedup and its core count over the nodes, drawn into a picture.
#include "cli/plot.h"
#include "charts/image_file.h"
#include "cli/analysis_charts.h"
#include "cli/command.h"
#include "cli/commands/best_rows.h"
#include "study/budget.h"

namespace {

bool scaling_chart(const Arguments &a) {
    return chart_kind(a.chart) == "scaling";
}

Choice scaling_series(const Arguments &a) {
    return a.series.empty() ? Choice::CoreKind : *series_choice(a.series);
}

void add_plot_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add_operating_point(command, a, add_scale(command, a));
    add_picture(command, a,
                "the picture to write (the scaling chart prints its rows as well, like sweep)")
        ->required();
    add(command, "--chart", a.chart, "KIND", "which picture",
        "space (speedup over core count and cache size, the default) or scaling (best speedup "
        "and its core count over the nodes)",
        [](const std::string &text) {
            return chart_kind(text).empty() ? quoted(text) + " is not a chart" : std::string();
        });
    add(command, "--series", a.series, "OPTION", "with --chart scaling, a line per value of",
        "core or workload (default core)", [](const std::string &text) {
            const std::optional<Choice> c = series_choice(text);
            return c == Choice::CoreKind || c == Choice::Workload
                       ? std::string()
                       : quoted(text) + " is not core or workload";
        });
    add_jobs(command, a);
    add_format(command, a);
}

// The scaling chart runs its held operating point at every node: it must suit each one.
std::vector<Request> plot_option_sets(const Request &r, const Arguments &a) {
    return scaling_chart(a) ? scaling_requests(r, scaling_series(a)) : std::vector<Request>{r};
}

int run_plot(const Invocation &run) {
    const Arguments &a = run.a;
    const ImageFormat format = *image_format_of(a.output);
    if (scaling_chart(a)) {
        const Choice series = scaling_series(a);
        const std::vector<BestConfiguration> rows = scaling(run.r, series, jobs_of(a));
        const int status =
            drawn(write_scaling_chart(rows, run.r, series, a.output, format), run.err);
        if (status != 0)
            return status;
        return write_best_rows(rows, a.format, run.out, run.err);
    }
    if (!a.series.empty()) {
        say(run.err, "--series: draws a line per option value on the scaling chart only; "
                     "accepted: --series with --chart scaling");
        return 2;
    }
    return drawn(write_plot(plot_data(run.r), a.output, format), run.err);
}

} // namespace

extern const Command plot_command{
    .name = "plot",
    .summary = "Draws speedup over core count and cache size at one scale step (by default the "
               "best configuration's), with the limits and the best configuration marked.",
    .add_options = add_plot_options,
    .run = run_plot,
    .option_sets = plot_option_sets,
};
