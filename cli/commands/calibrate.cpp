// calibrate: model-file fields fitted to a table of real chips, written as a model file that
// extends the model in use, with the errors in sample and leave one out.
#include <filesystem>

#include "chips/calibration.h"
#include "cli/command.h"
#include "cli/commands/chip_table.h"
#include "files/whole_file.h"

namespace {

void add_calibrate_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add(command, "--chips", a.chips, "FILE", "the table of chips",
        std::string("a chip table (docs/chips.md; default: the shipped ") + kShippedChipTable + ")",
        [](const std::string &text) {
            return text.empty() ? std::string("the file name is empty") : std::string();
        });
    add(command, "--fit", a.fit, "FIELDS", "the model-file fields to fit",
        "fields as a model file places them, separated by commas (node.65nm.fmax_LOP,"
        "node.45nm.core_area_LOP_mm2.ARM,reference_chip.Cgate)",
        [](const std::string &text) {
            return text.empty() ? std::string("no fields") : std::string();
        })
        ->required();
    add(command, "-o,--output", a.output, "FILE", "the model file to write", "a file name",
        [](const std::string &text) {
            return text.empty() ? std::string("the file name is empty") : std::string();
        })
        ->required();
}

// How the new file names the model it extends: "built-in", or the model file's path relative
// to the new file's folder.
std::string extends_of(const std::string &target) {
    const std::string &source = active_model().source;
    if (source == "built-in")
        return source;
    namespace fs = std::filesystem;
    std::error_code failed;
    const fs::path folder = fs::absolute(fs::path(target), failed).parent_path();
    const fs::path relative = fs::absolute(source, failed).lexically_relative(folder);
    return failed || relative.empty() ? source : relative.string();
}

// The command line, for the file's comments.
std::string command_line(const Arguments &a) {
    std::string line = std::string(kProgram) + " calibrate";
    if (!a.model.empty())
        line += " --model " + a.model;
    if (!a.parallel_fraction.empty())
        line += " --parallel-fraction " + a.parallel_fraction;
    if (!a.chips.empty())
        line += " --chips " + a.chips;
    return line + " --fit " + a.fit + " -o " + a.output;
}

int run_calibrate(const Invocation &run) {
    const Arguments &a = run.a;
    const std::optional<ChipTable> table = chip_table_of(a.chips, run.err);
    if (!table)
        return 2;
    const Calibration c = calibrate(active_model(), table->chips, field_list(a.fit));
    if (!c.error.empty()) {
        say(run.err, c.error);
        return 2;
    }
    const std::string extends = extends_of(a.output);
    const std::string text = calibrated_model_text(c, table->chips, extends, command_line(a));
    const std::string failure = replace_file(a.output, text);
    if (!failure.empty()) {
        say(run.err, "cannot write '" + a.output + "': " + failure);
        return 1;
    }
    run.out.text() += "Chips:    " + (a.chips.empty() ? std::string(kShippedChipTable) : a.chips) +
                      "\nModel:    " + active_model().source + "\nWritten:  " + a.output +
                      " (extends " + extends + ")\n\n" + calibration_text(c);
    return finished(run.out, run.err);
}

} // namespace

extern const Command calibrate_command{
    .name = "calibrate",
    .summary = "Fits model-file fields to real chips' published clock, area and power (least "
               "squares on the log ratios) and writes a model file that extends the model in "
               "use, with the errors in sample and leave one out.",
    .add_options = add_calibrate_options,
    .run = run_calibrate,
    .option_sets = [](const Request &, const Arguments &) { return std::vector<Request>{}; },
    .warn_non_finite = scans_nothing,
};
