#pragma once

#include <cstddef>
#include <cstdint>

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
// "%d," of a length in 0..MaxRecordBytes, and CR LF.
inline constexpr int kMaxWrittenPrefixBytes = 6;
inline constexpr int kLineEndBytes = 2;

// The current record's image: its first `length` bytes after ReadRecord. The
// bytes beyond are left over from earlier records and are never written.
extern unsigned char RecordBuffer[MaxRecordBytes];

// Large enough that the system calls cost little next to the copying, small
// enough that the run stays within a few MiB whatever the dump's size.
inline constexpr std::size_t kStreamBufferBytes = 128 * 1024;
static_assert(kStreamBufferBytes >=
              kMaxWrittenPrefixBytes + MaxRecordBytes + kLineEndBytes);

// A buffered reader over the source's file descriptor. Works on pipes and
// FIFOs as well as files.
struct SourceStream {
  int fd = -1;
  std::size_t next = 0;  // first unread byte of `buffer`
  std::size_t end = 0;   // one past the last byte read into `buffer`
  bool at_end = false;   // read() reported the end; it is not asked again
  // Counts the reads that brought data, so that the caller can show
  // progress whenever the run has had to wait for the source.
  std::uint64_t refills = 0;
  unsigned char buffer[kStreamBufferBytes];
};

// A buffered writer over the destination's file descriptor. A failed write
// ends the run at once, so the destination never holds more than a clean
// prefix of the correct output.
struct DestStream {
  int fd = -1;
  const char* path = nullptr;  // as typed, for the failure message
  std::size_t used = 0;
  bool failed = false;
  unsigned char buffer[kStreamBufferBytes];
};

void AttachSource(SourceStream& source, int fd);
// From here until CloseDestination, bytes still buffered when the process
// ends (a failure elsewhere ends it at once) are written out first, as a
// stdio stream would do.
void AttachDestination(DestStream& dest, int fd, const char* path);

// Reads the next record's image into RecordBuffer and sets `length`, or
// returns false at the end of data: the end of the source met anywhere in a
// length prefix, whose bytes are then dropped. Ends the run on a prefix
// without a comma among its first kMaxPrefixBytes bytes, on a length outside
// 0..MaxRecordBytes, on an image cut short and on a failed read. With
// `debug_trace`, every prefix byte read and the converted length are traced.
bool ReadRecord(SourceStream& source, bool debug_trace, int32_t& length);

// Appends the record whose image is the first `length` bytes of RecordBuffer,
// in the canonical layout. `length` comes from ReadRecord.
void WriteRecord(DestStream& dest, int32_t length);

// Discards what follows an image, up to and including a line feed, at most
// kMaxLineEndBytes bytes; returns true if the end of the source was met. A
// longer line end leaves its rest to the next length prefix.
bool SkipLineEnd(SourceStream& source);

void CloseSource(SourceStream& source);
// Writes out what is buffered and closes; ends the run if either fails,
// since a close can be where a write finally reports its failure.
void CloseDestination(DestStream& dest);
