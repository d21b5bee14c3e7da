// The compiled part of the cpuwidget package: the command-line tool's requests, searches and
// records for Python. Nothing here computes a figure; every one comes from the same code as the
// tool's.
//
// One model is active per process, as in the tool. Loading a model replaces it for every
// thread: load_model waits until the calls in flight have ended (they hold the model lock
// shared) and the calls made afterwards use the new one. Searches release the GIL.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <shared_mutex>

#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "python/arguments.h"
#include "python/batch.h"
#include "python/columns.h"
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

// Runs work with the model lock held shared. The lock is taken with the GIL released so that a
// thread waiting for it never holds up the others.
template <typename Work> auto with_model(Work work) {
    std::shared_lock<std::shared_mutex> held(model_lock, std::defer_lock);
    {
        py::gil_scoped_release released;
        held.lock();
    }
    return work();
}

// Runs the computation without the GIL.
template <typename Compute> auto released(Compute compute) {
    py::gil_scoped_release unlocked;
    return compute();
}

#define OPTION_NAMES "workload", "memory", "transistor", "core", "node"
#define LIMIT_NAMES "area", "power", "bw", "tsv"
#define HOLD_NAMES "cores", "cache", "scale", "vdd", "freq"

Request request_of(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    r.holds = holds_of(given, r.options);
    return r;
}

py::dict search_call(const py::kwargs &given) {
    check_names(given, "search", {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES});
    return with_model([&] {
        const Request r = request_of(given);
        return columns_of(released([&] {
            Table table = best_table();
            add_best_row(table, search_best(r));
            return table;
        }));
    });
}

py::dict space_call(const py::kwargs &given) {
    check_names(given, "space", {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES});
    return with_model([&] {
        const Request r = request_of(given);
        return columns_of(released([&] {
            Table table = space_table(true);
            for (const SpaceRow &row : space(r))
                add_space_row(table, r.options, row);
            return table;
        }));
    });
}

py::dict sweep_call(const py::kwargs &given) {
    check_names(given, "sweep", {LIMIT_NAMES, "cores", "cache", "scale", "jobs"});
    return with_model([&] {
        Request r;
        r.limits = limits_of(given);
        r.holds = holds_of(given, r.options);
        const int jobs = jobs_of(given);
        return columns_of(released([&] {
            Table table = best_table();
            sweep_in_batches(r.limits, r.holds, jobs,
                             [&](const std::vector<BestConfiguration> &rows) {
                                 for (const BestConfiguration &row : rows)
                                     add_best_row(table, row);
                                 return true;
                             });
            return table;
        }));
    });
}

py::dict explain_call(const py::kwargs &given) {
    check_names(given, "explain", {OPTION_NAMES, LIMIT_NAMES, "step"});
    return with_model([&] {
        Request r;
        r.options = options_of(given);
        r.limits = limits_of(given);
        const double step = step_of(given);
        return columns_of(released([&] { return explain_table(explain(r, step)); }));
    });
}

py::dict budget_call(const py::kwargs &given) {
    check_names(given, "budget", {OPTION_NAMES, LIMIT_NAMES, "vary", "series", "step", "jobs"});
    return with_model([&] {
        Request r;
        r.options = options_of(given);
        r.limits = limits_of(given);
        const BudgetRequest b = budget_request_of(given, r);
        const int jobs = jobs_of(given);
        return columns_of(released([&] {
            Table table = budget_table(b);
            budget_in_chunks(b, jobs, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
                add_budget_rows(table, b, s, chunk, 0, chunk.best.size());
                return true;
            });
            return table;
        }));
    });
}

py::dict search_many_call(const py::dict &tasks, const py::object &jobs_given) {
    py::kwargs jobs_argument;
    if (!jobs_given.is_none())
        jobs_argument["jobs"] = jobs_given;
    const int jobs = jobs_of(jobs_argument);
    return with_model([&] {
        const std::vector<Request> requests = requests_of_tasks(tasks);
        return columns_of(released([&] {
            std::vector<BestConfiguration> found(requests.size());
            run_in_parallel(requests.size(), jobs,
                            [&](size_t i) { found[i] = search_best(requests[i]); });
            Table table = best_table();
            for (const BestConfiguration &best : found)
                add_best_row(table, best);
            return table;
        }));
    });
}

void load_model(const py::object &path, const py::object &text) {
    if (!path.is_none() && !text.is_none())
        throw py::value_error("load_model: path and text given; accepted: one of them, or "
                              "neither for the built-in model");
    ModelFileResult loaded;
    if (!path.is_none()) {
        const std::string name = py::str(py::module_::import("os").attr("fsdecode")(path));
        loaded = released([&] { return load_model_file(name); });
    } else if (!text.is_none()) {
        if (!py::isinstance<py::str>(text))
            throw py::value_error("text: not text; accepted: a model file's text (docs/model.md)");
        const std::string contents = text.cast<std::string>();
        loaded = released([&] { return parse_model_text(contents, "<text>"); });
    }
    if ((!path.is_none() || !text.is_none()) && !loaded.model) {
        std::string message;
        for (const std::string &error : loaded.errors)
            message += (message.empty() ? "" : "\n") + error;
        throw py::value_error(message);
    }
    py::gil_scoped_release unlocked;
    std::unique_lock<std::shared_mutex> held(model_lock);
    set_active_model(loaded.model);
    reset_design_state();
}

py::object export_model_call(const py::object &path) {
    const std::string text = with_model([] { return export_model(active_model()); });
    if (path.is_none())
        return py::str(text);
    const std::string name = py::str(py::module_::import("os").attr("fsdecode")(path));
    std::ofstream file(name, std::ios::binary);
    file << text;
    file.close();
    if (!file)
        throw py::value_error("path: cannot write '" + name +
                              "'; accepted: a file name that can "
                              "be written");
    return py::none();
}

py::dict model_info() {
    return with_model([] {
        const Model &m = active_model();
        py::dict info;
        info["source"] = m.source;
        info["parallel_fraction"] = m.parallel_fraction;
        for (auto [key, choice] : {std::pair{"workload", Choice::Workload},
                                   {"memory", Choice::Memory},
                                   {"transistor", Choice::Transistor},
                                   {"core", Choice::CoreKind},
                                   {"node", Choice::Node}})
            info[key] = choice_names(choice);
        return info;
    });
}

// The research commands: search, sweep and space with the energy figures and objectives
// (called by the package's search, sweep and space when objective or energy is given), the
// Pareto front, sensitivity and uncertainty.

py::dict search_by_call(const py::kwargs &given) {
    check_names(given, "search", {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "objective", "energy"});
    return with_model([&] {
        const Request r = request_of(given);
        const Objective objective = objective_of(given);
        // As on the command line: the energy columns when asked for or when the objective is
        // not the speedup.
        const bool energy = flag_of(given, "energy") || objective != Objective::Speedup;
        return columns_of(released([&] {
            Table table = best_table();
            if (energy)
                add_energy_columns(table);
            const BestConfiguration best = search_best_by(r, objective);
            add_best_row(table, best);
            if (energy)
                add_energy_values(table, best.feasible ? &best.figures : nullptr);
            return table;
        }));
    });
}

py::dict sweep_by_call(const py::kwargs &given) {
    check_names(given, "sweep",
                {LIMIT_NAMES, "cores", "cache", "scale", "jobs", "objective", "energy"});
    return with_model([&] {
        Request r;
        r.limits = limits_of(given);
        r.holds = holds_of(given, r.options);
        const int jobs = jobs_of(given);
        const Objective objective = objective_of(given);
        const bool energy = flag_of(given, "energy") || objective != Objective::Speedup;
        return columns_of(released([&] {
            Table table = best_table();
            if (energy)
                add_energy_columns(table);
            sweep_in_batches_by(r.limits, r.holds, objective, jobs,
                                [&](const std::vector<BestConfiguration> &rows) {
                                    for (const BestConfiguration &row : rows) {
                                        add_best_row(table, row);
                                        if (energy)
                                            add_energy_values(table, row.feasible ? &row.figures
                                                                                  : nullptr);
                                    }
                                    return true;
                                });
            return table;
        }));
    });
}

py::dict space_energy_call(const py::kwargs &given) {
    check_names(given, "space", {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "energy"});
    return with_model([&] {
        const Request r = request_of(given);
        const bool energy = flag_of(given, "energy");
        return columns_of(released([&] {
            Table table = space_table(true);
            if (energy)
                add_energy_columns(table);
            for (const SpaceRow &row : space(r)) {
                add_space_row(table, r.options, row);
                if (energy)
                    add_energy_values(table, &row.figures);
            }
            return table;
        }));
    });
}

py::dict budget_by_call(const py::kwargs &given) {
    check_names(given, "budget",
                {OPTION_NAMES, LIMIT_NAMES, "vary", "series", "step", "jobs", "objective"});
    return with_model([&] {
        Request r;
        r.options = options_of(given);
        r.limits = limits_of(given);
        BudgetRequest b = budget_request_of(given, r);
        b.objective = objective_of(given);
        const int jobs = jobs_of(given);
        return columns_of(released([&] {
            Table table = budget_table(b);
            budget_in_chunks(b, jobs, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
                add_budget_rows(table, b, s, chunk, 0, chunk.best.size());
                return true;
            });
            return table;
        }));
    });
}

py::dict pareto_call(const py::kwargs &given) {
    check_names(given, "pareto", {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "objectives"});
    return with_model([&] {
        const ParetoRequest p{request_of(given), pareto_objectives_of(given)};
        return columns_of(released([&] {
            const ParetoFront front = pareto_front(p);
            Table table = pareto_table(true);
            for (size_t i : front.front)
                add_pareto_row(table, p.request.options, front.space[i]);
            return table;
        }));
    });
}

py::dict sensitivity_call(const py::kwargs &given) {
    check_names(given, "sensitivity", {OPTION_NAMES, LIMIT_NAMES, "spread", "jobs"});
    return with_model([&] {
        Request r;
        r.options = options_of(given);
        r.limits = limits_of(given);
        const double spread = spread_of(given);
        const int jobs = jobs_of(given);
        return columns_of(
            released([&] { return sensitivity_table(sensitivity(r, spread, jobs)); }));
    });
}

py::dict uncertainty_call(const py::kwargs &given) {
    check_names(given, "uncertainty",
                {OPTION_NAMES, LIMIT_NAMES, "samples", "seed", "spread", "ranges", "per_sample",
                 "first_sample", "jobs"});
    return with_model([&] {
        Request r;
        r.options = options_of(given);
        r.limits = limits_of(given);
        const UncertaintyRequest u = uncertainty_request_of(given, r);
        const bool per_sample = flag_of(given, "per_sample");
        const int jobs = jobs_of(given);
        return columns_of(released([&] {
            const std::vector<UncertaintySample> samples = uncertainty_samples(u, jobs);
            return per_sample ? uncertainty_samples_table(samples, u.first)
                              : uncertainty_table(summarise(samples));
        }));
    });
}

} // namespace

PYBIND11_MODULE(_cpuwidget, m) {
    // The model's trace lines belong to the window's console; nothing is printed here.
    trace_set_enabled(false);
    m.doc() = "The design-space explorer's model and searches (the compiled part of cpuwidget).";
    m.def("search", &search_call,
          "The best configuration of one option set within its limits: one row.");
    m.def("space", &space_call,
          "Every configuration of one option set (18,760 rows) with its figures and the limits "
          "it breaks.");
    m.def("sweep", &sweep_call,
          "The best configuration of every option combination (360 rows with the built-in "
          "model).");
    m.def("explain", &explain_call,
          "Which limit holds the best configuration of one option set back: a row per limit.");
    m.def("budget", &budget_call,
          "The best configuration as one limit varies over a range (a curve, or a curve per value "
          "of series) or as two limits vary (a map): a row per point.");
    m.def("search_many", &search_many_call, py::arg("tasks"), py::arg("jobs") = py::none(),
          "The best configuration of many searches at once: tasks is a dict of columns named as "
          "search's keyword arguments, a row per search; the answers are search's columns, a "
          "row per task in task order, searched on up to jobs threads (default: one per core).");
    m.def("load_model", &load_model, py::arg("path") = py::none(), py::arg("text") = py::none(),
          "Makes a model file (path, or its text) the model of this process; the built-in model "
          "with neither. A refused file raises ValueError with one line per problem.");
    m.def("export_model", &export_model_call, py::arg("path") = py::none(),
          "Writes the model in use as a model file to path; returns its text without a path.");
    m.def("model_info", &model_info,
          "The model in use: its source, parallel fraction and option names.");
    m.def("_search_by", &search_by_call,
          "search with objective (what the best configuration is) and the energy columns.");
    m.def("_sweep_by", &sweep_by_call,
          "sweep with objective (what the best configuration is) and the energy columns.");
    m.def("_budget_by", &budget_by_call, "budget with objective (what the best configuration is).");
    m.def("_space_energy", &space_energy_call, "space with the energy columns when energy=True.");
    m.def("pareto", &pareto_call,
          "The configurations of one option set within its limits that no other beats on every "
          "objective at once (objectives, by default speedup, power and area): space's columns "
          "with the energy figures, best first by the first objective.");
    m.def("sensitivity", &sensitivity_call,
          "Each number of the model that one option set uses moved down and up by spread "
          "percent (default 10): a row per number with the best configuration at either end, "
          "largest effect first.");
    m.def("uncertainty", &uncertainty_call,
          "samples models (default 1000), every number the option set uses uniform within "
          "-/+ spread percent (or within ranges), searched each: a row per configuration that "
          "is ever the best, most often first; with per_sample=True a row per sample.");
}
