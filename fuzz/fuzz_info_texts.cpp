// Feeds arbitrary text to the parsers of the controller's read-outs that the
// information dialogs show: "Sessions", "CPULoad", "MemoryStatus", and the
// base address a VME HV board's connection argument carries.
#include "panels/BoardInfoText.h"
#include "panels/InfoTexts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkFields(const QStringList &fields, int count)
{
    if (count >= 0 && fields.size() != count)
        abort();
    for (const QString &f : fields)
        if (f.size() > InfoTexts::kMaxFieldLength)
            abort(); // every cell stays readable
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QList<QStringList> rows = InfoTexts::sessionRows(text);
    if (rows.size() > text.count(QLatin1Char(';')) + 1)
        abort();
    for (const QStringList &row : rows)
        checkFields(row, 5);
    checkFields(InfoTexts::cpuLoadFields(text), 3);
    checkFields(InfoTexts::memoryStatusFields(text), 4);
    const QString base = BoardInfoText::vmeBaseAddress(text);
    if (!base.isEmpty() && !base.startsWith(QLatin1String("0x")))
        abort();
    return 0;
}
