#include "virtualhw/EventStream.h"

#include <cstring>

namespace vhw {
namespace stream {

namespace {

void put32(std::string &out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

void put16(std::string &out, uint16_t v)
{
    out += char(v & 0xFF);
    out += char(v >> 8);
}

uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t get16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

} // namespace

std::string encodeBatch(const ORVEHV_SYSTEMSTATUS_t &status, const std::vector<Record> &records)
{
    size_t n = records.size() < kMaxRecords ? records.size() : kMaxRecords;
    std::string payload;
    put32(payload, uint32_t(status.System));
    for (int b = 0; b < ORVEHV_MAX_BOARDS; ++b)
        put32(payload, uint32_t(status.Board[b]));
    for (size_t i = 0; i < n; ++i) {
        const Record &r = records[i];
        size_t nameLen = r.name.size() < kMaxName ? r.name.size() : kMaxName;
        size_t valueLen = r.value.size() < kMaxValue ? r.value.size() : kMaxValue;
        put32(payload, uint32_t(r.type));
        put32(payload, uint32_t(r.handle));
        put32(payload, uint32_t(r.board));
        put32(payload, uint32_t(r.channel));
        payload += char(nameLen);
        payload += char(0);
        put16(payload, uint16_t(valueLen));
        payload.append(r.name, 0, nameLen);
        payload.append(r.value, 0, valueLen);
    }
    std::string out;
    out.reserve(kHeaderSize + payload.size());
    put32(out, kMagic);
    put16(out, kVersion);
    put16(out, 0);
    put32(out, uint32_t(n));
    put32(out, uint32_t(payload.size()));
    out += payload;
    return out;
}

int checkHeader(const uint8_t *data, size_t n, uint32_t *count, uint32_t *payloadLength)
{
    static const uint8_t magic[4] = {kMagic & 0xFF, (kMagic >> 8) & 0xFF, (kMagic >> 16) & 0xFF, kMagic >> 24};
    if (!data && n)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    for (size_t i = 0; i < n && i < 4; ++i)
        if (data[i] != magic[i])
            return ORVEHV_ERR_BAD_EVENT_DATA;
    if (n >= 6 && get16(data + 4) != kVersion)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    if (n >= 8 && get16(data + 6) != 0)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    uint32_t c = 0;
    if (n >= 12) {
        c = get32(data + 8);
        if (c > kMaxRecords)
            return ORVEHV_ERR_BAD_EVENT_DATA;
    }
    if (n >= 16) {
        uint32_t len = get32(data + 12);
        // The smallest and largest payload `c` records can take.
        uint64_t lo = kStatusSize + uint64_t(c) * kRecordHeaderSize;
        uint64_t hi = kStatusSize + uint64_t(c) * (kRecordHeaderSize + kMaxName + kMaxValue);
        if (len < lo || len > hi)
            return ORVEHV_ERR_BAD_EVENT_DATA;
        if (count)
            *count = c;
        if (payloadLength)
            *payloadLength = len;
    }
    return ORVEHV_OK;
}

int decodePayload(const uint8_t *data, size_t length, uint32_t count, ORVEHV_SYSTEMSTATUS_t *status,
                  IDValue_t *out)
{
    if (length < kStatusSize || count > kMaxRecords || (count && !out) || !data)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    ORVEHV_SYSTEMSTATUS_t st;
    st.System = int32_t(get32(data));
    for (int b = 0; b < ORVEHV_MAX_BOARDS; ++b)
        st.Board[b] = int32_t(get32(data + 4 + 4 * b));
    size_t pos = kStatusSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (length - pos < kRecordHeaderSize)
            return ORVEHV_ERR_BAD_EVENT_DATA;
        const uint8_t *h = data + pos;
        size_t nameLen = h[16];
        size_t valueLen = get16(h + 18);
        if (h[17] != 0 || nameLen > kMaxName || valueLen > kMaxValue)
            return ORVEHV_ERR_BAD_EVENT_DATA;
        pos += kRecordHeaderSize;
        if (length - pos < nameLen + valueLen)
            return ORVEHV_ERR_BAD_EVENT_DATA;
        IDValue_t &r = out[i];
        std::memset(&r, 0, sizeof r);
        r.Type = int32_t(get32(h));
        r.SystemHandle = int32_t(get32(h + 4));
        r.BoardIndex = int32_t(get32(h + 8));
        r.ChannelIndex = int32_t(get32(h + 12));
        std::memcpy(r.ItemID, data + pos, nameLen);
        pos += nameLen;
        std::memcpy(r.Value, data + pos, valueLen);
        pos += valueLen;
    }
    if (pos != length)
        return ORVEHV_ERR_BAD_EVENT_DATA;
    if (status)
        *status = st;
    return ORVEHV_OK;
}

int decodeBatch(const uint8_t *data, size_t n, size_t *consumed, ORVEHV_SYSTEMSTATUS_t *status,
                std::vector<IDValue_t> *records)
{
    size_t head = n < kHeaderSize ? n : kHeaderSize;
    uint32_t count = 0, len = 0;
    int rc = checkHeader(data, head, &count, &len);
    if (rc != ORVEHV_OK)
        return rc;
    if (n < kHeaderSize || n - kHeaderSize < len)
        return ORVEHV_NO_EVENT_DATA;
    std::vector<IDValue_t> recs(count);
    rc = decodePayload(data + kHeaderSize, len, count, status, recs.data());
    if (rc != ORVEHV_OK)
        return rc;
    if (consumed)
        *consumed = kHeaderSize + len;
    if (records)
        records->swap(recs);
    return ORVEHV_OK;
}

} // namespace stream
} // namespace vhw
