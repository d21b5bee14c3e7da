// The one text helper of the charts that the design-space map's content uses, for the page's
// build, which draws its pictures itself and has no charts library (charts/drawing.cpp holds the
// same for the desktop).
#include <cstdio>
#include <string>

std::string number(const char *pattern, double value) {
    char text[64];
    snprintf(text, sizeof text, pattern, value);
    return text;
}
