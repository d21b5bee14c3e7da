// The tool's outputs at their edges, run in-process: results with no rows keep their columns,
// arguments read exactly, messages stay one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "cli/run.h"
#include "model/state.h"
#include "tests/cli_in_process.h"

namespace {

namespace fs = std::filesystem;

using Outcome = CliOutcome;

Outcome run(const std::vector<std::string> &arguments) {
    Outcome o = run_cli_in_process(arguments);
    reset_design_state();
    return o;
}

std::string first_line(const std::string &text) {
    return text.substr(0, text.find('\n'));
}

// A scratch folder of its own for each test.
class CliOutcomes : public testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("cli_outcomes_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path write(const std::string &name, const std::string &text) {
        std::ofstream(folder / name, std::ios::binary) << text;
        return folder / name;
    }

    fs::path folder;
};

// The header of a command's CSV output where some configuration meets the limits, against the
// same command where none does: the columns do not depend on the data.
TEST_F(CliOutcomes, EmptyResultsKeepTheirColumns) {
    const fs::path tight = write("tight.txt", "");
    struct Case {
        std::vector<std::string> found, none;
    };
    const Case cases[] = {
        {{"pareto", "--format", "csv"}, {"pareto", "--node", "90nm", "--format", "csv"}},
        {{"pareto", "--energy", "--format", "csv"}, {"pareto", "--area", "1", "--format", "csv"}},
        {{"uncertainty", "--samples", "3", "--format", "csv"},
         {"uncertainty", "--samples", "3", "--power", "0.001", "--format", "csv"}},
        {{"explain", "--pairs", "--format", "csv"},
         {"explain", "--pairs", "--power", "0.001", "--format", "csv"}},
    };
    for (const Case &c : cases) {
        const Outcome found = run(c.found), none = run(c.none);
        if (found.status == 2)
            continue; // an argument this case does not take (--energy)
        ASSERT_EQ(found.status, 0) << found.err;
        ASSERT_EQ(none.status, 0) << none.err;
        EXPECT_FALSE(first_line(found.out).empty());
        EXPECT_EQ(first_line(none.out), first_line(found.out)) << c.none[0];
    }
    // JSON: every row of explain --pairs has the pair columns, null where they do not apply.
    const Outcome json = run({"explain", "--pairs", "--power", "0.001", "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json rows = nlohmann::json::parse(json.out);
    ASSERT_FALSE(rows.empty());
    for (const nlohmann::json &row : rows) {
        EXPECT_TRUE(row.contains("relaxed_with"));
        EXPECT_TRUE(row.contains("binds_beyond_alone"));
    }
    // An empty result in JSON is an empty array.
    const Outcome pareto = run({"pareto", "--node", "90nm", "--format", "json"});
    EXPECT_EQ(nlohmann::json::parse(pareto.out), nlohmann::json::array());
}

// The parallel fraction that a picture's caption gives, against the "Model:" line of the same
// command's text, with a model file where one workload has a fraction of its own.
TEST_F(CliOutcomes, CaptionsGiveTheParallelFractionTheTextGives) {
    const std::string model = std::string(SOURCE_DIR) + "/models/tpch-0.95.toml";
    const fs::path picture = folder / "x.svg";
    const std::vector<std::string> cases[] = {
        {"budget", "--vary", "power=80:100:10", "--best-over", "workload"},
        {"budget", "--vary", "power=80:100:10", "--workload", "DB2/TPCH"},
        {"budget", "--vary", "power=80:100:10,area=100:200:50", "--workload", "DB2/TPCH"},
        {"plot", "--chart", "scaling", "--workload", "DB2/TPCH"},
        {"plot", "--chart", "scaling", "--series", "workload"},
        {"pareto", "--workload", "DB2/TPCH"},
        {"sensitivity", "--workload", "DB2/TPCH"},
    };
    auto fraction_in = [](const std::string &text, const std::string &ends) {
        const size_t at = text.find("parallel fraction ");
        if (at == std::string::npos)
            return std::string("(none)");
        const size_t from = at + 18;
        return text.substr(from,
                           std::min(text.find(ends, from), text.find_first_of(";<", from)) - from);
    };
    for (std::vector<std::string> arguments : cases) {
        arguments.insert(arguments.end(), {"--model", model, "-o", picture.string()});
        const Outcome o = run(arguments);
        ASSERT_EQ(o.status, 0) << arguments[0] << ": " << o.err;
        std::ifstream file(picture);
        const std::string svg((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
        EXPECT_EQ(fraction_in(svg, "<"), fraction_in(o.out, " (docs/model.md)"))
            << arguments[0] << " " << arguments[1] << " " << arguments[2] << " " << arguments[3];
    }
}

// Arguments refused with the reason, one line, status 2, nothing on standard output.
TEST_F(CliOutcomes, ArgumentsAreReadExactlyAndRefusedWithTheirReason) {
    const fs::path twice = write("twice.txt", "constants.parallel_fraction 0.98 0.995\n\n"
                                              "constants.parallel_fraction 0.97 0.99\n");
    const fs::path beyond =
        write("beyond.txt", "# known within\nconstants.parallel_fraction 0.98 1.5\n");
    const struct {
        std::vector<std::string> arguments;
        std::string message; // the error line holds this
    } cases[] = {
        {{"uncertainty", "--ranges", ""}, "--ranges: the file name is empty"},
        {{"uncertainty", "--ranges", twice.string()},
         twice.string() + ":3: constants.parallel_fraction is given twice (first on line 1)"},
        {{"uncertainty", "--ranges", beyond.string()},
         beyond.string() + ":2: constants.parallel_fraction 0.98 1.5 is not accepted"},
        {{"uncertainty", "--seed", "9007199254740993"}, "9007199254740993 is out of range"},
        {{"uncertainty", "--seed", "9007199254740992.6"}, "is not a whole number"},
        {{"uncertainty", "--seed", "18446744073709551616"}, "is out of range"},
        {{"uncertainty", "--samples", "4.9999999999999999"}, "is not a whole number"},
        {{"uncertainty", "--samples", "1e-1"}, "is not a whole number"},
        {{"uncertainty", "--samples", "1e"}, "is not a whole number"},
        {{"uncertainty", "--samples", "-2"}, "-2 is out of range"},
        {{"sweep", "--jobs", "1024.5"}, "is not a whole number"},
        {{"sweep", "--jobs", "1e9999999999"}, "is out of range"},
        {{"search", "--parallel-fraction", "1e-400"}, "1e-400 is out of range"},
        {{"search", "--area", "1e400"}, "1e400 is out of range"},
        {{"search", "--area", "ten"}, "'ten' is not a number"},
        {{"explain", "--step", "5e-324"}, "5e-324 is too small to relax a limit"},
        {{"budget", "--vary", "power=10:20:5", "--step", "5e-324", "--binding"}, "too small"},
        {{"budget", "--vary", "power=10:20:5", "--step", "5"}, "--step: decides which limits bind"},
        {{"search", "--workload",
          "a\xc2\x85"
          "b\xc2\x9b"
          "c\xe2\x80\xae"
          "d\xe2\x81\xa6"
          "e\xe2\x80\xa8"},
         "'a\\u0085b\\u009bc\\u202ed\\u2066e\\u2028' is not a workload"},
    };
    for (const auto &c : cases) {
        const Outcome o = run(c.arguments);
        EXPECT_EQ(o.status, 2) << c.message;
        EXPECT_EQ(o.out, "") << c.message;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    }
    // Whole numbers that are exact are taken, whatever their form; the seed's whole range.
    const Outcome exact = run({"uncertainty", "--samples", "3e0", "--seed", "9007199254740992",
                               "--jobs", "2.0", "--format", "csv", "--per-sample"});
    ASSERT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(std::count(exact.out.begin(), exact.out.end(), '\n'), 4);
    const Outcome below = run({"uncertainty", "--samples", "3", "--seed", "9007199254740991",
                               "--format", "csv", "--per-sample"});
    EXPECT_NE(below.out, exact.out); // the seeds are told apart, not rounded to one double
    // --step with --binding or two limits is taken.
    EXPECT_EQ(run({"budget", "--vary", "power=10:20:5", "--step", "5", "--binding"}).status, 0);
}

// The window's own options as the tool takes them, without a display: a second --model refused,
// "--" ending the options, every option named in a refusal.
TEST_F(CliOutcomes, WindowTakesItsOptionsAsTheToolDoes) {
    auto window = [&](const std::string &arguments) {
        const std::string command = std::string("env -u DISPLAY '") + WINDOW_PROGRAM + "' " +
                                    arguments + " 2>'" + (folder / "err").string() + "'";
        const int status = std::system(command.c_str());
        std::ifstream err(folder / "err");
        std::string line;
        std::getline(err, line);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, line);
    };
    const auto twice = window("--model models/builtin.toml --model=other.toml");
    EXPECT_EQ(twice.first, 2);
    EXPECT_NE(twice.second.find("--model: given more than once"), std::string::npos)
        << twice.second;
    const auto after = window("-- --map");
    EXPECT_EQ(after.first, 2);
    EXPECT_NE(after.second.find("argument not expected: --map"), std::string::npos) << after.second;
    const auto controls = window("'a\xc2\x85"
                                 "b\xe2\x80\xae"
                                 "c'");
    EXPECT_EQ(controls.first, 2);
    EXPECT_NE(controls.second.find("argument not expected: a\\u0085b\\u202ec;"), std::string::npos)
        << controls.second;
    const auto unknown = window("--mpa");
    EXPECT_EQ(unknown.first, 2);
    for (const char *named : {"--model FILE", "--quiet", "--map", "--help", "--version"})
        EXPECT_NE(unknown.second.find(named), std::string::npos) << unknown.second;
}

// sweep --flags in text: the ends of the axes as columns, as the note says, and no note.
TEST_F(CliOutcomes, SweepFlagsInTextAddTheEndsAsColumns) {
    for (const char *objective : {"speedup", "energy"}) {
        const Outcome plain = run({"sweep", "--objective", objective});
        const Outcome flags = run({"sweep", "--objective", objective, "--flags"});
        ASSERT_EQ(flags.status, 0) << flags.err;
        if (std::string(objective) == "speedup") {
            EXPECT_NE(plain.err.find("--flags gives the ends as columns"), std::string::npos)
                << plain.err;
        }
        EXPECT_EQ(flags.err, "");
        std::istringstream lines(flags.out);
        size_t rows = 0, ends = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.find("edge_cores edge_cache edge_scale") != std::string::npos)
                rows++;
            ends += line.find("smallest") != std::string::npos ||
                    line.find("fewest") != std::string::npos ||
                    line.find("first") != std::string::npos;
        }
        EXPECT_EQ(rows, 1u) << flags.out;
        // The least energy sits inside every axis; the best speedup often at an end.
        EXPECT_EQ(ends > 0, std::string(objective) == "speedup") << objective;
    }
}

} // namespace
