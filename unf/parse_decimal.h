#pragma once

#include <cstdint>

// The one text-to-number conversion, for the offset, the length and every
// record's length text. Skips leading white space (space, 0x09 to 0x0D), takes
// one optional sign, then decimal digits up to the first byte that is not a
// digit; the rest is ignored. No digits give 0. Values beyond the signed
// 32-bit range saturate to INT32_MAX or INT32_MIN.
int32_t ParseDecimal(const char* text);
