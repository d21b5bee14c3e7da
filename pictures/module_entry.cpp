// The entry of the shared module cpu-widget-pictures.so: its table of drawing functions.
#include "pictures/drawing_module.h"

extern "C" __attribute__((visibility("default"))) const DrawingModule *cpu_widget_drawing_module() {
    return linked_drawing_functions();
}
