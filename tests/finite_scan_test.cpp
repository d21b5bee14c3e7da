// The scan for configurations whose figures are not all finite against evaluating every
// configuration: the same count and the same first one, on the built-in model, on models whose
// figures overflow, and on models with numbers pushed to the ends of the double range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "modelfile/model_file.h"
#include "search/engine.h"
#include "study/design.h"
#include "tests/overflowing_models.h"

namespace {

bool same_bits(const ConfigurationFigures &a, const ConfigurationFigures &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// What evaluating every configuration in range finds.
NonFiniteConfigurations brute_force(const SearchSpec &spec) {
    NonFiniteConfigurations found;
    for (const EvaluatedConfiguration &e : evaluate_design_space(spec))
        if (!figures_finite(e.figures) && found.count++ == 0)
            found.first = e;
    return found;
}

void expect_same_scan(const SearchSpec &spec, const std::string &what) {
    const NonFiniteConfigurations scan = non_finite_configurations(spec);
    const NonFiniteConfigurations expected = brute_force(spec);
    ASSERT_EQ(scan.count, expected.count) << what;
    if (expected.count == 0)
        return;
    const EvaluatedConfiguration &a = scan.first, &b = expected.first;
    EXPECT_TRUE(a.scale == b.scale && a.cache == b.cache && a.cores == b.cores) << what;
    EXPECT_TRUE(same_bits(a.figures, b.figures)) << what;
}

// Searches of an option set as every caller makes them: free, a scale step held at an operating
// point of its own (a frequency ratio of 0 among them), a core count and cache size held, all
// three held.
std::vector<SearchSpec> specs_of(const Model &model, std::mt19937 &random) {
    auto pick = [&](size_t n) {
        return int(std::uniform_int_distribution<size_t>(0, n - 1)(random));
    };
    SearchSpec spec;
    spec.model = &model;
    spec.workload = pick(model.workloads.size());
    spec.memory = pick(2);
    spec.transistor = pick(3);
    spec.core_kind = pick(model.core_kinds.size());
    spec.node = pick(model.nodes.size());
    std::vector<SearchSpec> specs{spec};
    SearchSpec held_scale = spec;
    held_scale.hold_scale = true;
    held_scale.scale = pick(kScaleSteps);
    const double ratios[] = {0, 0.3, 1, 2.5, 1e200};
    held_scale.vdd_ratio = ratios[pick(5)];
    held_scale.f_ratio = ratios[pick(5)];
    specs.push_back(held_scale);
    SearchSpec held = spec;
    held.hold_cores = held.hold_cache = true;
    held.cores = pick(kCoreCounts);
    held.cache = pick(kCacheSizes);
    specs.push_back(held);
    held.hold_scale = true;
    held.scale = pick(kScaleSteps);
    specs.push_back(held);
    return specs;
}

TEST(FiniteScan, BuiltInModelHasNoneInAnyOptionSet) {
    const Model &model = builtin_model();
    size_t specs = 0;
    for (const OptionSet &o : every_option_set()) {
        SearchSpec spec;
        spec.model = &model;
        spec.workload = o.workload, spec.memory = o.memory, spec.transistor = o.transistor;
        spec.core_kind = o.core_kind, spec.node = o.node;
        EXPECT_EQ(non_finite_configurations(spec).count, 0u) << describe(o);
        specs++;
    }
    EXPECT_EQ(specs, 360u);
}

// Models whose figures overflow in different places: each scan finds what evaluating every
// configuration finds, some of them everywhere, some only at many cores or one step.
TEST(FiniteScan, ModelsThatOverflowGiveTheCountAndFirstOfEvaluatingAll) {
    const std::vector<std::pair<const char *, Model>> models = overflowing_models();
    std::mt19937 random(7);
    for (const auto &[name, model] : models) {
        size_t with_some = 0;
        for (int i = 0; i < 12; i++)
            for (const SearchSpec &spec : specs_of(model, random)) {
                expect_same_scan(spec, name);
                with_some += non_finite_configurations(spec).count > 0;
            }
        EXPECT_GT(with_some, 0u) << name;
    }
}

// Any number of the model pushed far up or down, to 0 or below it: the scan never misses a
// configuration that evaluating them all finds, and never counts one it does not.
TEST(FiniteScan, NumbersAtTheEndsOfTheRangeGiveTheCountAndFirstOfEvaluatingAll) {
    std::mt19937 random(2024);
    const std::vector<ModelNumberField> fields = model_number_fields(builtin_model());
    size_t models_with_some = 0, models_without = 0;
    for (int trial = 0; trial < 150; trial++) {
        Model model = builtin_model();
        std::string changed;
        // Every third model with a node's uncore and the alpha-power law, whose fields are off
        // (0) in the built-in model and would stay so however far they were scaled.
        if (trial % 3 == 0) {
            for (NodeRecord &node : model.nodes)
                node.uncore_area_mm2 = 40, node.uncore_power_W = 12;
            model.frequency_law = FrequencyLaw::AlphaPower;
            model.alpha = 1.3;
        }
        for (int n = std::uniform_int_distribution<int>(1, 3)(random); n > 0; n--) {
            const ModelNumberField &f =
                fields[std::uniform_int_distribution<size_t>(0, fields.size() - 1)(random)];
            const int kind = std::uniform_int_distribution<int>(0, 5)(random);
            const double exponent = std::uniform_int_distribution<int>(-330, 330)(random);
            double &value = f.value(model);
            value = kind == 0 ? 0.0 : kind == 1 ? -value : value * std::pow(10.0, exponent);
            changed += f.name + " ";
        }
        size_t some = 0;
        for (const SearchSpec &spec : specs_of(model, random)) {
            expect_same_scan(spec, changed);
            some += non_finite_configurations(spec).count;
        }
        (some > 0 ? models_with_some : models_without)++;
    }
    // Both kinds are met.
    EXPECT_GT(models_with_some, 10u);
    EXPECT_GT(models_without, 10u);
}

} // namespace
