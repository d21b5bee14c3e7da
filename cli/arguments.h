// The tool's arguments as typed, the options that take them (each with its help line and the
// check that refuses a bad value while the command line is parsed), and their reading into the
// study layer's requests once the command line is accepted.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "study/choices.h"
#include "study/design.h"
#include "study/energy.h"

extern const char *const kProgram; // "cpu-widget-cli"

// Arguments as typed; each is checked by its option's validator while the command line is
// parsed, and read into a Request afterwards.
struct Arguments {
    std::string model;             // read before the command line is parsed (model_argument)
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
    std::string chips;      // validate, calibrate: a chip table (default: the shipped one)
    std::string fit;        // calibrate: the fields to fit, separated by commas
    bool flags = false;     // the ends of axes the best configuration sits at, as columns
    bool pairs = false;     // explain: every pair of limits relaxed together too
    bool binding = false;   // budget curves: the limits that bind at each point
    bool breakdown = false; // search, space, explain: the power's terms
    bool quiet = false;     // no warnings about the model file's figures (read before parsing)
    std::string chart = "space";
    // sweep's filters: the values of each option to go through (default: all)
    std::vector<std::string> workloads, memories, transistors, core_kinds, nodes;

    // The research commands (pareto, sensitivity, uncertainty) and the energy figures and
    // objectives of search, sweep, space and budget.
    std::string objective = "speedup";
    bool energy = false;
    std::string objectives = "speedup,power,area";
    std::string spread = "10";
    std::string samples = "1000";
    std::string seed = "1";
    std::string ranges;
    bool per_sample = false;

    Objective chosen() const;
    // Energy columns: asked for, or implied by an objective other than the speedup.
    bool energy_columns() const { return energy || chosen() != Objective::Speedup; }
};

// A check of an option's value: empty when accepted, else why not (CLI11 adds what is accepted).
using Check = std::function<std::string(const std::string &)>;

// An option whose help reads "purpose: accepts" and whose refusals end in "accepted: accepts".
// A list (std::vector) takes the option as many times as it is given, a value each time.
CLI::Option *add(CLI::App *command, const std::string &names, std::string &value,
                 const std::string &type, const std::string &purpose, const std::string &accepts,
                 const Check &check);
CLI::Option *add(CLI::App *command, const std::string &names, std::vector<std::string> &values,
                 const std::string &type, const std::string &purpose, const std::string &accepts,
                 const Check &check);

// What an option of a command accepts ("budget --vary"), as its help line says.
const std::string &accepted_by(const std::string &command_and_option);

std::string quoted(const std::string &text);
Check number_check(bool zero_allowed);
Check whole_check(uint64_t low, uint64_t high);
// A percentage by which a limit is relaxed: above 0, and large enough to change a limit.
Check step_check();

// A whole number read exactly from its decimal text ("12", "1e3", "12.0"; not "4.9999999999999999"
// nor "9007199254740992.6"); none, with why in failure, when the text is not one or is beyond
// 2^64 - 1.
std::optional<uint64_t> whole_number(const std::string &text, std::string *failure = nullptr);

// The groups of options that commands share, each adding its options in the order --help lists
// them.
void add_model(CLI::App *command, Arguments &a); // --model, --parallel-fraction, --quiet
void add_option_set(CLI::App *command, Arguments &a);
void add_option_filters(CLI::App *command, Arguments &a); // sweep's, each given several times
void add_limits(CLI::App *command, Arguments &a);
void add_held_dimensions(CLI::App *command, Arguments &a); // --cores, --cache
CLI::Option *add_scale(CLI::App *command, Arguments &a);
void add_operating_point(CLI::App *command, Arguments &a, CLI::Option *scale); // --vdd, --freq
void add_format(CLI::App *command, Arguments &a);
void add_jobs(CLI::App *command, Arguments &a);
void add_flags(CLI::App *command, Arguments &a);
void add_breakdown(CLI::App *command, Arguments &a);
CLI::Option *add_picture(CLI::App *command, Arguments &a, const std::string &purpose);
void add_objective(CLI::App *command, Arguments &a);
void add_energy_flag(CLI::App *command, Arguments &a);
void add_spread(CLI::App *command, Arguments &a, const char *purpose);
// The arguments of a command on one option set: the model, the options, the limits, the held
// dimensions and operating point, and the output format.
void add_one_request(CLI::App *command, Arguments &a);

extern const char *const kModelAccepted;

// The value of the first "--model FILE" or "--model=FILE" before a lone "--"; none when there
// is none (an empty value is given, and refused).
std::optional<std::string> model_argument(int argc, const char *const *argv);
// Whether "--quiet" comes before a lone "--": the model file's warnings wait for the command
// line to be parsed, which needs the model.
bool quiet_argument(int argc, const char *const *argv);
// The choices' defaults: the first of each list, the model's start-up node.
void set_default_options(Arguments &a);

// The format named, in any letter case as every other value: "text", "csv", "json" or, for
// any other name, empty.
std::string format_of(const std::string &text);
// "space" or "scaling" in any letter case; empty for anything else.
std::string chart_kind(const std::string &text);

// The accepted arguments read into the study layer's terms.
Request request_of(const Arguments &a);
OptionFilter filter_of(const Arguments &a); // sweep's option filters
int jobs_of(const Arguments &a);
uint64_t seed_of(const std::string &text);

// One line for a command line that CLI11 refused, naming the argument and what it accepts.
std::string refusal(const CLI::ParseError &error, const CLI::App &app);
