#pragma once

#include <cstdint>

// Texts of the driver. Each is written exactly as the tool has always printed
// it: no program-name prefix, line ends as they stand. Everything but the
// summary goes to standard error.

[[noreturn]] void FailUsage();
void ShowDebugEnabled();
void ShowVerifying(int32_t num_bytes, int32_t offset);
[[noreturn]] void FailRange();
void TraceRepairByte(unsigned int byte);
[[noreturn]] void FailOpenSource(const char* path);
[[noreturn]] void FailSameFile(const char* dest_path);
[[noreturn]] void FailOpenDest(const char* path);
// `count` spinner ticks, each a glyph and a backspace, the first with glyph
// `position` of the cycle of kSpinnerGlyphs.
inline constexpr int kSpinnerGlyphs = 4;
void ShowSpinnerTicks(int position, std::uint64_t count);

// The summary, on standard output.
void ShowUpdated(unsigned long long updated);
void ShowRejected(unsigned long long rejected);
[[noreturn]] void FailWriteStdout();
