// Every command of cpu-widget-cli in every format over a broad set of arguments: a digest of its
// standard output, and one of its standard error and exit status, per command line. The output
// digests were recorded from the tool before its output was streamed, and a changed byte
// changes them; only the help of the commands that have since gained options (--flags,
// --parallel-fraction, --objective, --energy, --breakdown, budget --best-over, --binding and
// --quiet) was recorded anew, the refusal of an unknown command, which lists the commands, and
// model export, whose comments now say what each figure is and note the figures outside their
// typical ranges. The error digests were recorded when the notes on standard error (the ends of
// the design space's axes) were added.
// OUTPUT_DIGESTS_PRINT=1 prints the table anew instead of checking it.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/run.h"

namespace {

uint64_t fnv1a(const std::string &bytes, uint64_t state = 0xcbf29ce484222325u) {
    for (unsigned char byte : bytes)
        state = (state ^ byte) * 0x100000001b3u;
    return state;
}

std::string contents(FILE *file) {
    std::string text;
    rewind(file);
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    return text;
}

struct Digests {
    uint64_t out, err; // standard output; standard error and the exit status
};

// Runs the tool in-process on the words of a command line (split at spaces; "{models}" is the
// source tree's models folder) and digests what it printed and how it ended.
Digests digest_of(const std::string &line) {
    std::vector<std::string> words{"cpu-widget-cli"};
    for (size_t start = 0; start < line.size();) {
        const size_t space = std::min(line.find(' ', start), line.size());
        std::string word = line.substr(start, space - start);
        const size_t at = word.find("{models}");
        if (at != std::string::npos)
            word.replace(at, 8, std::string(SOURCE_DIR) + "/models");
        words.push_back(word);
        start = space + 1;
    }
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    FILE *out = tmpfile(), *err = tmpfile();
    const int status = run_cli(int(argv.size()), argv.data(), out, err);
    // The model file's path differs between checkouts; digest it as written in the table.
    auto relative = [](std::string text) {
        const std::string root = std::string(SOURCE_DIR) + "/";
        for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at))
            text.erase(at, root.size());
        return text;
    };
    const Digests d{fnv1a(relative(contents(out))),
                    fnv1a(std::to_string(status), fnv1a(relative(contents(err))))};
    fclose(out);
    fclose(err);
    return d;
}

struct Case {
    const char *line;
    uint64_t out, err;
};

// clang-format off
const Case kCases[] = {
    {"search", 0xbebdca61111a4583u, 0x1f63a6a46bbb7d9cu},
    {"search --format csv", 0xd2973b7b3435f372u, 0xaf63ad4c86019cafu},
    {"search --format json", 0x5ec945660b363b72u, 0xaf63ad4c86019cafu},
    {"search --memory 3d --transistor HP --node 32nm", 0x0434553993d0a56au, 0xaf63ad4c86019cafu},
    {"search --memory 3d --transistor HP --node 32nm --format csv", 0xb5712f0f858ead7au, 0xaf63ad4c86019cafu},
    {"search --memory 3d --transistor HP --node 32nm --format json", 0x2391717d612ff850u, 0xaf63ad4c86019cafu},
    {"search --node 90nm", 0x9fb688245144acc4u, 0xaf63ad4c86019cafu},
    {"search --node 90nm --format csv", 0x136433bf24b8a059u, 0xaf63ad4c86019cafu},
    {"search --node 90nm --format json", 0xb6eaeed6876692c2u, 0xaf63ad4c86019cafu},
    {"search --area 10 --power 1 --bw 1", 0x8279613c8d11cd21u, 0xaf63ad4c86019cafu},
    {"search --power 5 --format json", 0xfc3f1f607b0526c4u, 0xaf63ad4c86019cafu},
    {"search --workload Apache/Web --core FPGA --node 20nm --cores 16 --cache 8", 0x1605b4eda626f8e5u, 0x3c8d251c03e67daeu},
    {"search --scale 0.5 --vdd 0.4 --node 45nm", 0xe80509cd28e427e3u, 0xaf63ad4c86019cafu},
    {"search --scale 0.5 --vdd 0.4 --node 45nm --format csv", 0x4b18899087d614f7u, 0xaf63ad4c86019cafu},
    {"search --scale 0.7 --freq 1 --memory 3d --format json", 0xf9f2e9dde98ca7c8u, 0xaf63ad4c86019cafu},
    {"search --cores 192 --cache 512 --scale 1.0 --format csv", 0xc45da015faf403cbu, 0xaf63ad4c86019cafu},
    {"search --scale 0.3 --transistor HP --node 20nm", 0x049d25103572d3e5u, 0xaf63ad4c86019cafu},
    {"search --model {models}/parallel-0.95.toml", 0x19435062a39eb68bu, 0x1f63a6a46bbb7d9cu},
    {"search --model {models}/extra-workload.toml --workload Analytics --memory 3d --format json", 0xf66abc8f10c369fcu, 0xaf63ad4c86019cafu},
    {"sweep", 0x7ab8a9ac77e81c5au, 0x4b9f561755baa00fu},
    {"sweep --format csv", 0xf401c7432bc7d6f6u, 0xaf63ad4c86019cafu},
    {"sweep --format json", 0x74002de474ccde97u, 0xaf63ad4c86019cafu},
    {"sweep --power 100 --jobs 2", 0xbed90ec08760820fu, 0xa391f465b5f15ae3u},
    {"sweep --power 60 --bw 20 --format csv --jobs 1", 0x62c0b1c0f2a00896u, 0xaf63ad4c86019cafu},
    {"sweep --cores 32 --scale 0.6 --format json", 0x58d475a420302197u, 0xaf63ad4c86019cafu},
    {"sweep --cache 64 --tsv 100 --format csv", 0x5f184da782d7df61u, 0xaf63ad4c86019cafu},
    {"sweep --model {models}/extra-workload.toml --format csv", 0x0b2cd0d9d328bb4cu, 0xaf63ad4c86019cafu},
    {"space", 0x70bf98d368da507du, 0xaf63ad4c86019cafu},
    {"space --format csv", 0xfcf237f0154925b3u, 0xaf63ad4c86019cafu},
    {"space --format json", 0x9c2a78ada7dbd9feu, 0xaf63ad4c86019cafu},
    {"space --workload Apache/Web --scale 0.7 --format json", 0xca4d7638aae7b7fdu, 0xaf63ad4c86019cafu},
    {"space --memory 3d --transistor LOP/HP --core ARM --node 32nm --format csv", 0x57c90e1dfb273dccu, 0xaf63ad4c86019cafu},
    {"space --memory 3d --cores 64 --format json", 0x24390606840b6888u, 0xaf63ad4c86019cafu},
    {"space --cache 16 --scale 0.5 --vdd 0.45 --freq 1.5", 0xcbf29ce484222325u, 0xaf812a723f36cf50u},
    {"space --node 90nm --format csv", 0xb9c640e98b020c4fu, 0xaf63ad4c86019cafu},
    {"space --model {models}/parallel-0.95.toml --cores 8 --format csv", 0xbf3296238c51b4cdu, 0xaf63ad4c86019cafu},
    {"explain", 0x34457834fada04b9u, 0x1f63a6a46bbb7d9cu},
    {"explain --format csv", 0x3a4386fcbd0832acu, 0xaf63ad4c86019cafu},
    {"explain --format json", 0x24ad38ea53792841u, 0xaf63ad4c86019cafu},
    {"explain --memory 3d --transistor HP --node 32nm", 0xb3b8f489e674420du, 0xaf63ad4c86019cafu},
    {"explain --memory 3d --transistor HP --node 32nm --format json --step 25", 0xc068128b982272b6u, 0xaf63ad4c86019cafu},
    {"explain --node 90nm", 0x9ffcf74c3e710303u, 0xaf63ad4c86019cafu},
    {"explain --node 90nm --format csv", 0x5efcd0f2af729483u, 0xaf63ad4c86019cafu},
    {"explain --area 20 --power 2 --bw 0.5", 0x99ff5b84059ce8c2u, 0xaf63ad4c86019cafu},
    {"explain --area 20 --power 2 --bw 0.5 --format json", 0xfcd433f7f7161a9fu, 0xaf63ad4c86019cafu},
    {"explain --memory 3d --tsv 1 --power 40", 0xe4c1f53fba6ede7fu, 0xaf63ad4c86019cafu},
    {"explain --workload DB2/TPCH --core ASIC --node 45nm --step 0.5 --format csv", 0x5df5dbd10dee10fbu, 0xaf63ad4c86019cafu},
    {"budget --vary power=20:300:1", 0x9f690dfce80df031u, 0xaf63ad4c86019cafu},
    {"budget --vary power=20:300:1 --format csv", 0x6cb9e54b9dadacf9u, 0xaf63ad4c86019cafu},
    {"budget --vary power=20:300:1 --format json", 0xec27e33732d1bc1bu, 0xaf63ad4c86019cafu},
    {"budget --vary power=20:300:7 --series memory --node 32nm", 0x9fbaa222eda37f7eu, 0xaf63ad4c86019cafu},
    {"budget --vary power=20:300:7 --series memory --node 32nm --format csv", 0x31ba2cfc6dd009c5u, 0xaf63ad4c86019cafu},
    {"budget --vary area=0:400:10 --series core --format json --jobs 3", 0x0087059ad1789fb4u, 0xaf63ad4c86019cafu},
    {"budget --vary tsv=0:600:25 --memory 3d --node 20nm --format csv", 0x7aab7ff12c0c99c5u, 0xaf63ad4c86019cafu},
    {"budget --vary bandwidth=0.5:80:0.75 --series workload --memory 3d", 0x2fb5600b19896419u, 0xaf63ad4c86019cafu},
    {"budget --vary area=50:400:17.5,power=20:300:14", 0xb992e809e5ec2fd8u, 0xaf63ad4c86019cafu},
    {"budget --vary area=50:400:17.5,power=20:300:14 --format csv", 0xf8f18b367be9d31au, 0xaf63ad4c86019cafu},
    {"budget --vary area=50:400:17.5,power=20:300:14 --format json --step 5", 0x97054657df382a6cu, 0xaf63ad4c86019cafu},
    {"budget --vary power=2:200:9,bw=1:90:6 --memory 3d --transistor HP --node 32nm --format csv", 0xc6675c593c0faa1au, 0xaf63ad4c86019cafu},
    {"budget --vary power=0:100:0.3 --series node --format csv", 0x48384543bd620cd4u, 0xaf63ad4c86019cafu},
    {"budget --vary power=1:300:3 --series transistor --model {models}/extra-workload.toml --workload Analytics", 0x88da71e5550e4c92u, 0xaf63ad4c86019cafu},
    {"model export", 0xa08e5186729ac346u, 0xaf63ad4c86019cafu},
    {"model export --model {models}/extra-workload.toml", 0xe1fdb520b8b2c20fu, 0xaf63ad4c86019cafu},
    {"search --node 7nm", 0xcbf29ce484222325u, 0xeb8284776ad60d5du},
    {"search --scale 0.55", 0xcbf29ce484222325u, 0x7e16ff95d3b64c91u},
    {"search --vdd 0.5", 0xcbf29ce484222325u, 0xbb38690aa4cfb73bu},
    {"search --scale 0.5 --vdd 9", 0xcbf29ce484222325u, 0xae737f992e8997c9u},
    {"search --format yaml", 0xcbf29ce484222325u, 0xf7e9fbc8ae11b8abu},
    {"budget --vary power=1:2:0", 0xcbf29ce484222325u, 0x98e2a54c1c66a23au},
    {"budget --vary power=0:1e9:1", 0xcbf29ce484222325u, 0x3030a8987dceb290u},
    {"budget --vary area=1:2:1,area=1:2:1", 0xcbf29ce484222325u, 0x1bd2dd2b90d6f264u},
    {"frobnicate", 0xcbf29ce484222325u, 0xd875eb4e0d68fcedu},
    {"--version", 0x98d97fb626d9f60eu, 0xaf63ad4c86019cafu},
    {"search --help", 0xf61adf833740bf3eu, 0xaf63ad4c86019cafu},
    {"budget --help", 0xbf8881069e617784u, 0xaf63ad4c86019cafu},
};
// clang-format on

TEST(OutputDigests, EveryCommandAndFormatWritesTheRecordedBytes) {
    const bool print = getenv("OUTPUT_DIGESTS_PRINT") != nullptr;
    for (const Case &c : kCases) {
        const Digests digest = digest_of(c.line);
        if (print) {
            printf("    {\"%s\", 0x%016" PRIx64 "u, 0x%016" PRIx64 "u},\n", c.line, digest.out,
                   digest.err);
        } else {
            EXPECT_EQ(digest.out, c.out) << "standard output of " << c.line;
            EXPECT_EQ(digest.err, c.err) << "standard error and status of " << c.line;
        }
    }
}

} // namespace
