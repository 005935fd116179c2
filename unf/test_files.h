#pragma once

// Files for the unit tests, on every platform: real files with no path on
// disk, and pipes, as the FileHandle that the record stream takes.

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>
#include <string_view>

#include "unf/system.h"

struct TempFile {
  explicit TempFile(std::string_view bytes = {}) : file(std::tmpfile()) {
    if (!bytes.empty()) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fflush(file);
    }
  }
  ~TempFile() { std::fclose(file); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // A handle of its own, positioned at the start, for a stream to close.
  // It shares the file's position with `file`.
  FileHandle Handle() const {
#ifdef _WIN32
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(),
                    reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))),
                    GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
    SetFilePointer(own, 0, nullptr, FILE_BEGIN);
    return reinterpret_cast<FileHandle>(own);
#else
    const int own = dup(fileno(file));
    lseek(own, 0, SEEK_SET);
    return own;
#endif
  }

  std::string Contents() const {
    std::rewind(file);
    std::string bytes;
    char chunk[4096];
    for (std::size_t got;
         (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
      bytes.append(chunk, got);
    }
    return bytes;
  }

  std::FILE* file;
};

// A pipe: what is written to `write_end` is read from `read_end`.
inline bool MakePipe(FileHandle& read_end, FileHandle& write_end) {
#ifdef _WIN32
  HANDLE ends[2];
  if (!CreatePipe(&ends[0], &ends[1], nullptr, 0)) {
    return false;
  }
  read_end = reinterpret_cast<FileHandle>(ends[0]);
  write_end = reinterpret_cast<FileHandle>(ends[1]);
#else
  int ends[2];
  if (pipe(ends) != 0) {
    return false;
  }
  read_end = ends[0];
  write_end = ends[1];
#endif
  return true;
}
