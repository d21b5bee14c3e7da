// Uncertainty: the model's numbers that an option set uses, each drawn uniformly within its
// range, many times; the best configuration under each drawn model, and how the best speedup
// and the optimum spread. Sample i draws from a random stream of its own, made from the seed
// and i alone, so that the samples are the same whatever the number of threads.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "study/sensitivity.h"

// The most samples a study may ask for.
constexpr double kMostSamples = 100'000'000;

// The random stream of one sample: splitmix64 from a start that mixes the seed and the index.
class SampleStream {
  public:
    SampleStream(uint64_t seed, uint64_t sample);
    uint64_t next();
    double uniform(); // in [0, 1), 53 random bits

  private:
    uint64_t state_;
};

struct UncertaintyRequest {
    Request request; // options and limits; held dimensions are ignored
    size_t samples = 1000;
    size_t first = 0; // the first sample's index: a study split into parts, e.g. on Dask
    uint64_t seed = 1;
    double spread = 0.1; // each used field within its value -/+ spread x |value| ...
    // ... unless a range is given for it here, by its name as a model file names it.
    std::map<std::string, FieldRange> ranges;
};

// Why a request cannot be worked out (a range for a field the option set does not use, or
// outside what the field accepts, or low above high); empty when it can.
std::string uncertainty_error(const UncertaintyRequest &request);

// Reads ranges, one a line: "FIELD LOW HIGH" (blank lines and lines starting with # skipped).
// False, with why in error ("LINE: PROBLEM"), when a line is not of that form or names a field
// given on an earlier line. lines, when given, gets the line of each field.
bool parse_ranges(const std::string &text, std::map<std::string, FieldRange> &ranges,
                  std::string &error, std::map<std::string, int> *lines = nullptr);

struct UncertaintySample {
    bool feasible;
    double speedup; // 0 when not feasible
    int scale, cache, cores;
};

// Every sample's best configuration (samples first .. first + samples - 1), in sample order,
// worked out on up to jobs threads.
std::vector<UncertaintySample> uncertainty_samples(const UncertaintyRequest &request, int jobs);

// The fields drawn and their ranges, in used_fields' order.
struct DrawnField {
    ModelNumberField field;
    FieldRange range;
};
std::vector<DrawnField> drawn_fields(const UncertaintyRequest &request);

// The summary: the quantiles of the best speedup over the samples where some configuration
// meets the limits (linear between order statistics, as numpy's default), and a row per
// configuration that is ever the best, most often first (equal counts in the search's order).
struct Uncertainty {
    size_t samples = 0, feasible = 0;
    double mean = 0;
    std::vector<std::pair<double, double>> quantiles; // (probability, speedup)
    struct Winner {
        int scale, cache, cores;
        size_t count;
        double median; // median best speedup of the samples it wins
    };
    std::vector<Winner> winners;
};
Uncertainty summarise(const std::vector<UncertaintySample> &samples);

// The summary of samples handed over a part at a time, in sample order: the same figures as
// summarise over all of them. It keeps each feasible sample's best speedup (8 bytes a sample,
// grouped by the configuration that wins it) and nothing of the others.
class UncertaintyTally {
  public:
    void add(const std::vector<UncertaintySample> &samples);
    Uncertainty summary();

  private:
    size_t samples_ = 0, feasible_ = 0;
    double sum_ = 0; // in sample order
    std::map<std::tuple<int, int, int>, std::deque<double>> won_;
};

// The table of the winners: cores, cache_mb, scale, samples, share, median_speedup.
Table uncertainty_table(const Uncertainty &summary);
// A row per sample: sample (its index, from first), feasible, speedup, cores, cache_mb, scale.
Table uncertainty_samples_table(const std::vector<UncertaintySample> &samples, size_t first = 0);
