// The script language without a system: actions, channel lists, the check,
// and script files.
#include "script/ScriptFile.h"
#include "script/ScriptLanguage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace script;

class TestScriptLanguage : public QObject
{
    Q_OBJECT
private slots:
    void channelListStatus_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("status");
        QTest::newRow("all") << "*" << 0;
        QTest::newRow("every board") << "*{2,5}" << 1;
        QTest::newRow("groups") << "0{0,1}:4{7}" << 1;
        QTest::newRow("whole board") << "2{*}" << 1;
        QTest::newRow("empty pieces between colons") << ":0{1}::3{*}:" << 1;
        QTest::newRow("nothing") << "" << -2;
        QTest::newRow("empty braces") << "0{}" << -2;
        QTest::newRow("every board, empty braces") << "*{}" << -2;
        QTest::newRow("star and more in braces") << "0{*,1}" << -2;
        QTest::newRow("only colons") << "::" << -2;
        QTest::newRow("bad channel") << "0{a}" << -4;
        QTest::newRow("negative channel") << "0{-1}" << -4;
        QTest::newRow("every board, bad channel") << "*{1,x}" << -4;
        QTest::newRow("bad board") << "x{1}" << -3;
        QTest::newRow("signed board") << "+1{1}" << -3;
        QTest::newRow("no closing brace") << "0{1" << -6;
        QTest::newRow("every board, no closing brace") << "*{1" << -6;
        QTest::newRow("bare board") << "0" << -5;
        QTest::newRow("star then text") << "*x" << -5;
        // indices that do not fit an int are no indices
        QTest::newRow("huge board") << "99999999999{1}" << -3;
        QTest::newRow("channel beyond 32 bits") << "0{4294967296}" << -4;
        QTest::newRow("largest int") << "2147483647{2147483647}" << 1;
        QTest::newRow("just above int") << "2147483648{1}" << -3;
    }

    void channelListStatus()
    {
        QFETCH(QString, list);
        QFETCH(int, status);
        QCOMPARE(parseChannelList(list).status, status);
    }

    void channelListContents()
    {
        const ChannelList every = parseChannelList("*{2,5}");
        QVERIFY(every.everyBoard);
        QCOMPARE(every.groups.size(), 1);
        QCOMPARE(every.groups.first().channels, (QVector<int>{2, 5}));
        // Board groups are checked by their effect on the device in
        // tst_script_run::exampleScriptSetsAndPowers.
    }

    void actions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("parameter");
        QTest::newRow("set") << "set VSet * 100" << 0 << "VSet";
        QTest::newRow("set over lines") << "\n  set\tPw\n0{0,1}:3{*}   1 " << 0 << "Pw";
        QTest::newRow("upper-case keyword") << "SET VSet * 100" << 1 << "";
        QTest::newRow("keyword inside a word") << "reset VSet * 100" << 1 << "";
        QTest::newRow("bad channel list") << "set VSet 0{a} 100" << -4 << "VSet";
        QTest::newRow("too few") << "set VSet *" << 2 << "";
        QTest::newRow("too many") << "set VSet * 100 200" << 2 << "";
        QTest::newRow("wait") << "wait 2000" << 0 << "";
        QTest::newRow("wait zero") << "wait 0" << 0 << "";
        QTest::newRow("wait fraction") << "wait 1.5" << 1 << "";
        QTest::newRow("wait negative") << "wait -5" << 1 << "";
        QTest::newRow("wait beyond int") << "wait 2147483648" << 1 << "";
        QTest::newRow("wait without number") << "wait" << 2 << "";
        QTest::newRow("upper-case wait") << "WAIT 10" << 1 << "";
        QTest::newRow("empty") << "   " << 1 << "";
    }

    void actions()
    {
        QFETCH(QString, action);
        QFETCH(int, result);
        QFETCH(QString, parameter);
        QString p;
        QCOMPARE(parseAction(action, &p), result);
        QCOMPARE(p, parameter);
    }

    void splitting()
    {
        // the last action needs no ";", and what follows the last ";" on its
        // own lines is no action
        const QStringList a = splitActions("set VSet * 100;\nwait 2000;;\nset Pw * 1;\nwait 5\n");
        QCOMPARE(a.size(), 4);
        QCOMPARE(tokens(a.at(3)), (QStringList{"wait", "5"}));
        QCOMPARE(splitActions("set VSet * 100;\n\n  \n").size(), 1);
        QCOMPARE(checkScript({}), -1);
        QCOMPARE(describeChannels("*{1}:2{*}"), QString("ALL{1}:2{ALL}"));
        // the check stops at the first bad action
        int steps = 0;
        QCOMPARE(checkScript({"wait 1", "SET VSet * 100", "wait x"}, [&] { ++steps; }), 2);
        QCOMPARE(steps, 2);
    }

    void decodeFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("actions");
        // (Actions over several lines: tst_script_run::loadAndSave.)
        QTest::newRow("empty") << QByteArray() << true << QStringList{};
        QTest::newRow("bad action") << QByteArray("set VSet * 100;SET Pw * 1;") << false << QStringList{};
        QTest::newRow("huge board index") << QByteArray("set VSet 99999999999{1} 5;") << false << QStringList{};
        QTest::newRow("binary") << QByteArray("set VSet * 1\0\x01\x02;", 16) << false << QStringList{};
        QTest::newRow("not UTF-8") << QByteArray("set VSet * \xe9t\xe9;") << false << QStringList{};
        QTest::newRow("UTF-8 value") << QByteArray("set Name 0{0} \xc3\xa9t\xc3\xa9;") << true
                                     << QStringList{QString::fromUtf8("set Name 0{0} \xc3\xa9t\xc3\xa9")};
    }

    void decodeFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ok);
        QFETCH(QStringList, actions);
        QStringList got;
        QString error;
        QCOMPARE(decodeScript(bytes, &got, &error), ok);
        QCOMPARE(got, actions);
        QCOMPARE(error.isEmpty(), ok);
    }

    void saveReplacesAtomically()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ramp.cas");
        QString error;
        QVERIFY(writeScriptFile(path, "set VSet * 100;\nwait 10;", &error));
        QVERIFY(writeScriptFile(path, "wait 1;", &error));
        QByteArray bytes;
        QVERIFY(readScriptFile(path, &bytes, &error));
        QCOMPARE(bytes, QByteArray("wait 1;"));

        // a directory that cannot take the temporary file: the old file stays
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool refused = !writeScriptFile(path, "set Pw * 1;", &error);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!refused)
            QSKIP("running with rights that ignore directory permissions");
        QVERIFY(!error.isEmpty());
        QVERIFY(readScriptFile(path, &bytes, &error));
        QCOMPARE(bytes, QByteArray("wait 1;"));
    }

    void oversizedFileRefused()
    {
        QTemporaryDir dir;
        QByteArray bytes;
        QString error;
        QFile big(dir.filePath("big.cas"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(50 * 1024 * 1024));
        big.close();
        QVERIFY(!readScriptFile(big.fileName(), &bytes, &error));
        QVERIFY(error.contains("larger"));
        QVERIFY(bytes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestScriptLanguage)
#include "tst_script_language.moc"
