#include "survey/fields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "survey/census.h"

namespace {

using namespace std::literals;

// A census of `images`, each counted as the reader hands it over: with
// other bytes after it, here 0x00 and digits, which must not count.
Census CensusOf(const std::vector<std::string_view>& images,
                const WindowTally* window = nullptr) {
  Census census;
  StartCensus(census, window);
  for (std::string_view image : images) {
    const std::string record =
        std::string(image) + std::string(20, '\0') + "12";
    const auto* bytes = reinterpret_cast<const unsigned char*>(record.data());
    CountRecord(census, bytes, static_cast<int32_t>(image.size()),
                bytes + record.size());
  }
  FinishCensus(census);
  return census;
}

struct FieldCase {
  const char* name;
  std::vector<std::string_view> images;
  std::vector<DamagedField> damaged;
  std::string map;
};

const FieldCase kFieldCases[] = {
    {"damaged field, leading zeros lost in some records",
     {"AB\0\0\0"
      "12CD"sv,
      "AB00034CD"sv,
      "AB\0\0"
      "567CD"sv},
     {{2, 5, 2, 5}},
     "AA!!!99AA"},
    {"digit field without 0x00",
     {"AB12345CD"sv, "AB98765CD"sv},
     {},
     "AA99999AA"},
    {"letter field", {"ABCDEFGHI"sv, "abcdefghi"sv}, {}, "AAAAAAAAA"},
    {"binary field whose 0x00 bytes are data",
     {"AB\x01\0\xff,CD"sv,
      "AB\0\x7f\x80"
      "9CD"sv,
      "AB\x02\x03\0\x11"
      "CD"sv},
     {},
     "AA####AA"},
    {"leading positions 0x00 in every record belong to the field",
     {"X\0\0\0"
      "5Y"sv,
      "X\0\0\0"
      "7Y"sv,
      "X\0\0\0"
      "9Y"sv},
     {{1, 4, 3, 9}},
     "A!!!9A"},
    {"records too short to reach the field",
     {"NAME \0\0"
      "12"sv,
      "NAME 00034"sv, "NAME"sv, "NA"sv},
     {{5, 5, 1, 2}},
     "AAAA_!!999"},
    {"0x00 where digits inside the value belong, one record once",
     {"A1\0\0"
      "2\0B"sv,
      "A10020B"sv},
     {{1, 5, 1, 3}},
     "A9!!9!A"},
    {"a 0x00 of data right before a damaged field",
     {"A\0\0"
      "1B"sv,
      "A\x05\0"
      "2B"sv,
      "A\0"
      "03B"sv,
      "A\x07"
      "04B"sv},
     {{2, 2, 2, 2}},
     "A?!9A"},
    {"two damaged fields",
     {"\0"
      "1A\0"
      "2"sv,
      "01A02"sv, "\0\0A\0\0"sv},
     {{0, 2, 2, 3}, {3, 2, 2, 3}},
     "!!A!!"},
    {"mostly digits, a few other bytes allowed",
     std::vector<std::string_view>(60,
                                   "A\0"
                                   "1B"sv),
     {{1, 2, 60, 60}},
     "A!9A"},
};

TEST(FindFields, Table) {
  for (const FieldCase& c : kFieldCases) {
    const Findings findings = FindFields(CensusOf(c.images));
    ASSERT_EQ(findings.damaged.size(), c.damaged.size()) << c.name;
    for (std::size_t at = 0; at < c.damaged.size(); ++at) {
      EXPECT_EQ(findings.damaged[at].offset, c.damaged[at].offset) << c.name;
      EXPECT_EQ(findings.damaged[at].length, c.damaged[at].length) << c.name;
      EXPECT_EQ(findings.damaged[at].records, c.damaged[at].records) << c.name;
      EXPECT_EQ(findings.damaged[at].nul_bytes, c.damaged[at].nul_bytes)
          << c.name;
    }
    EXPECT_EQ(findings.map, c.map) << c.name;
  }
}

TEST(FindFields, DataNulRangesAndTolerance) {
  // One byte in 50 at a position may be something else and it still holds
  // digits; one more and it does not, and its 0x00 bytes are data.
  std::vector<std::string_view> images(25, "01"sv);
  images.insert(images.end(), 24,
                "\0"
                "1"sv);
  images.push_back("x1"sv);
  const Findings tolerated = FindFields(CensusOf(images));
  ASSERT_EQ(tolerated.damaged.size(), 1u);
  EXPECT_EQ(tolerated.damaged[0].offset, 0);
  EXPECT_EQ(tolerated.damaged[0].length, 2);
  EXPECT_TRUE(tolerated.data_nul.empty());
  images.push_back("x1"sv);
  const Findings broken = FindFields(CensusOf(images));
  EXPECT_TRUE(broken.damaged.empty());
  ASSERT_EQ(broken.data_nul.size(), 1u);
  EXPECT_EQ(broken.data_nul[0].offset, 0);
  EXPECT_EQ(broken.data_nul[0].length, 1);
}

// The batched, eight-bytes-at-a-time count of runs must match the rule
// spelled out byte by byte, over records of every length, past several
// flushes of the batch.
TEST(FindFields, RunCountsMatchTheRule) {
  std::mt19937 random(7);
  const char kBytes[] = {'\0', '\0', '\0', '1', '2', '9', 'A', ' ', ','};
  std::vector<std::string> images;
  for (int index = 0; index < 700; ++index) {
    std::string image(static_cast<std::size_t>(random() % 70), ' ');
    for (char& byte : image) {
      byte = kBytes[random() % sizeof kBytes];
    }
    images.push_back(image);
  }
  std::vector<std::uint64_t> expected(80, 0);
  for (const std::string& image : images) {
    bool counted = false;
    for (std::size_t at = 0; at < image.size(); ++at) {
      if (image[at] == '\0') {
        expected[at] += counted ? 0 : 1;
        counted = true;
      } else if (image[at] < '0' || image[at] > '9') {
        counted = false;
      }
    }
  }
  const Census census =
      CensusOf(std::vector<std::string_view>(images.begin(), images.end()));
  for (std::size_t at = 0; at < expected.size(); ++at) {
    EXPECT_EQ(census.nul_runs[at], expected[at]) << "position " << at;
  }
  EXPECT_EQ(census.records, 700u);
}

struct WindowCase {
  const char* name;
  int32_t offset, num_bytes;
  std::uint64_t updated, rejected, changed_records, changed_bytes;
  std::vector<std::uint64_t> first_changed;
};

// What mendrik would count and change, on records of 5, 2, 9 and 0 bytes.
TEST(DryRun, CountsAsMendrikWould) {
  const std::vector<std::string_view> images = {
      "\0\0"
      "1\0"
      "5"sv,
      "\0\0"sv, "AB\0\0\0\0\0\0\0"sv, ""sv};
  const WindowCase kCases[] = {
      {"window at 0", 0, 3, 4, 0, 3, 5, {1, 2, 3}},
      {"records shorter than the offset are rejected",
       3,
       2,
       2,
       2,
       2,
       3,
       {1, 3}},
      {"a record as long as the offset is updated, unchanged",
       5,
       4,
       2,
       2,
       1,
       4,
       {3}},
      {"an empty window changes nothing", 2, 0, 3, 1, 0, 0, {}},
  };
  for (const WindowCase& c : kCases) {
    WindowTally window;
    window.offset = c.offset;
    window.num_bytes = c.num_bytes;
    const Census census = CensusOf(images, &window);
    EXPECT_EQ(census.window.updated, c.updated) << c.name;
    EXPECT_EQ(census.window.rejected, c.rejected) << c.name;
    EXPECT_EQ(census.window.changed_records, c.changed_records) << c.name;
    EXPECT_EQ(census.window.changed_bytes, c.changed_bytes) << c.name;
    EXPECT_EQ(census.window.first_changed, c.first_changed) << c.name;
  }
}

}  // namespace
