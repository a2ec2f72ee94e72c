// Feeds arbitrary bytes to the decoders of what arrives from the network
// during autodetection: the reply datagram and the probe target setting.
#include "connect/AutodetectScanner.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QStringList fields;
    if (AutodetectScanner::parseReply(bytes, &fields)) {
        if (bytes.size() > AutodetectScanner::kMaxReplyBytes || fields.size() < 4)
            abort();
        for (const QString &f : fields) {
            if (f.isEmpty() || f.contains(QLatin1Char(':')))
                abort(); // the dialog shows each field in a cell of its own
            for (QChar c : f)
                if (c.unicode() < 0x20 || c.unicode() > 0x7e)
                    abort(); // only printable ASCII reaches a widget
        }
    }
    uint32_t address = 0;
    uint16_t port = 0;
    if (AutodetectScanner::parseTarget(bytes, &address, &port)) {
        if (port == 0)
            abort();
        // What was accepted, written out again, reads back the same.
        const QByteArray again = QByteArray::number(address >> 24) + '.' + QByteArray::number((address >> 16) & 255) +
                                 '.' + QByteArray::number((address >> 8) & 255) + '.' +
                                 QByteArray::number(address & 255) + ':' + QByteArray::number(port);
        uint32_t address2 = 0;
        uint16_t port2 = 0;
        if (!AutodetectScanner::parseTarget(again, &address2, &port2) || address2 != address || port2 != port)
            abort();
    }
    return 0;
}
