#include "unf/parse_decimal.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct DecimalCase {
  const char* text;
  int32_t expected;
};

const DecimalCase kDecimalCases[] = {
    {"12", 12},
    {"0", 0},
    {"0012", 12},
    {"+12", 12},
    {"-12", -12},
    {" 12", 12},
    {"\t\n\v\f\r 12", 12},  // every byte that counts as white space
    {"12x", 12},
    {"12,", 12},
    {"1 2", 1},
    {"", 0},
    {"x", 0},
    {"+", 0},
    {"-", 0},
    {"+-1", 0},  // one sign only
    {"\x08"
     "5",
     0},  // backspace is not white space
    {"\x0e"
     "5",
     0},
    {"2147483647", 2147483647},
    {"2147483648", 2147483647},
    {"99999999999", 2147483647},
    {"-2147483648", INT32_MIN},
    {"-2147483649", INT32_MIN},
    {"-99999999999999999999999", INT32_MIN},
    {"000000000000000000000042", 42},  // zeros never count toward overflow
};

TEST(ParseDecimal, Table) {
  for (const DecimalCase& c : kDecimalCases) {
    EXPECT_EQ(ParseDecimal(c.text), c.expected) << "text: \"" << c.text << "\"";
  }
}

}  // namespace
