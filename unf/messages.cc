#include "unf/messages.h"

#include <cstdio>

#include "unf/exit_status.h"

void (*before_console_write)() = nullptr;

namespace {

void ReleaseHeldOutput() {
  if (before_console_write != nullptr) {
    before_console_write();
  }
}

}  // namespace

void TraceReadByte(unsigned char byte) {
  ReleaseHeldOutput();
  std::fprintf(stderr, "Read <%c>.\r\n", byte);
}

void TraceConverted(const char* length_text, int32_t length) {
  ReleaseHeldOutput();
  std::fprintf(stderr, "Converted <%s> to %d.\r\n", length_text, length);
}

void FailDataFormat(const char* prefix_text) {
  ReleaseHeldOutput();
  std::fprintf(stderr, "Incorrect data format <%s>\r\n", prefix_text);
  EndRun(kExitFailure);
}

void FailReadSource() {
  ReleaseHeldOutput();
  std::fputs("Error reading data file.\r\n", stderr);
  EndRun(kExitFailure);
}

void ReportWriteDest(const char* path) {
  ReleaseHeldOutput();
  std::fprintf(stderr, "Error writing Destination File <%s>.\r\n", path);
}

void FailWriteDest(const char* path) {
  ReportWriteDest(path);
  EndRun(kExitFailure);
}
