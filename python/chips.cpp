#include "python/chips.h"

#include <pybind11/stl.h>

#include <filesystem>
#include <memory>

#include "chips/calibration.h"
#include "chips/evaluation_columns.h"
#include "files/whole_file.h"
#include "python/arguments.h"
#include "python/research.h"
#include "study/choices.h"

namespace py = pybind11;

namespace {

[[noreturn]] void refuse(const char *name, const std::string &problem,
                         const std::string &accepted) {
    raise_value_error(std::string(name) + ": " + problem + "; accepted: " + accepted);
}

// A number above 0, none when not given; refused as the tool refuses it.
std::optional<double> positive_of(const py::kwargs &given, const char *name,
                                  const std::string &accepted) {
    const std::optional<double> value = number_of(given, name, accepted);
    if (value && !(*value > 0))
        refuse(name, echoed(given, name, *value) + " is out of range", accepted);
    return value;
}

// A file name given (the tool's words for an empty one), none when not given.
std::optional<std::string> file_of(const py::kwargs &given, const char *name,
                                   const std::string &accepted) {
    if (!given.contains(name) || given[name].is_none())
        return std::nullopt;
    const py::object value = given[name];
    if ((py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) && py::len(value) == 0)
        refuse(name, "the file name is empty", accepted);
    return file_name_of(value, name);
}

// The chip table named by `chips`, or the shipped one.
std::shared_ptr<const ChipTable> chips_of(const py::kwargs &given) {
    const Model &model = active_model();
    const std::optional<std::string> path =
        file_of(given, "chips",
                std::string("a chip table (docs/chips.md; default: the shipped ") +
                    kShippedChipTable + ")");
    auto table = std::make_shared<ChipTable>();
    if (path) {
        py::gil_scoped_release released;
        *table = read_chip_table(*path, model);
    } else {
        *table = parse_chip_table(shipped_chip_table_text(), kShippedChipTable, model);
    }
    if (!table->errors.empty()) {
        std::string message;
        for (const std::string &line : table->errors)
            message += (message.empty() ? "" : "\n") + line;
        raise_value_error(message);
    }
    return table;
}

std::vector<std::string> fields_of(const py::kwargs &given) {
    const char *accepted = "fields as a model file places them, separated by commas "
                           "(node.65nm.fmax_LOP,node.45nm.core_area_LOP_mm2.ARM,reference_chip."
                           "Cgate)";
    if (!given.contains("fit") || given["fit"].is_none())
        refuse("fit", "missing", accepted);
    const py::object fit = given["fit"];
    std::vector<std::string> fields;
    if (py::isinstance<py::str>(fit)) {
        fields = field_list(fit.cast<std::string>());
    } else {
        try {
            fields = fit.cast<std::vector<std::string>>();
        } catch (const py::cast_error &) {
            refuse("fit", py::repr(fit).cast<std::string>() + " is not accepted", accepted);
        }
    }
    if (fields.empty() || (fields.size() == 1 && fields[0].empty()))
        refuse("fit", "no fields", accepted);
    return fields;
}

// How the new model file names the model it extends: "built-in"; the model file's path
// relative to the folder of the file written, as the tool writes it; or, when the text is only
// returned, the model file's absolute path, which holds wherever the text is saved.
std::string extends_of(const std::optional<std::string> &target) {
    const std::string &source = active_model().source;
    if (source == "built-in")
        return source;
    namespace fs = std::filesystem;
    std::error_code failed;
    if (!target) {
        const fs::path absolute = fs::absolute(source, failed);
        return failed ? source : absolute.string();
    }
    const fs::path folder = fs::absolute(fs::path(*target), failed).parent_path();
    const fs::path relative = fs::absolute(source, failed).lexically_relative(folder);
    return failed || relative.empty() ? source : relative.string();
}

// The call, for the file's comments.
std::string call_of(const py::kwargs &given, const std::vector<std::string> &fields) {
    std::string how = "cpuwidget.calibrate(fit=\"";
    for (size_t i = 0; i < fields.size(); i++)
        how += (i ? "," : "") + fields[i];
    how += "\"";
    for (const char *name : {"chips", "parallel_fraction"})
        if (given.contains(name) && !given[name].is_none())
            how += std::string(", ") + name + "=" + py::repr(given[name]).cast<std::string>();
    return how + ")";
}

Table fields_table(const Calibration &c) {
    Table fitted;
    std::vector<std::string> names;
    for (const FittedField &f : c.fields)
        names.push_back(f.name);
    fitted.add("field", ColumnType::Name, names);
    fitted.add("before", ColumnType::Number);
    fitted.add("after", ColumnType::Number);
    for (size_t i = 0; i < c.fields.size(); i++) {
        fitted.columns[0].add_name(int(i));
        fitted.columns[1].add_number(c.fields[i].before);
        fitted.columns[2].add_number(c.fields[i].after);
    }
    return fitted;
}

// The summary per figure in sample before and after the fit and leave one out, a row per set
// and figure.
Table errors_table(const Calibration &c) {
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
    return errors;
}

} // namespace

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

Computation read_evaluate(const py::kwargs &given) {
    EvaluationRequest r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    r.cores = whole_number_of(given, "cores", 1, 1e9, "a whole number, at least 1 (default 1)")
                  .value_or(1);
    r.cache_mb =
        positive_of(given, "cache",
                    "a number above 0 (default 1; off the axis its L2 latency is interpolated)")
            .value_or(1);
    const std::string scale_accepted = "one of " + scale_step_list() + " (default 1.0)";
    r.scale = number_of(given, "scale", scale_accepted);
    if (r.scale && !scale_step_index(*r.scale)) {
        // Text as the tool quotes it ('0.75'); a number as it is.
        const std::string shown = echoed(given, "scale", *r.scale);
        refuse("scale",
               (py::isinstance<py::str>(given["scale"]) ? "'" + shown + "'" : shown) +
                   " is not a scale step",
               scale_accepted);
    }
    r.vdd = positive_of(given, "vdd",
                        "a number above 0, above the nominal supply too (default: the step's "
                        "supply)");
    r.freq = positive_of(given, "freq", "a number above 0 (default: what the supply allows)");
    const bool breakdown = flag_of(given, "breakdown");
    // One configuration: evaluated here, so that what it refuses is refused with the arguments.
    const Evaluation e = evaluate(active_model(), r);
    if (!e.error.empty())
        raise_value_error(e.error);
    return [e, breakdown] { return OneRow{evaluation_table({e}, breakdown)}; };
}

Computation read_validate(const py::kwargs &given) {
    const bool summary = flag_of(given, "summary");
    const std::shared_ptr<const ChipTable> table = chips_of(given);
    return [table, summary] {
        const Validation v = validate(active_model(), table->chips);
        return summary ? validation_summary_table(v) : validation_table(v, table->chips);
    };
}

Computation read_calibrate(const py::kwargs &given) {
    const std::vector<std::string> fields = fields_of(given);
    const std::optional<std::string> output = file_of(given, "output", "a file name");
    const std::shared_ptr<const ChipTable> table = chips_of(given);
    // The fit takes a few milliseconds: made here, so that a field it cannot fit is refused
    // before anything runs (a study checks every task first).
    auto c = std::make_shared<Calibration>([&] {
        py::gil_scoped_release released;
        return calibrate(active_model(), table->chips, fields);
    }());
    if (!c->error.empty())
        // The tool's message names its option (--fit); here the keyword.
        raise_value_error(c->error.rfind("--", 0) == 0 ? c->error.substr(2) : c->error);
    const std::string extends = extends_of(output);
    const std::string how = call_of(given, fields);
    return [c, table, output, extends, how] {
        FittedModel fitted;
        fitted.model_text = calibrated_model_text(*c, table->chips, extends, how);
        if (output) {
            fitted.output = *output;
            fitted.write_failure = replace_file(*output, fitted.model_text);
        }
        fitted.fields = fields_table(*c);
        fitted.errors = errors_table(*c);
        return fitted;
    };
}
