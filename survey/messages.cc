#include "survey/messages.h"

#include <cstdio>
#include <cstdlib>

#include "survey/exit_status.h"

namespace {

constexpr char kUsage[] =
    "usage: mendrik-survey [--json] SRC [OFFSET NUMBYTES]\n";

}  // namespace

void ShowHelp() {
  std::fputs(kUsage, stdout);
  std::fputs(
      "\n"
      "Reads the UNF dump SRC (\"-\" for standard input) as mendrik reads it "
      "and\n"
      "reports its layout, how it ends, the NUMERIC fields where 0x00 bytes\n"
      "stand in place of digits, with the mendrik command that repairs each,\n"
      "and a map of the record. Writes no file.\n"
      "\n"
      "With OFFSET and NUMBYTES, also tells what `mendrik SRC DST OFFSET\n"
      "NUMBYTES` would do: the records it would count as updated and as\n"
      "rejected, and the records and bytes it would change.\n"
      "\n"
      "  --json     the same facts as one JSON object\n"
      "  --help     this text\n"
      "  --version  the version\n"
      "\n"
      "Exit status: 0 nothing to repair, 1 something to repair or a record\n"
      "mendrik would stop at, 2 trouble.\n",
      stdout);
}

void ShowVersion() { std::printf("mendrik-survey %s\n", MENDRIK_VERSION); }

void FailUsage(const char* problem, const char* argument) {
  if (argument != nullptr) {
    std::fprintf(stderr, "mendrik-survey: %s: %s\n", problem, argument);
  } else {
    std::fprintf(stderr, "mendrik-survey: %s\n", problem);
  }
  std::fputs(kUsage, stderr);
  std::exit(kSurveyTrouble);
}

void FailRange(int32_t offset, int32_t num_bytes) {
  std::fprintf(stderr,
               "mendrik-survey: window of %d bytes at offset %d: both must be "
               "at least 0, and OFFSET + NUMBYTES at most 57000\n",
               num_bytes, offset);
  std::exit(kSurveyTrouble);
}

void FailOpen(const char* path) {
  std::fprintf(stderr, "mendrik-survey: cannot open %s\n", path);
  std::exit(kSurveyTrouble);
}

void FailWriteOutput() {
  std::fputs("mendrik-survey: cannot write standard output\n", stderr);
  std::exit(kSurveyTrouble);
}

void ReportReadError(const char* path) {
  std::fprintf(stderr, "mendrik-survey: cannot read %s to its end\n", path);
}
