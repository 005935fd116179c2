// The run's fast path: whole canonical records straight from the reader's
// buffer, for a run without trace.

#include <cstddef>
#include <cstdint>

#include "unf/layout.h"
#include "unf/pending_output.h"
#include "unf/record_stream.h"
#include "unf/repair.h"

RecordTally RepairBufferedRecords(DestStream& dest, int32_t offset,
                                  int32_t num_bytes) {
  SourceStream& source = *dest.source;
  RecordTally tally;
  // Only a span that these records extend is taken, so that nothing is
  // written here: a failed write is then always met on the general path,
  // after the caller has counted the records before it.
  if (dest.span_end != dest.span_begin && dest.span_end != source.next) {
    return tally;
  }
  unsigned char* const begin = source.buffer + source.next;
  const unsigned char* const end = source.buffer + source.end;
  unsigned char* at = begin;
  // Dumps of one table have records of one length. What such a run's
  // records look like is worked out at its first record; a record whose
  // prefix is the same bytes is then known without converting its digits,
  // so the step to the record after it waits on nothing.
  uint64_t prefix_mask = 0;
  uint64_t prefix = 1;              // matches no word under a mask of 0
  std::ptrdiff_t record_bytes = 0;  // prefix, image and CR LF
  std::ptrdiff_t window_begin = 0;  // from the record's first byte
  int32_t window_bytes = 0;
  // A window of up to eight bytes with eight bytes of the record from its
  // start is repaired as one word; the image and CR LF are ours to rewrite.
  bool window_in_word = false;
  uint64_t word_window = 0;
  std::uint64_t updated = 0;  // 1 for a run of Updated records
  while (static_cast<std::size_t>(end - at) >= kPrefixWordBytes) {
    const uint64_t word = LoadLittle64(at);
    if ((word & prefix_mask) != prefix) {
      int32_t length;
      const int prefix_bytes = CanonicalPrefixBytes(word, length);
      if (prefix_bytes == 0) {
        break;
      }
      prefix_mask = ~uint64_t{0} >> (64 - 8 * prefix_bytes);
      prefix = word & prefix_mask;
      record_bytes = prefix_bytes + length + kLineEndBytes;
      // A Rejected record is left alone: an empty window at its start.
      updated = length >= offset ? 1 : 0;
      window_begin = updated != 0 ? prefix_bytes + offset : 0;
      window_bytes =
          updated != 0 ? WindowBytesWithin(length, offset, num_bytes) : 0;
      window_in_word = window_bytes <= 8 && window_begin + 8 <= record_bytes;
      word_window = window_in_word ? WordWindow(window_bytes) : 0;
    }
    if (end - at < record_bytes ||
        !IsLineEndAt(at + record_bytes - kLineEndBytes)) {
      break;
    }
    if (window_in_word) {
      RepairWindowInWord(at + window_begin, word_window);
    } else {
      RepairBytes(at + window_begin, window_bytes);
    }
    tally.updated += updated;
    ++tally.records;
    at += record_bytes;
  }
  if (at != begin) {
    const auto next = static_cast<std::size_t>(at - source.buffer);
    AppendSpan(dest, source.next, next);
    source.next = next;
  }
  return tally;
}
