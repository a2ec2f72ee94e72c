// How one event batch becomes signals: the first/last flags the receivers
// batch their work by, keep-alives, unknown records, unterminated names.

#include "device/EventDataThread.h"
#include "device/EventRouter.h"
#include "device/QSystemInterface.h"

#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <vector>

namespace {

IDValue_t record(int type, int board = 0, int channel = 0, const char *name = "VMon")
{
    IDValue_t r;
    std::memset(&r, 0, sizeof r);
    r.Type = type;
    r.BoardIndex = board;
    r.ChannelIndex = channel;
    std::strncpy(r.ItemID, name, sizeof r.ItemID);
    return r;
}

struct Flags
{
    bool first, last;
};

} // namespace

class TestEventDispatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { EventRouter::registerEventMetaTypes(); }

    // A record's place, name and value reach the signal, together with the
    // batch's status words; a name filling all 20 bytes (no terminator) is
    // never read past; an empty batch still brings its status.
    void recordAndStatusReachTheSignals()
    {
        EventRouter router;
        QSystemInterface sys(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("a"), 0);
        QSignalSpy status(&router, &EventRouter::systemEvStatus);
        QSignalSpy values(&router, &EventRouter::updateValueAndWidget);
        ORVEHV_SYSTEMSTATUS_t st{};
        st.System = 1;
        st.Board[15] = 2;
        IDValue_t r = record(ORVEHV_EVENT_PARAMETER, 3, 7);
        std::memset(r.ItemID, 'A', sizeof r.ItemID);
        const float v = 123.5f;
        std::memcpy(r.Value, &v, sizeof v);
        EventData::dispatchBatch(&router, &sys, st, &r, 1);
        EventData::dispatchBatch(&router, &sys, ORVEHV_SYSTEMSTATUS_t{}, nullptr, 0);

        QCOMPARE(status.count(), 2);
        const auto gotStatus = status.at(0).at(1).value<ORVEHV_SYSTEMSTATUS_t>();
        QCOMPARE(gotStatus.System, 1);
        QCOMPARE(gotStatus.Board[15], 2);
        QCOMPARE(values.count(), 1);
        const QList<QVariant> a = values.at(0);
        QCOMPARE(a.at(0).value<QSystemInterface *>(), &sys);
        QCOMPARE(a.at(1).toInt(), 3);
        QCOMPARE(a.at(2).toInt(), 7);
        QCOMPARE(a.at(3).toString(), QString(20, QLatin1Char('A')));
        float got;
        std::memcpy(&got, a.at(4).value<IDValue_t>().Value, sizeof got);
        QCOMPARE(got, v);
    }

    // The first flag belongs to the first handled record (keep-alives count
    // as handled), the last flag to the last record that carries the flags:
    // a mainframe's log writer is woken there.
    void flagsAcrossMixedBatch_data()
    {
        QTest::addColumn<QList<int>>("types");
        QTest::addColumn<QList<int>>("expectedFirst"); // per emitted value/insertion signal
        QTest::addColumn<QList<int>>("expectedLast");
        QTest::newRow("single value") << QList<int>{0} << QList<int>{1} << QList<int>{1};
        QTest::newRow("three values") << QList<int>{0, 0, 0} << QList<int>{1, 0, 0} << QList<int>{0, 0, 1};
        QTest::newRow("keep-alive first ends the run")
            << QList<int>{2, 0, 0} << QList<int>{0, 0} << QList<int>{0, 1};
        QTest::newRow("keep-alive mid-batch") << QList<int>{0, 2, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("keep-alive last: the value before it is last")
            << QList<int>{0, 0, 2} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("transparent and unknown last") << QList<int>{1, 0, 3, 9} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("unknown type does not end the run")
            << QList<int>{7, -1, 0, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("live insertion then value") << QList<int>{1, 0} << QList<int>{1, 0} << QList<int>{0, 1};
        QTest::newRow("transparent first ends the run") << QList<int>{3, 0} << QList<int>{0} << QList<int>{1};
    }
    void flagsAcrossMixedBatch()
    {
        QFETCH(QList<int>, types);
        QFETCH(QList<int>, expectedFirst);
        QFETCH(QList<int>, expectedLast);
        EventRouter router;
        QSystemInterface sys(2, 0, QStringLiteral("x"), QStringLiteral("x"), 0);
        QList<Flags> got;
        connect(&router, &EventRouter::updateValueAndWidget, this,
                [&](QSystemInterface *, int, int, QString, IDValue_t, bool f, bool l) { got.append({f, l}); });
        connect(&router, &EventRouter::liveInsertion, this,
                [&](QSystemInterface *, bool f, bool l) { got.append({f, l}); });
        QSignalSpy transparent(&router, &EventRouter::TransparentMode);
        std::vector<IDValue_t> records;
        for (int t : types)
            records.push_back(record(t));
        EventData::dispatchBatch(&router, &sys, ORVEHV_SYSTEMSTATUS_t{}, records.data(), unsigned(records.size()));
        QCOMPARE(got.size(), expectedFirst.size());
        for (int i = 0; i < got.size(); ++i) {
            QCOMPARE(int(got.at(i).first), expectedFirst.at(i));
            QCOMPARE(int(got.at(i).last), expectedLast.at(i));
        }
        QCOMPARE(transparent.count(), int(types.count(3)));
    }
};

QTEST_MAIN(TestEventDispatch)
#include "tst_event_dispatch.moc"
