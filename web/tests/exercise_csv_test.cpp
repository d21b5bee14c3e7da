// The page's exercise calls against the command-line tool: for seeded random requests (options,
// limits, held dimensions and operating points) the CSV the page gets is the one `search
// --format csv` writes, byte for byte; a budget's is `budget --binding --format csv`'s; and a
// request the tool refuses is refused with the tool's words.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "model/model.h"
#include "study/choices.h"
#include "web/exercise_api.h"

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

// The tool with these arguments (each single-quoted for the shell).
ToolRun tool(const std::vector<std::string> &args) {
    std::string command = CPU_WIDGET_CLI;
    for (const std::string &a : args)
        command += " '" + a + "'";
    const std::string err_file = testing::TempDir() + "exercise_csv_err";
    command += " 2>" + err_file;
    FILE *pipe = popen(command.c_str(), "r");
    ToolRun run{0, {}, {}};
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    run.status = pclose(pipe);
    if (FILE *err = fopen(err_file.c_str(), "r")) {
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, err)) > 0;)
            run.err.append(buffer, n);
        fclose(err);
    }
    return run;
}

struct Pair {
    std::string name, value;
};

std::string request_text(const std::vector<Pair> &request) {
    std::string text;
    for (const Pair &p : request)
        text += p.name + "=" + p.value + "\n";
    return text;
}

std::vector<std::string> arguments(const std::vector<Pair> &request) {
    std::vector<std::string> args;
    for (const Pair &p : request)
        args.insert(args.end(), {"--" + p.name, p.value});
    return args;
}

// A request as a student's view can make one: every option, some limits, now and then held
// dimensions at their own or a given operating point.
std::vector<Pair> random_request(std::mt19937 &random) {
    auto pick = [&](size_t n) { return size_t(random() % n); };
    std::vector<Pair> r;
    const char *options[] = {"workload", "memory", "transistor", "core", "node"};
    const Choice choices[] = {Choice::Workload, Choice::Memory, Choice::Transistor,
                              Choice::CoreKind, Choice::Node};
    for (int i = 0; i < 5; i++) {
        const std::vector<std::string> names = choice_names(choices[i]);
        r.push_back({options[i], names[pick(names.size())]});
    }
    const char *limits[] = {"area", "power", "bw", "tsv"};
    for (const char *limit : limits)
        if (pick(2))
            r.push_back({limit, shortest(double(pick(40000)) / 100)});
    const Model &m = active_model();
    if (pick(3) == 0)
        r.push_back({"cores", shortest(m.core_counts[pick(m.core_counts.size())])});
    if (pick(3) == 0)
        r.push_back({"cache", shortest(m.cache_sizes[pick(m.cache_sizes.size())])});
    if (pick(3) == 0) {
        r.push_back({"scale", shortest(m.scale_steps[pick(m.scale_steps.size())])});
        if (pick(2))
            r.push_back({"vdd", shortest(0.3 + double(pick(120)) / 100)});
    }
    return r;
}

TEST(ExerciseCsv, RequestsAreTheToolsSearchRowsOrItsRefusals) {
    std::mt19937 random(27);
    int refused = 0;
    for (int i = 0; i < 60; i++) {
        const std::vector<Pair> request = random_request(random);
        std::vector<std::string> args = arguments(request);
        args.insert(args.begin(), "search");
        args.insert(args.end(), {"--format", "csv"});
        const ToolRun run = tool(args);
        const nlohmann::json page =
            nlohmann::json::parse(engine_request_csv(request_text(request)));
        SCOPED_TRACE(request_text(request));
        if (run.status != 0) {
            // "cpu-widget-cli: --vdd: ..." read as "vdd: ...".
            refused++;
            ASSERT_NE(page["error"], "");
            EXPECT_NE(run.err.find(page["error"].get<std::string>()), std::string::npos) << run.err;
            continue;
        }
        ASSERT_EQ(page["error"], "");
        EXPECT_EQ(page["csv"], run.out);
    }
    EXPECT_GT(refused, 0); // some operating points are above what the options allow
}

TEST(ExerciseCsv, BudgetsAreTheToolsWithTheirBindingLimits) {
    const std::vector<std::pair<std::vector<Pair>, std::string>> cases = {
        {{{"node", "32nm"}}, "power=50:200:10"},
        {{{"node", "20nm"}, {"core", "ARM"}, {"memory", "3d"}, {"power", "80"}}, "tsv=0:120:7.5"},
        {{{"workload", "Apache/Web"}, {"transistor", "HP"}}, "area=0:400:25"},
        {{{"node", "90nm"}, {"power", "1"}}, "bandwidth=0:40:4"},
    };
    for (const auto &[request, vary] : cases) {
        std::vector<std::string> args = arguments(request);
        args.insert(args.begin(), "budget");
        args.insert(args.end(), {"--vary", vary, "--binding", "--format", "csv"});
        const nlohmann::json page =
            nlohmann::json::parse(engine_budget_csv(request_text(request), vary));
        ASSERT_EQ(page["error"], "") << vary;
        EXPECT_EQ(page["csv"], tool(args).out) << vary;
    }
}

TEST(ExerciseCsv, BadRequestsAndRangesAreRefusedAndNamed) {
    const std::vector<std::pair<std::string, std::string>> requests = {
        {"cores=0x8\n", "cores: '0x8'"},
        {"power=1\npower=2\n", "power: given twice"},
        {"colour=red\n", "colour: not a name"},
        {"vdd=0.5\n", "vdd: needs a held scale step"},
        {"scale=1\nfreq=0\n", "freq: 0 is out of range"},
    };
    for (const auto &[text, words] : requests) {
        const std::string error = nlohmann::json::parse(engine_request_csv(text))["error"];
        EXPECT_EQ(error.rfind(words, 0), 0u) << text << ": " << error;
    }
    const std::vector<std::pair<std::string, std::string>> ranges = {
        {"power=300:100:10", "start 300 is above end 100"},
        {"power=0:100:0", "step 0 is not above 0"},
        {"volume=0:1:1", "'volume' is not a limit"},
        {"power=0:100000:1", "too many for the page"},
        {"tsv=0:100:10", "TSV limit is checked with 3D memory only"},
    };
    for (const auto &[vary, words] : ranges) {
        const std::string error = nlohmann::json::parse(engine_budget_csv("", vary))["error"];
        EXPECT_NE(error.find(words), std::string::npos) << vary << ": " << error;
    }
    const std::string held =
        nlohmann::json::parse(engine_budget_csv("cores=8\n", "power=1:2:1"))["error"];
    EXPECT_NE(held.find("holds no dimension"), std::string::npos);
}

} // namespace
