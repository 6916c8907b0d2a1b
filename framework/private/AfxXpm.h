// Framework-internal: the icon images of the resource table (XPM text) as pixels, for the Win32
// backend's icons and for the build machine's resource tool, which writes them as resources.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct AFX_XPM_IMAGE
{
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, top row first; 0 where the colour is "None"
};

// Decodes an XPM image; false, with error saying what is wrong, for an image it cannot read.
bool AfxDecodeXpm(std::span<const char* const> xpm, AFX_XPM_IMAGE& image, std::string& error);
