// space: every configuration of one option set with its figures and the limits it breaks.
#include "cli/command.h"
#include "cli/report.h"
#include "cli/research_text.h"
#include "search/engine.h"
#include "study/energy.h"

namespace {

int run_space(const Request &r, const std::string &format, Output &out, FILE *err) {
    const std::vector<SpaceRow> rows = space(r);
    const bool stacked = r.options.memory != 0;
    if (format == "text") {
        out.text() += request_text(r) + "\n" + space_text_header();
        for (const SpaceRow &row : rows) {
            out.text() += space_text_row(row, stacked);
            if (!out.flush_when_full())
                break;
        }
        return finished(out, err);
    }
    Table table = space_table(false);
    for (const SpaceRow &row : rows)
        add_space_row(table, r.options, row);
    return write_table(table, format, out, err);
}

// space with the energy columns, the power's terms or both, in that order (in text, before the
// "breaks" column).
int run_space_with(const Request &r, bool energy, bool breakdown, const std::string &format,
                   Output &out, FILE *err) {
    const std::vector<SpaceRow> rows = space(r);
    const bool stacked = r.options.memory != 0;
    const SearchSpec spec = spec_of(r);
    auto terms = [&](const SpaceRow &row) {
        return power_breakdown(spec, row.scale, row.cache, row.cores);
    };
    if (format == "text") {
        const std::string header = space_text_header();
        std::string added;
        if (energy)
            added += energy_columns_header();
        if (breakdown)
            added += power_columns_header();
        out.text() +=
            request_text(r) + "\n" + with_energy(header.substr(0, header.size() - 1), added) + "\n";
        for (const SpaceRow &row : rows) {
            added.clear();
            if (energy)
                added += energy_columns(row.figures);
            if (breakdown)
                added += power_columns(terms(row));
            out.text() += with_energy(space_text_row(row, stacked), added);
            if (!out.flush_when_full())
                break;
        }
        return finished(out, err);
    }
    Table table = space_table(false);
    const size_t energy_first = table.columns.size();
    if (energy)
        add_energy_columns(table);
    if (breakdown)
        add_power_columns(table);
    for (const SpaceRow &row : rows) {
        add_space_row(table, r.options, row);
        if (energy)
            add_energy_values(table, energy_first, &row.figures);
        if (breakdown) {
            const PowerBreakdown b = terms(row);
            add_power_values(table, &b);
        }
    }
    return write_table(table, format, out, err);
}

void add_space_options(CLI::App *command, Arguments &a) {
    add_one_request(command, a);
    add_breakdown(command, a);
    add_energy_flag(command, a);
}

int run_space_command(const Invocation &run) {
    const Arguments &a = run.a;
    if (a.energy || a.breakdown)
        return run_space_with(run.r, a.energy, a.breakdown, a.format, run.out, run.err);
    return run_space(run.r, a.format, run.out, run.err);
}

} // namespace

extern const Command space_command{
    .name = "space",
    .summary = "Every configuration of one option set (18,760 rows) with its figures and the "
               "limits it breaks.",
    .add_options = add_space_options,
    .run = run_space_command,
};
