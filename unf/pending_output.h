#pragma once

// Between the record stream's own files: the writer's pending span, which
// the reader writes out before it moves its buffer's bytes and the fast path
// extends.

#include <cstddef>

#include "unf/record_stream.h"

// Writes out the pending span; ends the run if the write fails.
void EmitSpanOrFail(DestStream& dest);

// Output equal to source.buffer[begin, end), which the writer will take
// from there.
inline void AppendSpan(DestStream& dest, std::size_t begin, std::size_t end) {
  if (dest.span_end != begin) {
    EmitSpanOrFail(dest);
    dest.span_begin = begin;
  }
  dest.span_end = end;
}
