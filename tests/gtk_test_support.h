// What the tests of the window and the gauge share: GTK opened once per test program on the
// (virtual) display, and a window opened and closed outside the program's main loop.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "ui/window.h"

// Whether GTK could open the display; tests assert it, since they run under xvfb-run.
inline bool display_open = false;

struct GtkEnvironment : testing::Environment {
    void SetUp() override { display_open = gtk_init_check(nullptr, nullptr); }
};
inline const testing::Environment *const gtk_environment =
    testing::AddGlobalTestEnvironment(new GtkEnvironment);

#define ASSERT_DISPLAY_OPEN()                                                                      \
    ASSERT_TRUE(display_open) << "no X display: run the tests under xvfb-run"

inline ExplorerWindow open_explorer_window() {
    ExplorerWindow w = build_explorer_window();
    gtk_widget_show_all(w.window);
    return w;
}

// The program's main loop ends with its window; in a test there is none to end.
inline void close_explorer_window(ExplorerWindow &w) {
    g_signal_handlers_disconnect_by_func(w.window, (gpointer)gtk_main_quit, nullptr);
    gtk_widget_destroy(w.window);
    w.window = nullptr;
}
