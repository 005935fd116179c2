// The writer: gathers the canonical records, most of them as spans of the
// source's own buffer, and writes them out in large blocks.

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "unf/messages.h"
#include "unf/pending_output.h"
#include "unf/record_stream.h"
#include "unf/system.h"

namespace {

// A pending span up to this size is copied behind the writer's buffered
// bytes; a longer one is written on its own, where the copy would cost more
// than the extra system call.
constexpr std::size_t kCopySpanBytes = 32 * 1024;

// Each step returns false once a write failed; after that the destination
// is written no more, so what it holds stays a clean prefix.
bool FlushBuffer(DestStream& dest) {
  if (!WriteBytes(dest.file, dest.buffer, dest.used)) {
    dest.failed = true;
    return false;
  }
  dest.used = 0;
  return true;
}

// Takes the pending span out of the source's buffer, keeping the order of
// the output.
bool EmitSpan(DestStream& dest) {
  const std::size_t count = dest.span_end - dest.span_begin;
  const unsigned char* bytes = dest.source->buffer + dest.span_begin;
  dest.span_begin = dest.span_end = 0;
  if (count == 0) {
    return true;
  }
  if (count <= kCopySpanBytes) {
    if (sizeof dest.buffer - dest.used < count && !FlushBuffer(dest)) {
      return false;
    }
    std::memcpy(dest.buffer + dest.used, bytes, count);
    dest.used += count;
    return true;
  }
  if (!FlushBuffer(dest)) {
    return false;
  }
  if (!WriteBytes(dest.file, bytes, count)) {
    dest.failed = true;
    return false;
  }
  return true;
}

// Output that differs from the source's bytes.
void AppendBytes(DestStream& dest, const unsigned char* bytes,
                 std::size_t count) {
  EmitSpanOrFail(dest);
  if (sizeof dest.buffer - dest.used < count && !FlushBuffer(dest)) {
    FailWriteDest(dest.path);
  }
  std::memcpy(dest.buffer + dest.used, bytes, count);
  dest.used += count;
}

DestStream* pending_dest = nullptr;
bool exit_hook_registered = false;

void WritePendingAtExit() {
  DestStream* dest = pending_dest;
  if (dest != nullptr && !dest->failed &&
      (!EmitSpan(*dest) || !FlushBuffer(*dest))) {
    ReportWriteDest(dest->path);
  }
}

}  // namespace

void EmitSpanOrFail(DestStream& dest) {
  if (!EmitSpan(dest)) {
    FailWriteDest(dest.path);
  }
}

void AttachDestination(DestStream& dest, FileHandle file, const char* path,
                       SourceStream& source) {
  if (!exit_hook_registered) {
    exit_hook_registered = std::atexit(WritePendingAtExit) == 0;
  }
  dest.file = file;
  dest.path = path;
  dest.failed = false;
  dest.source = &source;
  dest.span_begin = dest.span_end = 0;
  dest.used = 0;
  source.borrower = &dest;
  pending_dest = &dest;
}

void WriteRecord(DestStream& dest, int32_t length) {
  const SourceStream& source = *dest.source;
  const std::size_t image_end = source.image + static_cast<std::size_t>(length);
  assert(length >= 0 &&
         image_end + (source.line_end_taken ? kLineEndBytes : 0) ==
             source.next);
  if (source.canonical_prefix) {
    AppendSpan(dest, source.record, image_end);
  } else {
    unsigned char prefix[kMaxWrittenPrefixBytes];
    unsigned char* prefix_end = PutDecimal(prefix, length);
    *prefix_end++ = ',';
    AppendBytes(dest, prefix, static_cast<std::size_t>(prefix_end - prefix));
    AppendSpan(dest, source.image, image_end);
  }
  static const unsigned char kLineEnd[kLineEndBytes] = {'\r', '\n'};
  if (source.line_end_taken) {
    AppendSpan(dest, image_end, image_end + kLineEndBytes);
  } else {
    AppendBytes(dest, kLineEnd, kLineEndBytes);
  }
}

void CloseDestination(DestStream& dest) {
  pending_dest = nullptr;
  EmitSpanOrFail(dest);
  if (!FlushBuffer(dest)) {
    FailWriteDest(dest.path);
  }
  const bool closed = CloseFile(dest.file);
  dest.file = kNoFile;
  if (!closed) {
    dest.failed = true;
    FailWriteDest(dest.path);
  }
}
