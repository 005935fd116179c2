#pragma once

#include <sys/stat.h>

// Makes the process safe and quick to run before any file is opened: closed
// standard descriptors are reopened on /dev/null (else the destination could
// be handed fd 1 or 2 and receive console text), write failures on pipes and
// past file size limits come back as errors to report instead of killing the
// process, and standard error gets a large buffer.
void PrepareProcess();

// Opens the source for reading and returns its descriptor; `info` describes
// it. Ends the run if it cannot be opened or is a directory.
int OpenSourceFile(const char* path, struct stat& info);

// Ends the run if `dest_path` names the file described by `source_info`, by
// any name or link. Nothing is created or changed.
void RefuseSourceAsDest(const char* dest_path, const struct stat& source_info);

// Creates the destination, or empties it if it exists.
int OpenDestFile(const char* path);
