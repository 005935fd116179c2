#include "unf/parse_decimal.h"

#include <cstdint>

namespace {

bool IsSpace(unsigned char byte) {
  return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

bool IsDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

}  // namespace

int32_t ParseDecimal(const char* text) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  while (IsSpace(*at)) {
    ++at;
  }
  bool negative = false;
  if (*at == '+' || *at == '-') {
    negative = *at == '-';
    ++at;
  }
  // Clamp the magnitude as we go: one past INT32_MAX is enough to decide
  // saturation either way, and the accumulator can never overflow.
  constexpr int64_t kMagnitudeCap = int64_t{INT32_MAX} + 1;
  int64_t magnitude = 0;
  for (; IsDigit(*at); ++at) {
    magnitude = magnitude * 10 + (*at - '0');
    if (magnitude > kMagnitudeCap) {
      magnitude = kMagnitudeCap;
    }
  }
  if (negative) {
    return static_cast<int32_t>(-magnitude);
  }
  return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}
