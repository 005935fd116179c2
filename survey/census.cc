#include "survey/census.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "unf/layout.h"
#include "unf/repair.h"

namespace {

// A batch's byte counters hold up to this many records.
constexpr int kBatchRecords = 255;
// Rows of the batch: the kinds but kOther (what the others leave); the
// 0x00 bytes that are the first of their run of digits and 0x00; and those
// that follow another 0x00.
constexpr int kBatchKinds = kOther;
constexpr int kBatchRunFirsts = kBatchKinds;
constexpr int kBatchNulPairs = kBatchKinds + 1;
constexpr int kBatchRows = kBatchKinds + 2;
// Sixteen bytes are counted at once; a row has room for the last sixteen
// to run past the longest record.
constexpr int kLanes = 16;
constexpr std::size_t kRowBytes = MaxRecordBytes + kLanes;

unsigned char* BatchRow(Census& census, int row) {
  return census.batch.data() + static_cast<std::size_t>(row) * kRowBytes;
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
  const unsigned char* firsts = BatchRow(census, kBatchRunFirsts);
  const unsigned char* pairs = BatchRow(census, kBatchNulPairs);
  for (std::size_t at = 0; at < positions; ++at) {
    census.nul_runs[at] += firsts[at];
    census.nul_pairs[at] += pairs[at];
  }
  for (int row = 0; row < kBatchRows; ++row) {
    std::memset(BatchRow(census, row), 0, positions);
  }
  census.batch_records = 0;
  census.batch_longest = 0;
}

// Sixteen bytes as one vector (GCC's and Clang's vector extension), and the
// same as lanes that are 0xff where something holds, 0x00 where not.
using Lanes = unsigned char __attribute__((vector_size(kLanes)));

Lanes LoadLanes(const unsigned char* bytes) {
  Lanes lanes;
  std::memcpy(&lanes, bytes, sizeof lanes);
  return lanes;
}

void AddLanes(unsigned char* counts, Lanes holds) {
  // A lane that holds is 0xff, which is -1: subtracting it adds 1.
  const Lanes sum = LoadLanes(counts) - holds;
  std::memcpy(counts, &sum, sizeof sum);
}

bool Any(Lanes lanes) {
  std::uint64_t halves[2];
  std::memcpy(halves, &lanes, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

// The lanes of `lanes` moved up by `by`, the top lanes of `before` coming
// in at the bottom. SSE2 does it in three instructions, which compilers do
// not find on their own from the generic shuffle.
template <int by>
Lanes ShiftIn(Lanes lanes, Lanes before) {
#if defined(__SSE2__)
  return reinterpret_cast<Lanes>(_mm_or_si128(
      _mm_slli_si128(reinterpret_cast<__m128i>(lanes), by),
      _mm_srli_si128(reinterpret_cast<__m128i>(before), kLanes - by)));
#else
  static_assert(by == 1 || by == 2 || by == 4 || by == 8);
  if constexpr (by == 1) {
    return __builtin_shufflevector(before, lanes, 15, 16, 17, 18, 19, 20, 21,
                                   22, 23, 24, 25, 26, 27, 28, 29, 30);
  } else if constexpr (by == 2) {
    return __builtin_shufflevector(before, lanes, 14, 15, 16, 17, 18, 19, 20,
                                   21, 22, 23, 24, 25, 26, 27, 28, 29);
  } else if constexpr (by == 4) {
    return __builtin_shufflevector(before, lanes, 12, 13, 14, 15, 16, 17, 18,
                                   19, 20, 21, 22, 23, 24, 25, 26, 27);
  } else {
    return __builtin_shufflevector(before, lanes, 8, 9, 10, 11, 12, 13, 14, 15,
                                   16, 17, 18, 19, 20, 21, 22, 23);
  }
#endif
}

// What CountRecord counts, for sixteen bytes of a record at a time. A 0x00
// is the first of its run of digits and 0x00 bytes when the last byte
// before it that is not a digit is not a 0x00 either: `state` is that last
// byte's being a 0x00, for each lane, spread across runs of digits in four
// doubling steps from the lane before and from the bytes before the block.
struct KindCounter {
  unsigned char* rows;
  Lanes carried_state{};  // of the last byte before the block, in lane 15
  Lanes carried_nul{};    // the last byte before the block is 0x00

  void Count(int32_t at, Lanes bytes, Lanes in_record) {
    const Lanes kZero{};
    const Lanes nul = (bytes == 0) & in_record;
    const Lanes digit = (bytes - '0' < 10) & in_record;
    const Lanes letter = ((bytes | 0x20) - 'a' < 26) & in_record;
    const Lanes space = (bytes == ' ') & in_record;
    const auto position = static_cast<std::size_t>(at);
    AddLanes(rows + kNul * kRowBytes + position, nul);
    AddLanes(rows + kDigit * kRowBytes + position, digit);
    AddLanes(rows + kLetter * kRowBytes + position, letter);
    AddLanes(rows + kSpace * kRowBytes + position, space);
    if (!Any(nul | carried_state)) {
      // No 0x00 here or in the run coming in: nothing starts, nothing goes
      // on. Most blocks of most dumps.
      carried_nul = Lanes{};
      return;
    }
    Lanes state = nul;
    Lanes through = digit;
    state |= ShiftIn<1>(state, carried_state) & through;
    through &= ShiftIn<1>(through, kZero);
    state |= ShiftIn<2>(state, carried_state) & through;
    through &= ShiftIn<2>(through, kZero);
    state |= ShiftIn<4>(state, carried_state) & through;
    through &= ShiftIn<4>(through, kZero);
    state |= ShiftIn<8>(state, carried_state) & through;
    const Lanes first = nul & ~ShiftIn<1>(state, carried_state);
    const Lanes pair = nul & ShiftIn<1>(nul, carried_nul);
    constexpr Lanes kTopLane = {0, 0, 0, 0, 0, 0, 0, 0,
                                0, 0, 0, 0, 0, 0, 0, 0xff};
    carried_state = state & kTopLane;
    carried_nul = nul & kTopLane;
    AddLanes(rows + kBatchRunFirsts * kRowBytes + position, first);
    AddLanes(rows + kBatchNulPairs * kRowBytes + position, pair);
  }
};

void CountKinds(unsigned char* rows, const unsigned char* image, int32_t length,
                const unsigned char* readable_end) {
  KindCounter counter{rows};
  const Lanes kAll = ~Lanes{};
  int32_t at = 0;
  for (; length - at >= kLanes; at += kLanes) {
    counter.Count(at, LoadLanes(image + at), kAll);
  }
  if (at < length) {
    // The rest, as a block of its own: lanes past the record count nothing,
    // and cannot change what the lanes before them count.
    constexpr Lanes kLaneNumbers = {0, 1, 2,  3,  4,  5,  6,  7,
                                    8, 9, 10, 11, 12, 13, 14, 15};
    const auto count = static_cast<unsigned char>(length - at);
    const Lanes in_record = kLaneNumbers < count;
    if (readable_end - (image + at) >= kLanes) {
      counter.Count(at, LoadLanes(image + at), in_record);
    } else {
      unsigned char rest[kLanes] = {};
      std::memcpy(rest, image + at, count);
      counter.Count(at, LoadLanes(rest), in_record);
    }
  }
}

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
  census.batch.assign(kRowBytes * kBatchRows, 0);
  census.nul_pairs.assign(MaxRecordBytes, 0);
  census.nul_runs.assign(MaxRecordBytes, 0);
  census.has_window = window != nullptr;
  if (window != nullptr) {
    census.window = *window;
    census.window.first_changed.reserve(kFirstChangedShown);
  }
}

void CountRecord(Census& census, const unsigned char* image, int32_t length,
                 const unsigned char* readable_end) {
  ++census.records;
  ++census.lengths[static_cast<std::size_t>(length)];
  if (length > census.longest) {
    census.longest = length;
  }
  CountKinds(census.batch.data(), image, length, readable_end);
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
