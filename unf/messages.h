#pragma once

#include <cstdint>

// Texts of the record stream. Each is written exactly as the tool has always
// printed it: no program-name prefix, line ends as they stand.

// Output for standard error that the caller holds back (the driver's
// spinner ticks) and that must come out before anything written here. Every
// function below calls it first, when set.
extern void (*before_console_write)();

// Debug trace, on standard error.
void TraceReadByte(unsigned char byte);
void TraceConverted(const char* length_text, int32_t length);

// A length prefix the layout cannot hold. Ends the run with status 1.
[[noreturn]] void FailDataFormat(const char* prefix_text);

// The source cannot be read, or ends inside a record image. Status 1.
[[noreturn]] void FailReadSource();

// The destination did not take a write, flush or close. Status 1.
[[noreturn]] void FailWriteDest(const char* path);
// The same report for a failure met while the process is already ending.
void ReportWriteDest(const char* path);
