// Fuzz target: the command-line tool's whole run (run_cli) in-process on an arbitrary argument
// vector. The input is the arguments after the program's name, each ended by a NUL byte (the
// last one by the end of the input). Whatever they are, the run returns 0, 1 or 2, and a
// refusal is one line.
//
// A sweep or an enumeration of the whole design space (6.8 million and 18,760 configurations)
// takes about 3 s under the sanitizers, at the limit of 3 s on an input that tells a hang (a
// held scale step alone still leaves 0.4 s; a budget map of one option set, drawn, 1.2 s), so when
// neither holds the core count or the cache size the target holds the cache size at 1 MB;
// otherwise, and for any other command, the arguments are run as they are. A budget of more than a
// few thousand points (up to ten million are accepted) is left out for the same reason: its points
// are all alike to the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/plot.h"
#include "cli/run.h"
#include "study/budget.h"

namespace {

// The pictures the plot command draws go to a folder of the target's own, which it empties
// after every input and removes at the end.
struct Scratch {
    std::filesystem::path folder;
    FILE *out, *err;
    Scratch() {
        char name[] = "/tmp/fuzz_cli_args.XXXXXX";
        if (mkdtemp(name) == nullptr)
            abort();
        folder = name;
        std::filesystem::current_path(folder);
        out = fopen("/dev/null", "w");
        err = tmpfile();
        if (out == nullptr || err == nullptr)
            abort();
    }
    ~Scratch() {
        fclose(out);
        fclose(err);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    void empty() {
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            std::filesystem::remove_all(entry.path());
    }
};

// A picture's name (one that ends in .png or .svg) stays in the scratch folder: its slashes
// become underscores.
std::string kept_in_folder(std::string argument) {
    if (image_format_of(argument))
        for (char &c : argument)
            c = c == '/' ? '_' : c;
    return argument;
}

bool starts_with(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

void hold_a_dimension_of_whole_sweeps(std::vector<std::string> &arguments) {
    bool whole = false;
    for (const std::string &argument : arguments) {
        if (starts_with(argument, "--cores") || starts_with(argument, "--cache"))
            return;
        whole = whole || argument == "sweep" || argument == "space";
    }
    if (whole) {
        arguments.push_back("--cache");
        arguments.push_back("1");
    }
}

// The points a budget's --vary asks for, per curve; 0 when it is not one that reads.
double budget_points(const std::vector<std::string> &arguments) {
    double points = 0;
    for (size_t i = 0; i < arguments.size(); i++) {
        std::string vary;
        if (arguments[i] == "--vary" && i + 1 < arguments.size())
            vary = arguments[i + 1];
        else if (starts_with(arguments[i], "--vary="))
            vary = arguments[i].substr(7);
        else
            continue;
        double product = 1;
        for (size_t start = 0; start <= vary.size();) {
            const size_t comma = std::min(vary.find(',', start), vary.size());
            std::string error;
            const std::optional<LimitRange> range =
                parse_limit_range(vary.substr(start, comma - start), error);
            product *= range ? double(range->count()) : 1.0;
            start = comma + 1;
        }
        points = std::max(points, product);
    }
    return points;
}

// Whether an uncertainty study asks for more than a few hundred samples (up to 100 million are
// accepted): its samples are all alike to the run, and many of them would take longer than the
// limit on an input.
bool many_samples(const std::vector<std::string> &arguments) {
    for (size_t i = 0; i < arguments.size(); i++) {
        std::string samples;
        if (arguments[i] == "--samples" && i + 1 < arguments.size())
            samples = arguments[i + 1];
        else if (starts_with(arguments[i], "--samples="))
            samples = arguments[i].substr(10);
        else
            continue;
        const double count = std::strtod(samples.c_str(), nullptr);
        if (!(count <= 500))
            return true;
    }
    return std::find(arguments.begin(), arguments.end(), "uncertainty") != arguments.end() &&
           std::none_of(arguments.begin(), arguments.end(),
                        [](const std::string &a) { return starts_with(a, "--samples"); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Scratch scratch;
    constexpr size_t kMostArguments = 64;
    std::vector<std::string> arguments{"cpu-widget-cli"};
    std::string current;
    for (size_t i = 0; i < size && arguments.size() <= kMostArguments; i++) {
        if (data[i] != 0) {
            current += char(data[i]);
            continue;
        }
        arguments.push_back(kept_in_folder(current));
        current.clear();
    }
    if (!current.empty() && arguments.size() <= kMostArguments)
        arguments.push_back(kept_in_folder(current));
    hold_a_dimension_of_whole_sweeps(arguments);
    if (budget_points(arguments) > 5000 || many_samples(arguments))
        return 0;
    std::vector<const char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(argument.c_str());

    rewind(scratch.err);
    const int status = run_cli(int(argv.size()), argv.data(), scratch.out, scratch.err);
    const long told = ftell(scratch.err);
    if (status != 0 && status != 1 && status != 2)
        abort();
    if (status == 2) {
        // A refusal: exactly one line, however the arguments were written.
        fflush(scratch.err);
        rewind(scratch.err);
        long lines = 0;
        for (long n = 0; n < told; n++)
            lines += fgetc(scratch.err) == '\n';
        if (lines != 1)
            abort();
    }
    scratch.empty();
    return 0;
}
