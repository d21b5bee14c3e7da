// Replays a fuzz target's seeds and the inputs that once made it fail (FUZZ_CASES/seeds and
// FUZZ_CASES/regressions) through its entry function, built with the ordinary compiler: each
// must run to its end without a crash (and without a sanitizer report under make test-asan).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> cases_in(const fs::path &folder) {
    std::vector<fs::path> cases;
    if (fs::is_directory(folder))
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    return cases;
}

void replay(const std::vector<fs::path> &cases) {
    // What the target writes on standard output (the model's trace lines) goes nowhere, as in
    // a fuzzing run.
    fflush(stdout);
    const int saved = dup(1);
    FILE *null_device = fopen("/dev/null", "w");
    dup2(fileno(null_device), 1);
    for (const fs::path &path : cases) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(path.string());
        EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    }
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    fclose(null_device);
}

TEST(Replay, SeedsAndRegressions) {
    const std::vector<fs::path> seeds = cases_in(fs::path(FUZZ_CASES) / "seeds");
    EXPECT_FALSE(seeds.empty());
    replay(seeds);
    replay(cases_in(fs::path(FUZZ_CASES) / "regressions"));
}

} // namespace
