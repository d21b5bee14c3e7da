// cpu-widget-cli run as a user runs it: its output, exit status and files, end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "cli/plot.h"
#include "cli/run.h"
#include "model/model.h"
#include "model/state.h"
#include "model/tables.h"
#include "modelfile/model_file.h"
#include "search/search.h"
#include "search/trace.h"
#include "study/choices.h"
#include "study/design.h"
#include "tests/cli_command_fixture.h"
#include "tests/cli_in_process.h"

namespace {

namespace fs = std::filesystem;

TEST_F(CliCommand, SearchPrintsTheBestConfigurationAndNoTraceLines) {
    // With 3D memory and HP transistors the model traces a power line for every configuration.
    const Outcome o = run({"search", "--memory", "3d", "--transistor", "HP"});
    EXPECT_EQ(o.status, 0);
    // At most the note on the ends of the design space's axes.
    EXPECT_TRUE(o.err.empty() || o.err.rfind("cpu-widget-cli: note: ", 0) == 0) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), o.err.empty() ? 0 : 1);
    EXPECT_NE(o.out.find("Best configuration"), std::string::npos);
    EXPECT_NE(o.out.find("speedup          49.8507"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("power_W_result1"), std::string::npos);
    EXPECT_EQ(o.out.find("SpeedUp_max"), std::string::npos);
}

TEST_F(CliCommand, SearchJsonCarriesSpeedupMaxFiguresExactly) {
    const Outcome o = run({"search", "--workload", "Apache/Web", "--memory", "3d", "--transistor",
                           "LOP/HP", "--core", "FPGA", "--node", "32nm", "--format", "json"});
    ASSERT_EQ(o.status, 0);
    const nlohmann::json row = nlohmann::json::parse(o.out).at(0);

    apply_request(Request{OptionSet{2, 1, 1, 1, 3}, {}, {}});
    const double speedup = speedup_max(0, 0, 0);
    EXPECT_EQ(row["feasible"], true);
    EXPECT_EQ(row["speedup"].get<double>(), speedup);
    EXPECT_EQ(row["cores"].get<int>(), int(Cores_Num[User_Option[8]]));
    EXPECT_EQ(row["cache_mb"].get<int>(), int(Cache_Size[User_Option[9]]));
    EXPECT_EQ(row["scale"].get<double>(), Target_Array[User_Option[10]]);
    EXPECT_EQ(row["vdd_v"].get<double>(), VDD_G);
    EXPECT_EQ(row["freq_ghz"].get<double>(), FRE);
    EXPECT_EQ(row["area_mm2"].get<double>(), AREA_RESULT);
    EXPECT_EQ(row["power_w"].get<double>(), POWER_RESULT);
    EXPECT_EQ(row["bandwidth_gbps"].get<double>(), BW_RESULT);
    EXPECT_EQ(row["tsv_bandwidth_gbps"].get<double>(), BW_RESULT_TSV);
    EXPECT_EQ(row["tsv_limit_gbps"].get<double>(), 512.0);
}

TEST_F(CliCommand, SearchWithNothingFeasibleSaysWhyAndSucceeds) {
    const Outcome text = run({"search", "--node", "90nm"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("No configuration meets the limits"), std::string::npos);
    EXPECT_NE(text.out.find("area limit 0 mm^2"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Best configuration"), std::string::npos);

    const Outcome csv = run({"search", "--node", "90nm", "--format", "csv"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(count_lines(csv.out), 2u);
    EXPECT_NE(csv.out.find(",false,,,,,,,,,,,area\n"), std::string::npos) << csv.out;

    const Outcome json = run({"search", "--node", "90nm", "--format", "json"});
    const nlohmann::json row = nlohmann::json::parse(json.out).at(0);
    EXPECT_EQ(row["feasible"], false);
    EXPECT_TRUE(row["speedup"].is_null());
    EXPECT_TRUE(row["cores"].is_null());
}

TEST_F(CliCommand, SearchHoldsTheGivenDimensions) {
    const Outcome o = run({"search", "--cores", "16", "--scale", "0.5", "--vdd", "0.45", "--area",
                           "1000", "--power", "500", "--format", "json"});
    ASSERT_EQ(o.status, 0) << o.err;
    const nlohmann::json row = nlohmann::json::parse(o.out).at(0);
    EXPECT_EQ(row["feasible"], true);
    EXPECT_EQ(row["cores"], 16);
    EXPECT_EQ(row["scale"], 0.5);
    EXPECT_EQ(row["vdd_v"], 0.45);
    EXPECT_EQ(row["area_limit_mm2"], 1000.0);
}

TEST_F(CliCommand, SweepWritesEveryOptionCombination) {
    const Outcome csv = run({"sweep", "--format", "csv"});
    EXPECT_EQ(csv.status, 0);
    EXPECT_EQ(count_lines(csv.out), 361u);
    const Outcome json = run({"sweep", "--format", "json", "--power", "90"});
    const nlohmann::json rows = nlohmann::json::parse(json.out);
    ASSERT_EQ(rows.size(), 360u);
    size_t infeasible = 0;
    for (const nlohmann::json &row : rows) {
        EXPECT_EQ(row["power_limit_w"], 90.0);
        infeasible += row["feasible"] == false;
    }
    EXPECT_GE(infeasible, 72u);
    const Outcome text = run({"sweep"});
    EXPECT_EQ(count_lines(text.out), 362u); // the model line, the header, 360 rows
    EXPECT_EQ(text.out.rfind("Model:    built-in, parallel fraction 0.99", 0), 0u);
}

// The option flags pick the option sets a sweep goes through, in the model's order whatever the
// order or repetition of the flags: exactly the full sweep's rows of those option sets.
TEST_F(CliCommand, SweepTakesOptionFlagsAsFilters) {
    const Outcome all = run({"sweep", "--format", "csv", "--power", "80"});
    const Outcome some =
        run({"sweep", "--format", "csv", "--power", "80", "--node", "20nm", "--workload",
             "DB2/TPCH", "--node", "32NM", "--node", "20nm", "--memory", "3d"});
    ASSERT_EQ(some.status, 0);
    std::stringstream lines(all.out);
    std::string expected, line;
    for (std::getline(lines, line), expected = line + "\n"; std::getline(lines, line);)
        if (line.rfind("DB2/TPCH,3d,", 0) == 0 &&
            (line.find(",32nm,") != std::string::npos || line.find(",20nm,") != std::string::npos))
            expected += line + "\n";
    EXPECT_EQ(count_lines(some.out), 1 + 3 * 4 * 2u);
    EXPECT_EQ(some.out, expected);
}

// With the energy figures or another objective, sweep keeps its option filters and --flags its
// columns (after the ends of axes come the energy columns), and search its "Edges:" line.
TEST_F(CliCommand, EnergyColumnsKeepTheFiltersAndFlags) {
    const Outcome all = run({"sweep", "--objective", "energy", "--format", "csv"});
    const Outcome some = run(
        {"sweep", "--objective", "energy", "--format", "csv", "--node", "32nm", "--memory", "3d"});
    ASSERT_EQ(some.status, 0);
    std::stringstream lines(all.out);
    std::string expected, line;
    for (std::getline(lines, line), expected = line + "\n"; std::getline(lines, line);)
        if (line.find(",3d,") != std::string::npos && line.find(",32nm,") != std::string::npos)
            expected += line + "\n";
    EXPECT_EQ(count_lines(some.out), 1 + 3 * 3 * 4u);
    EXPECT_EQ(some.out, expected);

    for (const char *command : {"search", "sweep"}) {
        const std::string csv = run({command, "--energy", "--flags", "--format", "csv"}).out;
        EXPECT_NE(csv.find("unmeetable_limits,edge_cores,edge_cache,edge_scale,speedup_per_watt,"
                           "energy_j,edp_js\n"),
                  std::string::npos)
            << command;
    }
    EXPECT_NE(run({"search", "--energy", "--flags"})
                  .out.find("Edges:    smallest L2 cache (1 MB), first scale step (1.0)\n"),
              std::string::npos);
}

// A best configuration at the end of an axis it was free to move along is noted on standard
// error (the output keeps its bytes) and, with --flags, named in columns; a held axis is not.
TEST_F(CliCommand, EdgesOfTheDesignSpaceAreNoted) {
    const Outcome text = run({"search"});
    EXPECT_EQ(text.err, "cpu-widget-cli: note: the best configuration sits at the end of an axis "
                        "of the design space (smallest L2 cache (1 MB), first scale step (1.0)); "
                        "--flags gives the ends as columns\n");
    EXPECT_EQ(run({"search", "--flags"}).out,
              text.out + "Edges:    smallest L2 cache (1 MB), first scale step (1.0)\n");
    EXPECT_EQ(run({"search", "--cache", "1", "--scale", "1.0"}).err, "");

    const nlohmann::json rows =
        nlohmann::json::parse(run({"sweep", "--flags", "--format", "json"}).out);
    size_t at_edges = 0;
    for (const nlohmann::json &row : rows) {
        auto end = [&](const std::string &axis, const char *column, double low, double high,
                       const char *low_name, const char *high_name) {
            const nlohmann::json edge = row["edge_" + axis];
            nlohmann::json expected;
            if (row["feasible"].get<bool>()) {
                const double v = row[column].get<double>();
                expected = v == low    ? nlohmann::json(low_name)
                           : v == high ? nlohmann::json(high_name)
                                       : nlohmann::json();
            }
            EXPECT_EQ(edge, expected) << row.dump();
            return !edge.is_null();
        };
        const bool cores = end("cores", "cores", 1, 192, "fewest", "most");
        const bool cache = end("cache", "cache_mb", 1, 512, "smallest", "largest");
        const bool scale = end("scale", "scale", 1.0, 0.3, "first", "last");
        at_edges += cores || cache || scale;
    }
    EXPECT_EQ(at_edges, 65u);
    EXPECT_EQ(run({"sweep"}).err, "cpu-widget-cli: note: 65 of the best configurations sit at the "
                                  "end of an axis of the design space; --flags gives the ends as "
                                  "columns\n");
}

// --breakdown adds the power's terms after every other column and only with it (the
// optimum's, then the relaxed configuration's in explain); they add up to power_w in the
// documented order, and are empty without a configuration. In text they are lines under the
// power line (search, explain) or columns before "breaks" (space).
TEST_F(CliCommand, BreakdownAddsThePowerTermsAfterTheOtherColumns) {
    std::string terms;
    for (const char *term : {"core_switching", "shared_logic", "l2_switching", "core_leakage",
                             "l2_leakage", "memory_interface", "memory_stack"})
        terms += std::string(",power_") + term + "_w";
    auto header = [](const std::string &csv) { return csv.substr(0, csv.find('\n')); };
    const std::vector<std::vector<std::string>> commands{
        {"search", "--memory", "3d"},
        {"search", "--energy", "--node", "32nm"},
        {"space", "--cores", "8", "--energy"},
        {"space", "--cache", "16"},
        {"explain", "--pairs", "--memory", "3d", "--node", "32nm"}};
    for (std::vector<std::string> command : commands) {
        command.insert(command.end(), {"--format", "csv"});
        const Outcome without = run(command);
        command.push_back("--breakdown");
        const Outcome with = run(command);
        ASSERT_EQ(with.status, 0) << with.err;
        const std::string relaxed =
            command[0] == "explain" ? std::regex_replace(terms, std::regex(","), ",relaxed_") : "";
        EXPECT_EQ(header(with.out), header(without.out) + terms + relaxed) << command[0];
        std::stringstream with_rows(with.out), without_rows(without.out);
        size_t rows = 0;
        for (std::string line, plain; std::getline(with_rows, line); rows++)
            ASSERT_TRUE(std::getline(without_rows, plain) && line.rfind(plain + ",", 0) == 0)
                << command[0] << " row " << rows << ": the other fields keep their text";
        EXPECT_EQ(rows, count_lines(without.out));
    }

    for (const char *memory : {"plain", "3d"})
        for (const char *command : {"search", "space", "explain"}) {
            std::vector<std::string> arguments{command,    "--memory", memory,
                                               "--format", "json",     "--breakdown"};
            if (command != std::string("explain"))
                arguments.insert(arguments.end(), {"--cores", "8"});
            const Outcome o = run(arguments);
            ASSERT_EQ(o.status, 0) << o.err;
            for (const nlohmann::json &row : nlohmann::json::parse(o.out)) {
                auto w = [&](const char *term) {
                    return row[std::string("power_") + term + "_w"].get<double>();
                };
                double power = w("core_leakage") +
                               ((((w("core_switching") + w("shared_logic")) + w("l2_switching")) +
                                 w("l2_leakage")) +
                                w("memory_interface"));
                if (std::string(memory) == "3d") {
                    EXPECT_EQ(w("memory_stack"), 9 * 3.7); // the built-in layers
                    power = power + w("memory_stack");
                } else {
                    EXPECT_EQ(w("memory_stack"), 0.0);
                }
                // explain: the power figure at the optimum is the power row's.
                const bool explained = command == std::string("explain");
                if (explained && row["limit"] != "power")
                    continue;
                EXPECT_EQ(power, row[explained ? "figure" : "power_w"].get<double>())
                    << command << " " << memory;
            }
        }

    const nlohmann::json none = nlohmann::json::parse(
        run({"search", "--node", "90nm", "--format", "json", "--breakdown"}).out);
    EXPECT_TRUE(none[0]["power_core_switching_w"].is_null());
    for (const nlohmann::json &row : nlohmann::json::parse(
             run({"explain", "--node", "90nm", "--format", "json", "--breakdown"}).out))
        EXPECT_TRUE(row["power_memory_stack_w"].is_null() &&
                    row["relaxed_power_memory_stack_w"].is_null());

    // Text: the seven lines under the power line, and nothing else changed.
    for (const char *command : {"search", "explain"}) {
        const std::string without = run({command, "--memory", "3d"}).out;
        const std::string with = run({command, "--memory", "3d", "--breakdown"}).out;
        const size_t after = with.find('\n', with.find("\n  power ") + 1) + 1;
        size_t end = after;
        for (int line = 0; line < 7; line++)
            end = with.find('\n', end) + 1;
        EXPECT_EQ(with.substr(0, after) + with.substr(end), without) << command;
        EXPECT_EQ(with.substr(after, with.find('\n', after) - after).substr(0, 22),
                  "    core switching    ");
        EXPECT_NE(with.find("    memory stack         33.30 W"), std::string::npos) << with;
    }
    const std::string space_text = run({"space", "--cores", "8", "--breakdown"}).out;
    EXPECT_NE(space_text.find(" power W  bw GB/s TSV GB/s   speedup core sw W  shared W   L2 sw W "
                              "core lk W   L2 lk W  mem if W   stack W  breaks\n"),
              std::string::npos)
        << space_text;
}

TEST_F(CliCommand, SpaceWritesEveryConfigurationWithItsFigures) {
    const Outcome o = run({"space", "--memory", "3d", "--node", "20nm", "--format", "json"});
    ASSERT_EQ(o.status, 0);
    const nlohmann::json rows = nlohmann::json::parse(o.out);
    ASSERT_EQ(rows.size(), 18760u);
    const std::vector<SpaceRow> expected = space(Request{OptionSet{0, 1, 0, 0, 4}, {}, {}});
    for (size_t n : {size_t(0), size_t(4321), size_t(18759)}) {
        EXPECT_EQ(rows[n]["speedup"].get<double>(), expected[n].figures.speedup);
        EXPECT_EQ(rows[n]["power_w"].get<double>(), expected[n].figures.power);
        EXPECT_EQ(rows[n]["tsv_bandwidth_gbps"].get<double>(), expected[n].figures.bandwidth_tsv);
        EXPECT_EQ(rows[n]["feasible"].get<bool>(), expected[n].feasible());
    }
    const Outcome csv = run({"space", "--format", "csv"});
    EXPECT_EQ(count_lines(csv.out), 18761u);
}

// Red, green and blue of one pixel of a PNG picture.
struct Pixel {
    int r, g, b;
};

Pixel pixel_at(cairo_surface_t *image, double x, double y) {
    const unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    uint32_t value;
    std::memcpy(&value, data + int(y) * stride + int(x) * 4, 4);
    return Pixel{int(value >> 16 & 255), int(value >> 8 & 255), int(value & 255)};
}

TEST_F(CliCommand, PlotDrawsTheHeatMapWithGreyedAndBestConfigurations) {
    const fs::path picture = folder / "space.png";
    const Outcome o = run({"plot", "-o", picture.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    // Nothing but the picture is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    cairo_surface_t *image = cairo_image_surface_create_from_png(picture.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    const PlotGeometry g = plot_geometry();
    EXPECT_EQ(cairo_image_surface_get_width(image), g.width);
    EXPECT_EQ(cairo_image_surface_get_height(image), g.height);
    // 65 nm LOP Niagara: 12 cores with 1 MB is best, one core with 1 MB meets every limit,
    // 192 cores with 512 MB breaks the area limit.
    const Pixel best = pixel_at(image, g.cell_x(6), g.cell_y(0));
    const Pixel small = pixel_at(image, g.cell_x(0), g.cell_y(0));
    const Pixel large = pixel_at(image, g.cell_x(34), g.cell_y(66));
    cairo_surface_destroy(image);
    EXPECT_EQ(std::tie(best.r, best.g, best.b), std::make_tuple(255, 255, 255));
    EXPECT_FALSE(small.r == small.g && small.g == small.b);
    EXPECT_TRUE(large.r == large.g && large.g == large.b);
}

// The analysis pictures: written whole and of their size, the table on standard output.
TEST_F(CliCommand, BudgetAndScalingChartsAreWritten) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"budget", "--vary", "power=20:300:1", "--series", "memory"}, "curve.png"},
        {{"budget", "--vary", "area=50:400:5,power=20:300:5"}, "map.png"},
        {{"budget", "--vary", "bw=0:60:0.5", "--series", "node"}, "curve.svg"},
        {{"plot", "--chart", "scaling", "--series", "workload", "--memory", "3d"}, "nodes.png"},
    };
    for (const auto &[arguments, name] : cases) {
        const fs::path picture = folder / name;
        std::vector<std::string> command = arguments;
        command.insert(command.end(), {"-o", picture.string()});
        const Outcome o = run(command);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        EXPECT_NE(o.out.find("speedup"), std::string::npos);
        const std::string bytes = slurp(picture);
        if (name.ends_with(".svg")) {
            EXPECT_NE(bytes.find("</svg>"), std::string::npos);
            continue;
        }
        cairo_surface_t *image = cairo_image_surface_create_from_png(picture.c_str());
        EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(image), 900);
        cairo_surface_destroy(image);
    }
}

TEST_F(CliCommand, PlotWritesSvgToo) {
    const fs::path picture = folder / "space.SVG";
    const Outcome o = run({"plot", "--memory", "3d", "--scale", "0.7", "-o", picture.string()});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string svg = slurp(picture);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(CliCommand, PlotThatCannotBeWrittenFailsAndLeavesNothing) {
    const fs::path picture = folder / "missing" / "space.png";
    const Outcome o = run({"plot", "-o", picture.string()});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(count_lines(o.err), 1u);
    EXPECT_NE(o.err.find(picture.string()), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST_F(CliCommand, OutputThatCannotBeWrittenIsAFailure) {
    for (const fs::path &output : {fs::path("/dev/full"), kClosed})
        for (const std::vector<std::string> &arguments :
             std::vector<std::vector<std::string>>{{"sweep", "--format", "csv"},
                                                   {"--version"},
                                                   {"--help"},
                                                   {"search", "--help"},
                                                   {"plot", "--help"}}) {
            const Outcome o = run(arguments, output);
            SCOPED_TRACE(arguments[0] + " " + arguments.back() + " > " + output.string());
            EXPECT_EQ(o.status, 1);
            EXPECT_EQ(count_lines(o.err), 1u);
            EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
        }
}

// The tool run in-process, its two streams read back.
Outcome run_in_process(const std::vector<std::string> &arguments) {
    return run_cli_in_process(arguments);
}

TEST_F(CliCommand, MessagesReadAsTyped) {
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> refused{
        {{"search", "--parallel", "0.99"}, "arguments were not expected: --parallel 0.99;"},
        {{"sweep", "a", "b", "c"}, "arguments were not expected: a b c;"},
        {{"search", "--workload", "a\nb\x1b\x7f"}, "'a\\nb\\x1b\\x7f' is not a workload"},
        {{"search", "--area", "1\t2"}, "'1\\t2' is not a number"},
        {{"search\r"}, "unknown command 'search\\r'"},
        {{"search", "--format", "XML"}, "'XML' is not a format"},
    };
    for (const Case &c : refused) {
        const Outcome o = run_in_process(c.arguments);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(count_lines(o.err), 1u) << o.err;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << o.err;
    }

    // A format in any letter case, as every other value; zero of either sign is 0.
    EXPECT_EQ(run_in_process({"search", "--format", "CSV"}).out,
              run_in_process({"search", "--format", "csv"}).out);
    EXPECT_EQ(run_in_process({"search", "--format", "Json"}).out,
              run_in_process({"search", "--format", "json"}).out);
    const Outcome text = run_in_process({"search", "--area", "-0", "--bw", "-0.0"});
    EXPECT_NE(text.out.find("area 0 mm^2"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("off-chip bandwidth 0 GB/s"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("-0"), std::string::npos) << text.out;
    const Outcome json = run_in_process({"search", "--power", "-0", "--format", "json"});
    EXPECT_EQ(json.out.find("-0"), std::string::npos) << json.out;
}

TEST_F(CliCommand, BadInputIsOneLineNamingTheArgumentWithStatusTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"search", "--workload", "TPCC"}, "--workload"},
        {{"search", "--memory", "stacked"}, "--memory"},
        {{"space", "--node", "14nm"}, "--node"},
        {{"search", "--area", "abc"}, "--area"},
        {{"search", "--power", "-1"}, "--power"},
        {{"search", "--bw"}, "--bw"},
        {{"search", "--tsv", "1", "--tsv", "2"}, "--tsv"},
        {{"search", "--cores", "13"}, "--cores"},
        {{"search", "--cache", "3"}, "--cache"},
        {{"search", "--scale", "0.75"}, "--scale"},
        {{"search", "--vdd", "0.5"}, "--vdd"},
        {{"search", "--scale", "1.0", "--vdd", "0.9"}, "--vdd"},
        {{"search", "--scale", "0.8", "--freq", "3"}, "--freq"},
        {{"search", "--scale", "0.8", "--freq", "nan"}, "--freq"},
        {{"sweep", "--format", "xml"}, "--format"},
        {{"plot", "-o", "space.jpg"}, "--output"},
        {{"plot"}, "--output"},
        {{"plot", "-o", "x.png", "--chart", "pie"}, "--chart"},
        {{"plot", "-o", "x.png", "--series", "node"}, "--series"},
        {{"plot", "-o", "x.png", "--series", "core"}, "--series"},
        {{"budget", "--vary", "power=1:2:1", "-o", "x.jpg"}, "--output"},
        {{"search", "--speed"}, "--speed"},
        {{"sweep", "--workload", "DB2/TPCC", "--workload", "TPCC"}, "--workload"},
        {{"sweep", "--node"}, "--node"},
        {{"explore"}, "explore"},
        {{"sweep", "--jobs", "0"}, "--jobs"},
        {{"explain", "--step", "0"}, "--step"},
        {{"budget"}, "--vary"},
        {{"budget", "--vary", "speed=1:2:1"}, "--vary"},
        {{"budget", "--vary", "power=300:20:1"}, "--vary"},
        {{"budget", "--vary", "power=20:300:0"}, "--vary"},
        {{"budget", "--vary", "power=20:300:-5"}, "--vary"},
        {{"budget", "--vary", "power=0:1e8:1"}, "--vary"},
        {{"budget", "--vary", "power=1:2:1,power=1:3:1"}, "--vary"},
        {{"budget", "--vary", "tsv=1:2:1"}, "--vary"},
        {{"budget", "--vary", "power=1:2:1,area=1:2:1", "--series", "node"}, "--series"},
        {{"budget", "--vary", "power=1:2:1", "--series", "colour"}, "--series"},
        {{"budget", "--vary", "power=1:2:1", "--jobs", "-1"}, "--jobs"},
        {{}, "search"},
        {{"search", "--model", ""}, "--model: the file name is empty"},
        {{"search", "--model=", "--format", "csv"}, "--model: the file name is empty"},
        // The scaling chart runs a held supply at every node: 0.8 V is above 32nm's 0.7 V.
        {{"plot", "-o", "x.png", "--chart", "scaling", "--scale", "1.0", "--vdd", "0.8"},
         "at most 0.7 V (the nominal LOP supply at 32nm)"},
    };
    for (const auto &[arguments, named] : cases) {
        const Outcome o = run(arguments);
        SCOPED_TRACE(o.err);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(count_lines(o.err), 1u);
        EXPECT_NE(o.err.find(named), std::string::npos);
        EXPECT_NE(o.err.find("accepted"), std::string::npos);
    }
}

TEST_F(CliCommand, ThreadsChangeNoByteOfTheOutput) {
    const std::vector<std::vector<std::string>> commands{
        {"sweep", "--format", "csv"},
        {"budget", "--vary", "power=10:200:7.5", "--series", "node", "--format", "json"},
    };
    for (const std::vector<std::string> &command : commands) {
        std::vector<std::string> one = command, three = command;
        one.insert(one.end(), {"--jobs", "1"});
        three.insert(three.end(), {"--jobs", "3"});
        const Outcome serial = run(one), parallel = run(three);
        EXPECT_EQ(serial.status, 0);
        EXPECT_GT(serial.out.size(), 1000u);
        EXPECT_EQ(serial.out, parallel.out);
    }
}

TEST_F(CliCommand, HelpAndVersionGoToStandardOutput) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *command : {"search", "sweep", "space", "explain", "budget", "plot"})
        EXPECT_NE(help.out.find(command), std::string::npos);
    for (const char *command : {"search", "sweep", "space", "plot"}) {
        const Outcome own = run({command, "--help"});
        EXPECT_EQ(own.status, 0);
        EXPECT_NE(own.out.find(std::string("cpu-widget-cli ") + command), std::string::npos);
        EXPECT_NE(own.out.find("--area"), std::string::npos);
    }
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("cpu-widget-cli ", 0), 0u);
    EXPECT_EQ(count_lines(version.out), 1u);
}

// The window's own command line: help and version without a display, as the tool writes them;
// an argument it does not take is one line and status 2, before any display is looked for.
TEST_F(CliCommand, WindowHelpVersionAndUnknownArgumentsNeedNoDisplay) {
    const std::string display = getenv("DISPLAY") != nullptr ? getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    const Outcome help = run({"--help"}, {}, WINDOW_PROGRAM);
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_EQ(help.err, "");
    for (const char *named :
         {"--model FILE", "--quiet", "--map", "--version", "--display", "--sync"})
        EXPECT_NE(help.out.find(named), std::string::npos) << named << "\n" << help.out;
    const Outcome version = run({"--version"}, {}, WINDOW_PROGRAM);
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "cpu-widget " + run({"--version"}).out.substr(15));
    for (const fs::path &output : {fs::path("/dev/full"), kClosed})
        for (const char *argument : {"--help", "--version"}) {
            const Outcome o = run({argument}, output, WINDOW_PROGRAM);
            EXPECT_EQ(o.status, 1) << argument << " > " << output;
            EXPECT_EQ(count_lines(o.err), 1u) << o.err;
            EXPECT_NE(o.err.find("cannot write"), std::string::npos) << o.err;
        }
    for (const std::vector<std::string> &arguments : std::vector<std::vector<std::string>>{
             {"--mpa"}, {"--map", "stray"}, {"--model", ""}, {"--model="}, {"--model"}}) {
        const Outcome o = run(arguments, {}, WINDOW_PROGRAM);
        EXPECT_EQ(o.status, 2) << arguments[0] << ": " << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(count_lines(o.err), 1u) << o.err;
        EXPECT_NE(o.err.find("accepted"), std::string::npos) << o.err;
    }
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
}

// A write that fails part way (here over a file-size limit) leaves the old file as it was and
// says why; a name as long as the file system takes (250 bytes) is written, picture or model.
TEST_F(CliCommand, FailedWritesKeepTheOldFileAndLongNamesAreWritten) {
    const fs::path keep = folder / "keep.toml";
    std::ofstream(keep) << "the old file\n";
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const Outcome o = run({"model", "export", "-o", keep.string()});
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(count_lines(o.err), 1u) << o.err;
    EXPECT_NE(o.err.find("File too large"), std::string::npos) << o.err;
    EXPECT_EQ(slurp(keep), "the old file\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    const std::string stem(245, 'm');
    for (const std::vector<std::string> &arguments : std::vector<std::vector<std::string>>{
             {"model", "export", "-o", (folder / (stem + ".toml")).string()},
             {"plot", "-o", (folder / (stem + ".png")).string()}}) {
        const Outcome written = run(arguments);
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_TRUE(fs::exists(arguments.back())) << arguments[0];
    }
}

} // namespace
