#include "survey/progress.h"

#include <cstdio>

#include "unf/system.h"

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(250);
constexpr double kMiB = 1024.0 * 1024.0;
// Wide enough to cover any line drawn, to clear it.
constexpr int kLineWidth = 60;

}  // namespace

void StartProgress(SurveyProgress& progress, std::int64_t total_bytes) {
  progress = SurveyProgress{};
  progress.shown = StandardErrorIsTerminal();
  progress.total = total_bytes;
  progress.start = progress.last_drawn = std::chrono::steady_clock::now();
}

void UpdateProgress(SurveyProgress& progress, std::uint64_t done) {
  if (!progress.shown) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - progress.last_drawn < kRedrawEvery) {
    return;
  }
  progress.last_drawn = now;
  progress.drawn = true;
  const double seconds =
      std::chrono::duration<double>(now - progress.start).count();
  const double speed = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  if (progress.total > 0 && speed > 0) {
    const auto total = static_cast<double>(progress.total);
    const double left = (total - static_cast<double>(done)) / speed;
    std::fprintf(stderr, "\r%3.0f%% of %.0f MiB, %.0f MiB/s, %.0f s left   ",
                 100.0 * static_cast<double>(done) / total, total / kMiB,
                 speed / kMiB, left < 0 ? 0.0 : left);
  } else {
    std::fprintf(stderr, "\r%.0f MiB read, %.0f MiB/s   ",
                 static_cast<double>(done) / kMiB, speed / kMiB);
  }
  std::fflush(stderr);
}

void ClearProgress(SurveyProgress& progress) {
  if (progress.drawn) {
    std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
    std::fflush(stderr);
  }
  progress.drawn = false;
}
