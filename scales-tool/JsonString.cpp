#include "scales-tool/JsonString.h"

#include <cstdio>

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            json += {'\\', c};
        else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            json += escaped;
        } else
            json += c;
    }
    return json + "\"";
}
