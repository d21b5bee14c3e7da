// cpu-widget: the design-space explorer's window.
//
//   cpu-widget [--model FILE] [--quiet] [--map] [GTK options]
//   cpu-widget --help | --version
//
// --map opens the design-space map beside the window, following every action in it. A model
// file's figures outside the ranges typical of real chips are warned about on standard error
// (one line each) unless --quiet is given.
// Exit status: 0 when the window is closed (or help or version is written), 1 without a display
// or when help or version cannot be written, 2 for an argument it does not take or a model file
// that cannot be used (one line per problem on standard error, and no window).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "study/choices.h"
#include "study/design.h"
#include "study/parallel.h"
#include "ui/map_window.h"
#include "ui/standard_streams.h"
#include "ui/window.h"

namespace {

constexpr const char *kProgram = "cpu-widget";
constexpr const char *kModelAccepted =
    "a model file (docs/model.md; 'cpu-widget-cli model export' writes the built-in one)";

struct Options {
    std::string model; // empty: the built-in model
    bool model_given = false, map = false, help = false, version = false, quiet = false;
    const char *after_options = nullptr; // the first argument after a lone "--", if any
};

constexpr const char *kAccepted =
    "accepted: --model FILE, --quiet, --map, --help, --version and the GTK options";

// The argument as one line: control characters written as escapes, as the tool writes them.
std::string one_line(const char *text) {
    return escape_controls(text);
}

void say(const std::string &message) {
    fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
}

// Takes "--model FILE", "--model=FILE", "--map", "--quiet", "--help" and "--version" out of the
// arguments, leaving the rest for GTK; a lone "--" ends the options, and what follows it is an
// argument, which the program does not take. Returns false (after saying why) when the model
// option has no file name or is given twice, as the tool refuses it.
bool take_options(int &argc, char **argv, Options &o) {
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        const char *path = nullptr;
        if (strcmp(argv[i], "--") == 0) {
            o.after_options = i + 1 < argc ? argv[i + 1] : nullptr;
            break;
        }
        if (strcmp(argv[i], "--model") == 0) {
            if (i + 1 >= argc) {
                say(std::string("--model: missing value; accepted: ") + kModelAccepted);
                return false;
            }
            path = argv[++i];
        } else if (strncmp(argv[i], "--model=", 8) == 0) {
            path = argv[i] + 8;
        } else if (strcmp(argv[i], "--map") == 0) {
            o.map = true;
        } else if (strcmp(argv[i], "--quiet") == 0) {
            o.quiet = true;
        } else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            o.help = true;
        } else if (strcmp(argv[i], "--version") == 0) {
            o.version = true;
        } else {
            argv[kept++] = argv[i];
        }
        if (path != nullptr && o.model_given) {
            say(std::string("--model: given more than once; accepted: once, ") + kModelAccepted);
            return false;
        }
        if (path != nullptr) {
            if (*path == '\0') {
                say(std::string("--model: the file name is empty; accepted: ") + kModelAccepted);
                return false;
            }
            o.model = path;
            o.model_given = true;
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}

// The GTK options the program passes on to GTK, as GTK words their help.
std::string gtk_options_help() {
    GOptionContext *context = g_option_context_new(nullptr);
    g_option_context_add_group(context, gtk_get_option_group(FALSE));
    gchar *help = g_option_context_get_help(context, FALSE, nullptr);
    std::string text = help;
    g_free(help);
    g_option_context_free(context);
    // GOption's usage line and its own help options are left out: the program words its own.
    const size_t options = text.find("\nGTK+ Options");
    if (options == std::string::npos)
        return {};
    text = text.substr(options + 1);
    // GTK puts --display among the program's own options; it is one of GTK's.
    const std::string heading = "\n\nApplication Options:\n";
    const size_t own = text.find(heading);
    if (own != std::string::npos)
        text.replace(own, heading.size(), "\n");
    return text;
}

std::string help_text() {
    return std::string("Usage: ") + kProgram +
           " [--model FILE] [--quiet] [--map] [GTK options]\n"
           "The design-space explorer of a multicore processor chip: pick the options and "
           "limits,\nand the window searches the design space for the fastest configuration.\n\n"
           "Options:\n"
           "  --model FILE   use a model file instead of the built-in model (docs/model.md;\n"
           "                 'cpu-widget-cli model export' writes the built-in one)\n"
           "  --quiet        say nothing of the model file's figures that lie outside the\n"
           "                 ranges typical of real chips\n"
           "  --map          open the design-space map beside the window\n"
           "  --help         print this help and exit\n"
           "  --version      print the version and exit\n\n" +
           gtk_options_help();
}

// Writes help or version on standard output: 0, or 1 when it cannot be written.
int write_out(const std::string &text) {
    errno = 0;
    const bool written = fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (fflush(stdout) == 0 && written && !ferror(stdout))
        return 0;
    say(std::string("cannot write the output: ") + (errno != 0 ? strerror(errno) : "write error"));
    return 1;
}

// Passes the GTK options to GTK without opening a display; refuses whatever is left. False
// after saying why.
bool take_gtk_options(int &argc, char **&argv) {
    GOptionContext *context = g_option_context_new(nullptr);
    g_option_context_set_help_enabled(context, FALSE);
    g_option_context_add_group(context, gtk_get_option_group(FALSE));
    GError *error = nullptr;
    const bool parsed = g_option_context_parse(context, &argc, &argv, &error);
    g_option_context_free(context);
    std::string refused;
    if (!parsed) {
        refused = one_line(error->message);
        g_error_free(error);
    } else if (argc > 1) {
        refused = "argument not expected: " + one_line(argv[1]);
    }
    if (refused.empty())
        return true;
    say(refused + "; " + kAccepted + " (run '" + kProgram + " --help')");
    return false;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    if (!take_options(argc, argv, options))
        return 2;
    // Help and version go to standard output as it is, so that a closed one is a failure.
    if (options.help)
        return write_out(help_text());
    if (options.version)
        return write_out(std::string(kProgram) + " " + CPU_WIDGET_VERSION + "\n");
    if (options.after_options != nullptr) {
        say("argument not expected: " + one_line(options.after_options) + "; " + kAccepted +
            " (run '" + kProgram + " --help')");
        return 2;
    }
    // Before anything else opens a file, so that nothing takes descriptor 0, 1 or 2.
    secure_standard_streams();
    if (!take_gtk_options(argc, argv))
        return 2;
    if (options.model_given) {
        const ModelFileResult loaded = load_model_file(options.model);
        if (!loaded.model) {
            for (const std::string &error : loaded.errors)
                say(error);
            return 2;
        }
        if (!options.quiet)
            for (const std::string &warning : loaded.warnings)
                say("warning: " + warning);
        set_active_model(loaded.model);
        reset_design_state();
        // A file whose figures overflow is said to be broken once, as the tool says it: the
        // window never selects such a configuration.
        std::vector<Request> every;
        for (const OptionSet &o : every_option_set())
            every.push_back(Request{o, {}, {}});
        const std::string warning = non_finite_warning(non_finite_figures(every, all_cores()));
        if (!warning.empty())
            say(warning);
    }
    if (!gtk_init_check(&argc, &argv)) {
        say("cannot open a display (is DISPLAY set?). On a machine without one, run it on a "
            "virtual display: xvfb-run make run");
        return 1;
    }
    const ExplorerWindow explorer = build_explorer_window();
    gtk_widget_show_all(explorer.window);
    if (options.map)
        open_map_window(explorer);
    gtk_main();
    return 0;
}
