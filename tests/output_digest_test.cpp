// Every command of cpu-widget-cli in every format over a broad set of arguments, its standard
// output, standard error and exit status folded into one digest per command line. The digests
// were recorded from the tool before its output was streamed; a changed byte changes them. Only
// the help of a command that gained an option (budget --best-over) was recorded anew.
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

// Runs the tool in-process on the words of a command line (split at spaces; "{models}" is the
// source tree's models folder) and digests what it printed and how it ended.
uint64_t digest_of(const std::string &line) {
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
    const uint64_t d = fnv1a(relative(contents(err)), fnv1a(relative(contents(out))));
    fclose(out);
    fclose(err);
    return fnv1a(std::to_string(status), d);
}

struct Case {
    const char *line;
    uint64_t digest;
};

// clang-format off
const Case kCases[] = {
    {"search", 0x36c495f00fa46f29u},
    {"search --format csv", 0x0ced5459b7ac5926u},
    {"search --format json", 0x463c2e650d26b126u},
    {"search --memory 3d --transistor HP --node 32nm", 0xf5922ad62b88f7eeu},
    {"search --memory 3d --transistor HP --node 32nm --format csv", 0xde00415ff17074beu},
    {"search --memory 3d --transistor HP --node 32nm --format json", 0xa01c380c24830b20u},
    {"search --node 90nm", 0xa7d649b617b1e29cu},
    {"search --node 90nm --format csv", 0xabe456cb65b8926bu},
    {"search --node 90nm --format json", 0x37c6c888134bb136u},
    {"search --area 10 --power 1 --bw 1", 0xc60d4ae3b53f73e3u},
    {"search --power 5 --format json", 0xa46944f109c1309cu},
    {"search --workload Apache/Web --core FPGA --node 20nm --cores 16 --cache 8", 0x92ab44d15438d1efu},
    {"search --scale 0.5 --vdd 0.4 --node 45nm", 0x24b77a9c7bafab89u},
    {"search --scale 0.5 --vdd 0.4 --node 45nm --format csv", 0x70c68796d0c54e25u},
    {"search --scale 0.7 --freq 1 --memory 3d --format json", 0x446b5c13da016a68u},
    {"search --cores 192 --cache 512 --scale 1.0 --format csv", 0x9f1b00596ca2c381u},
    {"search --scale 0.3 --transistor HP --node 20nm", 0x49d9cf8ad21df2efu},
    {"search --model {models}/parallel-0.95.toml", 0x8c18529c06b07fc1u},
    {"search --model {models}/extra-workload.toml --workload Analytics --memory 3d --format json", 0x7ac833197c0cc5a4u},
    {"sweep", 0x6fe4ba0fbf68481eu},
    {"sweep --format csv", 0x66dc5d236491f272u},
    {"sweep --format json", 0xe92ca232781e55c5u},
    {"sweep --power 100 --jobs 2", 0xab56502608fd510du},
    {"sweep --power 60 --bw 20 --format csv --jobs 1", 0x6d76b0dc45eeb212u},
    {"sweep --cores 32 --scale 0.6 --format json", 0x21258ce2b1c92ec5u},
    {"sweep --cache 64 --tsv 100 --format csv", 0x6e2b44a354d076a3u},
    {"sweep --model {models}/extra-workload.toml --format csv", 0x25e25e21ce3693b4u},
    {"space", 0x6fe0fc3b2af672d7u},
    {"space --format csv", 0x18ba8ff42b4abd99u},
    {"space --format json", 0x3804dd143a93190au},
    {"space --workload Apache/Web --scale 0.7 --format json", 0xa957af4a67bd5157u},
    {"space --memory 3d --transistor LOP/HP --core ARM --node 32nm --format csv", 0x51e0f8f1c3ae5334u},
    {"space --memory 3d --cores 64 --format json", 0x984df5125f62f0a8u},
    {"space --cache 16 --scale 0.5 --vdd 0.45 --freq 1.5", 0xaf812a723f36cf50u},
    {"space --node 90nm --format csv", 0xadeccbd7347b3bcdu},
    {"space --model {models}/parallel-0.95.toml --cores 8 --format csv", 0x34aa1b676ed689e7u},
    {"explain", 0xac0fcb064075b4cbu},
    {"explain --format csv", 0x08f0fb7534edff14u},
    {"explain --format json", 0xcb80272bd6dfb803u},
    {"explain --memory 3d --transistor HP --node 32nm", 0xd789c352978c8da7u},
    {"explain --memory 3d --transistor HP --node 32nm --format json --step 25", 0x134a0933828899b2u},
    {"explain --node 90nm", 0x4bdb698e1a086fa9u},
    {"explain --node 90nm --format csv", 0xda2bbf601fb2ac29u},
    {"explain --area 20 --power 2 --bw 0.5", 0x49d17355899fd336u},
    {"explain --area 20 --power 2 --bw 0.5 --format json", 0xb2aefd58da8f575du},
    {"explain --memory 3d --tsv 1 --power 40", 0x24720a49ca63c03du},
    {"explain --workload DB2/TPCH --core ASIC --node 45nm --step 0.5 --format csv", 0x96d54f3aab8688f1u},
    {"budget --vary power=20:300:1", 0xed72c5be4faed1b3u},
    {"budget --vary power=20:300:1 --format csv", 0x6d8d687cee1c998bu},
    {"budget --vary power=20:300:1 --format json", 0x198341cb5a62bd11u},
    {"budget --vary power=20:300:7 --series memory --node 32nm", 0x0da0cf59ccd1518au},
    {"budget --vary power=20:300:7 --series memory --node 32nm --format csv", 0x4f6465ee9880eb4fu},
    {"budget --vary area=0:400:10 --series core --format json --jobs 3", 0x5e0e0a11eff70d4cu},
    {"budget --vary tsv=0:600:25 --memory 3d --node 20nm --format csv", 0x7e045bcdd9699b4fu},
    {"budget --vary bandwidth=0.5:80:0.75 --series workload --memory 3d", 0x9a965bdc647531abu},
    {"budget --vary area=50:400:17.5,power=20:300:14", 0x40d030d1b0556738u},
    {"budget --vary area=50:400:17.5,power=20:300:14 --format csv", 0xec42b7948e51d05eu},
    {"budget --vary area=50:400:17.5,power=20:300:14 --format json --step 5", 0xd620e3504c6ffa54u},
    {"budget --vary power=2:200:9,bw=1:90:6 --memory 3d --transistor HP --node 32nm --format csv", 0x314c15a10e9e255eu},
    {"budget --vary power=0:100:0.3 --series node --format csv", 0x19aa961acd9be76cu},
    {"budget --vary power=1:300:3 --series transistor --model {models}/extra-workload.toml --workload Analytics", 0x997c2aaf874c3746u},
    {"model export", 0x62bb9a5047e6d4f0u},
    {"model export --model {models}/extra-workload.toml", 0xdf793b949f3e3e4bu},
    {"search --node 7nm", 0xeb8284776ad60d5du},
    {"search --scale 0.55", 0x7e16ff95d3b64c91u},
    {"search --vdd 0.5", 0xbb38690aa4cfb73bu},
    {"search --scale 0.5 --vdd 9", 0xae737f992e8997c9u},
    {"search --format yaml", 0xf7e9fbc8ae11b8abu},
    {"budget --vary power=1:2:0", 0x98e2a54c1c66a23au},
    {"budget --vary power=0:1e9:1", 0x3030a8987dceb290u},
    {"budget --vary area=1:2:1,area=1:2:1", 0x1bd2dd2b90d6f264u},
    {"frobnicate", 0xc5d179d3fbd87c37u},
    {"--version", 0x938a4084045d6b5au},
    {"search --help", 0xb2b40da3f29cae22u},
    {"budget --help", 0xe289c1be6dae6af3u},
};
// clang-format on

TEST(OutputDigests, EveryCommandAndFormatWritesTheRecordedBytes) {
    const bool print = getenv("OUTPUT_DIGESTS_PRINT") != nullptr;
    for (const Case &c : kCases) {
        const uint64_t digest = digest_of(c.line);
        if (print)
            printf("    {\"%s\", 0x%016" PRIx64 "u},\n", c.line, digest);
        else
            EXPECT_EQ(digest, c.digest) << c.line;
    }
}

} // namespace
