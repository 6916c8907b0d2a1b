// Icon handles: the executable's icon resource where it has one, else the image of the resource
// table; handles are shared and live as long as the process.
#include "framework/private/AfxBackend.h"
#include "framework/Resources.h"
#include "framework/private/AfxXpm.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
HICON iconFromXpm(std::span<const char* const> xpm)
{
    AFX_XPM_IMAGE image;
    std::string error;
    if (!AfxDecodeXpm(xpm, image, error))
        return nullptr;
    const int width = image.width, height = image.height;
    const std::vector<std::uint32_t>& pixels = image.pixels;
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
