#include "study/table.h"

#include <utility>

Column::Column(std::string name, ColumnType type, std::vector<std::string> labels)
    : name_(std::move(name)), type_(type), labels_(std::move(labels)) {}

void Column::add_number(double value) {
    numbers_.push_back(value);
    missing_.push_back(0);
}

void Column::add_integer(int64_t value) {
    integers_.push_back(value);
    missing_.push_back(0);
}

void Column::add_flag(bool value) {
    add_integer(value ? 1 : 0);
}

void Column::add_name(int index) {
    add_integer(index);
}

void Column::add_names(uint64_t set) {
    add_integer(int64_t(set));
}

void Column::add_none() {
    if (type_ == ColumnType::Number)
        numbers_.push_back(0);
    else
        integers_.push_back(0);
    missing_.push_back(1);
    missing_count_++;
}

void Column::clear() {
    numbers_.clear();
    integers_.clear();
    missing_.clear();
    missing_count_ = 0;
}

Column &Table::add(std::string name, ColumnType type, std::vector<std::string> labels) {
    return columns.emplace_back(std::move(name), type, std::move(labels));
}

void Table::clear_rows() {
    for (Column &column : columns)
        column.clear();
}

void Table::append(const Table &other) {
    for (size_t c = 0; c < columns.size(); c++) {
        const Column &from = other.columns[c];
        Column &to = columns[c];
        for (size_t i = 0; i < from.size(); i++) {
            if (!from.present(i))
                to.add_none();
            else if (from.type() == ColumnType::Number)
                to.add_number(from.number(i));
            else
                to.add_integer(from.integer(i));
        }
    }
}
