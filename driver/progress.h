#pragma once

#include <cstdint>

// 64-bit, so that a dump of more than 2^32 records is still counted right.
struct RunCounters {
  std::uint64_t Updated = 0;
  std::uint64_t Rejected = 0;
};

// A spinner on standard error: one glyph and a backspace per record, so a
// person watching a terminal sees the run move. Ticks are counted and put
// out in batches, which keeps the per-record cost to an increment.
struct ProgressSpinner {
  int position = 0;        // glyph of the next tick put out
  std::uint64_t held = 0;  // ticks counted, not yet put out
};

// Gives standard error a large buffer, so that the spinner costs a write
// per batch of records rather than one per record.
void BufferConsole();

inline void Tick(ProgressSpinner& spinner, std::uint64_t ticks = 1) {
  spinner.held += ticks;
}

// Puts out the held ticks; must come before anything else is written to
// standard error, so that the bytes keep their order.
void ReleaseTicks(ProgressSpinner& spinner);

// Puts the ticks and whatever standard error holds (it is fully buffered
// for speed) on the screen. Called before every read of the source, which
// may wait, and before anything goes to standard output.
void ShowProgress(ProgressSpinner& spinner);

// The summary on standard output, checked: a run that cannot tell its caller
// what it did has not succeeded.
void PrintSummary(const RunCounters& counters);
