// validate: each published figure of a table of real chips beside the model's, with a summary
// per figure, as text, CSV or JSON, and as a picture.
#include "charts/image_file.h"
#include "cli/chips_chart.h"
#include "cli/command.h"
#include "cli/commands/chip_table.h"
#include "cli/report.h"

namespace {

void add_validate_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add(command, "--chips", a.chips, "FILE", "the table of chips",
        std::string("a chip table (docs/chips.md; default: the shipped ") + kShippedChipTable + ")",
        [](const std::string &text) {
            return text.empty() ? std::string("the file name is empty") : std::string();
        });
    add_format(command, a);
    add_picture(command, a,
                "draw each published figure against the model's on log axes into this picture");
}

int run_validate(const Invocation &run) {
    const Arguments &a = run.a;
    const std::optional<ChipTable> table = chip_table_of(a.chips, run.err);
    if (!table)
        return 2;
    const Validation v = validate(active_model(), table->chips);
    const std::string name = a.chips.empty() ? kShippedChipTable : a.chips;
    if (!a.output.empty()) {
        const int status = drawn(
            write_validation_chart(v, table->chips, name, a.output, *image_format_of(a.output)),
            run.err);
        if (status != 0)
            return status;
    }
    if (a.format != "text")
        return write_table(validation_table(v, table->chips), a.format, run.out, run.err);
    run.out.text() += "Chips:    " + name + "\n" + model_line(std::nullopt) + "\n" +
                      validation_text(v, table->chips);
    return finished(run.out, run.err);
}

} // namespace

extern const Command validate_command{
    .name = "validate",
    .summary = "Real chips' published clock, area and power beside the model's, with their "
               "ratios and a summary per figure.",
    .add_options = add_validate_options,
    .run = run_validate,
    .option_sets = [](const Request &, const Arguments &) { return std::vector<Request>{}; },
    .warn_non_finite = scans_nothing,
};
