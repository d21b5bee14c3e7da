// Fuzz target: the model-file reader on arbitrary bytes (seeded with the exported built-in model
// and the example files, which the fuzzer mutates). A file is either refused with at least one
// message or read into a model; a model read writes out as a file that reads back to the same
// text, so nothing the reader accepts is lost on the way out.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "modelfile/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const ModelFileResult read = parse_model_text(text, "fuzz.toml");
    if (!read.model) {
        if (read.errors.empty()) {
            fprintf(stderr, "refused without a message\n");
            abort();
        }
        return 0;
    }
    const std::string written = export_model(*read.model);
    const ModelFileResult again = parse_model_text(written, "again.toml");
    if (!again.model || export_model(*again.model) != written) {
        fprintf(stderr, "a model read does not survive being written and read again\n");
        abort();
    }
    return 0;
}
