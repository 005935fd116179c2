#pragma once

#include <cstdint>

// mendrik-survey's own texts, apart from the report. Errors go to standard
// error, prefixed with the program's name; --help and --version go to
// standard output.

void ShowHelp();
void ShowVersion();
[[noreturn]] void FailUsage(const char* problem, const char* argument);
[[noreturn]] void FailRange(int32_t offset, int32_t num_bytes);
[[noreturn]] void FailOpen(const char* path);
[[noreturn]] void FailWriteOutput();
void ReportReadError(const char* path);
