// cpu-widget-cli: the design-space explorer without its window. Searches, sweeps, enumerates
// and draws the design space with the same model and searches the window uses, and writes
// text, CSV or JSON on standard output.
//
// Exit status: 0 on success (also when no configuration meets the limits: that is an
// outcome), 2 on bad arguments (one line on standard error, nothing on standard output), 1
// when the output, help and version included, cannot be written.
//
// Adding a command: write cli/commands/NAME.cpp defining `extern const Command NAME_command`
// (cli/command.h: its name, its --help line, a function that adds its options from
// cli/arguments.h and one that runs it), add the file to cli/CMakeLists.txt, and add its
// declaration and its entry to the list below, where --help lists it.
#include "cli/run.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "cli/arguments.h"
#include "cli/command.h"
#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "search/trace.h"

extern const Command search_command, sweep_command, space_command, explain_command, budget_command,
    plot_command, model_command, pareto_command, sensitivity_command, uncertainty_command,
    evaluate_command, validate_command, calibrate_command;

namespace {

// The commands, in the order --help lists them.
const Command *const kCommands[] = {
    &search_command,      &sweep_command,       &space_command,    &explain_command,
    &budget_command,      &plot_command,        &model_command,    &pareto_command,
    &sensitivity_command, &uncertainty_command, &evaluate_command, &validate_command,
    &calibrate_command,
};

// A model read for one run is given back when the run ends, so that an in-process caller finds
// the built-in model again, with the design state in range for it.
struct ModelForOneRun {
    bool replaced = false;
    ~ModelForOneRun() {
        if (replaced) {
            set_active_model(nullptr);
            reset_design_state();
        }
    }
};

bool is_command(CLI::App &app, const std::string &name) {
    for (const CLI::App *command : app.get_subcommands({}))
        if (command->get_name() == name)
            return true;
    return false;
}

int run(int argc, const char *const *argv, FILE *out, FILE *err) {
    // The model's trace lines belong to the window's console, not to this tool's output.
    trace_set_enabled(false);

    // The model comes first: the accepted option names and every default come from it.
    const std::optional<std::string> model_path = model_argument(argc, argv);
    ModelForOneRun model_in_use;
    std::vector<std::string> model_warnings; // said once the command line is accepted
    if (model_path && model_path->empty()) {
        say(err, std::string("--model: the file name is empty; accepted: ") + kModelAccepted);
        return 2;
    }
    if (model_path) {
        const ModelFileResult loaded = load_model_file(*model_path);
        if (!loaded.model) {
            for (const std::string &error : loaded.errors)
                say(err, error);
            return 2;
        }
        set_active_model(loaded.model);
        model_in_use.replaced = true;
        if (!quiet_argument(argc, argv))
            model_warnings = loaded.warnings;
    }

    CLI::App app{"Explores the design space of a multicore processor chip without the window: "
                 "searches, sweeps, enumerates and draws it with the window's model.",
                 kProgram};
    const std::string footer =
        "The model, its equations, units and assumptions: docs/model.md in the source tree. "
        "Every command takes --model FILE to use a model file instead of the built-in model.";
    const std::string objectives_note =
        " search, sweep and budget take --objective speedup|speedup_per_watt|energy|edp (what "
        "the best configuration is); search, sweep and space take --energy (the energy figures "
        "as columns).";
    app.footer(footer + objectives_note);
    app.set_version_flag("--version", std::string(kProgram) + " " + CPU_WIDGET_VERSION);
    app.require_subcommand(1);
    Arguments a;
    set_default_options(a);
    // A command named first is the one this run can parse: only its options are made (making
    // every command's options costs more than the rest of a search). Otherwise (--help, a
    // global option first) every command's are.
    const bool named_first =
        argc > 1 &&
        std::any_of(std::begin(kCommands), std::end(kCommands),
                    [&](const Command *command) { return command->name == std::string(argv[1]); });
    // --version alone needs no command's options either.
    const bool version_alone = argc == 2 && std::string(argv[1]) == "--version";
    // Likewise a command named first is the only command made: a second command's name after
    // it is an argument it does not take either way.
    std::string commands; // "search, sweep, ..."
    for (const Command *command : kCommands) {
        commands += (commands.empty() ? "" : ", ") + std::string(command->name);
        const bool this_one = named_first && command->name == std::string(argv[1]);
        if (named_first && !this_one)
            continue;
        CLI::App *added = app.add_subcommand(command->name, command->summary);
        added->footer(command->notes_objectives ? footer + objectives_note : footer);
        if (!version_alone && (!named_first || this_one))
            command->add_options(added, a);
    }

    if (argc > 1 && argv[1][0] != '-' && !is_command(app, argv[1])) {
        say(err, "unknown command '" + std::string(argv[1]) + "'; accepted: " + commands);
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        std::ostringstream help, refused;
        app.exit(e, help, refused);
        return emit(out, err, help.str()) ? 0 : 1;
    } catch (const CLI::CallForAllHelp &e) {
        std::ostringstream help, refused;
        app.exit(e, help, refused);
        return emit(out, err, help.str()) ? 0 : 1;
    } catch (const CLI::CallForVersion &e) {
        return emit(out, err, std::string(e.what()) + "\n") ? 0 : 1;
    } catch (const CLI::RequiredError &e) {
        if (app.get_subcommands().empty()) {
            say(err, "a command is required; accepted: " + commands);
            return 2;
        }
        say(err, refusal(e, app));
        return 2;
    } catch (const CLI::ParseError &e) {
        say(err, refusal(e, app));
        return 2;
    }
    for (const std::string &warning : model_warnings)
        say(err, "warning: " + warning);
    a.format = format_of(a.format);
    if (!a.parallel_fraction.empty()) {
        auto changed = std::make_shared<Model>(active_model());
        changed->parallel_fraction = *parse_number(a.parallel_fraction);
        // The flag is the parallel fraction of every workload: it replaces the model file's
        // per-workload ones too.
        for (WorkloadRecord &w : changed->workloads)
            w.parallel_fraction.reset();
        set_active_model(changed);
        model_in_use.replaced = true;
    }

    const Command *given = nullptr;
    for (const Command *command : kCommands)
        if (is_command(app, command->name) && app.get_subcommand(command->name)->parsed())
            given = command;

    const Request r = request_of(a);
    const std::vector<Request> option_sets =
        given->option_sets != nullptr ? given->option_sets(r, a) : std::vector<Request>{r};
    for (const Request &each : option_sets) {
        const std::string refused = operating_point_error(each.options, each.holds);
        if (!refused.empty()) {
            say(err, refused);
            return 2;
        }
    }
    Output output(out);
    const Invocation invocation{a, r, *app.get_subcommand(given->name), output, out, err};
    // The built-in model has no configuration whose figures are not finite.
    if (&active_model() != &builtin_model()) {
        if (given->warn_non_finite != nullptr)
            given->warn_non_finite(invocation, option_sets);
        else
            warn_non_finite_in(option_sets, invocation);
    }
    return given->run(invocation);
}

} // namespace

int run_cli(int argc, const char *const *argv, FILE *out, FILE *err) {
    try {
        return run(argc, argv, out, err);
    } catch (const std::bad_alloc &) {
        // What was written stays written; the rest cannot be worked out.
        say(err, "out of memory; the output is incomplete");
        return 1;
    }
}
