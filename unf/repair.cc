#include "unf/repair.h"

#include "unf/record_stream.h"

RecordOutcome RepairRecord(int32_t length, int32_t offset, int32_t num_bytes) {
  if (length < offset) {
    return RecordOutcome::Rejected;
  }
  int32_t field_end = offset + num_bytes;
  if (field_end > length) {
    field_end = length;
  }
  for (int32_t at = offset; at < field_end; ++at) {
    if (RecordBuffer[at] == 0x00) {
      RecordBuffer[at] = kRepairByte;
    }
  }
  return RecordOutcome::Updated;
}
