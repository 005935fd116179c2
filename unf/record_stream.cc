#include "unf/record_stream.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "unf/messages.h"
#include "unf/parse_decimal.h"
#include "unf/repair.h"
#include "unf/system.h"

namespace {

// Below this much room at its end, the source's buffer is compacted before
// the next read, so that reads stay large.
constexpr std::size_t kMinReadBytes = 64 * 1024;
// After a compaction the buffer holds at most one record in the making, so
// there is always room for a read of at least kMinReadBytes.
static_assert(kSourceBufferBytes -
                  (kMaxPrefixBytes + MaxRecordBytes + kMaxLineEndBytes) >=
              kMinReadBytes);
// A pending span up to this size is copied behind the writer's buffered
// bytes; a longer one is written on its own, where the copy would cost more
// than the extra system call.
constexpr std::size_t kCopySpanBytes = 32 * 1024;

// ---- Writing ----

// Each step returns false once a write failed; after that the destination
// is written no more, so what it holds stays a clean prefix.
bool FlushBuffer(DestStream& dest) {
  if (!WriteBytes(dest.file, dest.buffer, dest.used)) {
    dest.failed = true;
    return false;
  }
  dest.used = 0;
  return true;
}

// Takes the pending span out of the source's buffer, keeping the order of
// the output.
bool EmitSpan(DestStream& dest) {
  const std::size_t count = dest.span_end - dest.span_begin;
  const unsigned char* bytes = dest.source->buffer + dest.span_begin;
  dest.span_begin = dest.span_end = 0;
  if (count == 0) {
    return true;
  }
  if (count <= kCopySpanBytes) {
    if (sizeof dest.buffer - dest.used < count && !FlushBuffer(dest)) {
      return false;
    }
    std::memcpy(dest.buffer + dest.used, bytes, count);
    dest.used += count;
    return true;
  }
  if (!FlushBuffer(dest)) {
    return false;
  }
  if (!WriteBytes(dest.file, bytes, count)) {
    dest.failed = true;
    return false;
  }
  return true;
}

void EmitSpanOrFail(DestStream& dest) {
  if (!EmitSpan(dest)) {
    FailWriteDest(dest.path);
  }
}

// Output equal to source.buffer[begin, end), which the writer will take
// from there.
void AppendSpan(DestStream& dest, std::size_t begin, std::size_t end) {
  if (dest.span_end != begin) {
    EmitSpanOrFail(dest);
    dest.span_begin = begin;
  }
  dest.span_end = end;
}

// Output that differs from the source's bytes.
void AppendBytes(DestStream& dest, const unsigned char* bytes,
                 std::size_t count) {
  EmitSpanOrFail(dest);
  if (sizeof dest.buffer - dest.used < count && !FlushBuffer(dest)) {
    FailWriteDest(dest.path);
  }
  std::memcpy(dest.buffer + dest.used, bytes, count);
  dest.used += count;
}

DestStream* pending_dest = nullptr;
bool exit_hook_registered = false;

void WritePendingAtExit() {
  DestStream* dest = pending_dest;
  if (dest != nullptr && !dest->failed &&
      (!EmitSpan(*dest) || !FlushBuffer(*dest))) {
    ReportWriteDest(dest->path);
  }
}

// The length as "%d" writes it, for lengths in 0..MaxRecordBytes; returns
// one past the last digit.
unsigned char* PutDecimal(unsigned char* out, int32_t value) {
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

// ---- Reading ----

// Reads more of the source behind what is buffered; returns false at its
// end. Ends the run on a failed read.
bool Refill(SourceStream& source) {
  if (source.at_end) {
    return false;
  }
  if (sizeof source.buffer - source.end < kMinReadBytes) {
    // The record being read moves to the front. Output still pending in the
    // buffer is written out first, since its bytes are about to move.
    if (source.borrower != nullptr) {
      EmitSpanOrFail(*source.borrower);
    }
    const std::size_t kept = source.end - source.keep;
    std::memmove(source.buffer, source.buffer + source.keep, kept);
    source.next -= source.keep;
    source.end = kept;
    source.keep = 0;
  }
  if (source.before_read != nullptr) {
    source.before_read();
  }
  const std::ptrdiff_t got = ReadBytes(source.file, source.buffer + source.end,
                                       sizeof source.buffer - source.end);
  if (got < 0) {
    FailReadSource();
  }
  if (got == 0) {
    source.at_end = true;
    return false;
  }
  source.end += static_cast<std::size_t>(got);
  return true;
}

// The next byte of the source, or -1 at its end.
inline int NextByte(SourceStream& source) {
  if (source.next == source.end && !Refill(source)) {
    return -1;
  }
  return source.buffer[source.next++];
}

// Whether the length text is exactly what the writer would put there for
// the length it converts to: digits only, no leading zero.
bool IsCanonical(const char* text, int text_length) {
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

// Takes a CR LF that is already buffered right after the image.
void TakeLineEnd(SourceStream& source) {
  const std::size_t at = source.next;
  source.line_end_taken =
      source.end - at >= kLineEndBytes && IsLineEndAt(source.buffer + at);
  if (source.line_end_taken) {
    source.next = at + kLineEndBytes;
  }
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

// The common case in one pass: a canonical prefix whose record is already
// buffered whole. Returns false, having changed nothing, for anything else,
// which the general path then reads to the same effect.
bool ReadCanonicalRecord(SourceStream& source, int32_t& length) {
  if (source.end - source.next < kPrefixWordBytes) {
    return false;
  }
  int32_t value;
  const int prefix_bytes =
      CanonicalPrefixBytes(LoadLittle64(source.buffer + source.next), value);
  if (prefix_bytes == 0) {
    return false;
  }
  const std::size_t image =
      source.next + static_cast<std::size_t>(prefix_bytes);
  if (source.end - image < static_cast<std::size_t>(value)) {
    return false;
  }
  source.record = source.next;
  source.image = image;
  source.next = image + static_cast<std::size_t>(value);
  source.canonical_prefix = true;
  TakeLineEnd(source);
  length = value;
  return true;
}

}  // namespace

void AttachSource(SourceStream& source, FileHandle file) {
  source.file = file;
  source.next = source.end = source.keep = 0;
  source.record = source.image = 0;
  source.canonical_prefix = source.line_end_taken = false;
  source.at_end = false;
  source.before_read = nullptr;
  source.borrower = nullptr;
}

void AttachDestination(DestStream& dest, FileHandle file, const char* path,
                       SourceStream& source) {
  if (!exit_hook_registered) {
    exit_hook_registered = std::atexit(WritePendingAtExit) == 0;
  }
  dest.file = file;
  dest.path = path;
  dest.failed = false;
  dest.source = &source;
  dest.span_begin = dest.span_end = 0;
  dest.used = 0;
  source.borrower = &dest;
  pending_dest = &dest;
}

bool ReadRecord(SourceStream& source, bool debug_trace, int32_t& length) {
  source.keep = source.next;
  if (!debug_trace && ReadCanonicalRecord(source, length)) {
    return true;
  }
  // Room for the prefix bytes and a terminating zero: the bytes are shown as
  // text in the trace and in the error, cut at any 0x00 among them.
  char prefix[kMaxPrefixBytes + 1];
  int count = 0;
  bool found_comma = false;
  while (count < kMaxPrefixBytes && !found_comma) {
    int byte = NextByte(source);
    if (byte < 0) {
      // A prefix cut short is the end of data, not an error: producers
      // leave end-of-file marks and stray bytes after the last record.
      return false;
    }
    prefix[count++] = static_cast<char>(byte);
    if (debug_trace) {
      TraceReadByte(static_cast<unsigned char>(byte));
    }
    found_comma = byte == ',';
  }
  prefix[count] = '\0';
  if (!found_comma) {
    FailDataFormat(prefix);
  }
  prefix[count - 1] = '\0';
  length = ParseDecimal(prefix);
  if (debug_trace) {
    TraceConverted(prefix, length);
  }
  if (length < 0 || length > MaxRecordBytes) {
    prefix[count - 1] = ',';
    FailDataFormat(prefix);
  }
  const auto image_length = static_cast<std::size_t>(length);
  while (source.end - source.next < image_length) {
    if (!Refill(source)) {
      FailReadSource();
    }
  }
  source.record = source.keep;
  source.image = source.next;
  source.next += image_length;
  source.canonical_prefix = IsCanonical(prefix, count - 1);
  TakeLineEnd(source);
  return true;
}

void WriteRecord(DestStream& dest, int32_t length) {
  const SourceStream& source = *dest.source;
  const std::size_t image_end = source.image + static_cast<std::size_t>(length);
  assert(length >= 0 &&
         image_end + (source.line_end_taken ? kLineEndBytes : 0) ==
             source.next);
  if (source.canonical_prefix) {
    AppendSpan(dest, source.record, image_end);
  } else {
    unsigned char prefix[kMaxWrittenPrefixBytes];
    unsigned char* prefix_end = PutDecimal(prefix, length);
    *prefix_end++ = ',';
    AppendBytes(dest, prefix, static_cast<std::size_t>(prefix_end - prefix));
    AppendSpan(dest, source.image, image_end);
  }
  static const unsigned char kLineEnd[kLineEndBytes] = {'\r', '\n'};
  if (source.line_end_taken) {
    AppendSpan(dest, image_end, image_end + kLineEndBytes);
  } else {
    AppendBytes(dest, kLineEnd, kLineEndBytes);
  }
}

bool SkipLineEnd(SourceStream& source) {
  source.keep = source.next;
  if (source.line_end_taken) {
    source.line_end_taken = false;
    return false;
  }
  for (int count = 0; count < kMaxLineEndBytes; ++count) {
    int byte = NextByte(source);
    if (byte < 0) {
      return true;
    }
    if (byte == '\n') {
      // Stop here without peeking: a source ending in CR LF shows its end to
      // the next ReadRecord instead.
      return false;
    }
  }
  return false;
}

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

void CloseSource(SourceStream& source) {
  if (!CloseFile(source.file)) {
    FailReadSource();
  }
  source.file = kNoFile;
}

void CloseDestination(DestStream& dest) {
  pending_dest = nullptr;
  EmitSpanOrFail(dest);
  if (!FlushBuffer(dest)) {
    FailWriteDest(dest.path);
  }
  const bool closed = CloseFile(dest.file);
  dest.file = kNoFile;
  if (!closed) {
    dest.failed = true;
    FailWriteDest(dest.path);
  }
}
