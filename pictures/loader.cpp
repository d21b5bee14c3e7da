#include "pictures/drawing_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex guard;
const DrawingModule *table = nullptr;
bool used = false;

// The folder of the running program, with its final slash; empty when it cannot be told.
std::string program_folder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    const std::string program(path, size_t(length));
    return program.substr(0, program.rfind('/') + 1);
}

// The module's table from the first place it is found in; none, with why in error.
const DrawingModule *open_module(std::string &error) {
    const std::string folder = program_folder();
    const std::string beside = folder + kDrawingModuleFile;
    const std::string relative = folder + CPU_WIDGET_MODULE_FROM_BIN + "/" + kDrawingModuleFile;
    const std::string installed = std::string(CPU_WIDGET_MODULE_DIR) + "/" + kDrawingModuleFile;
    std::string why;
    for (const std::string &path : {beside, relative, installed}) {
        // Never a bare or relative name, which the loader would look up elsewhere.
        if (path.empty() || path[0] != '/')
            continue;
        void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            if (access(path.c_str(), F_OK) == 0)
                why = dlerror();
            continue;
        }
        using Entry = const DrawingModule *(*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(module, kDrawingModuleEntry));
        if (entry != nullptr)
            return entry();
        why = path + " has no " + kDrawingModuleEntry;
    }
    error = "cannot draw pictures: " +
            (why.empty() ? std::string(kDrawingModuleFile) + " is neither beside the program (" +
                               beside + ") nor in " + CPU_WIDGET_MODULE_DIR +
                               "; reinstall cpu-widget-cli with its module"
                         : why);
    return nullptr;
}

} // namespace

void link_drawing_module(const DrawingModule *linked) {
    const std::lock_guard<std::mutex> lock(guard);
    table = linked;
}

const DrawingModule *drawing_module(std::string &error) {
    const std::lock_guard<std::mutex> lock(guard);
    if (table == nullptr)
        table = open_module(error);
    used = used || table != nullptr;
    return table;
}

void release_loaded_drawing_caches() {
    const std::lock_guard<std::mutex> lock(guard);
    if (used)
        table->release_drawing_caches();
}
