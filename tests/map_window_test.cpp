// The design-space map beside the explorer window, on the virtual display: the explorer prints
// and shows the same with the map open as without it, and the map shows what the command-line
// tool's plot would draw for the explorer's state.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "cli/plot.h"
#include "model/state.h"
#include "spacemap/space_map.h"
#include "tests/gtk_test_support.h"
#include "ui/map_window.h"
#include "widgets/mycpu.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

void pump() {
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

std::string exact(double value) {
    char text[64];
    snprintf(text, sizeof text, "%a ", value);
    return text;
}

// The tool's plot of the design state: its options and limits, the scale step and operating
// point on show, the configuration on show marked; before any supply or frequency is on show,
// the step at its own operating point.
SpaceChart plot_of_design_state() {
    const OptionSet options{User_Option[0], User_Option[1], User_Option[2], User_Option[3],
                            User_Option[4]};
    Holds holds;
    holds.scale = User_Option[10];
    const bool on_show = VDD_G != 0 || FRE != 0;
    if (on_show) {
        holds.vdd = VDD_G;
        holds.freq = FRE;
    }
    SpaceChart chart = plot_chart(plot_data(
        Request{options, Limits{AREA_CONSTRT, POWER_CONSTRT, BW_CONSTRT, BW_CONSTRT_TSV}, holds}));
    if (on_show)
        mark_shown(chart, User_Option[9], User_Option[8]);
    return chart;
}

void expect_same_content(const SpaceChart &map, const SpaceChart &plot) {
    EXPECT_EQ(map.subtitle, plot.subtitle);
    EXPECT_EQ(map.best, plot.best);
    EXPECT_EQ(map.best_text, plot.best_text);
    EXPECT_EQ(map.shown, plot.shown);
    EXPECT_EQ(map.shown_text, plot.shown_text);
    ASSERT_EQ(map.cells.size(), plot.cells.size());
    for (size_t i = 0; i < map.cells.size(); i++) {
        EXPECT_EQ(map.cells[i].speedup, plot.cells[i].speedup) << i;
        EXPECT_EQ(map.cells[i].feasible(), plot.cells[i].feasible()) << i;
    }
    for (size_t i = 0; i < 3; i++) // the tool checks the TSV limit with 3D memory only
        EXPECT_EQ(map.limits[i].has_value(), plot.limits[i].has_value());
}

class MapWindow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_DISPLAY_OPEN();
        reset_design_state();
    }
    void TearDown() override {
        if (w.window != nullptr)
            close_explorer_window(w);
        pump();
        reset_design_state();
    }

    // A scripted session: after every action, what it printed (the map's rebuild included) and
    // everything the explorer shows.
    std::string session(bool with_map) {
        w = open_explorer_window();
        map = with_map ? open_map_window(w) : nullptr;
        pump();
        std::string transcript;
        const auto act = [&](const std::function<void()> &action) {
            CaptureStdout();
            action();
            pump();
            transcript += GetCapturedStdout();
            for (int slot : {0, 1, 3, 11, 12, 13, 14, 15, 16})
                transcript += std::string(gtk_label_get_text(GTK_LABEL(label[slot]))) + "\n";
            for (GtkWidget *slider : scale_global)
                transcript += exact(gtk_range_get_value(GTK_RANGE(slider))) +
                              exact(gtk_range_get_adjustment(GTK_RANGE(slider))->upper);
            transcript += exact(my_cpu_get_percent(MY_CPU(w.gauge))) + exact(best) + "\n";
            if (map != nullptr)
                expect_same_content(map_window_chart(map), plot_of_design_state());
        };
        const auto choose = [&](int box, int item) {
            act([&] { gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[box]), item); });
        };
        const auto move = [&](int slider, double value) {
            act([&] { gtk_range_set_value(GTK_RANGE(scale_global[slider]), value); });
        };
        const auto press_best = [&] {
            act([&] { gtk_button_clicked(GTK_BUTTON(w.best_button)); });
        };
        const auto lock = [&](int i, bool on) {
            act([&] { gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[i]), on); });
        };
        const auto set_limit = [&](int slot, double value) {
            act([&] { gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[slot]), value); });
        };

        choose(1, 1); // 3D memory
        choose(2, 1); // LOP/HP: the searches print power lines
        choose(4, 4);
        press_best();
        move(0, 20);
        move(1, 30);
        move(5, 0.6);
        move(4, 1.1);
        set_limit(3, 40);
        set_limit(5, 50);
        lock(2, true);
        move(0, 3);
        press_best();
        lock(2, false);
        choose(3, 3);
        choose(4, 0);
        press_best();
        move(2, 1);
        close_explorer_window(w);
        pump();
        return transcript;
    }

    ExplorerWindow w{};
    GtkWidget *map = nullptr;
};

TEST_F(MapWindow, ExplorerPrintsAndShowsTheSameWithTheMapAndTheMapMatchesThePlot) {
    const std::string without = session(false);
    reset_design_state();
    const std::string with = session(true);
    EXPECT_EQ(with, without);
    EXPECT_NE(without.find("power_W_result1"), std::string::npos);
}

TEST_F(MapWindow, BurstCostsOneRebuildAndClosingEitherWindowIsSafe) {
    w = open_explorer_window();
    map = open_map_window(w);
    gpointer alive = map;
    g_object_add_weak_pointer(G_OBJECT(map), &alive);
    pump();
    const int builds = map_window_builds(map);
    gtk_button_clicked(GTK_BUTTON(w.best_button));
    gtk_range_set_value(GTK_RANGE(scale_global[0]), 10);
    gtk_range_set_value(GTK_RANGE(scale_global[1]), 5);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[0]), TRUE);
    pump();
    EXPECT_EQ(map_window_builds(map), builds + 1);
    EXPECT_EQ(map_window_chart(map).shown, std::pair(User_Option[9], User_Option[8]));
    EXPECT_EQ(User_Option[9], 5);
    // A lock changes nothing the map shows: no rebuild.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[1]), TRUE);
    pump();
    EXPECT_EQ(map_window_builds(map), builds + 1);

    // The map closed alone: the explorer goes on as before.
    gtk_widget_destroy(map);
    pump();
    EXPECT_EQ(alive, nullptr);
    gtk_button_clicked(GTK_BUTTON(w.best_button));
    pump();

    // The explorer closed: its map goes with it.
    map = open_map_window(w);
    alive = map;
    g_object_add_weak_pointer(G_OBJECT(map), &alive);
    gtk_range_set_value(GTK_RANGE(scale_global[0]), 12); // a rebuild pending as it closes
    close_explorer_window(w);
    pump();
    EXPECT_EQ(alive, nullptr);
}

} // namespace
