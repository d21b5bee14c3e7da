#include <cmath>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include "widgets/mycpu.h"

struct _GtkWidget {
    GtkAdjustment adjustment{0, 0, 0};
    std::string text;               // a label's text
    std::vector<std::string> items; // an option box's items
    int active = -1;                // the active item, or a check button's state
    struct Handler {
        std::string signal;
        GCallback callback;
        gpointer data;
    };
    std::vector<Handler> handlers;
};

namespace {

// Every control of the window; a deque, so that the pointers the handlers hold stay valid.
std::deque<_GtkWidget> &widgets() {
    static std::deque<_GtkWidget> all;
    return all;
}

GtkWidget *make() {
    return &widgets().emplace_back();
}

// Runs the handlers connected to the signal, in the order they were connected, as GTK's
// two-argument handlers (the control and the user data).
void emit(GtkWidget *widget, const char *signal) {
    const std::vector<_GtkWidget::Handler> handlers = widget->handlers;
    for (const _GtkWidget::Handler &h : handlers)
        if (h.signal == signal)
            reinterpret_cast<void (*)(GtkWidget *, gpointer)>(h.callback)(widget, h.data);
}

// GtkAdjustment's setter: the value is kept within the bounds, and a change is announced.
void set_adjustment_value(GtkWidget *widget, gdouble value) {
    GtkAdjustment &a = widget->adjustment;
    value = std::fmin(value, a.upper);
    value = std::fmax(value, a.lower);
    if (value != a.value) {
        a.value = value;
        emit(widget, "value-changed");
    }
}

} // namespace

void shim_forget_widgets(void) {
    widgets().clear();
}

GtkWidget *gtk_window_new(GtkWindowType) {
    return make();
}
void gtk_window_set_title(GtkWindow *, const gchar *) {}
void gtk_container_set_border_width(GtkContainer *, guint) {}
void gtk_container_add(GtkContainer *, GtkWidget *) {}
GtkWidget *gtk_vbox_new(gboolean, gint) {
    return make();
}
GtkWidget *gtk_hbox_new(gboolean, gint) {
    return make();
}
void gtk_box_pack_start(GtkBox *, GtkWidget *, gboolean, gboolean, guint) {}
void gtk_widget_show_all(GtkWidget *) {}
void gtk_widget_destroy(GtkWidget *) {}
void gtk_main_quit(void) {}

GtkWidget *gtk_vscale_new_with_range(gdouble min, gdouble max, gdouble) {
    GtkWidget *slider = make();
    slider->adjustment = GtkAdjustment{min, max, min};
    return slider;
}
void gtk_range_set_inverted(GtkRange *, gboolean) {}
void gtk_scale_set_draw_value(GtkScale *, gboolean) {}

void gtk_range_set_value(GtkRange *range, gdouble value) {
    set_adjustment_value(range, value);
}

gdouble gtk_range_get_value(GtkRange *range) {
    return range->adjustment.value;
}

// An empty range is refused (GTK says so on standard error) and the old one kept.
void gtk_range_set_range(GtkRange *range, gdouble min, gdouble max) {
    if (!(min < max))
        return;
    range->adjustment.lower = min;
    range->adjustment.upper = max;
    set_adjustment_value(range, range->adjustment.value);
}

GtkAdjustment *gtk_range_get_adjustment(GtkRange *range) {
    return &range->adjustment;
}
gdouble gtk_adjustment_get_upper(GtkAdjustment *adjustment) {
    return adjustment->upper;
}

GtkWidget *gtk_label_new(const gchar *text) {
    GtkWidget *label = make();
    label->text = text;
    return label;
}
void gtk_label_set_width_chars(GtkLabel *, gint) {}
void gtk_label_set_text(GtkLabel *label, const gchar *text) {
    label->text = text;
}
const gchar *gtk_label_get_text(GtkLabel *label) {
    return label->text.c_str();
}

GtkWidget *gtk_spin_button_new_with_range(gdouble min, gdouble max, gdouble) {
    GtkWidget *spin = make();
    spin->adjustment = GtkAdjustment{min, max, min};
    return spin;
}

// A value within 1e-10 of the one held changes nothing, as in GTK.
void gtk_spin_button_set_value(GtkSpinButton *spin, gdouble value) {
    if (std::fabs(value - spin->adjustment.value) > 1e-10)
        set_adjustment_value(spin, value);
}

gdouble gtk_spin_button_get_value(GtkSpinButton *spin) {
    return spin->adjustment.value;
}

GtkWidget *gtk_combo_box_new_text(void) {
    return make();
}
void gtk_combo_box_append_text(GtkComboBox *box, const gchar *text) {
    box->items.push_back(text);
}

// Only a change of the active item is announced; an index out of the list makes none active.
void gtk_combo_box_set_active(GtkComboBox *box, gint index) {
    if (index < -1 || index >= gint(box->items.size()))
        index = -1;
    if (index != box->active) {
        box->active = index;
        emit(box, "changed");
    }
}

gint gtk_combo_box_get_active(GtkComboBox *box) {
    return box->active;
}

GtkWidget *gtk_button_new_with_label(const gchar *text) {
    GtkWidget *button = make();
    button->text = text;
    return button;
}
void gtk_button_clicked(GtkButton *button) {
    emit(button, "clicked");
}

GtkWidget *gtk_check_button_new_with_label(const gchar *text) {
    GtkWidget *button = make();
    button->text = text;
    button->active = 0;
    return button;
}

void gtk_toggle_button_set_active(GtkToggleButton *button, gboolean active) {
    const int state = active ? 1 : 0;
    if (state != button->active) {
        button->active = state;
        emit(button, "toggled");
    }
}

gboolean gtk_toggle_button_get_active(GtkToggleButton *button) {
    return button->active;
}

gulong g_signal_connect(gpointer instance, const gchar *signal, GCallback handler, gpointer data) {
    GtkWidget *widget = static_cast<GtkWidget *>(instance);
    widget->handlers.push_back({signal, handler, data});
    return widget->handlers.size();
}

gpointer g_object_ref_sink(gpointer object) {
    return object;
}
void g_object_unref(gpointer) {}
void g_object_set_data_full(GObject *, const gchar *, gpointer, GDestroyNotify) {}

GtkWidget *my_cpu_new(void) {
    GtkWidget *gauge = make();
    gauge->adjustment.value = 0.0;
    return gauge;
}
void my_cpu_set_percent(MyCpu *cpu, gdouble percent) {
    cpu->adjustment.value = percent;
}
gdouble my_cpu_get_percent(MyCpu *cpu) {
    return cpu->adjustment.value;
}
