#pragma once

#include <cstdint>

// 64-bit, so that a dump of more than 2^32 records is still counted right.
struct RunCounters {
  std::uint64_t Updated = 0;
  std::uint64_t Rejected = 0;
};

// A spinner on standard error: one glyph and a backspace per record, so a
// person watching a terminal sees the run move.
struct ProgressSpinner {
  int position = 0;
};

void Tick(ProgressSpinner& spinner);

// Standard error is fully buffered for speed; this puts what it holds on the
// screen. Called whenever the run has waited for the source, and before
// anything goes to standard output.
void ShowProgress();

// The summary on standard output, checked: a run that cannot tell its caller
// what it did has not succeeded.
void PrintSummary(const RunCounters& counters);
