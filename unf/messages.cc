#include "unf/messages.h"

#include <cstdio>

#include "unf/exit_status.h"

void TraceReadByte(unsigned char byte) {
  std::fprintf(stderr, "Read <%c>.\r\n", byte);
}

void TraceConverted(const char* length_text, int32_t length) {
  std::fprintf(stderr, "Converted <%s> to %d.\r\n", length_text, length);
}

void FailDataFormat(const char* prefix_text) {
  std::fprintf(stderr, "Incorrect data format <%s>\r\n", prefix_text);
  EndRun(kExitFailure);
}

void FailReadSource() {
  std::fputs("Error reading data file.\r\n", stderr);
  EndRun(kExitFailure);
}

void ReportWriteDest(const char* path) {
  std::fprintf(stderr, "Error writing Destination File <%s>.\r\n", path);
}

void FailWriteDest(const char* path) {
  ReportWriteDest(path);
  EndRun(kExitFailure);
}
