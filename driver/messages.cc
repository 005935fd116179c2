#include "driver/messages.h"

#include <cstdio>

#include "unf/exit_status.h"

void FailUsage() {
  // Eight writes, as the usage text has always been put out.
  std::fputs("\nUsage: MENDRIK <Sourcefile> <Destfile> <Offset> <NumBytes>\n\n",
             stderr);
  std::fputs(
      "    This utility fixes NUMERIC data fields incorrectly set by ActiveX\n",
      stderr);
  std::fputs(
      "    Controls by finding leading 0x00 bytes and replacing them with "
      "0x30.\n",
      stderr);
  std::fputs("    <Sourcefile> is the source UNF filename.\n", stderr);
  std::fputs("    <Destfile> is the destination UNF file to be created.\n",
             stderr);
  std::fputs("    <Offset> is the Byte Offset within the record to examine.\n",
             stderr);
  std::fputs("    <NumBytes> is the number of bytes to verify.\n\n", stderr);
  std::fputs("WARNING: Incorrect usage can destroy the UNF file!\n", stderr);
  EndRun(kExitFailure);
}

void ShowDebugEnabled() { std::fputs("[Full Debugger Enabled]\n", stderr); }

void ShowVerifying(int32_t num_bytes, int32_t offset) {
  std::fprintf(stderr, "Verifying %d Bytes at Offset %d.\r\n", num_bytes,
               offset);
}

void FailRange() {
  std::fputs("Error in Offset or Length.\n", stderr);
  EndRun(kExitRange);
}

void TraceRepairByte(unsigned int byte) {
  std::fprintf(stderr, "Using Byte Value 0x%x.\r\n", byte);
}

void FailOpenSource(const char* path) {
  std::fprintf(stderr, "Unable to open source file <%s>.\r\n", path);
  EndRun(kExitFailure);
}

void FailSameFile(const char* dest_path) {
  std::fprintf(stderr, "Destination File <%s> is the source file.\r\n",
               dest_path);
  EndRun(kExitFailure);
}

void FailOpenDest(const char* path) {
  std::fprintf(stderr, "Unable to open Destination File <%s>.\r\n", path);
  EndRun(kExitFailure);
}

void ShowSpinnerGlyph(char glyph) {
  // The "%c%c" of glyph and backspace, without a format to parse per record.
  putc_unlocked(glyph, stderr);
  putc_unlocked('\b', stderr);
}

void ShowUpdated(unsigned long long updated) {
  std::printf("Completed.  Updated %llu Lines.\r\n", updated);
}

void ShowRejected(unsigned long long rejected) {
  std::printf("Rejected %llu Lines due to record length errors.\r\n", rejected);
}

void FailWriteStdout() {
  std::fputs("Error writing standard output.\r\n", stderr);
  EndRun(kExitFailure);
}
