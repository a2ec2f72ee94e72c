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
    const float f = 1234.5f;
    const Record a{ORVEHV_EVENT_PARAMETER, 7, 3, 47, "VMon", std::string(reinterpret_cast<const char *>(&f), 4)};
    const Record b{ORVEHV_EVENT_KEEPALIVE};
    // Name and value cut to 19 and 1024 bytes.
    const Record c{ORVEHV_EVENT_PARAMETER, 0, -1, -1, std::string(40, 'N'), std::string(2000, 'v')};
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

// A copy of the batch with `bytes` written at `at`.
std::string poked(std::string s, size_t at, const std::string &bytes)
{
    return s.replace(at, bytes.size(), bytes);
}

std::string poked32(const std::string &s, size_t at, uint32_t v)
{
    return poked(s, at, std::string(reinterpret_cast<const char *>(&v), 4));
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
        const std::string s = sampleBatch();
        const int bad = ORVEHV_ERR_BAD_EVENT_DATA;
        QCOMPARE(decode(poked(s, 0, "X").substr(0, 1)), bad); // refused at the first byte
        QCOMPARE(decode(poked(s, 4, "\x02")), bad);           // version
        QCOMPARE(decode(poked32(s, 8, kMaxRecords + 1).substr(0, 12)), bad);
        QCOMPARE(decode(poked32(s, 12, 0xFFFFFFF0u).substr(0, 16)), bad); // oversized payload refused before any read
        // One byte more than the records take.
        QCOMPARE(decode(poked32(s, 12, uint32_t(s.size() - kHeaderSize + 1)) + "x"), bad);
        QCOMPARE(decode(poked32(s, 8, 4)), bad); // more records announced than present
        QCOMPARE(decode(poked32(s, 8, 2)), bad); // fewer records announced: bytes left over
        const size_t rec0 = kHeaderSize + kStatusSize;
        QCOMPARE(decode(poked(s, rec0 + 16, std::string(1, char(kMaxName + 1)))), bad); // name longer than the cell
        QCOMPARE(decode(poked(s, rec0 + 18, "\x01\x04")), bad);                          // value length 1025
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
