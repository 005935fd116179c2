// mendrik-survey: reads a UNF dump as mendrik reads it, in one pass and
// without writing a file, and reports its layout, how it ends, the damaged
// NUMERIC fields and, given a window, what a mendrik run would do.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "survey/census.h"
#include "survey/command_line.h"
#include "survey/exit_status.h"
#include "survey/fields.h"
#include "survey/messages.h"
#include "survey/progress.h"
#include "survey/report.h"
#include "unf/record_stream.h"
#include "unf/system.h"

namespace {

// Static: the stream's buffer is a MiB, and the census's counters are the
// run's; the progress line is reached from the reader's hook.
SourceStream source;
Census census;
SurveyProgress progress;

// Reads every record as mendrik would, counting each, up to the end of the
// data or the record that would stop mendrik.
void SurveyRecords() {
  int32_t length;
  while (ReadRecord(source, false, length)) {
    CountRecord(census, RecordImage(source), length,
                source.buffer + sizeof source.buffer);
    if (!source.canonical_prefix) {
      ++census.lenient_prefixes;
    }
    const bool ended = SkipLineEnd(source);
    if (!source.line_end_canonical) {
      ++census.lenient_line_ends;
    }
    if (ended) {
      break;
    }
  }
  FinishCensus(census);
  census.bytes = source.buffer_offset + source.end;
  census.end_record = census.records + 1;
  census.end_offset = RecordOffset(source);
  switch (source.fault) {
    case SourceFault::None:
      census.end = source.dropped_prefix_bytes > 0 ? DumpEnd::StrayBytes
                                                   : DumpEnd::Clean;
      break;
    case SourceFault::BadPrefix:
      census.end = DumpEnd::BadPrefix;
      census.end_prefix = source.fault_prefix;
      break;
    case SourceFault::ShortImage:
      census.end = DumpEnd::ShortImage;
      break;
    case SourceFault::ReadFailed:
      census.end = DumpEnd::ReadError;
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!PrepareProcess(argc, argv)) {
    return kSurveyTrouble;
  }
  const SurveySettings settings = ReadSurveyCommandLine(argc, argv);
  const bool from_stdin = std::strcmp(settings.source, "-") == 0;
  const FileHandle file =
      from_stdin ? StandardInput() : OpenSourceFile(settings.source);
  if (file == kNoFile) {
    FailOpen(settings.source);
  }
  WindowTally window;
  window.offset = settings.offset;
  window.num_bytes = settings.num_bytes;
  StartCensus(census, settings.has_window ? &window : nullptr);

  AttachSource(source, file);
  StartProgress(progress, FileSize(file));
  source.before_read = [] {
    UpdateProgress(progress, source.buffer_offset + source.end);
  };
  SurveyRecords();
  ClearProgress(progress);
  // Only read: a failing close loses nothing the survey has not counted.
  if (!from_stdin) {
    CloseFile(file);
  }

  const Findings findings = FindFields(census);
  if (settings.json) {
    PrintJson(settings.source, census, findings);
  } else {
    PrintReport(settings.source, census, findings);
  }
  // ferror too: a long report fills the buffer, and a write that failed
  // then is not the close's to report.
  if (std::ferror(stdout) || std::fclose(stdout) != 0) {
    FailWriteOutput();
  }
  if (census.end == DumpEnd::ReadError) {
    ReportReadError(settings.source);
    return kSurveyTrouble;
  }
  const bool repair_found = settings.has_window
                                ? census.window.changed_bytes > 0
                                : !findings.damaged.empty();
  const bool mendrik_stops =
      census.end == DumpEnd::BadPrefix || census.end == DumpEnd::ShortImage;
  return repair_found || mendrik_stops ? kSurveySomethingToRepair
                                       : kSurveyNothingToRepair;
}
