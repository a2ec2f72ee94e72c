#include "history/CsvText.h"

#include <QDateTime>
#include <QSaveFile>

namespace CsvText {

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString line(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &f : fields)
        out.append(field(f));
    return out.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString isoTime(qint64 msecsSinceEpoch)
{
    QDateTime t = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch);
    t.setOffsetFromUtc(t.offsetFromUtc());
    return t.toString(Qt::ISODateWithMs);
}

bool saveWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace CsvText
