// windows_launch: starts mendrik.exe the way only a Windows program can, for
// tests/windows.sh, and exits with its status.
//
//   windows_launch closed-std MENDRIK ARGS...
//       with no standard input, output or error handle at all
//   windows_launch pipe-reader-gone PIPE MENDRIK ARGS...
//       serving the named pipe PIPE (\\.\pipe\NAME), which MENDRIK is to
//       write to: reads 1000 bytes from it, then closes it

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "windows_launch: %s failed (%lu)\n", what,
               static_cast<unsigned long>(GetLastError()));
  return 100;
}

std::wstring Wide(const char* text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
  wide.resize(static_cast<std::size_t>(size - 1));
  return wide;
}

// The tests' arguments hold no quotes or spaces; quoting is for show.
std::wstring CommandLine(int count, char** arguments) {
  std::wstring line;
  for (int at = 0; at < count; ++at) {
    line += (at > 0 ? L" \"" : L"\"") + Wide(arguments[at]) + L"\"";
  }
  return line;
}

bool Start(std::wstring command, bool no_std_handles,
           PROCESS_INFORMATION& process) {
  STARTUPINFOW startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  if (no_std_handles) {
    startup.dwFlags = STARTF_USESTDHANDLES;
  }
  return CreateProcessW(nullptr, command.data(), nullptr, nullptr,
                        !no_std_handles, 0, nullptr, nullptr, &startup,
                        &process) != 0;
}

int StatusOf(PROCESS_INFORMATION& process) {
  DWORD status = 100;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &status)) {
    return Fail("waiting for mendrik");
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "closed-std") == 0) {
    PROCESS_INFORMATION process;
    if (!Start(CommandLine(argc - 2, argv + 2), true, process)) {
      return Fail("CreateProcess");
    }
    return StatusOf(process);
  }
  if (argc > 3 && std::strcmp(argv[1], "pipe-reader-gone") == 0) {
    HANDLE pipe =
        CreateNamedPipeW(Wide(argv[2]).c_str(), PIPE_ACCESS_INBOUND,
                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
      return Fail("CreateNamedPipe");
    }
    PROCESS_INFORMATION process;
    if (!Start(CommandLine(argc - 3, argv + 3), false, process)) {
      return Fail("CreateProcess");
    }
    if (!ConnectNamedPipe(pipe, nullptr) &&
        GetLastError() != ERROR_PIPE_CONNECTED) {
      return Fail("ConnectNamedPipe");
    }
    char bytes[1000];
    DWORD got = 0;
    for (DWORD total = 0; total < sizeof bytes; total += got) {
      if (!ReadFile(pipe, bytes, sizeof bytes - total, &got, nullptr) ||
          got == 0) {
        break;
      }
    }
    CloseHandle(pipe);
    return StatusOf(process);
  }
  std::fputs(
      "usage: windows_launch closed-std MENDRIK ARGS...\n"
      "       windows_launch pipe-reader-gone PIPE MENDRIK ARGS...\n",
      stderr);
  return 2;
}
