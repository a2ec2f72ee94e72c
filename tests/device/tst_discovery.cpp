// Discovery, reads and writes against the virtual hardware: the tree of the
// default systems, crate maps with empty slots, the channel parameter order,
// metadata and unit texts, refused writes, failing reads, the crate map
// refresh, and the list walkers that must never run past a library list.

#include "device/Discovery.h"
#include "device/ORVEHVMirrorNode.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "device/ParameterAccess.h"
#include "device/ValueText.h"

#include "ORVEHVWrapper.h"
#include "tests/views/ViewsTestSupport.h"
#include "virtualhw/VirtualControl.h"

#include <QtTest>
#include <cstring>

using namespace views_test;

namespace {

QString nameOf(const ORVEHVNode *n) { return n->name(); }
QString nameOf(const ORVEHVNodeProperty &p) { return p.name(); }

// The names of a node's parameters or properties, in order.
template <typename List>
QStringList namesOf(const List &list)
{
    QStringList out;
    for (const auto &e : list)
        out.append(nameOf(e));
    return out;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:

    void init()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        QVERIFY(vhw::resetWorld());
        vhw::clearFaults();
    }

    void mainframeTree()
    {
        auto s = mainframe();
        QVERIFY(s);
        ORVEHVNode *sys = s->node;
        QCOMPARE(sys->children().size(), 16);
        // The channel counts and the "Name" values: tst_channel_table.
        const int boardSlots[] = {0, 1, 3, 8};
        int boards = 0;
        for (int i = 0; i < 16; ++i) {
            ORVEHVNode *slot = sys->children()[i];
            if (boards < 4 && boardSlots[boards] == i) {
                QCOMPARE(slot->kind(), int(KindBoard));
                QCOMPARE(slot->name(), QString::asprintf("Board%02d", i));
                QCOMPARE(slot->visualIndex(), boards);
                ++boards;
            } else {
                QCOMPARE(slot->kind(), int(KindContainer));
                QVERIFY(slot->children().isEmpty());
            }
        }
        ORVEHVNode *ch = sys->children()[0]->children()[1];
        QCOMPARE(ch->name(), QStringLiteral("Chan001"));
        QVERIFY(!ch->parameter(QStringLiteral("Name"))->isLogged()); // mainframes log what the operator picks
        for (ORVEHVNode *p : sys->parameters())
            QVERIFY2(!p->isLogged(), qPrintable(p->name()));
        // Every value of the tree was read without a failure.
        for (ORVEHVNode *b : sys->children())
            for (ORVEHVNode *c : b->children())
                for (ORVEHVNode *p : c->parameters())
                    QVERIFY2(p->value().status == 0, qPrintable(p->name()));
    }

    void crateWithEmptySlotBetween()
    {
        QVERIFY(vhw::loadWorldJson(R"({ "systems": [ { "type": 13, "link": 0, "argument": "192.0.2.99",
            "slots": 3, "boards": [ { "slot": 0, "model": "S2104" }, { "slot": 2, "model": "S2104" } ] } ] })"));
        auto s = connectSystem(13, 0, "192.0.2.99");
        QVERIFY(s);
        const auto &kids = s->node->children();
        QCOMPARE(kids.size(), 3);
        QCOMPARE(kids[1]->kind(), int(KindContainer));
        QCOMPARE(kids[1]->name(), QStringLiteral("ORVE")); // empty name
        QCOMPARE(kids[2]->visualIndex(), 1); // boards are counted, empty slots not
        QCOMPARE(kids[2]->children().size(), 4);
        // Not a mainframe: no "Name" parameter, values logged by default.
        ORVEHVNode *ch = kids[2]->children()[0];
        QVERIFY(!ch->parameter(QStringLiteral("Name")));
        QVERIFY(ch->parameter(QStringLiteral("VSet"))->isLogged());
        // Every node discovery made, system properties and board parameters too.
        QVERIFY(!s->node->parameters().isEmpty());
        for (ORVEHVNode *p : s->node->parameters())
            QVERIFY2(p->isLogged(), qPrintable(p->name()));
        for (ORVEHVNode *p : kids[2]->parameters())
            QVERIFY2(p->isLogged(), qPrintable(p->name()));
    }

    void propertiesMetadataAndConnectionItems()
    {
        auto s = mainframe();
        ORVEHVNode *sys = s->node;
        QCOMPARE(sys->parameter(QStringLiteral("PWVoltage"))->value().value.toFloat(), 48.2f);
        // Library order kept, connection items last.
        const QStringList names = namesOf(sys->parameters());
        QCOMPARE(names.first(), QStringLiteral("Sessions"));
        QCOMPARE(names.mid(names.size() - 2), QStringList({"ConnStat", "NrOfSlot"}));
        ORVEHVNode *conn = sys->parameter(QStringLiteral("ConnStat"));
        QCOMPARE(conn->kind(), int(KindConnectionItem));
        QCOMPARE(conn->value().value.toString(), QStringLiteral("Connection Ok"));

        // Metadata of channel and board parameters.
        ORVEHVNode *iset = s->param(0, 0, "ISet");
        QCOMPARE(namesOf(iset->properties()), QStringList({"Minval", "Maxval", "Unit", "Exp", "Decimal"}));
        // The channels of a board keep one copy of the same metadata.
        QVERIFY(iset->properties().isSharedWith(s->param(0, 1, "ISet")->properties()));
        // Board parameter: degrees.
        ORVEHVNode *temp = s->node->children()[0]->parameter(QStringLiteral("Temp"));
        QCOMPARE(temp->unitText(), QString(QStringLiteral(" ")) + QChar(0xB0) + QLatin1Char('C'));
        // "+" / "-" become "POS" / "NEG" on channels only; a failing read keeps nothing.
        QVERIFY(readParameterMetadata(KindBoardParameter, s->handle, 0, 0, QStringLiteral("Pol"), 1).isEmpty());
        // Board enumeration with all ten cells used.
        ORVEHVNode *avg = s->node->children()[3]->parameter(QStringLiteral("AvgFilter"));
        QCOMPARE(avg->propertyValue(QStringLiteral("Enum")).toStringList().size(), 10);
        QCOMPARE(enumText(avg, int(avg->value().value.toInt())), QStringLiteral("8"));

        // The B8181 event socket is no property to show: reading it would open
        // the event connection before anything is subscribed.
        auto rack = connectSystem(16, 0, "192.0.2.20", "admin", "admin");
        QVERIFY(rack && rack->node->parameter(QStringLiteral("HighFreq")));
        QVERIFY(!rack->node->parameter(QStringLiteral("EventDataSocket")));
        QVERIFY(!vhw::hasEventConnection(rack->id));

        const QList<ORVEHVNode *> pending = readConnectionItems(ConnectionPending, 4);
        QCOMPARE(pending.size(), 1);
        QCOMPARE(pending[0]->value().value.toString(), QStringLiteral("Connection Pending"));
        qDeleteAll(pending);
    }

    // What discovery makes of the library's metadata: the cell text with its
    // unit, and the limits tool tip (only where a limit is 0).
    void shownTextsAndToolTips_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("numeric") << 0 << 0 << "VSet" << "1000.0  V" << "Minval : 0\nMaxval : 2000";
        QTest::newRow("micro") << 0 << 0 << "ISet" << "250.00 uA" << "Minval : 0\nMaxval : 1000";
        QTest::newRow("no zero limit") << 0 << 0 << "RUp" << "50  Vps" << "";
        QTest::newRow("bit field") << 8 << 0 << "TripInt" << "0x 00000000" << "Minval : 00000000\nMaxval : 00000FFF";
        QTest::newRow("polarity +") << 0 << 0 << "Pol" << "POS " << "";
        QTest::newRow("polarity -") << 1 << 0 << "Pol" << "NEG " << "";
        QTest::newRow("off") << 1 << 0 << "Pw" << "Off " << "";
        QTest::newRow("enumeration") << 0 << 0 << "PDwn" << "Ramp  " << "Minval : Kill\nMaxval : Ramp";
        QTest::newRow("status") << 0 << 0 << "Status" << " " << "";
    }

    void shownTextsAndToolTips()
    {
        QFETCH(int, slot);
        QFETCH(int, channel);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        auto s = mainframe();
        ORVEHVNode *node = s->param(slot, channel, name);
        QCOMPARE(node->text(), text);
        QCOMPARE(node->toolTip(), toolTip);
        QCOMPARE(node->mirror()->toolTip(), toolTip);
    }

    void faultyStatusReported()
    {
        const int sys = vhw::findSystem("192.0.2.10");
        // A short circuit on a powered channel trips it.
        QCOMPARE(vhw::setChannelLoad(sys, 0, 5, 0), ORVEHV_OK);
        vhw::advanceTime(30);
        const int word = int(vhw::channelParamValue(sys, 0, 5, "Status"));
        QVERIFY(!channelStatusOk(2, word));
        auto s = openSystem(2, 0, "192.0.2.10", "admin", "admin");
        QList<ORVEHVNode *> notOk;
        DiscoveryHooks hooks;
        hooks.channelNotOk = [&](ORVEHVNode *n) { notOk.append(n); };
        QCOMPARE(discoverSystem(s->node, hooks), 0);
        QCOMPARE(notOk.size(), 1);
        QCOMPARE(notOk[0], s->param(0, 5, "Status"));
        QCOMPARE(notOk[0]->text(), channelStatusText(2, word) + QLatin1Char(' '));
    }

    // VME boards: no "Name", the zero-named set values go first (mainframe
    // order: tst_channel_table::columnOrderAndCells); each node knows the
    // board system it belongs to.
    void vmeBoard()
    {
        auto s = connectSystem(5, 3, "0_0_C1", "Board B");
        QVERIFY(s);
        ORVEHVNode *board = s->node->children()[0];
        ORVEHVNode *ch = board->children()[0];
        QCOMPARE(namesOf(ch->parameters()), QStringList({"I0Set", "V0Set", "IMon", "VMon", "Pw", "Status", "RUp",
                                                         "RDwn", "Trip", "SVMax", "PDwn", "Pol"}));
        ORVEHVNode *vmon = ch->parameter(QStringLiteral("VMon"));
        for (ORVEHVNode *n : {board, ch, vmon, board->parameter(QStringLiteral("Temp"))}) {
            QCOMPARE(n->systemName(), QStringLiteral("Board B"));
            QCOMPARE(n->connectionArgument(), QStringLiteral("0_0_C1"));
        }
        QVERIFY(vmon->isLogged());
    }

    void writesAndRefusals()
    {
        auto s = mainframe();
        const int sys = s->id;
        ORVEHVNode *vset = s->param(0, 3, "VSet");
        QCOMPARE(vset->writeValue(QStringLiteral("1234.56")), 0);
        QCOMPARE(vset->value().value.toFloat(), 1234.56f); // the float actually sent
        QCOMPARE(float(vhw::channelParamValue(sys, 0, 3, "VSet")), 1234.56f);

        // Refused by the device: marked (that the old value stays on device
        // and screen: tst_channel_table::oneActionOneWrite).
        QCOMPARE(vhw::failWrite(sys, "VSet", ORVEHV_ERR_WRITE_REFUSED), ORVEHV_OK);
        QCOMPARE(vset->writeValue(1500), ORVEHV_ERR_WRITE_REFUSED);
        QCOMPARE(vset->value().status, 3);
        vhw::clearFaults(sys);

        // A typo is not sent as 0 volts.
        QCOMPARE(vset->writeValue(QStringLiteral("12,5x")), ORVEHV_ERR_BAD_ARGUMENT);
        QCOMPARE(float(vhw::channelParamValue(sys, 0, 3, "VSet")), 1234.56f);

        QCOMPARE(vset->writeValue(1e39), ORVEHV_ERR_OUT_OF_RANGE); // no infinity sent
        QCOMPARE(float(vhw::channelParamValue(sys, 0, 3, "VSet")), 1234.56f);

        // Empty text: nothing sent.
        vhw::resetLibraryCallCount();
        QCOMPARE(vset->writeValue(QString()), -1);
        QCOMPARE(vhw::libraryCallCount(), uint64_t(0));

        // Board parameter writes (on/off and enumerations: tst_value_editor).
        ORVEHVNode *avg = s->node->children()[3]->parameter(QStringLiteral("AvgFilter"));
        QCOMPARE(avg->writeValue(5), 0);
        QCOMPARE(vhw::boardParamValue(sys, 3, "AvgFilter"), 5.0);

        // Read-only parameters are refused by the library.
        QVERIFY(s->param(0, 3, "VMon")->writeValue(5) != 0);
        // Channel names written: tst_channel_table::multiSetAbsolute.

        // A channel name of twelve characters does not fit: refused, not cut.
        ORVEHVNode *name = s->param(0, 0, "Name");
        QCOMPARE(name->writeValue(QStringLiteral("TWELVE-CHARS")), ORVEHV_ERR_OUT_OF_RANGE);
        QCOMPARE(name->value().value.toString(), QStringLiteral("BEAM-L"));
        QCOMPARE(name->value().status, 3);
        QCOMPARE(name->text(), QStringLiteral("BEAM-L "));
        QCOMPARE(QString::fromStdString(vhw::channelName(sys, 0, 0)), QStringLiteral("BEAM-L"));

        // A text property filling its 80-byte buffer (one longer is refused
        // as the name above: tst_parameter_codec).
        const QString fits(79, QLatin1Char('g'));
        QCOMPARE(s->node->parameter(QStringLiteral("IPGw"))->writeValue(fits), 0);
        QCOMPARE(QString::fromStdString(vhw::sysPropText(sys, "IPGw")), fits);

        // Text channel parameters other than "Name" are never written.
        QVariant v(QStringLiteral("x"));
        QCOMPARE(writeChannelParameter(s->handle, 0, QStringLiteral("Label"), 0, ORVEHV_PARAM_STRING, v), -1);
        QCOMPARE(writeSystemProperty(s->handle, QStringLiteral("X"), 99, 1), -1);
    }

    void failingReads()
    {
        const int sys = vhw::findSystem("192.0.2.10");
        QCOMPARE(vhw::failRead(sys, "VMon", ORVEHV_ERR_DEVICE), ORVEHV_OK);
        QCOMPARE(vhw::failRead(sys, "IPAddr", ORVEHV_ERR_DEVICE), ORVEHV_OK);
        QCOMPARE(vhw::failRead(sys, "HVMax", ORVEHV_ERR_DEVICE), ORVEHV_OK);
        auto s = mainframe();
        ORVEHVNode *vmon = s->param(0, 0, "VMon");
        QVERIFY(vmon); // the item stays, its value is marked
        QCOMPARE(vmon->value().status, 1);
        QCOMPARE(vmon->text(), QStringLiteral("0.0  V"));
        QCOMPARE(s->node->parameter(QStringLiteral("IPAddr"))->value().status, 1);
        QCOMPARE(s->node->children()[0]->parameter(QStringLiteral("HVMax"))->value().status, 1);
        QCOMPARE(s->param(0, 0, "VSet")->value().status, 0);

        // Failing channel names leave the channels out; a failing crate map
        // leaves an empty crate; a failing property list no properties.
        vhw::clearFaults(sys);
        vhw::failRead(sys, "Name", ORVEHV_ERR_DEVICE);
        QVERIFY(readChannels(s->handle, 0, 12).isEmpty());
        vhw::failRead(sys, "CrateMap", ORVEHV_ERR_DEVICE);
        quint16 count = 99;
        QVERIFY(readCrateMap(s->handle, &count).isEmpty());
        QCOMPARE(count, quint16(0));
        vhw::failRead(sys, "SysPropList", ORVEHV_ERR_DEVICE);
        QVERIFY(readSystemProperties(s->handle).isEmpty());
        // A closed handle: every read fails with status 1.
        QCOMPARE(readChannelParameter(-5, 0, 0, QStringLiteral("VMon"), 0).status, 1);
        QCOMPARE(readChannelParameter(-5, 0, 0, QStringLiteral("Name"), 5).value.toString(), QString());
        QCOMPARE(readBoardParameter(s->handle, 0, QStringLiteral("Label"), ORVEHV_PARAM_STRING).status, 1);
    }

    // What the system's crate map change shows (new boards discovered, a
    // gone board reported by slot): tst_sysif::crateMapChange.
    void refreshUnchangedSlotCount()
    {
        auto s = mainframe();
        ORVEHVNode *untouched = s->node->children()[0];
        QCOMPARE(vhw::removeBoard(s->id, 1), ORVEHV_OK);
        QCOMPARE(vhw::insertBoard(s->id, 5, "A1520"), ORVEHV_OK);
        int gone = 0;
        const QList<ORVEHVNode *> fresh = refreshCrateMap(s->handle, s->node, [&](ORVEHVNode *b, int) {
            ++gone;
            QCOMPARE(b->name(), QStringLiteral("Board01")); // still alive when reported
        });
        QCOMPARE(gone, 1);
        QCOMPARE(s->node->children()[0], untouched);
        QCOMPARE(fresh.size(), 1);
        QCOMPARE(s->node->children()[5], fresh[0]);
        QVERIFY(refreshCrateMap(s->handle, nullptr).isEmpty());
    }

    void refreshChangedSlotCount()
    {
        auto s = mainframe();
        ORVEHVNode *sysNode = s->node;
        // The tree holds one slot less than the crate reports.
        ORVEHVNode *last = sysNode->children().last();
        sysNode->removeChildAt(sysNode->children().size() - 1);
        delete last;
        vhw::removeBoard(s->id, 0);
        const QVector<ORVEHVNode *> before = sysNode->children();
        const QList<ORVEHVNode *> all = refreshCrateMap(s->handle, sysNode, [](ORVEHVNode *, int) {
            QFAIL("nothing may be removed");
        });
        QCOMPARE(sysNode->children(), before);
        QCOMPARE(all.size(), 15);
        QCOMPARE(all[0], before[0]);
        QCOMPARE(sysNode->children()[0]->kind(), int(KindBoard));

        // A failing crate map read counts as a changed slot count.
        vhw::failRead(s->id, "CrateMap", ORVEHV_ERR_DEVICE);
        QCOMPARE(refreshCrateMap(s->handle, sysNode).size(), 15);
        QCOMPARE(sysNode->children(), before);
    }

    // The slot count a crate is judged by, and the progress over the slots of
    // an accepted one: tst_sysif (unknownSlotCountIsRefused, connectsEveryFamily).
    void refusedCrate()
    {
        auto s = openSystem(2, 0, "192.0.2.10", "admin", "admin");
        DiscoveryHooks hooks;
        int slotsSeen = 0;
        hooks.acceptCrate = [](quint16) { return false; };
        hooks.beforeSlot = [&](int) { ++slotsSeen; };
        QCOMPARE(discoverSystem(s->node, hooks), -1);
        QVERIFY(s->node->children().isEmpty());
        QCOMPARE(slotsSeen, 0);
        QVERIFY(s->node->parameter(QStringLiteral("IPAddr")));
    }

    void listWalkersStayInside()
    {
        // Name cells without the closing empty cell: the count bounds the walk.
        char cells[3 * ORVEHV_PARAM_NAME_CELL];
        std::memset(cells, 0, sizeof cells);
        std::strcpy(cells, "VSet");
        std::strcpy(cells + 10, "ISet");
        std::memcpy(cells + 20, "ABCDEFGHIJ", 10); // a full cell, no terminator
        QCOMPARE(parameterNameCells(cells, 3), QStringList({"VSet", "ISet", "ABCDEFGHIJ"}));
        // More counted than listed: the empty cell ends it.
        char short_[3 * ORVEHV_PARAM_NAME_CELL];
        std::memset(short_, 0, sizeof short_);
        std::strcpy(short_, "VMon");
        QCOMPARE(parameterNameCells(short_, 50), QStringList({"VMon"}));
        QCOMPARE(parameterNameCells(short_, -1), QStringList({"VMon"}));
        QVERIFY(parameterNameCells(nullptr, 3).isEmpty());

        // NUL-separated names: fewer than counted, ended by a double terminator.
        const char names[] = "Sessions\0IPAddr\0\0";
        QCOMPARE(separatedListTexts(names, 5, true), QStringList({"Sessions", "IPAddr"}));
        // Crate map texts: empty entries are real (empty slots), the count rules.
        const char models[] = "A1520\0\0A1535N";
        QCOMPARE(separatedListTexts(models, 3, false), QStringList({"A1520", "", "A1535N"}));

        // "Enum": a range wider than the ten cells keeps the first ten texts.
        char buffer[ORVEHV_ENUM_BUFFER];
        std::memset(buffer, 0, sizeof buffer);
        for (int i = 0; i < ORVEHV_ENUM_MAX_TEXTS; ++i)
            std::snprintf(buffer + i * ORVEHV_ENUM_CELL, ORVEHV_ENUM_CELL, "T%d", i);
        std::memset(buffer + 9 * ORVEHV_ENUM_CELL, 'z', ORVEHV_ENUM_CELL); // last cell unterminated
        const QStringList texts = enumCellTexts(buffer, 0, 40);
        QCOMPARE(texts.size(), 10);
        QCOMPARE(texts[0], QStringLiteral("T0"));
        QCOMPARE(texts[9], QString(ORVEHV_ENUM_CELL, QLatin1Char('z')));
        QCOMPARE(enumCellTexts(buffer, 2, 4).size(), 3);
        QVERIFY(enumCellTexts(buffer, 3, 1).isEmpty());
        QVERIFY(enumCellTexts(buffer, 0, qQNaN()).isEmpty());
        QVERIFY(enumCellTexts(buffer, -1e30, 1e30).size() == 10);
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
