// cpu-widget-cli: the design-space explorer without its window. Searches, sweeps, enumerates
// and draws the design space with the same model and searches the window uses, and writes
// text, CSV or JSON on standard output.
//
// Exit status: 0 on success (also when no configuration meets the limits: that is an
// outcome), 2 on bad arguments (one line on standard error, nothing on standard output), 1
// when the output, help and version included, cannot be written.
#include "cli/run.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>

#include "cli/analysis_charts.h"
#include "cli/output.h"
#include "cli/plot.h"
#include "cli/report.h"
#include "cli/research_charts.h"
#include "cli/research_text.h"
#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "modelfile/whole_file.h"
#include "search/trace.h"
#include "study/budget.h"
#include "study/choices.h"
#include "study/design.h"
#include "study/explain.h"
#include "study/parallel.h"

namespace {

constexpr const char *kProgram = "cpu-widget-cli";

// Arguments as typed; each is checked by its option's validator while the command line is
// parsed, and read into a Request afterwards.
struct Arguments {
    std::string model;             // read before the command line is parsed (load_model_option)
    std::string parallel_fraction; // replaces the model's once the command line is parsed
    std::string workload, memory, transistor, core, node; // default: the model's first, start node
    std::string area, power, bandwidth, tsv;
    std::string cores, cache, scale, vdd, freq;
    std::string format = "text";
    std::string output;
    std::string jobs; // default: one per core
    std::string step = "10";
    std::string vary;
    std::string series;
    std::string best_over;
    bool flags = false;     // the ends of axes the best configuration sits at, as columns
    bool pairs = false;     // explain: every pair of limits relaxed together too
    bool binding = false;   // budget curves: the limits that bind at each point
    bool breakdown = false; // search, space, explain: the power's terms
    bool quiet = false;     // no warnings about the model file's figures (read before parsing)
    std::string chart = "space";
    // sweep's filters: the values of each option to go through (default: all)
    std::vector<std::string> workloads, memories, transistors, core_kinds, nodes;
};

// What each option of each command ("sweep --node") accepts, for its help line and for the
// error messages that CLI11 words itself (a missing value, an option given twice).
std::map<std::string, std::string> accepted;

using Check = std::function<std::string(const std::string &)>;

// An option whose help reads "purpose: accepts" and whose refusals end in "accepted: accepts".
// A list (std::vector) takes the option as many times as it is given, a value each time.
template <typename Value>
CLI::Option *add(CLI::App *command, const std::string &names, Value &value, const std::string &type,
                 const std::string &purpose, const std::string &accepts, const Check &check) {
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

std::string quoted(const std::string &text) {
    return "'" + text + "'";
}

Check choice_check(Choice choice, const char *kind) {
    return [choice, kind](const std::string &text) {
        return find_choice(choice, text) ? std::string() : quoted(text) + " is not " + kind;
    };
}

Check number_check(bool zero_allowed) {
    return [zero_allowed](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return quoted(text) + " is not a number";
        if (zero_allowed ? *value < 0 : *value <= 0)
            return text + " is out of range";
        return std::string();
    };
}

Check axis_check(std::optional<int> (*index_of)(double), const char *kind) {
    return [index_of, kind](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return quoted(text) + " is not a number";
        if (!index_of(*value))
            return text + " is not " + kind;
        return std::string();
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

std::string one_of(Choice choice, const char *fallback) {
    return "one of " + choice_list(choice) + " (default " + fallback + ")";
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

constexpr const char *kModelAccepted =
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
                return quoted(text) + " is not a number";
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

// Threads a command may use; more than this is surely a typing error.
constexpr int kMostJobs = 1024;

void add_jobs(CLI::App *command, Arguments &a) {
    add(command, "--jobs", a.jobs, "N", "threads to search on",
        "a whole number from 1 to " + std::to_string(kMostJobs) + " (default: one per core)",
        [](const std::string &text) {
            const std::optional<double> value = parse_number(text);
            if (!value || *value != std::floor(*value))
                return quoted(text) + " is not a whole number";
            if (*value < 1 || *value > kMostJobs)
                return text + " is out of range";
            return std::string();
        });
}

// "space" or "scaling" in any letter case; empty for anything else.
std::string chart_kind(const std::string &text) {
    std::string name;
    for (char c : text)
        name += char(std::tolower(static_cast<unsigned char>(c)));
    return name == "space" || name == "scaling" ? name : std::string();
}

int jobs_of(const Arguments &a) {
    return a.jobs.empty() ? all_cores() : int(*parse_number(a.jobs));
}

std::optional<double> number_of(const std::string &text) {
    return text.empty() ? std::nullopt : parse_number(text);
}

template <typename Index> std::optional<int> index_of(const std::string &text, Index find) {
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

// The arguments that no option or command took, in the order they were typed.
std::vector<std::string> unexpected_arguments(const CLI::App &app) {
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

// The message as one line: control characters, which would break the line or act on the
// terminal, are written as escapes ("\n", "\t", "\r", "\x1b").
std::string one_line(const std::string &message) {
    std::string line;
    for (unsigned char c : message) {
        if (c >= 0x20 && c != 0x7f) {
            line += char(c);
            continue;
        }
        const char *named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
        char escape[8];
        if (named == nullptr)
            snprintf(escape, sizeof escape, "\\x%02x", c);
        line += named != nullptr ? named : escape;
    }
    return line;
}

// One line on the error stream, "cpu-widget-cli: message".
void say(FILE *err, const std::string &message) {
    fprintf(err, "%s: %s\n", kProgram, one_line(message).c_str());
    fflush(err);
}

// Writes everything to the output; false (saying why on the error stream) when it could not
// be written.
bool emit(FILE *out, FILE *err, const std::string &text) {
    errno = 0;
    const bool written = fwrite(text.data(), 1, text.size(), out) == text.size();
    if (fflush(out) == 0 && written && !ferror(out))
        return true;
    say(err,
        std::string("cannot write the output: ") + (errno != 0 ? strerror(errno) : "write error"));
    return false;
}

// How a command's output ended: 0, or 1 (saying why on the error stream) when it could not be
// written.
int finished(Output &out, FILE *err) {
    if (out.finish())
        return 0;
    say(err, std::string("cannot write the output: ") +
                 (out.error() != 0 ? strerror(out.error()) : "write error"));
    return 1;
}

TableFormat table_format(const std::string &format) {
    return format == "csv" ? TableFormat::Csv : TableFormat::Json;
}

// A table that the command has whole (one search, an explanation), in CSV or JSON.
int write_table(const Table &table, const std::string &format, Output &out, FILE *err) {
    TableWriter writer(out, table_format(format));
    writer.write(table);
    writer.finish();
    return finished(out, err);
}

// Rows of best configurations in the chosen format, a batch at a time: sweep's output and the
// scaling chart's rows. begin writes what comes before the first batch; add each batch; end.
class BestRowsWriter {
  public:
    BestRowsWriter(Output &out, const std::string &format, bool flags = false)
        : out_(out), text_(format == "text"), writer_(out, table_format(format)),
          table_(best_table(flags)) {
        if (text_)
            out_.text() += sweep_text_header();
    }
    bool add(const std::vector<BestConfiguration> &rows) {
        for (size_t first = 0; first < rows.size(); first += kRowsPerTable) {
            const size_t last = std::min(rows.size(), first + kRowsPerTable);
            if (text_) {
                for (size_t i = first; i < last; i++) {
                    at_edges_ += rows[i].feasible && rows[i].edges.any();
                    out_.text() += sweep_text_row(rows[i]);
                    if (!out_.flush_when_full())
                        return false;
                }
                continue;
            }
            table_.clear_rows();
            for (size_t i = first; i < last; i++)
                add_best_row(table_, rows[i]);
            if (!writer_.write(table_))
                return false;
        }
        return true;
    }
    bool end() { return text_ ? out_.finish() : writer_.finish(); }
    // Text rows whose best configuration sits at an end of an axis.
    size_t at_edges() const { return at_edges_; }

  private:
    // Rows turned into columns at a time: enough to write in bulk, few enough to stay small.
    static constexpr size_t kRowsPerTable = 4096;
    Output &out_;
    bool text_;
    TableWriter writer_;
    Table table_;
    size_t at_edges_ = 0;
};

// A note on the error stream, so that the output keeps its bytes: where the best configuration
// sits at an end of an axis, the design space rather than the chip decided.
void note_edges(const BestConfiguration &best, FILE *err) {
    const std::string edges = edges_text(best);
    if (!edges.empty())
        say(err, "note: the best configuration sits at the end of an axis of the design space (" +
                     edges + "); --flags gives the ends as columns");
}

// The power's terms of a best configuration, when they are asked for and it has one.
struct BestBreakdown {
    PowerBreakdown terms{};
    const PowerBreakdown *given = nullptr; // &terms, or none

    BestBreakdown(const Request &r, const BestConfiguration &best, bool asked) {
        if (!asked || !best.feasible)
            return;
        terms = power_breakdown(spec_of(r), best.scale, best.cache, best.cores);
        given = &terms;
    }
    BestBreakdown(const BestBreakdown &) = delete;
};

int run_search(const Request &r, const std::string &format, bool flags, bool breakdown, Output &out,
               FILE *err) {
    const BestConfiguration best = search_best(r);
    const BestBreakdown terms(r, best, breakdown);
    if (format != "text") {
        Table table = best_table(flags);
        if (breakdown)
            add_power_columns(table);
        add_best_row(table, best);
        if (breakdown)
            add_power_values(table, terms.given);
        return write_table(table, format, out, err);
    }
    std::vector<double> least;
    for (Limit limit : best.unmeetable)
        least.push_back(least_figure(r, limit));
    out.text() += request_text(r) + "\n" + best_text(best, least, terms.given);
    const std::string edges = edges_text(best);
    if (flags && !edges.empty())
        out.text() += "Edges:    " + edges + "\n";
    const int status = finished(out, err);
    if (!flags && status == 0)
        note_edges(best, err);
    return status;
}

int write_best_rows(const std::vector<BestConfiguration> &rows, const std::string &format,
                    Output &out, FILE *err) {
    BestRowsWriter writer(out, format);
    writer.add(rows) && writer.end();
    return finished(out, err);
}

int run_sweep(const Request &r, const OptionFilter &filter, const std::string &format, bool flags,
              int jobs, Output &out, FILE *err) {
    BestRowsWriter writer(out, format, flags);
    sweep_in_batches(
        r.limits, r.holds, jobs,
        [&](const std::vector<BestConfiguration> &rows) { return writer.add(rows); }, filter) &&
        writer.end();
    const int status = finished(out, err);
    if (status == 0 && writer.at_edges() != 0)
        say(err, "note: " + std::to_string(writer.at_edges()) +
                     " of the best configurations sit at the end of an axis of the design space; "
                     "--flags gives the ends as columns");
    return status;
}

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

std::optional<BudgetRequest> budget_request(const Request &r, const Arguments &a, FILE *err) {
    BudgetRequest b{r, {}, std::nullopt, *parse_number(a.step) / 100, {}};
    for (size_t start = 0; start <= a.vary.size();) {
        const size_t comma = std::min(a.vary.find(',', start), a.vary.size());
        std::string error;
        const std::optional<LimitRange> range =
            parse_limit_range(a.vary.substr(start, comma - start), error);
        if (!range) {
            say(err, "--vary: " + error + "; accepted: " + accepted["budget --vary"]);
            return std::nullopt;
        }
        b.varied.push_back(*range);
        start = comma + 1;
    }
    if (!a.series.empty())
        b.series = series_choice(a.series);
    if (!a.best_over.empty()) {
        std::string error;
        b.best_over = *parse_best_over(a.best_over, error);
    }
    b.binding = a.binding;
    const std::string refused = budget_error(b);
    if (!refused.empty()) {
        say(err, refused);
        return std::nullopt;
    }
    return b;
}

// Every point of a budget, written as the points are worked out (or from the answers kept for
// a picture, when there is one).
int run_budget(const BudgetRequest &b, const Budget *kept, const std::string &format, bool flags,
               int jobs, Output &out, FILE *err) {
    constexpr size_t kRowsPerTable = 4096;
    const bool text = format == "text";
    TableWriter writer(out, table_format(format));
    Table table = budget_table(b, flags);
    bool first = true;
    auto take = [&](const BudgetSeries &s, const BudgetChunk &chunk) {
        if (text && chunk.first == 0) {
            if (first && b.objective != Objective::Speedup)
                out.text() += objective_line(b.objective);
            out.text() += budget_text_header(b, s, first);
            first = false;
        }
        for (size_t from = 0; from < chunk.best.size(); from += kRowsPerTable) {
            const size_t to = std::min(chunk.best.size(), from + kRowsPerTable);
            if (text) {
                append_budget_text_rows(out.text(), b, s, chunk, from, to);
                if (!out.flush_when_full())
                    return false;
                continue;
            }
            table.clear_rows();
            add_budget_rows(table, b, s, chunk, from, to);
            if (!writer.write(table))
                return false;
        }
        return true;
    };
    bool written = true;
    if (kept == nullptr)
        written = budget_in_chunks(b, jobs, take);
    for (size_t i = 0; kept != nullptr && written && i < kept->series.size(); i++) {
        const BudgetSeries &s = kept->series[i];
        written = take(s, BudgetChunk{0, s.best, s.binding, s.chosen});
    }
    if (written && !text)
        writer.finish();
    return finished(out, err);
}

// The picture of a command that draws one, or a failure (exit status 1).
int drawn(const std::string &failure, FILE *err) {
    release_drawing_caches();
    if (failure.empty())
        return 0;
    say(err, failure);
    return 1;
}

CLI::Option *add_picture(CLI::App *command, Arguments &a, const std::string &purpose) {
    return add(command, "-o,--output", a.output, "FILE", purpose,
               "a file name ending in .png or .svg", [](const std::string &text) {
                   return image_format_of(text) ? std::string()
                                                : quoted(text) + " does not end in .png or .svg";
               });
}

// ---------------------------------------------------------------------------------------------
// The research commands (pareto, sensitivity, uncertainty) and the energy figures and
// objectives of search, sweep and space.

struct ResearchArguments {
    std::string objective = "speedup";
    bool energy = false;
    std::string objectives = "speedup,power,area";
    std::string spread = "10";
    std::string samples = "1000";
    std::string seed = "1";
    std::string ranges;
    bool per_sample = false;

    Objective chosen() const { return *objective_named(objective); }
    // Energy columns: asked for, or implied by an objective other than the speedup.
    bool energy_columns() const { return energy || chosen() != Objective::Speedup; }
};

void add_objective(CLI::App *command, ResearchArguments &ra) {
    add(command, "--objective", ra.objective, "NAME", "what the best configuration is",
        std::string("one of ") + kObjectiveList + " (default speedup; docs/model.md)",
        [](const std::string &text) {
            return objective_named(text) ? std::string() : quoted(text) + " is not an objective";
        });
}

void add_energy_flag(CLI::App *command, ResearchArguments &ra) {
    command->add_flag("--energy", ra.energy,
                      "add the energy figures: speedup_per_watt (1/W), energy_j (J per unit of "
                      "work) and edp_js (J s) (docs/model.md)");
}

Check whole_check(double low, double high) {
    return [low, high](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value || *value != std::floor(*value))
            return quoted(text) + " is not a whole number";
        if (*value < low || *value > high)
            return text + " is out of range";
        return std::string();
    };
}

Check spread_check() {
    return [](const std::string &text) {
        const std::optional<double> value = parse_number(text);
        if (!value)
            return quoted(text) + " is not a number";
        if (!(*value > 0 && *value < 100))
            return text + " is out of range";
        return std::string();
    };
}

void add_spread(CLI::App *command, ResearchArguments &ra, const char *purpose) {
    add(command, "--spread", ra.spread, "PERCENT", purpose, kSpreadAccepted, spread_check());
}

// A whole number from 0 to 2^53 (checked), exact as a double.
uint64_t seed_of(const std::string &text) {
    return uint64_t(*parse_number(text));
}

// The rows of search and sweep with the energy columns (after the ends of axes, with flags).
Table best_energy_table(bool flags) {
    Table table = best_table(flags);
    add_energy_columns(table);
    return table;
}

void add_best_energy_row(Table &table, const BestConfiguration &best) {
    add_best_row(table, best);
    add_energy_values(table, best.feasible ? &best.figures : nullptr);
}

int run_search_by(const Request &r, const ResearchArguments &ra, bool flags, bool breakdown,
                  const std::string &format, Output &out, FILE *err) {
    const BestConfiguration best = search_best_by(r, ra.chosen());
    const BestBreakdown terms(r, best, breakdown);
    if (format != "text") {
        Table table = best_energy_table(flags);
        const size_t energy = table.columns.size() - 3;
        if (breakdown)
            add_power_columns(table);
        add_best_row(table, best);
        add_energy_values(table, energy, best.feasible ? &best.figures : nullptr);
        if (breakdown)
            add_power_values(table, terms.given);
        return write_table(table, format, out, err);
    }
    std::vector<double> least;
    for (Limit limit : best.unmeetable)
        least.push_back(least_figure(r, limit));
    out.text() += request_text(r) + objective_line(ra.chosen()) + "\n" +
                  best_text(best, least, terms.given) + best_energy_text(best);
    const std::string edges = edges_text(best);
    if (flags && !edges.empty())
        out.text() += "Edges:    " + edges + "\n";
    return finished(out, err);
}

int run_sweep_by(const Request &r, const ResearchArguments &ra, const OptionFilter &filter,
                 bool flags, const std::string &format, int jobs, Output &out, FILE *err) {
    const bool text = format == "text";
    TableWriter writer(out, table_format(format));
    Table table = best_energy_table(flags);
    if (text) {
        const std::string header = sweep_text_header();
        out.text() += objective_line(ra.chosen()) + header.substr(0, header.size() - 1) +
                      energy_columns_header() + "\n";
    }
    const bool written = sweep_in_batches_by(
        r.limits, r.holds, ra.chosen(), jobs,
        [&](const std::vector<BestConfiguration> &rows) {
            if (text) {
                for (const BestConfiguration &row : rows) {
                    const std::string line = sweep_text_row(row);
                    out.text() += row.feasible ? line.substr(0, line.size() - 1) +
                                                     energy_columns(row.figures) + "\n"
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

int run_pareto(const Request &r, const ResearchArguments &ra, const Arguments &a, Output &out,
               FILE *err) {
    std::string error;
    const ParetoRequest p{r, *parse_pareto_objectives(ra.objectives, error)};
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

int run_sensitivity(const Request &r, const ResearchArguments &ra, const Arguments &a, Output &out,
                    FILE *err) {
    const Sensitivity s = sensitivity(r, *parse_number(ra.spread) / 100, jobs_of(a));
    if (!a.output.empty()) {
        const int status = drawn(write_tornado_chart(s, a.output, *image_format_of(a.output)), err);
        if (status != 0)
            return status;
    }
    if (a.format == "text") {
        out.text() += sensitivity_text(s);
        return finished(out, err);
    }
    return write_table(sensitivity_table(s), a.format, out, err);
}

int run_uncertainty(const Request &r, const ResearchArguments &ra, const Arguments &a, Output &out,
                    FILE *err) {
    if (ra.per_sample && a.format == "text") {
        say(err, "--per-sample: gives CSV or JSON rows; accepted: --per-sample with --format csv "
                 "or json");
        return 2;
    }
    UncertaintyRequest u;
    u.request = Request{r.options, r.limits, {}};
    u.samples = size_t(*parse_number(ra.samples));
    u.seed = seed_of(ra.seed);
    u.spread = *parse_number(ra.spread) / 100;
    if (!ra.ranges.empty()) {
        const std::string accepts = "; accepted: a file of lines FIELD LOW HIGH";
        std::ifstream file(ra.ranges, std::ios::binary);
        if (!file) {
            say(err, "--ranges: cannot read '" + ra.ranges + "'" + accepts);
            return 2;
        }
        // At most 1 MiB is read: a ranges file is a few lines, and a device or pipe may not end.
        constexpr size_t kMostBytes = size_t(1) << 20;
        std::string text(kMostBytes + 1, '\0');
        file.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(file.gcount()));
        if (text.size() > kMostBytes) {
            say(err, "--ranges: '" + ra.ranges + "' is larger than 1 MiB" + accepts);
            return 2;
        }
        if (file.bad()) {
            say(err, "--ranges: cannot read '" + ra.ranges + "'" + accepts);
            return 2;
        }
        std::string error;
        if (!parse_ranges(text, u.ranges, error)) {
            say(err, "--ranges: " + ra.ranges + ":" + error + accepts);
            return 2;
        }
        const std::string refused = uncertainty_error(u);
        if (!refused.empty()) {
            say(err, refused);
            return 2;
        }
    }
    const std::vector<UncertaintySample> samples = uncertainty_samples(u, jobs_of(a));
    if (ra.per_sample)
        return write_table(uncertainty_samples_table(samples), a.format, out, err);
    const Uncertainty summary = summarise(samples);
    if (a.format == "text") {
        out.text() += uncertainty_text(u, summary, drawn_fields(u).size());
        return finished(out, err);
    }
    return write_table(uncertainty_table(summary), a.format, out, err);
}

// model export: the model in use, to a file or to standard output.
int write_model(const std::string &path, FILE *out, FILE *err) {
    const std::string text = export_model(active_model());
    if (path.empty())
        return emit(out, err, text) ? 0 : 1;
    // Whole or not at all: a failed write leaves the file that was there.
    const std::string failure = write_whole_file(path, text);
    if (!failure.empty()) {
        say(err, "cannot write '" + path + "': " + failure);
        return 1;
    }
    return 0;
}

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

// Says once on the error stream when the option sets a command goes through have
// configurations whose figures are not all finite (a broken model file; the built-in model has
// none, so it is not gone through).
void warn_non_finite(const Arguments &a, const Request &r, const std::vector<Request> &requests,
                     bool sweeps, bool budgets, FILE *err) {
    if (&active_model() == &builtin_model())
        return;
    if (sweeps) {
        const OptionFilter filter = filter_of(a);
        const std::string warning = non_finite_warning(non_finite_figures(
            option_set_count(filter),
            [&](size_t i) {
                return Request{option_set_at(i, filter), r.limits, r.holds};
            },
            jobs_of(a)));
        if (!warning.empty())
            say(err, warning);
        return;
    }
    std::vector<Request> gone_through = requests;
    if (budgets && !a.series.empty() && series_choice(a.series)) {
        const Choice series = *series_choice(a.series);
        gone_through.clear();
        for (size_t i = 0; i < choice_names(series).size(); i++) {
            Request each = r;
            OptionSet &o = each.options;
            (series == Choice::Workload     ? o.workload
             : series == Choice::Memory     ? o.memory
             : series == Choice::Transistor ? o.transistor
             : series == Choice::CoreKind   ? o.core_kind
                                            : o.node) = int(i);
            gone_through.push_back(each);
        }
    }
    const std::string warning = non_finite_warning(non_finite_figures(gone_through, jobs_of(a)));
    if (!warning.empty())
        say(err, warning);
}

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
    app.footer("The model, its equations, units and assumptions: docs/model.md in the source "
               "tree. Every command takes --model FILE to use a model file instead of the "
               "built-in model.");
    app.set_version_flag("--version", std::string(kProgram) + " " + CPU_WIDGET_VERSION);
    app.require_subcommand(1);
    Arguments a;
    set_default_options(a);

    CLI::App *search =
        app.add_subcommand("search", "The best configuration of one option set within its limits.");
    add_one_request(search, a);
    add_flags(search, a);
    add_breakdown(search, a);

    CLI::App *sweep_command = app.add_subcommand(
        "sweep", "The best configuration of every option combination (360 rows), or of those "
                 "the option flags name, each under its node's limits or the limits given.");
    add_model(sweep_command, a);
    add_option_filters(sweep_command, a);
    add_limits(sweep_command, a);
    add_held_dimensions(sweep_command, a);
    add_scale(sweep_command, a);
    add_format(sweep_command, a);
    add_jobs(sweep_command, a);
    add_flags(sweep_command, a);

    CLI::App *space_command = app.add_subcommand(
        "space", "Every configuration of one option set (18,760 rows) with its figures and the "
                 "limits it breaks.");
    add_one_request(space_command, a);
    add_breakdown(space_command, a);

    CLI::App *explain_command = app.add_subcommand(
        "explain", "Which limit holds the best configuration of one option set back: each "
                   "limit's figure, slack and whether it binds, the speedup with it relaxed by "
                   "--step, and the smallest relaxation that changes the optimum.");
    add_model(explain_command, a);
    add_option_set(explain_command, a);
    add_limits(explain_command, a);
    add(explain_command, "--step", a.step, "PERCENT", "how far to relax each limit alone",
        "a number of percent above 0 (default 10)", number_check(false));
    explain_command->add_flag(
        "--pairs", a.pairs,
        "relax every pair of limits together too, and say which pairs hold the design back "
        "together beyond what relaxing either alone shows (rows marked by relaxed_with in CSV "
        "and JSON)");
    add_breakdown(explain_command, a);
    add_format(explain_command, a);

    CLI::App *budget_command = app.add_subcommand(
        "budget", "The best speedup and configuration as one limit varies over a range (for one "
                  "option set, or a curve per value of an option with --series), or as two "
                  "limits vary (a map, with the limit that binds at each point).");
    add_model(budget_command, a);
    add_option_set(budget_command, a);
    add_limits(budget_command, a);
    add(budget_command, "--vary", a.vary, "LIMIT=START:END:STEP[,LIMIT=START:END:STEP]",
        "the limit or two limits to vary",
        "LIMIT one of area, power, bandwidth, tsv; 0 <= START <= END; STEP above 0; at most "
        "10,000,000 points",
        [](const std::string &) { return std::string(); })
        ->required();
    add(budget_command, "--series", a.series, "OPTION", "a curve per value of this option",
        "one of workload, memory, transistor, core, node", [](const std::string &text) {
            return series_choice(text) ? std::string() : quoted(text) + " is not an option";
        });
    add(budget_command, "--best-over", a.best_over, "OPTION[,OPTION]",
        "at each point, the best over every value of these options",
        "options among workload, memory, transistor, core, node, each once, other than --series; "
        "with one limit in --vary",
        [](const std::string &text) {
            std::string error;
            return parse_best_over(text, error) ? std::string() : error;
        });
    budget_command->add_flag("--binding", a.binding,
                             "curves: add the limits whose relaxation alone by --step changes the "
                             "optimum at each point (a binding column)");
    add(budget_command, "--step", a.step, "PERCENT",
        "with two limits or --binding, how far relaxing one alone must change the optimum for it "
        "to bind",
        "a number of percent above 0 (default 10)", number_check(false));
    add_jobs(budget_command, a);
    add_flags(budget_command, a);
    add_format(budget_command, a);
    add_picture(budget_command, a, "draw the curves or the map into this picture as well");

    CLI::App *plot = app.add_subcommand(
        "plot", "Draws speedup over core count and cache size at one scale step (by default the "
                "best configuration's), with the limits and the best configuration marked.");
    add_model(plot, a);
    add_option_set(plot, a);
    add_limits(plot, a);
    add_operating_point(plot, a, add_scale(plot, a));
    add_picture(plot, a,
                "the picture to write (the scaling chart prints its rows as well, like sweep)")
        ->required();
    add(plot, "--chart", a.chart, "KIND", "which picture",
        "space (speedup over core count and cache size, the default) or scaling (best speedup "
        "and its core count over the nodes)",
        [](const std::string &text) {
            return chart_kind(text).empty() ? quoted(text) + " is not a chart" : std::string();
        });
    add(plot, "--series", a.series, "OPTION", "with --chart scaling, a line per value of",
        "core or workload (default core)", [](const std::string &text) {
            const std::optional<Choice> c = series_choice(text);
            return c == Choice::CoreKind || c == Choice::Workload
                       ? std::string()
                       : quoted(text) + " is not core or workload";
        });
    add_jobs(plot, a);
    add_format(plot, a);

    CLI::App *model_command =
        app.add_subcommand("model", "The model in use as a model file: 'model export'.");
    model_command->require_subcommand(1);
    CLI::App *export_command = model_command->add_subcommand(
        "export", "Writes the model in use (the built-in one unless --model is given) as a model "
                  "file, a comment per field with its meaning and unit.");
    add_model(export_command, a);
    add(export_command, "-o,--output", a.output, "FILE", "the file to write",
        "a file name (default: standard output)",
        [](const std::string &) { return std::string(); });

    ResearchArguments ra;
    add_objective(search, ra);
    add_energy_flag(search, ra);
    add_objective(sweep_command, ra);
    add_energy_flag(sweep_command, ra);
    add_energy_flag(space_command, ra);
    add_objective(budget_command, ra);
    app.footer(app.get_footer() +
               " search, sweep and budget take --objective speedup|speedup_per_watt|energy|edp "
               "(what the best configuration is); search, sweep and space take --energy (the "
               "energy figures as columns).");

    CLI::App *pareto_command = app.add_subcommand(
        "pareto", "The configurations of one option set within its limits that no other beats on "
                  "every objective at once (by default speedup against power and area), in "
                  "space's columns with the energy figures, best first by the first objective.");
    add_one_request(pareto_command, a);
    add(pareto_command, "--objectives", ra.objectives, "LIST", "what the front trades off",
        kParetoObjectiveList, [](const std::string &text) {
            std::string error;
            return parse_pareto_objectives(text, error) ? std::string() : error;
        });
    add_picture(pareto_command, a,
                "draw the front over the whole space, the limits as lines, into this picture");

    CLI::App *sensitivity_command = app.add_subcommand(
        "sensitivity", "How the best configuration of one option set moves when each number of "
                       "the model it uses is moved down and up by --spread: a row per number, "
                       "largest effect first.");
    add_model(sensitivity_command, a);
    add_option_set(sensitivity_command, a);
    add_limits(sensitivity_command, a);
    add_spread(sensitivity_command, ra, "how far to move each number, in percent of its value");
    add_jobs(sensitivity_command, a);
    add_format(sensitivity_command, a);
    add_picture(sensitivity_command, a, "draw a tornado chart of the changes into this picture");

    CLI::App *uncertainty_command = app.add_subcommand(
        "uncertainty", "Draws --samples models, every number of the model that one option set "
                       "uses uniform within its range, searches each, and gives the spread of the "
                       "best speedup and how often each configuration is the best.");
    add_model(uncertainty_command, a);
    add_option_set(uncertainty_command, a);
    add_limits(uncertainty_command, a);
    add(uncertainty_command, "--samples", ra.samples, "N", "models to draw",
        "a whole number from 1 to 100,000,000 (default 1000)", whole_check(1, kMostSamples));
    add(uncertainty_command, "--seed", ra.seed, "S", "the random seed",
        "a whole number from 0 to 9007199254740992 (default 1); the same seed gives the same "
        "output whatever --jobs",
        whole_check(0, 9007199254740992.0));
    add_spread(uncertainty_command, ra, "each number within its value -/+ this share, in percent");
    add(uncertainty_command, "--ranges", ra.ranges, "FILE", "ranges of some numbers",
        "a file of lines FIELD LOW HIGH, fields named as sensitivity names them (the others "
        "within --spread)",
        [](const std::string &) { return std::string(); });
    uncertainty_command->add_flag("--per-sample", ra.per_sample,
                                  "a CSV or JSON row per sample instead of the summary");
    add_jobs(uncertainty_command, a);
    add_format(uncertainty_command, a);

    const std::string commands = "search, sweep, space, explain, budget, plot, model, pareto, "
                                 "sensitivity, uncertainty";
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

    const Request r = request_of(a);
    // The scaling chart runs its held operating point at every node: it must suit each one.
    const bool scaling_chart = plot->parsed() && chart_kind(a.chart) == "scaling";
    const Choice scaling_series = a.series.empty() ? Choice::CoreKind : *series_choice(a.series);
    const std::vector<Request> requests =
        scaling_chart ? scaling_requests(r, scaling_series) : std::vector<Request>{r};
    for (const Request &each : requests) {
        const std::string refused = operating_point_error(each.options, each.holds);
        if (!refused.empty()) {
            say(err, refused);
            return 2;
        }
    }
    if (!export_command->parsed())
        warn_non_finite(a, r, requests, sweep_command->parsed(), budget_command->parsed(), err);

    if (export_command->parsed())
        return write_model(a.output, out, err);
    Output output(out);
    if (plot->parsed()) {
        const ImageFormat format = *image_format_of(a.output);
        if (scaling_chart) {
            const Choice series = scaling_series;
            const std::vector<BestConfiguration> rows = scaling(r, series, jobs_of(a));
            const int status = drawn(write_scaling_chart(rows, r, series, a.output, format), err);
            if (status != 0)
                return status;
            return write_best_rows(rows, a.format, output, err);
        }
        if (!a.series.empty()) {
            say(err, "--series: draws a line per option value on the scaling chart only; "
                     "accepted: --series with --chart scaling");
            return 2;
        }
        return drawn(write_plot(plot_data(r), a.output, format), err);
    }
    if (explain_command->parsed())
        return run_explain(r, a, output, err);
    if (budget_command->parsed()) {
        std::optional<BudgetRequest> b = budget_request(r, a, err);
        if (!b)
            return 2;
        b->objective = ra.chosen();
        if (a.output.empty())
            return run_budget(*b, nullptr, a.format, a.flags, jobs_of(a), output, err);
        // A picture draws every point: the answers are kept for it.
        const Budget answers = budget(*b, jobs_of(a));
        const int status =
            drawn(write_budget_chart(answers, a.output, *image_format_of(a.output)), err);
        if (status != 0)
            return status;
        return run_budget(*b, &answers, a.format, a.flags, jobs_of(a), output, err);
    }
    if (pareto_command->parsed())
        return run_pareto(r, ra, a, output, err);
    if (sensitivity_command->parsed())
        return run_sensitivity(r, ra, a, output, err);
    if (uncertainty_command->parsed())
        return run_uncertainty(r, ra, a, output, err);
    if (search->parsed() && ra.energy_columns())
        return run_search_by(r, ra, a.flags, a.breakdown, a.format, output, err);
    if (sweep_command->parsed() && ra.energy_columns())
        return run_sweep_by(r, ra, filter_of(a), a.flags, a.format, jobs_of(a), output, err);
    if (space_command->parsed() && (ra.energy || a.breakdown))
        return run_space_with(r, ra.energy, a.breakdown, a.format, output, err);
    if (search->parsed())
        return run_search(r, a.format, a.flags, a.breakdown, output, err);
    if (sweep_command->parsed())
        return run_sweep(r, filter_of(a), a.format, a.flags, jobs_of(a), output, err);
    return run_space(r, a.format, output, err);
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
