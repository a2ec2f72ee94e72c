// Snapshot files: written whole, read back equal, and anything else refused
// with a message while the store stays as it was.
#include "SnapshotTestSupport.h"
#include "snapshot/SnapshotCompare.h"
#include "snapshot/SnapshotJson.h"
#include "snapshot/SnapshotStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace snapshot;

namespace {

// A small valid file with one system, one board, one channel.
QJsonObject validFile()
{
    const QJsonObject channel{{"channel", 0},
                              {"setpoints", QJsonObject{{"VSet", 100.5}, {"Pw", true}, {"Name", "ch0"}}},
                              {"readback", QJsonObject{{"VMon", 100.4}, {"IMon", 2.5}, {"Status", 1}}}};
    const QJsonObject board{{"slot", 3}, {"model", "A1520"}, {"serial", 1001}, {"setpoints", QJsonObject{}},
                            {"channels", QJsonArray{channel}}};
    const QJsonObject system{{"name", "MF3300"}, {"type", 2}, {"link", 0}, {"argument", "192.0.2.10"},
                             {"slots", 16}, {"setpoints", QJsonObject{{"HVFanSpeed", 1}}}, {"boards", QJsonArray{board}}};
    return {{"format", "kebodesk-snapshot"}, {"schema", 1}, {"id", "20261207-090000-000-abcd"},
            {"taken", "2026-12-07T09:00:00.000Z"}, {"comment", "before the run"}, {"systems", QJsonArray{system}}};
}

// Replaces the value at a path of keys and indexes ("systems/0/boards/0/slot").
QJsonValue edited(const QJsonValue &at, QStringList path, const QJsonValue &value)
{
    if (path.isEmpty())
        return value;
    const QString key = path.takeFirst();
    if (at.isArray()) {
        QJsonArray a = at.toArray();
        a[key.toInt()] = edited(a[key.toInt()], path, value);
        return a;
    }
    QJsonObject o = at.toObject();
    o[key] = edited(o[key], path, value);
    return o;
}

QByteArray withEdit(const QString &path, const QJsonValue &value)
{
    return QJsonDocument(edited(validFile(), path.split('/'), value).toObject()).toJson();
}

} // namespace

class tst_snapshot_file : public QObject
{
    Q_OBJECT
private slots:
    void validFileIsRead()
    {
        Snapshot s;
        QString error;
        QVERIFY2(fromJson(QJsonDocument(validFile()).toJson(), &s, &error), qPrintable(error));
        QCOMPARE(s.systems.size(), 1);
        QCOMPARE(s.systems[0].boards[0].serial, 1001u);
        const Setpoints &sp = s.systems[0].boards[0].channels[0].setpoints;
        QCOMPARE(findSetpoint(sp, "Pw")->value.typeId(), int(QMetaType::Bool));
        QCOMPARE(findSetpoint(sp, "Name")->value.toString(), QStringLiteral("ch0"));
        QCOMPARE(s.systems[0].boards[0].channels[0].readback.vmon, 100.4);
    }

    void liveSnapshotSurvivesTheStore()
    {
        auto sys = snapshot_test::freshMainframe();
        QVERIFY(sys);
        QTemporaryDir dir;
        const SnapshotStore store(dir.path());
        const Snapshot taken = capture({sys->node}, QStringLiteral("é – comment"));
        QString error;
        QVERIFY2(store.save(taken, &error), qPrintable(error));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).size() == 1);  // no temporary left beside it

        Snapshot back;
        QVERIFY2(store.load(taken.id, &back, &error), qPrintable(error));
        QVERIFY(compare(taken, back).isEmpty());
        QCOMPARE(back.comment, taken.comment);
        QCOMPARE(back.taken, taken.taken);
        QCOMPARE(back.channelCount(), 96);
        QCOMPARE(back.systems[0].boards[0].channels[0].readback.vmon, taken.systems[0].boards[0].channels[0].readback.vmon);

        const QList<SnapshotStore::Entry> list = SnapshotStore(dir.path()).list();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].systemNames, QStringList{QStringLiteral("MF3300")});
    }

    void hostileFileIsRefused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("message");
        QTest::newRow("not JSON") << QByteArray("{\"format\": ") << "not valid JSON";
        QTest::newRow("a list") << QByteArray("[1, 2]") << "not a KEBODESK snapshot";
        QTest::newRow("other format") << withEdit("format", "something") << "not a KEBODESK snapshot";
        QTest::newRow("newer schema") << withEdit("schema", 2) << "newer";
        QTest::newRow("schema as text") << withEdit("schema", "1") << "file.schema: a number";
        QTest::newRow("systems as object") << withEdit("systems", QJsonObject{}) << "file.systems: a list";
        QTest::newRow("type as text") << withEdit("systems/0/type", "2") << "systems[0].type";
        QTest::newRow("negative serial") << withEdit("systems/0/boards/0/serial", -1) << "systems[0].boards[0].serial";
        QTest::newRow("fractional slot") << withEdit("systems/0/boards/0/slot", 1.5) << "whole number";
        QTest::newRow("absurd slot") << withEdit("systems/0/boards/0/slot", 1e9) << "systems[0].boards[0].slot";
        QTest::newRow("value as list") << withEdit("systems/0/boards/0/channels/0/setpoints/VSet", QJsonArray{1})
                                       << "setpoints.VSet: a number, on/off or text";
        QTest::newRow("value as null") << withEdit("systems/0/setpoints/HVFanSpeed", QJsonValue()) << "HVFanSpeed";
        QTest::newRow("readback text") << withEdit("systems/0/boards/0/channels/0/readback/VMon", "100") << "VMon";
        QTest::newRow("bad time") << withEdit("taken", "yesterday") << "file.taken";
        QTest::newRow("id with path") << withEdit("id", "../../etc/x") << "file.id";
        QTest::newRow("long model") << withEdit("systems/0/boards/0/model", QString(100, 'x')) << "longer than";

        QJsonArray boards;
        for (int i = 0; i < 300; ++i)
            boards.append(QJsonObject{{"slot", i}});
        QTest::newRow("absurd board count") << withEdit("systems/0/boards", boards) << "300 entries";
        QJsonArray channels;
        for (int i = 0; i < 2000; ++i)
            channels.append(i);
        QTest::newRow("absurd channel count") << withEdit("systems/0/boards/0/channels", channels) << "2000 entries";
        QJsonObject many;
        for (int i = 0; i < 100; ++i)
            many.insert(QStringLiteral("P%1").arg(i), i);
        QTest::newRow("absurd value count") << withEdit("systems/0/setpoints", many) << "100 values";
        QJsonArray twice{validFile()["systems"][0]["boards"][0], validFile()["systems"][0]["boards"][0]};
        QTest::newRow("slot twice") << withEdit("systems/0/boards", twice) << "slot 3 appears twice";
    }

    void hostileFileIsRefused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("import.json"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(json);
        f.close();

        const SnapshotStore store(dir.filePath(QStringLiteral("store")));
        QString id = QStringLiteral("unchanged"), error;
        QVERIFY(!store.importFile(path, &id, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(id, QStringLiteral("unchanged"));
        QVERIFY(store.list().isEmpty());
    }

    void fiftyMegabytesAreRefusedUnread()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.json"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(50LL * 1024 * 1024));
        f.close();
        QString error;
        QVERIFY(!loadFile(path, nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("50 MB")) && error.contains(QLatin1String("at most 16 MB")), qPrintable(error));
        QVERIFY(!fromJson(QByteArray(50 * 1024 * 1024, ' '), nullptr, &error));
        QVERIFY2(error.contains(QLatin1String("50 MB")), qPrintable(error));
    }

    void unreadableStoreFileIsNamedNotFatal()
    {
        QTemporaryDir dir;
        const SnapshotStore store(dir.path());
        Snapshot s;
        QVERIFY(fromJson(QJsonDocument(validFile()).toJson(), &s, nullptr));
        QString error;
        QVERIFY(store.save(s, &error));
        QFile bad(dir.filePath(QStringLiteral("broken.json")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("{");
        bad.close();
        QStringList problems;
        QCOMPARE(store.list(&problems).size(), 1);
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems[0].contains(QLatin1String("not valid JSON")));
    }
};

QTEST_MAIN(tst_snapshot_file)
#include "tst_snapshot_file.moc"
