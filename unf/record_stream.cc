#include "unf/record_stream.h"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "unf/messages.h"
#include "unf/parse_decimal.h"

unsigned char RecordBuffer[MaxRecordBytes];

namespace {

// Returns false at the end of the source; ends the run on a failed read.
bool Refill(SourceStream& source) {
  while (!source.at_end) {
    ssize_t got = read(source.fd, source.buffer, sizeof source.buffer);
    if (got > 0) {
      source.next = 0;
      source.end = static_cast<std::size_t>(got);
      ++source.refills;
      return true;
    }
    if (got == 0) {
      source.at_end = true;
    } else if (errno != EINTR) {
      FailReadSource();
    }
  }
  return false;
}

// The next byte of the source, or -1 at its end.
inline int NextByte(SourceStream& source) {
  if (source.next == source.end && !Refill(source)) {
    return -1;
  }
  return source.buffer[source.next++];
}

// Returns false if the source ends before `count` bytes were read.
bool ReadBlock(SourceStream& source, unsigned char* into, std::size_t count) {
  while (count > 0) {
    if (source.next == source.end && !Refill(source)) {
      return false;
    }
    std::size_t take = source.end - source.next;
    if (take > count) {
      take = count;
    }
    std::memcpy(into, source.buffer + source.next, take);
    source.next += take;
    into += take;
    count -= take;
  }
  return true;
}

// Writes out the buffer. On failure the bytes that did land are a prefix of
// what was asked, and nothing more is ever written.
bool Flush(DestStream& dest) {
  std::size_t done = 0;
  while (done < dest.used) {
    ssize_t put = write(dest.fd, dest.buffer + done, dest.used - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      dest.failed = true;
      return false;
    }
  }
  dest.used = 0;
  return true;
}

DestStream* pending_dest = nullptr;

void FlushPendingAtExit() {
  if (pending_dest != nullptr && !pending_dest->failed &&
      !Flush(*pending_dest)) {
    ReportWriteDest(pending_dest->path);
  }
}

unsigned char* PutDecimal(unsigned char* out, int32_t value) {
  unsigned char digits[kMaxWrittenPrefixBytes];
  int count = 0;
  do {
    digits[count++] = static_cast<unsigned char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (count > 0) {
    *out++ = digits[--count];
  }
  return out;
}

}  // namespace

void AttachSource(SourceStream& source, int fd) {
  source.fd = fd;
  source.next = source.end = 0;
  source.at_end = false;
  source.refills = 0;
}

void AttachDestination(DestStream& dest, int fd, const char* path) {
  static const bool registered = std::atexit(FlushPendingAtExit) == 0;
  (void)registered;
  dest.fd = fd;
  dest.path = path;
  dest.used = 0;
  dest.failed = false;
  pending_dest = &dest;
}

bool ReadRecord(SourceStream& source, bool debug_trace, int32_t& length) {
  // Room for the prefix bytes and a terminating zero: the bytes are shown as
  // text in the trace and in the error, cut at any 0x00 among them.
  char prefix[kMaxPrefixBytes + 1];
  int count = 0;
  bool found_comma = false;
  while (count < kMaxPrefixBytes && !found_comma) {
    int byte = NextByte(source);
    if (byte < 0) {
      // A prefix cut short is the end of data, not an error: producers
      // leave end-of-file marks and stray bytes after the last record.
      return false;
    }
    prefix[count++] = static_cast<char>(byte);
    if (debug_trace) {
      TraceReadByte(static_cast<unsigned char>(byte));
    }
    found_comma = byte == ',';
  }
  prefix[count] = '\0';
  if (!found_comma) {
    FailDataFormat(prefix);
  }
  prefix[count - 1] = '\0';
  length = ParseDecimal(prefix);
  if (debug_trace) {
    TraceConverted(prefix, length);
  }
  if (length < 0 || length > MaxRecordBytes) {
    prefix[count - 1] = ',';
    FailDataFormat(prefix);
  }
  if (!ReadBlock(source, RecordBuffer, static_cast<std::size_t>(length))) {
    FailReadSource();
  }
  return true;
}

void WriteRecord(DestStream& dest, int32_t length) {
  assert(length >= 0 && length <= MaxRecordBytes);
  const auto image_length = static_cast<std::size_t>(length);
  if (sizeof dest.buffer - dest.used <
      kMaxWrittenPrefixBytes + image_length + kLineEndBytes) {
    if (!Flush(dest)) {
      FailWriteDest(dest.path);
    }
  }
  unsigned char* out = PutDecimal(dest.buffer + dest.used, length);
  *out++ = ',';
  std::memcpy(out, RecordBuffer, image_length);
  out += image_length;
  *out++ = '\r';
  *out++ = '\n';
  dest.used = static_cast<std::size_t>(out - dest.buffer);
}

bool SkipLineEnd(SourceStream& source) {
  for (int count = 0; count < kMaxLineEndBytes; ++count) {
    int byte = NextByte(source);
    if (byte < 0) {
      return true;
    }
    if (byte == '\n') {
      // Stop here without peeking: a source ending in CR LF shows its end to
      // the next ReadRecord instead.
      return false;
    }
  }
  return false;
}

void CloseSource(SourceStream& source) {
  // EINTR from close still leaves a descriptor we only read closed.
  if (close(source.fd) != 0 && errno != EINTR) {
    FailReadSource();
  }
  source.fd = -1;
}

void CloseDestination(DestStream& dest) {
  pending_dest = nullptr;
  if (!Flush(dest)) {
    FailWriteDest(dest.path);
  }
  int closed = close(dest.fd);
  dest.fd = -1;
  if (closed != 0) {
    dest.failed = true;
    FailWriteDest(dest.path);
  }
}
