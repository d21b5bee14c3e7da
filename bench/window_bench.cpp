// The window's costliest option change, driven in-process on a (virtual) display with standard
// output going to a file: with 3D memory and "LOP/HP" every configuration whose power is
// evaluated prints a line, and a change to a node whose four default limits all differ from
// the current node's changes every spin button, so list_changed runs five full searches (one
// per spin button, nested, and its own) and five evaluations of the configuration on show.
// 20 nm lets the most configurations past its area limit: with "ARM" cores the change to it
// prints about 70,000 power lines.
//
// With the design-space map open beside the window (cpu-widget --map), the same change is timed
// until everything it leads to is on screen: the explorer's handlers, its redraw, the map's
// rebuild and redraw, and the display server's drawing of both (gdk_flush waits for it).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <gtk/gtk.h>

#include "bench/stdout_file.h"
#include "model/state.h"
#include "model/tables.h"
#include "spacemap/space_map.h"
#include "ui/map_window.h"
#include "ui/window.h"

namespace {

void choose(const ExplorerWindow &w, int box, int item) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(w.option_box[box]), item);
}

void draw_pending() {
    while (gtk_events_pending())
        gtk_main_iteration();
}

bool every_limit_differs(int a, int b) {
    const TranTechRecord &x = Tran_Tech[a], &y = Tran_Tech[b];
    return x.area_budget != y.area_budget && x.power_budget != y.power_budget &&
           x.bw_offchip != y.bw_offchip && x.bw_tsv != y.bw_tsv;
}

// The window on screen with the workload, the core kind and the node chosen, then 3D memory
// and "LOP/HP"; what that printed is dropped.
ExplorerWindow window_before_change(int workload, int kind, int from) {
    reset_design_state();
    ExplorerWindow w = build_explorer_window();
    gtk_widget_show_all(w.window);
    choose(w, 0, workload);
    choose(w, 3, kind);
    choose(w, 4, from);
    choose(w, 1, 1); // 3D memory
    choose(w, 2, 1); // LOP/HP
    draw_pending();
    empty_stdout_file();
    return w;
}

void close_window(const ExplorerWindow &w) {
    g_signal_handlers_disconnect_by_func(w.window, (gpointer)gtk_main_quit, nullptr);
    gtk_widget_destroy(w.window);
    draw_pending();
    reset_design_state();
}

// Arguments: the workload, the core kind, and the node changed from and the node changed to.
// Only the change to the second node is timed; the way back is not.
void list_changed_worst_case(benchmark::State &state) {
    const int workload = static_cast<int>(state.range(0)), kind = static_cast<int>(state.range(1));
    const int from = static_cast<int>(state.range(2)), to = static_cast<int>(state.range(3));
    if (!every_limit_differs(from, to)) {
        state.SkipWithError("the two nodes share a default limit");
        return;
    }
    ExplorerWindow w = window_before_change(workload, kind, from);

    long bytes = 0;
    for (auto _ : state) {
        choose(w, 4, to);
        state.PauseTiming();
        bytes += empty_stdout_file();
        draw_pending();
        choose(w, 4, from);
        empty_stdout_file();
        draw_pending();
        state.ResumeTiming();
    }
    state.counters["out_bytes"] =
        benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);

    close_window(w);
}

// The worst change until it is on screen, with the map open (map 1) and, for comparison,
// without it (map 0).
void list_changed_on_screen(benchmark::State &state) {
    const int workload = static_cast<int>(state.range(0)), kind = static_cast<int>(state.range(1));
    const int from = static_cast<int>(state.range(2)), to = static_cast<int>(state.range(3));
    ExplorerWindow w = window_before_change(workload, kind, from);
    GtkWidget *map = state.range(4) != 0 ? open_map_window(w) : nullptr;
    draw_pending();
    gdk_flush();

    int builds = 0; // of the map, in the timed part
    for (auto _ : state) {
        const int before = map != nullptr ? map_window_builds(map) : 0;
        choose(w, 4, to);
        draw_pending();
        gdk_flush();
        state.PauseTiming();
        builds += map != nullptr ? map_window_builds(map) - before : 0;
        empty_stdout_file();
        choose(w, 4, from);
        draw_pending();
        gdk_flush();
        empty_stdout_file();
        state.ResumeTiming();
    }
    state.counters["map_builds"] =
        benchmark::Counter(static_cast<double>(builds), benchmark::Counter::kAvgIterations);

    close_window(w); // the map goes with it
}

// The map's two parts on their own: its content from the design state (one scale step
// evaluated and searched) and its drawing into an image of the window's default size.
void map_build(benchmark::State &state) {
    reset_design_state();
    User_Option[1] = 1;
    User_Option[2] = 1;
    User_Option[3] = 3;
    User_Option[4] = 4;
    for (auto _ : state)
        benchmark::DoNotOptimize(design_state_map());
    reset_design_state();
}

void map_draw(benchmark::State &state) {
    reset_design_state();
    User_Option[4] = 4;
    const SpaceChart chart = design_state_map();
    cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 760, 660);
    cairo_t *cr = cairo_create(image);
    for (auto _ : state) {
        draw_space_chart(cr, 760, 660, chart);
        cairo_surface_flush(image);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(image);
    reset_design_state();
}

BENCHMARK(list_changed_on_screen)
    ->Args({1, 3, 3, 4, 0})
    ->Args({1, 3, 3, 4, 1})
    ->ArgNames({"workload", "kind", "from", "to", "map"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(map_build)->Unit(benchmark::kMillisecond);
BENCHMARK(map_draw)->Unit(benchmark::kMillisecond);

// The core kind the window starts with, and the one whose small cores let the most
// configurations past the area limit; the change from 32 nm to 20 nm, and for comparison the
// change back.
BENCHMARK(list_changed_worst_case)
    ->Args({0, 0, 3, 4})
    ->Args({1, 3, 3, 4})
    ->Args({1, 3, 4, 3})
    ->ArgNames({"workload", "kind", "from", "to"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "bench_window: cannot open a display; run it under xvfb-run\n");
        return 1;
    }
    return run_benchmarks_with_stdout_in_a_file(argc, argv);
}
