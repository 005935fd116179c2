#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "unf/system.h"

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int Descriptor(FileHandle file) { return static_cast<int>(file); }

}  // namespace

bool PrepareProcess(int&, char**&) {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // open() takes the lowest free descriptor, which is `fd` itself.
      if (open("/dev/null", O_RDWR) != fd) {
        return false;
      }
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  return true;
}

FileHandle OpenSourceFile(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    return kNoFile;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return kNoFile;
  }
  return fd;
}

DestOpen OpenDestFile(const char* path, FileHandle source, FileHandle& dest) {
  struct stat source_info, info;
  if (fstat(Descriptor(source), &source_info) != 0) {
    return DestOpen::Failed;
  }
  if (stat(path, &info) == 0 && SameFile(info, source_info)) {
    return DestOpen::SameFile;
  }
  // Not O_TRUNC: the file is emptied only once it is known not to be the
  // source.
  const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    return DestOpen::Failed;
  }
  DestOpen result = DestOpen::Opened;
  if (fstat(fd, &info) != 0) {
    result = DestOpen::Failed;
  } else if (SameFile(info, source_info)) {
    result = DestOpen::SameFile;
  } else if (S_ISREG(info.st_mode) && info.st_size > 0 &&
             ftruncate(fd, 0) != 0) {
    // Devices and FIFOs have nothing to empty. Nor has a new file, and
    // emptying one anyway would have ext4 write it back at the close, as
    // it does for a file cut to nothing, which costs a run half its speed.
    result = DestOpen::Failed;
  }
  if (result != DestOpen::Opened) {
    close(fd);
    return result;
  }
  dest = fd;
  return result;
}

FileHandle StandardInput() { return STDIN_FILENO; }

std::int64_t FileSize(FileHandle file) {
  struct stat info;
  if (fstat(Descriptor(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    return -1;
  }
  return info.st_size;
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::ptrdiff_t ReadBytes(FileHandle file, unsigned char* bytes,
                         std::size_t count) {
  for (;;) {
    const ssize_t got = read(Descriptor(file), bytes, count);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

bool WriteBytes(FileHandle file, const unsigned char* bytes,
                std::size_t count) {
  while (count > 0) {
    const ssize_t put = write(Descriptor(file), bytes, count);
    if (put > 0) {
      bytes += put;
      count -= static_cast<std::size_t>(put);
    } else if (put == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

bool CloseFile(FileHandle file) {
  // After EINTR the descriptor is closed all the same on Linux, and a
  // write's late failure shows as EIO, not as EINTR.
  return close(Descriptor(file)) == 0 || errno == EINTR;
}
