// Evaluation of any configuration, the chip table's reader, validation and calibration.
#include <gtest/gtest.h>

#include <cstring>

#include "chips/calibration.h"
#include "chips/chip_table.h"
#include "chips/evaluation.h"
#include "chips/validation.h"
#include "modelfile/model_file.h"
#include "study/design.h"

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Five option sets that between them take every memory kind, transistor kind, core kind and
// node and every workload.
const OptionSet kOptionSets[] = {
    {0, 0, 0, 0, 1}, {1, 1, 2, 1, 2}, {2, 0, 1, 3, 4}, {0, 1, 0, 2, 0}, {1, 0, 2, 3, 3}};

TEST(Evaluate, EqualsSpaceBitForBitOnEveryAxisValue) {
    const Model &m = builtin_model();
    for (const OptionSet &o : kOptionSets) {
        Request request;
        request.options = o;
        for (const SpaceRow &row : space(request)) {
            EvaluationRequest r;
            r.options = o;
            r.cores = m.core_counts[size_t(row.cores)];
            r.cache_mb = m.cache_sizes[size_t(row.cache)];
            r.scale = m.scale_steps[size_t(row.scale)];
            const Evaluation e = evaluate(m, r);
            ASSERT_TRUE(e.error.empty()) << e.error;
            const ConfigurationFigures &a = e.figures, &b = row.figures;
            ASSERT_TRUE(same_bits(a.area, b.area) && same_bits(a.power, b.power) &&
                        same_bits(a.speedup, b.speedup) && same_bits(a.bandwidth, b.bandwidth) &&
                        same_bits(a.bandwidth_tsv, b.bandwidth_tsv))
                << describe(o) << " " << r.cores << " cores " << r.cache_mb << " MB";
            ASSERT_TRUE(same_bits(e.vdd, row.vdd) && same_bits(e.freq, row.freq));
            for (int l = 0; l < 4; l++)
                ASSERT_EQ(e.breaks[l], row.breaks[l]);
        }
    }
}

// A model with the alpha-power frequency law and a node's uncore: the space's figures still.
TEST(Evaluate, EqualsSpaceUnderAnotherFrequencyLawAndAnUncore) {
    const ModelFileResult loaded =
        parse_model_text("format_version = 1\nextends = \"built-in\"\n[voltage_frequency]\n"
                         "frequency_law = \"alpha_power\"\nalpha = 1.3\n[[node]]\nname = \"45nm\"\n"
                         "uncore_area_mm2 = 40\nuncore_power_W = 12\n",
                         "alpha.toml");
    ASSERT_TRUE(loaded.model) << loaded.errors[0];
    set_active_model(loaded.model);
    const Model &m = *loaded.model;
    Request request;
    request.options = OptionSet{1, 0, 2, 3, 2};
    request.holds.cores = 6; // 12 cores
    for (const SpaceRow &row : space(request)) {
        EvaluationRequest r;
        r.options = request.options;
        r.cores = m.core_counts[size_t(row.cores)];
        r.cache_mb = m.cache_sizes[size_t(row.cache)];
        r.scale = m.scale_steps[size_t(row.scale)];
        const Evaluation e = evaluate(m, r);
        ASSERT_TRUE(same_bits(e.figures.power, row.figures.power) &&
                    same_bits(e.figures.area, row.figures.area) &&
                    same_bits(e.figures.speedup, row.figures.speedup) &&
                    same_bits(e.freq, row.freq))
            << r.cache_mb << " MB, step " << *r.scale;
    }
    set_active_model(nullptr);
}

TEST(Evaluate, EqualsSpaceAtAHeldOperatingPoint) {
    for (const OptionSet &o : kOptionSets) {
        Request request;
        request.options = o;
        request.holds.cores = 4; // 8 cores
        request.holds.cache = 2; // 4 MB
        request.holds.scale = 0;
        const Ceilings c = ceilings_of(o);
        request.holds.vdd = c.vdd * 0.85;
        request.holds.freq = c.freq * 0.5;
        const std::vector<SpaceRow> rows = space(request);
        ASSERT_EQ(rows.size(), 1u);
        EvaluationRequest r;
        r.options = o;
        r.cores = 8;
        r.cache_mb = 4;
        r.vdd = *request.holds.vdd;
        r.freq = *request.holds.freq;
        const Evaluation e = evaluate(builtin_model(), r);
        EXPECT_TRUE(same_bits(e.figures.power, rows[0].figures.power));
        EXPECT_TRUE(same_bits(e.figures.speedup, rows[0].figures.speedup));
        EXPECT_TRUE(same_bits(e.figures.bandwidth, rows[0].figures.bandwidth));
    }
}

TEST(Evaluate, OffAxisValuesLieBetweenTheirNeighbours) {
    const Model &m = builtin_model();
    for (const OptionSet &o : kOptionSets) {
        auto at = [&](double cores, double cache) {
            EvaluationRequest r;
            r.options = o;
            r.cores = cores;
            r.cache_mb = cache;
            return evaluate(m, r);
        };
        // Area, power and bandwidth rise with the core count; area with the cache size.
        const Evaluation low = at(8, 6), mid = at(9, 6), high = at(10, 6);
        EXPECT_LT(low.figures.area, mid.figures.area);
        EXPECT_LT(mid.figures.area, high.figures.area);
        EXPECT_LT(low.figures.power, mid.figures.power);
        EXPECT_LT(mid.figures.power, high.figures.power);
        EXPECT_LT(low.figures.bandwidth, mid.figures.bandwidth);
        const Evaluation small = at(8, 4), big = at(8, 8);
        EXPECT_LT(small.figures.area, low.figures.area);
        EXPECT_LT(low.figures.area, big.figures.area);
        // The miss rate falls as the cache grows; the latency lies between the rows'.
        EXPECT_GT(small.miss_rate, low.miss_rate);
        EXPECT_GT(low.miss_rate, big.miss_rate);
        const double l4 = small.l2_latency_ns, l8 = big.l2_latency_ns;
        EXPECT_GE(low.l2_latency_ns, std::min(l4, l8));
        EXPECT_LE(low.l2_latency_ns, std::max(l4, l8));
        EXPECT_FALSE(low.notes.empty());
    }
}

TEST(Evaluate, RefusesWhatItCannotEvaluateAndNotesASupplyAboveNominal) {
    const Model &m = builtin_model();
    EvaluationRequest r;
    r.cores = 0;
    EXPECT_NE(evaluate(m, r).error.find("cores"), std::string::npos);
    r.cores = 2.5;
    EXPECT_NE(evaluate(m, r).error.find("whole"), std::string::npos);
    r.cores = 2;
    r.cache_mb = 0;
    EXPECT_NE(evaluate(m, r).error.find("cache"), std::string::npos);
    r.cache_mb = 3;
    r.scale = 0.75;
    EXPECT_NE(evaluate(m, r).error.find("scale"), std::string::npos);
    r.scale.reset();
    r.options.transistor = 2;
    r.vdd = 1.2; // 65 nm HP: nominal 1.1 V
    const Evaluation e = evaluate(m, r);
    ASSERT_TRUE(e.error.empty());
    bool said = false;
    for (const std::string &note : e.notes)
        said = said || note.find("above the nominal 1.1 V") != std::string::npos;
    EXPECT_TRUE(said);
}

std::string one_chip(const std::string &fields) {
    return "format_version = 1\n[[chip]]\nname = \"X\"\n" + fields;
}
const std::string kGood = "node = \"65nm\"\nnode_nm = 65\ntransistor = \"HP\"\ncore = \"Niagara\"\n"
                          "cores = 8\ncache_mb = 4\nfreq_ghz = 1.4\nsources = [\"a paper\"]\n";

TEST(ChipTable, ReadsTheShippedTable) {
    const ChipTable t = read_chip_table(SOURCE_DIR "/models/chips.toml", builtin_model());
    ASSERT_TRUE(t.errors.empty()) << t.errors[0];
    ASSERT_EQ(t.chips.size(), 8u);
    EXPECT_EQ(t.chips[0].name, "UltraSPARC T1");
    EXPECT_EQ(*t.chips[0].area_mm2, 378);
    EXPECT_EQ(t.chips[0].power_kind, "max");
    EXPECT_EQ(t.chips[7].power_kind, "tdp");
    EXPECT_FALSE(t.chips[4].area_mm2 || t.chips[4].power_w); // Exynos 4210: a clock only
}

TEST(ChipTable, RefusesABadTableWithOneLinePerProblem) {
    struct Case {
        std::string text, expected;
    } cases[] = {
        {one_chip(kGood), ""},
        {one_chip("node = \"65nm\"\nnode_nm = 65\ntransistor = \"HP\"\ncore = \"Niagara\"\n"
                  "cache_mb = 4\nfreq_ghz = 1.4\nsources = [\"a\"]\n"),
         "chip \"X\" cores: the field is missing"},
        {one_chip(kGood + "area_mm2 = -5\narea_covers = \"die\"\n"),
         "chip \"X\" area_mm2: -5 is out of range"},
        {one_chip(kGood + "power_w = 5\n"), "chip \"X\" power_kind: the field is missing"},
        {one_chip(kGood + "power_w = 5\npower_kind = \"peak\"\n"), "\"peak\" is not accepted"},
        {one_chip("node = \"7nm\"\nnode_nm = 7\ntransistor = \"HP\"\ncore = \"Niagara\"\n"
                  "cores = 8\ncache_mb = 4\nfreq_ghz = 1.4\nsources = [\"a\"]\n"),
         "chip \"X\" node: \"7nm\" is not one of the model's"},
        {one_chip("node = \"65nm\"\nnode_nm = 65\ntransistor = \"HP\"\ncore = \"Z80\"\n"
                  "cores = 8\ncache_mb = 4\nfreq_ghz = 1.4\nsources = [\"a\"]\n"),
         "chip \"X\" core: \"Z80\" is not one of the model's"},
        {one_chip(kGood + "colour = 1\n"), "chip \"X\" colour: unknown field"},
        {"format_version = 2\n", "format_version"},
        {"format_version = 1\n[[chip]\n", "TOML syntax"},
    };
    for (const Case &c : cases) {
        const ChipTable t = parse_chip_table(c.text, "t.toml", builtin_model());
        if (c.expected.empty()) {
            EXPECT_TRUE(t.errors.empty()) << t.errors[0];
            continue;
        }
        ASSERT_EQ(t.errors.size(), 1u) << c.text;
        EXPECT_NE(t.errors[0].find(c.expected), std::string::npos) << t.errors[0];
        EXPECT_EQ(t.errors[0].find('\n'), std::string::npos);
        EXPECT_TRUE(t.chips.empty());
    }
}

TEST(Validate, ComparesEveryPublishedFigureAndSummarises) {
    const ChipTable t = read_chip_table(SOURCE_DIR "/models/chips.toml", builtin_model());
    const Validation v = validate(builtin_model(), t.chips);
    EXPECT_EQ(v.summary[int(ChipFigure::Clock)].count, 8u);
    EXPECT_EQ(v.summary[int(ChipFigure::Area)].count, 4u);
    EXPECT_EQ(v.summary[int(ChipFigure::Power)].count, 4u);
    // UltraSPARC T1's clock: the model's 90 nm HP fmax at 1.2 / 1.1 of the nominal supply.
    const ChipComparison &clock = v.rows[0];
    EXPECT_DOUBLE_EQ(clock.predicted, 5.204 * (1.2 / 1.1));
    EXPECT_DOUBLE_EQ(clock.ratio, clock.predicted / 1.2);
    for (const ChipComparison &c : v.rows) {
        if (c.figure == ChipFigure::Power) {
            EXPECT_DOUBLE_EQ(c.terms.power, c.predicted);
        }
    }
}

// Chips whose figures a model with known field values gives exactly.
std::vector<Chip> synthetic_chips(const Model &truth) {
    std::vector<Chip> chips;
    const double cores[] = {4, 8, 12, 16}, caches[] = {2, 3, 6, 4};
    for (int i = 0; i < 4; i++) {
        Chip chip;
        chip.name = "chip " + std::to_string(i);
        chip.options = OptionSet{0, 0, 2, 0, 1};
        chip.cores = cores[i];
        chip.cache_mb = caches[i];
        chip.freq_ghz = 1.0 + 0.2 * i;
        chip.sources = {"made up"};
        chip.freq_ghz = clock_at_supply(truth, chip.options, 1.1);
        EvaluationRequest r{chip.options, {}, chip.cores, chip.cache_mb, {}, 1.1, 1.3};
        chip.vdd_v = 1.1;
        const Evaluation e = evaluate(truth, r);
        chip.area_mm2 = e.figures.area;
        chip.area_covers = "die";
        chips.push_back(chip);
    }
    // Power at the published clock: evaluate at each chip's own clock.
    for (Chip &chip : chips) {
        EvaluationRequest r{chip.options, {}, chip.cores, chip.cache_mb, {}, 1.1, chip.freq_ghz};
        chip.power_w = evaluate(truth, r).figures.power;
        chip.power_kind = "measured";
    }
    return chips;
}

TEST(Calibrate, RecoversTheFieldValuesThatMadeTheChips) {
    Model truth = builtin_model();
    const std::vector<std::string> names = {
        "node.65nm.fmax_HP", "node.65nm.core_area_HP_mm2.Niagara", "core_kind.Niagara.core_power"};
    std::vector<double> values;
    for (const ModelNumberField &f : model_number_fields(truth))
        for (size_t k = 0; k < names.size(); k++)
            if (f.name == names[k]) {
                const double factor[] = {0.37, 1.6, 0.45};
                f.value(truth) *= factor[k];
            }
    for (const std::string &name : names)
        for (const ModelNumberField &f : model_number_fields(truth))
            if (f.name == name)
                values.push_back(f.value(truth));
    const std::vector<Chip> chips = synthetic_chips(truth);
    const Calibration c = calibrate(builtin_model(), chips, names);
    ASSERT_TRUE(c.error.empty()) << c.error;
    for (size_t k = 0; k < names.size(); k++) {
        EXPECT_NE(c.fields[k].before, values[k]);
        EXPECT_NEAR(c.fields[k].after / values[k], 1.0, 1e-6) << names[k];
    }
    EXPECT_LT(c.after.summary[int(ChipFigure::Power)].worst_error, 1e-6);
    EXPECT_LT(c.leave_one_out_summary[int(ChipFigure::Area)].worst_error, 1e-6);

    // The file it writes reads back to the fitted values.
    const std::string text = calibrated_model_text(c, chips, "built-in", "test");
    const ModelFileResult back = parse_model_text(text, "calibrated.toml");
    ASSERT_TRUE(back.errors.empty()) << back.errors[0] << "\n" << text;
    for (const ModelNumberField &f : model_number_fields(*back.model))
        for (const FittedField &fitted : c.fields) {
            if (f.name == fitted.name) {
                EXPECT_EQ(f.value(*back.model), fitted.after);
            }
        }
}

TEST(Calibrate, RefusesAFitItCannotMake) {
    const ChipTable t = read_chip_table(SOURCE_DIR "/models/chips.toml", builtin_model());
    struct Case {
        std::vector<std::string> fields;
        std::string expected;
    } cases[] = {
        {{"constants.parallel_fraction"}, "no chip's clock, area or power depends on it"},
        {{"node.7nm.fmax_HP"}, "names no number of the model"},
        {{"node.65nm.fmax_HP", "node.65nm.fmax_HP"}, "named twice"},
    };
    for (const Case &c : cases) {
        const Calibration result = calibrate(builtin_model(), t.chips, c.fields);
        EXPECT_NE(result.error.find(c.expected), std::string::npos) << result.error;
        EXPECT_FALSE(result.model);
    }
    // Tegra 2's area depends on its cores' area and its L2's alike: the two cannot be told apart.
    const std::vector<Chip> tegra = {t.chips[3]};
    EXPECT_NE(calibrate(builtin_model(), tegra,
                        {"node.45nm.core_area_LOP_mm2.ARM", "node.45nm.L2_area_LOP"})
                  .error.find("cannot tell"),
              std::string::npos);
    // More fields than figures: one chip with a clock only.
    std::vector<Chip> one = {t.chips[4]};
    const Calibration result =
        calibrate(builtin_model(), one, {"node.45nm.fmax_LOP", "node.45nm.Vdd_LOP"});
    EXPECT_NE(result.error.find("2 fields cannot be fitted to 1 published figure"),
              std::string::npos)
        << result.error;
}

} // namespace
