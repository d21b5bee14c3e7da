#include "python/batch.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>

#include "python/arguments.h"
#include "study/choices.h"

namespace py = pybind11;

namespace {

const char *const kOptions[] = {"workload", "memory", "transistor", "core", "node"};
const char *const kNumbers[] = {"area",  "power", "bw",  "tsv", "cores",
                                "cache", "scale", "vdd", "freq"};
constexpr Choice kChoices[] = {Choice::Workload, Choice::Memory, Choice::Transistor,
                               Choice::CoreKind, Choice::Node};

// pandas.NA, the value not given of pandas' nullable columns. Looked up once pandas is
// imported: before that no such value can exist.
bool is_pandas_na(const py::handle &item) {
    static PyObject *na = nullptr;
    if (na == nullptr) {
        PyObject *pandas = PyImport_GetModule(py::str("pandas").ptr());
        if (pandas == nullptr) {
            PyErr_Clear();
            return false;
        }
        na = PyObject_GetAttrString(pandas, "NA"); // kept for the life of the process
        Py_DECREF(pandas);
        if (na == nullptr) {
            PyErr_Clear();
            return false;
        }
    }
    return item.ptr() == na;
}

bool is_numpy_float(const py::handle &item) {
    static const py::handle floating = numpy_type("floating");
    return PyObject_TypeCheck(item.ptr(), reinterpret_cast<PyTypeObject *>(floating.ptr()));
}

// A value a row does not give: None, pandas.NA, or a NaN of any float type.
bool is_missing(const py::handle &item) {
    if (PyUnicode_Check(item.ptr()))
        return false;
    if (item.is_none() || is_pandas_na(item))
        return true;
    if (PyFloat_Check(item.ptr()))
        return std::isnan(PyFloat_AsDouble(item.ptr()));
    if (is_numpy_float(item)) {
        PyObject *converted = PyNumber_Float(item.ptr());
        if (converted == nullptr) {
            PyErr_Clear();
            return false;
        }
        const bool nan = std::isnan(PyFloat_AsDouble(converted));
        Py_DECREF(converted);
        return nan;
    }
    return false;
}

// One task column: what each row gives, read once for every row. Values that the quick reading
// below cannot settle are left to search's own argument reading (slow, but exact).
struct TaskColumn {
    std::string name;
    py::list items; // the column as Python objects (options, and numbers not in a numeric array)
    std::vector<double> numbers; // numeric arrays: NaN where not given
    bool numeric = false;
    size_t size() const { return numeric ? numbers.size() : items.size(); }
};

[[noreturn]] void refuse_column(const std::string &name, const std::string &why) {
    raise_value_error("tasks: column " + name + " " + why +
                      "; accepted: a column per argument (a list, a tuple, a numpy array or a "
                      "pandas Series) with a value per task in task order");
}

py::object numpy_ma(const char *name) {
    return py::module_::import("numpy.ma").attr(name);
}

// repr, cut short: a column of text may be long.
std::string shown_short(const py::handle &value) {
    const std::string text = py::repr(value).cast<std::string>();
    return text.size() <= 60 ? text : text.substr(0, 50) + "...";
}

// A column read through numpy's own conversion: any strides, byte order or numeric dtype; the
// mask of a masked array as values not given. Text, sets and mappings are refused: text would
// be read a character per task, and a set has no order.
TaskColumn column_of(const std::string &name, const py::handle &given, bool option) {
    PyObject *object = given.ptr();
    if (PyUnicode_Check(object) || PyBytes_Check(object) || PyByteArray_Check(object))
        refuse_column(name, "is text (" + shown_short(given) + "), not a column");
    if (PyAnySet_Check(object))
        refuse_column(name, "is a set, which has no order");
    if (PyDict_Check(object) || (!PySequence_Check(object) && !py::isinstance<py::array>(given)))
        refuse_column(name, "is not a sequence (" +
                                py::str(py::type::of(given).attr("__name__")).cast<std::string>() +
                                ")");
    TaskColumn c;
    c.name = name;
    py::object values = py::reinterpret_borrow<py::object>(given);
    py::object mask = py::none();
    if (py::isinstance(values, numpy_ma("MaskedArray"))) {
        mask = numpy_ma("getmaskarray")(values);
        values = numpy_ma("getdata")(values);
    }
    if (py::isinstance<py::array>(values)) {
        const py::array array = py::reinterpret_borrow<py::array>(values);
        if (array.ndim() != 1)
            refuse_column(name, "has " + std::to_string(array.ndim()) +
                                    " dimensions, not one value per task");
        const char kind = array.dtype().kind();
        if (!option && (kind == 'f' || kind == 'i' || kind == 'u')) {
            // A contiguous float64 copy whatever the strides (a frame's column of a 2-D block,
            // a reversed or sliced view); numpy does the conversion.
            const auto as_double =
                py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
            if (!as_double)
                throw py::error_already_set();
            c.numbers.assign(as_double.data(), as_double.data() + as_double.shape(0));
            c.numeric = true;
        }
    }
    if (!c.numeric) {
        // Iteration is numpy's (or the sequence's) own: items as the column holds them.
        c.items = py::list(values);
    }
    if (!mask.is_none()) {
        const auto masked =
            py::array_t<bool, py::array::c_style | py::array::forcecast>::ensure(mask);
        if (!masked || size_t(masked.shape(0)) != c.size())
            refuse_column(name, "has a mask that does not match its values");
        for (size_t r = 0; r < c.size(); r++) {
            if (!masked.data()[r])
                continue;
            if (c.numeric)
                c.numbers[r] = std::nan("");
            else
                c.items[r] = py::none();
        }
    }
    return c;
}

// The request of one task through search's own reading of keyword arguments: every check and
// message as there.
Request checked_request(const std::vector<TaskColumn> &columns, size_t row) {
    py::kwargs given;
    for (const TaskColumn &c : columns) {
        if (c.numeric) {
            if (!std::isnan(c.numbers[row]))
                given[c.name.c_str()] = c.numbers[row];
        } else if (!is_missing(c.items[row])) {
            given[c.name.c_str()] = c.items[row];
        }
    }
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    r.holds = holds_of(given, r.options);
    return r;
}

// The quick reading of a task: options by name, numbers that are finite and accepted as they
// stand. False when anything needs the exact reading (which then refuses it or reads it).
bool quick_request(const std::vector<TaskColumn> &columns,
                   std::vector<std::unordered_map<std::string_view, int>> &names, size_t row,
                   Request &r) {
    r = Request{};
    const Model &m = active_model();
    int *options[] = {&r.options.workload, &r.options.memory, &r.options.transistor,
                      &r.options.core_kind, &r.options.node};
    *options[0] = 0, *options[1] = 0, *options[2] = 0, *options[3] = 0;
    *options[4] = m.start_node;
    std::optional<double> numbers[9];
    for (size_t c = 0; c < columns.size(); c++) {
        const TaskColumn &column = columns[c];
        for (size_t o = 0; o < 5; o++) {
            if (column.name != kOptions[o])
                continue;
            const py::handle item = column.items[row];
            if (is_missing(item))
                break;
            if (!PyUnicode_Check(item.ptr()))
                return false;
            Py_ssize_t size = 0;
            const char *text = PyUnicode_AsUTF8AndSize(item.ptr(), &size);
            if (text == nullptr) {
                PyErr_Clear();
                return false;
            }
            const std::string_view name(text, size_t(size));
            auto known = names[c].find(name);
            if (known == names[c].end()) {
                const std::optional<int> index = find_choice(kChoices[o], name);
                if (!index)
                    return false;
                known = names[c].emplace(name, *index).first;
            }
            *options[o] = known->second;
        }
        for (size_t n = 0; n < 9; n++) {
            if (column.name != kNumbers[n])
                continue;
            if (!column.numeric) {
                if (is_missing(column.items[row]))
                    break;
                return false;
            }
            const double value = column.numbers[row];
            if (std::isnan(value))
                break;
            if (!std::isfinite(value))
                return false;
            numbers[n] = value;
        }
    }
    for (size_t n = 0; n < 4; n++)
        if (numbers[n] && *numbers[n] < 0)
            return false;
    r.limits = Limits{numbers[0], numbers[1], numbers[2], numbers[3]};
    if (numbers[4] && !(r.holds.cores = core_count_index(*numbers[4])))
        return false;
    if (numbers[5] && !(r.holds.cache = cache_size_index(*numbers[5])))
        return false;
    if (numbers[6] && !(r.holds.scale = scale_step_index(*numbers[6])))
        return false;
    r.holds.vdd = numbers[7];
    r.holds.freq = numbers[8];
    if ((r.holds.vdd || r.holds.freq) && !r.holds.scale)
        return false;
    return operating_point_error(r.options, r.holds).empty();
}

} // namespace

std::vector<Request> requests_of_tasks(const py::dict &given) {
    std::vector<TaskColumn> columns;
    size_t rows = 0;
    bool first = true;
    std::string first_name;
    for (const auto &[key, values] : given) {
        const std::string name = py::str(key);
        bool option = false, known = false;
        for (const char *accepted : kOptions)
            option = option || name == accepted;
        for (const char *accepted : kNumbers)
            known = known || name == accepted;
        if (!option && !known)
            throw py::type_error("search_many() got an unexpected column '" + name +
                                 "'; accepted: workload, memory, transistor, core, node, area, "
                                 "power, bw, tsv, cores, cache, scale, vdd, freq");
        columns.push_back(column_of(name, values, option));
        const size_t length = columns.back().size();
        if (!first && length != rows)
            throw py::value_error("tasks: column " + name + " has " + std::to_string(length) +
                                  " values and column " + first_name + " " + std::to_string(rows) +
                                  "; accepted: a value per task in every "
                                  "column");
        if (first)
            first_name = name;
        rows = length, first = false;
    }
    std::vector<std::unordered_map<std::string_view, int>> names(columns.size());
    std::vector<Request> requests(rows);
    for (size_t row = 0; row < rows; row++) {
        if (quick_request(columns, names, row, requests[row]))
            continue;
        try {
            requests[row] = checked_request(columns, row);
        } catch (const py::value_error &e) {
            throw py::value_error("tasks[" + std::to_string(row) + "]: " + e.what());
        } catch (const py::error_already_set &e) {
            if (!e.matches(PyExc_ValueError))
                throw;
            throw py::value_error("tasks[" + std::to_string(row) +
                                  "]: " + py::str(e.value()).cast<std::string>());
        }
    }
    return requests;
}
