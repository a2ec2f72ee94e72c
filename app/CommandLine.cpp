#include "app/CommandLine.h"

#include <QFileInfo>

namespace CommandLine {

QString configurationToLoad(const QStringList &arguments)
{
    if (arguments.size() != 1 || !arguments.first().endsWith(QLatin1String(".csc"), Qt::CaseInsensitive))
        return QString();
    return QFileInfo(arguments.first()).absoluteFilePath();
}

} // namespace CommandLine
