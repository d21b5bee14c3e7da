/* MyCpu: a vertical bar gauge of twenty rows, two segments each, lit from the bottom up in
 * steps of 5 %. The value is read on a 0-100 scale; the widget is always 80 x 100 pixels and
 * draws into a GdkWindow of its own. */
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define MY_TYPE_CPU (my_cpu_get_type())
#define MY_CPU(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), MY_TYPE_CPU, MyCpu))
#define MY_CPU_CLASS(klass) (G_TYPE_CHECK_CLASS_CAST((klass), MY_TYPE_CPU, MyCpuClass))
#define MY_IS_CPU(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), MY_TYPE_CPU))
#define MY_IS_CPU_CLASS(klass) (G_TYPE_CHECK_CLASS_TYPE((klass), MY_TYPE_CPU))
#define MY_CPU_GET_CLASS(obj) (G_TYPE_INSTANCE_GET_CLASS((obj), MY_TYPE_CPU, MyCpuClass))

typedef struct _MyCpu MyCpu;
typedef struct _MyCpuClass MyCpuClass;
typedef struct _MyCpuPrivate MyCpuPrivate;

struct _MyCpu {
    GtkWidget parent;
    MyCpuPrivate *priv;
};

struct _MyCpuClass {
    GtkWidgetClass parent_class;
};

GType my_cpu_get_type(void);
GtkWidget *my_cpu_new(void);

/* Stores the value as given (no clamping) and queues a redraw. */
void my_cpu_set_percent(MyCpu *cpu, gdouble percent);
gdouble my_cpu_get_percent(MyCpu *cpu);

G_END_DECLS
