// A command of the tool (search, sweep, ...): its options and its run, in a file of its own
// under cli/commands/, listed once in cli/run.cpp. Also the helpers that every command's run
// shares: one-line messages on the error stream, and the output's end.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/output.h"
#include "study/design.h"
#include "study/table.h"

// What a command's run is given once its command line is accepted.
struct Invocation {
    const Arguments &a;
    const Request &r;    // the option set, limits and holds given
    const CLI::App &app; // the command itself (its subcommands, its options' counts)
    Output &out;         // standard output, written in chunks
    FILE *raw_out;       // standard output itself, for what is written whole
    FILE *err;           // one line per message (say)
};

struct Command {
    const char *name;
    const char *summary; // the command's line in --help
    // Adds the command's options to it, in the order its --help lists them.
    void (*add_options)(CLI::App *command, Arguments &a);
    // The command's run: its exit status (0; 1 when the output could not be written; 2 for
    // arguments refused once read together).
    int (*run)(const Invocation &run);
    // The option sets the run works on, each checked against the held operating point before
    // it runs (default: the one of the request).
    std::vector<Request> (*option_sets)(const Request &r, const Arguments &a) = nullptr;
    // Says once on the error stream when a model file gives figures that are not finite in the
    // configurations the run goes through (default: every configuration of option_sets). A
    // command that evaluates no configuration sets scans_nothing.
    void (*warn_non_finite)(const Invocation &run,
                            const std::vector<Request> &option_sets) = nullptr;
    // Whether its --help ends with the note on --objective and --energy, as the program's does.
    bool notes_objectives = false;
};

// The default scan of Command::warn_non_finite: every configuration of the option sets given.
void warn_non_finite_in(const std::vector<Request> &option_sets, const Invocation &run);
// For a command that evaluates no configuration.
void scans_nothing(const Invocation &run, const std::vector<Request> &option_sets);

// The message as one line: control characters, which would break the line or act on the
// terminal, are written as escapes ("\n", "\t", "\r", "\x1b"), and so are the C1 controls,
// the line and paragraph separators and the bidirectional overrides and isolates ("\u0085",
// "\u2028", "\u202e").
std::string one_line(const std::string &message);

// One line on the error stream, "cpu-widget-cli: message".
void say(FILE *err, const std::string &message);

// Writes everything to the output; false (saying why on the error stream) when it could not
// be written.
bool emit(FILE *out, FILE *err, const std::string &text);

// How a command's output ended: 0, or 1 (saying why on the error stream) when it could not be
// written.
int finished(Output &out, FILE *err);

TableFormat table_format(const std::string &format);

// A table that the command has whole (one search, an explanation), in CSV or JSON.
int write_table(const Table &table, const std::string &format, Output &out, FILE *err);

// The picture of a command that draws one, or a failure (exit status 1).
int drawn(const std::string &failure, FILE *err);
