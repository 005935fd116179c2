#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A UNF file is records one after another, nothing before, between or after
// them. The writer produces each record as:
//
//   length text  1 to 5 decimal digits, no sign, no leading zeros ("0" for an
//                empty image), at most MaxRecordBytes
//   comma        0x2C
//   image        `length` bytes of any value, 0x00, commas, CR and LF included
//   line end     0x0D 0x0A
//
// Only the length frames an image. The reader is lenient where producers are
// sloppy: see ReadRecord and SkipLineEnd.
inline constexpr int32_t MaxRecordBytes = 57000;
// Length text and the comma that ends it; a comma later than this is an error.
inline constexpr int kMaxPrefixBytes = 8;
// SkipLineEnd gives up after this many bytes without a line feed.
inline constexpr int kMaxLineEndBytes = 4;
// What the writer puts around an image: the length's digits (at most five,
// for 0..MaxRecordBytes) and a comma before it, CR LF after it.
inline constexpr int kMaxLengthDigits = 5;
inline constexpr int kMaxWrittenPrefixBytes = kMaxLengthDigits + 1;
inline constexpr int kLineEndBytes = 2;

// ---- The rules both the reader and the writer follow ----

// The length as "%d" writes it, for lengths in 0..MaxRecordBytes; returns
// one past the last digit.
inline unsigned char* PutDecimal(unsigned char* out, int32_t value) {
  unsigned char digits[kMaxWrittenPrefixBytes];
  int count = 0;
  do {
    digits[count++] = static_cast<unsigned char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count > 0) {
    *out++ = digits[--count];
  }
  return out;
}

// Whether the length text is exactly what the writer would put there for
// the length it converts to: digits only, no leading zero.
inline bool IsCanonicalLengthText(const char* text, int text_length) {
  if (text_length < 1 || (text[0] == '0' && text_length > 1)) {
    return false;
  }
  for (int at = 0; at < text_length; ++at) {
    if (text[at] < '0' || text[at] > '9') {
      return false;
    }
  }
  return true;
}

// Whether the canonical line end, CR LF, stands at `bytes`. Written as a
// memcmp so that compilers make it one two-byte compare, which the fast
// path's per-record cost counts on.
inline bool IsLineEndAt(const unsigned char* bytes) {
  return std::memcmp(bytes, "\r\n", kLineEndBytes) == 0;
}

// A canonical prefix is read as one word, which must be buffered whole.
constexpr std::size_t kPrefixWordBytes = sizeof(uint64_t);
static_assert(kMaxWrittenPrefixBytes <= kPrefixWordBytes);

// The eight bytes at `bytes` as a number whose lowest byte is the first, on
// any machine.
inline uint64_t LoadLittle64(const unsigned char* bytes) {
  uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// Whether `word` begins with a canonical prefix: the length as the writer
// puts it, then the comma. If so, returns the prefix's bytes, comma
// included, and sets `length`; otherwise returns 0.
inline int CanonicalPrefixBytes(uint64_t word, int32_t& length) {
  uint32_t value = 0;
  int digits = 0;
  for (; digits < kMaxLengthDigits; ++digits) {
    const uint32_t digit =
        static_cast<uint32_t>(word >> (8 * digits) & 0xff) - uint32_t{'0'};
    if (digit > 9) {
      break;
    }
    value = value * 10 + digit;
  }
  const bool leading_zero = (word & 0xff) == '0' && digits > 1;
  if (digits == 0 || (word >> (8 * digits) & 0xff) != ',' || leading_zero ||
      value > uint32_t{MaxRecordBytes}) {
    return 0;
  }
  length = static_cast<int32_t>(value);
  return digits + 1;
}
