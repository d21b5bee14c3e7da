#include "search/limit_queries.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace {

constexpr Limit kLimits[] = {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};
constexpr int kNone = -1;

int bit(Limit limit) {
    return 1 << int(limit);
}

// A figure beside the index it belongs to, for sorting without looking it up through the index.
struct Keyed {
    double key;
    int index;
};

// How many of the ascending keys a limit admits (key <= limit; a NaN limit admits them all).
size_t admitted(const std::vector<double> &ascending_keys, double limit) {
    if (std::isnan(limit))
        return ascending_keys.size();
    return size_t(std::upper_bound(ascending_keys.begin(), ascending_keys.end(), limit) -
                  ascending_keys.begin());
}

// For candidates sorted by one key, the best (lowest) rank among the first n, for every n.
std::vector<int> prefix_best(const std::vector<int> &ranks) {
    std::vector<int> best(ranks.size());
    int so_far = std::numeric_limits<int>::max();
    for (size_t i = 0; i < ranks.size(); i++)
        best[i] = so_far = std::min(so_far, ranks[i]);
    return best;
}

} // namespace

LimitQueries::LimitQueries(const SearchSpec &spec) : LimitQueries(spec, nullptr) {}

LimitQueries::LimitQueries(const SearchSpec &spec,
                           double (*rank)(const ConfigurationFigures &figures))
    : spec_(spec), stacked_(spec.memory != 0) {
    if (spec.evaluation())
        throw std::invalid_argument("LimitQueries: at least one dimension must be free");
    const std::vector<EvaluatedConfiguration> all = evaluate_design_space(spec);
    std::vector<Keyed> order;
    order.reserve(all.size());
    for (size_t i = 0; i < all.size(); i++) {
        if (rank != nullptr) {
            const double score = rank(all[i].figures);
            if (!std::isnan(score))
                order.push_back({score, int(i)});
            continue;
        }
        const double speedup = all[i].figures.speedup;
        // Not below the search's starting best of 0, and every figure finite: the search
        // never selects any other.
        if (speedup >= 0 && figures_finite(all[i].figures))
            order.push_back({speedup, int(i)});
    }
    std::sort(order.begin(), order.end(), [](const Keyed &a, const Keyed &b) {
        return a.key > b.key || (a.key == b.key && a.index > b.index);
    });
    ranked_.resize(order.size());
    for (size_t r = 0; r < order.size(); r++) {
        const EvaluatedConfiguration &e = all[size_t(order[r].index)];
        const ConfigurationFigures &f = e.figures;
        ranked_[r] = {
            e.scale, e.cache, e.cores, f, {f.area, f.power, f.bandwidth, f.bandwidth_tsv}};
    }
    std::fill(std::begin(least_), std::end(least_), std::numeric_limits<double>::infinity());
    for (const Candidate &c : ranked_)
        for (Limit limit : kLimits)
            least_[int(limit)] = std::min(least_[int(limit)], c.key[int(limit)]);
}

bool LimitQueries::meets(const Candidate &c, const LimitChecks &limits, int skipped) const {
    for (Limit limit : kLimits) {
        if ((skipped & bit(limit)) != 0 || !limits.checked(limit))
            continue;
        if (limit == Limit::Tsv && !stacked_)
            continue;
        if (c.key[int(limit)] > limits.value(limit))
            return false;
    }
    return true;
}

std::vector<int> LimitQueries::meeting(const LimitChecks &limits, int skipped) const {
    std::vector<int> ranks;
    for (size_t r = 0; r < ranked_.size(); r++)
        if (meets(ranked_[r], limits, skipped))
            ranks.push_back(int(r));
    return ranks;
}

int LimitQueries::best_index(const LimitChecks &limits) const {
    for (size_t r = 0; r < ranked_.size(); r++)
        if (meets(ranked_[r], limits))
            return int(r);
    return kNone;
}

SearchOutcome LimitQueries::best(const LimitChecks &limits) const {
    return outcome(best_index(limits), limits);
}

std::vector<int> LimitQueries::curve(const LimitChecks &limits, Limit varied,
                                     const std::vector<double> &values) const {
    LimitChecks checked = limits;
    checked.check(varied);
    const bool applies = varied != Limit::Tsv || stacked_;
    std::vector<int> ranks = meeting(checked, applies ? bit(varied) : 0);
    if (!applies) {
        const int answer = ranks.empty() ? kNone : ranks.front();
        return std::vector<int>(values.size(), answer);
    }
    // The answer to a value is the best-ranked candidate whose key it admits. Only a candidate
    // whose key is below that of every better-ranked one can be that: walked best first, these
    // come with descending keys, and each value is a binary search among them.
    std::vector<double> keys;
    std::vector<int> firsts;
    for (int r : ranks) {
        const double key = ranked_[size_t(r)].key[int(varied)];
        if (keys.empty() || key < keys.back()) {
            keys.push_back(key);
            firsts.push_back(r);
        }
    }
    std::vector<int> answers(values.size(), kNone);
    for (size_t v = 0; v < values.size(); v++) {
        if (firsts.empty())
            break;
        if (std::isnan(values[v])) { // admits every candidate
            answers[v] = firsts.front();
            continue;
        }
        // The first key not above the value.
        const size_t n =
            size_t(std::lower_bound(keys.begin(), keys.end(), values[v], std::greater<double>()) -
                   keys.begin());
        if (n < keys.size())
            answers[v] = firsts[n];
    }
    return answers;
}

std::vector<int> LimitQueries::map(const LimitChecks &limits, Limit x,
                                   const std::vector<double> &xs, Limit y,
                                   const std::vector<double> &ys) const {
    if (x == y || (x == Limit::Tsv && !stacked_) || (y == Limit::Tsv && !stacked_)) {
        // One limit, or one that does not apply: each row or column is a curve.
        std::vector<int> answers;
        answers.reserve(xs.size() * ys.size());
        for (double y_value : ys) {
            LimitChecks row = limits;
            row.check(y);
            row.value(y) = y_value;
            const std::vector<int> line = curve(row, x, xs);
            answers.insert(answers.end(), line.begin(), line.end());
        }
        return answers;
    }
    LimitChecks checked = limits;
    checked.check(x);
    checked.check(y);
    const std::vector<int> ranks = meeting(checked, bit(x) | bit(y));

    // The candidates in ascending order of each key.
    auto sorted_by = [&](Limit limit) {
        std::vector<Keyed> keyed(ranks.size());
        for (size_t i = 0; i < ranks.size(); i++)
            keyed[i] = {ranked_[size_t(ranks[i])].key[int(limit)], int(i)};
        std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
            return a.key < b.key || (a.key == b.key && a.index < b.index);
        });
        std::vector<int> order(keyed.size());
        for (size_t i = 0; i < keyed.size(); i++)
            order[i] = keyed[i].index;
        return order;
    };
    const std::vector<int> by_x = sorted_by(x), by_y = sorted_by(y);
    std::vector<double> x_keys(ranks.size()), y_keys(ranks.size());
    for (size_t i = 0; i < ranks.size(); i++) {
        x_keys[i] = ranked_[ranks[by_x[i]]].key[int(x)];
        y_keys[i] = ranked_[ranks[by_y[i]]].key[int(y)];
    }
    std::vector<int> position_by_y(ranks.size());
    for (size_t i = 0; i < ranks.size(); i++)
        position_by_y[by_y[i]] = int(i);

    // Columns from the smallest x limit up: each admits the candidates of the one before and
    // those whose x figure it newly admits. A NaN limit admits every candidate, so it comes last.
    std::vector<int> columns(xs.size());
    std::iota(columns.begin(), columns.end(), 0);
    std::stable_sort(columns.begin(), columns.end(), [&](int a, int b) {
        return !std::isnan(xs[a]) && (std::isnan(xs[b]) || xs[a] < xs[b]);
    });
    std::vector<int> answers(xs.size() * ys.size(), kNone);
    std::vector<int> in_column(ranks.size(), std::numeric_limits<int>::max()); // by y order
    std::vector<int> best;
    size_t taken = 0;
    for (size_t c = 0; c < columns.size(); c++) {
        const size_t now = admitted(x_keys, xs[columns[c]]);
        if (c == 0 || now != taken) {
            for (; taken < now; taken++)
                in_column[position_by_y[by_x[taken]]] = ranks[by_x[taken]];
            best = prefix_best(in_column);
        }
        for (size_t row = 0; row < ys.size(); row++) {
            const size_t n = admitted(y_keys, ys[row]);
            const int answer = n == 0 ? kNone : best[n - 1];
            answers[row * xs.size() + columns[c]] =
                answer == std::numeric_limits<int>::max() ? kNone : answer;
        }
    }
    return answers;
}

double LimitQueries::changes_at(const LimitChecks &limits, Limit limit) const {
    LimitChecks checked = limits;
    checked.check(limit);
    const int current = best_index(checked);
    // Only a better-ranked configuration that meets the other limits can take over, once the
    // limit admits its figure.
    const size_t better = current < 0 ? ranked_.size() : size_t(current);
    double least = std::numeric_limits<double>::infinity();
    for (size_t r = 0; r < better; r++)
        if (meets(ranked_[r], checked, bit(limit)))
            least = std::min(least, ranked_[r].key[int(limit)]);
    return least;
}

int LimitQueries::least_relaxed(const LimitChecks &limits) const {
    int chosen = kNone;
    double least = std::numeric_limits<double>::infinity();
    for (size_t r = 0; r < ranked_.size(); r++) {
        double largest = 1;
        for (Limit limit : kLimits) {
            if (!limits.checked(limit) || (limit == Limit::Tsv && !stacked_))
                continue;
            const double key = ranked_[r].key[int(limit)], value = limits.value(limit);
            if (key > value)
                largest = std::max(largest, value > 0 ? key / value
                                                      : std::numeric_limits<double>::infinity());
        }
        if (chosen == kNone || largest < least) {
            chosen = int(r);
            least = largest;
        }
    }
    return chosen;
}

SearchOutcome LimitQueries::outcome(int index, const LimitChecks &limits) const {
    SearchOutcome o;
    o.scale = spec_.hold_scale ? spec_.scale : 7;
    o.cache = spec_.hold_cache ? spec_.cache : 0;
    o.cores = spec_.hold_cores ? spec_.cores : 0;
    if (index < 0)
        return o;
    const Candidate &c = ranked_[size_t(index)];
    o.found = true;
    o.speedup = c.figures.speedup;
    o.scale = c.scale;
    o.cache = c.cache;
    o.cores = c.cores;
    o.figures = c.figures;
    if (!limits.area)
        o.figures.area = 0;
    if (!limits.power)
        o.figures.power = 0;
    if (!limits.bandwidth)
        o.figures.bandwidth = o.figures.bandwidth_tsv = 0;
    return o;
}
