// cpu-widget-cli run end to end with model files: the committed export, the examples, the
// parallel fraction, a file's own names, figures that overflow and refusals.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/state.h"
#include "model/tables.h"
#include "modelfile/model_file.h"
#include "search/search.h"
#include "study/choices.h"
#include "study/design.h"
#include "tests/bad_model_files.h"
#include "tests/cli_command_fixture.h"

namespace {

// Model files: the committed export, the examples, a file's own names, and refusals.

const fs::path kModels = fs::path(SOURCE_DIR) / "models";

TEST_F(CliCommand, ModelExportIsTheCommittedBuiltInModelFile) {
    const Outcome o = run({"model", "export"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, slurp(kModels / "builtin.toml"));
    const Outcome to_file = run({"model", "export", "-o", (folder / "m.toml").string()});
    EXPECT_EQ(to_file.status, 0);
    EXPECT_EQ(to_file.out, "");
    EXPECT_EQ(slurp(folder / "m.toml"), o.out);
}

// The examples through the program give what the library gives with the same file active.
// --parallel-fraction P is the model file that extends the model in use with that parallel
// fraction: every command gives the same rows.
TEST_F(CliCommand, ParallelFractionIsTheModelFileThatSetsIt) {
    const std::string file = (kModels / "parallel-0.95.toml").string();
    for (const std::vector<std::string> &command : std::vector<std::vector<std::string>>{
             {"search", "--format", "csv", "--memory", "3d"},
             {"sweep", "--format", "csv", "--node", "32nm"},
             {"space", "--format", "json", "--cores", "16"},
             {"explain", "--format", "csv", "--pairs"},
             {"budget", "--format", "csv", "--vary", "power=10:300:10", "--binding"}}) {
        std::vector<std::string> fraction = command, model = command;
        fraction.insert(fraction.end(), {"--parallel-fraction", "0.95"});
        model.insert(model.end(), {"--model", file});
        const Outcome a = run(fraction), b = run(model);
        EXPECT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(a.out, b.out) << command[0];
        EXPECT_NE(a.out, run(command).out) << command[0];
    }
    const Outcome text = run({"search", "--parallel-fraction", "0.95"});
    EXPECT_NE(text.out.find("Model:    built-in, parallel fraction 0.95"), std::string::npos);
    EXPECT_EQ(run({"search", "--parallel-fraction", "1.01"}).status, 2);
}

// A workload's own parallel fraction is, for that workload, the model whose constant has that
// value, and leaves the other workloads as they are; --parallel-fraction replaces it too. The
// model line names the fraction a search uses.
TEST_F(CliCommand, WorkloadParallelFractionIsTheConstantForThatWorkload) {
    const fs::path own = folder / "own.toml";
    std::ofstream(own) << "format_version = 1\nextends = \"built-in\"\n[[workload]]\n"
                          "name = \"DB2/TPCH\"\nparallel_fraction = 0.95\n";
    const std::string constant = (kModels / "parallel-0.95.toml").string();
    for (const std::vector<std::string> &command : std::vector<std::vector<std::string>>{
             {"search", "--format", "csv", "--memory", "3d"},
             {"sweep", "--format", "csv", "--node", "32nm"},
             {"space", "--format", "csv", "--cores", "16"},
             {"explain", "--format", "csv", "--pairs"},
             {"budget", "--format", "csv", "--vary", "power=10:300:10"}}) {
        SCOPED_TRACE(command[0]);
        auto with = [&](std::vector<std::string> extra) {
            std::vector<std::string> arguments = command;
            arguments.insert(arguments.end(), extra.begin(), extra.end());
            const Outcome o = run(arguments);
            EXPECT_EQ(o.status, 0) << o.err;
            return o.out;
        };
        const std::string tpch = with({"--model", own.string(), "--workload", "DB2/TPCH"});
        EXPECT_EQ(tpch, with({"--model", constant, "--workload", "DB2/TPCH"}));
        EXPECT_NE(tpch, with({"--workload", "DB2/TPCH"}));
        EXPECT_EQ(with({"--model", own.string(), "--workload", "DB2/TPCC"}),
                  with({"--workload", "DB2/TPCC"}));
        EXPECT_EQ(
            with({"--model", own.string(), "--workload", "DB2/TPCH", "--parallel-fraction", "0.9"}),
            with({"--workload", "DB2/TPCH", "--parallel-fraction", "0.9"}));
    }
    const Outcome text = run({"search", "--model", own.string(), "--workload", "DB2/TPCH"});
    EXPECT_NE(text.out.find(", parallel fraction 0.95 (docs/model.md)"), std::string::npos)
        << text.out;
    const Outcome rows = run({"sweep", "--model", own.string(), "--node", "20nm"});
    EXPECT_NE(rows.out.find(", parallel fraction 0.99 (DB2/TPCH 0.95) (docs/model.md)"),
              std::string::npos)
        << rows.out;
}

// A model file with figures outside their typical ranges is used as it is, with one warning
// per field on standard error; --quiet, on any command, says nothing of them.
TEST_F(CliCommand, ImplausibleFiguresAreWarnedAboutUnlessQuiet) {
    const fs::path odd = folder / "odd.toml";
    std::ofstream(odd) << "format_version = 1\nextends = \"built-in\"\n[[node]]\nname = \"65nm\"\n"
                          "Vdd_LOP = 2.4\nfmax_HP = 12\n";
    for (const char *command : {"search", "sweep", "space", "explain", "budget", "pareto",
                                "sensitivity", "uncertainty", "plot", "model"}) {
        SCOPED_TRACE(command);
        std::vector<std::string> arguments{command, "--model", odd.string()};
        if (std::string(command) == "budget")
            arguments.insert(arguments.end(), {"--vary", "power=10:100:10"});
        if (std::string(command) == "uncertainty")
            arguments.insert(arguments.end(), {"--samples", "20"});
        if (std::string(command) == "plot")
            arguments.insert(arguments.end(), {"-o", (folder / "map.png").string()});
        if (std::string(command) == "model")
            arguments.insert(arguments.begin() + 1, "export");
        const Outcome loud = run(arguments);
        ASSERT_EQ(loud.status, 0) << loud.err;
        const std::string prefix = "cpu-widget-cli: warning: " + odd.string();
        EXPECT_NE(loud.err.find(prefix + ":5: node \"65nm\" Vdd_LOP: 2.4 V"), std::string::npos)
            << loud.err;
        EXPECT_NE(loud.err.find(prefix + ":6: node \"65nm\" fmax_HP: 12 GHz"), std::string::npos)
            << loud.err;
        arguments.push_back("--quiet");
        const Outcome quiet = run(arguments);
        EXPECT_EQ(quiet.status, 0) << quiet.err;
        EXPECT_EQ(quiet.err.find("warning:"), std::string::npos) << quiet.err;
        EXPECT_EQ(quiet.out, loud.out);
    }
}

TEST_F(CliCommand, ExampleModelFilesChangeOnlyWhatTheyName) {
    struct Case {
        const char *file, *workload;
        double parallel;
    };
    for (const Case &c :
         {Case{"builtin.toml", "DB2/TPCC", 0.99}, Case{"parallel-0.95.toml", "DB2/TPCC", 0.95},
          Case{"extra-workload.toml", "Analytics", 0.99}}) {
        const std::string path = (kModels / c.file).string();
        SCOPED_TRACE(path);
        const Outcome json = run({"search", "--model", path, "--workload", c.workload, "--memory",
                                  "3d", "--node", "32nm", "--format", "json"});
        ASSERT_EQ(json.status, 0) << json.err;
        const Outcome text = run({"search", "--model", path, "--workload", c.workload});
        EXPECT_NE(
            text.out.find("Model:    " + path + ", parallel fraction " + shortest(c.parallel)),
            std::string::npos)
            << text.out;

        const ModelFileResult loaded = load_model_file(path);
        ASSERT_TRUE(loaded.model);
        set_active_model(loaded.model);
        OptionSet options{*find_choice(Choice::Workload, c.workload), 1, 0, 0, 3};
        apply_request(Request{options, {}, {}});
        const double speedup = speedup_max(0, 0, 0);
        set_active_model(nullptr);
        EXPECT_EQ(nlohmann::json::parse(json.out).at(0)["speedup"].get<double>(), speedup);
    }
    const Outcome builtin = run({"search", "--workload", "Analytics"});
    EXPECT_EQ(builtin.status, 2);
    const Outcome rows =
        run({"sweep", "--model", (kModels / "extra-workload.toml").string(), "--format", "csv"});
    EXPECT_EQ(count_lines(rows.out), 1u + 4 * 2 * 3 * 4 * 5);
}

// A node the file adds is an option like the built-in ones, under its own name.
TEST_F(CliCommand, NodeNamesComeFromTheModelFile) {
    Model model = builtin_model();
    NodeRecord node = model.nodes.back();
    node.name = node.window_item = "7nm";
    node.tech.area_budget = 100;
    model.nodes.push_back(node);
    const fs::path path = folder / "seven.toml";
    std::ofstream(path) << export_model(model);
    const Outcome o = run({"search", "--model", path.string(), "--node", "7nm"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Niagara, 7nm"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("area 100 mm^2"), std::string::npos) << o.out;
    EXPECT_EQ(run({"search", "--node", "7nm"}).status, 2);
}

// Every kind of bad file: refused by the tool and by the window's program alike, with the
// file, line and field named, status 2 and nothing on standard output.
TEST_F(CliCommand, BadModelFilesAreRefusedWithFileLineAndField) {
    for (const BadModelFile &bad : kBadModelFiles) {
        SCOPED_TRACE(bad.name);
        const fs::path path = folder / "bad.toml";
        std::ofstream(path, std::ios::binary) << bad.text;
        for (const bool window : {false, true}) {
            const char *program = window ? WINDOW_PROGRAM : CLI_PROGRAM;
            const Outcome o = window ? run({"--model", path.string()}, {}, program)
                                     : run({"search", "--model", path.string()});
            EXPECT_EQ(o.status, 2) << program;
            EXPECT_EQ(o.out, "") << program;
            const std::string where = path.string() + ":" + std::to_string(bad.line) + ":";
            EXPECT_NE(o.err.find(where), std::string::npos) << o.err;
            EXPECT_NE(o.err.find(bad.field), std::string::npos) << o.err;
        }
    }
}

// A model file whose figures overflow (a reference supply of 1e-30 with no core power: power
// NaN everywhere; a core performance of 1e306: infinite figures from a few cores up). Nothing
// with such a figure is selected or counted as meeting a limit, and every command says so once
// on standard error; the built-in model has no such configuration in any option set.
TEST_F(CliCommand, NonFiniteFiguresBreakEveryLimitAndAreReportedOnce) {
    const fs::path nan_power = folder / "zero-power.toml", overflow = folder / "overflow.toml";
    std::ofstream(nan_power) << "format_version = 1\nextends = \"built-in\"\n[[core_kind]]\n"
                                "name = \"Niagara\"\ncore_power = 0\nuncore_power = 0\n"
                                "ref_Vdd = 1e-30\n";
    std::ofstream(overflow) << "format_version = 1\nextends = \"built-in\"\n[[core_kind]]\n"
                               "name = \"Niagara\"\ncore_perf = 1e306\n";
    const Outcome best = run(
        {"search", "--model", nan_power.string(), "--power", "0", "--format", "json", "--quiet"});
    EXPECT_EQ(best.status, 0) << best.err;
    EXPECT_FALSE(nlohmann::json::parse(best.out).at(0)["feasible"].get<bool>()) << best.out;
    EXPECT_EQ(count_lines(best.err), 1u) << best.err;
    EXPECT_NE(best.err.find("18760 configurations have a figure that is not finite"),
              std::string::npos)
        << best.err;
    EXPECT_NE(best.err.find("power -nan W"), std::string::npos) << best.err;

    const Outcome rows = run({"space", "--model", overflow.string(), "--bw", "1e306", "--power",
                              "1e306", "--format", "json"});
    ASSERT_EQ(rows.status, 0) << rows.err;
    size_t non_finite = 0, feasible = 0;
    for (const nlohmann::json &row : nlohmann::json::parse(rows.out)) {
        bool finite = true;
        for (const char *figure : {"area_mm2", "power_w", "bandwidth_gbps", "speedup"})
            finite = finite && !row[figure].is_null();
        non_finite += !finite;
        feasible += row["feasible"].get<bool>();
        if (!finite) {
            EXPECT_TRUE(row["breaks_area"].get<bool>() && row["breaks_power"].get<bool>() &&
                        row["breaks_bandwidth"].get<bool>())
                << row;
        }
    }
    EXPECT_GT(non_finite, 0u);
    EXPECT_GT(feasible, 0u);
    EXPECT_NE(rows.err.find(std::to_string(non_finite) + " configurations"), std::string::npos)
        << rows.err;
    const Outcome search = run({"search", "--model", overflow.string(), "--bw", "1e306", "--power",
                                "1e306", "--format", "json"});
    const nlohmann::json found = nlohmann::json::parse(search.out).at(0);
    EXPECT_TRUE(found["feasible"].get<bool>());
    EXPECT_FALSE(found["power_w"].is_null()) << found;

    for (const std::vector<std::string> &command : std::vector<std::vector<std::string>>{
             {"explain", "--power", "0"},
             {"sweep", "--jobs", "2"},
             {"budget", "--vary", "power=0:100:10", "--series", "node"},
             {"plot", "--chart", "scaling", "-o", (folder / "s.svg").string()}}) {
        std::vector<std::string> arguments = command;
        arguments.insert(arguments.end(), {"--model", nan_power.string(), "--quiet"});
        const Outcome o = run(arguments);
        EXPECT_EQ(o.status, 0) << command[0] << ": " << o.err;
        // Said once, beside at most the note on the ends of the design space's axes.
        const size_t said = o.err.find("not finite");
        EXPECT_NE(said, std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("not finite", said + 1), std::string::npos) << o.err;
        EXPECT_EQ(count_lines(o.err), 1u + (o.err.find(": note: ") != std::string::npos))
            << command[0] << ": " << o.err;
        EXPECT_EQ(o.out.find("nan W"), std::string::npos) << command[0] << ": " << o.out;
    }
    const std::string display = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    const Outcome window = run({"--model", nan_power.string(), "--quiet"}, {}, WINDOW_PROGRAM);
    // Without --quiet, the window warns of the supply of 1e-30 V as well.
    const Outcome loud = run({"--model", nan_power.string()}, {}, WINDOW_PROGRAM);
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(count_lines(window.err), 2u) << window.err;
    EXPECT_EQ(count_lines(loud.err), 3u) << loud.err;
    EXPECT_EQ(loud.err.rfind("cpu-widget: warning: " + nan_power.string() +
                                 ":7: core_kind \"Niagara\" ref_Vdd: 1e-30 V",
                             0),
              0u)
        << loud.err;
    EXPECT_NE(
        window.err.find("cpu-widget: 1688400 configurations have a figure that is not finite"),
        std::string::npos)
        << window.err;

    const Outcome slack = run({"explain", "--model", nan_power.string(), "--power", "0"});
    EXPECT_EQ(slack.out.find("nan"), std::string::npos) << slack.out;

    std::vector<Request> every;
    for (const OptionSet &o : every_option_set())
        every.push_back(Request{o, {}, {}});
    EXPECT_EQ(non_finite_figures(every).count, 0u);
}

// Text figures take the digits they need and no more: scale steps of a model file such as 0.95
// and 0.94 are told apart and taken back (the built-in 1.0 ... 0.3 stay as they are, see the
// output digests); a slack under a limit of 1.8e308 is not 309 digits; a fraction of -0 is 0.
TEST_F(CliCommand, TextFiguresTakeTheDigitsTheyNeed) {
    // A relaxed limit reads as a person would type it: 146 W times 1.1 is 160.60000000000002.
    EXPECT_NE(run({"explain", "--node", "45nm"}).out.find("With power at 160.6 W: "),
              std::string::npos);
    const fs::path path = folder / "steps.toml";
    std::ofstream(path) << "format_version = 1\nextends = \"built-in\"\n[axes]\n"
                           "scale_steps = [1.0, 0.95, 0.94, 0.7, 0.6, 0.5, 0.4, 0.3]\n";
    const Outcome refused = run({"search", "--model", path.string(), "--scale", "0.9"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("1.0, 0.95, 0.94, 0.7, 0.6"), std::string::npos) << refused.err;
    const Outcome held = run({"search", "--model", path.string(), "--scale", "0.94"});
    EXPECT_EQ(held.status, 0) << held.err;
    EXPECT_NE(held.out.find("scale step       0.94\n"), std::string::npos) << held.out;
    EXPECT_NE(held.out.find("scale step 0.94"), std::string::npos) << held.out;
    const Outcome rows = run({"space", "--model", path.string(), "--cores", "8", "--cache", "4"});
    for (const char *step : {"\n  1.0 ", "\n 0.95 ", "\n 0.94 ", "\n  0.7 "})
        EXPECT_NE(rows.out.find(step), std::string::npos) << step << rows.out;

    const Outcome huge = run({"explain", "--area", "1.7976931348623157e308"});
    EXPECT_EQ(huge.status, 0) << huge.err;
    std::istringstream lines(huge.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LT(line.size(), 140u) << line;
    EXPECT_NE(huge.out.find("1.79769e+308"), std::string::npos) << huge.out;
    const fs::path zero = folder / "zero.toml";
    std::ofstream(zero) << "format_version = 1\nextends = \"built-in\"\n[constants]\n"
                           "parallel_fraction = -0.0\n";
    const Outcome serial = run({"search", "--model", zero.string()});
    EXPECT_NE(serial.out.find("parallel fraction 0 "), std::string::npos) << serial.out;
}

} // namespace
