#include "opos/Utf8.h"

namespace opos {

namespace {
void appendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}

std::string Utf8FromUtf16(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            appendCodePoint(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            appendCodePoint(out, isHigh(c) || isLow(c) ? U'\xFFFD' : char32_t(c));
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(const std::string& text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = text[i];
        const int extra = lead < 0x80 ? 0 : lead >= 0xF5 ? -1 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
        char32_t c = extra <= 0 ? lead : lead & (0x3F >> extra);
        int taken = 1;
        while (extra > 0 && taken <= extra && i + taken < text.size() && (text[i + taken] & 0xC0) == 0x80)
            c = (c << 6) | (text[i + taken++] & 0x3F);
        const bool overlong = (extra == 2 && c < 0x800) || (extra == 3 && c < 0x10000);
        if (extra < 0 || taken != extra + 1 || overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = U'\xFFFD';
        if (c >= 0x10000) {
            out += char16_t(0xD800 + ((c - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += char16_t(c);
        }
        i += taken;
    }
    return out;
}

}
