// Many searches of one option set that differ only in their limits, answered from one
// evaluation of its configurations: budget curves, maps over two limits and what-if questions
// cost a lookup each instead of a search each.
//
// Every answer is the configuration that search_design_space selects under the same limits,
// its speedup and figures bit for bit: the best accepted speedup, ties to the later
// configuration, and nothing found when no configuration meets the limits.
#pragma once

#include <vector>

#include "search/engine.h"

class LimitQueries {
  public:
    // Evaluates every configuration the search leaves in range once; its checks and limits are
    // not used.
    explicit LimitQueries(const SearchSpec &spec);

    // The same with another ranking than the speedup: rank gives each configuration's score,
    // higher is better, or NaN for one that can never be selected. Ties still go to the later
    // configuration, and every answer is the best-scored configuration that meets the limits.
    LimitQueries(const SearchSpec &spec, double (*rank)(const ConfigurationFigures &figures));

    // What search_design_space would return for the search under these checks and limits.
    SearchOutcome best(const LimitChecks &limits) const;

    // The configuration best() selects, as a handle for outcome(); -1 when none qualifies.
    int best_index(const LimitChecks &limits) const;

    // best_index as one limit takes each of the values (the limit checked, the others as in
    // limits).
    std::vector<int> curve(const LimitChecks &limits, Limit varied,
                           const std::vector<double> &values) const;

    // best_index over a grid of two limits: ys outermost, xs innermost.
    std::vector<int> map(const LimitChecks &limits, Limit x, const std::vector<double> &xs, Limit y,
                         const std::vector<double> &ys) const;

    // The smallest value of one limit, the others as they are, at which best_index changes
    // (with nothing found, at which some configuration qualifies); infinity when no value does.
    double changes_at(const LimitChecks &limits, Limit limit) const;

    // With nothing found: the configuration that qualifies with the least relaxation of the
    // limits together (the smallest largest ratio of a figure to its limit); -1 when every
    // configuration is unacceptable whatever the limits.
    int least_relaxed(const LimitChecks &limits) const;

    // The least figure of a limit over the configurations that can be accepted: above it, the
    // limit on its own rules every one of them out. Infinity when none can be accepted.
    double least(Limit limit) const { return least_[int(limit)]; }

    // A figure of a handle's configuration, as the searches compute it.
    const ConfigurationFigures &figures(int index) const { return ranked_[size_t(index)].figures; }

    // The outcome of a handle under the checks it was found with (a figure whose check is off
    // is 0, as the search leaves it); a handle of -1 gives the search's "nothing found".
    SearchOutcome outcome(int index, const LimitChecks &limits) const;

  private:
    struct Candidate {
        int scale, cache, cores;
        ConfigurationFigures figures;
        double key[4]; // the figure each limit bounds
    };

    bool meets(const Candidate &c, const LimitChecks &limits,
               int skipped = 0) const; // skipped: limits as bits
    std::vector<int> meeting(const LimitChecks &limits, int skipped) const;

    SearchSpec spec_;
    bool stacked_;
    // The configurations that can be accepted (every figure finite, speedup not below 0), best
    // first, the later configuration first among equals: the first one that meets the limits
    // is the answer.
    std::vector<Candidate> ranked_;
    double least_[4];
};
