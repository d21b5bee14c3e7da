// Standard output sent to a file for a whole benchmark run, as when a user logs the program's
// lines: stdio then buffers it fully, as it does for any file. The benchmark report goes to
// the standard output the run was started with.
#pragma once

// Redirects standard output to an unlinked temporary file before anything is written to it,
// runs the benchmarks selected on the command line and reports on the original output.
int run_benchmarks_with_stdout_in_a_file(int argc, char **argv);

// Flushes standard output, empties its file so that long runs do not fill the disk, and
// returns how many bytes it held. Call it with the timer paused.
long empty_stdout_file();
