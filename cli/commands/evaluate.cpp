// evaluate: every figure of one configuration, at any core count and cache size, at a scale
// step or a given supply and clock, with the limits it breaks.
#include "chips/evaluation_columns.h"
#include "cli/command.h"
#include "cli/evaluate_text.h"

namespace {

void add_evaluate_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add(command, "--cores", a.cores, "N", "the core count",
        "a whole number, at least 1 (default 1)", whole_check(1, 1e9));
    add(command, "--cache", a.cache, "MB", "the L2 cache size in MB",
        "a number above 0 (default 1; off the axis its L2 latency is interpolated)",
        number_check(false));
    add(command, "--scale", a.scale, "S", "the voltage scale step",
        "one of " + scale_step_list() + " (default 1.0)", [](const std::string &text) {
            const std::optional<double> step = parse_number(text);
            return step && scale_step_index(*step) ? std::string()
                                                   : quoted(text) + " is not a scale step";
        });
    add(command, "--vdd", a.vdd, "V", "the supply voltage",
        "a number above 0, above the nominal supply too (default: the step's supply)",
        number_check(false));
    add(command, "--freq", a.freq, "GHZ", "the clock frequency",
        "a number above 0 (default: what the supply allows)", number_check(false));
    add_breakdown(command, a);
    add_format(command, a);
}

EvaluationRequest evaluation_request(const Invocation &run) {
    const Arguments &a = run.a;
    EvaluationRequest e;
    e.options = run.r.options;
    e.limits = run.r.limits;
    auto number = [](const std::string &text) {
        return text.empty() ? std::nullopt : parse_number(text);
    };
    e.cores = number(a.cores).value_or(1);
    e.cache_mb = number(a.cache).value_or(1);
    e.scale = number(a.scale);
    e.vdd = number(a.vdd);
    e.freq = number(a.freq);
    return e;
}

int run_evaluate(const Invocation &run) {
    const Evaluation e = evaluate(active_model(), evaluation_request(run));
    if (!e.error.empty()) {
        say(run.err, "--" + e.error);
        return 2;
    }
    if (run.a.format != "text")
        return write_table(evaluation_table({e}, run.a.breakdown), run.a.format, run.out, run.err);
    run.out.text() += evaluation_text(e, run.a.breakdown);
    return finished(run.out, run.err);
}

// Its operating point need not be one a search can hold (a supply above the nominal one is
// taken, with a note), and its one configuration's figures are its output.
std::vector<Request> no_option_sets(const Request &, const Arguments &) {
    return {};
}

} // namespace

extern const Command evaluate_command{
    .name = "evaluate",
    .summary = "Every figure of one configuration (any core count and cache size; a scale step "
               "or a supply and clock) and the limits it breaks, whether or not it meets them.",
    .add_options = add_evaluate_options,
    .run = run_evaluate,
    .option_sets = no_option_sets,
    .warn_non_finite = scans_nothing,
};
