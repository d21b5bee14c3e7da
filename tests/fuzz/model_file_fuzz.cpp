// Fuzz target: the model-file reader on arbitrary bytes (seeded with the exported built-in model,
// the example files and a file whose figures overflow, which the fuzzer mutates). A file is
// either refused with at least one message or read into a model; a model read writes out as a
// file that reads back to the same text, so nothing the reader accepts is lost on the way out.
// And a model read is searched (the start-up options, plain and 3D memory, under the node's
// limits): a configuration with a figure that is not finite is never selected, and the limit
// queries select what the search does.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "modelfile/model_file.h"
#include "search/engine.h"
#include "search/limit_queries.h"

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
    for (int memory = 0; memory < 2; memory++) {
        SearchSpec spec;
        spec.model = read.model.get();
        spec.memory = memory;
        spec.node = read.model->start_node;
        const TranTechRecord &n = read.model->nodes[size_t(spec.node)].tech;
        spec.limits =
            LimitChecks{true, true, true, n.area_budget, n.power_budget, n.bw_offchip, n.bw_tsv};
        const SearchOutcome found = search_design_space(spec);
        if (found.found &&
            !figures_finite(evaluate_design_point(spec, found.scale, found.cache, found.cores))) {
            fprintf(stderr, "a configuration with a figure that is not finite was selected\n");
            abort();
        }
        const SearchOutcome queried = LimitQueries(spec).best(spec.limits);
        if (queried.found != found.found || queried.scale != found.scale ||
            queried.cache != found.cache || queried.cores != found.cores) {
            fprintf(stderr, "the limit queries and the search select different configurations\n");
            abort();
        }
    }
    const std::string written = export_model(*read.model);
    const ModelFileResult again = parse_model_text(written, "again.toml");
    if (!again.model || export_model(*again.model) != written) {
        fprintf(stderr, "a model read does not survive being written and read again\n");
        abort();
    }
    return 0;
}
