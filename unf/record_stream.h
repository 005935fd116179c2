#pragma once

#include <cstddef>
#include <cstdint>

#include "unf/layout.h"
#include "unf/system.h"

// The reader's buffer holds whole records, so that a record image can be
// repaired where it was read and, when its prefix and line end are already
// canonical, written out from there with no copy at all: most dumps go
// through as one read and one write per buffer. The size is dd's usual block.
inline constexpr std::size_t kSourceBufferBytes = 1 << 20;
// Rewritten prefixes and line ends, and runs of records too short to be
// worth a write of their own, are gathered here.
inline constexpr std::size_t kDestBufferBytes = 128 * 1024;
static_assert(kSourceBufferBytes >=
              2 * (kMaxPrefixBytes + MaxRecordBytes + kMaxLineEndBytes));
static_assert(kDestBufferBytes >=
              kMaxWrittenPrefixBytes + MaxRecordBytes + kLineEndBytes);

struct DestStream;

// What stopped the reader before the end of the source. The reader notes it
// where it is met and from then on gives the end of data; what it means is
// the caller's to decide.
enum class SourceFault {
  None,
  BadPrefix,   // no comma among kMaxPrefixBytes bytes, or a length outside
               // 0..MaxRecordBytes
  ShortImage,  // the source ends inside a record image
  ReadFailed,  // a read of the source failed
};

// A buffered reader over the source file. Works on pipes and FIFOs as well
// as files.
struct SourceStream {
  FileHandle file = kNoFile;
  std::size_t next = 0;  // first unread byte of `buffer`
  std::size_t end = 0;   // one past the last byte read into `buffer`
  // First byte that must stay in the buffer when it is refilled: the start
  // of the record being read.
  std::size_t keep = 0;
  bool at_end = false;  // a read reported the end; it is not asked again
  // Called before each read of the source, which may have to wait for it:
  // the caller puts its progress on the screen there, so that a person
  // watching a slow source sees every record that has come so far.
  void (*before_read)() = nullptr;

  // The record ReadRecord gave last: its image is buffer[image, image +
  // length), and its prefix starts at `record`.
  std::size_t record = 0;
  std::size_t image = 0;
  bool canonical_prefix = false;
  // The image was followed by CR LF, already buffered, and ReadRecord took
  // it too: SkipLineEnd has nothing left to do, and a writer can copy it.
  // Taking it early keeps the step to the next record short.
  bool line_end_taken = false;

  // What SkipLineEnd discarded, or ReadRecord took, was exactly CR LF.
  bool line_end_canonical = false;

  SourceFault fault = SourceFault::None;
  // For BadPrefix: the prefix bytes as read, zero-terminated.
  char fault_prefix[kMaxPrefixBytes + 1] = {};
  // Bytes of a length prefix that the end of the source cut short, dropped
  // as the end of data (an end-of-file mark, say).
  int dropped_prefix_bytes = 0;
  // Where buffer[0] lies in the source.
  std::uint64_t buffer_offset = 0;

  // A writer whose pending output still lies in `buffer`; it is given the
  // chance to write it out before the buffer's bytes move.
  DestStream* borrower = nullptr;
  unsigned char buffer[kSourceBufferBytes];
};

// Where in the source the record being read, or the one the reader stopped
// at, starts: the first byte of its length prefix.
inline std::uint64_t RecordOffset(const SourceStream& source) {
  return source.buffer_offset + source.keep;
}

// A buffered writer over the destination file. Its output is
// what it has written, then `buffer[0, used)`, then the span of the
// source's buffer that it has yet to write. A failed write ends the run at
// once, so the destination never holds more than a clean prefix of the
// correct output.
struct DestStream {
  FileHandle file = kNoFile;
  const char* path = nullptr;  // as typed, for the failure message
  bool failed = false;
  SourceStream* source = nullptr;  // whose records it writes
  std::size_t span_begin = 0;
  std::size_t span_end = 0;
  std::size_t used = 0;
  unsigned char buffer[kDestBufferBytes];
};

void AttachSource(SourceStream& source, FileHandle file);
// `dest` writes the records read from `source`. From here until
// CloseDestination, output still pending when the process ends (a failure
// elsewhere ends it at once) is written out first, as a stdio stream would.
void AttachDestination(DestStream& dest, FileHandle file, const char* path,
                       SourceStream& source);

// Reads the next record and sets `length`; its image is RecordImage(source).
// Returns false at the end of data: the end of the source met anywhere in a
// length prefix, whose bytes are then dropped, or a fault, which is noted in
// `source.fault`. With `debug_trace`, every prefix byte read and the
// converted length are traced.
bool ReadRecord(SourceStream& source, bool debug_trace, int32_t& length);

// Ends the run with the message and status of the fault the reader met, if
// it met one.
void FailOnSourceFault(const SourceStream& source);

// The current record's image, to be repaired in place before it is written.
inline unsigned char* RecordImage(SourceStream& source) {
  return source.buffer + source.image;
}

// Appends the record ReadRecord gave last, with its image as it now stands,
// in the canonical layout.
void WriteRecord(DestStream& dest, int32_t length);

// Discards what follows an image, up to and including a line feed, at most
// kMaxLineEndBytes bytes; returns true if the end of the source was met (or
// a fault, noted in `source.fault`). A longer line end leaves its rest to
// the next length prefix.
bool SkipLineEnd(SourceStream& source);

struct RecordTally {
  std::uint64_t records = 0;
  std::uint64_t updated = 0;  // the rest were Rejected
};

// The run's fast path, for a run without trace. From the current position,
// repairs and hands to the writer every record that is already buffered
// whole with a canonical prefix and a CR LF after it, to the byte as
// ReadRecord, RepairRecord, WriteRecord and SkipLineEnd would, but in one
// tight loop, the records joining the writer's pending span. It neither
// reads nor writes the files, so it cannot fail. Stops before the first
// record that needs the general path (the end of the buffer, a lenient
// prefix or line end), which may be the very next.
RecordTally RepairBufferedRecords(DestStream& dest, int32_t offset,
                                  int32_t num_bytes);

void CloseSource(SourceStream& source);
// Writes out what is pending and closes; ends the run if either fails,
// since a close can be where a write finally reports its failure.
void CloseDestination(DestStream& dest);
