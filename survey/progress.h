#pragma once

#include <chrono>
#include <cstdint>

// A progress line on standard error for a person watching a long survey:
// the share of the file read, the speed and the time left, redrawn a few
// times a second and cleared at the end. Nothing at all unless standard
// error is a terminal.
struct SurveyProgress {
  bool shown = false;
  std::int64_t total = -1;  // bytes, or -1 when not known (a pipe)
  std::chrono::steady_clock::time_point start, last_drawn;
  bool drawn = false;
};

void StartProgress(SurveyProgress& progress, std::int64_t total_bytes);
// Redraws the line if it is time to, with `done` bytes read.
void UpdateProgress(SurveyProgress& progress, std::uint64_t done);
void ClearProgress(SurveyProgress& progress);
