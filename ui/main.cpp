// cpu-widget: the design-space explorer's window.
//
//   cpu-widget [--model FILE] [--map] [GTK options]
//
// --map opens the design-space map beside the window, following every action in it.
// Exit status: 0 when the window is closed, 1 without a display, 2 when the model file cannot
// be used (one line per problem on standard error, and no window).
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <string>

#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "ui/map_window.h"
#include "ui/standard_streams.h"
#include "ui/window.h"

namespace {

constexpr const char *kProgram = "cpu-widget";

// Takes "--model FILE" or "--model=FILE" and "--map" out of the arguments, leaving the rest for
// GTK. Returns false (after saying why) when the model option has no file name.
bool take_options(int &argc, char **argv, std::string &path, bool &map) {
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
        } else if (strcmp(argv[i], "--map") == 0) {
            map = true;
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
    bool map = false;
    if (!take_options(argc, argv, path, map))
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
    const ExplorerWindow explorer = build_explorer_window();
    gtk_widget_show_all(explorer.window);
    if (map)
        open_map_window(explorer);
    gtk_main();
    return 0;
}
