// The explorer window driven in-process through the signals a user's actions emit, under a
// virtual display: what it shows, what it stores and what it prints.
#include <gtest/gtest.h>

#include <cfloat>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "model/model.h"
#include "model/state.h"
#include "search/search.h"
#include "search/trace.h"
#include "tests/gtk_test_support.h"
#include "ui/standard_streams.h"
#include "ui/window.h"
#include "widgets/mycpu.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const char *text_of(int slot) {
    return gtk_label_get_text(GTK_LABEL(label[slot]));
}
double value_of(int slot) {
    return gtk_range_get_value(GTK_RANGE(scale_global[slot]));
}
double top_of(int slot) {
    return gtk_range_get_adjustment(GTK_RANGE(scale_global[slot]))->upper;
}

std::string formatted(const char *format, double value) {
    char text[512];
    snprintf(text, sizeof text, format, value);
    return text;
}

const std::string kEvaluatedOneCoreAtZeroVolts =
    "SpeedUp_max = 0.000000\nScale = 1.0\nCache_Size = 1Mb\nCore_Num = 1\n";

// A fresh window on a fresh design state for every test; any GLib warning or critical that a
// test does not expect fails it.
class Window : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_DISPLAY_OPEN();
        reset_design_state();
        previous_handler = g_log_set_default_handler(capture, &messages);
        CaptureStdout();
        w = open_explorer_window();
        startup_output = GetCapturedStdout();
    }
    void TearDown() override {
        if (w.window)
            close_explorer_window(w);
        g_log_set_default_handler(previous_handler, nullptr);
        for (const std::string &m : messages)
            ADD_FAILURE() << "unexpected GLib message: " << m;
        reset_design_state();
    }
    static void capture(const char *, GLogLevelFlags, const char *text, void *data) {
        static_cast<std::vector<std::string> *>(data)->push_back(text);
    }

    // Runs a user action and returns what it printed.
    template <typename Action> std::string printed_by(Action action) {
        CaptureStdout();
        action();
        return GetCapturedStdout();
    }
    std::string choose(int box, int item) {
        return printed_by(
            [&] { gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[box]), item); });
    }
    std::string move(int slider, double value) {
        return printed_by([&] { gtk_range_set_value(GTK_RANGE(scale_global[slider]), value); });
    }
    std::string press_best() {
        return printed_by([&] { gtk_button_clicked(GTK_BUTTON(w.best_button)); });
    }
    std::string set_limit(int slot, double value) {
        return printed_by(
            [&] { gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[slot]), value); });
    }
    void lock(int i, bool on) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.lock_button[i]), on);
    }
    double gauge() { return my_cpu_get_percent(MY_CPU(w.gauge)); }

    // Every result label shows the global it stands for.
    void expect_results_shown() {
        EXPECT_EQ(text_of(11), formatted("Area: %.2f mm^2", AREA_RESULT));
        EXPECT_EQ(text_of(12), formatted("Power: %.2f W", POWER_RESULT));
        EXPECT_EQ(text_of(13), formatted("Bandwidth: %.2f GB/s", BW_RESULT));
        EXPECT_EQ(text_of(16), formatted("Bandwidth_TSV: %.2f GB/s", BW_RESULT_TSV));
        EXPECT_EQ(text_of(14), formatted("%.2f GHz", FRE));
        EXPECT_EQ(text_of(15), formatted("%.2f V", VDD_G));
    }

    ExplorerWindow w;
    std::string startup_output;
    std::vector<std::string> messages;
    GLogFunc previous_handler = nullptr;
};

TEST_F(Window, StartsWithItsInitialCaptionsAndComputesNothing) {
    EXPECT_EQ(startup_output, "");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.window)), "CPU widget");
    EXPECT_STREQ(text_of(0), "1 core");
    EXPECT_STREQ(text_of(1), "1 MB");
    EXPECT_STREQ(text_of(14), "0 GHz");
    EXPECT_STREQ(text_of(15), "0 V");
    EXPECT_STREQ(text_of(3), "Target: 1");
    EXPECT_STREQ(text_of(11), "Area:");
    for (int box = 0; box < 5; box++)
        EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(w.option_box[box])), box == 4 ? 1 : 0);
    gchar *node = gtk_combo_box_get_active_text(GTK_COMBO_BOX(w.option_box[4])); // a copy
    EXPECT_STREQ(node, "65nm");
    g_free(node);
    for (int slider = 0; slider < 6; slider++)
        EXPECT_EQ(value_of(slider), 0);
    EXPECT_EQ(top_of(2), 100);
    EXPECT_EQ(top_of(4), 10);
    EXPECT_EQ(gauge(), 0);
    // The ceilings are the selected 65 nm LOP node's, as after an option change.
    EXPECT_EQ(FRE_MAX, 2.526);
    EXPECT_EQ(VDD_MAX, 0.8);
    // The TSV spin button shows 0 while its limit is 100 until the button first changes.
    EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[5])), 0);
    EXPECT_EQ(BW_CONSTRT_TSV, 100);
    EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[4])), 46.44);
    for (int i = 0; i < 3; i++)
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.lock_button[i])));
    EXPECT_EQ(check[0] + check[1] + check[2], 0);
    // The target-scale slider and its label are never on screen.
    EXPECT_EQ(gtk_widget_get_parent(scale_global[3]), nullptr);
    EXPECT_EQ(gtk_widget_get_parent(label[3]), nullptr);
    EXPECT_FALSE(gtk_widget_get_mapped(scale_global[3]));
}

TEST_F(Window, ClosingTheWindowEndsTheMainLoop) {
    g_idle_add(
        [](gpointer window) {
            gtk_widget_destroy(GTK_WIDGET(window));
            return gboolean(FALSE);
        },
        w.window);
    gtk_main(); // returns once the window is gone
    w.window = nullptr;
}

TEST_F(Window, ChoosingStackedMemoryRunsTheWholeRequest) {
    const std::string out = choose(1, 1);
    // The option line, then the evaluation of each limit that changed (the bandwidth limit
    // 46.44 becomes 46.44288, the TSV limit 0 becomes 375.296), then the window's own.
    EXPECT_EQ(out, "1 1\n" + kEvaluatedOneCoreAtZeroVolts + kEvaluatedOneCoreAtZeroVolts +
                       kEvaluatedOneCoreAtZeroVolts);
    EXPECT_EQ(User_Option[1], 1);
    EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[5])), 375.296);
    EXPECT_EQ(BW_CONSTRT_TSV, 375.296);
    EXPECT_EQ(BW_CONSTRT, 46.44288);
    EXPECT_EQ(AREA_CONSTRT, 221.88);
    EXPECT_EQ(FRE_MAX, 2.526);
    EXPECT_EQ(VDD_MAX, 0.8);
    EXPECT_NEAR(best, 29.8522, 5e-5);
    EXPECT_EQ(top_of(2), best);
    // VDD_G is still 0: the configuration on show fails the voltage guard.
    EXPECT_EQ(value_of(2), 0);
    EXPECT_EQ(gauge(), 0);
    EXPECT_EQ(top_of(4), 10); // no frequency for a supply of 0: the range stays
    EXPECT_STREQ(text_of(0), "1 cores");
    EXPECT_STREQ(text_of(1), "1 MB");
    EXPECT_STREQ(text_of(3), "Target: 1.000000");
    EXPECT_STREQ(text_of(14), "0.00 GHz");
    EXPECT_STREQ(text_of(15), "0.00 V");
    EXPECT_STREQ(text_of(11), "Area: 30.56 mm^2"); // 1 core, 1 MB and the stack's interface
    expect_results_shown();
    EXPECT_EQ(flag, 1);

    // Back to plain memory: the TSV limit goes to 0 with its spin button.
    choose(1, 0);
    EXPECT_EQ(BW_CONSTRT_TSV, 0);
    EXPECT_STREQ(text_of(16), "Bandwidth_TSV: 0.00 GB/s");
}

TEST_F(Window, TransistorKindLoadsItsCeilings) {
    const std::string out = choose(2, 1);
    EXPECT_EQ(out.rfind("2 1\n", 0), 0u);
    EXPECT_EQ(FRE_MAX, 4.7);
    EXPECT_EQ(VDD_MAX, 1.1);
    choose(2, 2);
    EXPECT_EQ(FRE_MAX, 4.7);
    EXPECT_EQ(VDD_MAX, 1.1);
    EXPECT_EQ(choose(2, 0).rfind("2 0\n", 0), 0u);
    EXPECT_EQ(FRE_MAX, 2.526);
    EXPECT_EQ(VDD_MAX, 0.8);
    // Re-selecting the active item runs nothing.
    EXPECT_EQ(choose(2, 0), "");
}

TEST_F(Window, BoxWithNoActiveItemStoresNothing) {
    EXPECT_EQ(choose(4, -1), "");
    EXPECT_EQ(User_Option[4], 1);
    EXPECT_EQ(AREA_CONSTRT, 221.88);
}

TEST_F(Window, NinetyNanometreNodeQualifiesNothing) {
    choose(4, 0); // the blank first item
    EXPECT_EQ(AREA_CONSTRT, 0);
    EXPECT_EQ(best, 100); // no positive peak: best and the range stay
    EXPECT_EQ(top_of(2), 100);
    EXPECT_EQ(value_of(2), 0);
    EXPECT_EQ(flag, 1);
}

TEST_F(Window, ConstraintEditReevaluatesAndRescalesOnly) {
    const std::string out = set_limit(3, 80);
    EXPECT_EQ(out, kEvaluatedOneCoreAtZeroVolts);
    EXPECT_EQ(POWER_CONSTRT, 80);
    const double peak = speedup_max_1(0, 0, 0);
    EXPECT_GT(peak, 0);
    EXPECT_EQ(best, peak);
    EXPECT_EQ(top_of(2), peak);
    EXPECT_STREQ(text_of(11), "Area:"); // labels wait for the next recalculation
    // Setting the value a spin button already holds runs nothing.
    EXPECT_EQ(set_limit(3, 80), "");
}

TEST_F(Window, BestPerformanceBeforeAnyOptionShowsTheSelectedNodesOperatingPoint) {
    const std::string out = press_best();
    EXPECT_EQ(out, "SpeedUp_max = 31.424401\nScale = 1.0\nCache_Size = 1Mb\nCore_Num = 12\n");
    EXPECT_NEAR(best, 31.4244, 5e-5);
    EXPECT_EQ(top_of(2), best);
    EXPECT_EQ(value_of(2), best);
    EXPECT_DOUBLE_EQ(gauge(), 100);
    EXPECT_EQ(value_of(0), 6);
    EXPECT_EQ(value_of(1), 0);
    EXPECT_EQ(value_of(3), 0);
    // Scale step 1.0 of the 65 nm LOP node: 0.8 V and 2.526 GHz, as cpu-widget-cli reports.
    EXPECT_EQ(value_of(4), 2.526);
    EXPECT_EQ(top_of(4), 2.526);
    EXPECT_EQ(value_of(5), 0.8);
    EXPECT_STREQ(text_of(0), "12 cores");
    EXPECT_STREQ(text_of(1), "1 MB");
    EXPECT_STREQ(text_of(3), "1.000000 ");
    EXPECT_STREQ(text_of(14), "2.53 GHz");
    EXPECT_STREQ(text_of(15), "0.80 V");
    EXPECT_STREQ(text_of(11), "Area: 217.70 mm^2");
    expect_results_shown();
    EXPECT_EQ(flag, 1);

    // The hidden target-scale slider, moved while idle, records and prints the step only.
    const double area = AREA_RESULT;
    EXPECT_EQ(move(3, 1), "1\n");
    EXPECT_EQ(User_Option[10], 1);
    EXPECT_STREQ(text_of(3), "Target: 0.900000");
    EXPECT_EQ(AREA_RESULT, area);
    EXPECT_STREQ(text_of(14), "2.53 GHz");
}

TEST_F(Window, LockedSlidersSnapBackWithoutSearching) {
    press_best();
    lock(0, true);
    lock(1, true);
    lock(2, true);
    EXPECT_EQ(check[0] + check[1] + check[2], 3);
    EXPECT_EQ(move(0, 20), "");
    EXPECT_EQ(value_of(0), 6);
    EXPECT_EQ(move(1, 9), "");
    EXPECT_EQ(value_of(1), 0);
    EXPECT_EQ(move(4, 1.0), "");
    EXPECT_EQ(value_of(4), 2.526);
    EXPECT_EQ(move(5, 0.5), "");
    EXPECT_EQ(value_of(5), 0.8);
    EXPECT_EQ(VDD_G, 0.8);
    EXPECT_STREQ(text_of(0), "12 cores");
    lock(0, false);
    EXPECT_EQ(check[0], 0);
}

TEST_F(Window, SliderMovesHoldTheirDimensionAndSearchTheRest) {
    press_best();
    const double full_best = best;
    // 4 cores held: the rest is searched again, best and the range stay.
    const std::string out = move(0, 2);
    EXPECT_EQ(out.find("Core_Num = 4\n"), out.size() - 13);
    EXPECT_EQ(User_Option[8], 2);
    EXPECT_STREQ(text_of(0), "4 cores");
    EXPECT_EQ(best, full_best);
    EXPECT_EQ(top_of(2), full_best);
    EXPECT_LT(value_of(2), full_best);
    EXPECT_DOUBLE_EQ(gauge(), value_of(2) / (best / 100));
    expect_results_shown();

    // A cache size held: one line of summary, the core count searched.
    move(1, 3);
    EXPECT_EQ(User_Option[9], 3);
    EXPECT_STREQ(text_of(1), "8 MB");
    expect_results_shown();

    // A frequency held: VDD_G and its label stay.
    const double vdd = VDD_G;
    move(4, 1.0);
    EXPECT_EQ(FRE, 1.0);
    EXPECT_STREQ(text_of(14), "1.00 GHz");
    EXPECT_EQ(VDD_G, vdd);
    expect_results_shown();
    EXPECT_EQ(flag, 1);
}

TEST_F(Window, VoltageSliderSetsTheFrequencyFromTheTable) {
    const std::string out = move(5, 0.4); // half the 65 nm LOP node's 0.8 V
    EXPECT_EQ(VDD_G, 0.4);
    EXPECT_EQ(FRE, 2.526 * 0.44);
    EXPECT_STREQ(text_of(15), "0.40 V");
    EXPECT_STREQ(text_of(14), "1.11 GHz");
    EXPECT_EQ(top_of(4), FRE);
    EXPECT_EQ(value_of(4), FRE);
    EXPECT_EQ(out.rfind("SpeedUp_max = ", 0), 0u);
    expect_results_shown();

    // A supply of 0 has no frequency: the frequency slider keeps its range, GTK says nothing.
    move(5, 0);
    EXPECT_EQ(FRE, 0);
    EXPECT_EQ(top_of(4), 2.526 * 0.44);
    EXPECT_EQ(value_of(4), 0);
}

TEST_F(Window, GaugeFollowsTheSpeedupAsAShareOfBest) {
    // Slider above the result: narrowing the range moves it while best is still 100.
    move(2, 50);
    EXPECT_EQ(gauge(), 50);
    press_best();
    EXPECT_NEAR(best, 31.4244, 5e-5);
    EXPECT_EQ(gauge(), best); // 100 x s / 100, and the later same value emits nothing

    // Slider at or below the result: it ends at 100 %.
    move(2, 10);
    EXPECT_DOUBLE_EQ(gauge(), 10 / (best / 100));
    press_best();
    EXPECT_DOUBLE_EQ(gauge(), 100);

    // A search that finds nothing leaves best; the slider and gauge go to 0.
    set_limit(2, 0);
    EXPECT_NEAR(best, 31.4244, 5e-5);
    press_best();
    EXPECT_NEAR(best, 31.4244, 5e-5);
    EXPECT_EQ(value_of(2), 0);
    EXPECT_EQ(gauge(), 0);
}

TEST_F(Window, BestStaysAtHundredUntilAPositiveResult) {
    set_limit(2, 0);
    press_best();
    EXPECT_EQ(best, 100);
    EXPECT_EQ(top_of(2), 100);
    EXPECT_STREQ(text_of(3), "0.300000 "); // the fallback step
}

TEST_F(Window, HugeFiguresFitTheirLabels) {
    set_limit(2, 0); // nothing qualifies, so the results stay as they are
    AREA_RESULT = DBL_MAX;
    POWER_RESULT = -DBL_MAX;
    BW_RESULT_TSV = 1e300;
    move(4, 2.0);
    EXPECT_EQ(text_of(11), formatted("Area: %.2f mm^2", DBL_MAX));
    EXPECT_GT(strlen(text_of(11)), 309u);
    EXPECT_EQ(text_of(12), formatted("Power: %.2f W", -DBL_MAX));
    EXPECT_EQ(text_of(16), formatted("Bandwidth_TSV: %.2f GB/s", 1e300));
}

TEST_F(Window, EachActionsLinesReachStandardOutputAsItHappens) {
    // Standard output into a pipe, fully buffered as it is for a user's log.
    fflush(stdout);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[0]), 2);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char buffer[4096];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fds[0]);
    close(fds[1]);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, n),
              "0 2\n" + kEvaluatedOneCoreAtZeroVolts + kEvaluatedOneCoreAtZeroVolts);
}

// A model with a workload and a node of its own, the node selected at start-up: the boxes list
// the model's items in its order and the window starts on that node's limits and ceilings.
TEST(WindowOfAModel, ListsItsOptionsAndStartsOnItsStartNode) {
    ASSERT_DISPLAY_OPEN();
    auto model = std::make_shared<Model>(builtin_model());
    WorkloadRecord workload = model->workloads[2];
    workload.name = workload.window_item = "Analytics";
    model->workloads.push_back(workload);
    NodeRecord node = model->nodes[4];
    node.name = node.window_item = "7nm";
    node.tech.area_budget = 123.456;
    node.tech.fmax_LOP = 7.5;
    model->nodes.push_back(node);
    model->start_node = 5;
    set_active_model(model);
    reset_design_state();

    CaptureStdout();
    ExplorerWindow w = open_explorer_window();
    EXPECT_EQ(GetCapturedStdout(), "");
    auto items = [](GtkWidget *box) {
        return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(box)), nullptr);
    };
    EXPECT_EQ(items(w.option_box[0]), 4);
    EXPECT_EQ(items(w.option_box[4]), 6);
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(w.option_box[4])), 5);
    EXPECT_EQ(User_Option[4], 5);
    EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[2])), 123.46);
    EXPECT_EQ(AREA_CONSTRT, 123.46);
    EXPECT_EQ(FRE_MAX, 7.5);

    CaptureStdout();
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[0]), 3);
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(printed.rfind("0 3\n", 0), 0u) << printed;
    EXPECT_EQ(User_Option[0], 3);
    EXPECT_EQ(AREA_CONSTRT, 123.456);
    gchar *text = gtk_combo_box_get_active_text(GTK_COMBO_BOX(w.option_box[0]));
    EXPECT_STREQ(text, "Analytics");
    g_free(text);

    close_explorer_window(w);
    set_active_model(nullptr);
    reset_design_state();
}

// Runs `child` in a forked process and returns its exit status, or -signal when a signal
// ended it.
template <typename Child> int status_of_child(Child child) {
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0)
        _exit(child());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(StandardStreams, ClosedOnesAreOpenedOnNullBeforeAnyFile) {
    // As "cpu-widget <&- >&- 2>&-": the next file opened, the X connection in the program,
    // must not become standard output.
    const int status = status_of_child([] {
        close(0), close(1), close(2);
        secure_standard_streams();
        const int next = open("/dev/zero", O_RDONLY);
        struct stat null_device, out;
        stat("/dev/null", &null_device);
        fstat(1, &out);
        return next > 2 && out.st_rdev == null_device.st_rdev ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST(StandardStreams, ATraceWhoseReaderHasGoneIsToldOnce) {
    // As "cpu-widget | true": the trace's pipe has no reader left. The program starts with
    // SIGPIPE's default action, whatever this test inherited.
    const int status = status_of_child([] {
        signal(SIGPIPE, SIG_DFL);
        int fds[2];
        if (pipe(fds) != 0)
            return 3;
        dup2(fds[1], 1);
        close(fds[0]), close(fds[1]);
        const int told = fileno(tmpfile());
        dup2(told, 2);
        secure_standard_streams();
        for (int action = 0; action < 2; action++) {
            trace_option(0, action);
            trace_flush();
        }
        char text[512] = {};
        const ssize_t n = pread(told, text, sizeof text - 1, 0);
        const std::string line(text, n > 0 ? n : 0);
        return line.find("the trace cannot be written") != std::string::npos &&
                       line.find('\n') == line.size() - 1
                   ? 0
                   : 2;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
