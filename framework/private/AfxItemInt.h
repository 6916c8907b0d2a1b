// The number rule of GetDlgItemInt, shared by both backends: leading blanks, an optional sign
// (a minus only when signed), decimal digits, nothing after them, and a value that fits.
#pragma once

// False when the text is not a number in range; value holds the number (negative only when signed).
bool AfxParseItemInt(const char* text, bool bSigned, long long& value);
