// EventStream.h - framing of event batches on an event connection.
//
// After the 40-byte identifier block, a connection carries batches:
//
//   header, 16 bytes, little-endian:
//     0  u32  magic 0x4245564F ("OVEB")
//     4  u16  version (1)
//     6  u16  flags (0)
//     8  u32  record count (at most kMaxRecords)
//    12  u32  payload length: bytes that follow the header
//   payload:
//     system status: 17 x i32 (system word, boards 0..15)
//     records, each: i32 type, i32 handle, i32 board, i32 channel,
//                    u8 name length (<= 19), u8 0, u16 value length (<= 1024),
//                    name bytes, value bytes
//
// The payload length must equal exactly what the records take. The decoder
// trusts nothing: every length is checked against its limit and against the
// bytes present before anything is read or allocated.
#ifndef VIRTUALHW_EVENTSTREAM_H
#define VIRTUALHW_EVENTSTREAM_H

#include "orvehv/ORVEHVWrapper.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vhw {
namespace stream {

constexpr uint32_t kMagic = 0x4245564Fu;
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 16;
constexpr size_t kStatusSize = 68;
constexpr size_t kRecordHeaderSize = 20;
constexpr uint32_t kMaxRecords = 4096;
constexpr size_t kMaxName = ORVEHV_ITEM_NAME_LEN - 1;
constexpr size_t kMaxValue = ORVEHV_EVENT_VALUE_LEN;
constexpr size_t kMaxPayload = kStatusSize + size_t(kMaxRecords) * (kRecordHeaderSize + kMaxName + kMaxValue);

struct Record {
    int32_t type = 0;
    int32_t handle = 0;
    int32_t board = -1;
    int32_t channel = -1;
    std::string name;   // at most kMaxName bytes (longer is cut)
    std::string value;  // at most kMaxValue bytes (longer is cut)
};

// One batch; records beyond kMaxRecords are not taken (callers split).
std::string encodeBatch(const ORVEHV_SYSTEMSTATUS_t &status, const std::vector<Record> &records);

// Checks the first n bytes (n <= kHeaderSize) of a header. With fewer than 16
// bytes only what is present is checked (so garbage is refused early).
// ORVEHV_OK, or ORVEHV_ERR_BAD_EVENT_DATA. With all 16 bytes, *count and
// *payloadLength receive the validated values.
int checkHeader(const uint8_t *data, size_t n, uint32_t *count, uint32_t *payloadLength);

// Decodes a payload of exactly `length` bytes announced for `count` records
// into status and out[0..count-1] (the caller provides count records).
int decodePayload(const uint8_t *data, size_t length, uint32_t count, ORVEHV_SYSTEMSTATUS_t *status,
                  IDValue_t *out);

// Decodes one whole batch at the start of a buffer: ORVEHV_OK with *consumed
// set; ORVEHV_NO_EVENT_DATA when the buffer holds only a valid prefix of a
// batch; ORVEHV_ERR_BAD_EVENT_DATA when it is malformed.
int decodeBatch(const uint8_t *data, size_t n, size_t *consumed, ORVEHV_SYSTEMSTATUS_t *status,
                std::vector<IDValue_t> *records);

} // namespace stream
} // namespace vhw

#endif
