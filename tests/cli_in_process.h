// The command-line tool run in-process as a shell would run it, its exit status and its two
// streams read back whole.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/run.h"

struct CliOutcome {
    int status = -1;
    std::string out, err;
};

// A stream's whole text from its start; the stream is closed.
inline std::string read_back_and_close(FILE *file) {
    std::string text;
    rewind(file);
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    fclose(file);
    return text;
}

// The tool given ARGUMENTS (its name comes first, as in argv).
inline CliOutcome run_cli_in_process(const std::vector<std::string> &arguments) {
    std::vector<const char *> argv{"cpu-widget-cli"};
    for (const std::string &argument : arguments)
        argv.push_back(argument.c_str());
    FILE *out = tmpfile(), *err = tmpfile();
    CliOutcome o;
    o.status = run_cli(int(argv.size()), argv.data(), out, err);
    o.out = read_back_and_close(out);
    o.err = read_back_and_close(err);
    return o;
}
