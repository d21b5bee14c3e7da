// Results as typed columns: a column per field, each a plain vector of its type, in the column
// order of the tool's CSV and JSON output and of the Python package's tables. Names (options,
// limits) are indices into the column's labels, so a row costs no strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ColumnType {
    Number,  // a double
    Integer, // a whole number
    Flag,    // true or false
    Name,    // one of the labels
    Names,   // a set of the labels, written in label order (lists are joined with '+' in CSV)
};

class Column {
  public:
    Column(std::string name, ColumnType type, std::vector<std::string> labels = {});

    const std::string &name() const { return name_; }
    ColumnType type() const { return type_; }
    const std::vector<std::string> &labels() const { return labels_; }
    size_t size() const { return missing_.size(); }

    // Value i; meaningful only where present(i).
    bool present(size_t i) const { return missing_[i] == 0; }
    bool any_missing() const { return missing_count_ != 0; }
    double number(size_t i) const { return numbers_[i]; }
    int64_t integer(size_t i) const { return integers_[i]; }
    bool flag(size_t i) const { return integers_[i] != 0; }
    int name_index(size_t i) const { return int(integers_[i]); }
    uint64_t name_set(size_t i) const { return uint64_t(integers_[i]); }

    // Appending a row's value; none() leaves it empty (an empty CSV field, a JSON null).
    void add_number(double value);
    void add_integer(int64_t value);
    void add_flag(bool value);
    void add_name(int index);
    void add_names(uint64_t set);
    void add_none();

    void clear();

  private:
    std::string name_;
    ColumnType type_;
    std::vector<std::string> labels_;
    std::vector<double> numbers_;   // Number
    std::vector<int64_t> integers_; // Integer, Flag, Name (the label's index), Names (bit set)
    std::vector<unsigned char> missing_;
    size_t missing_count_ = 0;
};

// Columns of equal length. Rows are appended a field at a time, column by column.
struct Table {
    std::vector<Column> columns;

    Column &add(std::string name, ColumnType type, std::vector<std::string> labels = {});
    size_t rows() const { return columns.empty() ? 0 : columns[0].size(); }
    // The columns kept, every row dropped: the next chunk of a streamed result.
    void clear_rows();
    // The rows of another table with the same columns appended.
    void append(const Table &other);
};
