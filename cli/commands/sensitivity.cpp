// sensitivity: how the best configuration of one option set moves when each number of the model
// it uses is moved down and up.
#include "study/sensitivity.h"
#include "charts/image_file.h"
#include "cli/command.h"
#include "cli/research_charts.h"
#include "cli/research_text.h"

namespace {

int run_sensitivity(const Request &r, const Arguments &a, Output &out, FILE *err) {
    const Sensitivity s = sensitivity(r, *parse_number(a.spread) / 100, jobs_of(a));
    if (!a.output.empty()) {
        const int status = drawn(write_tornado_chart(s, a.output, *image_format_of(a.output)), err);
        if (status != 0)
            return status;
    }
    if (a.format == "text") {
        out.text() += sensitivity_text(s);
        return finished(out, err);
    }
    return write_table(sensitivity_table(s), a.format, out, err);
}

void add_sensitivity_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add_spread(command, a,
               "how far to move each number, in percent of its value (of its serial share 1 - p "
               "for a parallel fraction p)");
    add_jobs(command, a);
    add_format(command, a);
    add_picture(command, a, "draw a tornado chart of the changes into this picture");
}

int run_sensitivity_command(const Invocation &run) {
    return run_sensitivity(run.r, run.a, run.out, run.err);
}

} // namespace

extern const Command sensitivity_command{
    .name = "sensitivity",
    .summary = "How the best configuration of one option set moves when each number of the "
               "model it uses is moved down and up by --spread: a row per number, largest effect "
               "first.",
    .add_options = add_sensitivity_options,
    .run = run_sensitivity_command,
    .notes_objectives = true,
};
