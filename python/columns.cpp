#include "python/columns.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

template <typename T, typename Value> py::array_t<T> filled(size_t rows, const Value &value_of) {
    py::array_t<T> values{py::ssize_t(rows)};
    T *out = values.mutable_data();
    for (size_t r = 0; r < rows; r++)
        out[r] = value_of(r);
    return values;
}

// An object array whose items are set from Python objects (references are taken).
py::array objects(size_t rows, const std::vector<py::object> &items) {
    py::array values(py::dtype("object"), std::vector<py::ssize_t>{py::ssize_t(rows)});
    PyObject **out = static_cast<PyObject **>(values.mutable_data());
    for (size_t r = 0; r < rows; r++) {
        Py_XDECREF(out[r]);
        out[r] = items[r].inc_ref().ptr();
    }
    return values;
}

std::string joined(const Column &column, uint64_t set) {
    std::string text;
    for (size_t label = 0; label < column.labels().size(); label++)
        if (set & (uint64_t(1) << label))
            text += (text.empty() ? "" : "+") + column.labels()[label];
    return text;
}

py::object column_array(const Column &c) {
    const size_t rows = c.size();
    if (rows == 0) {
        // No rows: the column's own type, as when every row has a value.
        switch (c.type()) {
        case ColumnType::Number:
            return py::array_t<double>(0);
        case ColumnType::Integer:
            return py::array_t<long long>(0);
        case ColumnType::Flag:
            return py::array_t<bool>(0);
        case ColumnType::Name:
        case ColumnType::Names:
            return objects(0, {});
        }
    }
    bool all_missing = true;
    for (size_t r = 0; r < rows && all_missing; r++)
        all_missing = !c.present(r);
    if (all_missing)
        return filled<double>(rows, [](size_t) { return std::nan(""); });
    switch (c.type()) {
    case ColumnType::Number:
        return filled<double>(rows,
                              [&](size_t r) { return c.present(r) ? c.number(r) : std::nan(""); });
    case ColumnType::Integer:
        if (!c.any_missing())
            return filled<long long>(rows, [&](size_t r) { return (long long)c.integer(r); });
        return filled<double>(
            rows, [&](size_t r) { return c.present(r) ? double(c.integer(r)) : std::nan(""); });
    case ColumnType::Flag:
        if (!c.any_missing())
            return filled<bool>(rows, [&](size_t r) { return c.flag(r); });
        break;
    case ColumnType::Name:
    case ColumnType::Names:
        break;
    }
    // Objects: a str per label made once, shared by the rows that name it.
    std::vector<py::object> labels;
    for (const std::string &label : c.labels())
        labels.push_back(py::str(label));
    std::vector<py::object> items(rows);
    for (size_t r = 0; r < rows; r++) {
        if (!c.present(r))
            items[r] = py::none();
        else if (c.type() == ColumnType::Flag)
            items[r] = py::bool_(c.flag(r));
        else if (c.type() == ColumnType::Name)
            items[r] = labels[size_t(c.name_index(r))];
        else
            items[r] = py::str(joined(c, c.name_set(r)));
    }
    return objects(rows, items);
}

} // namespace

py::dict columns_of(const Table &table) {
    py::dict columns;
    for (const Column &column : table.columns)
        columns[column.name().c_str()] = column_array(column);
    return columns;
}
