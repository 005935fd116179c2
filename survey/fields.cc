#include "survey/fields.h"

#include <cstddef>

namespace {

struct Position {
  std::uint64_t reach = 0;
  const std::uint64_t* count = nullptr;  // by ByteClass
};

// Digits, or 0x00, in all but a few of the records reaching the position,
// and digits in some.
bool HoldsDigits(const Position& at) {
  const std::uint64_t digits_or_nul = at.count[kDigit] + at.count[kNul];
  return at.reach > 0 && at.count[kDigit] > 0 &&
         (at.reach - digits_or_nul) * kOtherBytesAllowedPer <= at.reach;
}

// 0x00 in every record: a leading zero of a field whose values are always
// small, if a run of digits follows.
bool AlwaysNul(const Position& at) {
  return at.reach > 0 && at.count[kNul] == at.reach;
}

char MapCharacter(const Position& at) {
  static constexpr char kByKind[kByteClasses] = {
      kMapNulData, kMapDigit, kMapLetter, kMapSpace, kMapOther};
  for (int kind = 0; kind < kByteClasses; ++kind) {
    if (at.count[kind] * 2 > at.reach) {
      return kByKind[kind];
    }
  }
  return kMapMixed;
}

}  // namespace

Findings FindFields(const Census& census) {
  Findings findings;
  const std::vector<std::uint64_t> reaching = RecordsReaching(census);
  const auto positions = static_cast<int32_t>(reaching.size());
  std::vector<Position> at(reaching.size());
  for (int32_t p = 0; p < positions; ++p) {
    const auto index = static_cast<std::size_t>(p);
    at[index].reach = reaching[index];
    at[index].count = census.classes.data() + index * kByteClasses;
  }
  std::vector<bool> in_field(reaching.size(), false);

  for (int32_t p = 0; p < positions;) {
    if (!HoldsDigits(at[static_cast<std::size_t>(p)])) {
      ++p;
      continue;
    }
    int32_t end = p;
    while (end < positions && HoldsDigits(at[static_cast<std::size_t>(end)])) {
      ++end;
    }
    int32_t begin = p;
    while (begin > 0 && AlwaysNul(at[static_cast<std::size_t>(begin) - 1])) {
      --begin;
    }
    DamagedField field;
    field.offset = begin;
    field.length = end - begin;
    for (int32_t q = begin; q < end; ++q) {
      const auto index = static_cast<std::size_t>(q);
      field.nul_bytes += at[index].count[kNul];
      field.records += census.nul_runs[index];
    }
    // A record whose run of 0x00 began right before the field, in a byte
    // that is data, has its first 0x00 outside: count it by its 0x00 at the
    // field's first position that follows another.
    if (begin > 0) {
      const auto first = static_cast<std::size_t>(begin);
      field.records += census.nul_pairs[first];
    }
    if (field.nul_bytes > 0) {
      findings.damaged.push_back(field);
      for (int32_t q = begin; q < end; ++q) {
        in_field[static_cast<std::size_t>(q)] = true;
      }
    }
    p = end;
  }

  findings.map.reserve(reaching.size());
  for (int32_t p = 0; p < positions; ++p) {
    const auto index = static_cast<std::size_t>(p);
    const Position& position = at[index];
    if (in_field[index]) {
      findings.map += position.count[kNul] > 0 ? kMapDamaged : kMapDigit;
      continue;
    }
    findings.map += MapCharacter(position);
    if (position.count[kNul] == 0) {
      continue;
    }
    if (!findings.data_nul.empty() &&
        findings.data_nul.back().offset + findings.data_nul.back().length ==
            p) {
      ++findings.data_nul.back().length;
    } else {
      findings.data_nul.push_back(PositionRange{p, 1});
    }
  }
  return findings;
}
