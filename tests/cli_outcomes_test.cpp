// The tool's outputs at their edges, run in-process: results with no rows keep their columns,
// arguments read exactly, messages stay one line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/run.h"
#include "model/state.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string read_back(FILE *file) {
    std::string text;
    rewind(file);
    char chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, n);
    fclose(file);
    return text;
}

Outcome run(const std::vector<std::string> &arguments) {
    std::vector<const char *> argv{"cpu-widget-cli"};
    for (const std::string &argument : arguments)
        argv.push_back(argument.c_str());
    FILE *out = tmpfile(), *err = tmpfile();
    Outcome o;
    o.status = run_cli(int(argv.size()), argv.data(), out, err);
    o.out = read_back(out);
    o.err = read_back(err);
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

} // namespace
