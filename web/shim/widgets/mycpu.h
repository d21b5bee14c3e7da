// The gauge as the handlers use it, without a display: it keeps the percentage it is given.
#pragma once

#include <gtk/gtk.h>

typedef GtkWidget MyCpu;
#define MY_CPU(w) ((MyCpu *)(w))

GtkWidget *my_cpu_new(void);
// Stores the value as given (no clamping), as the window's gauge does.
void my_cpu_set_percent(MyCpu *cpu, gdouble percent);
gdouble my_cpu_get_percent(MyCpu *cpu);
