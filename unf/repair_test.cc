#include "unf/repair.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "unf/record_stream.h"

namespace {

using namespace std::literals;

struct RepairCase {
  const char* name;
  std::string_view image;
  int32_t offset, num_bytes;
  std::string_view expected;
  RecordOutcome outcome;
};

const RepairCase kRepairCases[] = {
    {"every zero in the window, not only a leading run",
     "ab\0\0"
     "1\0"
     "2z"sv,
     2, 5, "ab00102z"sv, RecordOutcome::Updated},
    {"zeros outside the window stay", "\0\0\0\0\0"sv, 1, 2,
     "\0"
     "00\0\0"sv,
     RecordOutcome::Updated},
    {"spaces and digits stay", " 1 \x01\xff"sv, 0, 5, " 1 \x01\xff"sv,
     RecordOutcome::Updated},
    {"window reaches past the image", "0123456789\0\0"sv, 10, 5,
     "012345678900"sv, RecordOutcome::Updated},
    {"length equal to the offset", "\0\0\0"sv, 3, 4, "\0\0\0"sv,
     RecordOutcome::Updated},
    {"one byte shorter than the offset", "\0\0\0\0\0\0\0\0\0"sv, 10, 5,
     "\0\0\0\0\0\0\0\0\0"sv, RecordOutcome::Rejected},
    {"wide window of mixed bytes, eight at a time",
     "x\0\x80\0\x01\xff\0\0\x7f\0\x30\0\0\0\x80\x81\0\0z"sv, 1, 16,
     "x0\x80"
     "0\x01\xff"
     "00\x7f"
     "0\x30"
     "000\x80\x81"
     "0\0z"sv,
     RecordOutcome::Updated},
    {"window of eight, four and one bytes", "\0\0\0\0\0\0\0\0\0\0\0\0\0\0"sv, 0,
     13, "0000000000000\0"sv, RecordOutcome::Updated},
    {"zero length window", "\0\0"sv, 0, 0, "\0\0"sv, RecordOutcome::Updated},
    {"offset 0 takes an empty image", ""sv, 0, 3, ""sv, RecordOutcome::Updated},
    {"empty image is too short for offset 1", ""sv, 1, 3, ""sv,
     RecordOutcome::Rejected},
};

TEST(RepairRecord, Table) {
  for (const RepairCase& c : kRepairCases) {
    // Bytes past the image must never be touched.
    unsigned char image[64] = {};
    std::memcpy(image, c.image.data(), c.image.size());
    const auto length = static_cast<int32_t>(c.image.size());
    EXPECT_EQ(RepairRecord(image, length, c.offset, c.num_bytes), c.outcome)
        << c.name;
    EXPECT_EQ(std::string_view(reinterpret_cast<char*>(image), c.image.size()),
              c.expected)
        << c.name;
    EXPECT_EQ(image[c.image.size()], 0) << c.name;
  }
}

TEST(RepairRecord, WholeBufferWindow) {
  std::string image(MaxRecordBytes, '\0');
  auto* bytes = reinterpret_cast<unsigned char*>(image.data());
  EXPECT_EQ(RepairRecord(bytes, MaxRecordBytes, 0, MaxRecordBytes),
            RecordOutcome::Updated);
  EXPECT_EQ(image, std::string(MaxRecordBytes, '0'));
}

// The one-word repair must match RepairBytes for every window that fits,
// and leave the word's other bytes, zeros among them, as they were.
TEST(RepairRecord, WindowInWordMatchesRepairBytes) {
  const unsigned char kWord[8] = {0, 0x30, 0, 0x80, 0, 0xff, 0, 0};
  for (int32_t count = 0; count <= 8; ++count) {
    unsigned char by_word[8], by_bytes[8];
    std::memcpy(by_word, kWord, sizeof kWord);
    std::memcpy(by_bytes, kWord, sizeof kWord);
    RepairWindowInWord(by_word, WordWindow(count));
    RepairBytes(by_bytes, count);
    EXPECT_EQ(std::memcmp(by_word, by_bytes, sizeof by_word), 0) << count;
    EXPECT_EQ(std::memcmp(by_word + count, kWord + count,
                          sizeof kWord - static_cast<std::size_t>(count)),
              0)
        << count;
  }
}

}  // namespace
