// Model files: a chip model written as TOML (format version 1), read into a Model and written
// from one. A file either gives the whole model or starts from the built-in one
// (extends = "built-in") and changes or adds only what it names.
//
// A file is refused as a whole when anything in it is wrong, with one message per problem:
//   FILE:LINE: FIELD: PROBLEM; accepted: WHAT
// LINE is the line of the value, or of the table header for a missing field; FIELD names the
// entry by its name where it has one (workload "DB2/TPCC" cpi, constants parallel_fraction).
// A problem with the file as a whole (it cannot be read, it is too large) has no line:
//   FILE: file: PROBLEM; accepted: WHAT
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

struct ModelFileResult {
    std::shared_ptr<const Model> model; // null when refused
    std::vector<std::string> errors;    // one line per problem, no trailing newline
};

// Largest model file read, in bytes; a complete file of the built-in model is about 20 kB.
constexpr size_t kModelFileMaxBytes = 1 << 20;

// Reads, validates and builds a model from a file. A file that cannot be read is one error.
ModelFileResult load_model_file(const std::string &path);

// The same from text already in memory; `source` is the name used in messages and in
// Model::source.
ModelFileResult parse_model_text(std::string_view text, const std::string &source);

// The model as a complete model file, a comment per field giving its meaning and unit. Numbers
// are written so that they read back to the same double.
std::string export_model(const Model &model);
