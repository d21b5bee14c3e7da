// The option selections under the names the window shows, the axes of the design space as real
// core counts, cache sizes and scale steps, and the strict number reading of the command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One choice of each option box, as indices into the active model's lists (in the built-in
// model: workloads DB2/TPCC, DB2/TPCH, Apache/Web; core kinds Niagara, FPGA, ASIC, ARM; nodes
// 90nm, 65nm, 45nm, 32nm, 20nm). The defaults are the window's start-up selections; the node
// is set from the model (start_of).
struct OptionSet {
    int workload = 0;
    int memory = 0;     // 0 plain, 1 3D-stacked
    int transistor = 0; // 0 LOP, 1 LOP/HP, 2 HP
    int core_kind = 0;
    int node = 1;
};

enum class Choice { Workload, Memory, Transistor, CoreKind, Node };

// Accepted names of a choice in the active model, in index order.
std::vector<std::string> choice_names(Choice choice);

// Index of a name, compared without regard to letter case; none when the name is unknown.
std::optional<int> find_choice(Choice choice, std::string_view text);

// The option a budget or chart draws a curve per value of: "workload", "memory", "transistor",
// "core" or "node" in any letter case; none for anything else.
std::optional<Choice> series_choice(std::string_view text);

// "DB2/TPCC, DB2/TPCH, Apache/Web"
std::string choice_list(Choice choice);

// The selection as one line: "DB2/TPCC, plain memory, LOP, Niagara, 65nm".
std::string describe(const OptionSet &options);

// The same without some of the options: "DB2/TPCC, plain memory, LOP, 65nm".
std::string describe_except(const OptionSet &options, const std::vector<Choice> &left_out);

// "workload", "memory kind", "transistor kind", "core kind", "technology node".
const char *choice_title(Choice choice);

// Axis index of a real core count, cache size in MB or scale step; none when the value is not
// on the axis (the comparison is exact: "0.7" reads as the same double as the table's 0.7).
std::optional<int> core_count_index(double cores);
std::optional<int> cache_size_index(double megabytes);
std::optional<int> scale_step_index(double step);

// The values of an axis as accepted on the command line: "1, 2, 4, 6, ..., 192".
std::string core_count_list();
std::string cache_size_list();
std::string scale_step_list();

// A whole argument read as a finite decimal number ("12", "0.8", "1e3", "+5"; "-0" reads as
// 0); none for anything else, including empty text, trailing characters, "inf" and "nan".
std::optional<double> parse_number(std::string_view text);

// Shortest text that reads back to the same double ("46.44288", "0.1", "12").
std::string shortest(double value);

// The text as one line for a message: control characters, which would break the line or act on
// the terminal, written as escapes ("\n", "\t", "\r", "\x1b"), and so the C1 controls, the
// line and paragraph separators and the bidirectional overrides and isolates ("\u0085",
// "\u2028", "\u202e").
std::string escape_controls(std::string_view text);

// The parallel fraction of the active model as the lines that name the model print it: the one
// a search of `workload` uses ("0.95"); with no workload (several go through), the model's,
// followed by every workload's own that differs from it ("0.99 (DB2/TPCH 0.95)").
std::string parallel_fraction_text(std::optional<int> workload);

// A scale step as text, always with a point: with one decimal ("1.0", "0.3") when that reads
// back to the step, else with the digits it needs ("0.95").
std::string step_text(double step);
