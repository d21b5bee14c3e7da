// evaluate, validate and calibrate run as a user runs them (in-process): their output, exit
// status and the files they write or leave alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "cli/run.h"
#include "tests/cli_in_process.h"

namespace {

namespace fs = std::filesystem;

using Outcome = CliOutcome;

Outcome tool(const std::vector<std::string> &arguments) {
    return run_cli_in_process(arguments);
}

std::vector<std::vector<std::string>> csv(const std::string &text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back();
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            rows.back().push_back(field);
        if (!line.empty() && line.back() == ',')
            rows.back().push_back("");
    }
    return rows;
}

std::string field(const std::vector<std::vector<std::string>> &rows, size_t row,
                  const std::string &name) {
    for (size_t c = 0; c < rows[0].size(); c++)
        if (rows[0][c] == name)
            return rows[row][c];
    return "<no column " + name + ">";
}

class CliChips : public testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("cli_chips_" + std::to_string(getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string file(const std::string &name, const std::string &text) {
        const fs::path path = folder / name;
        std::ofstream(path) << text;
        return path.string();
    }
    fs::path folder;
};

TEST_F(CliChips, EvaluateOnTheAxesWritesTheSpacesFigures) {
    const Outcome space = tool({"space", "--memory", "3d", "--node", "32nm", "--cores", "24",
                                "--cache", "16", "--format", "csv"});
    const auto rows = csv(space.out);
    ASSERT_EQ(rows.size(), 9u);
    for (size_t row = 1; row < rows.size(); row++) {
        const Outcome e =
            tool({"evaluate", "--memory", "3d", "--node", "32nm", "--cores", "24", "--cache", "16",
                  "--scale", field(rows, row, "scale"), "--format", "csv"});
        ASSERT_EQ(e.status, 0) << e.err;
        const auto evaluated = csv(e.out);
        for (const char *name : {"vdd_v", "freq_ghz", "area_mm2", "power_w", "bandwidth_gbps",
                                 "tsv_bandwidth_gbps", "speedup", "breaks_area", "breaks_power",
                                 "breaks_bandwidth", "breaks_tsv", "feasible"})
            EXPECT_EQ(field(evaluated, 1, name), field(rows, row, name)) << name << " " << row;
    }
}

TEST_F(CliChips, SearchWithEveryDimensionHeldShowsTheConfigurationItRejects) {
    const Outcome o =
        tool({"search", "--node", "90nm", "--cores", "8", "--cache", "4", "--scale", "1.0"});
    ASSERT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("No configuration meets the limits"), std::string::npos);
    EXPECT_NE(o.out.find("The held configuration, with its figures:\n  speedup          38.6332\n"
                         "  area             255.92 mm^2   (limit 0: broken)"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("It breaks the area limit."), std::string::npos);
    // One that meets its limits is the search's result as before.
    const Outcome met = tool({"search", "--cores", "8", "--cache", "4", "--scale", "1.0"});
    EXPECT_EQ(met.out.find("The held configuration"), std::string::npos);
}

const std::string kChip = "format_version = 1\n[[chip]]\nname = \"X\"\n";
const std::string kFields = "node_nm = 65\ntransistor = \"HP\"\ncore = \"Niagara\"\ncores = 8\n"
                            "cache_mb = 4\nfreq_ghz = 1.4\nsources = [\"a paper\"]\n";

TEST_F(CliChips, BadInputIsOneLineWithStatusTwoAndNothingWritten) {
    const std::string target = (folder / "fitted.toml").string();
    const struct {
        std::string table, expected;
    } tables[] = {
        {kChip + kFields, "chip \"X\" node: the field is missing"},
        {kChip + "node = \"7nm\"\n" + kFields,
         "chip \"X\" node: \"7nm\" is not one of the model's"},
        {kChip + "node = \"65nm\"\n" + kFields + "core = \"Z80\"\n", "TOML syntax"},
        {kChip + "node = \"65nm\"\n" + kFields + "area_mm2 = -1\narea_covers = \"die\"\n",
         "chip \"X\" area_mm2: -1 is out of range"},
        {kChip + "node = \"65nm\"\n" + kFields + "power_w = 80\n",
         "chip \"X\" power_kind: the field is missing"},
    };
    for (const auto &t : tables) {
        const std::string chips = file("chips.toml", t.table);
        for (const std::vector<std::string> &command :
             {std::vector<std::string>{"validate", "--chips", chips},
              std::vector<std::string>{"calibrate", "--chips", chips, "--fit", "node.65nm.fmax_HP",
                                       "-o", target}}) {
            const Outcome o = tool(command);
            EXPECT_EQ(o.status, 2) << command[0] << " " << t.table;
            EXPECT_EQ(o.out, "");
            EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
            EXPECT_NE(o.err.find(t.expected), std::string::npos) << o.err;
        }
    }
    const std::vector<std::string> refused[] = {
        {"calibrate", "--fit", "constants.parallel_fraction", "-o", target},
        {"calibrate", "--fit", "node.45nm.core_area_LOP_mm2.ARM,node.45nm.L2_area_LOP", "--chips",
         file("tegra.toml", kChip + "node = \"45nm\"\nnode_nm = 40\ntransistor = \"LOP\"\n"
                                    "core = \"ARM\"\ncores = 2\ncache_mb = 1\nfreq_ghz = 1\n"
                                    "area_mm2 = 49\narea_covers = \"die\"\nsources = [\"a\"]\n"),
         "-o", target},
        {"calibrate", "--fit", "node.45nm.fmax_LOP,node.45nm.Vdd_LOP,node.45nm.Vth_LOP", "--chips",
         file("one.toml", kChip + "node = \"45nm\"\nnode_nm = 45\ntransistor = \"LOP\"\n"
                                  "core = \"ARM\"\ncores = 2\ncache_mb = 1\nfreq_ghz = 1.2\n"
                                  "sources = [\"a\"]\n"),
         "-o", target},
        {"evaluate", "--cores", "0"},
        {"evaluate", "--cache", "-2"},
        {"evaluate", "--scale", "0.75"},
    };
    for (const std::vector<std::string> &command : refused) {
        const Outcome o = tool(command);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    }
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(CliChips, CalibratedFileValidatesAsItsReportSays) {
    const std::string target = (folder / "fitted.toml").string();
    const Outcome c =
        tool({"calibrate", "--fit", "node.45nm.fmax_LOP,reference_chip.Cgate", "-o", target});
    ASSERT_EQ(c.status, 0) << c.err;
    std::ifstream in(target);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\nextends = \"built-in\"\n"), std::string::npos);
    EXPECT_NE(text.str().find("Leon et al."), std::string::npos);
    // The in-sample summary after the fit is what validate gives with the file.
    const size_t after = c.out.find("In sample, after the fit:\n");
    ASSERT_NE(after, std::string::npos);
    const Outcome v = tool({"validate", "--model", target});
    ASSERT_EQ(v.status, 0) << v.err;
    const size_t summary = v.out.find("Summary");
    ASSERT_NE(summary, std::string::npos);
    for (const char *figure : {"clock ", "area ", "power "}) {
        auto words = [&](const std::string &text, size_t from) {
            std::istringstream line(text.substr(text.find(figure, from)));
            std::string got, word;
            std::getline(line, got);
            std::istringstream split(got);
            std::vector<std::string> out;
            while (split >> word)
                out.push_back(word);
            return out;
        };
        EXPECT_EQ(words(c.out, after), words(v.out, summary)) << figure;
    }
}

TEST_F(CliChips, ValidateDrawsItsPictureAndWritesCsv) {
    const std::string picture = (folder / "chips.png").string();
    const Outcome o = tool({"validate", "--format", "csv", "-o", picture});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_GT(fs::file_size(picture), 10000u);
    const auto rows = csv(o.out);
    ASSERT_EQ(rows.size(), 17u); // a header and 8 clocks, 4 areas and 4 powers
    EXPECT_EQ(field(rows, 1, "chip"), "UltraSPARC T1");
    EXPECT_EQ(field(rows, 2, "kind"), "die");
    EXPECT_EQ(field(rows, 1, "power_at_model_clock_w"), "");
}

} // namespace

namespace {

// The fields of models/calibrated.toml, as docs/model.md gives its command.
const char *const kCalibratedFields =
    "node.90nm.fmax_HP,node.65nm.fmax_HP,node.45nm.fmax_HP,node.45nm.fmax_LOP,node.32nm.fmax_"
    "LOP,node.32nm.fmax_HP,node.90nm.uncore_area_mm2,node.65nm.uncore_area_mm2,node.45nm."
    "uncore_area_mm2,reference_chip.Cgate,reference_chip.l2_leak_power";

std::string without_made_by(const std::string &text) {
    const size_t at = text.find("# Made by:");
    return at == std::string::npos ? text : text.substr(0, at) + text.substr(text.find('\n', at));
}

TEST_F(CliChips, ShippedCalibratedModelIsWhatItsCommandWrites) {
    const std::string target = (folder / "calibrated.toml").string();
    const Outcome c = tool({"calibrate", "--fit", kCalibratedFields, "-o", target});
    ASSERT_EQ(c.status, 0) << c.err;
    std::ifstream made(target), shipped(fs::path(SOURCE_DIR) / "models" / "calibrated.toml");
    std::stringstream a, b;
    a << made.rdbuf();
    b << shipped.rdbuf();
    EXPECT_EQ(without_made_by(a.str()), without_made_by(b.str()));
}

// The built-in model against the shipped table: what docs/model.md gives. A change to the
// model or the table moves it only on purpose.
TEST_F(CliChips, BuiltInModelsValidationSummaryIsTheDocumentedOne) {
    const Outcome v = tool({"validate"});
    ASSERT_EQ(v.status, 0) << v.err;
    for (const char *line : {"clock       8        252.5 %        373.1 %                  3.428",
                             "area        4         64.3 %         87.9 %                  0.315",
                             "power       4         26.4 %        149.6 %                  1.363"})
        EXPECT_NE(v.out.find(line), std::string::npos) << line << "\n" << v.out;
}

} // namespace

namespace {

TEST_F(CliChips, CalibrationOfAModelFileExtendsThatFile) {
    const fs::path base = folder / "calibrated.toml";
    fs::copy_file(fs::path(SOURCE_DIR) / "models" / "calibrated.toml", base);
    const std::string target = (folder / "again.toml").string();
    const Outcome c = tool(
        {"calibrate", "--model", base.string(), "--fit", "node.45nm.uncore_power_W", "-o", target});
    ASSERT_EQ(c.status, 0) << c.err;
    std::ifstream in(target);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\nextends = \"calibrated.toml\"\n"), std::string::npos);
    const Outcome v = tool({"validate", "--model", target, "--format", "csv"});
    EXPECT_EQ(v.status, 0) << v.err;
    // The chain keeps the first calibration: UltraSPARC T1's clock is its published one.
    EXPECT_NEAR(std::stod(field(csv(v.out), 1, "ratio")), 1.0, 1e-9);
}

} // namespace
