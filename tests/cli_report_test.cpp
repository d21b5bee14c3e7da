// The command-line tool's reading of arguments and writing of CSV and JSON.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/report.h"
#include "study/choices.h"
#include "tests/table_text.h"

namespace {

// Doubles whose shortest decimal form needs all 17 digits, or none, or an exponent.
const double kAwkward[] = {0.1,    1.0 / 3,       46.44288, 2.0460599999999998,
                           1e-300, 6.02214076e23, 5e-324,   31.42440106640708,
                           12.0};

std::vector<std::string> csv_fields(const std::string &line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        fields.push_back(field);
    return fields;
}

std::string key(size_t i) {
    std::string name = "v";
    name += std::to_string(i);
    return name;
}

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// One row of the awkward numbers, a column each.
Table awkward_row() {
    Table table;
    for (double value : kAwkward)
        table.add(key(table.columns.size()), ColumnType::Number).add_number(value);
    return table;
}

TEST(CliNumbers, CsvNumbersReadBackToTheSameDouble) {
    const std::string csv = written(awkward_row(), TableFormat::Csv);
    const std::vector<std::string> values = csv_fields(csv.substr(csv.find('\n') + 1));
    ASSERT_EQ(values.size(), std::size(kAwkward));
    for (size_t i = 0; i < values.size(); i++)
        EXPECT_TRUE(same_bits(std::strtod(values[i].c_str(), nullptr), kAwkward[i])) << values[i];
}

TEST(CliNumbers, JsonNumbersReadBackToTheSameDouble) {
    const nlohmann::json parsed = nlohmann::json::parse(written(awkward_row(), TableFormat::Json));
    ASSERT_TRUE(parsed.is_array());
    for (size_t i = 0; i < std::size(kAwkward); i++)
        EXPECT_TRUE(same_bits(parsed[0][key(i)].get<double>(), kAwkward[i]));
}

TEST(CliNumbers, OnlyWholeFiniteNumbersAreRead) {
    EXPECT_EQ(parse_number("12"), 12.0);
    EXPECT_EQ(parse_number("0.8"), 0.8);
    EXPECT_EQ(parse_number("+5"), 5.0);
    EXPECT_EQ(parse_number("-2.5"), -2.5);
    EXPECT_EQ(parse_number("1e3"), 1000.0);
    for (const char *bad : {"", "abc", "1.2.3", "inf", "nan", "-inf", "0x10", "5 ", " 5", "+-5",
                            "--5", "+", "1e999", "12MB"})
        EXPECT_FALSE(parse_number(bad)) << bad;
}

TEST(CliNames, ChoicesAreFoundWhateverTheLetterCase) {
    EXPECT_EQ(find_choice(Choice::Workload, "db2/tpch"), 1);
    EXPECT_EQ(find_choice(Choice::Memory, "3D"), 1);
    EXPECT_EQ(find_choice(Choice::Transistor, "lop/hp"), 1);
    EXPECT_EQ(find_choice(Choice::CoreKind, "ARM"), 3);
    EXPECT_EQ(find_choice(Choice::Node, "90NM"), 0);
    EXPECT_FALSE(find_choice(Choice::Workload, "TPCC"));
    EXPECT_FALSE(find_choice(Choice::Node, "65"));
}

TEST(CliNames, AxisValuesAreFoundByTheirRealValue) {
    EXPECT_EQ(core_count_index(12), 6);
    EXPECT_EQ(core_count_index(192), 34);
    EXPECT_FALSE(core_count_index(13));
    EXPECT_EQ(cache_size_index(512), 66);
    EXPECT_FALSE(cache_size_index(3));
    EXPECT_EQ(scale_step_index(*parse_number("0.7")), 3);
    EXPECT_EQ(scale_step_index(*parse_number("1")), 0);
    EXPECT_FALSE(scale_step_index(0.75));
}

BestConfiguration infeasible_ninety_nanometre() {
    BestConfiguration best;
    best.options = OptionSet{0, 1, 0, 0, 0};
    best.limits = LimitValues{0, 167, 25.344, 0};
    best.unmeetable = {Limit::Area, Limit::Tsv};
    return best;
}

TEST(CliRecords, InfeasibleResultLeavesTheConfigurationEmpty) {
    Table record = best_table();
    add_best_row(record, infeasible_ninety_nanometre());
    const std::vector<std::string> configuration{
        "speedup",  "cores",    "cache_mb", "scale",          "vdd_v",
        "freq_ghz", "area_mm2", "power_w",  "bandwidth_gbps", "tsv_bandwidth_gbps"};
    const nlohmann::json json = nlohmann::json::parse(written(record, TableFormat::Json))[0];
    EXPECT_EQ(json["feasible"], false);
    for (const std::string &name : configuration)
        EXPECT_TRUE(json[name].is_null()) << name;
    EXPECT_EQ(json["unmeetable_limits"], nlohmann::json({"area", "tsv"}));
    EXPECT_EQ(json["area_limit_mm2"], 0.0);

    const std::string csv = written(record, TableFormat::Csv);
    const std::string header = csv.substr(0, csv.find('\n'));
    const std::string row = csv.substr(csv.find('\n') + 1);
    EXPECT_EQ(row, "DB2/TPCC,3d,LOP,Niagara,90nm,0,167,25.344,0,false,,,,,,,,,,,area+tsv\n");
    EXPECT_EQ(csv_fields(header).size(), record.columns.size());
}

TEST(CliRecords, PlainMemoryHasNoTsvFigures) {
    BestConfiguration best;
    best.options = OptionSet{};
    best.feasible = true;
    Table record = best_table();
    add_best_row(record, best);
    const nlohmann::json json = nlohmann::json::parse(written(record, TableFormat::Json))[0];
    EXPECT_TRUE(json["tsv_limit_gbps"].is_null());
    EXPECT_TRUE(json["tsv_bandwidth_gbps"].is_null());
    EXPECT_FALSE(json["speedup"].is_null());
}

TEST(CliRecords, CsvQuotesTextThatHoldsSeparatorsOrQuotes) {
    Table table;
    table.add("a", ColumnType::Name, {"x,y"}).add_name(0);
    table.add("b", ColumnType::Name, {"say \"hi\""}).add_name(0);
    table.add("c", ColumnType::Names, {"area", "power", "tsv"}).add_names(3);
    table.add("d", ColumnType::Number).add_none();
    EXPECT_EQ(written(table, TableFormat::Csv),
              "a,b,c,d\n\"x,y\",\"say \"\"hi\"\"\",area+power,\n");
}

// Rows written a few at a time give the bytes of the whole table written at once, whatever
// repeats from one row to the next: a sweep's rows, in both formats.
TEST(CliRecords, ChunkedWritesGiveTheSameBytes) {
    Table table = best_table();
    for (const BestConfiguration &row : sweep({}, {}, 2))
        add_best_row(table, row);
    for (TableFormat format : {TableFormat::Csv, TableFormat::Json}) {
        const std::string whole = written(table, format);
        EXPECT_GT(whole.size(), 360 * 80u);
        for (size_t chunk : {1, 7, 100})
            EXPECT_EQ(written(table, format, chunk), whole) << chunk;
    }
}

} // namespace
