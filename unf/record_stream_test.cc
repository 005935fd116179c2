#include "unf/record_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "unf/repair.h"
#include "unf/system.h"
#include "unf/test_files.h"

namespace {

using namespace std::literals;

struct CopyResult {
  std::string output;
  int records = 0;
  std::uint64_t updated = 0;
  bool ended_in_line_end = false;  // SkipLineEnd, not ReadRecord, met the end
};

struct Window {
  int32_t offset = 0, num_bytes = 0;
};

// The record loop as the tool runs it, repairing `window`. With `fast`,
// RepairBufferedRecords takes what it can before each ReadRecord, as in a
// run without trace; without it, every record takes the general path.
CopyResult CopyFrom(FileHandle source_file, bool fast, Window window = {}) {
  auto source = std::make_unique<SourceStream>();
  auto dest = std::make_unique<DestStream>();
  TempFile out;
  AttachSource(*source, source_file);
  AttachDestination(*dest, out.Handle(), "out.unf", *source);
  CopyResult result;
  for (;;) {
    if (fast) {
      const RecordTally run =
          RepairBufferedRecords(*dest, window.offset, window.num_bytes);
      result.records += static_cast<int>(run.records);
      result.updated += run.updated;
    }
    int32_t length;
    if (!ReadRecord(*source, false, length)) {
      break;
    }
    ++result.records;
    if (RepairRecord(RecordImage(*source), length, window.offset,
                     window.num_bytes) == RecordOutcome::Updated) {
      ++result.updated;
    }
    WriteRecord(*dest, length);
    if (SkipLineEnd(*source)) {
      result.ended_in_line_end = true;
      break;
    }
  }
  CloseSource(*source);
  CloseDestination(*dest);
  result.output = out.Contents();
  return result;
}

CopyResult Copy(std::string_view source, bool fast = false,
                Window window = {}) {
  TempFile in(source);
  return CopyFrom(in.Handle(), fast, window);
}

struct CopyCase {
  const char* name;
  std::string_view source, expected;
  int records;
  bool ended_in_line_end;
};

const CopyCase kCopyCases[] = {
    {"empty source", ""sv, ""sv, 0, false},
    {"canonical record", "12,abcdefghijkl\r\n"sv, "12,abcdefghijkl\r\n"sv, 1,
     false},
    {"plus sign", "+12,abcdefghijkl\r\n"sv, "12,abcdefghijkl\r\n"sv, 1, false},
    {"leading zeros", "0012,abcdefghijkl\r\n"sv, "12,abcdefghijkl\r\n"sv, 1,
     false},
    {"trailing letter", "12x,abcdefghijkl\r\n"sv, "12,abcdefghijkl\r\n"sv, 1,
     false},
    {"leading space", " 12,abcdefghijkl\r\n"sv, "12,abcdefghijkl\r\n"sv, 1,
     false},
    {"seven bytes of length text", "0000012,abcdefghijkl\r\n"sv,
     "12,abcdefghijkl\r\n"sv, 1, false},
    {"lone comma", ",\r\n"sv, "0,\r\n"sv, 1, false},
    {"no digits", "x,\r\n"sv, "0,\r\n"sv, 1, false},
    {"0x00 ends the length text",
     "\0"
     "3,\r\n"sv,
     "0,\r\n"sv, 1, false},
    {"image holds comma, CR, LF, NUL", "6,a,\r\n\0b\r\n"sv, "6,a,\r\n\0b\r\n"sv,
     1, false},
    {"line feed alone", "1,a\n1,b\n"sv, "1,a\r\n1,b\r\n"sv, 2, false},
    {"extra CR LF between records", "1,a\r\n\r\n1,b\r\n"sv, "1,a\r\n1,b\r\n"sv,
     2, false},
    {"line end of five bytes", "1,a\r\r\r\r\r\n1,b\r\n"sv, "1,a\r\n1,b\r\n"sv,
     2, false},
    {"four junk bytes then the next record", "1,aJUNK1,b\r\n"sv,
     "1,a\r\n1,b\r\n"sv, 2, false},
    {"stray end-of-file mark", "1,a\r\n\x1a"sv, "1,a\r\n"sv, 1, false},
    {"prefix cut by the end", "1,a\r\n12"sv, "1,a\r\n"sv, 1, false},
    {"last line end missing", "3,abc"sv, "3,abc\r\n"sv, 1, true},
    {"last line end cut to CR", "3,abc\r"sv, "3,abc\r\n"sv, 1, true},
};

TEST(RecordStream, CopyCases) {
  for (const CopyCase& c : kCopyCases) {
    for (const bool fast : {false, true}) {
      const CopyResult result = Copy(c.source, fast);
      EXPECT_EQ(result.output, c.expected) << c.name << " fast " << fast;
      EXPECT_EQ(result.records, c.records) << c.name << " fast " << fast;
      EXPECT_EQ(result.ended_in_line_end, c.ended_in_line_end)
          << c.name << " fast " << fast;
    }
  }
}

// Varied lengths, the largest among them, so that records straddle many
// buffer boundaries of the reader and the writer.
constexpr int kDumpRecords = 25000;

std::string CanonicalDump() {
  std::string dump;
  for (int index = 0; index < kDumpRecords; ++index) {
    const int length = index == 1500 ? MaxRecordBytes : (index * 37) % 301;
    dump += std::to_string(length) + ",";
    for (int at = 0; at < length; ++at) {
      dump += static_cast<char>((index + at) % 256);
    }
    dump += "\r\n";
  }
  return dump;
}

TEST(RecordStream, LargeDumpCopiesUnchanged) {
  const std::string dump = CanonicalDump();
  ASSERT_GT(dump.size(), 3 * kSourceBufferBytes);
  const CopyResult result = Copy(dump);
  EXPECT_EQ(result.records, kDumpRecords);
  EXPECT_TRUE(result.output == dump);
}

// Every lenient form, mixed through a dump several buffers long, so that
// rewritten prefixes and line ends meet buffer boundaries too.
TEST(RecordStream, LargeLenientDumpComesOutCanonical) {
  const char* const kPrefixForms[] = {"%d,", "+%d,", "0%d,", " %d,", "%dx,"};
  const char* const kLineEnds[] = {"\r\n", "\n", "\r\r\n", "XY\r\n"};
  std::string dump, expected;
  int records = 0;
  for (int index = 0; dump.size() < 3 * kSourceBufferBytes; ++index) {
    const int length = index % 7 == 0 ? 40000 : (index * 37) % 301;
    std::string image;
    for (int at = 0; at < length; ++at) {
      image += static_cast<char>((index + at) % 256);
    }
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, kPrefixForms[index % 5], length);
    dump += prefix + image + kLineEnds[index % 4];
    expected += std::to_string(length) + "," + image + "\r\n";
    ++records;
  }
  const CopyResult result = Copy(dump);
  EXPECT_EQ(result.records, records);
  EXPECT_TRUE(result.output == expected);
}

// Records of `length` bytes, every other byte 0x00, until `bytes` long.
std::string FixedLengthDump(int length, std::size_t bytes) {
  std::string image;
  for (int at = 0; at < length; ++at) {
    image += at % 2 == 0 ? '\0' : static_cast<char>('a' + at % 26);
  }
  std::string dump;
  while (dump.size() < bytes) {
    dump += std::to_string(length) + "," + image + "\r\n";
  }
  return dump;
}

// A run of one length, broken by what the fast path must not take for the
// same record: a length of the same digits count, or that starts with the
// same digits, a leading zero, a line end other than CR LF, an empty image.
std::string BrokenRunsDump() {
  // Its CR LF sits where a 12-byte record's line end would.
  std::string longer = "123," + std::string(123, '\0') + "\r\n";
  longer.replace(15, 2, "\r\n");
  const std::string_view kBreaks[] = {
      longer,
      "13,\0\0\0\0\0\0\0\0\0\0\0\0\0\r\n"sv,
      "1,\0\r\n"sv,
      "012,\0\0\0\0\0\0\0\0\0\0\0\0\r\n"sv,
      "12,\0\0\0\0\0\0\0\0\0\0\0\0\n"sv,
      "12,\0\0\0\0\0\0\0\0\0\0\0\0\r\r\n"sv,
      "0,\r\n0,\r\n"sv,
  };
  std::string dump;
  for (int index = 0; dump.size() < 3 * kSourceBufferBytes; ++index) {
    for (int repeat = 0; repeat < index % 5; ++repeat) {
      dump += "12,\0\0\0\0\0\0\0\0\0\0\0\0\r\n"sv;
    }
    dump += kBreaks[index % std::size(kBreaks)];
  }
  return dump;
}

// The fast path is an optimisation only: for any dump and window it must
// give the bytes and counts of the record-by-record path.
TEST(RecordStream, FastPathMatchesRecordByRecord) {
  const struct {
    const char* name;
    std::string dump;
  } kDumps[] = {
      {"canonical, varied lengths", CanonicalDump()},
      {"8-byte records", FixedLengthDump(8, 3 * kSourceBufferBytes)},
      {"120-byte records", FixedLengthDump(120, 3 * kSourceBufferBytes)},
      {"broken runs", BrokenRunsDump()},
      {"empty images", FixedLengthDump(0, 100000)},
      {"cut short at the end",
       FixedLengthDump(12, 100000) +
           std::string("12,\0\0\0\0\0\0\0\0\0\0\0\0\r"sv)},
  };
  const Window kWindows[] = {{0, 0},  {2, 4},   {40, 8},
                             {3, 17}, {0, 120}, {13, MaxRecordBytes - 13}};
  for (const auto& d : kDumps) {
    for (const Window& window : kWindows) {
      const CopyResult slow = Copy(d.dump, false, window);
      const CopyResult fast = Copy(d.dump, true, window);
      EXPECT_TRUE(fast.output == slow.output)
          << d.name << " at " << window.offset << ":" << window.num_bytes;
      EXPECT_EQ(fast.records, slow.records) << d.name;
      EXPECT_EQ(fast.updated, slow.updated) << d.name;
      EXPECT_EQ(fast.ended_in_line_end, slow.ended_in_line_end) << d.name;
    }
  }
  // And the record-by-record path itself repairs: a check that the
  // comparison above is not of two copies that change nothing.
  const CopyResult repaired =
      Copy(FixedLengthDump(8, 1000), false, Window{0, 8});
  EXPECT_EQ(repaired.output.substr(0, 12), "8,0b0d0f0h\r\n");
}

// A pipe hands the reader pieces of any size; records must not care.
TEST(RecordStream, PipeInSmallPieces) {
  const std::string dump = CanonicalDump();
  FileHandle read_end, write_end;
  ASSERT_TRUE(MakePipe(read_end, write_end));
  std::thread writer([&] {
    const auto* bytes = reinterpret_cast<const unsigned char*>(dump.data());
    for (std::size_t at = 0, piece = 0; at < dump.size(); at += piece) {
      piece = std::min<std::size_t>(1 + at % 9000, dump.size() - at);
      if (!WriteBytes(write_end, bytes + at, piece)) {
        break;
      }
    }
    CloseFile(write_end);
  });
  const CopyResult result = CopyFrom(read_end, true);
  writer.join();
  EXPECT_EQ(result.records, kDumpRecords);
  EXPECT_TRUE(result.output == dump);
}

// Where the reader stops, it says why and where, for a caller that goes on:
// the record's number and the source offset of its length text, even after
// the buffer has moved on many times.
TEST(RecordStream, ReaderNotesWhereAndWhyItStopped) {
  const std::string long_dump = CanonicalDump();
  const struct {
    const char* name;
    std::string source;
    SourceFault fault;
    int records;  // read before the stop
    std::uint64_t offset;
    const char* prefix;  // for BadPrefix
    int dropped;
  } kCases[] = {
      {"clean end", "1,a\r\n", SourceFault::None, 1, 5, "", 0},
      {"stray end-of-file mark", "1,a\r\n\x1a", SourceFault::None, 1, 5, "",
       1},
      {"no comma", "1,a\r\n12345678,b", SourceFault::BadPrefix, 1, 5,
       "12345678", 0},
      {"length past the limit", "1,a\r\n57001,b", SourceFault::BadPrefix, 1, 5,
       "57001,", 0},
      {"negative length", "1,a\n-1,b", SourceFault::BadPrefix, 1, 4, "-1,", 0},
      {"image cut short", "1,a\r\n5,ab", SourceFault::ShortImage, 1, 5, "", 0},
      {"bad prefix after many buffers", long_dump + "xxxxxxxxx",
       SourceFault::BadPrefix, kDumpRecords, long_dump.size(), "xxxxxxxx", 0},
  };
  for (const auto& c : kCases) {
    TempFile in(c.source);
    auto source = std::make_unique<SourceStream>();
    AttachSource(*source, in.Handle());
    int records = 0;
    int32_t length;
    while (ReadRecord(*source, false, length)) {
      ++records;
      if (SkipLineEnd(*source)) {
        break;
      }
    }
    EXPECT_EQ(source->fault, c.fault) << c.name;
    EXPECT_EQ(records, c.records) << c.name;
    EXPECT_EQ(RecordOffset(*source), c.offset) << c.name;
    EXPECT_STREQ(source->fault_prefix, c.prefix) << c.name;
    EXPECT_EQ(source->dropped_prefix_bytes, c.dropped) << c.name;
    CloseSource(*source);
  }
}

// Which line ends were not CR LF, whether taken with the image or skipped.
TEST(RecordStream, LineEndsAreTold) {
  TempFile in("1,a\r\n1,b\n1,c\r\r\n1,dXY\r\n1,e"sv);
  auto source = std::make_unique<SourceStream>();
  AttachSource(*source, in.Handle());
  std::string canonical;
  int32_t length;
  while (ReadRecord(*source, false, length)) {
    const bool ended = SkipLineEnd(*source);
    canonical += source->line_end_canonical ? 'y' : 'n';
    if (ended) {
      break;
    }
  }
  EXPECT_EQ(canonical, "ynnnn");
  CloseSource(*source);
}

TEST(RecordStream, ImageIsReadWhole) {
  TempFile in("5,ab\0cd\r\n"sv);
  auto source = std::make_unique<SourceStream>();
  AttachSource(*source, in.Handle());
  int32_t length = -1;
  ASSERT_TRUE(ReadRecord(*source, false, length));
  EXPECT_EQ(length, 5);
  EXPECT_EQ(std::string_view(reinterpret_cast<char*>(RecordImage(*source)), 5),
            "ab\0cd"sv);
  EXPECT_FALSE(SkipLineEnd(*source));
  EXPECT_FALSE(ReadRecord(*source, false, length));
  CloseSource(*source);
}

}  // namespace
