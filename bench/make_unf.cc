// make_unf: writes a canonical UNF dump of COUNT records of LENGTH bytes to
// standard output, for benchmarks and tests. Images mix printable bytes with
// 0x00, commas, CR and LF, so that only the length can frame them. With
// "table", images are laid out as a table's rows are instead: a name, a
// date, an amount whose leading zeros are 0x00 in half the records, a
// binary field, repeated to fill LENGTH.
//
//   make_unf COUNT LENGTH [table]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "unf/record_stream.h"

int main(int argc, char** argv) {
  const bool table = argc == 4 && std::string(argv[3]) == "table";
  if (argc != 3 && !table) {
    std::fputs("usage: make_unf COUNT LENGTH [table]\n", stderr);
    return 2;
  }
  const unsigned long long count = std::strtoull(argv[1], nullptr, 10);
  const long length = std::strtol(argv[2], nullptr, 10);
  if (length < 0 || length > MaxRecordBytes) {
    std::fprintf(stderr, "make_unf: LENGTH must be 0 to %d\n", MaxRecordBytes);
    return 2;
  }
  static char out_buffer[1 << 20];
  std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

  // A handful of distinct records, cycled, keeps generation far faster than
  // the runs it feeds while still varying every byte position.
  constexpr int kVariants = 61;
  std::vector<std::string> records(kVariants);
  std::uint32_t state = 12345;
  int variant = 0;
  for (auto& record : records) {
    record = std::to_string(length) + ",";
    for (long at = 0; at < length; ++at) {
      state = state * 1103515245u + 12345u;
      const unsigned pick = (state >> 16) % 16;
      const unsigned char kSpecial[] = {0x00, 0x00, 0x00, ',', '\r', '\n'};
      record.push_back(
          static_cast<char>(pick < 6 ? kSpecial[pick] : '0' + pick));
    }
    if (table) {
      // 40 bytes a row: name, date, currency, amount, binary, code.
      static const char kRow[41] =
          "SMITH JOHN    20261211EUR000004200\x07\x00\xff,AB";
      for (long at = 0; at < length; ++at) {
        const long in_row = at % 40;
        char byte = kRow[in_row];
        if (in_row >= 25 && in_row < 30 && variant % 2 == 0) {
          byte = '\0';  // the amount's leading zeros, lost
        } else if (in_row >= 30 && in_row < 34) {
          byte = static_cast<char>('0' + (state >> (in_row - 20)) % 10);
        } else if (in_row == 34) {
          byte = static_cast<char>(state >> 8);
        }
        record[record.size() - static_cast<std::size_t>(length - at)] = byte;
      }
    }
    ++variant;
    record += "\r\n";
  }
  for (unsigned long long index = 0; index < count; ++index) {
    const auto& record = records[index % kVariants];
    std::fwrite(record.data(), 1, record.size(), stdout);
  }
  // ferror too: fclose reports only what fails at the close itself.
  if (std::ferror(stdout) || std::fclose(stdout) != 0) {
    std::perror("make_unf");
    return 1;
  }
  return 0;
}
