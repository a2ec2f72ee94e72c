// The mailbox between an event-data thread and the GUI thread: what the GUI
// thread takes out after a sequence of puts (order, newest value per item,
// every value in arrival order for the log, barriers, status words), the
// arrival time of each record's batch, when it is told, and that value areas
// survive the trip unchanged (that each reaches its own item:
// tst_event_types).

#include "device/EventMailbox.h"

#include <QTest>
#include <QThread>

#include <cstring>

namespace {

IDValue_t valueRecord(const char *text)
{
    IDValue_t r;
    std::memset(&r, 0, sizeof r);
    std::strncpy(r.Value, text, sizeof r.Value - 1);
    return r;
}

// Ops: "A1" puts value "1" for item A (channel 0; B is channel 1 ...),
// "|" a live insertion, "S2" a status word with System = 2, "log" and
// "nolog" switch the value log on and off for the puts that follow.
void put(EventMailbox &box, const QString &ops, bool logOn)
{
    for (const QString &op : ops.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (op == QLatin1String("log") || op == QLatin1String("nolog")) {
            logOn = op == QLatin1String("log");
        } else if (op == QLatin1String("|")) {
            box.putBarrier(EventRecord::LiveInsertion);
        } else if (op.startsWith(QLatin1Char('S'))) {
            ORVEHV_SYSTEMSTATUS_t s{};
            s.System = op.mid(1).toInt();
            box.putStatus(s);
        } else {
            const IDValue_t r = valueRecord(qPrintable(op.mid(1)));
            box.putValue(0, op.at(0).unicode() - 'A', QStringLiteral("VMon"), r, false, false, logOn);
        }
    }
}

// What take() hands out, in the same notation.
QString takeAll(EventMailbox &box)
{
    QStringList out;
    EventRecord r;
    while (box.take(r)) {
        if (r.kind == EventRecord::LiveInsertion) {
            out << QStringLiteral("|");
        } else if (r.kind == EventRecord::Status) {
            out << QStringLiteral("S%1").arg(r.toStatus().System);
        } else {
            out << QChar('A' + r.channel) + QString::fromLatin1(r.toIDValue(r.value).Value);
        }
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

class TestEventMailbox : public QObject
{
    Q_OBJECT
private slots:
    void takesInOrder_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<bool>("logOn");
        QTest::addColumn<QString>("taken");
        QTest::newRow("newest value wins") << "A1 B1 A2 A3" << false << "A3 B1";
        // The log is the record of which channel changed first.
        QTest::newRow("log on keeps arrival order") << "A1 B1 A2 A3" << true << "A1 B1 A2 A3";
        QTest::newRow("barrier stops merging") << "A1 | A2 A3" << false << "A1 | A3";
        QTest::newRow("barrier with log on") << "A1 A2 | A3 B4 A5" << true << "A1 A2 | A3 B4 A5";
        QTest::newRow("log off again merges into the newest") << "A1 B1 A2 nolog A3" << true << "A1 B1 A3";
        QTest::newRow("log switched on keeps what follows") << "A1 B1 log A2 B2" << false << "A1 B1 A2 B2";
        QTest::newRow("status words merge with log on") << "S1 A1 S0 S2" << true << "S2 A1";
        QTest::newRow("text value") << "Aa_channel_name_of_11 Bx" << false << "Aa_channel_name_of_11 Bx";
    }
    void takesInOrder()
    {
        QFETCH(QString, ops);
        QFETCH(bool, logOn);
        QFETCH(QString, taken);
        EventMailbox box;
        put(box, ops, logOn);
        QCOMPARE(box.waiting(), taken.count(QLatin1Char(' ')) + 1);
        QCOMPARE(takeAll(box), taken);
        QCOMPARE(box.waiting(), 0);
    }

    // Each record carries the arrival time of its event batch, also when the
    // GUI thread takes it much later; the time is gone once the mailbox ran
    // empty.
    void batchArrivalTimes()
    {
        EventMailbox box;
        const IDValue_t v = valueRecord("1");
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        box.putValue(0, 0, QStringLiteral("VMon"), v, true, false, true);
        box.putValue(0, 1, QStringLiteral("VMon"), v, false, true, true);
        QThread::msleep(20);
        box.putValue(0, 0, QStringLiteral("VMon"), v, true, false, true);
        box.putBarrier(EventRecord::LiveInsertion, false, true);
        QThread::msleep(20);
        const qint64 taken = QDateTime::currentMSecsSinceEpoch();
        QList<qint64> times;
        EventRecord r;
        while (box.take(r)) {
            QCOMPARE(box.batchTimeOfTaken(), r.batchTime);
            times << r.batchTime;
        }
        QCOMPARE(times.size(), 4);
        QVERIFY(times[0] >= before && times[0] < taken);
        QCOMPARE(times[1], times[0]);            // same batch
        QVERIFY(times[2] >= times[0] + 20);      // the next batch
        QCOMPARE(times[3], times[2]);            // a barrier inside that batch
        QVERIFY(times[2] < taken);
        QCOMPARE(box.batchTimeOfTaken(), qint64(0));
    }

    // One notification until the GUI thread has found the mailbox empty;
    // records put while it hands records out are taken in the same run.
    void notifiesOncePerRun()
    {
        EventMailbox box;
        const IDValue_t v = valueRecord("1");
        QVERIFY(box.putValue(0, 0, QStringLiteral("VMon"), v, true, false, false));
        QVERIFY(!box.putValue(0, 1, QStringLiteral("VMon"), v, false, true, false));
        EventRecord r;
        QVERIFY(box.take(r));
        QVERIFY(!box.putBarrier(EventRecord::Transparent));
        QVERIFY(box.take(r));
        QVERIFY(box.take(r));
        QCOMPARE(r.kind, EventRecord::Transparent);
        QVERIFY(!box.take(r));
        QVERIFY(box.putStatus(ORVEHV_SYSTEMSTATUS_t{}));
    }

    // Numbers are raw bytes (zeros inside): the value area comes back as sent.
    void numberBytesSurvive()
    {
        IDValue_t in;
        std::memset(&in, 0, sizeof in);
        const float volts = 1234.5f;
        const int32_t bits = 0x00010000;
        std::memcpy(in.Value, &volts, sizeof volts);
        std::memcpy(in.Value + 4, &bits, sizeof bits);
        EventMailbox box;
        box.putValue(3, 7, QStringLiteral("TripInt"), in, true, true, false);
        EventRecord r;
        QVERIFY(box.take(r));
        const IDValue_t out = r.toIDValue(r.value);
        QCOMPARE(QByteArray(out.Value, sizeof out.Value), QByteArray(in.Value, sizeof in.Value));
        QVERIFY(r.isFirstEv && r.isLastEv);
    }
};

QTEST_GUILESS_MAIN(TestEventMailbox)
#include "tst_event_mailbox.moc"
