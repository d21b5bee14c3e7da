#include "python/arguments.h"

#include <cmath>

#include "model/model.h"
#include "study/choices.h"
#include "study/parallel.h"

namespace py = pybind11;

namespace {

// Threads a call may use, as on the command line.
constexpr int kMostJobs = 1024;

[[noreturn]] void refuse(const std::string &name, const std::string &why,
                         const std::string &accepted) {
    throw py::value_error(name + ": " + why + "; accepted: " + accepted);
}

// The tool's own messages name its options ("--vdd: ..."); here they name the arguments.
[[noreturn]] void refuse(std::string message) {
    for (size_t at = message.find("--"); at != std::string::npos; at = message.find("--", at))
        message.erase(at, 2);
    throw py::value_error(message);
}

py::object given_value(const py::kwargs &given, const char *name) {
    return given.contains(name) ? py::reinterpret_borrow<py::object>(given[name]) : py::none();
}

std::string shown(const py::handle &value) {
    return py::repr(value).cast<std::string>();
}

std::optional<std::string> text_of(const py::kwargs &given, const char *name,
                                   const std::string &accepted) {
    const py::object value = given_value(given, name);
    if (value.is_none())
        return std::nullopt;
    if (!py::isinstance<py::str>(value))
        refuse(name, shown(value) + " is not text", accepted);
    return value.cast<std::string>();
}

// A number as a Python int or float, or as text read the way the command line reads it.
std::optional<double> number_of(const py::kwargs &given, const char *name,
                                const std::string &accepted) {
    const py::object value = given_value(given, name);
    if (value.is_none())
        return std::nullopt;
    std::optional<double> number;
    if (py::isinstance<py::str>(value))
        number = parse_number(value.cast<std::string>());
    else if ((py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)) &&
             !py::isinstance<py::bool_>(value)) {
        const double d = value.cast<double>();
        if (std::isfinite(d))
            number = d;
    }
    if (!number)
        refuse(name, shown(value) + " is not a number", accepted);
    return number;
}

int choice_of(const py::kwargs &given, const char *name, Choice choice, const char *kind,
              const std::string &fallback) {
    const std::string accepted = "one of " + choice_list(choice) + " (default " + fallback + ")";
    const std::optional<std::string> text = text_of(given, name, accepted);
    if (!text)
        return *find_choice(choice, fallback);
    const std::optional<int> index = find_choice(choice, *text);
    if (!index)
        refuse(name, "'" + *text + "' is not " + kind, accepted);
    return *index;
}

std::optional<double> limit_of(const py::kwargs &given, const char *name, const char *accepted) {
    const std::optional<double> value = number_of(given, name, accepted);
    if (value && *value < 0)
        refuse(name, shortest(*value) + " is out of range", accepted);
    return value;
}

std::optional<int> axis_of(const py::kwargs &given, const char *name,
                           std::optional<int> (*index_of)(double), const char *kind,
                           const std::string &values) {
    const std::string accepted = "one of " + values;
    const std::optional<double> value = number_of(given, name, accepted);
    if (!value)
        return std::nullopt;
    const std::optional<int> index = index_of(*value);
    if (!index)
        refuse(name, shortest(*value) + " is not " + kind, accepted);
    return index;
}

} // namespace

void check_names(const py::kwargs &given, const char *function,
                 std::initializer_list<const char *> names) {
    for (const auto &item : given) {
        const std::string name = item.first.cast<std::string>();
        bool known = false;
        std::string list;
        for (const char *accepted : names) {
            known = known || name == accepted;
            list += (list.empty() ? "" : ", ") + std::string(accepted);
        }
        if (!known)
            throw py::type_error(std::string(function) + "() got an unexpected keyword argument '" +
                                 name + "'; accepted: " + list);
    }
}

OptionSet options_of(const py::kwargs &given) {
    const Model &m = active_model();
    OptionSet o;
    o.workload = choice_of(given, "workload", Choice::Workload, "a workload", m.workloads[0].name);
    o.memory = choice_of(given, "memory", Choice::Memory, "a memory kind", m.memory_kinds[0].name);
    o.transistor = choice_of(given, "transistor", Choice::Transistor, "a transistor kind",
                             m.transistor_kinds[0].name);
    o.core_kind = choice_of(given, "core", Choice::CoreKind, "a core kind", m.core_kinds[0].name);
    o.node =
        choice_of(given, "node", Choice::Node, "a technology node", m.nodes[m.start_node].name);
    return o;
}

Limits limits_of(const py::kwargs &given) {
    return Limits{
        limit_of(given, "area", "a number >= 0 (default: the node's area budget)"),
        limit_of(given, "power", "a number >= 0 (default: the node's power budget)"),
        limit_of(given, "bw", "a number >= 0 (default: the node's off-chip bandwidth)"),
        limit_of(given, "tsv", "a number >= 0 (default: the node's TSV bandwidth)"),
    };
}

Holds holds_of(const py::kwargs &given, const OptionSet &options) {
    Holds h;
    h.cores = axis_of(given, "cores", core_count_index, "a core count of the design space",
                      core_count_list());
    h.cache = axis_of(given, "cache", cache_size_index, "a cache size of the design space",
                      cache_size_list());
    h.scale = axis_of(given, "scale", scale_step_index, "a scale step", scale_step_list());
    const char *vdd_accepted =
        "a number above 0 and at most the nominal supply (default: the step's supply)";
    const char *freq_accepted =
        "a number above 0 and at most what the supply allows (default: what it allows)";
    h.vdd = number_of(given, "vdd", vdd_accepted);
    h.freq = number_of(given, "freq", freq_accepted);
    if (h.vdd && !h.scale)
        refuse("vdd", "needs a held scale step", std::string("scale as well; ") + vdd_accepted);
    if (h.freq && !h.scale)
        refuse("freq", "needs a held scale step", std::string("scale as well; ") + freq_accepted);
    const std::string refused = operating_point_error(options, h);
    if (!refused.empty())
        refuse(refused);
    return h;
}

double step_of(const py::kwargs &given) {
    const char *accepted = "a number of percent above 0 (default 10)";
    const std::optional<double> step = number_of(given, "step", accepted);
    if (step && *step <= 0)
        refuse("step", shortest(*step) + " is out of range", accepted);
    return step.value_or(10) / 100;
}

int jobs_of(const py::kwargs &given) {
    const std::string accepted =
        "a whole number from 1 to " + std::to_string(kMostJobs) + " (default: one per core)";
    const std::optional<double> jobs = number_of(given, "jobs", accepted);
    if (!jobs)
        return all_cores();
    if (*jobs != std::floor(*jobs))
        refuse("jobs", shortest(*jobs) + " is not a whole number", accepted);
    if (*jobs < 1 || *jobs > kMostJobs)
        refuse("jobs", shortest(*jobs) + " is out of range", accepted);
    return int(*jobs);
}

BudgetRequest budget_request_of(const py::kwargs &given, const Request &request) {
    const char *vary_accepted =
        "LIMIT=START:END:STEP[,LIMIT=START:END:STEP], LIMIT one of area, power, bandwidth, tsv; "
        "0 <= START <= END; STEP above 0; at most 10,000,000 points";
    const std::optional<std::string> vary = text_of(given, "vary", vary_accepted);
    if (!vary)
        refuse("vary", "missing", vary_accepted);
    BudgetRequest b{request, {}, std::nullopt, step_of(given), {}};
    for (size_t start = 0; start <= vary->size();) {
        const size_t comma = std::min(vary->find(',', start), vary->size());
        std::string error;
        const std::optional<LimitRange> range =
            parse_limit_range(vary->substr(start, comma - start), error);
        if (!range)
            refuse("vary", error, vary_accepted);
        b.varied.push_back(*range);
        start = comma + 1;
    }
    const char *series_accepted = "one of workload, memory, transistor, core, node";
    if (const std::optional<std::string> series = text_of(given, "series", series_accepted)) {
        b.series = series_choice(*series);
        if (!b.series)
            refuse("series", "'" + *series + "' is not an option", series_accepted);
    }
    const std::string refused = budget_error(b);
    if (!refused.empty())
        refuse(refused);
    return b;
}
