// Linked into a program that draws in-process (the tests): its own drawing, not the module's.
#include "pictures/drawing_module.h"

namespace {

const bool linked = (link_drawing_module(linked_drawing_functions()), true);

} // namespace
