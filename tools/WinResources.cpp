// Writes the Windows resources of the program from its resource tables: OUTDIR/Tarabo.ico (icon
// 128, both images, 16 colours) and OUTDIR/Tarabo.rc (that icon and the version block), for
// windres. Runs on the build machine, so it uses the tables, never the window system.
#include "res/resource.h"

#include "framework/Resources.h"
#include "framework/private/AfxXpm.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The 16 colours of an icon, in the standard order of the Windows palette.
constexpr std::array<std::uint32_t, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};
constexpr int kTransparent = -1;

// An icon image as palette indices (kTransparent for "None").
struct Image
{
    int size = 0;
    std::vector<std::vector<int>> rows; // top row first
};

Image Decode(const ICONIMAGE& icon)
{
    AFX_XPM_IMAGE xpm;
    std::string error;
    if (!AfxDecodeXpm(icon.xpm, xpm, error))
        throw std::runtime_error("icon image of size " + std::to_string(icon.size) + ": " + error);
    if (xpm.width != icon.size || xpm.height != icon.size)
        throw std::runtime_error("icon image of size " + std::to_string(icon.size) + " is " + std::to_string(xpm.width) + " by " +
                                 std::to_string(xpm.height));
    Image image{icon.size, {}};
    for (int y = 0; y < xpm.height; ++y) {
        auto& out = image.rows.emplace_back();
        for (int x = 0; x < xpm.width; ++x) {
            const std::uint32_t argb = xpm.pixels[std::size_t(y * xpm.width + x)];
            const auto colour = std::find(kPalette.begin(), kPalette.end(), argb & 0xFFFFFF);
            if (argb >> 24 && colour == kPalette.end())
                throw std::runtime_error("icon colour of pixel " + std::to_string(x) + " of row " + std::to_string(y) +
                                         " is none of the 16 colours");
            out.push_back(argb >> 24 ? int(colour - kPalette.begin()) : kTransparent);
        }
    }
    return image;
}

void Put16(std::string& out, unsigned v) { out += char(v & 0xFF), out += char((v >> 8) & 0xFF); }
void Put32(std::string& out, std::uint32_t v) { Put16(out, v & 0xFFFF), Put16(out, v >> 16); }

// One image as an icon resource stores it: a bitmap header of twice the height, the palette, the
// 4-bit colour rows and the 1-bit transparency mask, each bottom row first and padded to 32 bits.
std::string IconBitmap(const Image& image)
{
    const int n = image.size;
    const int colourStride = (n * 4 + 31) / 32 * 4, maskStride = (n + 31) / 32 * 4;
    std::string out;
    Put32(out, 40), Put32(out, n), Put32(out, 2 * n), Put16(out, 1), Put16(out, 4), Put32(out, 0);
    Put32(out, (colourStride + maskStride) * n), Put32(out, 0), Put32(out, 0), Put32(out, 16), Put32(out, 0);
    for (std::uint32_t rgb : kPalette)
        Put32(out, rgb); // stored as blue, green, red, 0: the same bytes as 0x00RRGGBB little-endian
    for (int y = n - 1; y >= 0; --y) {
        std::string row(colourStride, '\0');
        for (int x = 0; x < n; ++x) {
            const int c = image.rows[y][x] == kTransparent ? 0 : image.rows[y][x];
            row[x / 2] = char(row[x / 2] | (x % 2 ? c : c << 4));
        }
        out += row;
    }
    for (int y = n - 1; y >= 0; --y) {
        std::string row(maskStride, '\0');
        for (int x = 0; x < n; ++x)
            if (image.rows[y][x] == kTransparent)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

std::string IconFile(const ICONRESOURCE& icon)
{
    std::vector<std::string> bitmaps;
    std::vector<int> sizes;
    for (const ICONIMAGE& image : icon.images) {
        bitmaps.push_back(IconBitmap(Decode(image)));
        sizes.push_back(image.size);
    }
    std::string out;
    Put16(out, 0), Put16(out, 1), Put16(out, unsigned(bitmaps.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(bitmaps.size());
    for (std::size_t i = 0; i < bitmaps.size(); ++i) {
        out += char(sizes[i] % 256), out += char(sizes[i] % 256), out += char(16), out += '\0';
        Put16(out, 1), Put16(out, 4), Put32(out, std::uint32_t(bitmaps[i].size())), Put32(out, offset);
        offset += std::uint32_t(bitmaps[i].size());
    }
    for (const auto& b : bitmaps)
        out += b;
    return out;
}

// A string as a resource script writes it: quotes doubled, control characters escaped.
std::string Quoted(const char* text)
{
    std::string out = "\"";
    for (const char* p = text; *p; ++p) {
        if (*p == '"')
            out += "\"\"";
        else if (*p == '\\')
            out += "\\\\";
        else if (static_cast<unsigned char>(*p) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03o", unsigned(static_cast<unsigned char>(*p)));
            out += escaped;
        } else
            out += *p;
    }
    return out + "\"";
}

std::string ResourceScript(const VERSIONINFO& v, const std::string& iconPath)
{
    unsigned language = 0, codePage = 0;
    if (std::sscanf(v.language, "%4x%4x", &language, &codePage) != 2)
        throw std::runtime_error(std::string("version block language \"") + v.language + "\" is not eight hex digits");
    const auto version = [](const WORD (&w)[4]) {
        return std::to_string(w[0]) + "," + std::to_string(w[1]) + "," + std::to_string(w[2]) + "," + std::to_string(w[3]);
    };
    const std::pair<const char*, const char*> fields[] = {
        {"CompanyName", v.companyName},         {"FileDescription", v.fileDescription},
        {"FileVersion", v.fileVersionText},     {"InternalName", v.internalName},
        {"LegalCopyright", v.legalCopyright},   {"LegalTrademarks", v.legalTrademarks},
        {"OriginalFilename", v.originalFilename}, {"ProductName", v.productName},
        {"ProductVersion", v.productVersionText},
    };
    std::ostringstream rc;
    rc << "// Generated from the program's resource tables by tarabo_winres; do not edit.\n"
       << "#pragma code_page(65001)\n\n"
       << IDR_MAINFRAME << " ICON " << Quoted(iconPath.c_str()) << "\n\n"
       << "1 VERSIONINFO\n"
       << "FILEVERSION " << version(v.fileVersion) << "\n"
       << "PRODUCTVERSION " << version(v.productVersion) << "\n"
       << "FILEFLAGSMASK 0x3F\nFILEFLAGS 0x0\n"
       << "FILEOS 0x4\n"       // VOS__WINDOWS32
       << "FILETYPE 0x1\n"     // VFT_APP
       << "FILESUBTYPE 0x0\n"
       << "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK " << Quoted(v.language) << "\n    BEGIN\n";
    for (const auto& [name, value] : fields)
        rc << "      VALUE \"" << name << "\", " << Quoted(value ? value : "") << "\n";
    rc << "    END\n  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n"
       << "    VALUE \"Translation\", 0x" << std::hex << language << ", " << std::dec << codePage << "\n"
       << "  END\nEND\n";
    return rc.str();
}

bool Write(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    if (!out)
        std::fprintf(stderr, "tarabo_winres: cannot write %s\n", path.c_str());
    return bool(out);
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const ICONRESOURCE* icon = AfxFindIcon(IDR_MAINFRAME);
    const VERSIONINFO* version = AfxGetVersionInfo();
    if (!icon || !version) {
        std::fprintf(stderr, "tarabo_winres: the resource tables have no icon %d or no version block\n", IDR_MAINFRAME);
        return 1;
    }
    try {
        return Write(dir + "/Tarabo.ico", IconFile(*icon)) && Write(dir + "/Tarabo.rc", ResourceScript(*version, dir + "/Tarabo.ico")) ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarabo_winres: %s\n", e.what());
        return 1;
    }
}
