// The optional model-file fields that bring the model closer to real dies: a node's uncore area
// and power, and the alpha-power frequency law. Off, they leave every figure as it is; on, each
// figure moves by exactly what docs/model.md says, on every path the searches take.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/run.h"
#include "model/scaling.h"
#include "modelfile/model_file.h"
#include "search/engine.h"
#include "tests/model_sources.h"

namespace {

bool same_bits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

void expect_same_figures(const ConfigurationFigures &a, const ConfigurationFigures &b) {
    EXPECT_TRUE(same_bits(a.area, b.area)) << a.area << " " << b.area;
    EXPECT_TRUE(same_bits(a.power, b.power)) << a.power << " " << b.power;
    EXPECT_TRUE(same_bits(a.bandwidth, b.bandwidth));
    EXPECT_TRUE(same_bits(a.bandwidth_tsv, b.bandwidth_tsv));
    EXPECT_TRUE(same_bits(a.speedup, b.speedup)) << a.speedup << " " << b.speedup;
}

std::shared_ptr<const Model> parsed(const std::string &text) {
    const ModelFileResult r = parse_model_text(text, "options.toml");
    EXPECT_TRUE(r.model) << (r.errors.empty() ? "" : r.errors[0]);
    return r.model;
}

// A built-in node with an uncore, and the alpha-power law with exponent 1.3 when alpha is set.
std::string with_uncore(double area, double power, bool alpha = false) {
    char text[512];
    snprintf(text, sizeof text,
             "format_version = 1\nextends = \"built-in\"\n%s"
             "[[node]]\nname = \"45nm\"\nuncore_area_mm2 = %.17g\nuncore_power_W = %.17g\n",
             alpha ? "[voltage_frequency]\nfrequency_law = \"alpha_power\"\nalpha = 1.3\n" : "",
             area, power);
    return text;
}

SearchSpec spec_at(const Model &m, int workload, int memory, int transistor, int kind, int node) {
    SearchSpec s;
    s.model = &m;
    s.workload = workload, s.memory = memory, s.transistor = transistor;
    s.core_kind = kind, s.node = node;
    const TranTechRecord &t = m.nodes[size_t(node)].tech;
    s.limits = LimitChecks{true, true, true, t.area_budget, t.power_budget, t.bw_offchip, t.bw_tsv};
    return s;
}

template <class F> void each_option_set(const Model &m, F f) {
    for (int w = 0; w < int(m.workloads.size()); w++)
        for (int mem = 0; mem < 2; mem++)
            for (int t = 0; t < 3; t++)
                for (int k = 0; k < int(m.core_kinds.size()); k++)
                    for (int n = 0; n < int(m.nodes.size()); n++)
                        f(spec_at(m, w, mem, t, k, n));
}

TEST(OffFields, GiveTheBuiltInFiguresOfEveryConfigurationBitForBit) {
    const auto off = parsed(off_fields_text());
    ASSERT_TRUE(off);
    const Model &builtin = builtin_model();
    int differing = 0;
    each_option_set(builtin, [&](SearchSpec a) {
        SearchSpec b = a;
        b.model = off.get();
        const auto x = evaluate_design_space(a), y = evaluate_design_space(b);
        ASSERT_EQ(x.size(), y.size());
        for (size_t i = 0; i < x.size(); i++) {
            const ConfigurationFigures &f = x[i].figures, &g = y[i].figures;
            differing += !same_bits(f.area, g.area) || !same_bits(f.power, g.power) ||
                         !same_bits(f.speedup, g.speedup) || !same_bits(f.bandwidth, g.bandwidth);
        }
        const SearchOutcome s = search_design_space(a), t = search_design_space(b);
        EXPECT_EQ(s.scale * 10000 + s.cache * 100 + s.cores,
                  t.scale * 10000 + t.cache * 100 + t.cores);
        expect_same_figures(s.figures, t.figures);
    });
    EXPECT_EQ(differing, 0);
}

TEST(Uncore, AddsItsAreaAndItsScaledPowerToEveryConfiguration) {
    const auto m = parsed(with_uncore(120, 30));
    ASSERT_TRUE(m);
    const Model &builtin = builtin_model();
    each_option_set(builtin, [&](SearchSpec a) {
        if (a.node != 2 || a.workload != 0)
            return;
        SearchSpec b = a;
        b.model = m.get();
        for (int scale : {0, 3, 7})
            for (int cache : {0, 10, 66}) {
                const PowerBreakdown x = power_breakdown(a, scale, cache, 5);
                const PowerBreakdown y = power_breakdown(b, scale, cache, 5);
                const ConfigurationFigures fx = evaluate_design_point(a, scale, cache, 5);
                const ConfigurationFigures fy = evaluate_design_point(b, scale, cache, 5);
                EXPECT_EQ(fy.area, fx.area + 120);
                EXPECT_EQ(y.uncore_area, 120);
                // 30 W at the nominal supply and fmax, times fl(v)^2 and the frequency ratio.
                const double v = voltage_step(builtin.nodes[2].tech, a.transistor,
                                              builtin.scale_steps[size_t(scale)]);
                const float vf = float(v);
                const double f = f_scal(builtin, builtin.scale_steps[size_t(scale)]);
                EXPECT_EQ(y.chip.uncore, 30 * double(vf * vf) * f);
                EXPECT_EQ(y.chip.total(), x.chip.total() + y.chip.uncore);
                const double stack = a.memory != 0 ? x.memory_stack : 0.0;
                EXPECT_EQ(fy.power, a.memory != 0 ? y.chip.total() + stack : y.chip.total());
                EXPECT_EQ(fy.speedup, fx.speedup);
            }
    });
}

// The searches' tables and shortcuts against the model functions whole, and the best
// configuration against a pass over every configuration.
TEST(Uncore, TheSearchPathsAgreeWithTheModelFunctionsAndWithBruteForce) {
    for (bool alpha : {false, true}) {
        const auto m = parsed(with_uncore(80, 25, alpha));
        ASSERT_TRUE(m);
        each_option_set(*m, [&](SearchSpec s) {
            if (s.node != 2 || s.workload == 2)
                return;
            s.limits.area_limit = 300, s.limits.power_limit = 90;
            const auto all = evaluate_design_space(s);
            SearchOutcome brute;
            for (const EvaluatedConfiguration &c : all) {
                if (c.scale == 2 && c.cache % 16 == 0 && c.cores % 7 == 0)
                    expect_same_figures(c.figures,
                                        evaluate_design_point(s, c.scale, c.cache, c.cores));
                const ConfigurationFigures &f = c.figures;
                if (f.area > 300 || f.power > 90 || f.bandwidth > s.limits.bandwidth_limit ||
                    (s.memory != 0 && f.bandwidth_tsv > s.limits.tsv_limit))
                    continue;
                if (f.speedup >= brute.speedup)
                    brute = SearchOutcome{true, f.speedup, c.scale, c.cache, c.cores, f};
            }
            const SearchOutcome best = search_design_space(s);
            EXPECT_EQ(best.found, brute.found);
            EXPECT_EQ(best.speedup, brute.speedup);
            EXPECT_EQ(best.scale * 10000 + best.cache * 100 + best.cores,
                      brute.scale * 10000 + brute.cache * 100 + brute.cores);
        });
    }
}

// A step under the alpha-power law runs where the table's model runs when held at the same
// supply and at the law's frequency.
TEST(AlphaPowerLaw, SetsEachStepsFrequencyFromTheSupplyApplied) {
    const auto m = parsed("format_version = 1\nextends = \"built-in\"\n[voltage_frequency]\n"
                          "frequency_law = \"alpha_power\"\nalpha = 1.5\n");
    ASSERT_TRUE(m);
    const Model &builtin = builtin_model();
    for (int transistor = 0; transistor < 3; transistor++)
        for (int node = 0; node < 5; node++)
            for (int scale = 0; scale < kScaleSteps; scale++) {
                const TranTechRecord &t = builtin.nodes[size_t(node)].tech;
                const double v = voltage_step(t, transistor, builtin.scale_steps[size_t(scale)]);
                const double vdd = transistor == 0 ? t.Vdd_LOP : t.Vdd_HP;
                const double vth = transistor == 0 ? t.Vth_LOP : t.Vth_HP;
                const double law =
                    std::pow(vdd * v - vth, 1.5) / (vdd * v) / (std::pow(vdd - vth, 1.5) / vdd);
                EXPECT_EQ(
                    step_frequency_ratio(*m, t, transistor, builtin.scale_steps[size_t(scale)]),
                    law);
                SearchSpec held = spec_at(builtin, 1, 0, transistor, 3, node);
                held.hold_scale = true, held.vdd_ratio = v, held.f_ratio = law;
                SearchSpec step = spec_at(*m, 1, 0, transistor, 3, node);
                expect_same_figures(evaluate_design_point(step, scale, 20, 9),
                                    evaluate_design_point(held, scale, 20, 9));
            }
    // Step 1.0 runs at fmax; a supply at or below the threshold does not switch.
    EXPECT_EQ(alpha_power_ratio(1.1, 0.3, 1.3, 1.0), 1.0);
    EXPECT_EQ(alpha_power_ratio(1.1, 0.3, 1.3, 0.25), 0.0);
    EXPECT_LT(alpha_power_ratio(1.1, 0.3, 1.3, 0.5), 0.5);
}

TEST(OptionalFields, ExportWritesThemOnlyWhenOnAndReadsThemBack) {
    EXPECT_EQ(export_model(builtin_model()).find("uncore_area_mm2"), std::string::npos);
    EXPECT_EQ(export_model(builtin_model()).find("frequency_law"), std::string::npos);
    const auto m = parsed(with_uncore(0.1 + 0.2, 7.25, true));
    ASSERT_TRUE(m);
    const ModelFileResult back = parse_model_text(export_model(*m), "back.toml");
    ASSERT_TRUE(back.model);
    EXPECT_TRUE(back.warnings.empty()) << back.warnings[0];
    EXPECT_EQ(back.model->frequency_law, FrequencyLaw::AlphaPower);
    EXPECT_EQ(back.model->alpha, 1.3);
    EXPECT_EQ(back.model->nodes[2].uncore_area_mm2, 0.1 + 0.2);
    EXPECT_EQ(back.model->nodes[2].uncore_power_W, 7.25);
    EXPECT_EQ(back.model->nodes[1].uncore_area_mm2, 0);
}

TEST(OptionalFields, OutsideTheirTypicalRangesAreWarnedAbout) {
    const ModelFileResult r =
        parse_model_text("format_version = 1\nextends = \"built-in\"\n[voltage_frequency]\n"
                         "frequency_law = \"alpha_power\"\nalpha = 3\n[[node]]\nname = \"20nm\"\n"
                         "uncore_area_mm2 = 900\nuncore_power_W = 12\n",
                         "odd.toml");
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(
        r.warnings[0],
        "odd.toml:5: voltage_frequency alpha: 3 is outside the typical range; typical: 1 to 2");
    EXPECT_EQ(r.warnings[1], "odd.toml:8: node \"20nm\" uncore_area_mm2: 900 mm^2 is outside the "
                             "typical range; typical: 0 to 600 mm^2");
}

std::string cli_output(std::vector<const char *> argv) {
    FILE *out = tmpfile(), *err = tmpfile();
    argv.insert(argv.begin(), "cpu-widget-cli");
    EXPECT_EQ(run_cli(int(argv.size()), argv.data(), out, err), 0);
    std::string text;
    rewind(out);
    for (int c; (c = fgetc(out)) != EOF;)
        text += char(c);
    fclose(out), fclose(err);
    return text;
}

// --breakdown names the uncore's power and area, and the power's terms still add up to it.
TEST(Uncore, HasItsPlaceInTheBreakdown) {
    const std::string path = testing::TempDir() + "uncore.toml";
    FILE *file = fopen(path.c_str(), "w");
    ASSERT_TRUE(file);
    fputs(with_uncore(100, 20).c_str(), file);
    fclose(file);
    const std::string text = cli_output({"search", "--model", path.c_str(), "--node", "45nm",
                                         "--area", "400", "--breakdown", "--quiet"});
    EXPECT_NE(text.find("    uncore              100.00 mm^2"), std::string::npos) << text;
    EXPECT_NE(text.find("    uncore           "), text.rfind("    uncore           ")) << text;
    const std::string csv =
        cli_output({"search", "--model", path.c_str(), "--node", "45nm", "--area", "400",
                    "--breakdown", "--format", "csv", "--quiet"});
    EXPECT_NE(csv.find(",power_memory_stack_w,power_uncore_w,area_uncore_mm2"), std::string::npos)
        << csv;
    const std::string plain = cli_output({"search", "--node", "45nm", "--breakdown"});
    EXPECT_EQ(plain.find("uncore"), std::string::npos);
    std::remove(path.c_str());
}

// What the tool reports as a step's frequency is what the search ran at under the law.
TEST(AlphaPowerLaw, TheReportedFrequencyIsTheOneTheFiguresUse) {
    const std::string path = testing::TempDir() + "alpha.toml";
    FILE *file = fopen(path.c_str(), "w");
    ASSERT_TRUE(file);
    fputs("format_version = 1\nextends = \"built-in\"\n[voltage_frequency]\n"
          "frequency_law = \"alpha_power\"\nalpha = 1.2\n",
          file);
    fclose(file);
    const std::string text = cli_output(
        {"search", "--model", path.c_str(), "--node", "32nm", "--scale", "0.5", "--quiet"});
    const auto m = parsed("format_version = 1\nextends = \"built-in\"\n[voltage_frequency]\n"
                          "frequency_law = \"alpha_power\"\nalpha = 1.2\n");
    const TranTechRecord &t = m->nodes[3].tech;
    const double v = voltage_step(t, 0, 0.5);
    char line[64];
    snprintf(line, sizeof line, "  frequency        %.3f GHz\n",
             t.fmax_LOP * alpha_power_ratio(t.Vdd_LOP, t.Vth_LOP, 1.2, v));
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
    snprintf(line, sizeof line, "  frequency        %.3f GHz\n", t.fmax_LOP * 0.44);
    EXPECT_EQ(text.find(line), std::string::npos) << text;
    std::remove(path.c_str());
}

} // namespace
