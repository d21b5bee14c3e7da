// model export: the model in use as a model file, to a file or to standard output.
#include "model/model.h"
#include "cli/command.h"
#include "files/whole_file.h"
#include "modelfile/model_file.h"

namespace {

int write_model(const std::string &path, FILE *out, FILE *err) {
    const std::string text = export_model(active_model());
    if (path.empty())
        return emit(out, err, text) ? 0 : 1;
    // Whole or not at all: a failed write leaves the file that was there; a link's target is
    // written.
    const std::string failure = replace_file(path, text);
    if (!failure.empty()) {
        say(err, "cannot write '" + path + "': " + failure);
        return 1;
    }
    return 0;
}

void add_model_options(CLI::App *command, Arguments &a) {
    command->require_subcommand(1);
    CLI::App *export_command = command->add_subcommand(
        "export", "Writes the model in use (the built-in one unless --model is given) as a model "
                  "file, a comment per field with its meaning and unit.");
    add_model(export_command, a);
    add(export_command, "-o,--output", a.output, "FILE", "the file to write",
        "a file name (default: standard output)",
        [](const std::string &) { return std::string(); });
}

// The only subcommand is export, which the command requires.
int run_model(const Invocation &run) {
    return write_model(run.a.output, run.raw_out, run.err);
}

} // namespace

extern const Command model_command{
    .name = "model",
    .summary = "The model in use as a model file: 'model export'.",
    .add_options = add_model_options,
    .run = run_model,
    .warn_non_finite = scans_nothing,
};
