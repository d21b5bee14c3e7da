// explain: which limit holds the best configuration of one option set back.
#include "study/explain.h"
#include "cli/command.h"
#include "cli/commands/best_rows.h"
#include "cli/report.h"

namespace {

int run_explain(const Request &r, const Arguments &a, Output &out, FILE *err) {
    const Explanation e = explain(r, *parse_number(a.step) / 100, a.pairs);
    if (a.format != "text")
        return write_table(explain_table(e, a.breakdown), a.format, out, err);
    const BestBreakdown terms(r, e.best, a.breakdown);
    out.text() += explain_text(e, terms.given);
    const int status = finished(out, err);
    if (status == 0)
        note_edges(e.best, err);
    return status;
}

void add_explain_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add(command, "--step", a.step, "PERCENT", "how far to relax each limit alone",
        "a number of percent above 0 (default 10)", step_check());
    command->add_flag(
        "--pairs", a.pairs,
        "relax every pair of limits together too, and say which pairs hold the design back "
        "together beyond what relaxing either alone shows (rows marked by relaxed_with in CSV "
        "and JSON)");
    add_breakdown(command, a);
    add_format(command, a);
}

int run_explain_command(const Invocation &run) {
    return run_explain(run.r, run.a, run.out, run.err);
}

} // namespace

extern const Command explain_command{
    .name = "explain",
    .summary = "Which limit holds the best configuration of one option set back: each limit's "
               "figure, slack and whether it binds, the speedup with it relaxed by --step, and "
               "the smallest relaxation that changes the optimum.",
    .add_options = add_explain_options,
    .run = run_explain_command,
};
