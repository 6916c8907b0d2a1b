// UTF-8 form of the wide strings the control receives, for socket names and call logs.
#pragma once

#include <string>

namespace opos {

// Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(const std::u16string& text);

}
