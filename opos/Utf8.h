// UTF-8 form of the wide strings the control receives, for socket names and call logs; and back, for texts
// from files and devices.
#pragma once

#include <string>

namespace opos {

// Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);
// Malformed sequences become U+FFFD.
std::u16string Utf16FromUtf8(const std::string& text);

}
