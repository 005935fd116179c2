#pragma once

// Finds the damaged NUMERIC fields in a census: runs of positions that hold
// digits, where some records hold 0x00 in place of them.

#include <cstdint>
#include <string>
#include <vector>

#include "survey/census.h"

struct DamagedField {
  int32_t offset = 0;
  int32_t length = 0;
  std::uint64_t records = 0;    // records with 0x00 in the field
  std::uint64_t nul_bytes = 0;  // 0x00 bytes in the field, all records
};

// Positions [offset, offset + length).
struct PositionRange {
  int32_t offset = 0;
  int32_t length = 0;
};

struct Findings {
  std::vector<DamagedField> damaged;  // by offset
  // Positions outside any damaged field where 0x00 bytes stand among bytes
  // of other kinds: data, which a repair must leave alone.
  std::vector<PositionRange> data_nul;
  // One character a position of the record, from 0 to the longest record:
  // the kMap* characters below.
  std::string map;
};

inline constexpr char kMapDigit = '9';
inline constexpr char kMapLetter = 'A';
inline constexpr char kMapSpace = '_';
inline constexpr char kMapDamaged = '!';  // 0x00 where a digit belongs
inline constexpr char kMapNulData = '0';  // mostly 0x00, and data
inline constexpr char kMapOther = '#';    // binary bytes, punctuation
inline constexpr char kMapMixed = '?';    // no kind in most records

// A position is taken for part of a NUMERIC field when all the records that
// reach it hold a digit or 0x00 there, but for this small share of them.
inline constexpr std::uint64_t kOtherBytesAllowedPer = 50;  // 1 in 50

Findings FindFields(const Census& census);
