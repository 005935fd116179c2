#pragma once

// The tool's exit statuses; scripts rely on these numbers.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // usage, file, data or I/O error
inline constexpr int kExitRange = 5;    // offset or length out of range

// Ends the process with `status`. Every failure ends the run through here, at
// the point where it was detected. The tool's own definition calls std::exit,
// which flushes and closes open streams, so records already written stay in
// the destination; the fuzz target links a definition that unwinds instead.
[[noreturn]] void EndRun(int status);
