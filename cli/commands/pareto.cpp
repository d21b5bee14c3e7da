// pareto: the configurations of one option set within its limits that no other beats on every
// objective at once.
#include "study/pareto.h"
#include "charts/image_file.h"
#include "cli/command.h"
#include "cli/research_charts.h"
#include "cli/research_text.h"

namespace {

int run_pareto(const Request &r, const Arguments &a, Output &out, FILE *err) {
    std::string error;
    const ParetoRequest p{r, *parse_pareto_objectives(a.objectives, error)};
    const ParetoFront front = pareto_front(p);
    if (!a.output.empty()) {
        const int status =
            drawn(write_pareto_chart(p, front, a.output, *image_format_of(a.output)), err);
        if (status != 0)
            return status;
    }
    if (a.format == "text") {
        out.text() += pareto_text(p, front);
        return finished(out, err);
    }
    Table table = pareto_table(false);
    for (size_t i : front.front)
        add_pareto_row(table, r.options, front.space[i]);
    return write_table(table, a.format, out, err);
}

void add_pareto_options(CLI::App *command, Arguments &a) {
    add_one_request(command, a);
    add(command, "--objectives", a.objectives, "LIST", "what the front trades off",
        kParetoObjectiveList, [](const std::string &text) {
            std::string error;
            return parse_pareto_objectives(text, error) ? std::string() : error;
        });
    add_picture(command, a,
                "draw the front over the whole space, the limits as lines, into this picture");
}

int run_pareto_command(const Invocation &run) {
    return run_pareto(run.r, run.a, run.out, run.err);
}

} // namespace

extern const Command pareto_command{
    .name = "pareto",
    .summary = "The configurations of one option set within its limits that no other beats on "
               "every objective at once (by default speedup against power and area), in space's "
               "columns with the energy figures, best first by the first objective.",
    .add_options = add_pareto_options,
    .run = run_pareto_command,
    .notes_objectives = true,
};
