// The sources of the model that the digest tests compare: the built-in tables, the built-in
// model written as a model file and read back (as `--model` reads a file), and a file that
// gives the optional fields at their off values (no uncore, the table's frequency law). All
// must give every bit and byte the same.
#pragma once

#include <gtest/gtest.h>
#include <string>

#include "model/model.h"
#include "modelfile/model_file.h"

inline const auto kModelSources = testing::Values("BuiltIn", "ExportedFile", "OffFields");

// The built-in model with every optional field given at its off value.
inline std::string off_fields_text() {
    std::string text = "format_version = 1\nextends = \"built-in\"\n"
                       "[voltage_frequency]\nfrequency_law = \"table\"\n";
    for (const NodeRecord &node : builtin_model().nodes)
        text +=
            "[[node]]\nname = \"" + node.name + "\"\nuncore_area_mm2 = 0\nuncore_power_W = 0.0\n";
    return text;
}

inline std::string model_source_name(const testing::TestParamInfo<const char *> &info) {
    return info.param;
}

// Makes the model of the source active; the caller puts the built-in one back.
inline void use_model_source(const std::string &source) {
    if (source == "BuiltIn")
        return;
    const ModelFileResult loaded =
        source == "OffFields" ? parse_model_text(off_fields_text(), "off-fields.toml")
                              : parse_model_text(export_model(builtin_model()), "exported.toml");
    ASSERT_TRUE(loaded.model) << (loaded.errors.empty() ? "" : loaded.errors[0]);
    set_active_model(loaded.model);
}
