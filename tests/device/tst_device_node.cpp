// The device tree node as a model and as a table cell: naming, ownership,
// system type inheritance, stale marking, the texts a
// cell shows, the rule that protects a cell being edited, the "Pw"
// colouring, and event value conversion.

#include "device/ORVEHVMirrorNode.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "device/ParameterAccess.h"
#include "device/ValueText.h"
#include "tests/views/ViewsTestSupport.h"

#include "ORVEHVWrapper.h"

#include <QTableWidget>
#include <QtTest>
#include <cstring>
#include <memory>

using namespace views_test;

namespace {

int g_alive = 0;
struct CountedNode : ORVEHVNode
{
    CountedNode() { ++g_alive; }
    ~CountedNode() override { --g_alive; }
};

} // namespace

class TestDeviceNode : public QObject
{
    Q_OBJECT
private slots:

    void systemTypeInheritance()
    {
        ORVEHVNode system;
        system.initialise(QStringLiteral("Crate"), KindSystem, 2, 0, QStringLiteral("192.0.2.10"));
        auto *board = new ORVEHVNode;
        system.addChild(board);
        ORVEHVNode view;
        view.initialise(QStringLiteral("customView"), KindContainer);
        view.setSystemType(13);
        view.addChild(board);        // lists it, does not adopt it
        QCOMPARE(board->systemType(), 2); // the crate's
    }

    void ownership()
    {
        g_alive = 0;
        auto *system = new CountedNode;
        system->initialise(QStringLiteral("S"), KindSystem, 2);
        auto *board = new CountedNode;
        board->initialise(QStringLiteral("Board00"), KindBoard);
        auto *channel = new CountedNode;
        channel->initialise(QStringLiteral("Chan000"), KindChannel);
        auto *param = new CountedNode;
        param->initialise(QStringLiteral("VMon"), KindChannelParameter, 2);
        channel->addParameter(param);
        board->addChild(channel);
        system->addChild(board);
        auto *slot = new CountedNode; // empty slot
        system->addChild(slot);

        // The mirror shown in a table disappears from it with its node.
        QTableWidget table(1, 1);
        table.setItem(0, 0, param->mirror());
        QCOMPARE(ORVEHVNode::fromItem(table.item(0, 0)), param);

        // A view root that lists nodes owns none of them: see
        // tst_channel_table::customViewUsesMirrors.
        delete system;
        QCOMPARE(g_alive, 0);
        QCOMPARE(table.item(0, 0), nullptr);

        // A table destroyed while still holding a mirror deletes it: the node
        // forgets it and keeps working.
        std::unique_ptr<ORVEHVNode> vmon(new ORVEHVNode);
        vmon->initialise(QStringLiteral("VMon"), KindChannelParameter, 2);
        vmon->setDataType(DataFloat);
        {
            QTableWidget customView(1, 1);
            customView.setItem(0, 0, vmon->mirror());
        }
        QCOMPARE(vmon->partner(), nullptr);
        vmon->setValue(NodeValue(QVariant(1.0f), ValueOk));
        QCOMPARE(vmon->text(), QStringLiteral("1.00 "));
        // A custom view built again gets a new mirror showing the current value.
        QCOMPARE(vmon->mirror()->text(), QStringLiteral("1.00 "));
    }

    // Handle and connection loss reach every depth; a lost connection marks
    // the values stale and keeps them.
    void handleAndConnectionLossReachTheTree()
    {
        std::unique_ptr<ORVEHVNode> system(makeTree({{"VMon"}}, 1));
        ORVEHVNode *board = system->children().at(0);
        ORVEHVNode *channel = board->children().at(0);
        ORVEHVNode *vmon = channel->parameter(QStringLiteral("VMon"));
        vmon->setValue(NodeValue(QVariant(12.5f), ValueOk));
        auto *sysProp = new ORVEHVNode;
        sysProp->setValue(NodeValue(QVariant(3), ValueOk));
        system->addParameter(sysProp);
        system->setHandle(7);
        QCOMPARE(vmon->handle(), 7);
        system->removeChildAt(1); // out of range: ignored
        system->removeChildAt(-1);
        QCOMPARE(system->children().size(), 1);

        system->setConnectionState(ConnectionConnected);
        QCOMPARE(vmon->value().status, 0);
        system->setConnectionState(ConnectionLost);
        for (ORVEHVNode *n : {board, channel, vmon, sysProp})
            QCOMPARE(n->value().status, 1);
        QCOMPARE(vmon->value().value.toFloat(), 12.5f);
    }

    void cellTexts()
    {
        std::unique_ptr<ORVEHVNode> v(makeParam(QStringLiteral("VMon"), DataFloat, AccessReadOnly));
        v->setUnitText(QStringLiteral(" V"));
        v->setValue(NodeValue(QVariant(12.346f), ValueOk));
        QCOMPARE(v->text(), QStringLiteral("12.35  V"));
        v->setDecimals(0);
        v->setUnitText(QStringLiteral("uA"));   // re-applies the value
        QCOMPARE(v->text(), QStringLiteral("12 uA"));

        // Only channel parameters show text; other kinds just store the record.
        ORVEHVNode boardParam;
        boardParam.setKind(KindBoardParameter);
        boardParam.setValue(NodeValue(QVariant(5), ValueOk));
        QCOMPARE(boardParam.text(), QString());
        QCOMPARE(boardParam.value().value.toInt(), 5);
    }

    // A cell being typed into keeps the text; the "Pw" cell colour (the row
    // header it drives: tst_channel_table::rowColoursAndPowerHeader).
    void editedCellIsProtected()
    {
        QTableWidget table(1, 4);
        QTableWidget customView(1, 1);
        // Declared after the tables: a node leaves its table when deleted.
        std::unique_ptr<ORVEHVNode> vset(makeParam(QStringLiteral("VSet")));
        std::unique_ptr<ORVEHVNode> vmon(makeParam(QStringLiteral("VMon"), DataFloat, AccessReadOnly));
        std::unique_ptr<ORVEHVNode> pw(makeParam(QStringLiteral("Pw"), DataOnOff));
        addMeta(pw.get(), QStringLiteral("Onstate"), QStringLiteral("On"));
        addMeta(pw.get(), QStringLiteral("Offstate"), QStringLiteral("Off"));
        table.setItem(0, 0, vset.get());
        table.setItem(0, 1, vmon.get());
        table.setItem(0, 2, pw.get());
        customView.setItem(0, 0, vset->mirror());

        vset->setValue(NodeValue(QVariant(100.0f), ValueOk));
        QCOMPARE(vset->text(), QStringLiteral("100.00 "));

        // The operator is typing into the VSet cell: an incoming value is stored
        // but the cell keeps what is being typed; the other table is updated.
        table.setCurrentItem(vset.get());
        vset->setData(Qt::DisplayRole, QStringLiteral("25"));
        vset->setValue(NodeValue(QVariant(101.0f), ValueOk));
        QCOMPARE(vset->text(), QStringLiteral("25"));
        QCOMPARE(vset->value().value.toFloat(), 101.0f);
        QCOMPARE(vset->mirror()->text(), QStringLiteral("101.00 "));

        // The same in the custom view: its current item is the mirror.
        customView.setCurrentItem(vset->mirror());
        vset->mirror()->setData(Qt::DisplayRole, QStringLiteral("7"));
        table.setCurrentItem(vmon.get());
        vset->setValue(NodeValue(QVariant(102.0f), ValueOk));
        QCOMPARE(vset->text(), QStringLiteral("102.00 "));
        QCOMPARE(vset->mirror()->text(), QStringLiteral("7"));

        // Read-only and on/off cells are never typed into: always refreshed.
        table.setCurrentItem(vmon.get());
        vmon->setValue(NodeValue(QVariant(5.0f), ValueOk));
        QCOMPARE(vmon->text(), QStringLiteral("5.00 "));
        table.setCurrentItem(pw.get());
        pw->setValue(NodeValue(QVariant(true), ValueOk));
        QCOMPARE(pw->text(), QStringLiteral("On "));
        QCOMPARE(pw->foreground().color(), QColor(53, 169, 18));
        QCOMPARE(pw->font().weight(), QFont::Bold);
        QCOMPARE(pw->mirror()->foreground().color(), QColor(53, 169, 18));
        pw->setValue(NodeValue(QVariant(0u), ValueOk));
        QCOMPARE(pw->foreground().color(), QColor(Qt::black));
        QCOMPARE(pw->font().weight(), QFont::Normal);
        // Any other on/off parameter is not coloured.
        std::unique_ptr<ORVEHVNode> other(makeParam(QStringLiteral("PDwn"), DataOnOff));
        table.setItem(0, 3, other.get());
        other->setValue(NodeValue(QVariant(1u), ValueOk));
        QVERIFY(other->foreground().color() != QColor(53, 169, 18));
    }

    void onOffAndEnumFromProperties()
    {
        std::unique_ptr<ORVEHVNode> pol(makeParam(QStringLiteral("Pol"), DataOnOff));
        addMeta(pol.get(), QStringLiteral("Onstate"), QStringLiteral("POS"));
        addMeta(pol.get(), QStringLiteral("Offstate"), QStringLiteral("NEG"));
        QVERIFY(onOffFromText(pol.get(), QStringLiteral("POS")));
        QVERIFY(!onOffFromText(pol.get(), QStringLiteral("pos")));

        // Enumeration texts from limits: tst_value_texts::enumBothWays; the
        // cell text from them: tst_discovery. Without limits the range is 0..0.
        std::unique_ptr<ORVEHVNode> bare(makeParam(QStringLiteral("X"), DataEnum));
        addMeta(bare.get(), QStringLiteral("Enum"), QStringList{"only"});
        QCOMPARE(enumText(bare.get(), 0), QStringLiteral("only"));
        QCOMPARE(enumText(bare.get(), 1), QString());
    }

    void eventValues_data()
    {
        QTest::addColumn<int>("dataType");
        QTest::addColumn<QByteArray>("area");
        QTest::addColumn<QVariant>("expected");
        auto bytes = [](const auto &v) { return QByteArray(reinterpret_cast<const char *>(&v), sizeof v); };
        const qint32 minus2 = -2;
        QTest::newRow("int16") << int(DataInt16) << bytes(qint16(-3)) << QVariant(-3);
        QTest::newRow("uint16") << int(DataUInt16) << bytes(qint16(-3)) << QVariant(65533u);
        QTest::newRow("status word") << 2 << bytes(minus2) << QVariant(-2);
        QTest::newRow("uint32") << int(DataUInt32) << bytes(minus2) << QVariant(0xFFFFFFFEu);
        QTest::newRow("on/off") << int(DataOnOff) << bytes(qint32(256)) << QVariant(true);
        // A text without terminator ends with the value area.
        QTest::newRow("text unterminated") << int(DataText) << QByteArray(ORVEHV_EVENT_VALUE_LEN, 'x')
                                           << QVariant(QString(ORVEHV_EVENT_VALUE_LEN, QLatin1Char('x')));
        QTest::newRow("unknown type") << 42 << bytes(minus2) << QVariant();
    }

    void eventValues()
    {
        QFETCH(int, dataType);
        QFETCH(QByteArray, area);
        QFETCH(QVariant, expected);
        char buffer[ORVEHV_EVENT_VALUE_LEN];
        std::memset(buffer, 0x7F, sizeof buffer);
        std::memcpy(buffer, area.constData(), size_t(area.size()));
        ORVEHVNode n;
        n.setDataType(dataType);
        const NodeValue v = eventValue(&n, buffer);
        QCOMPARE(v.status, expected.isValid() ? 0 : 2);
        QCOMPARE(v.value.toString(), expected.toString());
        QCOMPARE(eventValue(nullptr, buffer).status, 2);
    }
};

QTEST_MAIN(TestDeviceNode)
#include "tst_device_node.moc"
