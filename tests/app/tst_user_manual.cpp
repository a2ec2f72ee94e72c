// Help > User Manual: the PDF the build prints, where the program finds it,
// and what the operator is told when there is none or it cannot be shown.
#include "app/UserManual.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool putManual(const QString &folder)
{
    QDir().mkpath(folder);
    QFile f(QDir(folder).filePath(UserManual::fileName()));
    return f.open(QIODevice::WriteOnly) && f.write("%PDF-1.4\n") > 0;
}

} // namespace

class TstUserManual : public QObject
{
    Q_OBJECT
private slots:
    // The build prints the manual into the build tree, where a program run
    // from there finds it: a PDF of A4 pages with its pictures.
    void builtManualIsFoundInTheBuildTree()
    {
        const QString path = UserManual::find(UserManual::places(QCoreApplication::applicationDirPath()));
        QVERIFY2(!path.isEmpty(), "no manual found: build the 'manual' target");
        QVERIFY(path.endsWith(QLatin1Char('/') + UserManual::fileName()));
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray data = pdf.readAll();
        QVERIFY(data.startsWith("%PDF-"));
        QVERIFY2(data.size() > 500 * 1024, "the pictures are missing");
        const QString text = QString::fromLatin1(data);
        const int pages = text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b")));
        QVERIFY2(pages >= 20, qPrintable(QStringLiteral("%1 pages").arg(pages)));
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("/MediaBox \\[0 0 595(\\.0*)? 842(\\.0*)?\\]"))), pages);
    }

    // Working folder, beside the program, the installation's documentation
    // folder (relative to the program), in that order; nothing found: empty.
    void lookupOrder_data()
    {
        QTest::addColumn<QStringList>("present"); // folders below the temporary root holding a manual
        QTest::addColumn<QString>("expected");    // folder of the one found, empty: none
        QTest::newRow("installed") << QStringList{"share/doc/kebodesk"} << "share/doc/kebodesk";
        QTest::newRow("beside the program") << QStringList{"bin", "share/doc/kebodesk"} << "bin";
        QTest::newRow("working folder first") << QStringList{"work", "bin"} << "work";
        QTest::newRow("none") << QStringList{"elsewhere"} << "";
    }
    void lookupOrder()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("work"));
        for (const QString &folder : present)
            QVERIFY(putManual(root.filePath(folder)));
        QStringList places = UserManual::places(root.filePath(QStringLiteral("bin")));
        places.first() = root.filePath(QStringLiteral("work"));   // instead of this test's working folder
        places.removeLast();                                       // not the build tree
        const QString found = UserManual::find(places);
        QCOMPARE(found, expected.isEmpty() ? QString()
                                           : QDir(root.filePath(expected)).filePath(UserManual::fileName()));
    }

    void operatorIsTold_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("text");        // empty: nothing to say
        QTest::addColumn<QString>("detailHas");
        QTest::newRow("opened") << true << true << "" << "";
        QTest::newRow("none") << false << false
                              << "Unable to find ORVE\nKEBODESK User Manual,\nplease open it from\nthe KEBODESK folder."
                              << "was looked for in:\n%dir";
        QTest::newRow("no viewer") << true << false << "The KEBODESK User Manual could not be shown."
                                   << "%dir/" + UserManual::fileName();
    }
    void operatorIsTold()
    {
        QFETCH(bool, present);
        QFETCH(bool, opens);
        QFETCH(QString, text);
        QFETCH(QString, detailHas);
        QTemporaryDir dir;
        if (present)
            QVERIFY(putManual(dir.path()));
        QList<QUrl> asked;
        const OperatorMessage m = UserManual::open({dir.path()}, [&](const QUrl &url) {
            asked << url;
            return opens;
        });
        QCOMPARE(m.text, text);
        QVERIFY2(m.informativeText.contains(QString(detailHas).replace(QStringLiteral("%dir"), dir.path())),
                 qPrintable(m.informativeText));
        QCOMPARE(asked.size(), present ? 1 : 0);
        if (present)
            QCOMPARE(asked.first().toLocalFile(), QDir(dir.path()).filePath(UserManual::fileName()));
    }
};

QTEST_GUILESS_MAIN(TstUserManual)
#include "tst_user_manual.moc"
