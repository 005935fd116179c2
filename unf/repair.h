#pragma once

#include <cstdint>
#include <cstring>

// What ActiveX controls should have written in a NUMERIC field instead of 0x00.
inline constexpr unsigned char kRepairByte = 0x30;

enum class RecordOutcome { Updated, Rejected };

namespace repair_detail {

// Repairs sizeof(Word) bytes at once: the high bit of each byte of `zeros`
// is set exactly where the word holds 0x00 (no carry crosses bytes, unlike
// the usual has-zero test), and 0x30 is or-ed into just those bytes.
template <typename Word>
inline void RepairWordAt(unsigned char* bytes) {
  constexpr auto kLowBits = static_cast<Word>(0x7f7f7f7f7f7f7f7full);
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  const Word zeros = ~(((word & kLowBits) + kLowBits) | word | kLowBits);
  word |= static_cast<Word>((zeros >> 7) * kRepairByte);
  std::memcpy(bytes, &word, sizeof word);
}

}  // namespace repair_detail

// Mends the NUMERIC field at [offset, offset + num_bytes) of the record
// image[0, length), in place: every 0x00 in the part of that window inside
// the image becomes kRepairByte. A record shorter than `offset` is left
// alone and Rejected; any other is Updated, changed or not. The caller
// guarantees 0 <= offset, 0 <= num_bytes and offset + num_bytes <=
// MaxRecordBytes.
// Inline: it runs once per record in the copy's innermost loop.
inline RecordOutcome RepairRecord(unsigned char* image, int32_t length,
                                  int32_t offset, int32_t num_bytes) {
  if (length < offset) {
    return RecordOutcome::Rejected;
  }
  int32_t field_end = offset + num_bytes;
  if (field_end > length) {
    field_end = length;
  }
  unsigned char* at = image + offset;
  unsigned char* const end = image + field_end;
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
  return RecordOutcome::Updated;
}
