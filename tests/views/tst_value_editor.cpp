// The parameter value editor and its input widgets, on nodes of real device
// trees from the virtual hardware.

#include "ViewsTestSupport.h"

#include "device/ValueText.h"
#include "views/ORVEHVSwitch.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QCustomEditors.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

using namespace views_test;

static ORVEHVWidgetItem *build(ORVEHVNode *node, QWidget *parent = nullptr, bool commit = true)
{
    auto *w = new ORVEHVWidgetItem(node, parent);
    w->buildEditor(node->dataType(), node->accessMode(), node->value().value, node->unitText(), commit);
    return w;
}

class TstValueEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { vhw::setTimeMode(vhw::TimeMode::Manual); }

    void init()
    {
        m_sys.reset();
        QVERIFY(vhw::resetWorld());
        m_sys = mainframe();
        QVERIFY(m_sys);
        m_messages.clear();
    }

    void editorByType()
    {
        struct Case { ORVEHVNode *node; const char *cls; };
        const QList<Case> cases = {
            {m_sys->param(0, 0, "VSet"), "QCustomDoubleSpinBox"},
            {m_sys->param(0, 0, "Pw"), "QCustomComboBox"},
            {m_sys->param(0, 0, "PDwn"), "QCustomComboBox"},
            {m_sys->param(0, 0, "Pol"), "QCustomLabel"},
            {m_sys->param(0, 0, "Status"), "QCustomLabel"},
            {m_sys->param(8, 0, "TripInt"), "QCustomLineEdit"},
            {m_sys->param(0, 0, "Name"), "QCustomLineEdit"},
            {m_sys->node->parameter("HVFanSpeed"), "QCustomSpinBox"},
            {m_sys->node->parameter("LowFanEnable"), "ORVEHVSwitch"},
            {m_sys->board(0)->parameter("BdStatus"), "QCustomLabel"},
        };
        for (const Case &c : cases) {
            QVERIFY(c.node);
            std::unique_ptr<ORVEHVWidgetItem> w(build(c.node));
            QVERIFY2(w->innerEditor(), qPrintable(c.node->name()));
            QCOMPARE(w->innerEditor()->metaObject()->className(), c.cls);
            // every kind but the enumeration carries its unit
            QCOMPARE(w->unitLabel() != nullptr, c.node->dataType() != DataEnum);
        }

        // the float editor: limits and decimals of the parameter
        std::unique_ptr<ORVEHVWidgetItem> v(build(m_sys->param(0, 0, "VSet")));
        auto *spin = qobject_cast<QDoubleSpinBox *>(v->innerEditor());
        QCOMPARE(QList<double>({spin->minimum(), spin->maximum(), spin->value()}),
                 QList<double>({0.0, 2000.0, m_sys->device(0, 0, "VSet")}));

        // on/off: on text first, current state selected
        std::unique_ptr<ORVEHVWidgetItem> pw(build(m_sys->param(0, 0, "Pw")));
        auto *combo = qobject_cast<QComboBox *>(pw->innerEditor());
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), onOffText(m_sys->param(0, 0, "Pw"), true));
        QCOMPARE(combo->currentIndex(), 0); // the world powers slot 0

        // bit field: at most eight hexadecimal digits after "0x"
        std::unique_ptr<ORVEHVWidgetItem> trip(build(m_sys->param(8, 0, "TripInt")));
        auto *hex = qobject_cast<QLineEdit *>(trip->innerEditor());
        QCOMPARE(hex->maxLength(), 8);

        // no node: nothing is built
        ORVEHVWidgetItem none(nullptr);
        none.buildEditor(6, 2, 1.0, "V", true);
        QVERIFY(!none.innerEditor());
        none.endEdit();
        none.commitOnEnter();
        QCOMPARE(none.editedValue(), QVariant(0));
    }

    void spinBoxCommitRules()
    {
        ORVEHVNode *fan = m_sys->node->parameter("HVFanSpeed");
        QVERIFY(fan);
        const int start = fan->value().value.toInt();
        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        ORVEHVWidgetItem *item = build(fan, &window);
        auto *other = new QLineEdit(&window);
        layout->addWidget(item);
        layout->addWidget(other);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *spin = qobject_cast<QSpinBox *>(item->innerEditor());
        QVERIFY(spin);
        QSignalSpy committed(item, &ORVEHVWidgetItem::endEditing);

        // the device moves on its own; the node still shows the old value
        QCOMPARE(vhw::setSysProp(m_sys->id, "HVFanSpeed", double((start + 1) % 3)), 0);

        // focus leaves unchanged: nothing written
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(vhw::sysPropValue(m_sys->id, "HVFanSpeed"), double((start + 1) % 3));
        QCOMPARE(committed.size(), 0);

        // Enter unchanged: written all the same, once
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        vhw::resetLibraryCallCount();
        QTest::keyClick(spin, Qt::Key_Return);
        QCOMPARE(vhw::sysPropValue(m_sys->id, "HVFanSpeed"), double(start));
        QCOMPARE(committed.size(), 1);
        QCOMPARE(vhw::libraryCallCount(), quint64(1));

        // focus leaves after a change: written
        const int next = (start + 2) % 3;
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(next));
        other->setFocus();
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(vhw::sysPropValue(m_sys->id, "HVFanSpeed"), double(next));
        QCOMPARE(fan->value().value.toInt(), next);
        QCOMPARE(committed.size(), 2);
        QCOMPARE(committed.last().at(0).toInt(), next);
    }

    void onOffComboWriteRefused()
    {
        ORVEHVNode *pw = m_sys->param(0, 0, "Pw");
        QVERIFY(pw->value().value.toBool());
        std::unique_ptr<ORVEHVWidgetItem> item(build(pw));
        auto *combo = qobject_cast<QComboBox *>(item->innerEditor());
        QSignalSpy committed(item.get(), &ORVEHVWidgetItem::endEditing);
        const QString onText = combo->itemText(0);
        const QString offText = combo->itemText(1);

        QCOMPARE(vhw::failWrite(m_sys->id, "Pw", ORVEHV_ERR_WRITE_REFUSED), 0);
        combo->setCurrentIndex(1);
        QCOMPARE(combo->currentText(), onText);
        QCOMPARE(pw->value().status, int(ValueWriteFailed));
        QVERIFY(pw->value().value.toBool());
        QCOMPARE(m_sys->device(0, 0, "Pw"), 1.0);
        QCOMPARE(committed.size(), 1);
        QCOMPARE(committed.at(0).at(0), QVariant(false));
        // the operator is told, once, why
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, QStringLiteral("Pw was not written."));
        QVERIFY(m_messages.first().informativeText.startsWith(QStringLiteral("the system refused it (error 4102).")));

        vhw::clearFaults();
        combo->setCurrentIndex(1);
        QCOMPARE(combo->currentText(), offText);
        QCOMPARE(m_sys->device(0, 0, "Pw"), 0.0);
        QCOMPARE(pw->value().value.toBool(), false);
        QCOMPARE(pw->value().status, int(ValueOk));

        // Enter writes without a change test
        vhw::setChannelParam(m_sys->id, 0, 0, "Pw", 1);
        item->commitOnEnter();
        QCOMPARE(m_sys->device(0, 0, "Pw"), 0.0);

        // the enumeration the same way
        ORVEHVNode *pdwn = m_sys->param(0, 0, "PDwn");
        std::unique_ptr<ORVEHVWidgetItem> en(build(pdwn));
        auto *ec = qobject_cast<QComboBox *>(en->innerEditor());
        const int was = ec->currentIndex();
        QCOMPARE(vhw::failWrite(m_sys->id, "PDwn", ORVEHV_ERR_DEVICE), 0);
        ec->setCurrentIndex(1 - was);
        QCOMPARE(ec->currentIndex(), was);
        vhw::clearFaults();
        ec->setCurrentIndex(1 - was);
        QCOMPARE(m_sys->device(0, 0, "PDwn"), double(1 - was));
    }

    void enumerationIndex()
    {
        std::unique_ptr<ORVEHVNode> n(makeParam("Mode", DataEnum));
        addMeta(n.get(), "Minval", 1.0);
        addMeta(n.get(), "Maxval", 3.0);
        addMeta(n.get(), "Enum", QStringList({"A", "B", "C"}));
        n->setValue(NodeValue(2, ValueOk));
        std::unique_ptr<ORVEHVWidgetItem> w(build(n.get()));
        auto *c = qobject_cast<QComboBox *>(w->innerEditor());
        // the shown item agrees with the cell text
        QCOMPARE(c->currentText(), QString("B"));
        QCOMPARE(c->currentText(), enumText(n.get(), 2));

        n->setValue(NodeValue(9, ValueOk));
        std::unique_ptr<ORVEHVWidgetItem> beyond(build(n.get()));
        QCOMPARE(qobject_cast<QComboBox *>(beyond->innerEditor())->currentIndex(), 0);
    }

    void displayTexts()
    {
        std::unique_ptr<ORVEHVNode> f(makeParam("VSet"));
        addMeta(f.get(), "Decimal", 3.0);
        f->setDecimals(2);
        f->setUnitText(" V");
        f->setValue(NodeValue(12.346f, ValueOk));
        std::unique_ptr<ORVEHVWidgetItem> w(build(f.get()));
        QCOMPARE(w->displayText(), QString("12.35  V"));
        QCOMPARE(w->editedValue().typeId(), QMetaType::Float);

        std::unique_ptr<ORVEHVNode> bits(makeParam("Bits", DataInt32));
        bits->setLibraryType(4);
        bits->setUnitText("0x");
        bits->setValue(NodeValue(255, ValueOk));
        std::unique_ptr<ORVEHVWidgetItem> b(build(bits.get()));
        QCOMPARE(b->displayText(), QString("0x 000000FF"));

        std::unique_ptr<ORVEHVNode> text(makeParam("Name", DataText));
        text->setValue(NodeValue(QString("BEAM"), ValueOk));
        std::unique_ptr<ORVEHVWidgetItem> t(build(text.get()));
        QCOMPARE(t->displayText(), QString("BEAM "));
    }

    void keysAndLookInTable()
    {
        auto *line = new QCustomLineEdit;
        std::unique_ptr<QCustomLineEdit> owner(line);
        line->setTableFlag(true);
        QTest::keyClicks(line, "1,2");
        QCOMPARE(line->text(), QString("12")); // the comma is never typed

        QCustomDoubleSpinBox dspin;
        dspin.setTableFlag(true);
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right}) {
            QKeyEvent ev(QEvent::KeyPress, k, Qt::NoModifier);
            QApplication::sendEvent(&dspin, &ev);
            QVERIFY2(!ev.isAccepted(), "arrow keys are the table's");
        }
        QCOMPARE(dspin.value(), 0.0);

        QCustomComboBox combo;
        combo.setTableFlag(true);
        combo.addItems({"On", "Off"});
        QTest::keyClick(&combo, Qt::Key_Space);
        QCOMPARE(combo.currentIndex(), 1);
        QTest::keyClick(&combo, Qt::Key_Space);
        QCOMPARE(combo.currentIndex(), 0); // wraps
    }

    void switchWrites()
    {
        ORVEHVNode *low = m_sys->node->parameter("LowFanEnable");
        QVERIFY(low);
        const bool was = low->value().value.toBool();
        std::unique_ptr<ORVEHVWidgetItem> item(build(low));
        auto *sw = qobject_cast<ORVEHVSwitch *>(item->innerEditor());
        QCOMPARE(sw->isChecked(), was);
        QSignalSpy committed(item.get(), &ORVEHVWidgetItem::endEditing);
        sw->click();
        QCOMPARE(sw->text(), !was ? sw->onText() : sw->offText());
        QCOMPARE(vhw::sysPropValue(m_sys->id, "LowFanEnable"), was ? 0.0 : 1.0);
        QCOMPARE(committed.size(), 1);
    }

    void collectOnlyAndReadOnly()
    {
        // without the commit connections the editor only collects a value
        ORVEHVNode *vset = m_sys->param(0, 0, "VSet");
        const double before = m_sys->device(0, 0, "VSet");
        std::unique_ptr<ORVEHVWidgetItem> item(build(vset, nullptr, false));
        QSignalSpy edited(item.get(), &ORVEHVWidgetItem::valueFieldEdited);
        auto *spin = qobject_cast<QDoubleSpinBox *>(item->innerEditor());
        spin->setValue(before + 10);
        QTest::keyClick(spin, Qt::Key_Return); // not even Enter writes
        QCOMPARE(edited.size(), 0);
        QCOMPARE(m_sys->device(0, 0, "VSet"), before);
        QCOMPARE(item->editedValue().toDouble(), before + 10);

        // with them, every change is announced
        std::unique_ptr<ORVEHVWidgetItem> live(build(vset));
        QSignalSpy liveEdited(live.get(), &ORVEHVWidgetItem::valueFieldEdited);
        qobject_cast<QDoubleSpinBox *>(live->innerEditor())->setValue(before + 20);
        QCOMPARE(liveEdited.size(), 1);

        // a read-only parameter is never written, even on Enter
        ORVEHVNode *fanStat = m_sys->node->parameter("FanStat");
        QVERIFY(fanStat);
        std::unique_ptr<ORVEHVWidgetItem> ro(build(fanStat));
        QVERIFY(qobject_cast<QSpinBox *>(ro->innerEditor())->isReadOnly());
        vhw::resetLibraryCallCount();
        ro->commitOnEnter();
        ro->endEdit();
        QCOMPARE(vhw::libraryCallCount(), quint64(0));
        QCOMPARE(fanStat->value().status, int(ValueOk));
    }

private:
    std::unique_ptr<LiveSystem> m_sys;
    CapturedMessages m_messages;
};

QTEST_MAIN(TstValueEditor)
#include "tst_value_editor.moc"
