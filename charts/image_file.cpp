#include "charts/image_file.h"

#include "charts/drawing.h"
#include "files/whole_file.h"

#include <algorithm>
#include <cairo-svg.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fontconfig/fontconfig.h>
#include <vector>

namespace {

// No exception may leave through cairo.
cairo_status_t append_to_string(void *closure, const unsigned char *data, unsigned int length) {
    try {
        static_cast<std::string *>(closure)->append(reinterpret_cast<const char *>(data), length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const std::exception &) {
        return CAIRO_STATUS_NO_MEMORY;
    }
}

// The family that fontconfig gives the charts' "sans-serif", whose glyphs a PNG shows; empty if
// there is none.
std::string sans_serif_family() {
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif"));
    if (pattern == nullptr)
        return {};
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcChar8 *family = nullptr;
    std::string name;
    if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
        name = reinterpret_cast<const char *>(family);
    if (match != nullptr)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return name;
}

// Text for XML character data or an attribute value. Control characters, which XML does not
// allow, become U+FFFD.
void append_escaped(std::string &out, std::string_view text) {
    for (const char c : text)
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
}

void append_number(std::string &out, double value) {
    char text[64];
    snprintf(text, sizeof text, "%.3f", std::fabs(value) < 5e-4 ? 0.0 : value);
    std::string_view v(text);
    if (v.find('.') != std::string_view::npos) {
        while (v.back() == '0')
            v.remove_suffix(1);
        if (v.back() == '.')
            v.remove_suffix(1);
    }
    out += v;
}

// A <text> element that draws t as the glyphs would have been drawn.
void append_text_element(std::string &out, const PlacedText &t) {
    out += "<text";
    const bool turned = !(t.xx == 1 && t.yx == 0 && t.xy == 0 && t.yy == 1);
    const bool rotation =
        t.xx == t.yy && t.xy == -t.yx && std::fabs(t.xx * t.xx + t.yx * t.yx - 1) < 1e-9;
    if (!turned) {
        out += " x=\"";
        append_number(out, t.x);
        out += "\" y=\"";
        append_number(out, t.y);
        out += "\"";
    } else if (rotation) {
        out += " transform=\"translate(";
        append_number(out, t.x);
        out += " ";
        append_number(out, t.y);
        out += ") rotate(";
        append_number(out, std::atan2(t.yx, t.xx) * 180 / M_PI);
        out += ")\"";
    } else {
        out += " transform=\"matrix(";
        const double values[] = {t.xx, t.yx, t.xy, t.yy, t.x, t.y};
        for (size_t i = 0; i < 6; i++) {
            append_number(out, values[i]);
            out += i < 5 ? " " : ")\"";
        }
    }
    out += " font-size=\"";
    append_number(out, t.size);
    out += "\"";
    if (t.bold)
        out += " font-weight=\"bold\"";
    if (t.align != Align::Left)
        out += t.align == Align::Centre ? " text-anchor=\"middle\"" : " text-anchor=\"end\"";
    char colour[16];
    auto level = [](double c) { return int(std::lround(std::clamp(c, 0.0, 1.0) * 255)); };
    snprintf(colour, sizeof colour, "#%02x%02x%02x", level(t.r), level(t.g), level(t.b));
    if (std::string_view(colour) != "#000000") {
        out += " fill=\"";
        out += colour;
        out += "\"";
    }
    if (t.alpha < 1) {
        out += " fill-opacity=\"";
        append_number(out, std::clamp(t.alpha, 0.0, 1.0));
        out += "\"";
    }
    out += ">";
    append_escaped(out, t.text);
    out += "</text>\n";
}

// cairo's SVG with the text written as <text> elements above everything else, in the family
// the glyphs would have had (then any sans-serif), spaces kept and without kerning, as cairo
// lays text out; and its pictures, which are all maps of cells, scaled without smoothing. Empty
// if the SVG has no end.
std::string with_text(const std::string &svg, const std::vector<PlacedText> &texts) {
    const size_t end = svg.rfind("</svg>");
    if (end == std::string::npos)
        return {};
    std::string out;
    out.reserve(svg.size() + texts.size() * 128 + 256);
    constexpr std::string_view image = "<image ";
    for (size_t at = 0;;) {
        const size_t next = svg.find(image, at);
        if (next >= end) {
            out.append(svg, at, end - at);
            break;
        }
        out.append(svg, at, next - at);
        out += "<image image-rendering=\"optimizeSpeed\" style=\"image-rendering:pixelated\" ";
        at = next + image.size();
    }
    if (!texts.empty()) {
        const std::string family = sans_serif_family();
        out += "<g font-family=\"";
        if (!family.empty() && family.find_first_of("'\"\\<>&") == std::string::npos)
            out += "'" + family + "', ";
        out += "sans-serif\" style=\"font-kerning:none\" xml:space=\"preserve\">\n";
        for (const PlacedText &t : texts)
            append_text_element(out, t);
        out += "</g>\n";
    }
    out.append(svg, end);
    return out;
}

// Draws into the file's bytes; returns the failure, or an empty string.
std::string draw_into(std::string &bytes, ImageFormat format, int width, int height,
                      const std::function<void(cairo_t *, int, int)> &draw) {
    std::string svg;
    std::vector<PlacedText> texts;
    cairo_surface_t *surface =
        format == ImageFormat::Svg
            ? cairo_svg_surface_create_for_stream(append_to_string, &svg, width, height)
            : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        if (format == ImageFormat::Svg)
            keep_text_of(surface, &texts);
        cairo_t *cr = cairo_create(surface);
        draw(cr, width, height);
        status = cairo_status(cr);
        cairo_destroy(cr);
    }
    if (status == CAIRO_STATUS_SUCCESS && format == ImageFormat::Png)
        status = cairo_surface_write_to_png_stream(surface, append_to_string, &bytes);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status == CAIRO_STATUS_SUCCESS && format == ImageFormat::Svg) {
        bytes = with_text(svg, texts);
        if (bytes.empty())
            status = CAIRO_STATUS_WRITE_ERROR;
    }
    return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

} // namespace

std::string write_image(const std::string &path, ImageFormat format, int width, int height,
                        const std::function<void(cairo_t *, int, int)> &draw) {
    if (width <= 0 || height <= 0)
        return "cannot write " + path + ": a picture needs a positive width and height";
    std::string bytes;
    std::string failure = draw_into(bytes, format, width, height, draw);
    if (failure.empty())
        failure = replace_file(path, bytes);
    return failure.empty() ? std::string() : "cannot write " + path + ": " + failure;
}

void release_drawing_caches() {
    cairo_debug_reset_static_data();
    FcFini();
}
