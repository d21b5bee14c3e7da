// cpu-widget: the design-space explorer's window.
#include <cstdio>
#include <gtk/gtk.h>

#include "ui/standard_streams.h"
#include "ui/window.h"

int main(int argc, char **argv) {
    secure_standard_streams();
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "cpu-widget: cannot open a display (is DISPLAY set?). On a machine "
                        "without one, run it on a virtual display: xvfb-run make run\n");
        return 1;
    }
    gtk_widget_show_all(build_explorer_window().window);
    gtk_main();
    return 0;
}
