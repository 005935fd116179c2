#pragma once

#include <cstdint>

struct SurveySettings {
  const char* source = nullptr;  // as typed; "-" is standard input
  bool json = false;
  bool has_window = false;
  int32_t offset = 0;
  int32_t num_bytes = 0;
};

// Reads `mendrik-survey [--json] SRC [OFFSET NUMBYTES]`; answers --help and
// --version and ends the run; ends it with status 2 on anything else it
// cannot take, a window out of range included. OFFSET and NUMBYTES are
// converted and checked as mendrik does them.
SurveySettings ReadSurveyCommandLine(int argc, char** argv);
