#include "opos/ResultCodes.h"

const char* ResultCodeName(LONG code)
{
    static const char* const kNames[] = {
        "OPOS_E_CLOSED",  "OPOS_E_CLAIMED", "OPOS_E_NOTCLAIMED", "OPOS_E_NO_SERVICE", "OPOS_E_DISABLED",
        "OPOS_E_ILLEGAL", "OPOS_E_NOHARDWARE", "OPOS_E_OFFLINE", "OPOS_E_NOEXIST",    "OPOS_E_EXISTS",
        "OPOS_E_FAILURE", "OPOS_E_TIMEOUT", "OPOS_E_BUSY",       "OPOS_E_EXTENDED",
    };
    if (code == OPOS_SUCCESS)
        return "OPOS_SUCCESS";
    if (code >= OPOS_E_CLOSED && code <= OPOS_E_EXTENDED)
        return kNames[code - OPOS_E_CLOSED];
    return "OPOS_E_??????";
}
