// A seeded random sequence of user actions on the real window, under a virtual display, with
// the window's invariants checked after every one.
//
// SOAK_ACTIONS (default 2000) and SOAK_SEED (default 1) choose the run; a failure names both
// and the step, and the same seed replays the same actions. `make soak N=... SEED=...` runs a
// longer one.
//
// The actions are the signals a person's actions emit: picking an item in any option box (the
// blank first node item included), setting a limit between 0 and 1000, moving any visible
// slider anywhere in its current range (fractional values included), toggling a lock button and
// pressing "Best Performance". The target-scale slider is left out: it is packed nowhere, so no
// person can move it, and while a handler moves it its own handler does nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/state.h"
#include "model/tables.h"
#include "tests/gtk_test_support.h"
#include "ui/map_window.h"
#include "ui/window.h"
#include "widgets/mycpu.h"

namespace {

// splitmix64: the same sequence on every platform, unlike the <random> distributions.
class Random {
  public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; } // [0, 1)
    double between(double low, double high) { return low + (high - low) * unit(); }

  private:
    uint64_t state;
};

// A whole number from the environment, or the fallback when the variable is unset.
uint64_t setting(const char *name, uint64_t fallback) {
    const char *text = getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = strtoull(text, &end, 10);
    if (*end != '\0' || errno != 0 || *text == '-') {
        ADD_FAILURE() << name << " must be a whole number, not \"" << text << "\"";
        return fallback;
    }
    return value;
}

std::string formatted(const char *format, double value) {
    char text[512];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string formatted(const char *format, int value) {
    char text[64];
    snprintf(text, sizeof text, format, value);
    return text;
}

const int kItems[5] = {3, 2, 3, 4, 5};          // items of each option box
const int kVisibleSliders[5] = {0, 1, 2, 4, 5}; // every slider a person can reach
const int kResultLabels[] = {0, 1, 3, 11, 12, 13, 14, 15, 16};

// Labels that each kind of recalculation writes; every other label keeps its text.
const std::vector<int> kEveryResult = {0, 1, 3, 14, 15, 11, 12, 13, 16};
const std::vector<int> kSliderResults = {0, 1, 14, 15, 11, 12, 13, 16};
const std::vector<int> kFrequencyResults = {0, 1, 14, 11, 12, 13, 16}; // the supply stays

struct Action {
    enum Kind { Option, Limit, Slider, Lock, Best } kind;
    int target = 0; // box, spin-button slot, slider slot or lock button
    double value = 0;

    std::string describe() const {
        std::ostringstream text;
        text.precision(17);
        switch (kind) {
        case Option:
            text << "option box " << target << " -> item " << value;
            break;
        case Limit:
            text << "limit " << target << " -> " << value;
            break;
        case Slider:
            text << "slider " << target << " -> " << value;
            break;
        case Lock:
            text << "lock " << target << (value != 0 ? " on" : " off");
            break;
        case Best:
            text << "Best Performance";
            break;
        }
        return text.str();
    }
};

// Standard output goes to /dev/null while the soak runs: the searches keep printing for real,
// and the log stays small.
class QuietStdout {
  public:
    void silence() {
        fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    void restore() {
        if (saved < 0)
            return;
        fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        saved = -1;
    }
    ~QuietStdout() { restore(); }

  private:
    int saved = -1;
};

struct Counts {
    int by_kind[5] = {};
    int recalculations = 0;    // actions that ran a search and refreshed the labels
    int snapped_back = 0;      // slider moves undone by a lock
    int scored_zero = 0;       // recalculations whose configuration scored 0
    int gauge_pulled_down = 0; // steps that ended with the gauge on an earlier best: the
    int gauge_kept = 0;        // slider pulled down by a narrower range, or not moved at all
};

class Soak : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_DISPLAY_OPEN();
        reset_design_state();
        previous_handler = g_log_set_default_handler(capture, &messages);
        open_window();
    }
    void TearDown() override {
        close_window();
        quiet.restore();
        g_log_set_default_handler(previous_handler, nullptr);
        reset_design_state();
    }

    void open_window() {
        run = RunState{};
        w = open_explorer_window();
        map = with_map ? open_map_window(w) : nullptr;
        // Runs after the window's own handler, so it sees what the gauge was just given.
        g_signal_connect(scale_global[2], "value-changed", G_CALLBACK(observe_speedup), this);
        for (int slot : kResultLabels)
            run.expected[slot] = gtk_label_get_text(GTK_LABEL(label[slot]));
        pump();
    }
    void close_window() {
        if (w.window == nullptr)
            return;
        close_explorer_window(w);
        map = nullptr; // closed with the explorer
        pump();
    }

    static void capture(const char *domain, GLogLevelFlags, const char *text, void *data) {
        static_cast<std::vector<std::string> *>(data)->push_back(std::string(domain ? domain : "") +
                                                                 ": " + text);
    }

    // Every emission of the speedup slider: the gauge must just have been set to the value
    // over the best in force at that moment.
    static void observe_speedup(GtkRange *slider, Soak *soak) {
        const GtkAdjustment *range = gtk_range_get_adjustment(slider);
        soak->run.last.seen = true;
        soak->run.last.value = gtk_range_get_value(slider);
        soak->run.last.best = best;
        soak->run.last.top = range->upper;
        const double shown = my_cpu_get_percent(MY_CPU(soak->w.gauge));
        if (shown != soak->run.last.value / (best / 100))
            soak->problems.push_back("gauge set to " + formatted("%.17g", shown) +
                                     " for the slider's " +
                                     formatted("%.17g", soak->run.last.value) + " with best " +
                                     formatted("%.17g", best));
    }

    // Lets the window draw what the action changed, the gauge included.
    static void pump() {
        while (gtk_events_pending())
            gtk_main_iteration_do(FALSE);
    }

    GtkRange *slider(int slot) { return GTK_RANGE(scale_global[slot]); }
    double value_of(int slot) { return gtk_range_get_value(slider(slot)); }
    GtkAdjustment *range_of(int slot) { return gtk_range_get_adjustment(slider(slot)); }
    bool locked(int i) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.lock_button[i])); }
    int active(int box) { return gtk_combo_box_get_active(GTK_COMBO_BOX(w.option_box[box])); }
    double limit_shown(int slot) {
        return gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[slot]));
    }

    // The next action, drawn from what the window offers now.
    Action next_action(Random &random) {
        const int roll = random.below(100);
        Action a{Action::Best};
        if (roll < 20) {
            a.kind = Action::Option;
            a.target = random.below(5);
            a.value = random.below(kItems[a.target]);
        } else if (roll < 35) {
            a.kind = Action::Limit;
            a.target = 2 + random.below(4);
            const TranTechRecord &node = Tran_Tech[User_Option[4]];
            const double defaults[6] = {
                0, 0, node.area_budget, node.power_budget, node.bw_offchip, node.bw_tsv};
            const int pick = random.below(10);
            if (pick == 0)
                a.value = 0;
            else if (pick == 1)
                a.value = 1000;
            else if (pick == 2) // as typed: two decimals
                a.value = static_cast<int>(random.between(0, 100000)) / 100.0;
            else if (pick == 3)
                a.value = random.between(0, 1000);
            else // around the node's default, where the limits decide the search
                a.value = std::min(1000.0, defaults[a.target] * random.between(0.5, 1.5));
        } else if (roll < 80) {
            a.kind = Action::Slider;
            a.target = kVisibleSliders[random.below(5)];
            const GtkAdjustment *range = range_of(a.target);
            switch (random.below(5)) {
            case 0:
                a.value = range->lower;
                break;
            case 1:
                a.value = range->upper;
                break;
            case 2:
                a.value = static_cast<int>(random.between(range->lower, range->upper + 1));
                break;
            case 3: // a supply or frequency of one of the scale steps
                if (a.target == 5 || a.target == 4) {
                    const int step = random.below(kScaleSteps);
                    a.value =
                        a.target == 5 ? VDD_MAX * Target_Array[step] : FRE_MAX * Fmax_Scaling[step];
                    break;
                }
                [[fallthrough]];
            default:
                a.value = random.between(range->lower, range->upper);
                break;
            }
        } else if (roll < 88) {
            a.kind = Action::Lock;
            a.target = random.below(3);
            a.value = locked(a.target) ? 0 : 1;
        }
        return a;
    }

    // Runs the action and records which labels it refreshed, and with what.
    void perform(const Action &a) {
        run.counts.by_kind[a.kind]++;
        switch (a.kind) {
        case Action::Option: {
            const int before = active(a.target);
            gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[a.target]),
                                     static_cast<int>(a.value));
            if (active(a.target) != before) // picking the active item again runs nothing
                refreshed(kEveryResult, "Target: %f");
            break;
        }
        case Action::Limit: {
            const double before = limit_shown(a.target);
            gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[a.target]), a.value);
            // A new limit is stored and searched, but no label is rewritten: the figures'
            // labels lag their globals until the next recalculation.
            if (limit_shown(a.target) != before)
                run.figures_lag = true;
            break;
        }
        case Action::Slider: {
            const double before = value_of(a.target);
            const int lock = a.target == 0 ? 0 : a.target == 1 ? 1 : 2;
            const bool held = a.target != 2 && locked(lock);
            gtk_range_set_value(slider(a.target), a.value);
            if (held) {
                // Back to the held figure, as far as the slider's range allows.
                const double figure = a.target == 0   ? User_Option[8]
                                      : a.target == 1 ? User_Option[9]
                                      : a.target == 4 ? FRE
                                                      : VDD_G;
                const GtkAdjustment *range = range_of(a.target);
                const double requested = std::clamp(a.value, range->lower, range->upper);
                // Setting the value a slider holds emits nothing, so nothing snaps.
                const double snapped =
                    requested == before ? before : std::clamp(figure, range->lower, range->upper);
                if (requested != before)
                    run.counts.snapped_back++;
                if (value_of(a.target) != snapped)
                    problems.push_back("locked slider " + std::to_string(a.target) + " stands at " +
                                       formatted("%.17g", value_of(a.target)) + ", not back at " +
                                       formatted("%.17g", snapped));
            } else if (value_of(a.target) != before && a.target != 2) {
                refreshed(a.target == 4 ? kFrequencyResults : kSliderResults, nullptr);
            }
            break;
        }
        case Action::Lock:
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[a.target]), a.value != 0);
            break;
        case Action::Best:
            gtk_button_clicked(GTK_BUTTON(w.best_button));
            refreshed(kEveryResult, "%f ");
            break;
        }
        pump();
    }

    // The text a result label shows after a recalculation, from the globals it stands for.
    std::string shown_by_model(int slot) {
        switch (slot) {
        case 0:
            return formatted("%d cores", static_cast<int>(Cores_Num[User_Option[8]]));
        case 1:
            return formatted("%d MB", static_cast<int>(Cache_Size[User_Option[9]]));
        case 3:
            return formatted(run.target_format.c_str(), Target_Array[User_Option[10]]);
        case 11:
            return formatted("Area: %.2f mm^2", AREA_RESULT);
        case 12:
            return formatted("Power: %.2f W", POWER_RESULT);
        case 13:
            return formatted("Bandwidth: %.2f GB/s", BW_RESULT);
        case 14:
            return formatted("%.2f GHz", FRE);
        case 15:
            return formatted("%.2f V", VDD_G);
        case 16:
            return formatted("Bandwidth_TSV: %.2f GB/s", BW_RESULT_TSV);
        default:
            return "";
        }
    }

    void refreshed(const std::vector<int> &slots, const char *target) {
        run.counts.recalculations++;
        if (value_of(2) == 0)
            run.counts.scored_zero++;
        if (target != nullptr)
            run.target_format = target;
        run.figures_lag = false;
        if (!indices_in_range())
            return; // reported by broken_invariants()
        for (int slot : slots) {
            run.expected[slot] = shown_by_model(slot);
            run.refreshed[slot] = true;
        }
    }

    bool indices_in_range() {
        return User_Option[8] >= 0 && User_Option[8] < kCoreCounts && User_Option[9] >= 0 &&
               User_Option[9] < kCacheSizes && User_Option[10] >= 0 &&
               User_Option[10] < kScaleSteps;
    }

    // Everything that must hold between actions; returns what does not.
    std::vector<std::string> broken_invariants() {
        std::vector<std::string> found;
        found.swap(problems);
        auto expect = [&](bool holds, const std::string &what) {
            if (!holds)
                found.push_back(what);
        };
        expect(flag == 1, "flag is " + std::to_string(flag) + ", not back at 1");

        const double top = range_of(2)->upper;
        expect(best > 0, "best is not positive: " + formatted("%.17g", best));
        expect(best == top, "best " + formatted("%.17g", best) +
                                " is not the speedup slider's upper end " +
                                formatted("%.17g", top));

        // The gauge shows the slider's value as a share of best, except where best is replaced
        // after the slider's value last changed: the gauge moves only with the slider, so it
        // keeps the share of the best in force then. That happens when a new best narrows the
        // slider's range, pulling the slider down before best is replaced, and when a new best
        // leaves the slider's value as it was.
        const double value = value_of(2), shown = my_cpu_get_percent(MY_CPU(w.gauge));
        if (shown != value / (best / 100)) {
            const bool kept = run.last.seen && value == run.last.value && run.last.best != best &&
                              shown == run.last.value / (run.last.best / 100);
            if (kept && run.last.value == run.last.top && run.last.best != run.last.top)
                run.counts.gauge_pulled_down++;
            else if (kept)
                run.counts.gauge_kept++;
            expect(kept, "gauge shows " + formatted("%.17g", shown) + " for the slider's " +
                             formatted("%.17g", value) + " and best " + formatted("%.17g", best));
        }

        // The map, rebuilt once the actions' handlers are done, marks the configuration on show.
        if (map != nullptr && (VDD_G != 0 || FRE != 0)) {
            const auto shown = map_window_chart(map).shown;
            expect(shown == std::pair(User_Option[9], User_Option[8]),
                   "the map marks another configuration than the one on show");
        }

        expect(indices_in_range(),
               "configuration indices out of their tables: " + std::to_string(User_Option[8]) +
                   " " + std::to_string(User_Option[9]) + " " + std::to_string(User_Option[10]));
        for (int slot : kVisibleSliders) {
            const GtkAdjustment *range = range_of(slot);
            expect(range->lower == 0 && range->upper > 0 && value_of(slot) >= range->lower &&
                       value_of(slot) <= range->upper,
                   "slider " + std::to_string(slot) + " stands at " +
                       formatted("%.17g", value_of(slot)) + " outside 0 .. " +
                       formatted("%.17g", range->upper));
        }

        // What the controls show is what the model holds.
        for (int box = 0; box < 5; box++)
            expect(User_Option[box] == active(box),
                   "option " + std::to_string(box) + " is " + std::to_string(User_Option[box]) +
                       " while its box shows item " + std::to_string(active(box)));
        for (int i = 0; i < 3; i++)
            expect(check[i] == (locked(i) ? 1 : 0), "lock " + std::to_string(i) + " disagrees");
        const double limits[6] = {0, 0, AREA_CONSTRT, POWER_CONSTRT, BW_CONSTRT, BW_CONSTRT_TSV};
        if (limit_shown(5) != 0)
            run.tsv_limit_changed = true;
        for (int slot = 2; slot <= 5; slot++) {
            // The TSV limit holds 100 until its spin button, which starts at 0, first changes.
            const bool untouched_tsv = slot == 5 && !run.tsv_limit_changed && limits[5] == 100;
            expect(limits[slot] == limit_shown(slot) || untouched_tsv,
                   "limit " + std::to_string(slot) + " holds " + formatted("%.17g", limits[slot]) +
                       " while its spin button shows " + formatted("%.17g", limit_shown(slot)));
        }
        // The selected options' ceilings, from the window's construction on.
        const TranTechRecord &node = Tran_Tech[User_Option[4]];
        const bool hp = User_Option[2] > 0;
        expect(FRE_MAX == (hp ? node.fmax_HP : node.fmax_LOP) &&
                   VDD_MAX == (hp ? node.Vdd_HP : node.Vdd_LOP),
               "the ceilings are not the selected node's");

        // Each label shows what its last refresh wrote from the globals; a label the action
        // did not refresh keeps its text. Once refreshed, the configuration, supply and
        // frequency labels always show their globals as they are now; the figures' labels do
        // too, except after a new limit, whose search changes the figures but no label. The
        // target-scale label (never on screen) is not among them: the slider recalculations
        // choose a new step without rewriting it.
        if (indices_in_range()) {
            for (int slot : kResultLabels) {
                const std::string text = gtk_label_get_text(GTK_LABEL(label[slot]));
                expect(text == run.expected[slot], "label " + std::to_string(slot) + " shows \"" +
                                                       text + "\", expected \"" +
                                                       run.expected[slot] + "\"");
                const bool figure = (slot >= 11 && slot <= 13) || slot == 16;
                if (slot != 3 && run.refreshed[slot] && !(figure && run.figures_lag))
                    expect(text == shown_by_model(slot),
                           "label " + std::to_string(slot) + " shows \"" + text +
                               "\" while its global reads \"" + shown_by_model(slot) + "\"");
            }
        }

        for (const std::string &m : messages)
            found.push_back("GLib message: " + m);
        messages.clear();
        return found;
    }

    // Runs `actions` actions from `seed`; false (after reporting) at the first broken invariant.
    bool soak(uint64_t seed, uint64_t actions) {
        quiet.silence();
        Random random(seed);
        for (uint64_t step = 1; step <= actions; step++) {
            const Action a = next_action(random);
            run.trail.push_back(a.describe());
            if (run.trail.size() > 12)
                run.trail.pop_front();
            perform(a);
            const std::vector<std::string> broken = broken_invariants();
            if (!broken.empty() || HasFailure()) {
                quiet.restore();
                std::ostringstream report;
                report << "soak seed " << seed << " broke at step " << step << " of " << actions
                       << " (replay: SOAK_SEED=" << seed << " SOAK_ACTIONS=" << step << ")\n";
                for (const std::string &b : broken)
                    report << "  " << b << "\n";
                report << "last actions:\n";
                for (const std::string &t : run.trail)
                    report << "  " << t << "\n";
                ADD_FAILURE() << report.str();
                return false;
            }
        }
        quiet.restore();
        return true;
    }

    ExplorerWindow w{};
    bool with_map = false;
    GtkWidget *map = nullptr; // the design-space map, when with_map
    std::vector<std::string> messages;
    std::vector<std::string> problems;
    GLogFunc previous_handler = nullptr;
    QuietStdout quiet;

    // What the checker knows of the run so far, beyond what the window shows.
    struct RunState {
        struct {
            bool seen = false;
            double value = 0, best = 0, top = 0;
        } last;                   // the speedup slider's latest emission
        std::string expected[17]; // each result label's text as last refreshed
        std::string target_format = "Target: %f";
        bool tsv_limit_changed = false; // the TSV limit follows its spin button
        bool refreshed[17] = {};        // the label has been written by a recalculation
        bool figures_lag = false;       // a limit changed since the last recalculation
        std::deque<std::string> trail;  // the latest actions, for the failure report
        Counts counts;
    } run;
};

TEST_F(Soak, RandomUserActionsKeepTheWindowConsistent) {
    const uint64_t actions = setting("SOAK_ACTIONS", 2000);
    const uint64_t seed = setting("SOAK_SEED", 1);
    const auto start = std::chrono::steady_clock::now();
    const bool held = soak(seed, actions);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    quiet.restore();
    std::cout << "soak: " << actions << " actions from seed " << seed
              << (held ? " held every invariant" : " broke an invariant") << " in " << seconds
              << " s\n  " << run.counts.by_kind[Action::Option] << " option picks, "
              << run.counts.by_kind[Action::Limit] << " limits, "
              << run.counts.by_kind[Action::Slider] << " slider moves (" << run.counts.snapped_back
              << " snapped back by a lock), " << run.counts.by_kind[Action::Lock]
              << " lock toggles, " << run.counts.by_kind[Action::Best] << " Best Performance\n  "
              << run.counts.recalculations << " recalculations, " << run.counts.scored_zero
              << " scoring 0\n  steps ending with the gauge on an earlier best: "
              << run.counts.gauge_pulled_down << " (slider pulled down by the new range), "
              << run.counts.gauge_kept << " (slider not moved)\n";
    // A soak that never reached the interesting states would prove little.
    if (held && actions >= 2000) {
        EXPECT_GT(run.counts.snapped_back, 0);
        EXPECT_GT(run.counts.scored_zero, 0);
        EXPECT_GT(run.counts.recalculations, static_cast<int>(actions / 4));
    }
}

// The same with the design-space map open beside the window: it reads the state after every
// action and must change nothing the checks above look at.
TEST_F(Soak, RandomUserActionsKeepTheWindowConsistentWithTheMapOpen) {
    close_window();
    reset_design_state();
    with_map = true;
    open_window();
    const uint64_t actions = setting("SOAK_ACTIONS", 2000);
    const uint64_t seed = setting("SOAK_SEED", 1);
    EXPECT_TRUE(soak(seed, actions));
    EXPECT_GT(map_window_builds(map), static_cast<int>(actions / 4));
}

TEST_F(Soak, SameSeedReplaysTheSameActions) {
    ASSERT_TRUE(soak(7, 150));
    const std::deque<std::string> first = run.trail;
    int options[12];
    std::copy(User_Option, User_Option + 12, options);
    const double figures[4] = {AREA_RESULT, POWER_RESULT, FRE, best};

    close_window();
    reset_design_state();
    open_window();
    ASSERT_TRUE(soak(7, 150));
    EXPECT_EQ(run.trail, first);
    EXPECT_TRUE(std::equal(options, options + 12, User_Option));
    EXPECT_EQ(AREA_RESULT, figures[0]);
    EXPECT_EQ(POWER_RESULT, figures[1]);
    EXPECT_EQ(FRE, figures[2]);
    EXPECT_EQ(best, figures[3]);
}

// The checker itself: each kind of break that the soak looks for is noticed.

bool mentions(const std::vector<std::string> &found, const std::string &part) {
    for (const std::string &f : found)
        if (f.find(part) != std::string::npos)
            return true;
    return false;
}

TEST_F(Soak, CheckerNoticesALabelThatDisagreesWithItsLastRefresh) {
    perform(Action{Action::Best});
    ASSERT_TRUE(broken_invariants().empty());
    gtk_label_set_text(GTK_LABEL(label[11]), "Area: 0.00 mm^2");
    EXPECT_TRUE(mentions(broken_invariants(), "label 11"));
}

TEST_F(Soak, CheckerNoticesAFigureLabelBehindItsGlobalOnlyWhenNoLimitExplainsIt) {
    perform(Action{Action::Best});
    ASSERT_TRUE(broken_invariants().empty());
    POWER_RESULT += 1; // as if a search had run without refreshing the labels
    EXPECT_TRUE(mentions(broken_invariants(), "label 12 shows"));
    POWER_RESULT -= 1;
    perform(Action{Action::Limit, 3, 55.5}); // a real new limit: the labels may lag
    EXPECT_TRUE(broken_invariants().empty());
}

TEST_F(Soak, CheckerNoticesAGaugeOffItsSlider) {
    perform(Action{Action::Slider, 2, 40});
    ASSERT_TRUE(broken_invariants().empty());
    my_cpu_set_percent(MY_CPU(w.gauge), 42);
    EXPECT_TRUE(mentions(broken_invariants(), "gauge shows 42"));
}

TEST_F(Soak, CheckerNoticesTheGuardLeftDownAndBestOffTheSlider) {
    flag = 0;
    best = 50;
    const std::vector<std::string> found = broken_invariants();
    flag = 1;
    best = 100;
    EXPECT_TRUE(mentions(found, "flag is 0"));
    EXPECT_TRUE(mentions(found, "upper end"));
}

TEST_F(Soak, CheckerNoticesALimitThatIsNotItsSpinButtons) {
    POWER_CONSTRT = 1;
    EXPECT_TRUE(mentions(broken_invariants(), "limit 3 holds 1 "));
    POWER_CONSTRT = 102;
}

TEST_F(Soak, CheckerNoticesGLibMessages) {
    gtk_range_set_range(GTK_RANGE(scale_global[4]), 1, 0); // GTK refuses an empty range
    EXPECT_TRUE(mentions(broken_invariants(), "GLib message"));
}

} // namespace
