#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "unf/system.h"

namespace {

HANDLE HandleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle FileOf(HANDLE handle) {
  return reinterpret_cast<FileHandle>(handle);
}

std::string Utf8Of(const wchar_t* text) {
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return std::string();
  }
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr,
                      nullptr);
  utf8.resize(static_cast<std::size_t>(size - 1));
  return utf8;
}

std::wstring WideOf(const char* utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (size <= 0) {
    return std::wstring();
  }
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

// A file's identity: its volume's serial number and its index there, the
// same whichever name, case, link or path reached it. Known only for files
// on a disk; devices and pipes have none.
bool IdentityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return GetFileType(handle) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(handle, &info) != 0;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a,
              const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether `name` names the file described by `source`, looked up without
// asking for any access, so that it works on files nobody may write.
bool NamesFile(const std::wstring& name,
               const BY_HANDLE_FILE_INFORMATION& source) {
  HANDLE probe = CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool same = IdentityOf(probe, info) && SameFile(info, source);
  CloseHandle(probe);
  return same;
}

// Opens `name` for writing as it is, or creates it. Devices and pipes are
// opened as they exist; a file is never truncated here.
HANDLE OpenForWriting(const std::wstring& name) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE ||
        GetLastError() != ERROR_FILE_NOT_FOUND) {
      return handle;
    }
    handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Someone else created it in between: open theirs, as it is.
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
      return handle;
    }
  }
  return INVALID_HANDLE_VALUE;
}

// A closed standard handle becomes the null device, so that what is written
// there goes nowhere instead of failing the run.
bool ReplaceClosedStandardHandle(DWORD which, std::FILE* stream, int fd) {
  HANDLE handle = GetStdHandle(which);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    return true;
  }
  HANDLE null_device = CreateFileW(
      L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (null_device == INVALID_HANDLE_VALUE ||
      !SetStdHandle(which, null_device)) {
    return false;
  }
  // The C library's descriptor too, which its stream writes through.
  const int null_fd =
      _open_osfhandle(reinterpret_cast<std::intptr_t>(null_device), _O_BINARY);
  if (null_fd < 0 || (null_fd != fd && _dup2(null_fd, fd) != 0)) {
    return false;
  }
  // A stream that had no handle at start is left on descriptor -2, where
  // every write fails; freopen cannot mend it, so point it at `fd` here.
  if (_fileno(stream) < 0) {
    stream->_file = fd;
  }
  return true;
}

}  // namespace

bool PrepareProcess(int& argc, char**& argv) {
  // A missing disk or a bad device is an error to report, not a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  if (!ReplaceClosedStandardHandle(STD_INPUT_HANDLE, stdin, 0) ||
      !ReplaceClosedStandardHandle(STD_OUTPUT_HANDLE, stdout, 1) ||
      !ReplaceClosedStandardHandle(STD_ERROR_HANDLE, stderr, 2)) {
    return false;
  }
  // The C library would turn every "\n" into "\r\n", and each "\r\n" of the
  // tool's messages into "\r\r\n".
  for (std::FILE* stream : {stdin, stdout, stderr}) {
    _setmode(_fileno(stream), _O_BINARY);
  }

  // The arguments as typed, in UTF-8, whatever the console's code page.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return false;
  }
  static std::vector<std::string> arguments;
  static std::vector<char*> pointers;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int at = 0; at < count; ++at) {
    arguments.push_back(Utf8Of(wide[at]));
  }
  LocalFree(wide);
  for (std::string& argument : arguments) {
    pointers.push_back(argument.data());
  }
  pointers.push_back(nullptr);
  argc = count;
  argv = pointers.data();
  return true;
}

FileHandle OpenSourceFile(const char* path) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
  HANDLE handle =
      CreateFileW(WideOf(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return handle == INVALID_HANDLE_VALUE ? kNoFile : FileOf(handle);
}

DestOpen OpenDestFile(const char* path, FileHandle source, FileHandle& dest) {
  const std::wstring name = WideOf(path);
  BY_HANDLE_FILE_INFORMATION source_info, info;
  const bool source_known = IdentityOf(HandleOf(source), source_info);
  HANDLE handle = OpenForWriting(name);
  if (handle == INVALID_HANDLE_VALUE) {
    // A source that nobody may write, named as the destination, is still
    // the source. Looked up only now: opening a named pipe, even just to
    // look, takes its one connection.
    return source_known && NamesFile(name, source_info) ? DestOpen::SameFile
                                                        : DestOpen::Failed;
  }
  DestOpen result = DestOpen::Opened;
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    if (!GetFileInformationByHandle(handle, &info)) {
      result = DestOpen::Failed;
    } else if (source_known && SameFile(info, source_info)) {
      result = DestOpen::SameFile;
    } else if (!SetEndOfFile(handle)) {  // at offset 0: empties it
      result = DestOpen::Failed;
    }
  }
  if (result != DestOpen::Opened) {
    CloseHandle(handle);
    return result;
  }
  dest = FileOf(handle);
  return result;
}

FileHandle StandardInput() { return FileOf(GetStdHandle(STD_INPUT_HANDLE)); }

std::int64_t FileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (GetFileType(HandleOf(file)) != FILE_TYPE_DISK ||
      !GetFileSizeEx(HandleOf(file), &size)) {
    return -1;
  }
  return size.QuadPart;
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::ptrdiff_t ReadBytes(FileHandle file, unsigned char* bytes,
                         std::size_t count) {
  const DWORD want =
      count > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(count);
  DWORD got = 0;
  if (ReadFile(HandleOf(file), bytes, want, &got, nullptr)) {
    return static_cast<std::ptrdiff_t>(got);
  }
  // A pipe whose writer has closed it has simply ended.
  const DWORD error = GetLastError();
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
}

bool WriteBytes(FileHandle file, const unsigned char* bytes,
                std::size_t count) {
  while (count > 0) {
    const DWORD want =
        count > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(HandleOf(file), bytes, want, &put, nullptr) || put == 0) {
      return false;
    }
    bytes += put;
    count -= put;
  }
  return true;
}

bool CloseFile(FileHandle file) { return CloseHandle(HandleOf(file)) != 0; }
