#include "panels/InfoTexts.h"

#include "device/ORVEHVNode.h"
#include "device/ValueText.h"
#include "panels/BoardInfoText.h"

namespace InfoTexts {

namespace {

QStringList nonEmptyFields(const QString &text, int count)
{
    QStringList fields;
    for (const QString &f : text.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString t = f.trimmed();
        if (!t.isEmpty())
            fields << shownField(t);
    }
    while (fields.size() < count)
        fields << QString();
    return fields.mid(0, count);
}

} // namespace

QString shownField(const QString &field)
{
    if (field.size() <= kMaxFieldLength)
        return field;
    return field.left(kMaxFieldLength - 3) + QStringLiteral("...");
}

QList<QStringList> sessionRows(const QString &text)
{
    QList<QStringList> rows;
    for (const QString &record : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (record.trimmed().isEmpty())
            continue;
        QStringList fields = record.split(QLatin1Char(':'));
        if (fields.size() > 5) {
            const QString last = fields.mid(4).join(QLatin1Char(':'));
            fields = fields.mid(0, 4);
            fields << last;
        }
        while (fields.size() < 5)
            fields << QString();
        fields[3].replace(QLatin1Char('_'), QLatin1Char(':'));
        for (QString &f : fields)
            f = shownField(f.trimmed());
        rows << fields;
    }
    return rows;
}

QStringList cpuLoadFields(const QString &text)
{
    return nonEmptyFields(text, 3);
}

QStringList memoryStatusFields(const QString &text)
{
    return nonEmptyFields(text, 4);
}

QString systemPropertyText(const ORVEHVNode *system, const QString &name)
{
    if (!system)
        return QString();
    for (const ORVEHVNode *p : system->parameters()) {
        if (p->name().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const NodeValue v = p->value();
        if (v.status == ValueNeverRead || !v.value.isValid())
            return QString();
        if (p->dataType() == DataFloat)
            return fixedText(v.value.toDouble(), 2);
        return v.value.toString();
    }
    return QString();
}

QString crateMapTitle(int systemType)
{
    return systemType == 16 ? QStringLiteral("Rack Map") : QStringLiteral("Crate Map");
}

QStringList crateMapHeaders(int systemType)
{
    QStringList h;
    if (systemType == 5)
        h << QStringLiteral("Base Address");
    else if (systemType == 16)
        h << QStringLiteral("Crate Nr") << QStringLiteral("Slot Nr");
    else
        h << QStringLiteral("Slot Nr");
    h << QStringLiteral("Board Model") << QStringLiteral("Board Description") << QStringLiteral("Board Serial Number")
      << QStringLiteral("Board FW Release");
    return h;
}

QStringList crateMapRow(const ORVEHVNode *slot, int index, int systemType)
{
    QStringList row;
    const bool empty = !slot || slot->kind() == KindContainer;
    if (systemType == 5) {
        // The base address is the third field of the board's own argument.
        const QString argument = empty ? QString() : slot->connectionArgument();
        row << (argument.split(QLatin1Char('_')).size() == 3 ? BoardInfoText::vmeBaseAddress(argument) : QString());
    } else if (systemType == 16) {
        row << QString::number(index / 25) << QString::number(index - 25 * (index / 25));
    } else {
        row << QString::number(index);
    }
    if (empty) {
        row << QStringLiteral("...") << QStringLiteral("...") << QStringLiteral("...") << QStringLiteral("...");
        return row;
    }
    QString firmware = slot->propertyValue(QStringLiteral("FmwRel")).toString();
    if (firmware.isEmpty())
        firmware = slot->firmwareMajor() + QLatin1Char('.') + slot->firmwareMinor();
    row << shownField(slot->model()) << shownField(slot->description()) << QString::number(slot->serialNumber())
        << shownField(firmware);
    return row;
}

} // namespace InfoTexts
