#include "python/arguments.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/model.h"
#include "python/research.h"
#include "study/choices.h"
#include "study/parallel.h"

namespace py = pybind11;

namespace {

// Threads a call may use, as on the command line.
constexpr int kMostJobs = 1024;

[[noreturn]] void refuse(const std::string &name, const std::string &why,
                         const std::string &accepted) {
    raise_value_error(name + ": " + why + "; accepted: " + accepted);
}

// The tool's own messages name its options ("--vdd: ..."); here they name the arguments.
[[noreturn]] void refuse(std::string message) {
    // "--best-over" is best_over here.
    for (size_t at = message.find("--"); at != std::string::npos; at = message.find("--", at)) {
        message.erase(at, 2);
        for (size_t c = at; c + 1 < message.size() && message[c] >= 'a' && message[c] <= 'z'; c++)
            if (message[c + 1] == '-' && c + 2 < message.size() && message[c + 2] >= 'a' &&
                message[c + 2] <= 'z')
                message[c + 1] = '_';
    }
    raise_value_error(message);
}

py::object given_value(const py::kwargs &given, const char *name) {
    return given.contains(name) ? py::reinterpret_borrow<py::object>(given[name]) : py::none();
}

// repr, which escapes what cannot be printed (lone surrogates and NUL included).
std::string shown(const py::handle &value) {
    return py::repr(value).cast<std::string>();
}

// The UTF-8 of a str; none for text that has none (lone surrogates).
std::optional<std::string> utf8_of(const py::handle &text) {
    Py_ssize_t size = 0;
    const char *bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (bytes == nullptr) {
        PyErr_Clear();
        return std::nullopt;
    }
    return std::string(bytes, size_t(size));
}

std::optional<std::string> text_of(const py::kwargs &given, const char *name,
                                   const std::string &accepted) {
    const py::object value = given_value(given, name);
    if (value.is_none())
        return std::nullopt;
    if (!py::isinstance<py::str>(value))
        refuse(name, shown(value) + " is not text", accepted);
    const std::optional<std::string> text = utf8_of(value);
    if (!text)
        refuse(name, shown(value) + " is not valid text", accepted);
    return text;
}

} // namespace

py::handle numpy_type(const char *name) {
    // Kept for the life of the process, as numpy itself.
    return py::object(py::module_::import("numpy").attr(name)).release();
}

// A real number of any kind Python knows (int, float, numpy's integers and floats, which the
// module's own columns are; not bool, nor numpy's time spans and dates, which are integers to
// Python but no figure of this model), or text read the way the command line reads it.
std::optional<double> number_of(const py::kwargs &given, const char *name,
                                const std::string &accepted) {
    const py::object value = given_value(given, name);
    if (value.is_none())
        return std::nullopt;
    static const py::handle real =
        py::object(py::module_::import("numbers").attr("Real")).release();
    static const py::handle time_span = numpy_type("timedelta64");
    static const py::handle date = numpy_type("datetime64");
    std::optional<double> number;
    if (py::isinstance<py::str>(value)) {
        if (const std::optional<std::string> text = utf8_of(value))
            number = parse_number(*text);
    } else if (py::isinstance(value, real) && !is_flag(value) &&
               !py::isinstance(value, time_span) && !py::isinstance(value, date)) {
        // float() of an int too large for a double raises OverflowError: not a number here.
        PyObject *converted = PyNumber_Float(value.ptr());
        if (converted == nullptr) {
            PyErr_Clear();
        } else {
            const double d = PyFloat_AsDouble(converted);
            Py_DECREF(converted);
            if (std::isfinite(d))
                number = d == 0 ? 0.0 : d; // -0.0 is the limit 0, as on the command line
        }
    }
    if (!number)
        refuse(name, shown(value) + " is not a number", accepted);
    return number;
}

bool is_flag(const py::handle &value) {
    static const py::handle numpy_bool = numpy_type("bool_");
    return py::isinstance<py::bool_>(value) || py::isinstance(value, numpy_bool);
}

std::optional<py::int_> whole_value(const py::handle &value) {
    static const py::handle numpy_integer = numpy_type("integer");
    if (is_flag(value) || !(PyLong_Check(value.ptr()) || py::isinstance(value, numpy_integer)))
        return std::nullopt;
    return py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
}

std::string echoed(const py::kwargs &given, const char *name, double value, Echo style) {
    const py::object given_as = given_value(given, name);
    if (py::isinstance<py::str>(given_as))
        if (const std::optional<std::string> text = utf8_of(given_as))
            return *text;
    // Whole numbers digit for digit, 10**6 as 1000000 and 2**64 - 1 as it is, not as a double.
    if (const std::optional<py::int_> whole = whole_value(given_as))
        return py::str(py::object(*whole)).cast<std::string>();
    return style == Echo::Repr ? shown(given_as) : shortest(value);
}

std::optional<double> whole_number_of(const py::kwargs &given, const char *name, double low,
                                      double high, const std::string &accepted, Echo style) {
    const std::optional<double> value = number_of(given, name, accepted);
    if (!value)
        return std::nullopt;
    const std::string shown_value = echoed(given, name, *value, style);
    if (*value != std::floor(*value))
        refuse(name, shown_value + " is not a whole number", accepted);
    bool in_range = *value >= low && *value <= high;
    // A Python int is compared as it is: 2**53 + 1 is above 2**53, though not as a double.
    if (const std::optional<py::int_> whole = whole_value(given_value(given, name))) {
        const py::int_ lowest(static_cast<long long>(low)), highest(static_cast<long long>(high));
        in_range = PyObject_RichCompareBool(whole->ptr(), lowest.ptr(), Py_GE) == 1 &&
                   PyObject_RichCompareBool(whole->ptr(), highest.ptr(), Py_LE) == 1;
    }
    if (!in_range)
        refuse(name, shown_value + " is out of range", accepted);
    return value;
}

namespace {

int choice_of(const py::kwargs &given, const char *name, Choice choice, const char *kind,
              const std::string &fallback) {
    const std::string accepted = "one of " + choice_list(choice) + " (default " + fallback + ")";
    const std::optional<std::string> text = text_of(given, name, accepted);
    if (!text)
        return *find_choice(choice, fallback);
    const std::optional<int> index = find_choice(choice, *text);
    if (!index)
        refuse(name, shown(given_value(given, name)) + " is not " + kind, accepted);
    return *index;
}

std::optional<double> limit_of(const py::kwargs &given, const char *name, const char *accepted) {
    const std::optional<double> value = number_of(given, name, accepted);
    if (value && *value < 0)
        refuse(name, echoed(given, name, *value) + " is out of range", accepted);
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
        refuse(name, echoed(given, name, *value) + " is not " + kind, accepted);
    return index;
}

} // namespace

void raise_value_error(const std::string &message) {
    std::string safe;
    for (unsigned char c : message) {
        if (c >= 0x20 && c != 0x7f) {
            safe += char(c);
            continue;
        }
        const char *named = c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r" : nullptr;
        char escape[8];
        if (named == nullptr)
            snprintf(escape, sizeof escape, "\\x%02x", c);
        safe += named != nullptr ? named : escape;
    }
    PyObject *text = PyUnicode_DecodeUTF8(safe.data(), Py_ssize_t(safe.size()), "backslashreplace");
    if (text == nullptr)
        throw py::error_already_set();
    PyErr_SetObject(PyExc_ValueError, text);
    Py_DECREF(text);
    throw py::error_already_set();
}

std::string file_name_of(const py::handle &path, const char *argument) {
    const char *accepted = "a file name (str, bytes or os.PathLike)";
    py::bytes encoded;
    try {
        encoded = py::module_::import("os").attr("fsencode")(path);
    } catch (const py::error_already_set &) {
        refuse(argument, shown(path) + " is not a file name", accepted);
    }
    const std::string name = encoded.cast<std::string>();
    if (name.empty() || name.find('\0') != std::string::npos)
        refuse(argument, shown(path) + " is not a file name", accepted);
    return name;
}

void check_names(const py::kwargs &given, const char *function,
                 const std::vector<const char *> &names) {
    for (const auto &item : given) {
        const std::optional<std::string> text = utf8_of(item.first);
        const std::string name = text ? *text : std::string();
        bool known = false;
        std::string list;
        for (const char *accepted : names) {
            known = known || (text && name == accepted);
            list += (list.empty() ? "" : ", ") + std::string(accepted);
        }
        if (!known)
            throw py::type_error(std::string(function) + "() got an unexpected keyword argument " +
                                 shown(item.first) + "; accepted: " + list);
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
        refuse("step", echoed(given, "step", *step) + " is out of range", accepted);
    return step.value_or(10) / 100;
}

int jobs_of(const py::kwargs &given) {
    const std::string accepted =
        "a whole number from 1 to " + std::to_string(kMostJobs) + " (default: one per core)";
    const std::optional<double> jobs = whole_number_of(given, "jobs", 1, kMostJobs, accepted);
    return jobs ? int(*jobs) : all_cores();
}

OptionFilter option_filter_of(const py::kwargs &given) {
    struct Filter {
        const char *name, *kind;
        Choice choice;
        std::vector<int> OptionFilter::*values;
    };
    constexpr Filter filters[] = {
        {"workload", "a workload", Choice::Workload, &OptionFilter::workloads},
        {"memory", "a memory kind", Choice::Memory, &OptionFilter::memories},
        {"transistor", "a transistor kind", Choice::Transistor, &OptionFilter::transistors},
        {"core", "a core kind", Choice::CoreKind, &OptionFilter::core_kinds},
        {"node", "a technology node", Choice::Node, &OptionFilter::nodes},
    };
    OptionFilter filter;
    for (const Filter &f : filters) {
        const std::string accepted =
            "one of " + choice_list(f.choice) + " (a name or a list of names; default: every one)";
        const py::object value = given_value(given, f.name);
        if (value.is_none())
            continue;
        // A name, or a list or tuple of names: the tool's option given once or several times.
        std::vector<py::object> names;
        if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
            for (const py::handle name : value)
                names.push_back(py::reinterpret_borrow<py::object>(name));
            if (names.empty())
                refuse(f.name, "[] names nothing", accepted);
        } else {
            names.push_back(value);
        }
        std::vector<int> &indices = filter.*f.values;
        for (const py::object &name : names) {
            py::kwargs one;
            one[f.name] = name;
            if (name.is_none())
                refuse(f.name, "None is not text", accepted);
            const std::optional<std::string> text = text_of(one, f.name, accepted);
            const std::optional<int> index = find_choice(f.choice, *text);
            if (!index)
                refuse(f.name, shown(name) + " is not " + f.kind, accepted);
            indices.push_back(*index);
        }
        std::sort(indices.begin(), indices.end());
        indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    }
    return filter;
}

std::optional<double> parallel_fraction_of(const py::kwargs &given) {
    const char *accepted = "a number from 0 to 1 (default: the model's, 0.99 in the built-in one)";
    const std::optional<double> p = number_of(given, "parallel_fraction", accepted);
    if (p && (*p < 0 || *p > 1))
        refuse("parallel_fraction", echoed(given, "parallel_fraction", *p) + " is out of range",
               accepted);
    return p;
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
    const char *best_over_accepted =
        "options among workload, memory, transistor, core, node, each once, other than series; "
        "with one limit in vary";
    // A list of names is the tool's text joined with commas.
    py::kwargs best_over_given;
    const py::object best_over_value = given_value(given, "best_over");
    if (py::isinstance<py::list>(best_over_value) || py::isinstance<py::tuple>(best_over_value)) {
        std::string joined;
        for (const py::handle name : best_over_value) {
            py::kwargs one;
            one["best_over"] = name;
            joined += (joined.empty() ? "" : ",") + *text_of(one, "best_over", best_over_accepted);
        }
        best_over_given["best_over"] = py::str(joined);
    } else if (!best_over_value.is_none()) {
        best_over_given["best_over"] = best_over_value;
    }
    if (const std::optional<std::string> best_over =
            text_of(best_over_given, "best_over", best_over_accepted)) {
        std::string error;
        const std::optional<std::vector<Choice>> over = parse_best_over(*best_over, error);
        if (!over)
            refuse("best_over", error, best_over_accepted);
        b.best_over = *over;
    }
    b.binding = flag_of(given, "binding");
    const std::string refused = budget_error(b);
    if (!refused.empty())
        refuse(refused);
    return b;
}
