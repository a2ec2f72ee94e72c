// The mailbox between an event-data thread and the GUI thread: what the GUI
// thread takes out after a sequence of puts (order, newest value per item,
// barriers, status words; what the value log takes meanwhile:
// tst_log_queue), the
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
// "|" a live insertion, "S2" a status word with System = 2.
void put(EventMailbox &box, const QString &ops)
{
    for (const QString &op : ops.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (op == QLatin1String("|")) {
            box.putBarrier(EventRecord::LiveInsertion);
        } else if (op.startsWith(QLatin1Char('S'))) {
            ORVEHV_SYSTEMSTATUS_t s{};
            s.System = op.mid(1).toInt();
            box.putStatus(s);
        } else {
            const IDValue_t r = valueRecord(qPrintable(op.mid(1)));
            box.putValue(0, op.at(0).unicode() - 'A', QStringLiteral("VMon"), r, false, false);
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
        QTest::addColumn<QString>("taken");
        QTest::newRow("newest value wins") << "A1 B1 A2 A3" << "A3 B1";
        QTest::newRow("barrier stops merging") << "A1 | A2 A3" << "A1 | A3";
        QTest::newRow("status words merge") << "S1 A1 S0 S2" << "S2 A1";
        QTest::newRow("text value") << "Aa_channel_name_of_11 Bx" << "Aa_channel_name_of_11 Bx";
    }
    void takesInOrder()
    {
        QFETCH(QString, ops);
        QFETCH(QString, taken);
        EventMailbox box;
        put(box, ops);
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
        box.putValue(0, 0, QStringLiteral("VMon"), v, true, false);
        box.putValue(0, 1, QStringLiteral("VMon"), v, false, true);
        QThread::msleep(20);
        box.putValue(0, 2, QStringLiteral("VMon"), v, true, false);
        box.putBarrier(EventRecord::LiveInsertion, false, true);
        const qint64 lastPut = box.batchTimeOfPut();  // what the value log stamps
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
        QCOMPARE(lastPut, times[3]);
        QVERIFY(times[2] < taken);
        QCOMPARE(box.batchTimeOfTaken(), qint64(0));
    }

    // One notification until the GUI thread has found the mailbox empty;
    // records put while it hands records out are taken in the same run.
    void notifiesOncePerRun()
    {
        EventMailbox box;
        const IDValue_t v = valueRecord("1");
        QVERIFY(box.putValue(0, 0, QStringLiteral("VMon"), v, true, false));
        QVERIFY(!box.putValue(0, 1, QStringLiteral("VMon"), v, false, true));
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
        box.putValue(3, 7, QStringLiteral("TripInt"), in, true, true);
        EventRecord r;
        QVERIFY(box.take(r));
        const IDValue_t out = r.toIDValue(r.value);
        QCOMPARE(QByteArray(out.Value, sizeof out.Value), QByteArray(in.Value, sizeof in.Value));
        QVERIFY(r.isFirstEv && r.isLastEv);
    }
};

QTEST_GUILESS_MAIN(TestEventMailbox)
#include "tst_event_mailbox.moc"
