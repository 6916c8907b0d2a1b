#include "framework/private/AfxXpm.h"

#include <cstdio>
#include <cstring>
#include <map>

bool AfxDecodeXpm(std::span<const char* const> xpm, AFX_XPM_IMAGE& image, std::string& error)
{
    int width = 0, height = 0, colours = 0, perPixel = 0;
    if (xpm.empty() || std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 || width < 0 ||
        height < 0 || colours < 0 || perPixel < 1 || xpm.size() != std::size_t(1 + colours + height)) {
        error = "bad XPM header";
        return false;
    }
    std::map<std::string, std::uint32_t> palette;
    for (int i = 0; i < colours; ++i) {
        const std::string line = xpm[std::size_t(1 + i)];
        const std::size_t value = std::size_t(perPixel) + 3; // "K c VALUE"
        if (line.size() <= value || line.compare(std::size_t(perPixel), 3, " c ") != 0) {
            error = "colour line \"" + line + "\" is not KEY c VALUE";
            return false;
        }
        unsigned rgb = 0;
        char rest = 0;
        if (line.compare(value, std::string::npos, "None") == 0)
            palette[line.substr(0, std::size_t(perPixel))] = 0;
        else if (line.size() == value + 7 && line[value] == '#' && std::sscanf(line.c_str() + value + 1, "%6x%c", &rgb, &rest) == 1)
            palette[line.substr(0, std::size_t(perPixel))] = 0xFF000000u | rgb;
        else {
            error = "colour \"" + line + "\" is neither #RRGGBB nor None";
            return false;
        }
    }
    image = {width, height, std::vector<std::uint32_t>(std::size_t(width) * std::size_t(height), 0)};
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[std::size_t(1 + colours + y)];
        if (std::strlen(row) != std::size_t(width) * std::size_t(perPixel)) {
            error = "row " + std::to_string(y) + " is not " + std::to_string(width) + " pixels wide";
            return false;
        }
        for (int x = 0; x < width; ++x) {
            const auto it = palette.find(std::string(row + std::size_t(x * perPixel), std::size_t(perPixel)));
            if (it == palette.end()) {
                error = "pixel " + std::to_string(x) + " of row " + std::to_string(y) + " has no colour";
                return false;
            }
            image.pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = it->second;
        }
    }
    return true;
}
