#include "framework/private/AfxItemInt.h"

#include <climits>

bool AfxParseItemInt(const char* p, bool bSigned, long long& value)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || (*p == '-' && bSigned))
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > (long long)UINT_MAX)
            return false;
    }
    if (*p != '\0')
        return false;
    if (negative)
        value = -value;
    return bSigned ? value >= INT_MIN && value <= INT_MAX : value <= (long long)UINT_MAX;
}
