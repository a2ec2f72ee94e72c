#include "script/ScriptFile.h"

#include "script/ScriptLanguage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace script {

QString fileFilter()
{
    return QStringLiteral("%0 (*.%1)").arg(QLatin1String(FileTypeName), QLatin1String(FileExtension));
}

QString withExtension(const QString &fileName)
{
    const QString suffix = QLatin1Char('.') + QLatin1String(FileExtension);
    return fileName.endsWith(suffix) ? fileName : fileName + suffix;
}

bool decodeScript(const QByteArray &bytes, QStringList *actions, QString *error)
{
    actions->clear();
    if (bytes.contains('\0')) {
        *error = QStringLiteral("The file holds binary data.");
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        *error = QStringLiteral("The file is not UTF-8 text.");
        return false;
    }
    const QStringList pieces = splitActions(text.simplified());
    if (pieces.isEmpty())
        return true;
    const int bad = checkScript(pieces);
    if (bad != 0) {
        *error = QStringLiteral("Syntax error in action [%0]").arg(bad);
        return false;
    }
    for (const QString &p : pieces)
        actions->append(p.trimmed());
    return true;
}

bool readScriptFile(const QString &path, QByteArray *bytes, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return false;
    }
    if (f.size() > MaxFileSize) {
        *error = QStringLiteral("The file is larger than %0 MB.").arg(MaxFileSize / (1024 * 1024));
        return false;
    }
    // read one byte more than allowed: a file that grows meanwhile, or a
    // device without a size, is still refused
    *bytes = f.read(MaxFileSize + 1);
    if (f.error() != QFileDevice::NoError) {
        *error = f.errorString();
        return false;
    }
    if (bytes->size() > MaxFileSize) {
        *error = QStringLiteral("The file is larger than %0 MB.").arg(MaxFileSize / (1024 * 1024));
        return false;
    }
    return true;
}

bool writeScriptFile(const QString &path, const QString &text, QString *error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = f.errorString();
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size()) {
        *error = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace script
