// The tool's standard output, written as it is produced: text is appended to one buffer that is
// handed to the stream a chunk at a time, so memory stays bounded however many rows a command
// gives, and the bytes are the same whatever the chunking. Tables (study/table.h) are written
// as CSV or JSON by a TableWriter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "study/table.h"

class Output {
  public:
    explicit Output(FILE *stream) : stream_(stream) {}

    // Text appended here is written out by flush_when_full and finish.
    std::string &text() { return buffer_; }

    // Writes the buffer out once it holds a chunk; false once a write has failed.
    bool flush_when_full() { return buffer_.size() < kChunk ? !failed_ : write_out(); }

    // Writes the rest and flushes the stream; false when anything could not be written.
    bool finish();

    // Why a write failed (an errno value; 0 when the stream gave none).
    int error() const { return error_; }

  private:
    static constexpr size_t kChunk = size_t(1) << 16;
    bool write_out();

    FILE *stream_;
    std::string buffer_;
    bool failed_ = false;
    int error_ = 0;
};

enum class TableFormat { Csv, Json };

// CSV: a header row (written with the first table, even one without rows), then a line per row;
// numbers read back to the same double, a Names set is its labels joined with '+', a missing value
// is an empty field. JSON: an array of objects, one per line, keys in column order, a missing value
// null. Every table written must have the columns of the first.
class TableWriter {
  public:
    TableWriter(Output &out, TableFormat format) : out_(out), format_(format) {}

    // Appends the table's rows; false once the output has failed.
    bool write(const Table &table);

    // Ends the output (JSON's closing bracket) and writes the rest; false when it failed.
    bool finish();

  private:
    // The last number written in a column and its text: neighbouring rows often repeat them.
    struct LastNumber {
        uint64_t bits = 0;
        bool valid = false;
        std::string text;
    };

    void start(const Table &table);
    void append_number(size_t column, double value);

    Output &out_;
    TableFormat format_;
    bool started_ = false;
    size_t rows_ = 0;
    std::vector<std::vector<std::string>> labels_; // per column and label, as written
    std::vector<std::string> keys_;                // JSON: "\"name\":" per column
    std::vector<LastNumber> last_;
};
