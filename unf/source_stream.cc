// The reader: takes records from the source's buffer, refilling it in large
// reads, and is lenient where producers are sloppy.

#include <cassert>
#include <cstring>

#include "unf/messages.h"
#include "unf/parse_decimal.h"
#include "unf/pending_output.h"
#include "unf/record_stream.h"
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

// Reads more of the source behind what is buffered; returns false at its
// end, and on a failed read, which it notes as the reader's fault.
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
    source.buffer_offset += source.keep;
    source.keep = 0;
  }
  if (source.before_read != nullptr) {
    source.before_read();
  }
  const std::ptrdiff_t got = ReadBytes(source.file, source.buffer + source.end,
                                       sizeof source.buffer - source.end);
  if (got <= 0) {
    // Nothing more is read after a failure: what follows it is unknown.
    source.at_end = true;
    if (got < 0) {
      source.fault = SourceFault::ReadFailed;
    }
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

// Takes a CR LF that is already buffered right after the image.
void TakeLineEnd(SourceStream& source) {
  const std::size_t at = source.next;
  source.line_end_taken =
      source.end - at >= kLineEndBytes && IsLineEndAt(source.buffer + at);
  source.line_end_canonical = source.line_end_taken;
  if (source.line_end_taken) {
    source.next = at + kLineEndBytes;
  }
}

// Notes a prefix the layout cannot hold, as read, and gives the end of data.
bool StopAtBadPrefix(SourceStream& source, const char* prefix) {
  std::strcpy(source.fault_prefix, prefix);
  source.fault = SourceFault::BadPrefix;
  return false;
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
  source.line_end_canonical = false;
  source.fault = SourceFault::None;
  source.fault_prefix[0] = '\0';
  source.dropped_prefix_bytes = 0;
  source.buffer_offset = 0;
  source.before_read = nullptr;
  source.borrower = nullptr;
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
      source.dropped_prefix_bytes = count;
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
    return StopAtBadPrefix(source, prefix);
  }
  prefix[count - 1] = '\0';
  length = ParseDecimal(prefix);
  if (debug_trace) {
    TraceConverted(prefix, length);
  }
  if (length < 0 || length > MaxRecordBytes) {
    prefix[count - 1] = ',';
    return StopAtBadPrefix(source, prefix);
  }
  const auto image_length = static_cast<std::size_t>(length);
  while (source.end - source.next < image_length) {
    if (!Refill(source)) {
      if (source.fault == SourceFault::None) {
        source.fault = SourceFault::ShortImage;
      }
      return false;
    }
  }
  source.record = source.keep;
  source.image = source.next;
  source.next += image_length;
  source.canonical_prefix = IsCanonicalLengthText(prefix, count - 1);
  TakeLineEnd(source);
  return true;
}

bool SkipLineEnd(SourceStream& source) {
  source.keep = source.next;
  if (source.line_end_taken) {
    source.line_end_taken = false;
    return false;
  }
  source.line_end_canonical = false;
  int previous = -1;
  for (int count = 0; count < kMaxLineEndBytes; ++count) {
    int byte = NextByte(source);
    if (byte < 0) {
      return true;
    }
    if (byte == '\n') {
      source.line_end_canonical = count == 1 && previous == '\r';
      // Stop here without peeking: a source ending in CR LF shows its end to
      // the next ReadRecord instead.
      return false;
    }
    previous = byte;
  }
  return false;
}

void FailOnSourceFault(const SourceStream& source) {
  switch (source.fault) {
    case SourceFault::None:
      return;
    case SourceFault::BadPrefix:
      FailDataFormat(source.fault_prefix);
    case SourceFault::ShortImage:
    case SourceFault::ReadFailed:
      FailReadSource();
  }
}

void CloseSource(SourceStream& source) {
  if (!CloseFile(source.file)) {
    FailReadSource();
  }
  source.file = kNoFile;
}
