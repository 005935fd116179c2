#include "driver/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "driver/messages.h"
#include "unf/exit_status.h"

namespace {

// One flush every 64 KiB of spinner glyphs is cheap; the run also flushes
// before each read of the source, which may wait, so the spinner stays live.
char console_buffer[64 * 1024];

}  // namespace

void PrepareProcess() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // open() takes the lowest free descriptor, which is `fd` itself.
      if (open("/dev/null", O_RDWR) != fd) {
        EndRun(kExitFailure);
      }
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::setvbuf(stderr, console_buffer, _IOFBF, sizeof console_buffer);
}

int OpenSourceFile(const char* path, struct stat& info) {
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    FailOpenSource(path);
  }
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    FailOpenSource(path);
  }
  return fd;
}

void RefuseSourceAsDest(const char* dest_path, const struct stat& source_info) {
  struct stat dest_info;
  // A destination that does not exist yet cannot be the source.
  if (stat(dest_path, &dest_info) == 0 &&
      dest_info.st_dev == source_info.st_dev &&
      dest_info.st_ino == source_info.st_ino) {
    FailSameFile(dest_path);
  }
}

int OpenDestFile(const char* path) {
  int fd =
      open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    FailOpenDest(path);
  }
  return fd;
}
