#include "python/chips.h"

#include <pybind11/stl.h>

#include <cmath>

#include "chips/calibration.h"
#include "chips/evaluation_columns.h"
#include "modelfile/whole_file.h"
#include "python/arguments.h"
#include "python/columns.h"
#include "python/research.h"

namespace py = pybind11;

namespace {

// A number given as an int or a float (not a bool); none when not given.
std::optional<double> real_of(const py::kwargs &given, const char *name,
                              const std::string &accepted) {
    if (!given.contains(name) || given[name].is_none())
        return std::nullopt;
    const py::object value = given[name];
    static const py::handle real =
        py::object(py::module_::import("numbers").attr("Real")).release();
    if (py::isinstance<py::bool_>(value) || !py::isinstance(value, real))
        raise_value_error(std::string(name) + ": " + py::repr(value).cast<std::string>() +
                          " is not a number; accepted: " + accepted);
    const double number = value.cast<double>();
    if (!std::isfinite(number))
        raise_value_error(std::string(name) + ": " + py::repr(value).cast<std::string>() +
                          " is not a number; accepted: " + accepted);
    return number;
}

// The chip table named by `chips`, or the shipped one.
ChipTable chips_of(const py::kwargs &given) {
    const Model &model = active_model();
    ChipTable table;
    if (given.contains("chips") && !given["chips"].is_none()) {
        const std::string path = file_name_of(given["chips"], "chips");
        py::gil_scoped_release released;
        table = read_chip_table(path, model);
    } else {
        table = parse_chip_table(shipped_chip_table_text(), kShippedChipTable, model);
    }
    if (!table.errors.empty()) {
        std::string message;
        for (const std::string &line : table.errors)
            message += (message.empty() ? "" : "\n") + line;
        raise_value_error(message);
    }
    return table;
}

std::vector<std::string> fields_of(const py::kwargs &given) {
    const char *accepted = "a field as a model file names it (node.65nm.fmax_LOP), several "
                           "as a list or one text with commas";
    if (!given.contains("fit") || given["fit"].is_none())
        raise_value_error(std::string("fit: missing; accepted: ") + accepted);
    const py::object fit = given["fit"];
    if (py::isinstance<py::str>(fit))
        return field_list(fit.cast<std::string>());
    try {
        return fit.cast<std::vector<std::string>>();
    } catch (const py::cast_error &) {
        raise_value_error("fit: " + py::repr(fit).cast<std::string>() +
                          " is not accepted; "
                          "accepted: " +
                          accepted);
    }
}

// The first row of a table as Python scalars: float, int, bool, str, or None where empty.
py::dict first_row(const Table &t) {
    py::dict row;
    for (const Column &c : t.columns) {
        py::object value = py::none();
        if (c.present(0)) {
            switch (c.type()) {
            case ColumnType::Number:
                value = py::float_(c.number(0));
                break;
            case ColumnType::Integer:
                value = py::int_(c.integer(0));
                break;
            case ColumnType::Flag:
                value = py::bool_(c.flag(0));
                break;
            case ColumnType::Name:
                value = py::str(c.labels()[size_t(c.name_index(0))]);
                break;
            case ColumnType::Names: {
                std::string names;
                for (size_t i = 0; i < c.labels().size(); i++)
                    if (c.name_set(0) >> i & 1)
                        names += (names.empty() ? "" : "+") + c.labels()[i];
                value = py::str(names);
                break;
            }
            }
        }
        row[py::str(c.name())] = value;
    }
    return row;
}

} // namespace

py::dict evaluate_columns(const py::kwargs &given) {
    check_names(given, "evaluate",
                {"workload", "memory", "transistor", "core", "node", "area", "power", "bw", "tsv",
                 "cores", "cache", "scale", "vdd", "freq", "breakdown"});
    EvaluationRequest r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    r.cores = real_of(given, "cores", "a whole number, at least 1").value_or(1);
    r.cache_mb = real_of(given, "cache", "a size above 0 MB").value_or(1);
    r.scale = real_of(given, "scale", "a scale step of the axis");
    r.vdd = real_of(given, "vdd", "a supply above 0 V");
    r.freq = real_of(given, "freq", "a frequency above 0 GHz");
    const bool breakdown = flag_of(given, "breakdown");
    const Evaluation e = evaluate(active_model(), r);
    if (!e.error.empty())
        raise_value_error(e.error);
    return first_row(evaluation_table({e}, breakdown));
}

py::dict validate_columns(const py::kwargs &given) {
    check_names(given, "validate", {"chips", "summary"});
    const bool summary = flag_of(given, "summary");
    const ChipTable table = chips_of(given);
    const Validation v = [&] {
        py::gil_scoped_release released;
        return validate(active_model(), table.chips);
    }();
    return columns_of(summary ? validation_summary_table(v) : validation_table(v, table.chips));
}

py::dict calibrate_result(const py::kwargs &given) {
    check_names(given, "calibrate", {"chips", "fit", "output"});
    const std::vector<std::string> fields = fields_of(given);
    std::optional<std::string> output;
    if (given.contains("output") && !given["output"].is_none())
        output = file_name_of(given["output"], "output");
    const ChipTable table = chips_of(given);
    const Model &model = active_model();
    const Calibration c = [&] {
        py::gil_scoped_release released;
        return calibrate(model, table.chips, fields);
    }();
    if (!c.error.empty())
        raise_value_error(c.error);
    std::string how = "cpuwidget.calibrate(fit=\"";
    for (size_t i = 0; i < fields.size(); i++)
        how += (i ? "," : "") + fields[i];
    how += "\")";
    const std::string text = calibrated_model_text(
        c, table.chips, model.source == "built-in" ? "built-in" : model.source, how);
    if (output) {
        const std::string failure = write_whole_file(*output, text);
        if (!failure.empty())
            raise_value_error("output: " + *output + " was not written: " + failure +
                              "; accepted: a file that can be written");
    }
    Table fitted;
    fitted.add("field", ColumnType::Name, [&] {
        std::vector<std::string> names;
        for (const FittedField &f : c.fields)
            names.push_back(f.name);
        return names;
    }());
    fitted.add("before", ColumnType::Number);
    fitted.add("after", ColumnType::Number);
    for (size_t i = 0; i < c.fields.size(); i++) {
        fitted.columns[0].add_name(int(i));
        fitted.columns[1].add_number(c.fields[i].before);
        fitted.columns[2].add_number(c.fields[i].after);
    }
    Table errors;
    errors.add("set", ColumnType::Name, {"before", "after", "leave_one_out"});
    const Table summary = validation_summary_table(c.before);
    for (const Column &column : summary.columns)
        errors.add(column.name(), column.type(), column.labels());
    const FigureSummary *sets[] = {c.before.summary, c.after.summary, c.leave_one_out_summary};
    for (int s = 0; s < 3; s++) {
        Validation v;
        std::copy(sets[s], sets[s] + kChipFigures, v.summary);
        const Table part = validation_summary_table(v);
        for (size_t row = 0; row < part.rows(); row++) {
            errors.columns[0].add_name(s);
            for (size_t k = 0; k < part.columns.size(); k++) {
                const Column &from = part.columns[k];
                Column &to = errors.columns[k + 1];
                if (!from.present(row))
                    to.add_none();
                else if (from.type() == ColumnType::Number)
                    to.add_number(from.number(row));
                else if (from.type() == ColumnType::Integer)
                    to.add_integer(from.integer(row));
                else
                    to.add_name(from.name_index(row));
            }
        }
    }
    py::dict result;
    result["fields"] = columns_of(fitted);
    result["errors"] = columns_of(errors);
    result["model_text"] = text;
    return result;
}
