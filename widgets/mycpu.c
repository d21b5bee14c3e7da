/* The gauge is written in C so that GLib's return-if-fail reports name the public function
 * itself ("my_cpu_set_percent"), not a C++ signature. */
#include "widgets/mycpu.h"

#include <math.h>

struct _MyCpuPrivate {
    gdouble percent; /* 0-100 scale; stored exactly as given */
    GdkWindow *window;
};

enum { PROP_0, PROP_PERCENT };

/* Pixels: the size requested, and the size of the gauge's window whatever is allocated. */
static const int WIDTH = 80;
static const int HEIGHT = 100;

enum { ROWS = 20 };

G_DEFINE_TYPE_WITH_PRIVATE(MyCpu, my_cpu, GTK_TYPE_WIDGET)

static void my_cpu_set_property(GObject *object, guint prop_id, const GValue *value,
                                GParamSpec *pspec);
static void my_cpu_get_property(GObject *object, guint prop_id, GValue *value, GParamSpec *pspec);
static void my_cpu_realize(GtkWidget *widget);
static void my_cpu_size_request(GtkWidget *widget, GtkRequisition *requisition);
static void my_cpu_size_allocate(GtkWidget *widget, GtkAllocation *allocation);
static gboolean my_cpu_expose(GtkWidget *widget, GdkEventExpose *event);

static void my_cpu_class_init(MyCpuClass *klass) {
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GtkWidgetClass *widget_class = GTK_WIDGET_CLASS(klass);

    object_class->set_property = my_cpu_set_property;
    object_class->get_property = my_cpu_get_property;

    widget_class->realize = my_cpu_realize;
    widget_class->size_request = my_cpu_size_request;
    widget_class->size_allocate = my_cpu_size_allocate;
    widget_class->expose_event = my_cpu_expose;

    /* The declared range is 0-1 although the gauge reads the value on a 0-100 scale: the
     * application goes through my_cpu_set_percent, which ignores the declared range. */
    g_object_class_install_property(
        object_class, PROP_PERCENT,
        g_param_spec_double("percent", "Percent", "What CPU load should be displayed", 0.0, 1.0,
                            0.0, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
}

static void my_cpu_init(MyCpu *cpu) {
    MyCpuPrivate *priv = my_cpu_get_instance_private(cpu);

    gtk_widget_set_has_window(GTK_WIDGET(cpu), TRUE);
    priv->percent = 0.0;
    cpu->priv = priv;
}

GtkWidget *my_cpu_new(void) {
    return GTK_WIDGET(g_object_new(MY_TYPE_CPU, NULL));
}

void my_cpu_set_percent(MyCpu *cpu, gdouble percent) {
    g_return_if_fail(MY_IS_CPU(cpu));

    cpu->priv->percent = percent;
    gtk_widget_queue_draw(GTK_WIDGET(cpu));
}

gdouble my_cpu_get_percent(MyCpu *cpu) {
    g_return_val_if_fail(MY_IS_CPU(cpu), 0.0);

    return cpu->priv->percent;
}

static void my_cpu_set_property(GObject *object, guint prop_id, const GValue *value,
                                GParamSpec *pspec) {
    MyCpu *cpu = MY_CPU(object);

    switch (prop_id) {
    case PROP_PERCENT:
        my_cpu_set_percent(cpu, g_value_get_double(value));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec);
        break;
    }
}

static void my_cpu_get_property(GObject *object, guint prop_id, GValue *value, GParamSpec *pspec) {
    MyCpu *cpu = MY_CPU(object);

    switch (prop_id) {
    case PROP_PERCENT:
        g_value_set_double(value, cpu->priv->percent);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec);
        break;
    }
}

static void my_cpu_realize(GtkWidget *widget) {
    MyCpu *cpu = MY_CPU(widget);
    GtkAllocation allocation;
    GdkWindowAttr attributes;

    gtk_widget_set_realized(widget, TRUE);
    gtk_widget_get_allocation(widget, &allocation);

    /* The window is 80 x 100 from the start, as after every later allocation: a window made
     * at a larger allocation would paint black beyond the gauge until the next resize. */
    attributes.window_type = GDK_WINDOW_CHILD;
    attributes.x = allocation.x;
    attributes.y = allocation.y;
    attributes.width = WIDTH;
    attributes.height = HEIGHT;
    attributes.wclass = GDK_INPUT_OUTPUT;
    attributes.event_mask = gtk_widget_get_events(widget) | GDK_EXPOSURE_MASK;

    cpu->priv->window =
        gdk_window_new(gtk_widget_get_parent_window(widget), &attributes, GDK_WA_X | GDK_WA_Y);
    gdk_window_set_user_data(cpu->priv->window, widget);
    gtk_widget_set_window(widget, cpu->priv->window);

    widget->style = gtk_style_attach(gtk_widget_get_style(widget), cpu->priv->window);
    gtk_style_set_background(widget->style, cpu->priv->window, GTK_STATE_NORMAL);
}

static void my_cpu_size_request(GtkWidget *widget G_GNUC_UNUSED, GtkRequisition *requisition) {
    requisition->width = WIDTH;
    requisition->height = HEIGHT;
}

static void my_cpu_size_allocate(GtkWidget *widget, GtkAllocation *allocation) {
    gtk_widget_set_allocation(widget, allocation);

    if (gtk_widget_get_realized(widget)) {
        gdk_window_move_resize(MY_CPU(widget)->priv->window, allocation->x, allocation->y, WIDTH,
                               HEIGHT);
    }
}

/* Rows 1 to limit (counted from the top) are dark, the rest lit: the bottom ceil(percent / 5)
 * rows are lit for 0 <= percent <= 100. Values outside that range saturate; the clamp also
 * keeps the conversion to int defined for huge values, and NaN (0 / 0 from a caller) shows as
 * an empty gauge. */
static int dark_row_limit(gdouble percent) {
    if (isnan(percent) || percent < 0.0)
        percent = 0.0;
    else if (percent > 100.0)
        percent = 100.0;
    return (int)(ROWS - percent / 5);
}

/* Row i spans y 4i to 4i + 3 before the 7-pixel shift; the two segments are 30 wide, 4 apart. */
static void add_row(cairo_t *cr, int i) {
    cairo_rectangle(cr, 8, 4 * i, 30, 3);
    cairo_rectangle(cr, 42, 4 * i, 30, 3);
}

static gboolean my_cpu_expose(GtkWidget *widget, GdkEventExpose *event) {
    cairo_t *cr = gdk_cairo_create(event->window);
    int limit = dark_row_limit(MY_CPU(widget)->priv->percent);

    cairo_translate(cr, 0, 7);

    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);

    for (int i = 1; i <= ROWS; i++) {
        if (i > limit)
            cairo_set_source_rgb(cr, 0.6, 1.0, 0.0);
        else
            cairo_set_source_rgb(cr, 0.2, 0.4, 0.0);
        add_row(cr, i);
        cairo_fill(cr);
    }

    cairo_destroy(cr);
    return TRUE;
}
