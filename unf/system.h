#pragma once

// Everything the tool asks of the operating system, behind one interface:
// system_posix.cc and system_windows.cc implement it, and the build takes
// the one for its platform. Files are bytes on every platform: nothing here
// translates line ends, so each build reads and writes the same bytes.

#include <cstddef>
#include <cstdint>

// An open file: a descriptor on POSIX systems, a HANDLE on Windows.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Makes the process safe to run before any file is opened, and sets
// `argc` and `argv` to the arguments as UTF-8 (on Windows, taken from the
// wide command line, so that no name is lost to a code page). Closed
// standard streams are reopened on the null device, else the destination
// could be handed the place of one and receive console text; the standard
// streams are put in binary mode; a write to a pipe whose reader has gone,
// or past a file size limit, fails with an error to report instead of
// killing the process. Returns false if the process cannot be made so.
bool PrepareProcess(int& argc, char**& argv);

// Opens an existing file for reading, by its UTF-8 name. Returns kNoFile if
// it cannot be opened or is a directory.
FileHandle OpenSourceFile(const char* path);

enum class DestOpen {
  Opened,
  SameFile,  // the destination is `source` itself; nothing was changed
  Failed,    // cannot be created or emptied
};

// Opens the destination for writing, creating it or emptying it, unless it
// is the file open as `source` under any name or link, in which case
// nothing is created, emptied or changed. The file's identity is compared
// after it is opened and before it is emptied, so a name that changes
// meanwhile cannot slip by; it is also compared by name (before the open on
// POSIX systems, after a failed one on Windows), so that a source that
// cannot be opened for writing is still found out.
DestOpen OpenDestFile(const char* path, FileHandle source, FileHandle& dest);

// Standard input, to read a source from.
FileHandle StandardInput();

// The size of a regular file, or -1 for anything else (a pipe, a device).
std::int64_t FileSize(FileHandle file);

// Whether standard error is a terminal, where a person watches.
bool StandardErrorIsTerminal();

// Reads up to `count` bytes. Returns how many arrived, 0 at the end of the
// file (or of a pipe whose writer has gone), -1 on failure.
std::ptrdiff_t ReadBytes(FileHandle file, unsigned char* bytes,
                         std::size_t count);

// Writes all `count` bytes. On failure returns false, and the bytes that
// did land are a prefix of `bytes`.
bool WriteBytes(FileHandle file, const unsigned char* bytes, std::size_t count);

// Closes the file; false if the close reported a failure, which for a file
// written to can be where an earlier write's failure finally shows.
bool CloseFile(FileHandle file);
