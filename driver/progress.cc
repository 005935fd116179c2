#include "driver/progress.h"

#include <cstdio>

#include "driver/messages.h"

namespace {

constexpr char kGlyphs[] = {'-', '\\', '|', '/'};
constexpr int kGlyphCount = sizeof kGlyphs;

}  // namespace

void Tick(ProgressSpinner& spinner) {
  ShowSpinnerGlyph(kGlyphs[spinner.position]);
  if (++spinner.position == kGlyphCount) {
    spinner.position = 0;
  }
}

// Console errors are not the run's failures: the destination and the
// summary are what the caller relies on, and both are checked.
void ShowProgress() { std::fflush(stderr); }

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
