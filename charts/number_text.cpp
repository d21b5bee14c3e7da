// The charts' number text, without drawing: the design-space map's content uses it too, in
// programs that do not draw.
#include <cstdio>
#include <string>

std::string number(const char *pattern, double value) {
    char text[64];
    snprintf(text, sizeof text, pattern, value);
    return text;
}
