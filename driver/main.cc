// mendrik: copies a UNF dump record by record, putting the digit "0" back
// where 0x00 bytes stand in one NUMERIC field of every record.

#include <cstdint>

#include "driver/command_line.h"
#include "driver/files.h"
#include "driver/messages.h"
#include "driver/progress.h"
#include "unf/exit_status.h"
#include "unf/messages.h"
#include "unf/record_stream.h"
#include "unf/repair.h"
#include "unf/system.h"

namespace {

// Static: the streams are over a MiB, which is no stack's business, and the
// spinner is reached from the record stream's messages.
SourceStream source;
DestStream dest;
ProgressSpinner spinner;

}  // namespace

int main(int argc, char** argv) {
  if (!PrepareProcess(argc, argv)) {
    EndRun(kExitFailure);
  }
  BufferConsole();
  const RunSettings settings = ReadCommandLine(argc, argv);
  // Echoed before the check, so that the values that fail it are shown too.
  ShowVerifying(settings.NumBytes, settings.Offset);
  if (!WindowFits(settings.Offset, settings.NumBytes)) {
    FailRange();
  }
  if (settings.DebugTrace) {
    TraceRepairByte(kRepairByte);
  }

  const FileHandle source_file = OpenSourceOrFail(settings.Sourcefile);
  AttachSource(source, source_file);
  // The destination is emptied before a byte of the source is read.
  AttachDestination(dest, OpenDestOrFail(settings.Destfile, source_file),
                    settings.Destfile, source);

  // The record stream's trace and diagnostics come after the ticks before.
  before_console_write = [] { ReleaseTicks(spinner); };
  source.before_read = [] { ShowProgress(spinner); };
  RunCounters counters;
  for (;;) {
    if (!settings.DebugTrace) {
      const RecordTally run =
          RepairBufferedRecords(dest, settings.Offset, settings.NumBytes);
      Tick(spinner, run.records);
      counters.Updated += run.updated;
      counters.Rejected += run.records - run.updated;
    }
    Tick(spinner);
    int32_t length;
    if (!ReadRecord(source, settings.DebugTrace, length)) {
      break;
    }
    if (RepairRecord(RecordImage(source), length, settings.Offset,
                     settings.NumBytes) == RecordOutcome::Updated) {
      ++counters.Updated;
    } else {
      ++counters.Rejected;
    }
    WriteRecord(dest, length);
    if (SkipLineEnd(source)) {
      break;
    }
  }
  FailOnSourceFault(source);
  CloseSource(source);
  CloseDestination(dest);

  ShowProgress(spinner);
  PrintSummary(counters);
  return kExitOk;
}
