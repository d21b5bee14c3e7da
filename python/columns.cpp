#include "python/columns.h"

#include <pybind11/numpy.h>

#include <cmath>
#include <string>

namespace py = pybind11;

namespace {

struct Kinds {
    bool number = false, whole = false, truth = false, text = false, missing = false;
};

Kinds kinds_of(const std::vector<Record> &records, size_t column) {
    Kinds k;
    for (const Record &record : records) {
        const Field &f = record[column].second;
        k.missing |= std::holds_alternative<std::monostate>(f);
        k.number |= std::holds_alternative<double>(f);
        k.whole |= std::holds_alternative<int>(f);
        k.truth |= std::holds_alternative<bool>(f);
        k.text |= std::holds_alternative<std::string>(f) ||
                  std::holds_alternative<std::vector<std::string>>(f);
    }
    return k;
}

std::string joined(const std::vector<std::string> &parts) {
    std::string text;
    for (const std::string &part : parts)
        text += (text.empty() ? "" : "+") + part;
    return text;
}

py::object object_column(const std::vector<Record> &records, size_t column) {
    py::list values;
    for (const Record &record : records) {
        const Field &f = record[column].second;
        if (const auto *s = std::get_if<std::string>(&f))
            values.append(py::str(*s));
        else if (const auto *list = std::get_if<std::vector<std::string>>(&f))
            values.append(py::str(joined(*list)));
        else if (const auto *b = std::get_if<bool>(&f))
            values.append(py::bool_(*b));
        else
            values.append(py::none());
    }
    return py::module_::import("numpy").attr("array")(values, py::arg("dtype") = "object");
}

} // namespace

py::dict columns_of(const std::vector<Record> &records) {
    py::dict columns;
    if (records.empty())
        return columns;
    const size_t rows = records.size();
    for (size_t c = 0; c < records[0].size(); c++) {
        const Kinds k = kinds_of(records, c);
        const char *name = records[0][c].first.c_str();
        if (k.text || (k.truth && k.missing)) {
            columns[name] = object_column(records, c);
        } else if (k.whole && !k.number && !k.missing) {
            py::array_t<long long> values{py::ssize_t(rows)};
            auto out = values.mutable_unchecked<1>();
            for (size_t r = 0; r < rows; r++)
                out(py::ssize_t(r)) = std::get<int>(records[r][c].second);
            columns[name] = values;
        } else if (k.truth) {
            py::array_t<bool> values{py::ssize_t(rows)};
            auto out = values.mutable_unchecked<1>();
            for (size_t r = 0; r < rows; r++)
                out(py::ssize_t(r)) = std::get<bool>(records[r][c].second);
            columns[name] = values;
        } else {
            // Numbers, whole ones with gaps, or a column empty in every row.
            py::array_t<double> values{py::ssize_t(rows)};
            auto out = values.mutable_unchecked<1>();
            for (size_t r = 0; r < rows; r++) {
                const Field &f = records[r][c].second;
                out(py::ssize_t(r)) = std::holds_alternative<double>(f) ? std::get<double>(f)
                                      : std::holds_alternative<int>(f)  ? double(std::get<int>(f))
                                                                        : std::nan("");
            }
            columns[name] = values;
        }
    }
    return columns;
}
