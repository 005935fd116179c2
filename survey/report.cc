#include "survey/report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

struct CommonLength {
  int32_t length;
  std::uint64_t records;
};

std::vector<CommonLength> MostCommonLengths(const Census& census) {
  std::vector<CommonLength> common;
  for (int32_t length = 0; length <= census.longest; ++length) {
    const std::uint64_t records =
        census.lengths[static_cast<std::size_t>(length)];
    if (records > 0) {
      common.push_back({length, records});
    }
  }
  std::stable_sort(common.begin(), common.end(),
                   [](const CommonLength& a, const CommonLength& b) {
                     return a.records > b.records;
                   });
  if (common.size() > kCommonLengthsShown) {
    common.resize(kCommonLengthsShown);
  }
  return common;
}

int32_t Shortest(const Census& census) {
  for (int32_t length = 0; length <= census.longest; ++length) {
    if (census.lengths[static_cast<std::size_t>(length)] > 0) {
      return length;
    }
  }
  return -1;
}

// The source as a shell word: quoted when it holds anything but the
// characters of plain file names.
std::string ShellWord(const std::string& text) {
  const bool plain =
      !text.empty() && text.find_first_not_of(
                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuv"
                           "wxyz0123456789_./\\:-") == std::string::npos;
  return plain ? text : "\"" + text + "\"";
}

std::string RepairCommand(const char* source, int32_t offset,
                          int32_t num_bytes) {
  // mendrik reads a file by its name; a dump on standard input has none.
  const std::string name =
      std::string(source) == "-" ? "SOURCE.UNF" : ShellWord(source);
  return "mendrik " + name + " FIXED.UNF " + std::to_string(offset) + " " +
         std::to_string(num_bytes);
}

const char* EndKind(DumpEnd end) {
  switch (end) {
    case DumpEnd::Clean:
      return "clean";
    case DumpEnd::StrayBytes:
      return "stray-bytes";
    case DumpEnd::BadPrefix:
      return "bad-prefix";
    case DumpEnd::ShortImage:
      return "short-image";
    case DumpEnd::ReadError:
      return "read-error";
  }
  return "";
}

// Bytes from the dump, shown safely on a terminal: anything but printable
// ASCII as \xNN.
std::string Printable(const std::string& bytes) {
  std::string shown;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    if (value >= 0x20 && value < 0x7f && value != '\\') {
      shown += byte;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", value);
      shown += escaped;
    }
  }
  return shown;
}

bool MendrikWouldStop(const Census& census) {
  return census.end == DumpEnd::BadPrefix || census.end == DumpEnd::ShortImage;
}

void PrintEnd(const Census& census) {
  const auto record = static_cast<unsigned long long>(census.end_record);
  const auto offset = static_cast<unsigned long long>(census.end_offset);
  switch (census.end) {
    case DumpEnd::Clean:
      std::printf("End:       clean\n");
      break;
    case DumpEnd::StrayBytes:
      std::printf(
          "End:       stray bytes at offset %llu, where record %llu would "
          "start; mendrik drops them\n",
          offset, record);
      break;
    case DumpEnd::BadPrefix:
      std::printf(
          "End:       mendrik would stop at record %llu, offset %llu: "
          "Incorrect data format <%s>\n",
          record, offset, Printable(census.end_prefix).c_str());
      break;
    case DumpEnd::ShortImage:
      std::printf(
          "End:       mendrik would stop at record %llu, offset %llu: Error "
          "reading data file. (the dump ends inside that record)\n",
          record, offset);
      break;
    case DumpEnd::ReadError:
      std::printf(
          "End:       the dump could not be read past record %llu, offset "
          "%llu\n",
          record, offset);
      break;
  }
}

void PrintFields(const char* source, const Findings& findings) {
  if (findings.damaged.empty()) {
    std::printf("\nDamaged NUMERIC fields: none found.\n");
  } else {
    std::printf(
        "\nDamaged NUMERIC fields, with 0x00 bytes where digits belong:\n"
        "  offset  length   records  0x00 bytes  repair with\n");
    for (const DamagedField& field : findings.damaged) {
      std::printf("  %6d  %6d  %8llu  %10llu  %s\n", field.offset, field.length,
                  static_cast<unsigned long long>(field.records),
                  static_cast<unsigned long long>(field.nul_bytes),
                  RepairCommand(source, field.offset, field.length).c_str());
    }
  }
  if (!findings.data_nul.empty()) {
    std::printf(
        "\n0x00 bytes that are data among bytes of other kinds, not damage, "
        "at positions:");
    const char* separator = " ";
    for (const PositionRange& range : findings.data_nul) {
      if (range.length == 1) {
        std::printf("%s%d", separator, range.offset);
      } else {
        std::printf("%s%d-%d", separator, range.offset,
                    range.offset + range.length - 1);
      }
      separator = ", ";
    }
    std::printf("\n");
  }
}

void PrintMap(const Findings& findings) {
  if (findings.map.empty()) {
    return;
  }
  std::printf(
      "\nRecord map, one character a position:\n"
      "  %c digit  %c letter  %c space  %c 0x00 where a digit belongs  "
      "%c 0x00 as data\n"
      "  %c other bytes  %c mixed\n",
      kMapDigit, kMapLetter, kMapSpace, kMapDamaged, kMapNulData, kMapOther,
      kMapMixed);
  const auto positions = static_cast<int>(findings.map.size());
  for (int line = 0; line < positions; line += kMapLine) {
    std::printf("  %6d ", line);
    for (int group = line; group < positions && group < line + kMapLine;
         group += kMapGroup) {
      const int count = std::min(kMapGroup, positions - group);
      std::printf(" %.*s", count,
                  findings.map.c_str() + static_cast<std::size_t>(group));
    }
    std::printf("\n");
  }
}

void PrintWindow(const char* source, const Census& census) {
  const WindowTally& window = census.window;
  std::printf("\nRepair of %d bytes at offset %d, as `%s` would do it:\n",
              window.num_bytes, window.offset,
              RepairCommand(source, window.offset, window.num_bytes).c_str());
  if (MendrikWouldStop(census)) {
    std::printf(
        "  mendrik would stop at record %llu, before its summary; up to "
        "there it counts\n",
        static_cast<unsigned long long>(census.end_record));
  }
  std::printf("  Completed.  Updated %llu Lines.\n",
              static_cast<unsigned long long>(window.updated));
  if (window.rejected > 0) {
    std::printf("  Rejected %llu Lines due to record length errors.\n",
                static_cast<unsigned long long>(window.rejected));
  }
  std::printf("  It would change %llu records, %llu bytes",
              static_cast<unsigned long long>(window.changed_records),
              static_cast<unsigned long long>(window.changed_bytes));
  const char* separator = "; the first: ";
  for (const std::uint64_t record : window.first_changed) {
    std::printf("%s%llu", separator, static_cast<unsigned long long>(record));
    separator = ", ";
  }
  std::printf(".\n");
}

}  // namespace

void PrintReport(const char* source, const Census& census,
                 const Findings& findings) {
  std::printf("Dump:      %s\n", source);
  std::printf("Records:   %llu, %llu bytes\n",
              static_cast<unsigned long long>(census.records),
              static_cast<unsigned long long>(census.bytes));
  if (census.records > 0) {
    std::printf("Lengths:   smallest %d, largest %d; most common:",
                Shortest(census), census.longest);
    const char* separator = " ";
    for (const CommonLength& common : MostCommonLengths(census)) {
      std::printf("%s%d (%llu)", separator, common.length,
                  static_cast<unsigned long long>(common.records));
      separator = ", ";
    }
    std::printf("\n");
  }
  std::printf("Lenient:   %llu length texts, %llu line ends not canonical\n",
              static_cast<unsigned long long>(census.lenient_prefixes),
              static_cast<unsigned long long>(census.lenient_line_ends));
  PrintEnd(census);
  PrintFields(source, findings);
  PrintMap(findings);
  if (census.has_window) {
    PrintWindow(source, census);
  }
}

void PrintJson(const char* source, const Census& census,
               const Findings& findings) {
  Json report;
  report["source"] = source;
  report["records"] = census.records;
  report["bytes"] = census.bytes;
  Json common = Json::array();
  for (const CommonLength& length : MostCommonLengths(census)) {
    common.push_back({{"length", length.length}, {"records", length.records}});
  }
  const bool any = census.records > 0;
  report["lengths"] = {{"min", any ? Json(Shortest(census)) : Json()},
                       {"max", any ? Json(census.longest) : Json()},
                       {"common", common}};
  report["lenient"] = {{"prefixes", census.lenient_prefixes},
                       {"line_ends", census.lenient_line_ends}};
  const bool clean = census.end == DumpEnd::Clean;
  report["end"] = {{"kind", EndKind(census.end)},
                   {"record", clean ? Json() : Json(census.end_record)},
                   {"offset", clean ? Json() : Json(census.end_offset)}};
  Json fields = Json::array();
  for (const DamagedField& field : findings.damaged) {
    fields.push_back(
        {{"offset", field.offset},
         {"length", field.length},
         {"records", field.records},
         {"nul_bytes", field.nul_bytes},
         {"repair", RepairCommand(source, field.offset, field.length)}});
  }
  report["fields"] = fields;
  Json data_nul = Json::array();
  for (const PositionRange& range : findings.data_nul) {
    data_nul.push_back({{"offset", range.offset}, {"length", range.length}});
  }
  report["data_nul"] = data_nul;
  if (census.has_window) {
    const WindowTally& window = census.window;
    report["window"] = {{"offset", window.offset},
                        {"length", window.num_bytes},
                        {"updated", window.updated},
                        {"rejected", window.rejected},
                        {"changed_records", window.changed_records},
                        {"changed_bytes", window.changed_bytes},
                        {"first_changed", window.first_changed}};
  }
  // A name that is not UTF-8 must not stop the report.
  const std::string text =
      report.dump(2, ' ', false, Json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
}
