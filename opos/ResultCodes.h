// Result codes of the scale control, with the numbers UnifiedPOS gives them.
#pragma once

#include "framework/AfxTypes.h"

inline constexpr LONG OPOS_SUCCESS = 0;
inline constexpr LONG OPOS_E_CLOSED = 101;
inline constexpr LONG OPOS_E_CLAIMED = 102;
inline constexpr LONG OPOS_E_NOTCLAIMED = 103;
inline constexpr LONG OPOS_E_NOSERVICE = 104;
inline constexpr LONG OPOS_E_DISABLED = 105;
inline constexpr LONG OPOS_E_ILLEGAL = 106;
inline constexpr LONG OPOS_E_NOHARDWARE = 107;
inline constexpr LONG OPOS_E_OFFLINE = 108;
inline constexpr LONG OPOS_E_NOEXIST = 109;
inline constexpr LONG OPOS_E_EXISTS = 110;
inline constexpr LONG OPOS_E_FAILURE = 111;
inline constexpr LONG OPOS_E_TIMEOUT = 112;
inline constexpr LONG OPOS_E_BUSY = 113;
inline constexpr LONG OPOS_E_EXTENDED = 114;

// Extended result of a scale (ResultCodeExtended when the result is OPOS_E_EXTENDED).
inline constexpr LONG OPOS_ESCAL_OVERWEIGHT = 201;
inline constexpr LONG OPOS_ESCAL_UNDERWEIGHT = 202;

// Weight units as the WeightUnit property reports them.
inline constexpr LONG SCAL_WU_GRAM = 1;
inline constexpr LONG SCAL_WU_KILOGRAM = 2;
inline constexpr LONG SCAL_WU_OUNCE = 3;
inline constexpr LONG SCAL_WU_POUND = 4;

// The name a result code is shown by, as the console shows it ("OPOS_E_??????" for others).
const char* ResultCodeName(LONG code);
