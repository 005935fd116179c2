// Feeds arbitrary bytes through the record reader, the repair and the
// writer, and checks what must hold for any input:
//  - the repair turns exactly the 0x00 bytes of the window into 0x30 and
//    changes no other byte;
//  - the writer's output is the canonical layout of the records read;
//  - that output reads back as the same records, without error, and
//    rewrites to the same bytes;
//  - the run's fast path (RepairBufferedRecords) writes the same bytes and
//    counts the same records as the record-by-record path.
// The first three input bytes choose the window and the trace; the rest is
// the source. Reader faults (a bad prefix, a cut image) end the first pass
// early, as they end a run; the reader notes them and stops.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "unf/exit_status.h"
#include "unf/record_stream.h"
#include "unf/repair.h"

namespace {

struct RunEnded {
  int status;
};

void Require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

int MemoryFile(const std::string& bytes) {
  int fd = memfd_create("unf", 0);
  Require(fd >= 0, "memfd_create");
  Require(write(fd, bytes.data(), bytes.size()) ==
              static_cast<ssize_t>(bytes.size()),
          "memfd write");
  lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string Contents(int fd) {
  std::string bytes;
  char chunk[65536];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;) {
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

SourceStream source;
DestStream dest;

std::string Image(int32_t length) {
  return std::string(reinterpret_cast<const char*>(RecordImage(source)),
                     static_cast<std::size_t>(length));
}

struct CopyCounts {
  std::uint64_t records = 0, updated = 0;
};

// Copies `input`, repairing [offset, offset + num_bytes) when asked, and
// returns the output; `records` receives the images that took the general
// path, which is all of them unless `fast` lets RepairBufferedRecords take
// what it can first, as a run without trace does.
std::string Copy(const std::string& input, int32_t offset, int32_t num_bytes,
                 bool repair, bool debug_trace, bool fast,
                 std::vector<std::string>& records, CopyCounts& counts,
                 bool& faulted) {
  AttachSource(source, MemoryFile(input));
  int out_fd = memfd_create("out", 0);
  Require(out_fd >= 0, "memfd_create");
  AttachDestination(dest, dup(out_fd), "out", source);
  faulted = false;
  counts = CopyCounts{};
  try {
    int32_t length;
    for (;;) {
      if (fast) {
        const RecordTally run = RepairBufferedRecords(dest, offset, num_bytes);
        counts.records += run.records;
        counts.updated += run.updated;
      }
      if (!ReadRecord(source, debug_trace, length)) {
        break;
      }
      ++counts.records;
      if (repair) {
        const std::string before = Image(length);
        const RecordOutcome outcome =
            RepairRecord(RecordImage(source), length, offset, num_bytes);
        Require((outcome == RecordOutcome::Rejected) == (length < offset),
                "outcome follows the length");
        if (outcome == RecordOutcome::Updated) {
          ++counts.updated;
        }
        for (int32_t at = 0; at < length; ++at) {
          const bool in_window = outcome == RecordOutcome::Updated &&
                                 at >= offset && at - offset < num_bytes;
          const auto was =
              static_cast<unsigned char>(before[static_cast<std::size_t>(at)]);
          const unsigned char expected =
              in_window && was == 0x00 ? kRepairByte : was;
          Require(RecordImage(source)[at] == expected,
                  "only window zeros change");
        }
      }
      records.push_back(Image(length));
      WriteRecord(dest, length);
      if (SkipLineEnd(source)) {
        break;
      }
    }
  } catch (const RunEnded& ended) {
    Require(ended.status == kExitFailure, "write faults end with status 1");
    faulted = true;
  }
  faulted = faulted || source.fault != SourceFault::None;
  CloseSource(source);
  CloseDestination(dest);
  std::string output = Contents(out_fd);
  close(out_fd);
  return output;
}

}  // namespace

void EndRun(int status) { throw RunEnded{status}; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) {
    return 0;
  }
  const int32_t offset = data[0] % 40;
  // Mostly small windows, sometimes one reaching to the end of the buffer.
  const int32_t num_bytes =
      (data[2] & 1) != 0 ? MaxRecordBytes - offset : data[1] % 40;
  const bool debug_trace = (data[2] & 2) != 0;
  const std::string input(reinterpret_cast<const char*>(data) + 3, size - 3);

  std::vector<std::string> records;
  CopyCounts counts;
  bool faulted;
  const std::string output = Copy(input, offset, num_bytes, true, debug_trace,
                                  false, records, counts, faulted);
  std::string canonical;
  for (const std::string& image : records) {
    canonical += std::to_string(image.size()) + "," + image + "\r\n";
  }
  Require(output == canonical, "output is the canonical layout");

  // The fast path is the same copy, faults included.
  if (!debug_trace) {
    std::vector<std::string> general;
    CopyCounts fast_counts;
    bool fast_faulted;
    const std::string fast_output =
        Copy(input, offset, num_bytes, true, false, true, general, fast_counts,
             fast_faulted);
    Require(fast_faulted == faulted, "the fast path faults alike");
    Require(fast_output == output, "the fast path writes the same bytes");
    Require(fast_counts.records == counts.records &&
                fast_counts.updated == counts.updated,
            "the fast path counts alike");
  }

  std::vector<std::string> reread;
  const std::string rewritten =
      Copy(output, 0, 0, false, false, false, reread, counts, faulted);
  Require(!faulted, "the output reads back without error");
  Require(reread == records, "the output reads back as the same records");
  Require(rewritten == output, "the output rewrites to itself");
  return 0;
}
