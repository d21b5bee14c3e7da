// A long walk through the window's controls, folded into one digest of everything printed and
// shown: the handlers' lines in their order, every label's text, every slider's value and the
// gauge. Recorded from the straightforward first version of the searches and the trace.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/model.h"
#include "model/state.h"
#include "tests/gtk_test_support.h"
#include "tests/model_sources.h"
#include "ui/window.h"
#include "widgets/mycpu.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// FNV-1a, 64 bits.
struct Digest {
    uint64_t state = 0xcbf29ce484222325u;
    void add(std::string_view bytes) {
        for (unsigned char byte : bytes)
            state = (state ^ byte) * 0x100000001b3u;
    }
    void add(double value) {
        char text[64];
        snprintf(text, sizeof text, "%a\n", value);
        add(text);
    }
};

// Walked with the built-in tables and with the built-in model written as a model file and
// read back, as `cpu-widget --model` reads it.
class WindowWalk : public testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        ASSERT_DISPLAY_OPEN();
        use_model_source(GetParam());
        reset_design_state();
        w = open_explorer_window();
    }
    void TearDown() override {
        if (w.window != nullptr)
            close_explorer_window(w);
        set_active_model(nullptr);
        reset_design_state();
    }

    // Runs one user action and folds in what it printed and what the window shows after it.
    template <typename Action> void act(Action action) {
        CaptureStdout();
        action();
        d.add(GetCapturedStdout());
        for (int slot : {0, 1, 3, 11, 12, 13, 14, 15, 16}) {
            d.add(gtk_label_get_text(GTK_LABEL(label[slot])));
            d.add("\n");
        }
        for (GtkWidget *slider : scale_global) {
            d.add(gtk_range_get_value(GTK_RANGE(slider)));
            d.add(gtk_range_get_adjustment(GTK_RANGE(slider))->upper);
        }
        d.add(my_cpu_get_percent(MY_CPU(w.gauge)));
        d.add(best);
    }
    void choose(int box, int item) {
        act([&] { gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[box]), item); });
    }
    void move(int slider, double value) {
        act([&] { gtk_range_set_value(GTK_RANGE(scale_global[slider]), value); });
    }
    void set_limit(int slot, double value) {
        act([&] { gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[slot]), value); });
    }
    void press_best() {
        act([&] { gtk_button_clicked(GTK_BUTTON(w.best_button)); });
    }
    void lock(int i, bool on) {
        act([&] { gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[i]), on); });
    }

    ExplorerWindow w{};
    Digest d;
};

TEST_P(WindowWalk, EveryOptionAndControlGivesTheRecordedOutputAndDisplay) {
    for (int node : {2, 3, 4, 0, 1}) {
        choose(4, node);
        for (int memory : {1, 0}) {
            choose(1, memory);
            for (int transistor : {1, 2, 0}) {
                choose(2, transistor);
                press_best();
            }
        }
    }
    choose(1, 1);
    choose(2, 1);
    for (int kind : {1, 2, 3, 0}) {
        choose(3, kind);
        for (int workload : {1, 2, 0})
            choose(0, workload);
    }
    press_best();
    move(0, 20);
    move(1, 30);
    move(5, 0.9);
    move(4, 1.5);
    move(3, 4);
    set_limit(2, 300);
    set_limit(3, 150);
    set_limit(4, 20);
    set_limit(5, 200);
    press_best();
    lock(0, true);
    lock(2, true);
    move(0, 3);
    move(1, 10);
    press_best();
    lock(0, false);
    lock(1, true);
    move(0, 30);
    press_best();
    lock(1, false);
    lock(2, false);
    choose(2, 2);
    choose(4, 3);
    press_best();
    move(5, 0.7);

    char text[32];
    snprintf(text, sizeof text, "0x%016" PRIx64, d.state);
    EXPECT_STREQ(text, "0x284ddc9563c4e37f");
}

INSTANTIATE_TEST_SUITE_P(Model, WindowWalk, kModelSources, model_source_name);

} // namespace
