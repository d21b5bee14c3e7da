// The tool's options: what each accepts and its checks, the refusals' wording, and the reading
// of the accepted arguments into the study layer's requests.
#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <type_traits>

#include "charts/image_file.h"
#include "model/model.h"
#include "study/budget.h"
#include "study/parallel.h"
#include "study/sensitivity.h"
#include "study/uncertainty.h"

const char *const kProgram = "cpu-widget-cli";

namespace {

// What each option of each command ("sweep --node") accepts, for its help line and for the
// error messages that CLI11 words itself (a missing value, an option given twice).
std::map<std::string, std::string> accepted;

template <typename Value>
CLI::Option *add_checked(CLI::App *command, const std::string &names, Value &value,
                         const std::string &type, const std::string &purpose,
                         const std::string &accepts, const Check &check) {
    for (size_t start = 0; start < names.size();) {
        const size_t comma = std::min(names.find(',', start), names.size());
        accepted[command->get_name() + " " + names.substr(start, comma - start)] = accepts;
        start = comma + 1;
    }
    CLI::Option *option = command->add_option(names, value, purpose + ": " + accepts);
    option->check(CLI::Validator(
        [check, accepts](std::string &text) {
            const std::string failure = check(text);
            return failure.empty() ? failure : failure + "; accepted: " + accepts;
        },
        ""));
    option->type_name(type);
    if constexpr (!std::is_same_v<Value, std::string>)
        option->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    return option;
}

Check choice_check(Choice choice, const char *kind) {
    return [choice, kind](const std::string &text) {
        return find_choice(choice, text) ? std::string() : quoted(text) + " is not " + kind;
    };
}

// Why a text that parse_number refused is not taken: a number beyond a double's range (1e400,
// or 1e-400, which would read as 0) is out of range, anything else is not a number.
std::string not_a_number(const std::string &text) {
    double value = 0;
    const char *start = text.c_str() + (text.size() > 1 && text[0] == '+' ? 1 : 0);
    const char *end = text.c_str() + text.size();
    const auto [stop, error] = std::from_chars(start, end, value);
    if (stop == end && error == std::errc::result_out_of_range)
        return text + " is out of range";
    return quoted(text) + " is not a number";
}

Check axis_check(std::optional<int> (*index_of)(double), const char *kind) {
    return [index_of, kind](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return not_a_number(text);
        if (!index_of(*value))
            return text + " is not " + kind;
        return std::string();
    };
}

std::string one_of(Choice choice, const char *fallback) {
    return "one of " + choice_list(choice) + " (default " + fallback + ")";
}

// Threads a command may use; more than this is surely a typing error.
constexpr int kMostJobs = 1024;

} // namespace

CLI::Option *add(CLI::App *command, const std::string &names, std::string &value,
                 const std::string &type, const std::string &purpose, const std::string &accepts,
                 const Check &check) {
    return add_checked(command, names, value, type, purpose, accepts, check);
}

CLI::Option *add(CLI::App *command, const std::string &names, std::vector<std::string> &values,
                 const std::string &type, const std::string &purpose, const std::string &accepts,
                 const Check &check) {
    return add_checked(command, names, values, type, purpose, accepts, check);
}

const std::string &accepted_by(const std::string &command_and_option) {
    return accepted[command_and_option];
}

Objective Arguments::chosen() const {
    return *objective_named(objective);
}

std::string quoted(const std::string &text) {
    return "'" + text + "'";
}

Check number_check(bool zero_allowed) {
    return [zero_allowed](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return not_a_number(text);
        if (zero_allowed ? *value < 0 : *value <= 0)
            return text + " is out of range";
        return std::string();
    };
}

Check step_check() {
    return [](const std::string &text) {
        const std::string failure = number_check(false)(text);
        if (!failure.empty())
            return failure;
        // 5e-324 % would relax nothing: the limits would be compared with themselves.
        if (1 + *parse_number(text) / 100 == 1)
            return text + " is too small to relax a limit";
        return std::string();
    };
}

std::optional<uint64_t> whole_number(const std::string &text, std::string *failure) {
    // [+-]digits[.digits][e[+-]digits], read as digits x 10^exponent without rounding.
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    i += !text.empty() && (text[0] == '-' || text[0] == '+');
    std::string digits; // those before the point and after it, their value digits x 10^exponent
    long exponent = 0;
    bool point = false, any = false;
    for (; i < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[i])) || (text[i] == '.' && !point));
         i++) {
        if (text[i] == '.') {
            point = true;
            continue;
        }
        any = true;
        digits += text[i];
        exponent -= point;
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    bool valid = any;
    if (valid && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        i++;
        const bool down = i < text.size() && text[i] == '-';
        i += i < text.size() && (text[i] == '-' || text[i] == '+');
        valid = i < text.size();
        long power = 0; // beyond a million, as good as infinite
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); i++)
            power = std::min(power * 10 + (text[i] - '0'), 1000000L);
        exponent += down ? -power : power;
    }
    if (!valid || i != text.size()) {
        if (failure)
            *failure = quoted(text) + " is not a whole number";
        return std::nullopt;
    }
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        exponent++;
    }
    if (digits.empty())
        return uint64_t(0);
    if (exponent < 0) {
        if (failure)
            *failure = quoted(text) + " is not a whole number";
        return std::nullopt;
    }
    uint64_t value = 0;
    bool fits = !negative && digits.size() + size_t(exponent) <= 20;
    for (size_t d = 0; fits && d < digits.size() + size_t(exponent); d++) {
        const uint64_t digit = d < digits.size() ? uint64_t(digits[d] - '0') : 0;
        fits = value <= (UINT64_MAX - digit) / 10;
        value = value * 10 + digit;
    }
    if (!fits) {
        if (failure)
            *failure = text + " is out of range";
        return std::nullopt;
    }
    return value;
}

Check whole_check(uint64_t low, uint64_t high) {
    return [low, high](const std::string &text) {
        std::string failure;
        const std::optional<uint64_t> value = whole_number(text, &failure);
        if (value && (*value < low || *value > high))
            return text + " is out of range";
        return failure;
    };
}

// The format named, in any letter case as every other value: "text", "csv", "json" or, for
// any other name, empty.
std::string format_of(const std::string &text) {
    std::string name;
    for (char c : text)
        name += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return name == "text" || name == "csv" || name == "json" ? name : std::string();
}

void add_option_set(CLI::App *command, Arguments &a) {
    add(command, "--workload", a.workload, "NAME", "workload",
        one_of(Choice::Workload, a.workload.c_str()), choice_check(Choice::Workload, "a workload"));
    add(command, "--memory", a.memory, "KIND", "plain or 3D-stacked memory",
        one_of(Choice::Memory, a.memory.c_str()), choice_check(Choice::Memory, "a memory kind"));
    add(command, "--transistor", a.transistor, "KIND", "transistors of the cores/L2 cache",
        one_of(Choice::Transistor, a.transistor.c_str()),
        choice_check(Choice::Transistor, "a transistor kind"));
    add(command, "--core", a.core, "KIND", "core kind", one_of(Choice::CoreKind, a.core.c_str()),
        choice_check(Choice::CoreKind, "a core kind"));
    add(command, "--node", a.node, "NODE", "technology node", one_of(Choice::Node, a.node.c_str()),
        choice_check(Choice::Node, "a technology node"));
}

// sweep's filters: each option may be given several times, and the sweep goes through the
// combinations of the values given (every value of an option not given).
void add_option_filters(CLI::App *command, Arguments &a) {
    struct Filter {
        const char *option, *type, *values, *kind;
        Choice choice;
        std::vector<std::string> &given;
    };
    const Filter filters[] = {
        {"--workload", "NAME", "workloads", "a workload", Choice::Workload, a.workloads},
        {"--memory", "KIND", "memory kinds", "a memory kind", Choice::Memory, a.memories},
        {"--transistor", "KIND", "transistor kinds", "a transistor kind", Choice::Transistor,
         a.transistors},
        {"--core", "KIND", "core kinds", "a core kind", Choice::CoreKind, a.core_kinds},
        {"--node", "NODE", "technology nodes", "a technology node", Choice::Node, a.nodes},
    };
    for (const Filter &f : filters)
        add(command, f.option, f.given, f.type, std::string("sweep only these ") + f.values,
            "one of " + choice_list(f.choice) +
                " (given several times, each value; default: every one)",
            choice_check(f.choice, f.kind));
}

// The filter of sweep's option flags: the values given, in the model's order, each once.
OptionFilter filter_of(const Arguments &a) {
    auto indices = [](Choice choice, const std::vector<std::string> &names) {
        std::vector<int> values;
        for (const std::string &name : names)
            values.push_back(*find_choice(choice, name));
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        return values;
    };
    return OptionFilter{indices(Choice::Workload, a.workloads), indices(Choice::Memory, a.memories),
                        indices(Choice::Transistor, a.transistors),
                        indices(Choice::CoreKind, a.core_kinds), indices(Choice::Node, a.nodes)};
}

const char *const kModelAccepted =
    "a model file (docs/model.md; 'cpu-widget-cli model export' writes the built-in one)";

// The model file option of every command. The file is read before the command line is parsed
// (the option names and their accepted values come from it); here it is only accepted.
void add_model(CLI::App *command, Arguments &a) {
    add(command, "--model", a.model, "FILE", "model file to use instead of the built-in model",
        kModelAccepted, [](const std::string &) { return std::string(); });
    add(command, "--parallel-fraction", a.parallel_fraction, "P",
        "the share of every workload's work that runs in parallel, in place of the model's "
        "(as a model file that extends the model in use with constants.parallel_fraction), its "
        "workloads' own included",
        "a number from 0 to 1 (default: the model's, 0.99 in the built-in one)",
        [](const std::string &text) {
            const std::optional<double> value = parse_number(text);
            if (!value)
                return not_a_number(text);
            if (*value < 0 || *value > 1)
                return text + " is out of range";
            return std::string();
        });
    command->add_flag("--quiet", a.quiet,
                      "say nothing of the model file's figures that lie outside the ranges "
                      "typical of real chips (docs/model.md)");
}

// Whether "--quiet" comes before a lone "--": the model file's warnings wait for the command
// line to be parsed, which needs the model.
bool quiet_argument(int argc, const char *const *argv) {
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--quiet") == 0)
            return true;
    }
    return false;
}

// The choices' defaults: the first of each list, the model's start-up node.
void set_default_options(Arguments &a) {
    const Model &m = active_model();
    a.workload = m.workloads[0].name;
    a.memory = m.memory_kinds[0].name;
    a.transistor = m.transistor_kinds[0].name;
    a.core = m.core_kinds[0].name;
    a.node = m.nodes[m.start_node].name;
}

// The value of the first "--model FILE" or "--model=FILE" before a lone "--"; none when there
// is none (an empty value is given, and refused).
std::optional<std::string> model_argument(int argc, const char *const *argv) {
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--")
            break;
        if (arg == "--model" && i + 1 < argc)
            return std::string(argv[i + 1]);
        if (arg.rfind("--model=", 0) == 0)
            return arg.substr(8);
    }
    return std::nullopt;
}

void add_limits(CLI::App *command, Arguments &a) {
    add(command, "--area", a.area, "MM2", "area limit in mm^2",
        "a number >= 0 (default: the node's area budget)", number_check(true));
    add(command, "--power", a.power, "W", "power limit in W",
        "a number >= 0 (default: the node's power budget)", number_check(true));
    add(command, "--bw", a.bandwidth, "GBPS", "off-chip bandwidth limit in GB/s",
        "a number >= 0 (default: the node's off-chip bandwidth)", number_check(true));
    add(command, "--tsv", a.tsv, "GBPS", "TSV bandwidth limit in GB/s, checked with 3D memory",
        "a number >= 0 (default: the node's TSV bandwidth)", number_check(true));
}

void add_held_dimensions(CLI::App *command, Arguments &a) {
    add(command, "--cores", a.cores, "N", "hold the core count", "one of " + core_count_list(),
        axis_check(core_count_index, "a core count of the design space"));
    add(command, "--cache", a.cache, "MB", "hold the L2 cache size in MB",
        "one of " + cache_size_list(),
        axis_check(cache_size_index, "a cache size of the design space"));
}

CLI::Option *add_scale(CLI::App *command, Arguments &a) {
    return add(command, "--scale", a.scale, "S", "hold the voltage scale step",
               "one of " + scale_step_list(), axis_check(scale_step_index, "a scale step"));
}

void add_operating_point(CLI::App *command, Arguments &a, CLI::Option *scale) {
    add(command, "--vdd", a.vdd, "V", "supply voltage at the held scale step",
        "a number above 0 and at most the nominal supply (default: the step's supply)",
        number_check(false))
        ->needs(scale);
    add(command, "--freq", a.freq, "GHZ", "frequency at the held scale step",
        "a number above 0 and at most what the supply allows (default: what it allows)",
        number_check(false))
        ->needs(scale);
}

void add_format(CLI::App *command, Arguments &a) {
    add(command, "--format", a.format, "FORMAT", "output format",
        "text, csv or json (default text)", [](const std::string &text) {
            return format_of(text).empty() ? quoted(text) + " is not a format" : std::string();
        });
}

void add_jobs(CLI::App *command, Arguments &a) {
    add(command, "--jobs", a.jobs, "N", "threads to search on",
        "a whole number from 1 to " + std::to_string(kMostJobs) + " (default: one per core)",
        whole_check(1, kMostJobs));
}

// "space" or "scaling" in any letter case; empty for anything else.
std::string chart_kind(const std::string &text) {
    std::string name;
    for (char c : text)
        name += char(std::tolower(static_cast<unsigned char>(c)));
    return name == "space" || name == "scaling" ? name : std::string();
}

int jobs_of(const Arguments &a) {
    return a.jobs.empty() ? all_cores() : int(*whole_number(a.jobs));
}

static std::optional<double> number_of(const std::string &text) {
    return text.empty() ? std::nullopt : parse_number(text);
}

template <typename Index> static std::optional<int> index_of(const std::string &text, Index find) {
    return text.empty() ? std::nullopt : find(*parse_number(text));
}

Request request_of(const Arguments &a) {
    Request r;
    r.options.workload = *find_choice(Choice::Workload, a.workload);
    r.options.memory = *find_choice(Choice::Memory, a.memory);
    r.options.transistor = *find_choice(Choice::Transistor, a.transistor);
    r.options.core_kind = *find_choice(Choice::CoreKind, a.core);
    r.options.node = *find_choice(Choice::Node, a.node);
    r.limits =
        Limits{number_of(a.area), number_of(a.power), number_of(a.bandwidth), number_of(a.tsv)};
    r.holds.cores = index_of(a.cores, core_count_index);
    r.holds.cache = index_of(a.cache, cache_size_index);
    r.holds.scale = index_of(a.scale, scale_step_index);
    r.holds.vdd = number_of(a.vdd);
    r.holds.freq = number_of(a.freq);
    return r;
}

void add_breakdown(CLI::App *command, Arguments &a) {
    command->add_flag("--breakdown", a.breakdown,
                      "add the power's terms in W: columns power_core_switching_w, "
                      "power_shared_logic_w, power_l2_switching_w, power_core_leakage_w, "
                      "power_l2_leakage_w, power_memory_interface_w, power_memory_stack_w in CSV "
                      "and JSON (they add up to power_w in the order docs/model.md gives), lines "
                      "or columns in text");
}

void add_flags(CLI::App *command, Arguments &a) {
    command->add_flag("--flags", a.flags,
                      "name the ends of the design space's axes that the best configuration sits "
                      "at: columns edge_cores, edge_cache, edge_scale in CSV and JSON, a line in "
                      "text");
}

// The arguments of a command on one option set: the model, the options, the limits, the held
// dimensions and operating point, and the output format.
void add_one_request(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add_held_dimensions(command, a);
    add_operating_point(command, a, add_scale(command, a));
    add_format(command, a);
}

CLI::Option *add_picture(CLI::App *command, Arguments &a, const std::string &purpose) {
    return add(command, "-o,--output", a.output, "FILE", purpose,
               "a file name ending in .png or .svg", [](const std::string &text) {
                   return image_format_of(text) ? std::string()
                                                : quoted(text) + " does not end in .png or .svg";
               });
}

void add_objective(CLI::App *command, Arguments &a) {
    add(command, "--objective", a.objective, "NAME", "what the best configuration is",
        std::string("one of ") + kObjectiveList + " (default speedup; docs/model.md)",
        [](const std::string &text) {
            return objective_named(text) ? std::string() : quoted(text) + " is not an objective";
        });
}

void add_energy_flag(CLI::App *command, Arguments &a) {
    command->add_flag("--energy", a.energy,
                      "add the energy figures: speedup_per_watt (1/W), energy_j (J per unit of "
                      "work) and edp_js (J s) (docs/model.md)");
}

static Check spread_check() {
    return [](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return not_a_number(text);
        if (!(*value > 0 && *value < 100))
            return text + " is out of range";
        return std::string();
    };
}

void add_spread(CLI::App *command, Arguments &a, const char *purpose) {
    add(command, "--spread", a.spread, "PERCENT", purpose, kSpreadAccepted, spread_check());
}

uint64_t seed_of(const std::string &text) {
    return *whole_number(text);
}

// The arguments that no option or command took, in the order they were typed.
static std::vector<std::string> unexpected_arguments(const CLI::App &app) {
    std::vector<std::string> extras = app.remaining();
    for (const CLI::App *command : app.get_subcommands())
        if (extras.empty())
            extras = command->remaining();
    return extras;
}

// One line for a command line that CLI11 refused, naming the argument and what it accepts.
std::string refusal(const CLI::ParseError &error, const CLI::App &app) {
    const std::vector<CLI::App *> given = app.get_subcommands();
    const std::string command = given.empty() ? "" : given[0]->get_name();
    std::string what = error.what();
    const std::string help = "run '" + std::string(kProgram) + (command.empty() ? "" : " ") +
                             command + " --help' for the accepted arguments";
    if (dynamic_cast<const CLI::ValidationError *>(&error) != nullptr)
        return what;
    if (dynamic_cast<const CLI::ExtrasError *>(&error) != nullptr) {
        // CLI11 words this one with the arguments in reverse order.
        const std::vector<std::string> extras = unexpected_arguments(app);
        if (!extras.empty()) {
            what = extras.size() > 1 ? "The following arguments were not expected:"
                                     : "The following argument was not expected:";
            for (const std::string &extra : extras)
                what += " " + extra;
        }
        return what + "; " + help;
    }
    // CLI11 starts its other messages with the option's name, an option of the innermost
    // command given ("model export").
    const std::string name = what.substr(0, what.find_first_of(": "));
    const CLI::App *innermost = given.empty() ? nullptr : given[0];
    while (innermost != nullptr && !innermost->get_subcommands().empty())
        innermost = innermost->get_subcommands()[0];
    const auto known =
        accepted.find((innermost ? innermost->get_name() : std::string()) + " " + name);
    if (known == accepted.end())
        return what + "; " + help;
    if (what.find("missing") != std::string::npos)
        return name + ": missing value; accepted: " + known->second;
    if (what.find("At Most") != std::string::npos)
        return name + ": given more than once; accepted: once, " + known->second;
    return what + "; accepted: " + known->second;
}
