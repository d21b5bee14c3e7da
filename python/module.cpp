// The compiled part of the cpuwidget package: the command-line tool's requests, searches and
// records for Python. Nothing here computes a figure; every one comes from the same code as the
// tool's.
//
// One model is active per process, as in the tool. Loading a model replaces it for every
// thread: load_model waits until the calls in flight have ended (they hold the model lock
// shared) and the calls made after it was called use the new one: they wait at the turnstile,
// which load_model holds, so that a stream of calls cannot keep it waiting. Searches, loading
// and exporting release the GIL. Messages write numbers with a point whatever the locale
// Python has set (locale.setlocale), as the tool does.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <clocale>
#include <cstdio>
#include <locale.h>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "files/whole_file.h"
#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "python/arguments.h"
#include "python/batch.h"
#include "python/columns.h"
#include "python/commands.h"
#include "python/research.h"
#include "search/trace.h"
#include "study/budget.h"
#include "study/choices.h"
#include "study/design.h"
#include "study/explain.h"
#include "study/parallel.h"
#include "study/result_columns.h"
#include "study/table.h"

namespace py = pybind11;

namespace {

std::shared_mutex model_lock;
std::shared_ptr<const Model> loaded_model; // what load_model made active; null: the built-in one
std::mutex turnstile; // held by load_model from its call until the new model is in place

// The C locale for this thread while it lives, so that printf and its kin write a point.
class CNumbers {
  public:
    CNumbers() : previous_(uselocale(c_locale())) {}
    ~CNumbers() { uselocale(previous_); }
    CNumbers(const CNumbers &) = delete;
    CNumbers &operator=(const CNumbers &) = delete;

  private:
    static locale_t c_locale() {
        static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return c;
    }
    locale_t previous_;
};

// Runs work with the model lock held shared. The locks are taken with the GIL released so that
// a thread waiting for them never holds up the others.
template <typename Work> auto with_model(Work work) {
    CNumbers numbers;
    std::shared_lock<std::shared_mutex> held(model_lock, std::defer_lock);
    {
        py::gil_scoped_release released;
        // Through the turnstile first: a call made while a load waits, waits for it.
        std::lock_guard<std::mutex> passed(turnstile);
        held.lock();
    }
    return work();
}

// Runs the computation without the GIL.
template <typename Compute> auto released(Compute compute) {
    py::gil_scoped_release unlocked;
    return compute();
}

// Runs work with the model in use changed for this call alone, every workload's parallel
// fraction replaced as the tool's --parallel-fraction replaces it: the model lock is held
// exclusively (the other calls wait, as for load_model), and the model loaded comes back
// afterwards.
template <typename Work> auto with_parallel_fraction(double fraction, Work work) {
    CNumbers numbers;
    std::unique_lock<std::mutex> waiting(turnstile, std::defer_lock);
    std::unique_lock<std::shared_mutex> held(model_lock, std::defer_lock);
    {
        py::gil_scoped_release released;
        waiting.lock();
        held.lock();
    }
    struct PutBack {
        ~PutBack() {
            set_active_model(loaded_model);
            reset_design_state();
        }
    } put_back;
    auto changed = std::make_shared<Model>(active_model());
    changed->parallel_fraction = fraction;
    for (WorkloadRecord &w : changed->workloads)
        w.parallel_fraction.reset();
    set_active_model(changed);
    return work();
}

// A command's call: the keywords checked, read under the model and run without the GIL.
py::object call_command(const Command &command, const py::kwargs &given) {
    check_names(given, command.name, command.keywords);
    auto run = [&] {
        const Computation compute = command.read(given);
        return python_of(released(compute));
    };
    const std::optional<double> fraction = [&] {
        CNumbers numbers; // the model is not needed for this one
        return parallel_fraction_of(given);
    }();
    return fraction ? with_parallel_fraction(*fraction, run) : with_model(run);
}

py::dict search_many_call(const py::dict &tasks, const py::object &jobs_given) {
    py::kwargs jobs_argument;
    if (!jobs_given.is_none())
        jobs_argument["jobs"] = jobs_given;
    const int jobs = jobs_of(jobs_argument);
    return with_model([&] {
        const std::vector<Request> requests = requests_of_tasks(tasks);
        return columns_of(released([&] {
            const std::vector<BestConfiguration> found = search_best_many(requests, jobs);
            Table table = best_table();
            for (const BestConfiguration &best : found)
                add_best_row(table, best);
            return table;
        }));
    });
}

// The model file's text as UTF-8; ValueError for anything else.
std::string model_text_of(const py::object &text) {
    const char *accepted = "; accepted: a model file's text (docs/model.md)";
    if (!py::isinstance<py::str>(text))
        raise_value_error("text: not text" + std::string(accepted));
    Py_ssize_t size = 0;
    const char *bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (bytes == nullptr) {
        PyErr_Clear();
        raise_value_error("text: not valid text (" +
                          py::repr(text).cast<std::string>().substr(0, 80) + ")" + accepted);
    }
    return std::string(bytes, size_t(size));
}

void load_model(const py::object &path, const py::object &text, bool quiet) {
    CNumbers numbers;
    if (!path.is_none() && !text.is_none())
        raise_value_error("load_model: path and text given; accepted: one of them, or "
                          "neither for the built-in model");
    ModelFileResult loaded;
    if (!path.is_none()) {
        const std::string name = file_name_of(path, "path");
        loaded = released([&] { return load_model_file(name); });
    } else if (!text.is_none()) {
        const std::string contents = model_text_of(text);
        loaded = released([&] { return parse_model_text(contents, "<text>"); });
    }
    if ((!path.is_none() || !text.is_none()) && !loaded.model) {
        std::string message;
        for (const std::string &error : loaded.errors)
            message += (message.empty() ? "" : "\n") + error;
        raise_value_error(message);
    }
    // A figure outside its typical range is a Python warning (UserWarning), one per field, said
    // before the model changes: a warnings filter that makes it an error leaves the model as
    // it was.
    for (const std::string &warning : quiet ? std::vector<std::string>{} : loaded.warnings)
        if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0)
            throw py::error_already_set();
    py::gil_scoped_release unlocked;
    // The turnstile first: calls made from now on wait for the new model.
    std::lock_guard<std::mutex> waiting(turnstile);
    std::unique_lock<std::shared_mutex> held(model_lock);
    loaded_model = loaded.model;
    set_active_model(loaded.model);
    reset_design_state();
}

// Reads the arguments of a call as the call itself does, without running it.
void check_call(const std::string &name, const py::kwargs &given) {
    const Command *command = command_named(name);
    if (command == nullptr) {
        std::string names;
        for (const Command &each : commands())
            names += (names.empty() ? "" : ", ") + std::string(each.name);
        raise_value_error("command '" + name + "'; accepted: one of " + names);
    }
    check_names(given, command->name, command->keywords);
    parallel_fraction_of(given);
    command->read(given);
}

// Runs check with `model_text`'s model active (None: the built-in model) for the check alone.
template <typename Check> void under_model_text(const py::object &model_text, Check check) {
    CNumbers numbers;
    std::shared_ptr<const Model> model;
    if (!model_text.is_none()) {
        const std::string text = model_text_of(model_text);
        const ModelFileResult loaded = released([&] { return parse_model_text(text, "<text>"); });
        if (!loaded.model) {
            std::string message;
            for (const std::string &error : loaded.errors)
                message += (message.empty() ? "" : "\n") + error;
            raise_value_error(message);
        }
        model = loaded.model;
    }
    std::unique_lock<std::mutex> waiting(turnstile, std::defer_lock);
    std::unique_lock<std::shared_mutex> held(model_lock, std::defer_lock);
    {
        py::gil_scoped_release unlocked;
        waiting.lock();
        held.lock();
    }
    struct PutBack {
        ~PutBack() { set_active_model(loaded_model); }
    } put_back;
    set_active_model(model);
    check();
}

// Checks the arguments of a study's tasks of one model (a model file's text; None for the
// built-in model) without running them: the model is made active for this check alone, and the
// first bad task raises its error with "tasks[INDEX]: " before it. Each task is (index,
// command, keyword arguments).
void check_tasks(const py::object &model_text, const py::list &tasks) {
    under_model_text(model_text, [&] {
        for (const py::handle &task : tasks) {
            const py::tuple item = py::reinterpret_borrow<py::tuple>(task);
            const std::string index = py::str(item[0]).cast<std::string>();
            try {
                check_call(py::str(item[1]).cast<std::string>(),
                           py::reinterpret_borrow<py::kwargs>(item[2]));
            } catch (py::error_already_set &e) {
                const std::string message = py::str(e.value()).cast<std::string>();
                if (e.matches(PyExc_TypeError))
                    throw py::type_error("tasks[" + index + "]: " + message);
                raise_value_error("tasks[" + index + "]: " + message);
            } catch (const py::type_error &e) {
                throw py::type_error("tasks[" + index + "]: " + e.what());
            }
        }
    });
}

// Checks one call's arguments under a model's text without running it.
void check_one_call(const py::object &model_text, const std::string &command,
                    const py::kwargs &given) {
    under_model_text(model_text, [&] { check_call(command, given); });
}

py::object export_model_call(const py::object &path) {
    CNumbers numbers;
    const std::string text =
        with_model([] { return released([] { return export_model(active_model()); }); });
    if (path.is_none())
        return py::str(text);
    const std::string name = file_name_of(path, "path");
    // Whole or not at all, through a temporary file beside it: a failed write keeps the old file.
    const std::string failure = released([&] { return replace_file(name, text); });
    if (!failure.empty())
        raise_value_error("path: cannot write '" + name + "': " + failure +
                          "; accepted: a file name that can be written");
    return py::none();
}

py::dict model_info() {
    return with_model([] {
        const Model &m = active_model();
        py::dict info;
        // A path as the system gave it: os.fsdecode's text of bytes that are not UTF-8.
        info["source"] = py::reinterpret_steal<py::object>(
            PyUnicode_DecodeFSDefaultAndSize(m.source.data(), Py_ssize_t(m.source.size())));
        info["parallel_fraction"] = m.parallel_fraction;
        // The one each workload's searches use: its own (a model file's), or the model's.
        py::dict by_workload;
        for (size_t w = 0; w < m.workloads.size(); w++)
            by_workload[py::str(m.workloads[w].name)] = parallel_fraction_of(m, int(w));
        info["workload_parallel_fractions"] = by_workload;
        // The design space's axes in the model's order, the order in which the searches go
        // through them (and so settle ties).
        info["core_counts"] = std::vector<double>(m.core_counts.begin(), m.core_counts.end());
        info["cache_sizes_mb"] = std::vector<double>(m.cache_sizes.begin(), m.cache_sizes.end());
        info["scale_steps"] = std::vector<double>(m.scale_steps.begin(), m.scale_steps.end());
        for (auto [key, choice] : {std::pair{"workload", Choice::Workload},
                                   {"memory", Choice::Memory},
                                   {"transistor", Choice::Transistor},
                                   {"core", Choice::CoreKind},
                                   {"node", Choice::Node}})
            info[key] = choice_names(choice);
        return info;
    });
}

} // namespace

PYBIND11_MODULE(_cpuwidget, m) {
    // The model's trace lines belong to the window's console; nothing is printed here.
    trace_set_enabled(false);
    m.doc() = "The design-space explorer's model and searches (the compiled part of cpuwidget).";
    // The tool's commands, a function each, taking its options as keyword arguments (every
    // one also parallel_fraction, the model's replaced for the one call).
    const std::map<std::string, const char *> documents = {
        {"search", "The best configuration of one option set within its limits: one row. "
                   "objective (\"speedup\", the default, \"speedup_per_watt\", \"energy\" or "
                   "\"edp\") says what the best is; energy=True, or any other objective, adds "
                   "the columns speedup_per_watt, energy_j, edp_js; breakdown=True the power's "
                   "terms, power_core_switching_w to power_memory_stack_w; flags=True the ends "
                   "of axes it sits at (edge_cores, edge_cache, edge_scale)."},
        {"space", "Every configuration of one option set (18,760 rows) with its figures and the "
                  "limits it breaks; energy=True and breakdown=True as in search."},
        {"sweep", "The best configuration of every option combination (360 rows with the "
                  "built-in model), or of those workload ... node name (a name or a list "
                  "each); objective, energy and flags as in search."},
        {"explain", "Which limit holds the best configuration of one option set back: a row per "
                    "limit; pairs=True relaxes every pair of limits together too; breakdown=True "
                    "adds the power's terms of the optimum and of the relaxed configuration."},
        {"budget", "The best configuration as one limit varies over a range (a curve, a curve "
                   "per value of series, or the best over best_over's options at each point, "
                   "with binding=True the limits that bind) or as two limits vary (a map): a "
                   "row per point; objective and flags as in search."},
        {"pareto", "The configurations of one option set within its limits that no other beats "
                   "on every objective at once (objectives, by default speedup, power and area): "
                   "space's columns with the energy figures, best first by the first objective."},
        {"sensitivity", "Each number of the model that one option set uses moved down and up by "
                        "spread percent (default 10): a row per number with the best "
                        "configuration at either end, largest effect first."},
        {"uncertainty", "samples models (default 1000), every number the option set uses "
                        "uniform within -/+ spread percent (or within ranges), searched each: a "
                        "row per configuration that is ever the best, most often first; with "
                        "per_sample=True a row per sample."},
        {"evaluate", "One configuration at any core count and cache size, at a scale step or a "
                     "given supply and frequency: every figure and the limits it breaks, one row "
                     "as a dict of scalars; breakdown=True adds the power's terms."},
        {"validate", "The model against real chips (chips: a table's path, the shipped one by "
                     "default): a row per chip and published figure, or with summary=True a row "
                     "per figure."},
        {"calibrate", "Fits model-file fields (fit) to a chip table's clocks, areas and powers: "
                      "{\"fields\": columns, \"errors\": columns, \"model_text\": the model "
                      "file's text}; writes the model file to output when given, whole or not "
                      "at all."},
    };
    py::dict keywords;
    for (const Command &command : commands()) {
        const Command *named = &command;
        m.def(
            command.name, [named](const py::kwargs &given) { return call_command(*named, given); },
            documents.at(command.name));
        py::list names;
        for (const char *name : command.keywords)
            names.append(name);
        keywords[command.name] = names;
    }
    // What each function takes, for the package's own checks (cpuwidget.dask).
    m.attr("_keywords") = keywords;
    m.def("search_many", &search_many_call, py::arg("tasks"), py::arg("jobs") = py::none(),
          "The best configuration of many searches at once: tasks is a dict of columns named as "
          "search's keyword arguments, a row per search; the answers are search's columns, a "
          "row per task in task order, searched on up to jobs threads (default: one per core).");
    m.def("load_model", &load_model, py::arg("path") = py::none(), py::arg("text") = py::none(),
          py::kw_only(), py::arg("quiet") = false,
          "Makes a model file (path, or its text) the model of this process; the built-in model "
          "with neither. A refused file raises ValueError with one line per problem; a figure "
          "outside the range typical of real chips is a UserWarning, one per field, unless "
          "quiet.");
    m.def("export_model", &export_model_call, py::arg("path") = py::none(),
          "Writes the model in use as a model file to path; returns its text without a path.");
    m.def("_check_tasks", &check_tasks, py::arg("model_text"), py::arg("tasks"),
          "Checks a study's tasks of one model without running them (cpuwidget.dask).");
    m.def("_check_call", &check_one_call, py::arg("model_text"), py::arg("command"),
          "Checks one call's arguments under a model's text without running it.");
    m.def("model_info", &model_info,
          "The model in use: its source, parallel fraction, option names and the design space's "
          "axes (core_counts, cache_sizes_mb, scale_steps) in the order the searches go "
          "through them.");
}
