#include "cli/output.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

namespace {

std::string csv_text(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string json_text(const std::string &text) {
    return nlohmann::json(text).dump();
}

void append_integer(std::string &out, int64_t value) {
    char text[24];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    out.append(text, end);
}

// CSV: the shortest text that reads back to the same double ("nan", "inf" for those). JSON:
// the JSON library's own shortest form ("1.0" for one), null when not finite.
std::string number_text(double value, TableFormat format) {
    char text[64];
    if (format == TableFormat::Json) {
        if (!std::isfinite(value))
            return "null";
        return std::string(text, nlohmann::detail::to_chars(text, text + sizeof text, value));
    }
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("nan");
}

} // namespace

bool Output::write_out() {
    if (failed_)
        return false;
    errno = 0;
    if (fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size() || ferror(stream_)) {
        failed_ = true;
        error_ = errno;
    }
    buffer_.clear();
    return !failed_;
}

bool Output::finish() {
    if (!write_out())
        return false;
    errno = 0;
    if (fflush(stream_) != 0 || ferror(stream_)) {
        failed_ = true;
        error_ = errno;
    }
    return !failed_;
}

void TableWriter::start(const Table &table) {
    started_ = true;
    std::string &out = out_.text();
    for (const Column &column : table.columns) {
        std::vector<std::string> labels;
        for (const std::string &label : column.labels())
            labels.push_back(format_ == TableFormat::Csv ? csv_text(label) : json_text(label));
        labels_.push_back(std::move(labels));
        keys_.push_back(json_text(column.name()) + ":");
        last_.emplace_back();
        if (format_ == TableFormat::Csv) {
            if (&column != &table.columns.front())
                out += ',';
            out += csv_text(column.name());
        }
    }
    out += format_ == TableFormat::Csv ? "\n" : "[";
}

void TableWriter::append_number(size_t c, double value) {
    LastNumber &last = last_[c];
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if (!last.valid || last.bits != bits) {
        last.text = number_text(value, format_);
        last.bits = bits;
        last.valid = true;
    }
    out_.text() += last.text;
}

bool TableWriter::write(const Table &table) {
    // The header comes with the first table, rows or none: an empty result keeps its columns.
    if (!started_)
        start(table);
    const size_t rows = table.rows();
    if (rows == 0)
        return out_.flush_when_full();
    const bool csv = format_ == TableFormat::Csv;
    const std::vector<Column> &columns = table.columns;
    for (size_t r = 0; r < rows; r++) {
        std::string &out = out_.text();
        if (!csv)
            out += rows_++ ? ",\n{" : "\n{";
        for (size_t c = 0; c < columns.size(); c++) {
            const Column &column = columns[c];
            if (c)
                out += ',';
            if (!csv)
                out += keys_[c];
            if (!column.present(r)) {
                out += csv ? "" : "null";
                continue;
            }
            switch (column.type()) {
            case ColumnType::Number:
                append_number(c, column.number(r));
                break;
            case ColumnType::Integer:
                append_integer(out, column.integer(r));
                break;
            case ColumnType::Flag:
                out += column.flag(r) ? "true" : "false";
                break;
            case ColumnType::Name:
                out += labels_[c][size_t(column.name_index(r))];
                break;
            case ColumnType::Names: {
                // CSV quotes the joined list as a whole where it needs quotes.
                std::string joined;
                const uint64_t set = column.name_set(r);
                for (size_t label = 0; label < column.labels().size(); label++)
                    if (set & (uint64_t(1) << label)) {
                        if (!joined.empty())
                            joined += csv ? "+" : ",";
                        joined += csv ? column.labels()[label] : labels_[c][label];
                    }
                out += csv ? csv_text(joined) : "[" + joined + "]";
                break;
            }
            }
        }
        out += csv ? "\n" : "}";
        if (!out_.flush_when_full())
            return false;
    }
    return true;
}

bool TableWriter::finish() {
    if (format_ == TableFormat::Json)
        out_.text() += started_ ? "\n]\n" : "[\n]\n";
    return out_.finish();
}
