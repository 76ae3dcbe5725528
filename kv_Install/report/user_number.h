#pragma once

// The user number sent with the HTTP setup report, from the text of the
// registry value "kcno": empty text and exactly "0" give 0; otherwise the
// standard decimal conversion (leading blanks, an optional sign, then the
// leading digits; no leading digits gives 0). Values beyond int32 saturate.
int UserNumberFromText(const char* text);
