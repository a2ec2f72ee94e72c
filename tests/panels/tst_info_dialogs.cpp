// Information dialogs: the controller read-outs parsed from whatever the
// device sends, the crate and rack maps, the technical information and the
// web page addresses.

#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "panels/InfoTexts.h"
#include "panels/QCrateMapDialog.h"
#include "panels/QSessionDialog.h"
#include "panels/QSysInfoDialog.h"
#include "panels/QTechInfoB8181Dialog.h"
#include "panels/web/WebAddress.h"

#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

ORVEHVNode *board(int slot, const QString &model, quint32 serial, const QString &argument = QString())
{
    auto *b = new ORVEHVNode;
    b->initialise(QString("Board%1").arg(slot), KindBoard);
    b->setSlot(quint16(slot));
    b->setModel(model);
    b->setDescription(model + " 12 Ch 3KV/3mA");
    b->setSerialNumber(serial);
    b->setConnectionArgument(argument);
    b->addProperty(ORVEHVNodeProperty("FmwRel", DataText, NodeValue(QString("1.05"), ValueOk)));
    return b;
}

void addProperty(ORVEHVNode *sys, const QString &name, const QVariant &value, int dataType = DataText)
{
    auto *p = new ORVEHVNode;
    p->initialise(name, KindSystemProperty);
    p->setDataType(dataType);
    p->setValue(NodeValue(value, ValueOk));
    sys->addParameter(p);
}

QStringList rowTexts(const QTreeWidget *tree, int row)
{
    QStringList out;
    const QTreeWidgetItem *item = tree->topLevelItem(row);
    for (int c = 0; item && c < tree->columnCount(); ++c)
        out << item->text(c);
    return out;
}

} // namespace

class TestInfoDialogs : public QObject
{
    Q_OBJECT

private slots:
    void sessionRecords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QStringList>>("rows");
        const QStringList own{"admin", "Admin", "TCP/IP", "2026-12-07 03:20:55", "127.0.0.1"};
        QTest::newRow("two records") << "admin:Admin:TCP/IP:2026-12-07 03_20_55:127.0.0.1;guest:User:TCP/IP:x:y;"
                                     << QList<QStringList>{own, {"guest", "User", "TCP/IP", "x", "y"}};
        QTest::newRow("empty records skipped") << ";;admin:Admin:TCP/IP:2026-12-07 03_20_55:127.0.0.1; ;"
                                               << QList<QStringList>{own};
        QTest::newRow("missing fields") << "bob:User" << QList<QStringList>{{"bob", "User", "", "", ""}};
        QTest::newRow("surplus fields stay in the address") << "bob:User:TCP/IP:t_1:fe80::1"
                                                            << QList<QStringList>{{"bob", "User", "TCP/IP", "t:1", "fe80::1"}};
        QTest::newRow("nothing") << "" << QList<QStringList>{};
        QTest::newRow("only separators") << ":::;::" << QList<QStringList>{{"", "", "", "", ""}, {"", "", "", "", ""}};
        const QString longField = QString(2048, 'x');
        QTest::newRow("2 kB in one field") << longField
                                            << QList<QStringList>{{InfoTexts::shownField(longField), "", "", "", ""}};
    }
    void sessionRecords()
    {
        QFETCH(QString, text);
        QFETCH(QList<QStringList>, rows);
        // The dialog shows one row per record.
        QSessionDialog dialog(nullptr, text);
        QCOMPARE(dialog.tree()->topLevelItemCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(rowTexts(dialog.tree(), i), rows.at(i));
    }

    void controllerReadouts_data()
    {
        QTest::addColumn<QString>("cpu");
        QTest::addColumn<QString>("memory");
        QTest::addColumn<QString>("queue");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("well formed") << "0.21:0.15:0.09" << "262144 kB:180224 kB:81920 kB:4096 kB" << "0 of 32"
                                     << QStringList{"0.21", "0.15", "0.09", "262144 kB", "180224 kB", "81920 kB",
                                                    "4096 kB", "0 of 32"};
        QTest::newRow("empty fields dropped, trimmed") << "::0.5::0.4:" << " 1 : : 2 " << ""
                                                       << QStringList{"0.5", "0.4", "", "1", "2", "", "", ""};
        QTest::newRow("surplus fields ignored") << "1:2:3:4:5" << "a:b:c:d:e:f" << "q"
                                                << QStringList{"1", "2", "3", "a", "b", "c", "d", "q"};
        QTest::newRow("no separators") << "busy" << "plenty" << "  "
                                        << QStringList{"busy", "", "", "plenty", "", "", "", ""};
        const QString big(2048, '7');
        QTest::newRow("2 kB") << big << big + ":" + big << big
                              << QStringList{InfoTexts::shownField(big), "", "", InfoTexts::shownField(big),
                                             InfoTexts::shownField(big), "", "", InfoTexts::shownField(big)};
    }
    void controllerReadouts()
    {
        QFETCH(QString, cpu);
        QFETCH(QString, memory);
        QFETCH(QString, queue);
        QFETCH(QStringList, shown);
        QSysInfoDialog dialog(nullptr, cpu, memory, queue);
        QCOMPARE(dialog.shownValues(), shown);
        // The command queue group only when the system reports one.
        dialog.show();
        bool queueShown = false;
        for (QWidget *w : dialog.findChildren<QWidget *>())
            if (w->property("title").toString() == "Command Queue")
                queueShown = w->isVisible();
        QCOMPARE(queueShown, !shown.last().isEmpty());
    }

    // A rack numbers its 50 slots by crate and slot.
    void crateMapColumns_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("slotCount");
        QTest::addColumn<QString>("firstHeader");
        QTest::addColumn<QStringList>("place"); // of the board in the last but one slot
        QTest::addColumn<QStringList>("emptyPlace"); // of the last slot
        QTest::newRow("VME crate: base address") << 5 << "0_0_C0" << 2 << "Base Address" << QStringList{"0xC0"}
                                                 << QStringList{};
        QTest::newRow("VME argument of four fields") << 5 << "0_0_C0_1" << 2 << "Base Address" << QStringList{""}
                                                     << QStringList{};
        QTest::newRow("mainframe: slot") << 2 << "192.0.2.10" << 2 << "Slot Nr" << QStringList{"0"} << QStringList{};
        QTest::newRow("rack: crate and slot") << 16 << "192.0.2.20" << 50 << "Crate Nr" << QStringList{"1", "23"}
                                              << QStringList{"24"};
    }
    void crateMapColumns()
    {
        QFETCH(int, type);
        QFETCH(QString, argument);
        QFETCH(int, slotCount);
        QFETCH(QString, firstHeader);
        QFETCH(QStringList, place);
        QFETCH(QStringList, emptyPlace);
        std::unique_ptr<ORVEHVNode> sys(new ORVEHVNode);
        sys->initialise("crate", KindSystem, type, 3, argument);
        for (int i = 0; i < slotCount; ++i) // a fresh node is an empty slot
            sys->addChild(i == 0 || i == slotCount - 2 ? board(i, "V6533", 501, argument) : new ORVEHVNode);
        QCrateMapDialog dialog(nullptr, sys.get(), type);
        QCOMPARE(dialog.tree()->topLevelItemCount(), slotCount);
        QCOMPARE(dialog.tree()->headerItem()->text(0), firstHeader);
        const QStringList boardTexts{"V6533", "V6533 12 Ch 3KV/3mA", "501", "1.05"}, dots(4, QStringLiteral("..."));
        QCOMPARE(rowTexts(dialog.tree(), slotCount - 2), place + boardTexts);
        QCOMPARE(rowTexts(dialog.tree(), slotCount - 1).mid(place.size() - emptyPlace.size()), emptyPlace + dots);

        // Without a system node the map stays empty.
        QCrateMapDialog none(nullptr, nullptr, type);
        QCOMPARE(none.tree()->topLevelItemCount(), 0);
    }

    void technicalInformation()
    {
        std::unique_ptr<ORVEHVNode> sys(new ORVEHVNode);
        sys->initialise("rack", KindSystem, 16, 0, "192.0.2.20");
        addProperty(sys.get(), "FwRelease", "1.10");
        addProperty(sys.get(), "logic", "2.1");   // names without regard to case
        addProperty(sys.get(), "PWVoltage", 48.25, DataFloat);
        addProperty(sys.get(), "FrontPanIn", 5, DataUInt16);
        addProperty(sys.get(), "HvPwSM", QString(3000, 'e'));
        QTechInfoB8181Dialog dialog(nullptr, sys.get());
        QCOMPARE(dialog.shownValue("FwRelease"), QString("1.10"));
        QCOMPARE(dialog.shownValue("Logic"), QString("2.1"));
        QCOMPARE(dialog.shownValue("PWVoltage"), QString("48.25 V"));
        QCOMPARE(dialog.shownValue("FrontPanIn"), QString("0x0005"));
        QCOMPARE(dialog.shownValue("HvPwSM").size(), InfoTexts::kMaxFieldLength);
        QCOMPARE(dialog.shownValue("SerialNumber"), QString("-"));   // not reported
        QTechInfoDialog mainframe(nullptr, sys.get());
        QCOMPARE(mainframe.shownValue("Logic"), QString());   // the rack's only
    }

    // A given port and what the login address carries: tst_web_page.
    void webAddresses_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("base");
        QTest::newRow("default port") << "192.0.2.10" << "" << "http://192.0.2.10";
        QTest::newRow("port out of range") << "127.0.2.10" << "70000" << "http://127.0.2.10";
        QTest::newRow("host name") << "crate-7.lab" << "" << "http://crate-7.lab";
    }
    void webAddresses()
    {
        QFETCH(QString, argument);
        QFETCH(QString, port);
        QFETCH(QString, base);
        QCOMPARE(WebAddress::webBaseAddress(argument, port).toString(), base);
    }
};

QTEST_MAIN(TestInfoDialogs)
#include "tst_info_dialogs.moc"
