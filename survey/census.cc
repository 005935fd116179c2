#include "survey/census.h"

#include <algorithm>
#include <cstring>

#include "unf/layout.h"
#include "unf/repair.h"

namespace {

// A batch's byte counters hold up to this many records.
constexpr int kBatchRecords = 255;
// Rows of the batch: the kinds but kOther (what the others leave), then the
// 0x00 bytes that follow a byte other than 0x00.
constexpr int kBatchKinds = kOther;
constexpr int kBatchNulStarts = kBatchKinds;
constexpr int kBatchRows = kBatchKinds + 1;

unsigned char* BatchRow(Census& census, int row) {
  return census.batch.data() + static_cast<std::size_t>(row) * MaxRecordBytes;
}

void FlushBatch(Census& census) {
  const auto positions = static_cast<std::size_t>(census.batch_longest);
  for (int kind = 0; kind < kBatchKinds; ++kind) {
    const unsigned char* counts = BatchRow(census, kind);
    std::uint64_t* totals = census.classes.data() + kind;
    for (std::size_t at = 0; at < positions; ++at) {
      totals[at * kByteClasses] += counts[at];
    }
  }
  const unsigned char* starts = BatchRow(census, kBatchNulStarts);
  for (std::size_t at = 0; at < positions; ++at) {
    census.nul_starts[at] += starts[at];
    census.nul_runs[at] += starts[at];
  }
  for (int row = 0; row < kBatchRows; ++row) {
    std::memset(BatchRow(census, row), 0, positions);
  }
  census.batch_records = 0;
  census.batch_longest = 0;
}

// Counts the kinds of image[0, length) in the batch, and the 0x00 bytes
// that follow a byte other than 0x00: these start the runs of 0x00, which
// are the runs of digits and 0x00 that CountRecord wants unless a digit
// stands between two of them; returns whether one does. image[-1] is read
// too, and must be neither 0x00 nor a digit. Written so that compilers make
// it a few vector compares and adds per 16 bytes: one loop, every kind
// counted branch-free, no aliasing.
bool CountKinds(unsigned char* __restrict batch,
                const unsigned char* __restrict image, int32_t length) {
  unsigned char* __restrict nul = batch;
  unsigned char* __restrict digit = nul + MaxRecordBytes;
  unsigned char* __restrict letter = digit + MaxRecordBytes;
  unsigned char* __restrict space = letter + MaxRecordBytes;
  unsigned char* __restrict nul_start = space + MaxRecordBytes;
  unsigned char nul_after_digit = 0;
  for (int32_t at = 0; at < length; ++at) {
    const unsigned char byte = image[at];
    const unsigned char before = image[at - 1];
    const unsigned char is_nul = byte == 0;
    nul[at] = static_cast<unsigned char>(nul[at] + is_nul);
    digit[at] = static_cast<unsigned char>(
        digit[at] + (static_cast<unsigned char>(byte - '0') < 10));
    letter[at] = static_cast<unsigned char>(
        letter[at] + (static_cast<unsigned char>((byte | 0x20) - 'a') < 26));
    space[at] = static_cast<unsigned char>(space[at] + (byte == ' '));
    nul_start[at] =
        static_cast<unsigned char>(nul_start[at] + (is_nul & (before != 0)));
    nul_after_digit |= static_cast<unsigned char>(
        is_nul & (static_cast<unsigned char>(before - '0') < 10));
  }
  return nul_after_digit != 0;
}

// Eight bytes at a time, as a word whose lowest byte is the first: the high
// bit of each byte is set where the byte is 0x00, or a digit.
constexpr std::uint64_t kLowBits = 0x7f7f7f7f7f7f7f7full;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr std::uint64_t kEachByte = 0x0101010101010101ull;

std::uint64_t NulBytes(std::uint64_t word) {
  return ~(((word & kLowBits) + kLowBits) | word | kLowBits);
}

std::uint64_t DigitBytes(std::uint64_t word) {
  // "0" to "9" become 0 to 9; adding 0x76 to the low seven bits sets the
  // high bit from 10 on, and never carries into the next byte.
  const std::uint64_t shifted = word ^ (kEachByte * '0');
  return ~(((shifted & kLowBits) + kEachByte * (0x80 - 10)) | shifted) &
         kHighBits;
}

// The last, partial word of an image.
std::uint64_t LoadWord(const unsigned char* bytes, int32_t count) {
  // Past the image, digits: they neither end a run nor start one.
  unsigned char padded[8] = {'0', '0', '0', '0', '0', '0', '0', '0'};
  std::memcpy(padded, bytes, static_cast<std::size_t>(count));
  return LoadLittle64(padded);
}

// Where the 0x00 bytes of one word are firsts, given `carried`, the state of
// the byte before it; sets `carried` for the next word. `state` has the high
// bit of each byte set where the last byte up to it that is not a digit is
// a 0x00.
std::uint64_t FirstNuls(std::uint64_t nul, std::uint64_t digit, bool& carried) {
  const std::uint64_t carried_bit = carried ? 0x80 : 0;
  const std::uint64_t not_digit = ~digit & kHighBits;
  if ((nul & digit << 8) == 0) {
    // No 0x00 right after a digit: a 0x00 is a first unless a 0x00 stands
    // right before it. Only the word's last byte that is not a digit tells
    // the next word's state.
    carried = not_digit == 0 ? carried
                             : (nul >> (63 - __builtin_clzll(not_digit)) & 1);
    return nul & ~(nul << 8 | carried_bit);
  }
  // The digits before the word's first byte that is not a digit take the
  // carried state; the others take it from the byte before them, which
  // three doubling steps spread across runs of digits.
  const std::uint64_t leading =
      not_digit == 0 ? kHighBits : ((not_digit & -not_digit) - 1) & kHighBits;
  std::uint64_t state = nul | (carried ? leading : 0);
  std::uint64_t through = digit;
  state |= (state << 8) & through;
  through &= through << 8;
  state |= (state << 16) & through;
  through &= through << 16;
  state |= (state << 32) & through;
  carried = (state >> 63) != 0;
  return nul & ~(state << 8 | carried_bit);
}

}  // namespace

// Each 0x00 that is the first of its run of digits and 0x00 bytes counts
// the record once at its position: runs are what fields are made of, and a
// record with several 0x00 bytes in one field is one damaged record. A
// 0x00 is such a first when the last byte before it that is not a digit is
// not a 0x00 either. CountKinds counted the starts of runs of 0x00
// instead, which the batch adds to `runs` as well; this moves the record's
// counts from those to the firsts, eight bytes at a time. The counts are
// modulo 2^64, so a count taken back before the batch adds it is no harm.
void CorrectNulRuns(std::uint64_t* runs, const unsigned char* image,
                    int32_t length) {
  bool carried = false;
  std::uint64_t nul_before = 0;  // the high bit of byte 0: 0x00 before it
  for (int32_t base = 0; base < length; base += 8) {
    const std::uint64_t word = length - base >= 8
                                   ? LoadLittle64(image + base)
                                   : LoadWord(image + base, length - base);
    const std::uint64_t nul = NulBytes(word);
    const std::uint64_t counted = nul & ~(nul << 8 | nul_before);
    nul_before = nul >> 63 << 7;
    if (nul == 0 && !carried) {
      continue;
    }
    const std::uint64_t firsts = FirstNuls(nul, DigitBytes(word), carried);
    for (std::uint64_t bits = firsts & ~counted; bits != 0; bits &= bits - 1) {
      ++runs[base + __builtin_ctzll(bits) / 8];
    }
    for (std::uint64_t bits = counted & ~firsts; bits != 0; bits &= bits - 1) {
      --runs[base + __builtin_ctzll(bits) / 8];
    }
  }
}

namespace {

void DryRun(WindowTally& window, std::uint64_t record,
            const unsigned char* image, int32_t length) {
  if (length < window.offset) {
    ++window.rejected;
    return;
  }
  ++window.updated;
  const unsigned char* field = image + window.offset;
  const int32_t count =
      WindowBytesWithin(length, window.offset, window.num_bytes);
  std::uint64_t zeros = 0;
  for (int32_t at = 0; at < count; ++at) {
    zeros += field[at] == 0 ? 1 : 0;
  }
  if (zeros > 0) {
    ++window.changed_records;
    window.changed_bytes += zeros;
    if (window.first_changed.size() < kFirstChangedShown) {
      window.first_changed.push_back(record);
    }
  }
}

}  // namespace

void StartCensus(Census& census, const WindowTally* window) {
  census = Census{};
  census.lengths.assign(MaxRecordBytes + 1, 0);
  census.classes.assign(std::size_t{MaxRecordBytes} * kByteClasses, 0);
  census.batch.assign(std::size_t{MaxRecordBytes} * kBatchRows, 0);
  census.nul_starts.assign(MaxRecordBytes, 0);
  census.nul_runs.assign(MaxRecordBytes, 0);
  census.has_window = window != nullptr;
  if (window != nullptr) {
    census.window = *window;
    census.window.first_changed.reserve(kFirstChangedShown);
  }
}

void CountRecord(Census& census, const unsigned char* image, int32_t length) {
  ++census.records;
  ++census.lengths[static_cast<std::size_t>(length)];
  if (length > census.longest) {
    census.longest = length;
  }
  if (CountKinds(census.batch.data(), image, length)) {
    // A 0x00 after a digit, as in "1\0\0" or "\0" "1\0": the batch took
    // each run of 0x00 for a run of its own, so put this record's runs of
    // digits and 0x00 right.
    CorrectNulRuns(census.nul_runs.data(), image, length);
  }
  if (length > census.batch_longest) {
    census.batch_longest = length;
  }
  if (++census.batch_records == kBatchRecords) {
    FlushBatch(census);
  }
  if (census.has_window) {
    DryRun(census.window, census.records, image, length);
  }
}

void FinishCensus(Census& census) {
  FlushBatch(census);
  const std::vector<std::uint64_t> reaching = RecordsReaching(census);
  for (std::size_t at = 0; at < reaching.size(); ++at) {
    std::uint64_t* counts = census.classes.data() + at * kByteClasses;
    counts[kOther] = reaching[at] - counts[kNul] - counts[kDigit] -
                     counts[kLetter] - counts[kSpace];
  }
}

std::vector<std::uint64_t> RecordsReaching(const Census& census) {
  std::vector<std::uint64_t> reaching(
      static_cast<std::size_t>(census.longest < 0 ? 0 : census.longest), 0);
  std::uint64_t longer = 0;
  for (int32_t position = census.longest - 1; position >= 0; --position) {
    longer += census.lengths[static_cast<std::size_t>(position) + 1];
    reaching[static_cast<std::size_t>(position)] = longer;
  }
  return reaching;
}
