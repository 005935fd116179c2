#pragma once

#include <cstdint>
#include <cstring>

#include "unf/layout.h"

// What ActiveX controls should have written in a NUMERIC field instead of 0x00.
inline constexpr unsigned char kRepairByte = 0x30;

enum class RecordOutcome { Updated, Rejected };

// Whether the window [offset, offset + num_bytes) fits the largest record:
// 0 <= offset, 0 <= num_bytes and offset + num_bytes <= MaxRecordBytes, the
// sum taken without wrap-around. RepairRecord takes only such windows.
inline bool WindowFits(int32_t offset, int32_t num_bytes) {
  const int64_t field_end = int64_t{offset} + num_bytes;
  return offset >= 0 && offset <= MaxRecordBytes && num_bytes >= 0 &&
         field_end <= MaxRecordBytes;
}

namespace repair_detail {

// Repairs sizeof(Word) bytes at once, or only those of them under
// `window`: the high bit of each byte of `zeros` is set exactly where the
// word holds 0x00 (no carry crosses bytes, unlike the usual has-zero test),
// and 0x30 is or-ed into just those bytes.
template <typename Word>
inline void RepairWordAt(unsigned char* bytes, Word window = ~Word{0}) {
  constexpr auto kLowBits = static_cast<Word>(0x7f7f7f7f7f7f7f7full);
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  const Word zeros =
      ~(((word & kLowBits) + kLowBits) | word | kLowBits) & window;
  word |= static_cast<Word>((zeros >> 7) * kRepairByte);
  std::memcpy(bytes, &word, sizeof word);
}

}  // namespace repair_detail

// How many bytes of the window [offset, offset + num_bytes) lie inside an
// image of `length` bytes that is at least `offset` long.
inline int32_t WindowBytesWithin(int32_t length, int32_t offset,
                                 int32_t num_bytes) {
  const int32_t room = length - offset;
  return num_bytes < room ? num_bytes : room;
}

// Turns every 0x00 of bytes[0, count) into kRepairByte.
inline void RepairBytes(unsigned char* bytes, int32_t count) {
  unsigned char* at = bytes;
  unsigned char* const end = bytes + count;
  for (; end - at >= 8; at += 8) {
    repair_detail::RepairWordAt<uint64_t>(at);
  }
  if (end - at >= 4) {
    repair_detail::RepairWordAt<uint32_t>(at);
    at += 4;
  }
  for (; at < end; ++at) {
    if (*at == 0x00) {
      *at = kRepairByte;
    }
  }
}

// A window of at most eight bytes at `bytes`, for RepairWindowInWord: 0xff
// in each byte of the window, 0x00 in the rest of the word.
inline uint64_t WordWindow(int32_t count) {
  unsigned char mask[sizeof(uint64_t)] = {};
  std::memset(mask, 0xff, static_cast<std::size_t>(count));
  uint64_t window;
  std::memcpy(&window, mask, sizeof window);
  return window;
}

// RepairBytes of a window of at most eight bytes in one step, for a caller
// that owns the eight bytes from `bytes` on: the word is written back whole,
// its bytes outside the window as they were.
inline void RepairWindowInWord(unsigned char* bytes, uint64_t window) {
  repair_detail::RepairWordAt<uint64_t>(bytes, window);
}

// Mends the NUMERIC field at [offset, offset + num_bytes) of the record
// image[0, length), in place: every 0x00 in the part of that window inside
// the image becomes kRepairByte. A record shorter than `offset` is left
// alone and Rejected; any other is Updated, changed or not. The caller
// guarantees 0 <= offset, 0 <= num_bytes and offset + num_bytes <=
// MaxRecordBytes.
inline RecordOutcome RepairRecord(unsigned char* image, int32_t length,
                                  int32_t offset, int32_t num_bytes) {
  if (length < offset) {
    return RecordOutcome::Rejected;
  }
  RepairBytes(image + offset, WindowBytesWithin(length, offset, num_bytes));
  return RecordOutcome::Updated;
}
