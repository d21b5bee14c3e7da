// uncertainty: draws models around the one in use, searches each, and gives the spread of the
// best speedup and how often each configuration is the best.
#include <algorithm>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "cli/research_text.h"
#include "study/uncertainty.h"

namespace {

// Samples worked out before their rows are written: enough to keep every thread busy, few
// enough to stay small (about 2 MB).
constexpr size_t kSamplesPerPart = 65536;

int run_uncertainty(const Request &r, const Arguments &a, bool ranges_given, Output &out,
                    FILE *err) {
    if (a.per_sample && a.format == "text") {
        say(err, "--per-sample: gives CSV or JSON rows; accepted: --per-sample with --format csv "
                 "or json");
        return 2;
    }
    UncertaintyRequest u;
    u.request = Request{r.options, r.limits, {}};
    u.samples = size_t(*whole_number(a.samples));
    u.seed = seed_of(a.seed);
    u.spread = *parse_number(a.spread) / 100;
    const std::string accepts = "; accepted: a file of lines FIELD LOW HIGH";
    if (ranges_given && a.ranges.empty()) {
        say(err, "--ranges: the file name is empty" + accepts);
        return 2;
    }
    if (!a.ranges.empty()) {
        std::ifstream file(a.ranges, std::ios::binary);
        if (!file) {
            say(err, "--ranges: cannot read '" + a.ranges + "'" + accepts);
            return 2;
        }
        // At most 1 MiB is read: a ranges file is a few lines, and a device or pipe may not end.
        constexpr size_t kMostBytes = size_t(1) << 20;
        std::string text(kMostBytes + 1, '\0');
        file.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(file.gcount()));
        if (text.size() > kMostBytes) {
            say(err, "--ranges: '" + a.ranges + "' is larger than 1 MiB" + accepts);
            return 2;
        }
        if (file.bad()) {
            say(err, "--ranges: cannot read '" + a.ranges + "'" + accepts);
            return 2;
        }
        std::string error;
        std::map<std::string, int> lines;
        if (!parse_ranges(text, u.ranges, error, &lines)) {
            say(err, "--ranges: " + a.ranges + ":" + error + accepts);
            return 2;
        }
        // Each range checked alone, in the file's order, so that a refusal names its line.
        std::vector<std::pair<int, std::string>> in_order;
        for (const auto &[name, line] : lines)
            in_order.emplace_back(line, name);
        std::sort(in_order.begin(), in_order.end());
        for (const auto &[line, name] : in_order) {
            UncertaintyRequest one = u;
            one.ranges = {{name, u.ranges.at(name)}};
            std::string refused = uncertainty_error(one);
            if (refused.empty())
                continue;
            const std::string prefix = "--ranges: ";
            if (refused.rfind(prefix, 0) == 0)
                refused.erase(0, prefix.size());
            say(err, prefix + a.ranges + ":" + std::to_string(line) + ": " + refused);
            return 2;
        }
    }
    // The samples are worked out a part at a time and each part written or tallied before the
    // next: memory does not grow with the samples' rows.
    TableWriter writer(out, table_format(a.format));
    UncertaintyTally tally;
    UncertaintyRequest part = u;
    for (size_t done = 0; done < u.samples; done += part.samples) {
        part.first = u.first + done;
        part.samples = std::min(kSamplesPerPart, u.samples - done);
        const std::vector<UncertaintySample> samples = uncertainty_samples(part, jobs_of(a));
        if (!a.per_sample)
            tally.add(samples);
        else if (!writer.write(uncertainty_samples_table(samples, part.first)))
            return finished(out, err);
    }
    if (a.per_sample) {
        writer.finish();
        return finished(out, err);
    }
    const Uncertainty summary = tally.summary();
    if (a.format == "text") {
        out.text() += uncertainty_text(u, summary, drawn_fields(u).size());
        return finished(out, err);
    }
    return write_table(uncertainty_table(summary), a.format, out, err);
}

void add_uncertainty_options(CLI::App *command, Arguments &a) {
    add_model(command, a);
    add_option_set(command, a);
    add_limits(command, a);
    add(command, "--samples", a.samples, "N",
        "models to draw (the summary keeps 8 bytes a sample that meets the limits; "
        "--per-sample rows are written as they are worked out)",
        "a whole number from 1 to 100,000,000 (default 1000)",
        whole_check(1, uint64_t(kMostSamples)));
    add(command, "--seed", a.seed, "S", "the random seed",
        "a whole number from 0 to 9007199254740992 (default 1); the same seed gives the same "
        "output whatever --jobs",
        whole_check(0, uint64_t(1) << 53));
    add_spread(command, a, "each number within its value -/+ this share, in percent");
    add(command, "--ranges", a.ranges, "FILE", "ranges of some numbers",
        "a file of lines FIELD LOW HIGH, fields named as sensitivity names them (the others "
        "within --spread)",
        [](const std::string &) { return std::string(); });
    command->add_flag("--per-sample", a.per_sample,
                      "a CSV or JSON row per sample instead of the summary");
    add_jobs(command, a);
    add_format(command, a);
}

int run_uncertainty_command(const Invocation &run) {
    return run_uncertainty(run.r, run.a, run.app.count("--ranges") > 0, run.out, run.err);
}

} // namespace

extern const Command uncertainty_command{
    .name = "uncertainty",
    .summary = "Draws --samples models, every number of the model that one option set uses "
               "uniform within its range, searches each, and gives the spread of the best "
               "speedup and how often each configuration is the best.",
    .add_options = add_uncertainty_options,
    .run = run_uncertainty_command,
    .notes_objectives = true,
};
