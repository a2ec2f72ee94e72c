#include "app/UserManual.h"

#include <QDir>
#include <QFileInfo>

namespace UserManual {

QString fileName()
{
    return QStringLiteral(KEBO_MANUAL_NAME);
}

QStringList places(const QString &programDir)
{
    const QDir program(programDir);
    QStringList folders{QDir::currentPath(), program.absolutePath(),
                        QDir::cleanPath(program.absoluteFilePath(QStringLiteral(KEBO_MANUAL_FROM_PROGRAM))),
                        QStringLiteral(KEBO_MANUAL_BUILD_DIR)};
    folders.removeDuplicates();
    return folders;
}

QString find(const QStringList &places)
{
    for (const QString &folder : places) {
        const QFileInfo file(QDir(folder).filePath(fileName()));
        if (file.isFile() && file.isReadable())
            return file.absoluteFilePath();
    }
    return QString();
}

OperatorMessage open(const QStringList &places, const std::function<bool(const QUrl &)> &open)
{
    const QString manual = find(places);
    if (manual.isEmpty())
        return {QMessageBox::Warning,
                QStringLiteral("Unable to find ORVE\nKEBODESK User Manual,\nplease open it from\nthe KEBODESK folder."),
                QStringLiteral("%0 was looked for in:\n%1").arg(fileName(), places.join(QLatin1Char('\n'))),
                {}};
    if (!open(QUrl::fromLocalFile(manual)))
        return {QMessageBox::Warning,
                QStringLiteral("The KEBODESK User Manual could not be shown."),
                QStringLiteral("No program to show PDF files could be started for\n%0").arg(manual),
                {}};
    return {};
}

} // namespace UserManual
