// The event stream decoder on its own: round trip, every truncation, limits,
// and random garbage (never a crash, a hang or an unchecked allocation).
#include "virtualhw/EventStream.h"

#include <QtTest>

#include <cstring>
#include <random>

using namespace vhw::stream;

namespace {

std::string sampleBatch()
{
    ORVEHV_SYSTEMSTATUS_t st{};
    st.System = 1;
    st.Board[15] = 2;
    Record a;
    a.type = ORVEHV_EVENT_PARAMETER;
    a.handle = 7;
    a.board = 3;
    a.channel = 47;
    a.name = "VMon";
    float f = 1234.5f;
    a.value.assign(reinterpret_cast<const char *>(&f), 4);
    Record b;
    b.type = ORVEHV_EVENT_KEEPALIVE;
    Record c;
    c.type = ORVEHV_EVENT_PARAMETER;
    c.board = -1;
    c.name = std::string(40, 'N');  // cut to 19
    c.value = std::string(2000, 'v'); // cut to 1024
    return encodeBatch(st, {a, b, c});
}

int decode(const std::string &s, std::vector<IDValue_t> *out = nullptr, size_t *used = nullptr,
           ORVEHV_SYSTEMSTATUS_t *status = nullptr)
{
    ORVEHV_SYSTEMSTATUS_t st;
    size_t consumed = 0;
    std::vector<IDValue_t> recs;
    int rc = decodeBatch(reinterpret_cast<const uint8_t *>(s.data()), s.size(), &consumed, &st, &recs);
    if (out)
        *out = recs;
    if (used)
        *used = consumed;
    if (status)
        *status = st;
    return rc;
}

void poke32(std::string &s, size_t at, uint32_t v)
{
    std::memcpy(&s[at], &v, 4);
}

} // namespace

class TestEventStream : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip()
    {
        std::string s = sampleBatch();
        std::vector<IDValue_t> recs;
        size_t used = 0;
        ORVEHV_SYSTEMSTATUS_t st;
        QCOMPARE(decode(s, &recs, &used, &st), ORVEHV_OK);
        QCOMPARE(used, s.size());
        QCOMPARE(st.System, 1);
        QCOMPARE(st.Board[15], 2);
        QCOMPARE(recs.size(), size_t(3));
        QCOMPARE(recs[0].SystemHandle, 7);
        QCOMPARE(recs[0].BoardIndex, 3);
        QCOMPARE(recs[0].ChannelIndex, 47);
        QCOMPARE(QString(recs[0].ItemID), QString("VMon"));
        float f;
        std::memcpy(&f, recs[0].Value, 4);
        QCOMPARE(f, 1234.5f);
        QCOMPARE(recs[1].Type, int(ORVEHV_EVENT_KEEPALIVE));
        QCOMPARE(std::strlen(recs[2].ItemID), size_t(19));
        QCOMPARE(recs[2].Value[1023], 'v');
        // Two batches back to back: the first is taken alone.
        QCOMPARE(decode(s + s, &recs, &used), ORVEHV_OK);
        QCOMPARE(used, s.size());
    }

    void everyTruncationIsIncompleteNeverWrong()
    {
        std::string s = sampleBatch();
        for (size_t n = 0; n < s.size(); ++n)
            QCOMPARE(decode(s.substr(0, n)), ORVEHV_NO_EVENT_DATA);
    }

    void limitsAndLies()
    {
        std::string s = sampleBatch();
        std::string t = s;
        t[0] = 'X';
        QCOMPARE(decode(t.substr(0, 1)), ORVEHV_ERR_BAD_EVENT_DATA); // refused at the first byte
        t = s;
        t[4] = 2; // version
        QCOMPARE(decode(t), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        poke32(t, 8, kMaxRecords + 1);
        QCOMPARE(decode(t.substr(0, 12)), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        poke32(t, 12, 0xFFFFFFF0u); // oversized payload refused before any read
        QCOMPARE(decode(t.substr(0, 16)), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        poke32(t, 12, uint32_t(s.size() - kHeaderSize + 1)); // one byte more than the records take
        QCOMPARE(decode(t + "x"), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        poke32(t, 8, 4); // more records announced than present
        QCOMPARE(decode(t), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        poke32(t, 8, 2); // fewer records announced: bytes left over
        QCOMPARE(decode(t), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        size_t rec0 = kHeaderSize + kStatusSize;
        t[rec0 + 16] = char(kMaxName + 1); // name longer than the item cell
        QCOMPARE(decode(t), ORVEHV_ERR_BAD_EVENT_DATA);
        t = s;
        t[rec0 + 18] = char(0x01); // value length 1025
        t[rec0 + 19] = char(0x04);
        QCOMPARE(decode(t), ORVEHV_ERR_BAD_EVENT_DATA);
        // The checked header bounds the payload by what `count` records can take.
        uint32_t count = 0, len = 0;
        QCOMPARE(checkHeader(reinterpret_cast<const uint8_t *>(s.data()), kHeaderSize, &count, &len), ORVEHV_OK);
        QCOMPARE(count, 3u);
        QVERIFY(len <= kMaxPayload);
    }

    void randomGarbageNeverCrashes()
    {
        std::mt19937 rng(12345);
        std::string base = sampleBatch();
        int outcomes[3] = {0, 0, 0};
        for (int i = 0; i < 20000; ++i) {
            std::string t;
            if (i % 2) {
                // Mutations of a valid batch.
                t = base;
                int flips = 1 + int(rng() % 4);
                for (int k = 0; k < flips; ++k)
                    t[rng() % t.size()] = char(rng());
                t.resize(rng() % (t.size() + 8), '\0');
            } else {
                t.resize(rng() % 64);
                for (char &c : t)
                    c = char(rng());
                if (t.size() >= 4)
                    std::memcpy(&t[0], "OVEB", 4);
            }
            int rc = decode(t);
            QVERIFY(rc == ORVEHV_OK || rc == ORVEHV_NO_EVENT_DATA || rc == ORVEHV_ERR_BAD_EVENT_DATA);
            outcomes[rc == ORVEHV_OK ? 0 : rc == ORVEHV_NO_EVENT_DATA ? 1 : 2]++;
        }
        QVERIFY(outcomes[2] > 0);
    }
};

QTEST_GUILESS_MAIN(TestEventStream)
#include "tst_event_stream.moc"
