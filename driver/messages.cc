#include "driver/messages.h"

#include <cstddef>
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

namespace {

// The "%c%c" of each glyph and a backspace, for many cycles of the glyphs,
// so that a batch of ticks goes out as one block.
constexpr char kSpinnerCycle[] = "-\b\\\b|\b/\b";
constexpr int kTickBytes = 2;
constexpr std::uint64_t kRunTicks = 2048;
constexpr std::size_t kRunBytes = kTickBytes * (kRunTicks + kSpinnerGlyphs);
static_assert(sizeof kSpinnerCycle - 1 == kTickBytes * kSpinnerGlyphs);

struct TickRun {
  char bytes[kRunBytes];
};

constexpr TickRun MakeTickRun() {
  TickRun run{};
  for (std::size_t at = 0; at < kRunBytes; ++at) {
    run.bytes[at] = kSpinnerCycle[at % (sizeof kSpinnerCycle - 1)];
  }
  return run;
}

constexpr TickRun kTickRun = MakeTickRun();

}  // namespace

void ShowSpinnerTicks(int position, std::uint64_t count) {
  while (count > 0) {
    const std::uint64_t ticks = count < kRunTicks ? count : kRunTicks;
    std::fwrite(kTickRun.bytes + kTickBytes * position, 1,
                static_cast<std::size_t>(kTickBytes * ticks), stderr);
    position = static_cast<int>((static_cast<std::uint64_t>(position) + ticks) %
                                kSpinnerGlyphs);
    count -= ticks;
  }
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
