#include "bench/stdout_file.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ext/stdio_filebuf.h>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int run_benchmarks_with_stdout_in_a_file(int argc, char **argv) {
    // First, so that --help still reaches the console; it writes nothing else.
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    const int report_fd = dup(STDOUT_FILENO);
    const char *dir = getenv("TMPDIR");
    std::string path =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/cpu-widget-bench-XXXXXX";
    const int file_fd = mkstemp(path.data());
    if (report_fd < 0 || file_fd < 0) {
        perror("cpu-widget benchmarks: cannot set up the output file");
        return 1;
    }
    unlink(path.c_str());
    dup2(file_fd, STDOUT_FILENO);
    close(file_fd);

    __gnu_cxx::stdio_filebuf<char> report_buffer(report_fd, std::ios::out);
    std::ostream report(&report_buffer);
    benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&report);
    reporter.SetErrorStream(&report);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    report.flush();
    return 0;
}

long empty_stdout_file() {
    fflush(stdout);
    struct stat file;
    const long bytes = fstat(STDOUT_FILENO, &file) == 0 ? static_cast<long>(file.st_size) : 0;
    if (ftruncate(STDOUT_FILENO, 0) != 0)
        perror("cpu-widget benchmarks: cannot empty the output file");
    fseek(stdout, 0, SEEK_SET);
    return bytes;
}
