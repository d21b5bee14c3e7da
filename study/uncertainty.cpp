#include "study/uncertainty.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "study/choices.h"
#include "study/parallel.h"

namespace {

uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

constexpr uint64_t kGolden = 0x9e3779b97f4a7c15ULL;

// Linear between order statistics of sorted values, worked out step by step as numpy's
// quantile does by default, so that a study summarised in Python gives the same figures.
double quantile(const std::vector<double> &sorted, double p) {
    const double n = double(sorted.size());
    const double position = (n * p + (1 + p * -1.0)) - 1;
    const double below = std::floor(position);
    const double gamma = position - below;
    const size_t i = size_t(std::max(below, 0.0));
    const size_t j = std::min(i + 1, sorted.size() - 1);
    const double a = sorted[std::min(i, sorted.size() - 1)], b = sorted[j];
    const double difference = b - a;
    return gamma >= 0.5 ? b - difference * (1 - gamma) : a + difference * gamma;
}

} // namespace

SampleStream::SampleStream(uint64_t seed, uint64_t sample)
    : state_(mix(seed + kGolden * mix(sample + 1))) {}

uint64_t SampleStream::next() {
    state_ += kGolden;
    return mix(state_);
}

double SampleStream::uniform() {
    return double(next() >> 11) * 0x1.0p-53;
}

std::vector<DrawnField> drawn_fields(const UncertaintyRequest &r) {
    const Model &m = active_model();
    std::vector<DrawnField> drawn;
    for (ModelNumberField &f : used_fields(r.request.options, m)) {
        const auto given = r.ranges.find(f.name);
        const FieldRange range =
            given != r.ranges.end() ? given->second : moved_range(f, f.value(m), r.spread);
        drawn.push_back(DrawnField{std::move(f), range});
    }
    return drawn;
}

std::string uncertainty_error(const UncertaintyRequest &r) {
    const std::vector<ModelNumberField> used = used_fields(r.request.options, active_model());
    for (const auto &[name, range] : r.ranges) {
        // A structured binding cannot be captured by every compiler the project builds with.
        const std::string &wanted = name;
        const auto f = std::find_if(used.begin(), used.end(),
                                    [&](const ModelNumberField &u) { return u.name == wanted; });
        if (f == used.end())
            return "--ranges: '" + name +
                   "' is not a number of the model that these options use; accepted: the "
                   "fields that sensitivity lists for them";
        if (!(range.low <= range.high) || !f->admits(range.low) || !f->admits(range.high))
            return "--ranges: " + name + " " + shortest(range.low) + " " + shortest(range.high) +
                   " is not accepted; accepted: LOW at most HIGH, each " + f->accepted();
    }
    return {};
}

bool parse_ranges(const std::string &text, std::map<std::string, FieldRange> &ranges,
                  std::string &error) {
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); number++) {
        std::istringstream words(line);
        std::string name, low, high, more;
        if (!(words >> name) || name[0] == '#')
            continue;
        words >> low >> high;
        const std::optional<double> l = parse_number(low), h = parse_number(high);
        if (!l || !h || (words >> more)) {
            error = std::to_string(number) + ": '" + line + "' is not FIELD LOW HIGH";
            return false;
        }
        ranges[name] = FieldRange{*l, *h};
    }
    return true;
}

std::vector<UncertaintySample> uncertainty_samples(const UncertaintyRequest &r, int jobs) {
    const Model &model = active_model();
    const std::vector<DrawnField> drawn = drawn_fields(r);
    std::vector<UncertaintySample> samples(r.samples);
    // Blocks of samples, each on one copy of the model whose drawn fields every sample sets.
    constexpr size_t kBlock = 256;
    const size_t blocks = (r.samples + kBlock - 1) / kBlock;
    run_in_parallel(blocks, jobs, [&](size_t b) {
        Model changed = model;
        for (size_t i = b * kBlock; i < std::min(r.samples, (b + 1) * kBlock); i++) {
            SampleStream stream(r.seed, r.first + i);
            for (const DrawnField &d : drawn) {
                double v = d.range.low + (d.range.high - d.range.low) * stream.uniform();
                if (d.field.whole)
                    v = std::min(std::round(v), d.range.high);
                d.field.value(changed) = v;
            }
            const SearchOutcome best = search_under(r.request, changed);
            samples[i] = UncertaintySample{best.found, best.found ? best.speedup : 0.0, best.scale,
                                           best.cache, best.cores};
        }
    });
    return samples;
}

Uncertainty summarise(const std::vector<UncertaintySample> &samples) {
    Uncertainty u;
    u.samples = samples.size();
    std::vector<double> speedups;
    std::map<std::tuple<int, int, int>, std::vector<double>> won;
    for (const UncertaintySample &s : samples) {
        if (!s.feasible)
            continue;
        speedups.push_back(s.speedup);
        won[{s.scale, s.cache, s.cores}].push_back(s.speedup);
    }
    u.feasible = speedups.size();
    if (speedups.empty())
        return u;
    double sum = 0;
    for (double s : speedups)
        sum += s;
    u.mean = sum / double(speedups.size());
    std::sort(speedups.begin(), speedups.end());
    for (double p : {0.0, 0.05, 0.25, 0.5, 0.75, 0.95, 1.0})
        u.quantiles.emplace_back(p, quantile(speedups, p));
    for (auto &[key, values] : won) {
        std::sort(values.begin(), values.end());
        u.winners.push_back(Uncertainty::Winner{std::get<0>(key), std::get<1>(key),
                                                std::get<2>(key), values.size(),
                                                quantile(values, 0.5)});
    }
    std::stable_sort(u.winners.begin(), u.winners.end(),
                     [](const Uncertainty::Winner &a, const Uncertainty::Winner &b) {
                         return a.count > b.count;
                     });
    return u;
}

Table uncertainty_table(const Uncertainty &u) {
    const Model &m = active_model();
    Table t;
    t.add("cores", ColumnType::Integer);
    t.add("cache_mb", ColumnType::Integer);
    t.add("scale", ColumnType::Number);
    t.add("samples", ColumnType::Integer);
    t.add("share", ColumnType::Number);
    t.add("median_speedup", ColumnType::Number);
    for (const Uncertainty::Winner &w : u.winners) {
        t.columns[0].add_integer(int(m.core_counts[w.cores]));
        t.columns[1].add_integer(int(m.cache_sizes[w.cache]));
        t.columns[2].add_number(m.scale_steps[w.scale]);
        t.columns[3].add_integer(int64_t(w.count));
        t.columns[4].add_number(double(w.count) / double(u.samples));
        t.columns[5].add_number(w.median);
    }
    return t;
}

Table uncertainty_samples_table(const std::vector<UncertaintySample> &samples, size_t first) {
    const Model &m = active_model();
    Table t;
    t.add("sample", ColumnType::Integer);
    t.add("feasible", ColumnType::Flag);
    t.add("speedup", ColumnType::Number);
    t.add("cores", ColumnType::Integer);
    t.add("cache_mb", ColumnType::Integer);
    t.add("scale", ColumnType::Number);
    for (size_t i = 0; i < samples.size(); i++) {
        const UncertaintySample &s = samples[i];
        t.columns[0].add_integer(int64_t(first + i));
        t.columns[1].add_flag(s.feasible);
        if (!s.feasible) {
            for (size_t c = 2; c < 6; c++)
                t.columns[c].add_none();
            continue;
        }
        t.columns[2].add_number(s.speedup);
        t.columns[3].add_integer(int(m.core_counts[s.cores]));
        t.columns[4].add_integer(int(m.cache_sizes[s.cache]));
        t.columns[5].add_number(m.scale_steps[s.scale]);
    }
    return t;
}
