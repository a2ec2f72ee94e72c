// The program's command line: what starts, what ends at once and with which code.
#include "app/CommandLine.h"

#include <QTemporaryDir>
#include <QtTest>

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
        for (const char *name : {"world.json", "setup.csc"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
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
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
