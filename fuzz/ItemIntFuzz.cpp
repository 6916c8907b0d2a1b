// Any text typed into a number box: the item-integer rule never reads past the text and never
// gives a number outside the range it promises.
#include "framework/private/AfxItemInt.h"

#include <climits>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size); // stops at the first NUL, as a box would
    for (bool bSigned : {false, true}) {
        long long value = 0;
        if (!AfxParseItemInt(text.c_str(), bSigned, value))
            continue;
        if (bSigned ? value < INT_MIN || value > INT_MAX : value < 0 || value > (long long)UINT_MAX)
            std::abort();
    }
    return 0;
}
