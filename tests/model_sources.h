// The two sources of the model that the digest tests compare: the built-in tables, and the
// built-in model written as a model file and read back (as `--model` reads a file). Both must
// give every bit and byte the same.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "model/model.h"
#include "modelfile/model_file.h"

inline const auto kModelSources = testing::Values("BuiltIn", "ExportedFile");

inline std::string model_source_name(const testing::TestParamInfo<const char *> &info) {
    return info.param;
}

// Makes the model of the source active; the caller puts the built-in one back.
inline void use_model_source(const std::string &source) {
    if (source != "ExportedFile")
        return;
    const ModelFileResult loaded = parse_model_text(export_model(builtin_model()), "exported.toml");
    ASSERT_TRUE(loaded.model) << (loaded.errors.empty() ? "" : loaded.errors[0]);
    set_active_model(loaded.model);
}
