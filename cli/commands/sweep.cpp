// sweep: the best configuration of every option set, or of those the option filters name, each
// under its node's limits or the limits given.
#include "cli/command.h"
#include "cli/commands/best_rows.h"
#include "cli/research_text.h"
#include "model/model.h"
#include "study/energy.h"

namespace {

int run_sweep(const Request &r, const OptionFilter &filter, const std::string &format, bool flags,
              int jobs, Output &out, FILE *err) {
    BestRowsWriter writer(out, format, flags);
    sweep_in_batches(
        r.limits, r.holds, jobs,
        [&](const std::vector<BestConfiguration> &rows) { return writer.add(rows); }, filter) &&
        writer.end();
    const int status = finished(out, err);
    if (status == 0 && !flags && writer.at_edges() != 0)
        say(err, "note: " + std::to_string(writer.at_edges()) +
                     " of the best configurations sit at the end of an axis of the design space; "
                     "--flags gives the ends as columns");
    return status;
}

int run_sweep_by(const Request &r, const Arguments &a, const OptionFilter &filter, bool flags,
                 const std::string &format, int jobs, Output &out, FILE *err) {
    const bool text = format == "text";
    TableWriter writer(out, table_format(format));
    Table table = best_energy_table(flags);
    if (text) {
        const std::string header = sweep_text_header();
        out.text() += objective_line(a.chosen()) + header.substr(0, header.size() - 1) +
                      energy_columns_header() + (flags ? edge_columns_header() : "") + "\n";
    }
    const bool written = sweep_in_batches_by(
        r.limits, r.holds, a.chosen(), jobs,
        [&](const std::vector<BestConfiguration> &rows) {
            if (text) {
                for (const BestConfiguration &row : rows) {
                    const std::string line = sweep_text_row(row);
                    out.text() += row.feasible ? line.substr(0, line.size() - 1) +
                                                     energy_columns(row.figures) +
                                                     (flags ? edge_columns(row.edges) : "") + "\n"
                                               : line;
                    if (!out.flush_when_full())
                        return false;
                }
                return true;
            }
            table.clear_rows();
            for (const BestConfiguration &row : rows)
                add_best_energy_row(table, row);
            return writer.write(table);
        },
        filter);
    if (written && !text)
        writer.finish();
    return finished(out, err);
}

void add_sweep_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_filters(command, a);
    add_limits(command, a);
    add_held_dimensions(command, a);
    add_scale(command, a);
    add_format(command, a);
    add_jobs(command, a);
    add_flags(command, a);
    add_objective(command, a);
    add_energy_flag(command, a);
}

int run_sweep_command(const Invocation &run) {
    const Arguments &a = run.a;
    if (a.energy_columns())
        return run_sweep_by(run.r, a, filter_of(a), a.flags, a.format, jobs_of(a), run.out,
                            run.err);
    return run_sweep(run.r, filter_of(a), a.format, a.flags, jobs_of(a), run.out, run.err);
}

// Every option set the filters let through, under the limits and holds given.
void warn_non_finite_in_sweep(const Invocation &run, const std::vector<Request> &) {
    const OptionFilter filter = filter_of(run.a);
    const std::string warning = non_finite_warning(non_finite_figures(
        option_set_count(filter),
        [&](size_t i) {
            return Request{option_set_at(i, filter), run.r.limits, run.r.holds};
        },
        jobs_of(run.a)));
    if (!warning.empty())
        say(run.err, warning);
}

} // namespace

extern const Command sweep_command{
    .name = "sweep",
    .summary = "The best configuration of every option combination (360 rows), or of those the "
               "option flags name, each under its node's limits or the limits given.",
    .add_options = add_sweep_options,
    .run = run_sweep_command,
    .warn_non_finite = warn_non_finite_in_sweep,
};
