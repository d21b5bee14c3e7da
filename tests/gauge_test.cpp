// The gauge widget, drawn for real on an offscreen window (run under xvfb-run) and read back
// pixel by pixel.
#include "tests/gtk_test_support.h"
#include "widgets/mycpu.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// A gauge subclass whose extra property (id 2) is handed to the gauge's own property operations,
// which do not know it. GObject does not inherit those operations, so they are copied here.
struct TestCpu {
    MyCpu parent;
};
struct TestCpuClass {
    MyCpuClass parent_class;
};
G_DEFINE_TYPE(TestCpu, test_cpu, MY_TYPE_CPU)
static void test_cpu_class_init(TestCpuClass *klass) {
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = G_OBJECT_CLASS(test_cpu_parent_class)->set_property;
    object_class->get_property = G_OBJECT_CLASS(test_cpu_parent_class)->get_property;
    g_object_class_install_property(
        object_class, 2,
        g_param_spec_int("extra", "Extra", "Unknown to the gauge", 0, 9, 0, G_PARAM_READWRITE));
}
static void test_cpu_init(TestCpu *) {}

namespace {

struct LogMessage {
    std::string domain;
    GLogLevelFlags level;
    std::string text;
};

void flush() {
    gdk_window_process_all_updates();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

// Every GLib message is captured; a test that expects one takes it, any other fails the test.
class GaugeTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_DISPLAY_OPEN();
        previous_handler = g_log_set_default_handler(capture, &messages);
    }
    void TearDown() override {
        if (toplevel)
            gtk_widget_destroy(toplevel);
        g_log_set_default_handler(previous_handler, nullptr);
        for (const auto &m : messages)
            ADD_FAILURE() << "unexpected GLib message: " << m.text;
    }
    static void capture(const char *domain, GLogLevelFlags level, const char *text, void *data) {
        static_cast<std::vector<LogMessage> *>(data)->push_back(
            {domain ? domain : "", GLogLevelFlags(level & G_LOG_LEVEL_MASK), text});
    }
    LogMessage take_message() {
        EXPECT_EQ(messages.size(), 1u);
        LogMessage m = messages.empty() ? LogMessage{} : messages.front();
        messages.clear();
        return m;
    }

    // Shows a new gauge alone in an offscreen toplevel of the given size and draws it.
    MyCpu *show_gauge(int width = 80, int height = 100) {
        toplevel = gtk_offscreen_window_new();
        gtk_window_set_default_size(GTK_WINDOW(toplevel), width, height);
        GtkWidget *gauge = my_cpu_new();
        gtk_container_add(GTK_CONTAINER(toplevel), gauge);
        gtk_widget_show_all(toplevel);
        flush();
        return MY_CPU(gauge);
    }

    std::vector<LogMessage> messages;
    GLogFunc previous_handler = nullptr;
    GtkWidget *toplevel = nullptr;
};

// Rows top to bottom as drawn: 'L' lit, 'D' dark, '?' mixed or other colours; followed by a
// count of the pixels of the 80 x 100 window outside the row segments that are not black.
std::string drawn_rows(MyCpu *cpu) {
    GdkWindow *window = gtk_widget_get_window(GTK_WIDGET(cpu));
    GdkPixbuf *pixbuf = gdk_pixbuf_get_from_drawable(nullptr, window, nullptr, 0, 0, 0, 0, 80, 100);
    if (!pixbuf)
        return "unreadable";
    const int stride = gdk_pixbuf_get_rowstride(pixbuf),
              channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar *pixels = gdk_pixbuf_get_pixels(pixbuf);
    std::string rows(20, ' ');
    int stray = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 80; ++x) {
            const guchar *p = pixels + y * stride + x * channels;
            const int row = (y - 7) / 4;
            const bool in_row = y >= 11 && y < 91 && (y - 7) % 4 < 3;
            if (!(in_row && ((x >= 8 && x < 38) || (x >= 42 && x < 72)))) {
                if (p[0] || p[1] || p[2])
                    ++stray;
                continue;
            }
            auto near = [p](int r, int g) {
                return std::abs(p[0] - r) <= 1 && std::abs(p[1] - g) <= 1 && p[2] == 0;
            };
            const char seen = near(153, 255) ? 'L' : near(51, 102) ? 'D' : '?';
            char &slot = rows[row - 1];
            slot = (slot == ' ' || slot == seen) ? seen : '?';
        }
    }
    g_object_unref(pixbuf);
    return stray ? rows + " and " + std::to_string(stray) + " stray pixels" : rows;
}

using Drawing = GaugeTest;
using Size = GaugeTest;
using Value = GaugeTest;
using Misuse = GaugeTest;

std::string lit_from_bottom(int lit) {
    return std::string(20 - lit, 'D') + std::string(lit, 'L');
}

TEST_F(Drawing, NewGaugeShowsTwentyDarkRowsOnBlack) {
    EXPECT_EQ(drawn_rows(show_gauge()), lit_from_bottom(0));
}

TEST_F(Drawing, EachStartedFivePercentLightsOneMoreRowFromTheBottom) {
    MyCpu *cpu = show_gauge();
    const struct {
        double percent;
        int lit;
    } cases[] = {{50, 10}, {0, 0}, {2.5, 1}, {5, 1}, {5.1, 2}, {99, 20}, {100, 20}, {95, 19}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.percent);
        my_cpu_set_percent(cpu, c.percent);
        flush();
        EXPECT_EQ(drawn_rows(cpu), lit_from_bottom(c.lit));
    }
}

TEST_F(Drawing, ValuesBeyondTheScaleSaturateAndUndefinedShowsEmpty) {
    MyCpu *cpu = show_gauge();
    const struct {
        double percent;
        int lit;
    } cases[] = {{150, 20},      {-3, 0},  {1e300, 20},   {-1e300, 0},
                 {INFINITY, 20}, {NAN, 0}, {-INFINITY, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.percent);
        my_cpu_set_percent(cpu, c.percent);
        flush();
        EXPECT_EQ(drawn_rows(cpu), lit_from_bottom(c.lit));
    }
}

TEST_F(Drawing, EverySetQueuesARedrawEvenForTheSameValue) {
    MyCpu *cpu = show_gauge();
    GdkWindow *window = gtk_widget_get_window(GTK_WIDGET(cpu));
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(gdk_window_get_update_area(window), nullptr);
        my_cpu_set_percent(cpu, 30);
        GdkRegion *queued = gdk_window_get_update_area(window);
        ASSERT_NE(queued, nullptr) << "round " << round;
        gdk_region_destroy(queued);
    }
    g_object_set(cpu, "percent", 0.5, nullptr);
    GdkRegion *queued = gdk_window_get_update_area(window);
    EXPECT_NE(queued, nullptr) << "a property write redraws too";
    if (queued)
        gdk_region_destroy(queued);
}

TEST_F(Size, RequestsEightyByHundredWhateverItShows) {
    GtkWidget *gauge = g_object_ref_sink(my_cpu_new());
    for (double percent : {0.0, 50.0, 150.0, -3.0}) {
        my_cpu_set_percent(MY_CPU(gauge), percent);
        GtkRequisition requisition{};
        gtk_widget_size_request(gauge, &requisition);
        EXPECT_EQ(requisition.width, 80) << percent;
        EXPECT_EQ(requisition.height, 100) << percent;
    }
    g_object_unref(gauge);
}

TEST_F(Size, WindowFollowsAllocatedPositionButKeepsGaugeSize) {
    // Allocated the whole of a larger toplevel when it is realized.
    GtkWidget *gauge = GTK_WIDGET(show_gauge(200, 300));
    GdkWindow *window = gtk_widget_get_window(gauge);
    ASSERT_EQ(gauge->allocation.width, 200);
    gint x, y, width, height;
    gdk_drawable_get_size(window, &width, &height);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 100);

    GtkAllocation allocation{10, 20, 200, 300};
    gtk_widget_size_allocate(gauge, &allocation);
    gdk_window_get_position(window, &x, &y);
    gdk_drawable_get_size(window, &width, &height);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 100);
}

TEST_F(Value, StoresTheValueAsGivenAndReadsItAsAProperty) {
    MyCpu *cpu = MY_CPU(g_object_ref_sink(my_cpu_new()));
    EXPECT_EQ(my_cpu_get_percent(cpu), 0.0);
    my_cpu_set_percent(cpu, 75);
    double read = -1;
    g_object_get(cpu, "percent", &read, nullptr);
    EXPECT_EQ(read, 75.0);
    my_cpu_set_percent(cpu, -3.25);
    EXPECT_EQ(my_cpu_get_percent(cpu), -3.25);
    g_object_set(cpu, "percent", 0.5, nullptr);
    EXPECT_EQ(my_cpu_get_percent(cpu), 0.5);
    g_object_unref(cpu);
}

TEST_F(Misuse, CallsWithoutAGaugeAreReportedAndChangeNothing) {
    EXPECT_EQ(my_cpu_get_percent(nullptr), 0.0);
    LogMessage m = take_message();
    EXPECT_EQ(m.level, G_LOG_LEVEL_CRITICAL);
    EXPECT_EQ(m.domain, "");
    EXPECT_NE(m.text.find("my_cpu_get_percent: "), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("'MY_IS_CPU(cpu)'"), std::string::npos) << m.text;

    my_cpu_set_percent(nullptr, 10);
    m = take_message();
    EXPECT_EQ(m.level, G_LOG_LEVEL_CRITICAL);
    EXPECT_NE(m.text.find("my_cpu_set_percent: "), std::string::npos) << m.text;

    GtkWidget *label = g_object_ref_sink(gtk_label_new("not a gauge"));
    my_cpu_set_percent(reinterpret_cast<MyCpu *>(label), 10);
    EXPECT_EQ(take_message().level, G_LOG_LEVEL_CRITICAL);
    g_object_unref(label);
}

TEST_F(Misuse, UnknownPropertyIdIsWarnedAboutAndIgnored) {
    MyCpu *cpu = MY_CPU(g_object_ref_sink(g_object_new(test_cpu_get_type(), nullptr)));
    my_cpu_set_percent(cpu, 40); // a subclass passes the gauge's guard
    g_object_set(cpu, "extra", 3, nullptr);
    LogMessage m = take_message();
    EXPECT_EQ(m.level, G_LOG_LEVEL_WARNING);
    EXPECT_NE(m.text.find("invalid property id 2 for \"extra\" of type 'GParamInt' in 'TestCpu'"),
              std::string::npos)
        << m.text;
    int extra = -1;
    g_object_get(cpu, "extra", &extra, nullptr);
    EXPECT_EQ(take_message().level, G_LOG_LEVEL_WARNING);
    EXPECT_EQ(my_cpu_get_percent(cpu), 40.0);
    g_object_unref(cpu);
}

} // namespace
