#include "driver/progress.h"

#include <cstdio>

#include "driver/messages.h"

namespace {

// One flush every 64 KiB of spinner glyphs is cheap; the run also flushes
// before each read of the source, which may wait, so the spinner stays live.
char console_buffer[64 * 1024];

}  // namespace

void BufferConsole() {
  std::setvbuf(stderr, console_buffer, _IOFBF, sizeof console_buffer);
}

void ReleaseTicks(ProgressSpinner& spinner) {
  ShowSpinnerTicks(spinner.position, spinner.held);
  spinner.position = static_cast<int>(
      (static_cast<std::uint64_t>(spinner.position) + spinner.held) %
      kSpinnerGlyphs);
  spinner.held = 0;
}

// Console errors are not the run's failures: the destination and the
// summary are what the caller relies on, and both are checked.
void ShowProgress(ProgressSpinner& spinner) {
  ReleaseTicks(spinner);
  std::fflush(stderr);
}

void PrintSummary(const RunCounters& counters) {
  ShowUpdated(counters.Updated);
  if (counters.Rejected > 0) {
    ShowRejected(counters.Rejected);
  }
  // fclose, not only fflush: the close is where a late failure shows.
  if (std::fclose(stdout) != 0) {
    FailWriteStdout();
  }
}
