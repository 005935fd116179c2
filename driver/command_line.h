#pragma once

#include <cstdint>

struct RunSettings {
  const char* Sourcefile = nullptr;  // exactly as typed
  const char* Destfile = nullptr;
  int32_t Offset = 0;
  int32_t NumBytes = 0;
  bool DebugTrace = false;
};

// Reads `MENDRIK <Sourcefile> <Destfile> <Offset> <NumBytes> [switches]`.
// With fewer than four arguments, shows the usage text and ends the run.
// Only arguments after the fourth are switches; each debug switch turns the
// trace on and is announced, the rest are ignored.
RunSettings ReadCommandLine(int argc, char** argv);
