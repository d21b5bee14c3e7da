// The page's engine runs the window's own handlers on controls without a display. Here the same
// seeded random actions go to the real window (GTK, on the virtual display) and to the page's
// engine run natively (web-replay): after every action both must show the same state, every
// figure bit for bit (the JSON holds each as its shortest round-trip text).
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/state.h"
#include "tests/gtk_test_support.h"
#include "web/session.h"

namespace {

std::string two_decimals(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// Actions as a user of the window takes them, with the values the controls can be given:
// whole slider steps, the spin buttons' two decimals, now and then a value out of range.
std::vector<std::string> random_actions(unsigned seed, int count) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    const int items[5] = {3, 2, 3, 4, 5};
    std::vector<std::string> actions;
    for (int i = 0; i < count; i++) {
        switch (pick(10)) {
        case 0:
        case 1: {
            const int box = pick(5);
            actions.push_back("option " + std::to_string(box) + " " +
                              std::to_string(pick(items[box])));
            break;
        }
        case 2:
            actions.push_back("limit " + std::to_string(2 + pick(4)) + " " +
                              two_decimals(pick(8) == 0 ? uniform(-50, 1200) : uniform(0, 400)));
            break;
        case 3:
            actions.push_back("lock " + std::to_string(pick(3)) + " " + std::to_string(pick(2)));
            break;
        case 4:
            actions.push_back("best");
            break;
        case 5:
            actions.push_back("slider 0 " + std::to_string(pick(36)));
            break;
        case 6:
            actions.push_back("slider 1 " + std::to_string(pick(68)));
            break;
        case 7:
            actions.push_back("slider 5 " + two_decimals(uniform(0, 1.6)));
            break;
        case 8:
            actions.push_back("slider 4 " + two_decimals(uniform(0, 6)));
            break;
        default:
            actions.push_back(pick(4) == 0 ? "slider 3 " + std::to_string(pick(8)) : "best");
            break;
        }
    }
    return actions;
}

std::vector<std::string> replay_natively(const std::vector<std::string> &actions) {
    const std::string script = testing::TempDir() + "web_actions.txt";
    FILE *file = std::fopen(script.c_str(), "w");
    for (const std::string &a : actions)
        std::fprintf(file, "%s\n", a.c_str());
    std::fclose(file);
    FILE *out = popen((std::string(WEB_REPLAY) + " < " + script).c_str(), "r");
    std::vector<std::string> lines;
    std::string line;
    for (int c; (c = std::fgetc(out)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += char(c);
        }
    }
    pclose(out);
    return lines;
}

TEST(PageEngine, SameStateAsTheWindowAfterEveryAction) {
    ASSERT_DISPLAY_OPEN();
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::vector<std::string> actions = random_actions(seed, 300);
        const std::vector<std::string> page = replay_natively(actions);
        ASSERT_EQ(page.size(), actions.size()) << "web-replay stopped early, seed " << seed;
        reset_design_state();
        Session window;
        for (size_t i = 0; i < actions.size(); i++) {
            const std::string error = window.act(actions[i]);
            const std::string shown =
                "{\"error\":" + json_string(error) + ",\"state\":" + window.state_json() + "}";
            ASSERT_EQ(shown, page[i]) << "seed " << seed << ", action " << i << ": " << actions[i];
        }
    }
}

} // namespace
