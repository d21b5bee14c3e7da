// The command-line tool's whole run, callable in-process: what its main() does with the
// arguments, writing to the given streams instead of the process's own.
#pragma once

#include <cstdio>

// Runs cpu-widget-cli on argv[0..argc-1] (argv[0] the program's name) and returns its exit
// status: 0 on success, 2 on bad arguments (one line on `err`, nothing on `out`), 1 when the
// output cannot be written. Never exits the process.
int run_cli(int argc, const char *const *argv, FILE *out, FILE *err);
