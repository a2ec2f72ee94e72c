// Feeds arbitrary bytes to the view file reader. Whatever it accepts must
// survive being written and read again unchanged in shape.
#include "persist/ViewFileFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
int countItems(const ViewHash &hash)
{
    int n = hash.size();
    for (const ViewHash::Item &item : hash.items())
        if (ViewHash::isHash(item.second))
            n += countItems(ViewHash::toHash(item.second));
    return n;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    ViewHash hash;
    QString error;
    if (!ViewFileFormat::parse(bytes, &hash, &error)) {
        if (error.isEmpty() || !hash.isEmpty())
            abort(); // every refusal says why and yields nothing
        return 0;
    }
    ViewHash again;
    if (!ViewFileFormat::parse(ViewFileFormat::serialize(hash), &again, &error))
        abort();
    if (countItems(again) != countItems(hash))
        abort();
    return 0;
}
