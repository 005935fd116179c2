#include "driver/files.h"

#include "driver/messages.h"

FileHandle OpenSourceOrFail(const char* path) {
  const FileHandle source = OpenSourceFile(path);
  if (source == kNoFile) {
    FailOpenSource(path);
  }
  return source;
}

FileHandle OpenDestOrFail(const char* path, FileHandle source) {
  FileHandle dest = kNoFile;
  switch (OpenDestFile(path, source, dest)) {
    case DestOpen::Opened:
      break;
    case DestOpen::SameFile:
      FailSameFile(path);
    case DestOpen::Failed:
      FailOpenDest(path);
  }
  return dest;
}
