// Model files layered on each other: extends naming a file (relative to the file that names
// it) in chains of any depth, cycles and missing files refused with one clear line, nodes
// based on others, and exports of such models read back as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "modelfile/model_file.h"

namespace {

namespace fs = std::filesystem;

std::string joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

class Layers : public testing::Test {
  protected:
    void SetUp() override {
        dir = fs::path(testing::TempDir()) / ("layers_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sub");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string &name, const std::string &text) {
        const std::string path = (dir / name).string();
        std::ofstream(path) << text;
        return path;
    }
    fs::path dir;
};

constexpr const char *kHead = "format_version = 1\n";

TEST_F(Layers, ExtendsAFileRelativeToTheFolderOfTheFileThatNamesIt) {
    write("base.toml", std::string(kHead) +
                           "extends = \"built-in\"\n[constants]\nparallel_fraction = 0.9\n"
                           "working_set_growth = 1.25\n");
    // A quoted key is the same key.
    write("sub/middle.toml",
          std::string(kHead) +
              "\"extends\" = \"../base.toml\"\n[constants]\nparallel_fraction = 0.95\n"
              "[[node]]\nname = \"45nm\"\nuncore_area_mm2 = 40\n");
    const std::string top =
        write("top.toml", std::string(kHead) + "extends = \"sub/middle.toml\"\n[[node]]\n"
                                               "name = \"45nm\"\nuncore_power_W = 12\n");
    const ModelFileResult r = load_model_file(top);
    ASSERT_TRUE(r.model) << joined(r.errors);
    EXPECT_TRUE(r.warnings.empty()) << joined(r.warnings);
    EXPECT_EQ(r.model->source, top);
    EXPECT_EQ(r.model->parallel_fraction, 0.95);  // the middle file's, over the base's
    EXPECT_EQ(r.model->working_set_growth, 1.25); // the base's
    EXPECT_EQ(r.model->nodes[2].uncore_area_mm2, 40);
    EXPECT_EQ(r.model->nodes[2].uncore_power_W, 12);
    EXPECT_EQ(r.model->nodes[1].tech.fmax_HP, builtin_model().nodes[1].tech.fmax_HP);
}

// The name of the i-th file of a chain (a helper: a chain of + trips a false -Wrestrict
// warning of GCC 12).
std::string chain_file(int i) {
    std::string name = "f";
    name.append(std::to_string(i)).append(".toml");
    return name;
}

TEST_F(Layers, ChainsOfAnyDepthLoad) {
    constexpr int kDepth = 300;
    write(chain_file(0), std::string(kHead) + "extends = \"built-in\"\n");
    for (int i = 1; i <= kDepth; i++) {
        std::string text = kHead;
        text.append("extends = \"").append(chain_file(i - 1)).append("\"\n[constants]\n");
        text.append("base_year = ").append(std::to_string(2000 + i)).append("\n");
        write(chain_file(i), text);
    }
    const ModelFileResult r = load_model_file((dir / chain_file(kDepth)).string());
    ASSERT_TRUE(r.model) << joined(r.errors);
    EXPECT_EQ(r.model->base_year, 2000 + kDepth);
}

TEST_F(Layers, ACycleIsRefusedWithTheChainNamed) {
    const std::string a = write("a.toml", std::string(kHead) + "extends = \"b.toml\"\n");
    const std::string b = write("b.toml", std::string(kHead) + "extends = \"sub/../a.toml\"\n");
    const ModelFileResult r = load_model_file(a);
    EXPECT_FALSE(r.model);
    ASSERT_EQ(r.errors.size(), 1u) << joined(r.errors);
    EXPECT_EQ(r.errors[0], b + ":2: extends: \"sub/../a.toml\" closes a cycle of extends: " + a +
                               " -> " + b + " -> " + (dir / "sub/../a.toml").string() +
                               "; accepted: \"built-in\", the path of a model file (relative to "
                               "the folder of the file that names it), or no extends line for a "
                               "complete model");
    const std::string self = write("self.toml", std::string(kHead) + "extends = \"self.toml\"\n");
    const ModelFileResult s = load_model_file(self);
    ASSERT_EQ(s.errors.size(), 1u) << joined(s.errors);
    EXPECT_NE(s.errors[0].find("closes a cycle of extends: " + self + " -> " + self),
              std::string::npos)
        << s.errors[0];
}

TEST_F(Layers, AMissingOrUnusableFileIsOneLineAtTheExtendsThatNamesIt) {
    const std::string top = write("top.toml", std::string(kHead) + "# a comment\n"
                                                                   "extends = \"gone.toml\"\n");
    const ModelFileResult r = load_model_file(top);
    EXPECT_FALSE(r.model);
    ASSERT_EQ(r.errors.size(), 1u) << joined(r.errors);
    EXPECT_EQ(r.errors[0].rfind(top + ":3: extends: \"gone.toml\" cannot be read (" +
                                    (dir / "gone.toml").string() +
                                    "): No such file or directory; accepted: ",
                                0),
              0u)
        << r.errors[0];

    const std::string folder = write("folder.toml", std::string(kHead) + "extends = \"sub\"\n");
    const ModelFileResult f = load_model_file(folder);
    ASSERT_EQ(f.errors.size(), 1u) << joined(f.errors);
    EXPECT_NE(f.errors[0].find("extends: \"sub\" cannot be used"), std::string::npos);
    EXPECT_NE(f.errors[0].find("it is not a regular file"), std::string::npos);
}

TEST_F(Layers, ABaseThatIsRefusedGivesItsMessagesAndALineWhereItIsNamed) {
    const std::string base =
        write("base.toml", std::string(kHead) + "extends = \"built-in\"\n[constants]\n"
                                                "parallel_fraction = 2\n");
    const std::string top = write("top.toml", std::string(kHead) + "extends = \"base.toml\"\n");
    const ModelFileResult r = load_model_file(top);
    EXPECT_FALSE(r.model);
    ASSERT_EQ(r.errors.size(), 2u) << joined(r.errors);
    EXPECT_EQ(r.errors[0].rfind(base + ":4: constants parallel_fraction: 2 is not accepted", 0),
              0u);
    EXPECT_EQ(r.errors[1], top + ":2: extends: \"base.toml\" is refused, for the problems listed "
                                 "above; accepted: a model file that loads");
}

// Each file of a chain is judged against the file it extends: a figure warned about in the base
// is not warned about again where a later file restates it.
TEST_F(Layers, WarningsComeOncePerFileThatGivesTheFigure) {
    const std::string base =
        write("base.toml", std::string(kHead) + "extends = \"built-in\"\n[[node]]\n"
                                                "name = \"65nm\"\nVdd_LOP = 2.4\n");
    const std::string top =
        write("top.toml", std::string(kHead) + "extends = \"base.toml\"\n[[node]]\n"
                                               "name = \"65nm\"\nVdd_LOP = 2.4\nVdd_HP = 2.5\n");
    const ModelFileResult r = load_model_file(top);
    ASSERT_TRUE(r.model) << joined(r.errors);
    ASSERT_EQ(r.warnings.size(), 2u) << joined(r.warnings);
    EXPECT_EQ(r.warnings[0].rfind(base + ":5: node \"65nm\" Vdd_LOP: 2.4 V", 0), 0u);
    EXPECT_EQ(r.warnings[1].rfind(top + ":6: node \"65nm\" Vdd_HP: 2.5 V", 0), 0u);
}

TEST(BasedOn, AMalformedBasedOnIsOneError) {
    for (const char *value : {"20", "\"\"", "[\"20nm\"]", "\"16nm\""}) {
        const ModelFileResult r = parse_model_text(
            std::string(kHead) + "extends = \"built-in\"\n[[node]]\nname = \"14nm\"\nbased_on = " +
                value + "\nnode_nm = 14\n",
            "b.toml");
        EXPECT_FALSE(r.model);
        ASSERT_EQ(r.errors.size(), 1u) << value << "\n" << joined(r.errors);
        EXPECT_EQ(r.errors[0].rfind("b.toml:5: node \"14nm\" based_on: ", 0), 0u) << r.errors[0];
    }
}

// An export writes a node read with based_on in full; read back, it says no more than the file
// it came from.
TEST(BasedOn, AnExportReadsBackWithoutWarningsTheOriginalNeverGave) {
    const ModelFileResult original =
        load_model_file(std::string(SOURCE_DIR) + "/models/node-14nm.toml");
    ASSERT_TRUE(original.model) << joined(original.errors);
    EXPECT_TRUE(original.warnings.empty()) << joined(original.warnings);
    const ModelFileResult back = parse_model_text(export_model(*original.model), "exported.toml");
    ASSERT_TRUE(back.model) << joined(back.errors);
    EXPECT_TRUE(back.warnings.empty()) << joined(back.warnings);
    // A figure of its own that is odd is still warned about after the export.
    const ModelFileResult odd =
        parse_model_text(std::string(kHead) + "extends = \"built-in\"\n[[node]]\nname = "
                                              "\"14nm\"\nbased_on = \"20nm\"\nVth_HP = 0.02\n",
                         "odd.toml");
    ASSERT_TRUE(odd.model);
    const ModelFileResult odd_back = parse_model_text(export_model(*odd.model), "odd-back.toml");
    ASSERT_EQ(odd.warnings.size(), 1u) << joined(odd.warnings);
    ASSERT_EQ(odd_back.warnings.size(), 1u) << joined(odd_back.warnings);
    EXPECT_NE(odd_back.warnings[0].find("node \"14nm\" Vth_HP: 0.02 V"), std::string::npos);
}

// A cache axis with 3 MB in place of 512 MB, and a latency row of 67 values for it.
std::string new_cache_axis() {
    std::string axis = "[axes]\ncache_sizes_mb = [1, 2, 3, 4";
    for (int mb = 8; mb <= 504; mb += 8)
        axis += ", " + std::to_string(mb);
    return axis + "]\n";
}

std::string latency_row(const char *key, double first) {
    std::string row = std::string(key) + " = [";
    for (int j = 0; j < kCacheSizes; j++)
        row += (j ? ", " : "") + std::to_string(first + j * 0.25);
    return row + "]\n";
}

std::string nodes_with_rows(size_t count) {
    std::string text;
    for (size_t n = 0; n < count; n++)
        text += "[[node]]\nname = \"" + builtin_model().nodes[n].name + "\"\n" +
                latency_row("l2_latency_HP_ns", 1.0 + double(n)) +
                latency_row("l2_latency_LOP_ns", 2.0 + double(n));
    return text;
}

TEST(CacheAxis, RowsNotGivenForNewSizesAreRefusedNotRepaired) {
    const std::string head = std::string(kHead) + "extends = \"built-in\"\n" + new_cache_axis();
    const ModelFileResult r = parse_model_text(head + nodes_with_rows(4), "axis.toml");
    EXPECT_FALSE(r.model);
    ASSERT_EQ(r.errors.size(), 1u) << joined(r.errors);
    EXPECT_EQ(r.errors[0].rfind("axis.toml:4: axes cache_sizes_mb: 3 MB have no L2 latency in the "
                                "rows of node \"20nm\" l2_latency_HP_ns, \"20nm\" "
                                "l2_latency_LOP_ns, which the model extended gives for its own "
                                "sizes; accepted: ",
                                0),
              0u)
        << r.errors[0];
}

TEST(CacheAxis, RowsGivenForTheNewSizesAreTakenAsGivenAndFollowBasedOn) {
    const std::string text = std::string(kHead) + "extends = \"built-in\"\n" + new_cache_axis() +
                             nodes_with_rows(5) +
                             "[[node]]\nname = \"14nm\"\nbased_on = \"20nm\"\nnode_nm = 14\n";
    const ModelFileResult r = parse_model_text(text, "axis.toml");
    ASSERT_TRUE(r.model) << joined(r.errors);
    const Model &m = *r.model;
    EXPECT_EQ(m.cache_sizes[2], 3);
    EXPECT_EQ(m.cache_sizes[3], 4);
    EXPECT_EQ(m.nodes[1].l2_latency_HP[3], 2.75);
    EXPECT_EQ(m.nodes[5].l2_latency_LOP[66], 6.0 + 66 * 0.25);
    // A file that extends it and keeps its axis keeps its rows.
    const std::string dir = testing::TempDir();
    { std::ofstream(dir + "axis_base.toml") << text; }
    const ModelFileResult over = parse_model_text(
        std::string(kHead) +
            "extends = \"axis_base.toml\"\n[[node]]\nname = \"65nm\"\nyear = 2008\n",
        dir + "axis_top.toml");
    ASSERT_TRUE(over.model) << joined(over.errors);
    EXPECT_EQ(over.model->nodes[1].l2_latency_HP[3], 2.75);
    std::remove((dir + "axis_base.toml").c_str());
}

} // namespace
