// The program's command line: what starts, what ends at once and with which code.
#include "app/CommandLine.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A folder holding a good world, a world with a fault on its third line and
// an (empty) configuration.
void writeFiles(const QTemporaryDir &dir)
{
    const QList<QPair<const char *, QByteArray>> files = {
        { "world.json", "{ \"systems\": [ { \"type\": 2, \"link\": 0, \"argument\": \"192.0.2.10\" } ] }\n" },
        { "bad.json", "{\n  \"systems\": [\n    { \"type\": 2, \"link\": 0, \"argumnet\": \"192.0.2.10\" }\n  ]\n}\n" },
        { "setup.csc", "" },
    };
    for (const auto &file : files) {
        QFile f(dir.filePath(QString::fromLatin1(file.first)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file.second);
    }
}

} // namespace

class TstCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("args");     // "%dir" stands for a folder holding world.json and setup.csc
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("outputHas");
        QTest::addColumn<QString>("world");        // file name expected in worldFile
        QTest::addColumn<QString>("configuration");

        QTest::newRow("nothing") << QStringList{} << -1 << "" << "" << "";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--world <FILE>" << "" << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "kebodesk " << "" << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "bogus" << "" << "";
        QTest::newRow("world") << QStringList{"--world", "%dir/world.json"} << -1 << "" << "world.json" << "";
        QTest::newRow("missing world") << QStringList{"--world", "%dir/missing.json"} << 2 << "does not exist" << "" << "";
        // read at start, not when the first system connects
        QTest::newRow("malformed world") << QStringList{"--world", "%dir/bad.json"} << 2 << "bad.json:3: " << "" << "";
        QTest::newRow("world without file") << QStringList{"--world"} << 2 << "world" << "" << "";
        QTest::newRow("configuration") << QStringList{"%dir/setup.csc"} << -1 << "" << "" << "setup.csc";
        QTest::newRow("missing configuration") << QStringList{"%dir/other.csc"} << 2 << "does not exist" << "" << "";
        QTest::newRow("not a configuration") << QStringList{"%dir/world.json"} << 2 << "(.csc)" << "" << "";
        QTest::newRow("two configurations") << QStringList{"%dir/setup.csc", "%dir/setup.csc"} << 2 << "Only one" << "" << "";
        // the toolkit's own options pass through
        QTest::newRow("platform") << QStringList{"-platform", "offscreen"} << -1 << "" << "" << "";
    }

    void arguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, outputHas);
        QFETCH(QString, world);
        QFETCH(QString, configuration);
        QTemporaryDir dir;
        writeFiles(dir);
        QStringList argv{QStringLiteral("kebodesk")};
        for (const QString &a : args)
            argv << QString(a).replace(QLatin1String("%dir"), dir.path());

        const CommandLine c = parseCommandLine(argv);
        QCOMPARE(c.exitCode, exitCode);
        QVERIFY2(c.output.contains(outputHas), qPrintable(c.output));
        QCOMPARE(QFileInfo(c.worldFile).fileName(), world);
        QCOMPARE(QFileInfo(c.configurationFile).fileName(), configuration);
        if (!world.isEmpty())
            QVERIFY(QFileInfo(c.worldFile).isAbsolute());
    }

    // A world named by the environment cannot end the program (a desktop
    // entry shows no message on standard error): it is checked for the window.
    void environmentWorld_data()
    {
        QTest::addColumn<QString>("world");
        QTest::addColumn<QString>("problemHas");
        QTest::newRow("unset") << "" << "";
        QTest::newRow("good") << "%dir/world.json" << "";
        QTest::newRow("malformed") << "%dir/bad.json" << "bad.json:3: ";
        QTest::newRow("missing") << "%dir/missing.json" << "missing.json:0: ";
    }
    void environmentWorld()
    {
        QFETCH(QString, world);
        QFETCH(QString, problemHas);
        QTemporaryDir dir;
        writeFiles(dir);
        const QByteArray before = qgetenv("ORVEHV_WORLD");
        qputenv("ORVEHV_WORLD", world.replace(QLatin1String("%dir"), dir.path()).toLocal8Bit());
        const QString problem = environmentWorldProblem();
        qputenv("ORVEHV_WORLD", before);
        if (problemHas.isEmpty())
            QCOMPARE(problem, QString());
        else
            QVERIFY2(problem.contains(problemHas), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
