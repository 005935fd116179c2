#pragma once

#include "unf/system.h"

// The run's two files, each opened or the run ended with its message.

FileHandle OpenSourceOrFail(const char* path);

// Creates or empties the destination; refuses one that is the source,
// under any name or link, leaving it untouched.
FileHandle OpenDestOrFail(const char* path, FileHandle source);
