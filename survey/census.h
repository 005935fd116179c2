#pragma once

// What one pass over a dump learns: its layout, how it ends, and for every
// position of the record image what the records that reach it hold there.
// Per-position counts are kept for every position a record may have, so the
// memory is the same whatever the dump's size.

#include <cstdint>
#include <string>
#include <vector>

// The kinds of byte a position is counted by.
enum ByteClass : unsigned char {
  kNul,     // 0x00
  kDigit,   // "0" to "9"
  kLetter,  // ASCII letters
  kSpace,   // 0x20
  kOther,   // anything else: punctuation, control bytes, bytes above 0x7f
  kByteClasses
};

// How the dump ends, in the terms of a mendrik run over it.
enum class DumpEnd {
  Clean,       // at a record's end (with or without its line end)
  StrayBytes,  // with bytes too few for a length prefix, which are dropped
  BadPrefix,   // mendrik stops: "Incorrect data format"
  ShortImage,  // mendrik stops: "Error reading data file."
  ReadError,   // the source could not be read to its end
};

// The dry run of one repair window: what `mendrik SRC DST OFFSET NUMBYTES`
// would count and change.
struct WindowTally {
  int32_t offset = 0;
  int32_t num_bytes = 0;
  std::uint64_t updated = 0;
  std::uint64_t rejected = 0;
  std::uint64_t changed_records = 0;
  std::uint64_t changed_bytes = 0;
  std::vector<std::uint64_t> first_changed;  // record numbers, from 1
};
inline constexpr std::size_t kFirstChangedShown = 5;

struct Census {
  std::uint64_t records = 0;
  std::uint64_t bytes = 0;  // of the source, all read
  std::uint64_t lenient_prefixes = 0;
  std::uint64_t lenient_line_ends = 0;
  DumpEnd end = DumpEnd::Clean;
  // Unless the end is clean: the record where it happened (from 1) and the
  // source offset of its length text; for BadPrefix, the prefix as read.
  std::uint64_t end_record = 0;
  std::uint64_t end_offset = 0;
  std::string end_prefix;

  int32_t longest = -1;                // -1 while there is no record
  std::vector<std::uint64_t> lengths;  // records of each length
  // [position * kByteClasses + class], complete once FinishCensus is done.
  std::vector<std::uint64_t> classes;
  // Records whose run of digits and 0x00 bytes has its first 0x00 at each
  // position: a record counts once for each such run.
  std::vector<std::uint64_t> nul_runs;
  // Records with a 0x00 at each position and another right before it.
  std::vector<std::uint64_t> nul_pairs;

  bool has_window = false;
  WindowTally window;

  // Counts of the records since the last flush into the counts above, a
  // byte for each position and kind but kOther, for the runs and for the
  // pairs, so that a record is counted in a few vector instructions per 16
  // bytes; flushed before a byte can overflow.
  std::vector<unsigned char> batch;
  int batch_records = 0;
  int32_t batch_longest = 0;
};

// Makes the census ready for a pass, with the window to dry-run, if any.
void StartCensus(Census& census, const WindowTally* window);

// Counts one record whose image is image[0, length). The bytes after it,
// up to `readable_end`, may be read too (sixteen are read at a time); they
// are not counted.
void CountRecord(Census& census, const unsigned char* image, int32_t length,
                 const unsigned char* readable_end);

// Completes the counts after the last record.
void FinishCensus(Census& census);

// How many records reach `position`: those longer than it.
std::vector<std::uint64_t> RecordsReaching(const Census& census);
