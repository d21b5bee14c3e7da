// cpu-widget: the design-space explorer's window.
//
//   cpu-widget [--model FILE] [GTK options]
//
// Exit status: 0 when the window is closed, 1 without a display, 2 when the model file cannot
// be used (one line per problem on standard error, and no window).
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <string>

#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "ui/standard_streams.h"
#include "ui/window.h"

namespace {

constexpr const char *kProgram = "cpu-widget";

// Takes "--model FILE" or "--model=FILE" out of the arguments, leaving the rest for GTK.
// Returns false (after saying why) when the option has no file name.
bool take_model_option(int &argc, char **argv, std::string &path) {
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--model") == 0) {
            if (i + 1 >= argc) {
                fprintf(stderr, "%s: --model: missing value; accepted: a model file\n", kProgram);
                return false;
            }
            path = argv[++i];
        } else if (strncmp(argv[i], "--model=", 8) == 0) {
            path = argv[i] + 8;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    // Before anything else, so that nothing the program opens takes descriptor 0, 1 or 2.
    secure_standard_streams();
    std::string path;
    if (!take_model_option(argc, argv, path))
        return 2;
    if (!path.empty()) {
        const ModelFileResult loaded = load_model_file(path);
        if (!loaded.model) {
            for (const std::string &error : loaded.errors)
                fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return 2;
        }
        set_active_model(loaded.model);
        reset_design_state();
    }
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "cpu-widget: cannot open a display (is DISPLAY set?). On a machine "
                        "without one, run it on a virtual display: xvfb-run make run\n");
        return 1;
    }
    gtk_widget_show_all(build_explorer_window().window);
    gtk_main();
    return 0;
}
