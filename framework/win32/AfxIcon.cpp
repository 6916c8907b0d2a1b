// Icon handles: the executable's icon resource where it has one, else the image of the resource
// table; handles are shared and live as long as the process.
#include "framework/private/AfxBackend.h"
#include "framework/Resources.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
// An XPM image as 32-bit pixels with alpha (transparent where the colour is "None").
bool decodeXpm(std::span<const char* const> xpm, int& width, int& height, std::vector<DWORD>& pixels)
{
    int colours = 0, cpp = 0;
    if (xpm.empty() || std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &cpp) != 4 || cpp < 1 ||
        xpm.size() < std::size_t(1 + colours + height))
        return false;
    std::map<std::string, DWORD> palette;
    for (int i = 0; i < colours; ++i) {
        const std::string line = xpm[std::size_t(1 + i)];
        const std::string key = line.substr(0, std::size_t(cpp));
        const std::size_t hash = line.find('#');
        unsigned rgb = 0;
        palette[key] = hash != std::string::npos && std::sscanf(line.c_str() + hash + 1, "%6x", &rgb) == 1
                           ? 0xFF000000u | rgb
                           : 0u;
    }
    pixels.assign(std::size_t(width * height), 0);
    for (int y = 0; y < height; ++y) {
        const char* row = xpm[std::size_t(1 + colours + y)];
        if (std::strlen(row) < std::size_t(width * cpp))
            return false;
        for (int x = 0; x < width; ++x)
            pixels[std::size_t(y * width + x)] = palette[std::string(row + x * cpp, std::size_t(cpp))];
    }
    return true;
}

HICON iconFromXpm(std::span<const char* const> xpm)
{
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    if (!decodeXpm(xpm, width, height, pixels))
        return nullptr;
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height; // top-down
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    const HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!colour)
        return nullptr;
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(DWORD));
    std::vector<BYTE> maskBits(std::size_t(((width + 15) / 16) * 2 * height), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (!(pixels[std::size_t(y * width + x)] >> 24))
                maskBits[std::size_t(y * ((width + 15) / 16) * 2 + x / 8)] |= BYTE(0x80 >> (x % 8));
    const HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
    ICONINFO info{TRUE, 0, 0, mask, colour};
    const HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}
}

HICON AfxLoadIcon(UINT nID)
{
    static std::map<UINT, HICON> s_icons;
    if (const auto it = s_icons.find(nID); it != s_icons.end())
        return it->second;
    HICON icon = ::LoadIcon(GetModuleHandle(nullptr), MAKEINTRESOURCE(nID));
    if (!icon)
        if (const ICONIMAGE* image = AfxFindIconImage(nID))
            icon = iconFromXpm(image->xpm);
    if (icon)
        s_icons[nID] = icon;
    return icon;
}
