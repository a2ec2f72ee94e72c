// Every way the operator writes a value, on the virtual MF3300 board in
// slot 8 (12 channels: VSet 0..6000 V, Pw, PDwn Kill/Ramp, TripInt up to
// 0xFFF, TripExt up to 0xFF, Name): the cell editor, the group value dialog,
// a script, a script line built by the wizard, the trip dialog and the flag
// dialogs, each with good, edge and bad values of the types it edits, read
// back from the device. A refused value leaves the device as it was and is
// told once with its reason. While a script runs, only the script writes.

#include "ViewsTestSupport.h"
#include "device/QSystemInterface.h"
#include "device/WriteGate.h"
#include "panels/CommandFeedback.h"
#include "panels/QFlagWordDialog.h"
#include "script/QScriptWizard.h"
#include "script/ScriptRunner.h"
#include "views/ChannelGroups.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QSetGroupValueDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace views_test;
using script::ScriptRunner;

namespace {

constexpr int Slot = 8;

// The values every channel of the board starts with.
const QHash<QString, QString> Start = {{"VSet", "100"}, {"Pw", "0"},       {"PDwn", "1"},
                                       {"TripInt", "65"}, {"TripExt", "17"}, {"Name", "START"}};

// What the device holds, as text: the channel name, or the number.
QString deviceText(int id, int ch, const QString &param)
{
    if (param == QLatin1String("Name"))
        return QString::fromStdString(vhw::channelName(id, Slot, ch));
    return QString::number(vhw::channelParamValue(id, Slot, ch, param.toStdString()), 'g', 10);
}

// Puts `given` into an editor built for the parameter, as the operator
// would: text for line edits, the number for spin boxes, the item for
// combo boxes.
void enter(ORVEHVWidgetItem *editor, const QString &given)
{
    QWidget *inner = editor->innerEditor();
    if (auto *l = qobject_cast<QLineEdit *>(inner))
        l->setText(given);
    else if (auto *d = qobject_cast<QDoubleSpinBox *>(inner))
        d->setValue(given.toDouble());
    else if (auto *c = qobject_cast<QComboBox *>(inner))
        c->setCurrentText(given);
}

} // namespace

class TestWritePaths : public QObject
{
    Q_OBJECT

    int m_id = -1;
    std::unique_ptr<QSystemInterface> m_sys;
    CapturedMessages m_messages;

    ORVEHVNode *channel(int ch) const { return channelOf(m_sys->systemNode(), Slot, ch); }
    ORVEHVNode *paramNode(int ch, const QString &name) const { return paramOf(m_sys->systemNode(), Slot, ch, name); }

    // The device after a write on `channels`: the value expected, or the
    // start value ("" held: refused).
    void verifyDevice(const QString &param, const QString &held, const QList<int> &channels = {0})
    {
        for (int ch : channels)
            QCOMPARE(deviceText(m_id, ch, param), held.isEmpty() ? Start.value(param) : held);
    }

    void byCellEditor(const QString &param, const QString &given, const QString &held)
    {
        ORVEHVNode *node = paramNode(0, param);
        ORVEHVWidgetItem editor(node);
        editor.setEditorRole(true, false);
        editor.buildEditor(node->dataType(), node->accessMode(), node->value().value, node->unitText(), true);
        QSignalSpy committed(&editor, &ORVEHVWidgetItem::endEditing);
        enter(&editor, given);
        // choosing an item commits; a typed value is committed with Enter
        if (!qobject_cast<QComboBox *>(editor.innerEditor()))
            editor.commitOnEnter();
        verifyDevice(param, held);
        QCOMPARE(m_messages.size(), held.isEmpty() ? 1 : 0);
        // a refused value is not handed on to the other selected cells
        QCOMPARE(committed.size(), held.isEmpty() ? 0 : 1);
        if (held.isEmpty())
            QVERIFY2(m_messages.first().informativeText.contains(QStringLiteral("keeps its value")),
                     qPrintable(m_messages.first().informativeText));
    }

    void byGroupDialog(const QString &param, const QString &given, const QString &held)
    {
        QMenu menu;
        ChannelGroups groups(&menu, [this] { return QList<ORVEHVNode *>{m_sys->systemNode()}; }, nullptr);
        groups.addGroup(QStringLiteral("G"), {channel(0), paramNode(0, param), channel(1), paramNode(1, param)});
        QSetGroupValueDialog *dialog = groups.openGroup(0);
        enter(dialog->editor(), given);
        // a typed value is checked before anything is written
        QCOMPARE(dialog->okButton()->isEnabled(), !held.isEmpty());
        dialog->clickedOkButton();
        verifyDevice(param, held, {0, 1});
        // both members named in one message
        QCOMPARE(m_messages.size(), held.isEmpty() ? 1 : 0);
        if (held.isEmpty())
            QCOMPARE(m_messages.first().informativeText.count(QLatin1Char('\n')), 1);
    }

    void byScript(const QString &param, const QString &given, const QString &held)
    {
        ScriptRunner runner(m_sys.get());
        const int r = runner.run({QStringLiteral("set %1 %2{0,1} %3").arg(param).arg(Slot).arg(given)});
        verifyDevice(param, held, {0, 1});
        QCOMPARE(r == 0, !held.isEmpty());
        // one report line per channel, with the reason; never a message box
        const QString rep = runner.report();
        QCOMPARE(rep.count(QStringLiteral("<b>ERROR</b>")), held.isEmpty() ? 2 : 0);
        if (held.isEmpty())
            QVERIFY2(rep.contains(QStringLiteral("to [%1]: ").arg(given.toHtmlEscaped())), qPrintable(rep));
        QVERIFY(m_messages.isEmpty());
    }

    // The line the wizard builds ("" held: it cannot be completed), run.
    void byWizardLine(const QString &param, const QString &given, const QString &held)
    {
        QScriptWizard w(m_sys.get());
        auto choose = [](QComboBox *c, const QString &text) {
            const int i = c->findText(text);
            QVERIFY2(i >= 0, qPrintable(text));
            c->setCurrentIndex(i);
            emit c->activated(i);
        };
        w.addNewLine();
        choose(w.actionCombo(), "SET");
        choose(w.parameterCombo(), param);
        choose(w.channelsCombo(), "Misc.");
        QTreeWidget *tree = w.channelTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == Slot)
                tree->topLevelItem(i)->child(0)->setCheckState(0, Qt::Checked);
        enter(w.valueEditor(), given);
        w.lineCompleted();
        QCOMPARE(w.completeButton()->isEnabled(), !held.isEmpty());
        if (held.isEmpty())
            return;
        w.lineOk();
        // bit fields as the table shows them
        const QString value = param.startsWith(QLatin1String("Trip"))
                                  ? QStringLiteral("%1").arg(held.toUInt(), 8, 16, QLatin1Char('0')).toUpper()
                                  : held;
        const QString line = QStringLiteral("set %1 8{0} %2;").arg(param, value);
        QCOMPARE(w.lines(), QStringList{line});
        verifyDevice(param, QString());  // building writes nothing
        ScriptRunner runner(m_sys.get());
        QCOMPARE(runner.run({line.chopped(1)}), 0);
        verifyDevice(param, held);
    }

    void byTripDialog(const QString &param, const QString &given, const QString &held)
    {
        QTripHandlingDialog d(param == QLatin1String("TripExt") ? 1 : 0, m_sys->systemNode(), nullptr);
        tripTable(&d, Slot)->item(0, 1)->setText(given);
        d.applyValues();
        verifyDevice(param, held);
        QCOMPARE(m_messages.size(), held.isEmpty() ? 1 : 0);
        // the refused row named, not the others; they are written as read
        if (held.isEmpty())
            QVERIFY2(m_messages.first().text.contains(QStringLiteral("Board08 Chan000"))
                         && !m_messages.first().text.contains(QStringLiteral("Chan001")),
                     qPrintable(m_messages.first().text));
        verifyDevice(param, QString(), {1});
    }

private slots:
    void initTestCase() { vhw::setTimeMode(vhw::TimeMode::Manual); }

    void init()
    {
        QVERIFY(vhw::resetWorld());
        m_id = vhw::findSystem("192.0.2.10");
        for (int ch = 0; ch < 12; ++ch) {
            for (auto p = Start.cbegin(); p != Start.cend(); ++p) {
                if (p.key() == QLatin1String("Name"))
                    vhw::setChannelName(m_id, Slot, ch, p.value().toStdString());
                else
                    vhw::setChannelParam(m_id, Slot, ch, p.key().toStdString(), p.value().toDouble());
            }
        }
        m_sys = std::make_unique<QSystemInterface>(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("MF3300"), 0);
        QCOMPARE(m_sys->connectSystem(nullptr, QStringLiteral("admin"), QStringLiteral("admin")), 0);
        m_messages.clear();
    }

    void cleanup()
    {
        if (m_sys && m_sys->handle() >= 0)
            ORVEHV_DeinitSystem(m_sys->handle());
        m_sys.reset();
        QVERIFY(!WriteGate::isClosed());
    }

    // Rows: the path, the parameter, what the operator gives, what the
    // device then holds ("" for: refused, the start value stays).
    void write_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("param");
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("held");
        auto row = [](const char *path, const char *name, const char *param, const QString &given, const char *held) {
            QTest::addRow("%s: %s", path, name) << QString(path) << QString(param) << given << QString(held);
        };
        for (const char *path : {"cell", "group", "script", "wizard"}) {
            row(path, "float", "VSet", "1234.5", "1234.5");
            row(path, "onoff", "Pw", "On", "1");
            row(path, "enum", "PDwn", "Kill", "0");
            row(path, "name", "Name", "L1", "L1");
        }
        for (const char *path : {"cell", "script"}) {
            row(path, "float edge", "VSet", "6000", "6000");
            row(path, "bits edge", "TripInt", "FFF", "4095");
            row(path, "bits above Maxval", "TripInt", "1000", "");
            row(path, "name too long", "Name", "TWELVE-CHARS", "");
        }
        row("cell", "bits", "TripInt", "104", "260");
        row("cell", "bits not hex", "TripInt", "1O4", "");
        row("cell", "name edge", "Name", "ELEVENCHARS", "ELEVENCHARS");
        row("group", "float edge", "VSet", "0", "0");
        row("group", "bits as the table shows them", "TripInt", "00000104", "260");
        row("group", "bits edge", "TripExt", "FF", "255");
        row("group", "bits above Maxval", "TripExt", "100", "");
        row("group", "name NUL", "Name", QString("G") + QChar(0) + "P", "");
        row("script", "float above Maxval", "VSet", "6000.5", "");
        row("script", "float comma", "VSet", "12,5", "");
        row("script", "onoff one", "Pw", "1", "1");
        row("script", "onoff 2^32+1", "Pw", "4294967297", "");
        row("script", "enum number", "PDwn", "0", "0");
        row("script", "enum beyond", "PDwn", "2", "");
        row("script", "bits as the table shows them", "TripInt", "00000104", "260");
        row("script", "bits 2^32", "TripExt", "4294967296", "");
        row("wizard", "bits", "TripInt", "104", "260");
        row("wizard", "bits edge", "TripInt", "fff", "4095");
        row("wizard", "bits not hex", "TripInt", "1G4", "");
        row("trip", "bits", "TripInt", "0x104", "260");
        row("trip", "bits lower case edge", "TripInt", "0x00000fff", "4095");
        row("trip", "bits above Maxval", "TripInt", "0x1000", "");
        row("trip", "bits not hex", "TripInt", "0xzz", "");
        row("trip", "bits other spelling", "TripInt", "0X082", "130");
        row("trip", "bits beyond 32", "TripInt", "0x123456789", "");
        row("trip", "empty", "TripInt", "", "");
        row("trip", "external edge", "TripExt", "0xff", "255");
        row("trip", "external above Maxval", "TripExt", "0x100", "");
    }

    void write()
    {
        QFETCH(QString, path);
        QFETCH(QString, param);
        QFETCH(QString, given);
        QFETCH(QString, held);
        if (path == "cell")
            byCellEditor(param, given, held);
        else if (path == "group")
            byGroupDialog(param, given, held);
        else if (path == "script")
            byScript(param, given, held);
        else if (path == "wizard")
            byWizardLine(param, given, held);
        else
            byTripDialog(param, given, held);
    }

    // Typing is checked key by key against what the parameter takes.
    void cellEditorRefusesKeys()
    {
        ORVEHVNode *trip = paramNode(0, "TripInt");
        ORVEHVWidgetItem bits(trip);
        bits.buildEditor(trip->dataType(), trip->accessMode(), trip->value().value, trip->unitText(), true);
        auto *line = qobject_cast<QLineEdit *>(bits.innerEditor());
        line->clear();
        QTest::keyClicks(line, "1g0z4");
        QCOMPARE(line->text(), QStringLiteral("104"));
        QVERIFY(line->hasAcceptableInput());
        QTest::keyClicks(line, "0");   // 0x1040 is above Maxval: typed, but not acceptable
        QVERIFY(!line->hasAcceptableInput());

        ORVEHVNode *name = paramNode(0, "Name");
        ORVEHVWidgetItem text(name);
        text.buildEditor(name->dataType(), name->accessMode(), name->value().value, name->unitText(), true);
        auto *nameLine = qobject_cast<QLineEdit *>(text.innerEditor());
        nameLine->clear();
        QTest::keyClicks(nameLine, "TWELVE-CHARS");
        QCOMPARE(nameLine->text(), QStringLiteral("TWELVE-CHAR"));
    }

    // ------------------------------------------------------------ flag dialog
    void flagDialog_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("toggle");
        QTest::addColumn<int>("written");
        QTest::newRow("uncheck Trip") << 37 << 5 << 5;
        QTest::newRow("bits above 5 kept") << 0x1C1 << 0 << 0x1C0;
        QTest::newRow("edge: all sixteen bits") << 0xFFFF << 2 << 0xFFFB;
    }

    void flagDialog()
    {
        QFETCH(int, word);
        QFETCH(int, toggle);
        QFETCH(int, written);
        vhw::setSysProp(m_id, "GenSignCfg", word);
        auto *d = new QGenSignCfgDialog(nullptr, word, m_sys->systemNode());
        d->checkBox(toggle)->click();
        d->accept();
        QCOMPARE(vhw::sysPropValue(m_id, "GenSignCfg"), double(written));
        QVERIFY(m_messages.isEmpty());
    }

    // ------------------------------------------------ while a script runs
    // Every other path is refused at the write itself, with one message;
    // the script's own writes go on.
    void onlyTheScriptWritesWhileItRuns()
    {
        ORVEHVNode *vset = paramNode(2, "VSet");
        QMenu menu;
        ChannelGroups groups(&menu, [this] { return QList<ORVEHVNode *>{m_sys->systemNode()}; }, nullptr);
        groups.addGroup(QStringLiteral("G"), {channel(2), vset});
        QPointer<QSetGroupValueDialog> group = groups.openGroup(0);
        QTripHandlingDialog trip(0, m_sys->systemNode(), nullptr);
        ORVEHVNode *name = paramNode(2, "Name");
        ORVEHVWidgetItem cell(name);
        cell.buildEditor(name->dataType(), name->accessMode(), name->value().value, name->unitText(), true);

        ScriptRunner runner(m_sys.get());
        QStringList refusals;
        QObject::connect(&runner, &ScriptRunner::reportAppended, this, [&](const QString &html) {
            if (!html.startsWith(QLatin1String("WAIT")))
                return;
            QTimer::singleShot(0, this, [&] {
                QVERIFY(WriteGate::isClosed());
                qobject_cast<QDoubleSpinBox *>(group->editor()->innerEditor())->setValue(555);
                group->clickedOkButton();
                tripTable(&trip, Slot)->item(2, 1)->setText(QStringLiteral("0x104"));
                trip.applyValues();
                enter(&cell, QStringLiteral("CELL"));
                cell.commitOnEnter();
                CommandFeedback::writeProperty(m_sys->systemNode(), QStringLiteral("GenSignCfg"), 1, nullptr);
                // and the node itself, whoever calls it
                QCOMPARE(vset->writeValue(777.0), WriteGate::RefusedCode);
                for (const OperatorMessage &m : std::as_const(m_messages))
                    refusals << m.text + m.informativeText;
            });
        });
        const int r = runner.run({QStringLiteral("set VSet 8{2} 250"), QStringLiteral("wait 300"),
                                  QStringLiteral("set VSet 8{3} 350")});
        QCOMPARE(r, 0);
        QCOMPARE(refusals.size(), 4);
        for (const QString &m : std::as_const(refusals))
            QVERIFY2(m.contains(QStringLiteral("A script is running: ")), qPrintable(m));
        QCOMPARE(deviceText(m_id, 2, "VSet"), QStringLiteral("250"));
        QCOMPARE(deviceText(m_id, 3, "VSet"), QStringLiteral("350"));
        QCOMPARE(deviceText(m_id, 2, "TripInt"), Start.value("TripInt"));
        QCOMPARE(deviceText(m_id, 2, "Name"), Start.value("Name"));
        QCOMPARE(vhw::sysPropValue(m_id, "GenSignCfg"), 0.0);
        QVERIFY(group);  // left open, to try again

        // after the run the same dialog writes
        m_messages.clear();
        group->clickedOkButton();
        QCOMPARE(deviceText(m_id, 2, "VSet"), QStringLiteral("555"));
        QVERIFY(m_messages.isEmpty());
    }
};

QTEST_MAIN(TestWritePaths)
#include "tst_write_paths.moc"
