// Feeds arbitrary bytes to the event stream decoder as a stream of batches.
#include "virtualhw/EventStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t pos = 0;
    while (pos < size) {
        ORVEHV_SYSTEMSTATUS_t status;
        std::vector<IDValue_t> records;
        size_t used = 0;
        int rc = vhw::stream::decodeBatch(data + pos, size - pos, &used, &status, &records);
        if (rc != ORVEHV_OK)
            break;
        if (used == 0 || used > size - pos)
            abort(); // a decoder that does not advance, or overreads, is a bug
        for (const IDValue_t &r : records)
            if (r.ItemID[ORVEHV_ITEM_NAME_LEN - 1] != '\0')
                abort(); // item names are always terminated
        pos += used;
    }
    // The header check alone on every prefix length.
    for (size_t n = 0; n <= size && n <= vhw::stream::kHeaderSize; ++n) {
        uint32_t count = 0, length = 0;
        if (vhw::stream::checkHeader(data, n, &count, &length) == ORVEHV_OK && n == vhw::stream::kHeaderSize &&
            (count > vhw::stream::kMaxRecords || length > vhw::stream::kMaxPayload))
            abort();
    }
    return 0;
}
