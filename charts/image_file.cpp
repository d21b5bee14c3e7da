#include "charts/image_file.h"

#include "modelfile/whole_file.h"

#include <cairo-svg.h>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

cairo_status_t write_to_file(void *closure, const unsigned char *data, unsigned int length) {
    return fwrite(data, 1, length, static_cast<FILE *>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

// Draws into an open file; returns the failure, or an empty string.
std::string draw_into(FILE *file, ImageFormat format, int width, int height,
                      const std::function<void(cairo_t *, int, int)> &draw) {
    cairo_surface_t *surface =
        format == ImageFormat::Svg
            ? cairo_svg_surface_create_for_stream(write_to_file, file, width, height)
            : cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_status_t status = cairo_surface_status(surface);
    if (status == CAIRO_STATUS_SUCCESS) {
        cairo_t *cr = cairo_create(surface);
        draw(cr, width, height);
        status = cairo_status(cr);
        cairo_destroy(cr);
    }
    if (status == CAIRO_STATUS_SUCCESS && format == ImageFormat::Png)
        status = cairo_surface_write_to_png_stream(surface, write_to_file, file);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

} // namespace

std::optional<ImageFormat> image_format_of(std::string_view path) {
    auto ends_with = [&](std::string_view suffix) {
        if (path.size() <= suffix.size())
            return false;
        std::string_view tail = path.substr(path.size() - suffix.size());
        for (size_t i = 0; i < tail.size(); i++)
            if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i])
                return false;
        return true;
    };
    if (ends_with(".png"))
        return ImageFormat::Png;
    if (ends_with(".svg"))
        return ImageFormat::Svg;
    return std::nullopt;
}

std::string write_image(const std::string &path, ImageFormat format, int width, int height,
                        const std::function<void(cairo_t *, int, int)> &draw) {
    if (width <= 0 || height <= 0)
        return "cannot write " + path + ": a picture needs a positive width and height";
    std::string temporary = temporary_template(path);
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return "cannot write " + path + ": " + strerror(errno);
    // mkstemp makes the file private; a picture gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    FILE *file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(descriptor);
        unlink(temporary.c_str());
        return "cannot write " + path + ": " + strerror(error);
    }
    std::string failure = draw_into(file, format, width, height, draw);
    if (fclose(file) != 0 && failure.empty())
        failure = strerror(errno);
    if (failure.empty() && rename(temporary.c_str(), path.c_str()) != 0)
        failure = strerror(errno);
    if (!failure.empty()) {
        unlink(temporary.c_str());
        return "cannot write " + path + ": " + failure;
    }
    return {};
}

void release_drawing_caches() {
    cairo_debug_reset_static_data();
    FcFini();
}
