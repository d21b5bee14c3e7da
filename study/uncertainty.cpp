#include "study/uncertainty.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <set>
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

// Linear between order statistics of n sorted values, value_at(i) the i-th smallest, worked
// out step by step as numpy's quantile does by default, so that a study summarised in Python
// gives the same figures.
template <typename ValueAt> double quantile(size_t size, const ValueAt &value_at, double p) {
    const double n = double(size);
    const double position = (n * p + (1 + p * -1.0)) - 1;
    const double below = std::floor(position);
    const double gamma = position - below;
    const size_t i = size_t(std::max(below, 0.0));
    const size_t j = std::min(i + 1, size - 1);
    const double a = value_at(std::min(i, size - 1)), b = value_at(j);
    const double difference = b - a;
    return gamma >= 0.5 ? b - difference * (1 - gamma) : a + difference * gamma;
}

// The values at the given ranks of the union of sorted sequences, walked through in order once.
std::map<size_t, double> values_at_ranks(const std::vector<const std::deque<double> *> &sorted,
                                         const std::set<size_t> &ranks) {
    using Head = std::pair<double, size_t>; // a sequence's next value, and which one
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    std::vector<size_t> next(sorted.size(), 0);
    for (size_t s = 0; s < sorted.size(); s++)
        if (!sorted[s]->empty())
            heads.emplace((*sorted[s])[0], s);
    std::map<size_t, double> found;
    auto wanted = ranks.begin();
    for (size_t rank = 0; wanted != ranks.end() && !heads.empty(); rank++) {
        const auto [value, s] = heads.top();
        heads.pop();
        if (rank == *wanted) {
            found[rank] = value;
            ++wanted;
        }
        if (++next[s] < sorted[s]->size())
            heads.emplace((*sorted[s])[next[s]], s);
    }
    return found;
}

constexpr double kQuantiles[] = {0.0, 0.05, 0.25, 0.5, 0.75, 0.95, 1.0};

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
                  std::string &error, std::map<std::string, int> *line_numbers) {
    std::map<std::string, int> line_of;
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
        if (line_of.count(name) != 0) {
            error = std::to_string(number) + ": " + name + " is given twice (first on line " +
                    std::to_string(line_of[name]) + ")";
            return false;
        }
        line_of[name] = number;
        ranges[name] = FieldRange{*l, *h};
    }
    if (line_numbers != nullptr)
        *line_numbers = line_of;
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

void UncertaintyTally::add(const std::vector<UncertaintySample> &samples) {
    samples_ += samples.size();
    for (const UncertaintySample &s : samples) {
        if (!s.feasible)
            continue;
        feasible_++;
        sum_ += s.speedup;
        won_[{s.scale, s.cache, s.cores}].push_back(s.speedup);
    }
}

Uncertainty UncertaintyTally::summary() {
    Uncertainty u;
    u.samples = samples_;
    u.feasible = feasible_;
    if (feasible_ == 0)
        return u;
    u.mean = sum_ / double(feasible_);
    std::vector<const std::deque<double> *> sorted;
    for (auto &entry : won_) {
        // Named, not a structured binding: the lambda below captures it.
        const auto &key = entry.first;
        std::deque<double> &values = entry.second;
        std::sort(values.begin(), values.end());
        sorted.push_back(&values);
        u.winners.push_back(
            Uncertainty::Winner{std::get<0>(key), std::get<1>(key), std::get<2>(key), values.size(),
                                quantile(
                                    values.size(), [&](size_t i) { return values[i]; }, 0.5)});
    }
    // The quantiles over every feasible sample read only the ranks they need.
    std::set<size_t> ranks;
    for (double p : kQuantiles)
        quantile(
            feasible_,
            [&](size_t i) {
                ranks.insert(i);
                return 0.0;
            },
            p);
    const std::map<size_t, double> at = values_at_ranks(sorted, ranks);
    for (double p : kQuantiles)
        u.quantiles.emplace_back(p, quantile(
                                        feasible_, [&](size_t i) { return at.at(i); }, p));
    std::stable_sort(u.winners.begin(), u.winners.end(),
                     [](const Uncertainty::Winner &a, const Uncertainty::Winner &b) {
                         return a.count > b.count;
                     });
    return u;
}

Uncertainty summarise(const std::vector<UncertaintySample> &samples) {
    UncertaintyTally tally;
    tally.add(samples);
    return tally.summary();
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
