#include "unf/repair.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr uint64_t kLowBits = 0x7f7f7f7f7f7f7f7full;

// Eight image bytes at a time: the high bit of each byte of `zeros` is set
// exactly where `word` holds 0x00 (no borrow crosses bytes, unlike the
// usual has-zero test), and 0x30 is or-ed into just those bytes.
uint64_t RepairWord(uint64_t word) {
  const uint64_t zeros = ~(((word & kLowBits) + kLowBits) | word | kLowBits);
  return word | (zeros >> 7) * kRepairByte;
}

}  // namespace

RecordOutcome RepairRecord(unsigned char* image, int32_t length, int32_t offset,
                           int32_t num_bytes) {
  if (length < offset) {
    return RecordOutcome::Rejected;
  }
  int32_t field_end = offset + num_bytes;
  if (field_end > length) {
    field_end = length;
  }
  int32_t at = offset;
  for (; field_end - at >= 8; at += 8) {
    uint64_t word;
    std::memcpy(&word, image + at, sizeof word);
    word = RepairWord(word);
    std::memcpy(image + at, &word, sizeof word);
  }
  for (; at < field_end; ++at) {
    if (image[at] == 0x00) {
      image[at] = kRepairByte;
    }
  }
  return RecordOutcome::Updated;
}
