#pragma once

#include <cstdint>

// What ActiveX controls should have written in a NUMERIC field instead of 0x00.
inline constexpr unsigned char kRepairByte = 0x30;

enum class RecordOutcome { Updated, Rejected };

// Mends the NUMERIC field at [offset, offset + num_bytes) of the record
// image[0, length), in place: every 0x00 in the part of that window inside
// the image becomes kRepairByte. A record shorter than `offset` is left
// alone and Rejected; any other is Updated, changed or not. The caller
// guarantees 0 <= offset, 0 <= num_bytes and offset + num_bytes <=
// MaxRecordBytes.
RecordOutcome RepairRecord(unsigned char* image, int32_t length, int32_t offset,
                           int32_t num_bytes);
