// make_unf: writes a canonical UNF dump of COUNT records of LENGTH bytes to
// standard output, for benchmarks and tests. Images mix printable bytes with
// 0x00, commas, CR and LF, so that only the length can frame them.
//
//   make_unf COUNT LENGTH

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "unf/record_stream.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: make_unf COUNT LENGTH\n", stderr);
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
  for (auto& record : records) {
    record = std::to_string(length) + ",";
    for (long at = 0; at < length; ++at) {
      state = state * 1103515245u + 12345u;
      const unsigned pick = (state >> 16) % 16;
      const unsigned char kSpecial[] = {0x00, 0x00, 0x00, ',', '\r', '\n'};
      record.push_back(
          static_cast<char>(pick < 6 ? kSpecial[pick] : '0' + pick));
    }
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
