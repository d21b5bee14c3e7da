#include "ui/map_window.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "search/search.h"
#include "spacemap/space_map.h"

namespace {

constexpr const char *kKey = "design-space-map";
// The least size at which the axis labels stay legible.
constexpr int kLeastWidth = 400, kLeastHeight = 300;

// What the map of the design state depends on: the search of the scale step on show, its
// operating point, and the configuration on show.
struct MapInputs {
    SearchSpec spec;
    double vdd = 0, freq = 0;
    bool on_show = false;
    int cache = 0, cores = 0;

    auto key() const {
        const LimitChecks &l = spec.limits;
        return std::tuple(spec.model, spec.workload, spec.memory, spec.transistor, spec.core_kind,
                          spec.node, l.area, l.power, l.bandwidth, l.area_limit, l.power_limit,
                          l.bandwidth_limit, l.tsv_limit, spec.scale, spec.vdd_ratio, spec.f_ratio,
                          vdd, freq, on_show, cache, cores);
    }
};

// Before anything is on show (no supply and no frequency yet), the step at its own operating
// point.
MapInputs inputs_of_design_state() {
    MapInputs in;
    in.spec = spec_from_design_state(0, 0, 1);
    const Model &m = *in.spec.model;
    in.on_show = VDD_G != 0 || FRE != 0;
    in.vdd = VDD_G;
    in.freq = FRE;
    if (!in.on_show) {
        const double target = m.scale_steps[in.spec.scale];
        in.spec.vdd_ratio = voltage_step(m.nodes[in.spec.node].tech, in.spec.transistor, target);
        in.spec.f_ratio =
            step_frequency_ratio(m, m.nodes[in.spec.node].tech, in.spec.transistor, target);
        in.vdd = VDD_MAX * in.spec.vdd_ratio;
        in.freq = FRE_MAX * in.spec.f_ratio;
    }
    in.cache = User_Option[9];
    in.cores = User_Option[8];
    return in;
}

SpaceChart map_of(const MapInputs &in) {
    SpaceChart chart = space_map(in.spec, in.vdd, in.freq);
    if (in.on_show)
        mark_shown(chart, in.cache, in.cores);
    return chart;
}

struct MapWindow {
    GtkWidget *window = nullptr, *area = nullptr, *explorer = nullptr;
    MapInputs inputs; // of the chart
    SpaceChart chart;
    int builds = 0;
    guint pending = 0; // the idle source of a rebuild asked for, 0 when none
    // The chart drawn at the area's size, as the tool draws it into a picture file; drawn again
    // when the chart is rebuilt or the size changes, so that an expose (a tooltip that goes, a
    // window that was covered) only copies it. Where the display's pixels are laid out as
    // cairo's, the picture is drawn straight into an image that the display server shares, and
    // copying it costs no transfer.
    cairo_surface_t *picture = nullptr;
    GdkImage *shared = nullptr; // the picture's memory, when shared
    bool stale = true;          // the chart has changed since the picture was drawn
    // Handlers on the explorer's controls, let go when the map closes first.
    std::vector<std::pair<GObject *, gulong>> watched;
};

MapWindow *window_map(GtkWidget *window) {
    return static_cast<MapWindow *>(g_object_get_data(G_OBJECT(window), kKey));
}

void forget_picture(MapWindow *map) {
    if (map->picture != nullptr)
        cairo_surface_destroy(map->picture);
    map->picture = nullptr;
    if (map->shared != nullptr)
        g_object_unref(map->shared);
    map->shared = nullptr;
}

// Whether an image of the display holds its pixels as cairo's RGB24 does: 32-bit words, red
// in bits 16-23, green in 8-15, blue in 0-7, in the machine's byte order.
bool laid_out_as_cairo(const GdkImage *image) {
    const GdkVisual *v = image->visual;
    const GdkByteOrder native = G_BYTE_ORDER == G_LITTLE_ENDIAN ? GDK_LSB_FIRST : GDK_MSB_FIRST;
    return image->bits_per_pixel == 32 && image->byte_order == native && v != nullptr &&
           v->type == GDK_VISUAL_TRUE_COLOR && v->red_mask == 0xff0000 &&
           v->green_mask == 0x00ff00 && v->blue_mask == 0x0000ff &&
           image->bpl == cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, image->width);
}

// A surface of width x height to draw the picture into, shared with the display if it can be.
void make_picture(MapWindow *map, int width, int height) {
    map->shared = gdk_image_new(GDK_IMAGE_FASTEST, gtk_widget_get_visual(map->area), width, height);
    if (map->shared != nullptr && laid_out_as_cairo(map->shared)) {
        map->picture = cairo_image_surface_create_for_data(
            static_cast<unsigned char *>(map->shared->mem), CAIRO_FORMAT_RGB24, width, height,
            map->shared->bpl);
    } else {
        if (map->shared != nullptr)
            g_object_unref(map->shared);
        map->shared = nullptr;
        map->picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    }
}

// An action that changed nothing the map shows (a lock, the speedup slider, a limit set to the
// value it had) costs no rebuild and no redraw.
void build(MapWindow *map) {
    MapInputs inputs = inputs_of_design_state();
    if (map->builds > 0 && inputs.key() == map->inputs.key())
        return;
    map->inputs = inputs;
    map->chart = map_of(inputs);
    map->builds++;
    map->stale = true;
    gtk_widget_queue_draw(map->area);
}

gboolean build_when_idle(gpointer data) {
    MapWindow *map = static_cast<MapWindow *>(data);
    map->pending = 0;
    build(map);
    return FALSE;
}

// Any action in the explorer: asks for one rebuild, at a lower priority than the explorer's
// own redraw, so that the explorer is never kept waiting and a burst costs one rebuild.
void explorer_acted(MapWindow *map) {
    if (map->pending == 0)
        map->pending = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, build_when_idle, map, nullptr);
}

void watch(MapWindow *map, GtkWidget *control, const char *signal) {
    const gulong id = g_signal_connect_swapped(control, signal, G_CALLBACK(explorer_acted), map);
    map->watched.emplace_back(G_OBJECT(control), id);
}

gboolean expose(GtkWidget *area, GdkEventExpose *event, MapWindow *map) {
    const int width = area->allocation.width, height = area->allocation.height;
    if (width <= 0 || height <= 0)
        return TRUE;
    if (map->picture != nullptr && (cairo_image_surface_get_width(map->picture) != width ||
                                    cairo_image_surface_get_height(map->picture) != height))
        forget_picture(map);
    if (map->picture == nullptr) {
        make_picture(map, width, height);
        map->stale = true;
    }
    if (map->stale) {
        cairo_t *cr = cairo_create(map->picture);
        draw_space_chart(cr, width, height, map->chart);
        cairo_destroy(cr);
        cairo_surface_flush(map->picture);
        map->stale = false;
    }
    const GdkRectangle &r = event->area;
    if (map->shared != nullptr) {
        gdk_draw_image(area->window, area->style->black_gc, map->shared, r.x, r.y, r.x, r.y,
                       r.width, r.height);
        return TRUE;
    }
    cairo_t *cr = gdk_cairo_create(area->window);
    gdk_cairo_region(cr, event->region);
    cairo_clip(cr);
    cairo_set_source_surface(cr, map->picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return TRUE;
}

gboolean query_tooltip(GtkWidget *area, gint x, gint y, gboolean keyboard, GtkTooltip *tooltip,
                       MapWindow *map) {
    if (keyboard)
        return FALSE;
    const auto at =
        space_chart_cell_at(area->allocation.width, area->allocation.height, map->chart, x, y);
    if (!at)
        return FALSE;
    const std::string text = space_map_cell_text(map->chart, at->first, at->second);
    if (text.empty())
        return FALSE;
    gtk_tooltip_set_text(tooltip, text.c_str());
    return TRUE;
}

// The map closes: nothing of it may run afterwards.
void map_destroyed(GtkWidget *, MapWindow *map) {
    if (map->pending != 0)
        g_source_remove(map->pending);
    map->pending = 0;
    for (const auto &[control, id] : map->watched)
        g_signal_handler_disconnect(control, id);
    map->watched.clear();
}

// To the right of the explorer when the screen has room for it there, else under it, else as
// far right as the screen allows. Under it, the map takes the height that is left.
void place_beside(GtkWidget *map, GtkWidget *explorer) {
    GtkRequisition size;
    gtk_widget_size_request(explorer, &size);
    gint x = 0, y = 0, width = 0, height = 0;
    gtk_window_get_position(GTK_WINDOW(explorer), &x, &y);
    gtk_window_get_default_size(GTK_WINDOW(map), &width, &height);
    GdkScreen *screen = gtk_window_get_screen(GTK_WINDOW(explorer));
    const gint screen_width = gdk_screen_get_width(screen);
    const gint screen_height = gdk_screen_get_height(screen);
    constexpr gint kGap = 16;
    const gint room_below = screen_height - (y + size.height + kGap);
    if (x + size.width + kGap + width <= screen_width) {
        gtk_window_move(GTK_WINDOW(map), x + size.width + kGap, y);
    } else if (room_below >= kLeastHeight) {
        gtk_window_move(GTK_WINDOW(map), x, y + size.height + kGap);
        gtk_window_resize(GTK_WINDOW(map), width, std::min(height, room_below));
    } else
        gtk_window_move(GTK_WINDOW(map), std::max(0, screen_width - width), y);
}

void delete_map(gpointer data) {
    MapWindow *map = static_cast<MapWindow *>(data);
    forget_picture(map);
    delete map;
}

} // namespace

SpaceChart design_state_map() {
    return map_of(inputs_of_design_state());
}

GtkWidget *open_map_window(const ExplorerWindow &explorer) {
    MapWindow *map = new MapWindow;
    map->explorer = explorer.window;
    map->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(map->window), "CPU widget: design-space map");
    gtk_window_set_default_size(GTK_WINDOW(map->window), 760, 720);
    g_object_set_data_full(G_OBJECT(map->window), kKey, map, delete_map);

    map->area = gtk_drawing_area_new();
    gtk_widget_set_size_request(map->area, kLeastWidth, kLeastHeight);
    gtk_widget_set_has_tooltip(map->area, TRUE);
    // Each expose copies a whole picture: nothing to gain from drawing off screen first.
    gtk_widget_set_double_buffered(map->area, FALSE);
    g_signal_connect(map->area, "expose-event", G_CALLBACK(expose), map);
    g_signal_connect(map->area, "query-tooltip", G_CALLBACK(query_tooltip), map);
    gtk_container_add(GTK_CONTAINER(map->window), map->area);

    for (GtkWidget *box : explorer.option_box)
        watch(map, box, "changed");
    for (int slot = 2; slot <= 5; slot++)
        watch(map, spin_button[slot], "value-changed");
    for (GtkWidget *slider : scale_global)
        watch(map, slider, "value-changed");
    for (GtkWidget *lock : explorer.lock_button)
        watch(map, lock, "toggled");
    watch(map, explorer.best_button, "clicked");
    // Closing the explorer closes the map; its handler goes with the others if the map goes first.
    const gulong closes = g_signal_connect_swapped(explorer.window, "destroy",
                                                   G_CALLBACK(gtk_widget_destroy), map->window);
    map->watched.emplace_back(G_OBJECT(explorer.window), closes);
    g_signal_connect(map->window, "destroy", G_CALLBACK(map_destroyed), map);

    place_beside(map->window, explorer.window);
    build(map);
    gtk_widget_show_all(map->window);
    return map->window;
}

const SpaceChart &map_window_chart(GtkWidget *map) {
    return window_map(map)->chart;
}

int map_window_builds(GtkWidget *map) {
    return window_map(map)->builds;
}
