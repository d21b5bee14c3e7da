#include "modelfile/model_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/bad_model_files.h"

namespace {

bool same_bits(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

template <class T> bool same_bytes(const T &a, const T &b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

bool same_bytes(const std::vector<double> &a, const std::vector<double> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

#define EXPECT_BITS(a, b, field) EXPECT_TRUE(same_bits((a).field, (b).field)) << #field
#define EXPECT_BYTES(a, b, field) EXPECT_TRUE(same_bytes((a).field, (b).field)) << #field

void expect_same_names(const OptionName &a, const OptionName &b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.window_item, b.window_item);
}

// Every field of every record, bit for bit.
void expect_same_model(const Model &a, const Model &b) {
    EXPECT_BITS(a, b, parallel_fraction);
    EXPECT_BITS(a, b, working_set_growth);
    EXPECT_BITS(a, b, base_year);
    EXPECT_BYTES(a, b, core_counts);
    EXPECT_BYTES(a, b, cache_sizes);
    EXPECT_BYTES(a, b, scale_steps);
    EXPECT_BYTES(a, b, vdd_ratios);
    EXPECT_BYTES(a, b, freq_ratios);
    for (size_t i = 0; i < a.memory_kinds.size(); i++) {
        expect_same_names(a.memory_kinds[i], b.memory_kinds[i]);
        EXPECT_EQ(a.memory_kinds[i].description, b.memory_kinds[i].description);
    }
    for (size_t i = 0; i < a.transistor_kinds.size(); i++)
        expect_same_names(a.transistor_kinds[i], b.transistor_kinds[i]);
    ASSERT_EQ(a.workloads.size(), b.workloads.size());
    for (size_t i = 0; i < a.workloads.size(); i++) {
        const WorkloadRecord &x = a.workloads[i], &y = b.workloads[i];
        SCOPED_TRACE(x.name);
        expect_same_names(x, y);
        for (double WorkloadRecord::*f :
             {&WorkloadRecord::cpi, &WorkloadRecord::l2_access_rate,
              &WorkloadRecord::latency_hidden, &WorkloadRecord::bw_rate, &WorkloadRecord::bw_cpi,
              &WorkloadRecord::bw_width, &WorkloadRecord::bw_norm, &WorkloadRecord::miss_alpha,
              &WorkloadRecord::miss_beta, &WorkloadRecord::miss_gamma})
            EXPECT_TRUE(same_bits(x.*f, y.*f));
        EXPECT_EQ(x.parallel_fraction.has_value(), y.parallel_fraction.has_value());
        if (x.parallel_fraction && y.parallel_fraction) {
            EXPECT_TRUE(same_bits(*x.parallel_fraction, *y.parallel_fraction));
        }
    }
    ASSERT_EQ(a.core_kinds.size(), b.core_kinds.size());
    for (size_t i = 0; i < a.core_kinds.size(); i++) {
        const CoreKindRecord &x = a.core_kinds[i], &y = b.core_kinds[i];
        SCOPED_TRACE(x.name);
        expect_same_names(x, y);
        for (double CoreKindRecord::*f :
             {&CoreKindRecord::core_perf, &CoreKindRecord::core_power, &CoreKindRecord::ref_Vdd,
              &CoreKindRecord::ref_freq, &CoreKindRecord::uncore_power,
              &CoreKindRecord::reference_uncore_power})
            EXPECT_TRUE(same_bits(x.*f, y.*f));
    }
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    for (size_t i = 0; i < a.nodes.size(); i++) {
        SCOPED_TRACE(a.nodes[i].name);
        expect_same_names(a.nodes[i], b.nodes[i]);
        EXPECT_BYTES(a.nodes[i], b.nodes[i], tech);
        EXPECT_BYTES(a.nodes[i], b.nodes[i], core_area_HP);
        EXPECT_BYTES(a.nodes[i], b.nodes[i], core_area_LOP);
        EXPECT_BYTES(a.nodes[i], b.nodes[i], l2_latency_HP);
        EXPECT_BYTES(a.nodes[i], b.nodes[i], l2_latency_LOP);
    }
    EXPECT_EQ(a.start_node, b.start_node);
    EXPECT_BYTES(a, b, reference);
    EXPECT_BYTES(a, b, stack);
}

std::string joined(const std::vector<std::string> &errors) {
    std::string text;
    for (const std::string &e : errors)
        text += e + "\n";
    return text;
}

const char *const kBuiltInPlus = "format_version = 1\nextends = \"built-in\"\n";

TEST(ModelFile, BuiltInModelSurvivesARoundTrip) {
    const std::string text = export_model(builtin_model());
    const ModelFileResult read = parse_model_text(text, "exported.toml");
    ASSERT_TRUE(read.model) << joined(read.errors);
    EXPECT_TRUE(read.errors.empty());
    EXPECT_EQ(read.model->source, "exported.toml");
    expect_same_model(*read.model, builtin_model());
    EXPECT_EQ(export_model(*read.model), text);
}

// Doubles that a careless writer turns into another double or into something TOML refuses.
TEST(ModelFile, NumbersReadBackToTheSameDouble) {
    for (double value : {0.1, 1.0 / 3, 5e-324, DBL_MIN, 1e300, DBL_MAX, 0x1p53 + 2, 0x1p63,
                         0x1p64 * 3, 123456789.125, 2007.0, -0.0, -7.5e-8}) {
        SCOPED_TRACE(value);
        Model model = builtin_model();
        model.base_year = value;
        model.working_set_growth = std::fabs(value) > 0 ? std::fabs(value) : 1.0;
        const ModelFileResult read = parse_model_text(export_model(model), "numbers.toml");
        ASSERT_TRUE(read.model) << joined(read.errors);
        EXPECT_TRUE(same_bits(read.model->base_year, model.base_year));
        EXPECT_TRUE(same_bits(read.model->working_set_growth, model.working_set_growth));
    }
}

TEST(ModelFile, OverlayChangesOnlyWhatItNames) {
    const ModelFileResult read = parse_model_text(
        std::string(kBuiltInPlus) + "[constants]\nparallel_fraction = 0.95\n", "five.toml");
    ASSERT_TRUE(read.model) << joined(read.errors);
    Model expected = builtin_model();
    expected.parallel_fraction = 0.95;
    expect_same_model(*read.model, expected);

    // An entry matched ignoring case keeps its name and the fields not given; non-ASCII text
    // is read in strings and comments, after a byte-order mark.
    const ModelFileResult node = parse_model_text(
        "\xEF\xBB\xBF" + std::string(kBuiltInPlus) +
            "[[node]] # \xC3\xBC\nname = \"65NM\"\nwindow_item = \"65 \xC2\xB5m\"\nfmax_HP = 4.5\n",
        "node.toml");
    ASSERT_TRUE(node.model) << joined(node.errors);
    expected = builtin_model();
    expected.nodes[1].window_item = "65 \xC2\xB5m";
    expected.nodes[1].tech.fmax_HP = 4.5;
    expect_same_model(*node.model, expected);
}

TEST(ModelFile, OverlayAppendsNewEntries) {
    std::string text = std::string(kBuiltInPlus) +
                       "[[workload]]\nname = \"Batch\"\ncpi = 2\nl2_access_rate = 0.1\n"
                       "latency_hidden = 0.5\nbw_rate = 5\nbw_cpi = 1\nbw_width = 16\n"
                       "bw_norm = 0.3\nmiss_alpha = 0.6\nmiss_beta = 0.5\nmiss_gamma = -0.4\n"
                       "[[core_kind]]\nname = \"RISC\"\nwindow_item = \"RISC-V\"\ncore_perf = 2\n"
                       "core_power = 0.5\nref_Vdd = 1\nref_freq = 1\nuncore_power = 0\n"
                       "reference_uncore_power = 3.78\n";
    for (const NodeRecord &n : builtin_model().nodes)
        text += "[[node]]\nname = \"" + n.name +
                "\"\ncore_area_HP_mm2 = { RISC = " + std::to_string(n.tech.node_nm) +
                " }\ncore_area_LOP_mm2 = { risc = 1.5 }\n";
    const ModelFileResult read = parse_model_text(text, "add.toml");
    ASSERT_TRUE(read.model) << joined(read.errors);

    Model expected = builtin_model();
    WorkloadRecord batch{{"Batch", "Batch"}, 2, 0.1, 0.5, 5, 1, 16, 0.3, 0.6, 0.5, -0.4};
    expected.workloads.push_back(batch);
    expected.core_kinds.push_back(CoreKindRecord{{"RISC", "RISC-V"}, 2, 0.5, 1, 1, 0, 3.78});
    for (NodeRecord &n : expected.nodes) {
        n.core_area_HP.push_back(n.tech.node_nm);
        n.core_area_LOP.push_back(1.5);
    }
    expect_same_model(*read.model, expected);
}

// A node based on another gives only what differs: a 14 nm node of a few lines, and a 10 nm node
// based on it, are the nodes written out in full. Exported, both are written in full and a
// workload's own parallel fraction is written too; the export reads back to the same model.
TEST(ModelFile, NodeBasedOnAnotherIsTheNodeWrittenInFull) {
    std::string row = "[";
    for (int i = 0; i < 67; i++)
        row += std::to_string(1 + i * 0.25) + (i < 66 ? ", " : "]");
    const std::string text = std::string(kBuiltInPlus) +
                             "[[workload]]\nname = \"DB2/TPCH\"\nparallel_fraction = 0.9\n"
                             "[[node]]\nname = \"14nm\"\nbased_on = \"20NM\"\nnode_nm = 14\n"
                             "year = 2020\nfmax_LOP = 7.5\ncore_area_LOP_mm2 = { arm = 0.16 }\n"
                             "l2_latency_LOP_ns = " +
                             row +
                             "\n[[node]]\nname = \"10nm\"\nwindow_item = \"10 nm\"\n"
                             "based_on = \"14nm\"\nnode_nm = 10\n";
    const ModelFileResult read = parse_model_text(text, "derived.toml");
    ASSERT_TRUE(read.model) << joined(read.errors);

    Model expected = builtin_model();
    expected.workloads[1].parallel_fraction = 0.9;
    NodeRecord n14 = expected.nodes[4];
    n14.name = n14.window_item = "14nm";
    n14.tech.node_nm = 14;
    n14.tech.year = 2020;
    n14.tech.fmax_LOP = 7.5;
    n14.core_area_LOP[3] = 0.16;
    for (int i = 0; i < 67; i++)
        n14.l2_latency_LOP[size_t(i)] = std::stod(std::to_string(1 + i * 0.25));
    NodeRecord n10 = n14;
    n10.name = "10nm";
    n10.window_item = "10 nm";
    n10.tech.node_nm = 10;
    expected.nodes.push_back(n14);
    expected.nodes.push_back(n10);
    expect_same_model(*read.model, expected);

    const std::string exported = export_model(*read.model);
    const size_t body = exported.find("\nformat_version = 1\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_EQ(exported.find("based_on", body), std::string::npos);
    const ModelFileResult again = parse_model_text(exported, "again.toml");
    ASSERT_TRUE(again.model) << joined(again.errors);
    expect_same_model(*again.model, expected);
}

// A file that loads with figures outside their typical ranges gets one warning per field, at the
// field's line (the element's, in a latency row). What the built-in model already holds in the
// same place (the same figure of an entry of the same name, or of the node a based_on names) is
// not warned about again; the same figures in a new node are.
TEST(ModelFile, ImplausibleFiguresAreWarnedAboutOncePerField) {
    std::string falling = "[";
    for (int i = 0; i < 67; i++)
        falling +=
            (i == 10 ? std::string("1.5") : std::to_string(1 + i * 0.1)) + (i < 66 ? ", " : "]");
    struct Case {
        std::string text;
        int line;
        const char *field;
    };
    const Case cases[] = {
        {"[[node]]\nname = \"20nm\"\nVth_LOP = 0.7\n", 5, "node \"20nm\" Vth_LOP"}, // above 0.59 V
        {"[[node]]\nname = \"32nm\"\nVdd_HP = 2.5\n", 5, "node \"32nm\" Vdd_HP"},
        {"[[node]]\nname = \"45nm\"\nfmax_LOP = 12\n", 5, "node \"45nm\" fmax_LOP"},
        {"[[node]]\nname = \"45nm\"\nl2_latency_HP_ns = " + falling + "\n", 5,
         "node \"45nm\" l2_latency_HP_ns[10]"},
        {"[[node]]\nname = \"65nm\"\n\ncore_area_LOP_mm2 = { arm = 0 }\n", 6,
         "node \"65nm\" core_area_LOP_mm2 \"ARM\""},
        {"[[node]]\nname = \"65nm\"\npower_budget = 0\n", 5, "node \"65nm\" power_budget"},
        {"[[workload]]\nname = \"DB2/TPCC\"\nmiss_gamma = 0.2\n", 5,
         "workload \"DB2/TPCC\" miss_gamma"},
        {"[[core_kind]]\nname = \"ARM\"\nref_Vdd = 3\n", 5, "core_kind \"ARM\" ref_Vdd"},
        {"[reference_chip]\nfreq = 20\n", 4, "reference_chip freq"},
        {"[constants]\nworking_set_growth = 0.5\n", 4, "constants working_set_growth"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        const ModelFileResult read = parse_model_text(kBuiltInPlus + c.text, "w.toml");
        ASSERT_TRUE(read.model) << joined(read.errors);
        ASSERT_EQ(read.warnings.size(), 1u) << joined(read.warnings);
        const std::string start = "w.toml:" + std::to_string(c.line) + ": " + c.field + ": ";
        EXPECT_EQ(read.warnings[0].rfind(start, 0), 0u) << read.warnings[0];
        EXPECT_NE(read.warnings[0].find("; typical: "), std::string::npos) << read.warnings[0];
    }

    // The built-in figures: none again in its export or in a file that restates them, nor in a
    // node based on 20 nm, nor in a new node with all of 20 nm's figures (as an exported node
    // that was based on 20 nm is written).
    const ModelFileResult exported = parse_model_text(export_model(builtin_model()), "b.toml");
    EXPECT_TRUE(exported.model && exported.warnings.empty()) << joined(exported.warnings);
    for (const char *same : {"[[node]]\nname = \"20nm\"\nVth_HP = 0.018\n",
                             "[[node]]\nname = \"14nm\"\nbased_on = \"20nm\"\nVth_HP = 0.018\n"}) {
        const ModelFileResult read = parse_model_text(kBuiltInPlus + std::string(same), "s.toml");
        EXPECT_TRUE(read.model && read.warnings.empty()) << same << joined(read.warnings);
    }
    Model copied = builtin_model();
    copied.nodes.push_back(copied.nodes[4]);
    copied.nodes.back().name = "14nm";
    const ModelFileResult copy = parse_model_text(export_model(copied), "c.toml");
    ASSERT_TRUE(copy.model) << joined(copy.errors);
    std::string fields;
    for (const std::string &w : copy.warnings)
        fields +=
            w.substr(w.find(": ") + 2, w.find(':', w.find(": ") + 2) - w.find(": ") - 2) + "\n";
    EXPECT_EQ(fields, "");

    // What the ranges flag in the built-in model (docs/model.md lists it).
    std::string flagged;
    for (const std::string &f : implausible_figures(builtin_model()))
        flagged += f.substr(0, f.find(':')) + "\n";
    EXPECT_EQ(flagged, "node \"90nm\" bw_tsv\nnode \"90nm\" area_budget\n"
                       "node \"90nm\" l2_latency_HP_ns[5]\nnode \"90nm\" l2_latency_LOP_ns[5]\n"
                       "node \"65nm\" Vth_HP\nnode \"65nm\" l2_latency_HP_ns[7]\n"
                       "node \"65nm\" l2_latency_LOP_ns[7]\nnode \"45nm\" l2_latency_HP_ns[3]\n"
                       "node \"45nm\" l2_latency_LOP_ns[3]\nnode \"32nm\" Vth_HP\n"
                       "node \"32nm\" l2_latency_HP_ns[8]\nnode \"32nm\" l2_latency_LOP_ns[8]\n"
                       "node \"20nm\" Vth_HP\nnode \"20nm\" l2_latency_HP_ns[3]\n"
                       "node \"20nm\" l2_latency_LOP_ns[3]\n");
}

class BadModelFileTest : public testing::TestWithParam<BadModelFile> {};

TEST_P(BadModelFileTest, IsRefusedWithItsLineAndField) {
    const BadModelFile &bad = GetParam();
    const ModelFileResult read = parse_model_text(bad.text, "bad.toml");
    EXPECT_FALSE(read.model);
    ASSERT_FALSE(read.errors.empty());
    const std::string start = "bad.toml:" + std::to_string(bad.line) + ": " + bad.field + ": ";
    bool named = false;
    for (const std::string &e : read.errors) {
        EXPECT_NE(e.find("; accepted: "), std::string::npos) << e;
        EXPECT_EQ(e.find('\n'), std::string::npos) << e;
        named = named || e.rfind(start, 0) == 0;
    }
    EXPECT_TRUE(named) << "no message starts with '" << start << "':\n" << joined(read.errors);
}

INSTANTIATE_TEST_SUITE_P(Cases, BadModelFileTest, testing::ValuesIn(kBadModelFiles),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ModelFile, EveryProblemHasItsOwnMessage) {
    const ModelFileResult read =
        parse_model_text(std::string(kBuiltInPlus) + "[constants]\nparallel_fraction = -1\n"
                                                     "base_year = \"x\"\ntypo = 1\n",
                         "three.toml");
    EXPECT_FALSE(read.model);
    EXPECT_EQ(read.errors.size(), 3u) << joined(read.errors);
}

TEST(ModelFile, FilesThatCannotBeReadAreOneError) {
    const std::filesystem::path dir = testing::TempDir();
    const std::string good = (dir / "model_file_good.toml").string();
    const std::string large = (dir / "model_file_large.toml").string();
    std::ofstream(good) << kBuiltInPlus;
    std::ofstream(large) << kBuiltInPlus << std::string(kModelFileMaxBytes, '#');

    const ModelFileResult read = load_model_file(good);
    ASSERT_TRUE(read.model) << joined(read.errors);
    EXPECT_EQ(read.model->source, good);

    for (const std::string &path :
         {(dir / "model_file_missing.toml").string(), dir.string(), large}) {
        SCOPED_TRACE(path);
        const ModelFileResult refused = load_model_file(path);
        EXPECT_FALSE(refused.model);
        ASSERT_EQ(refused.errors.size(), 1u) << joined(refused.errors);
        EXPECT_EQ(refused.errors[0].rfind(path + ": file: ", 0), 0u) << refused.errors[0];
    }
}

// Mangled copies of a valid file and pathological nesting: refused or read, never a crash.
TEST(ModelFile, HostileTextIsRefusedWithoutCrashing) {
    const std::string valid = export_model(builtin_model());
    std::mt19937 random(12345);
    for (int round = 0; round < 300; round++) {
        std::string text = valid;
        for (int edits = 1 + int(random() % 4); edits > 0; edits--)
            text[random() % text.size()] = static_cast<char>(random() % 256);
        text.resize(random() % 2 ? text.size() : random() % text.size());
        const ModelFileResult read = parse_model_text(text, "mangled.toml");
        EXPECT_NE(!read.model, read.errors.empty());
    }
    std::string key, header = "[";
    for (int i = 0; i < 200000; i++)
        key += "a.";
    header += key + "a]\n";
    for (const std::string &text :
         {key + "a = 1\n", header, "x = " + std::string(200000, '['), std::string("\0\0\0", 3)}) {
        const ModelFileResult read = parse_model_text(text, "deep.toml");
        EXPECT_FALSE(read.model);
        EXPECT_FALSE(read.errors.empty());
    }
}

} // namespace
