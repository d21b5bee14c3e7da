#include "charts/image_format.h"

#include <cctype>

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
