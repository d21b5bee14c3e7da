// The few GTK+ 2 calls the window's construction and handlers make, without a display: each
// control keeps its value, range, text or selection, and a change of value emits its signal at
// once, inside the setter, as GTK does. Built into the page's engine (and into the tool that
// replays its actions natively), so that ui/window.cpp and ui/handlers.cpp run there unchanged.
#pragma once

#include <cairo.h>

typedef int gboolean;
typedef int gint;
typedef unsigned int guint;
typedef unsigned long gulong;
typedef double gdouble;
typedef char gchar;
typedef void *gpointer;
typedef void (*GCallback)(void);
typedef void (*GDestroyNotify)(gpointer);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Every control is one kind of record; the casts only change the pointer's type.
typedef struct _GtkWidget GtkWidget;
typedef GtkWidget GtkRange, GtkScale, GtkComboBox, GtkSpinButton, GtkToggleButton, GtkButton,
    GtkLabel, GtkWindow, GtkBox, GtkContainer, GObject, GtkObject;

// A slider's or spin button's bounds and value, as GtkAdjustment holds them.
typedef struct _GtkAdjustment {
    gdouble lower, upper, value;
} GtkAdjustment;

#define GTK_RANGE(w) ((GtkRange *)(w))
#define GTK_SCALE(w) ((GtkScale *)(w))
#define GTK_COMBO_BOX(w) ((GtkComboBox *)(w))
#define GTK_SPIN_BUTTON(w) ((GtkSpinButton *)(w))
#define GTK_TOGGLE_BUTTON(w) ((GtkToggleButton *)(w))
#define GTK_BUTTON(w) ((GtkButton *)(w))
#define GTK_LABEL(w) ((GtkLabel *)(w))
#define GTK_WINDOW(w) ((GtkWindow *)(w))
#define GTK_BOX(w) ((GtkBox *)(w))
#define GTK_CONTAINER(w) ((GtkContainer *)(w))
#define G_OBJECT(w) ((GObject *)(w))
#define G_CALLBACK(f) ((GCallback)(f))

typedef enum { GTK_WINDOW_TOPLEVEL } GtkWindowType;

GtkWidget *gtk_window_new(GtkWindowType type);
void gtk_window_set_title(GtkWindow *window, const gchar *title);
void gtk_container_set_border_width(GtkContainer *container, guint width);
void gtk_container_add(GtkContainer *container, GtkWidget *child);
GtkWidget *gtk_vbox_new(gboolean homogeneous, gint spacing);
GtkWidget *gtk_hbox_new(gboolean homogeneous, gint spacing);
void gtk_box_pack_start(GtkBox *box, GtkWidget *child, gboolean expand, gboolean fill,
                        guint padding);
void gtk_widget_show_all(GtkWidget *widget);
void gtk_widget_destroy(GtkWidget *widget);
void gtk_main_quit(void);

GtkWidget *gtk_vscale_new_with_range(gdouble min, gdouble max, gdouble step);
void gtk_range_set_inverted(GtkRange *range, gboolean inverted);
void gtk_scale_set_draw_value(GtkScale *scale, gboolean draw_value);
void gtk_range_set_value(GtkRange *range, gdouble value);
gdouble gtk_range_get_value(GtkRange *range);
void gtk_range_set_range(GtkRange *range, gdouble min, gdouble max);
GtkAdjustment *gtk_range_get_adjustment(GtkRange *range);
gdouble gtk_adjustment_get_upper(GtkAdjustment *adjustment);

GtkWidget *gtk_label_new(const gchar *text);
void gtk_label_set_width_chars(GtkLabel *label, gint chars);
void gtk_label_set_text(GtkLabel *label, const gchar *text);
const gchar *gtk_label_get_text(GtkLabel *label);

GtkWidget *gtk_spin_button_new_with_range(gdouble min, gdouble max, gdouble step);
void gtk_spin_button_set_value(GtkSpinButton *spin, gdouble value);
gdouble gtk_spin_button_get_value(GtkSpinButton *spin);

GtkWidget *gtk_combo_box_new_text(void);
void gtk_combo_box_append_text(GtkComboBox *box, const gchar *text);
void gtk_combo_box_set_active(GtkComboBox *box, gint index);
gint gtk_combo_box_get_active(GtkComboBox *box);

GtkWidget *gtk_button_new_with_label(const gchar *text);
void gtk_button_clicked(GtkButton *button);
GtkWidget *gtk_check_button_new_with_label(const gchar *text);
void gtk_toggle_button_set_active(GtkToggleButton *button, gboolean active);
gboolean gtk_toggle_button_get_active(GtkToggleButton *button);

gulong g_signal_connect(gpointer instance, const gchar *signal, GCallback handler, gpointer data);
gpointer g_object_ref_sink(gpointer object);
void g_object_unref(gpointer object);
void g_object_set_data_full(GObject *object, const gchar *key, gpointer data,
                            GDestroyNotify destroy);

// Forgets every control made so far, for a window built anew (another model).
void shim_forget_widgets(void);
