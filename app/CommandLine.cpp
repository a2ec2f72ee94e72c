#include "app/CommandLine.h"

#include "virtualhw/WorldFile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace {

// A file the operator named must exist and be readable; the reason otherwise.
QString fileProblem(const QString &path, const QString &what)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%0 \"%1\" does not exist.").arg(what, path);
    if (!info.isFile())
        return QStringLiteral("%0 \"%1\" is not a file.").arg(what, path);
    if (!info.isReadable())
        return QStringLiteral("%0 \"%1\" cannot be read.").arg(what, path);
    return QString();
}

// "<file>:<line>: <what is wrong>", empty for a world file the virtual hardware takes.
QString worldProblem(const QString &path)
{
    std::string error;
    if (vhw::checkWorldFile(QFile::encodeName(path).toStdString(), &error))
        return QString();
    return QString::fromLocal8Bit(error.c_str());
}

CommandLine failure(const QString &message)
{
    CommandLine c;
    c.exitCode = 2;
    c.output = QStringLiteral("kebodesk: %0\nRun \"kebodesk --help\" for the options.\n").arg(message);
    return c;
}

}  // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Control program for high-voltage power supply systems: connect up to four systems, "
        "watch every channel and set its values."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Shows the version and ends."));
    const QCommandLineOption world(QStringLiteral("world"),
                                   QStringLiteral("Runs the virtual hardware on the systems of this world file "
                                                  "(JSON) instead of the built-in ones."),
                                   QStringLiteral("FILE"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(world);
    // Qt's own options (-platform vnc, -style Fusion ...) are the toolkit's to take.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *qtOption : {"platform", "display", "style", "stylesheet", "qwindowgeometry"}) {
        QCommandLineOption o(QString::fromLatin1(qtOption), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    parser.addPositionalArgument(QStringLiteral("configuration"),
                                 QStringLiteral("A saved configuration (.csc) to load after start-up."),
                                 QStringLiteral("[configuration.csc]"));

    CommandLine result;
    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help)) {
        result.exitCode = 0;
        // parsed before the application object exists, which would name the program
        result.output = parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("kebodesk"));
        return result;
    }
    if (parser.isSet(version)) {
        result.exitCode = 0;
        result.output = QStringLiteral("kebodesk %0\n").arg(QStringLiteral(KEBO_VERSION));
        return result;
    }
    if (parser.isSet(world)) {
        const QString path = parser.value(world);
        QString problem = fileProblem(path, QStringLiteral("The world file"));
        if (problem.isEmpty())
            problem = worldProblem(path);
        if (!problem.isEmpty())
            return failure(problem);
        result.worldFile = QFileInfo(path).absoluteFilePath();
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return failure(QStringLiteral("Only one configuration file can be opened."));
    if (!positional.isEmpty()) {
        const QString path = positional.first();
        QString problem = fileProblem(path, QStringLiteral("The configuration file"));
        if (problem.isEmpty() && QFileInfo(path).suffix().compare(QLatin1String("csc"), Qt::CaseInsensitive) != 0)
            problem = QStringLiteral("\"%0\" is not a configuration file (.csc).").arg(path);
        if (!problem.isEmpty())
            return failure(problem);
        result.configurationFile = QFileInfo(path).absoluteFilePath();
    }
    return result;
}

QString environmentWorldProblem()
{
    const QString path = qEnvironmentVariable("ORVEHV_WORLD");
    return path.isEmpty() ? QString() : worldProblem(path);
}
