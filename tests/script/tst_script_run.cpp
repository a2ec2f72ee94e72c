// Scripts run against the virtual MF3300 (192.0.2.10: boards in slots 0, 1,
// 3 and 8 of 16): values read back from the device, the report, stop,
// pause, a system that goes away mid-run, the dialog's files and checker,
// and the wizard, which must never write to the device.
#include "ORVEHVWrapper.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "script/QScriptDialog.h"
#include "script/QScriptWizard.h"
#include "script/ScriptLanguage.h"
#include "script/ScriptRunLock.h"
#include "script/ScriptRunner.h"
#include "views/QCustomTableWidget.h"
#include "virtualhw/VirtualControl.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

using script::ScriptRunner;

namespace {

std::unique_ptr<QSystemInterface> connectMainframe()
{
    auto sys = std::make_unique<QSystemInterface>(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("MF3300"), 0);
    if (sys->connectSystem(nullptr, QStringLiteral("admin"), QStringLiteral("admin")) != 0)
        return nullptr;
    return sys;
}

void disconnect(QSystemInterface *sys)
{
    if (sys && sys->handle() >= 0) {
        ORVEHV_DeinitSystem(sys->handle());
        sys->setHandle(-1);
    }
}

// Runs `fn` once the report shows `piece` (inside the run's event loop).
void onReport(ScriptRunner *runner, const QString &piece, std::function<void()> fn)
{
    auto fired = std::make_shared<bool>(false);
    QObject::connect(runner, &ScriptRunner::reportAppended, runner, [=](const QString &html) {
        if (!*fired && html.contains(piece)) {
            *fired = true;
            QTimer::singleShot(0, runner, fn);
        }
    });
}

} // namespace

class TestScriptRun : public QObject
{
    Q_OBJECT

    int m_id = -1;
    std::unique_ptr<QSystemInterface> m_sys;
    QList<OperatorMessage> m_messages;
    int m_answer = 0;

    double device(int slot, int ch, const char *name) const { return vhw::channelParamValue(m_id, slot, ch, name); }

private slots:
    void initTestCase()
    {
        vhw::setTimeMode(vhw::TimeMode::Manual);
        setOperatorMessageHook([this](const OperatorMessage &m) {
            m_messages << m;
            return m_answer;
        });
    }

    void init()
    {
        vhw::resetWorld();
        m_id = vhw::findSystem("192.0.2.10");
        m_sys = connectMainframe();
        QVERIFY(m_sys);
        m_messages.clear();
        m_answer = 0;
    }

    void cleanup()
    {
        disconnect(m_sys.get());
        m_sys.reset();
        QVERIFY(!script::isLockedForRun());
        QVERIFY(!script::anyRunActive());
    }

    void exampleScriptSetsAndPowers()
    {
        QCustomTableWidget table(false);
        const auto triggers = table.editTriggers();
        QAbstractItemView::EditTriggers duringRun = triggers;
        ScriptRunner runner(m_sys.get());
        connect(&runner, &ScriptRunner::runStarted, this, [&] { duringRun = table.editTriggers(); });

        const int r = runner.run(script::splitActions("set VSet * 100;\nwait 200;\nset Pw 1{0,1}:3{*} 1;"));
        QCOMPARE(r, 0);
        QCOMPARE(duringRun, QAbstractItemView::EditTriggers(QAbstractItemView::NoEditTriggers));
        QCOMPARE(table.editTriggers(), triggers);

        for (int slot : {0, 1, 3, 8})
            QCOMPARE(device(slot, 5, "VSet"), 100.0);
        QCOMPARE(device(1, 0, "Pw"), 1.0);
        QCOMPARE(device(1, 1, "Pw"), 1.0);
        QCOMPARE(device(1, 2, "Pw"), 0.0);
        QCOMPARE(device(3, 7, "Pw"), 1.0);

        const QString rep = runner.report();
        QVERIFY(rep.contains("SET [VSet]for [ALL]to [100]...<b>OK</b><br>"));
        QVERIFY(rep.contains("WAIT 200 ms...<b>OK</b><br>"));
        QVERIFY(rep.endsWith("<br>Script successfully executed.<br><br></div></body></html>"));
    }

    void unknownParameterReportedPerChannel()
    {
        ScriptRunner runner(m_sys.get());
        const int r = runner.run({"set VSet 1{0} 10", "set Bogus 3{*} 1", "set vset 1{1} 20"});
        QCOMPARE(r, int(ScriptRunner::Failed));
        const QString rep = runner.report();
        const int channels = m_sys->systemNode()->children().at(3)->children().size();
        QCOMPARE(rep.count("Unknown parameter [Bogus]"), channels);
        QVERIFY(rep.contains("<br><p style=\"text-indent:10px;\"><b>ERROR</b> - Unknown parameter [Bogus] for bd[3] ch[0] <br></p>"));
        // the run goes on, and parameter names match without regard to case
        QCOMPARE(device(1, 0, "VSet"), 10.0);
        QCOMPARE(device(1, 1, "VSet"), 20.0);
        QVERIFY(rep.endsWith("<br>Some errors occourred in script.<br><br></div></body></html>"));
    }

    void badIndicesAndRefusedWrites()
    {
        const double before = device(1, 0, "VSet");
        ScriptRunner runner(m_sys.get());
        QCOMPARE(runner.run({"set VSet 0{0}:16{0}:2{0}:0{99}:8{1} 55"}), int(ScriptRunner::Failed));
        const QString rep = runner.report();
        QVERIFY(rep.contains("<b>ERROR</b> - Board index [16] out of bounds<br></p>"));
        QVERIFY(rep.contains("<b>ERROR</b> - No board in slot [2] <br></p>"));
        QVERIFY(rep.contains("<b>ERROR</b> - SET [VSet]for bd[0] ch[99]to [55] -Channel index [99] out of bounds<br></p>"));
        QVERIFY(!rep.contains("<b>OK</b>"));
        QCOMPARE(device(0, 0, "VSet"), 55.0);
        QCOMPARE(device(8, 1, "VSet"), 55.0);
        QCOMPARE(device(1, 0, "VSet"), before);

        // a write the device refuses is reported for its channel and keeps the
        // library's code as the result; the other channels are still written
        vhw::failWrite(m_id, "ISet", 7);
        ScriptRunner refused(m_sys.get());
        QCOMPARE(refused.run({"set ISet 1{0,1} 5", "set VSet 1{2} 66"}), 7);
        QCOMPARE(refused.report().count("<b>ERROR</b> - SET [ISet]for bd[1] ch["), 2);
        QCOMPARE(device(1, 2, "VSet"), 66.0);
        QCOMPARE(m_sys->systemNode()->children().at(1)->children().at(0)->parameter("ISet")->value().status,
                 int(ValueWriteFailed));
    }

    void scriptFailingTheCheckWritesNothing()
    {
        // a mistyped wait must not let the power-on run without it
        const double vset = device(1, 0, "VSet");
        ScriptRunner runner(m_sys.get());
        QCOMPARE(runner.run({"set VSet 1{0} 44", "wiat 1000", "set Pw 1{0} 1"}), int(ScriptRunner::Failed));
        QVERIFY(runner.report().contains("Script checking has incountered an error.<br>Syntax error in action [2]<br>"));
        QVERIFY(runner.report().endsWith("<br>Some errors occourred in script.<br><br></div></body></html>"));
        QCOMPARE(device(1, 0, "VSet"), vset);
        QCOMPARE(device(1, 0, "Pw"), 0.0);
    }

    void pauseThenStartContinuesTheSameRun()
    {
        QScriptDialog dialog(m_sys.get());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.actionsEdit()->setPlainText("set VSet 1{0} 11;\nwait 300;\nset VSet 1{1} 22;");
        bool heldWhilePaused = false;
        onReport(dialog.runner(), "WAIT", [&] {
            dialog.pauseButtonClicked();
            // well past the wait: a paused run holds still
            QTimer::singleShot(1500, &dialog, [&] {
                heldWhilePaused = dialog.runner()->state() == ScriptRunner::Paused && device(1, 1, "VSet") != 22.0;
                dialog.handleExecActions(); // a second Start of the dialog starts nothing
                dialog.startButtonClicked();
            });
        });
        dialog.handleExecActions();
        QVERIFY(heldWhilePaused);
        QCOMPARE(device(1, 0, "VSet"), 11.0);
        QCOMPARE(device(1, 1, "VSet"), 22.0);
        const QString rep = dialog.runner()->report();
        QCOMPARE(rep.count("<!DOCTYPE"), 1);
        QVERIFY(rep.endsWith("<br>Script successfully executed.<br><br></div></body></html>"));
        QVERIFY(dialog.reportView()->toPlainText().contains("Script successfully executed."));
    }

    // Through a whole run the execution window stays in view above the
    // editor (a window of the editor's, which window managers keep on top),
    // the editor is never minimised (that takes the main window along) and
    // Stop stays enabled until pressed; pressing it ends the run.
    void stopStaysInReachDuringTheRun()
    {
        QWidget mainWindow;
        mainWindow.show();
        auto *dialog = new QScriptDialog(m_sys.get(), &mainWindow);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->actionsEdit()->setPlainText("set VSet 1{0} 11;\nwait 10000;\nset VSet 1{1} 22;");
        QWidget *exec = dialog->executionWindow();
        auto *stop = exec->findChild<QPushButton *>("stopButton");
        QStringList faults;
        auto check = [&](const char *when) {
            if (!exec->isVisible())
                faults << QString("%1: execution window hidden").arg(when);
            if (dialog->isMinimized() || mainWindow.isMinimized())
                faults << QString("%1: editor or main window minimised").arg(when);
            if (!exec->windowHandle() || exec->windowHandle()->transientParent() != dialog->windowHandle())
                faults << QString("%1: execution window not kept above the editor").arg(when);
            if (!stop->isEnabled())
                faults << QString("%1: Stop disabled").arg(when);
        };
        onReport(dialog->runner(), "WAIT", [&] {
            check("at the start of the wait");
            QTimer::singleShot(400, dialog, [&] {
                check("during the wait");
                QTest::mouseClick(stop, Qt::LeftButton);
            });
        });
        QTimer::singleShot(0, dialog, [dialog] { dialog->handleExecActions(); });
        QTRY_VERIFY_WITH_TIMEOUT(dialog->runner()->report().contains("Script stopped by the user."), 20000);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        QCOMPARE(device(1, 0, "VSet"), 11.0);
        QVERIFY(device(1, 1, "VSet") != 22.0);
        // after the run the report stays in view, the editor usable again
        QVERIFY(exec->isVisible());
        QVERIFY(!dialog->actionsEdit()->isReadOnly());
        delete dialog;
    }

    void systemGoneEndsTheRun_data()
    {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("disconnected and deleted") << true;
        QTest::newRow("connection lost") << false;
    }

    void systemGoneEndsTheRun()
    {
        QFETCH(bool, destroy);
        auto *dialog = new QScriptDialog(m_sys.get());
        QPointer<QScriptDialog> guard(dialog);
        dialog->actionsEdit()->setPlainText("wait 10000;\nset VSet 1{0} 33;");
        onReport(dialog->runner(), "WAIT", [&] {
            if (destroy) {
                disconnect(m_sys.get());
                m_sys.reset();
            } else {
                m_sys->systemNode()->setConnectionState(ConnectionLost);
            }
        });
        dialog->handleExecActions();
        const QString rep = dialog->runner()->report();
        QVERIFY(rep.contains("<b>ERROR</b> - Connection to the system lost, script aborted<br></p>"));
        QVERIFY(rep.endsWith("<br>Some errors occourred in script.<br><br></div></body></html>"));
        QVERIFY(device(1, 0, "VSet") != 33.0);
        if (destroy) {
            // the script stays to be saved; nothing can start against a freed system
            dialog->handleExecActions();
            QVERIFY(!dialog->isRunning());
            QVERIFY(dialog->findChild<QLabel *>("systemGoneLabel")->isVisibleTo(dialog));
            QCOMPARE(dialog->actionsEdit()->toPlainText(), QString("wait 10000;\nset VSet 1{0} 33;"));
        }
        delete dialog;
    }

    void closingStopsTheRunFirst_data()
    {
        QTest::addColumn<bool>("fromMainWindow");
        QTest::newRow("dialog closed") << false;
        QTest::newRow("program closing") << true;
    }

    void closingStopsTheRunFirst()
    {
        QFETCH(bool, fromMainWindow);
        auto *dialog = new QScriptDialog(m_sys.get());
        QPointer<QScriptDialog> guard(dialog);
        dialog->show();
        dialog->actionsEdit()->setPlainText("wait 10000;\nset VSet 1{0} 88;");
        bool asked = false;
        bool stillOpenDuringStop = false;
        onReport(dialog->runner(), "WAIT", [&] {
            if (fromMainWindow)
                script::stopAllRuns();
            else
                dialog->close();
            asked = true;
            stillOpenDuringStop = !guard.isNull() && guard->isRunning();
        });
        QTimer::singleShot(0, dialog, [dialog] { dialog->handleExecActions(); });
        QTRY_VERIFY_WITH_TIMEOUT(asked, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!script::anyRunActive(), 20000);
        QVERIFY(stillOpenDuringStop);
        if (guard)
            QVERIFY(guard->runner()->report().contains("Script stopped by the user."));
        QVERIFY(device(1, 0, "VSet") != 88.0);
        if (fromMainWindow) {
            QVERIFY(guard);
            delete dialog;
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 20000);
        }
    }

    void loadAndSave()
    {
        QTemporaryDir dir;
        QScriptDialog dialog(m_sys.get());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
            return f.fileName();
        };

        QVERIFY(dialog.loadScriptFrom(write("multi.cas", "set\n VSet *\n 100;\n\nwait\n2000;")));
        QCOMPARE(dialog.actionsEdit()->toPlainText(), QString("set VSet * 100;\nwait 2000;"));
        QVERIFY(m_messages.isEmpty());

        // a bad file (which files are bad: tst_script_language::decodeFile):
        // one message, the editor keeps its script
        const QString before = dialog.actionsEdit()->toPlainText();
        QVERIFY(!dialog.loadScriptFrom(write("bad.cas", QByteArray("\x01\x02\0\x7f garbage", 12))));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, QString("Incorrect file format."));
        QCOMPARE(dialog.actionsEdit()->toPlainText(), before);
        m_messages.clear();
        QVERIFY(!dialog.loadScriptFrom(dir.filePath("missing.cas")));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().informativeText.contains("missing.cas"));

        // a good file over a script in the editor asks first; No keeps it
        m_messages.clear();
        m_answer = 1;
        QVERIFY(!dialog.loadScriptFrom(write("other.cas", "wait 5;")));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().text.startsWith("There are still actions in the previous script."));
        QCOMPARE(dialog.actionsEdit()->toPlainText(), before);
        m_answer = 0;
        QVERIFY(dialog.loadScriptFrom(dir.filePath("other.cas")));
        QCOMPARE(dialog.actionsEdit()->toPlainText(), QString("wait 5;"));

        // saving adds the extension once and writes the text as it stands
        m_messages.clear();
        dialog.actionsEdit()->setPlainText("set VSet * 1;\n  wait 3;");
        QVERIFY(dialog.saveScriptTo(dir.filePath("ramp")));
        QVERIFY(dialog.saveScriptTo(dir.filePath("ramp.cas")));
        QVERIFY(!QFile::exists(dir.filePath("ramp.cas.cas")));
        QFile saved(dir.filePath("ramp.cas"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("set VSet * 1;\n  wait 3;"));
        QVERIFY(!dialog.saveScriptTo(dir.filePath("no/such/dir/ramp")));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, QString("The script could not be saved."));
    }

    void checkButtonTellsTheAction()
    {
        QScriptDialog dialog(m_sys.get());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.actionsEdit()->setPlainText("set VSet * 1;\nwait 1.5;");
        dialog.checkScriptEdited();
        QVERIFY(dialog.checkProgress());
        QCOMPARE(dialog.checkProgress()->labelText(), QString("Script not correctly formatted.\nSyntax error in action [2]"));
        QCOMPARE(dialog.checkProgress()->value(), 100);
        dialog.actionsEdit()->setPlainText("set VSet * 1;\nwait 0;");
        dialog.checkScriptEdited();
        QCOMPARE(dialog.checkProgress()->labelText(), QString("Script format correct."));
    }

    void wizardBuildsLinesWithoutWriting()
    {
        QScriptDialog dialog(m_sys.get());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.show();
        dialog.createWizardDialog();
        QScriptWizard *w = dialog.wizard();
        QVERIFY(w);
        const double vset = device(1, 0, "VSet");
        vhw::resetLibraryCallCount();

        auto choose = [](QComboBox *c, const QString &text) {
            QVERIFY(c);
            const int i = c->findText(text);
            QVERIFY2(i >= 0, qPrintable(text));
            c->setCurrentIndex(i);
            emit c->activated(i);
        };

        // set VSet on two channels of board 1, value typed and committed with Enter
        w->addNewLine();
        choose(w->actionCombo(), "SET");
        choose(w->parameterCombo(), "VSet");
        choose(w->channelsCombo(), "Misc.");
        QTreeWidget *tree = w->channelTree();
        QTreeWidgetItem *board1 = nullptr;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->data(0, Qt::UserRole).toInt() == 1)
                board1 = tree->topLevelItem(i);
        QVERIFY(board1);
        board1->child(0)->setCheckState(0, Qt::Checked);
        board1->child(2)->setCheckState(0, Qt::Checked);
        QCOMPARE(w->currentLineText(), QString("set VSet 1{0,2} "));
        auto *spin = qobject_cast<QDoubleSpinBox *>(w->valueEditor()->innerEditor());
        QVERIFY(spin);
        QApplication::setActiveWindow(w);
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        spin->selectAll();
        QTest::keyClicks(spin, "123.5");
        QVERIFY(w->completeButton()->isEnabled());
        // leaving the field and Enter are where a cell editor commits
        w->completeButton()->setFocus();
        QTRY_VERIFY(!spin->hasFocus());
        spin->setFocus();
        QTRY_VERIFY(spin->hasFocus());
        QTest::keyClick(spin, Qt::Key_Return); // completes the line, writes nothing
        QCOMPARE(w->lines(), QStringList{"set VSet 1{0,2} 123.5;"});

        // power on everything: the on/off choice becomes the number the write takes
        w->addNewLine();
        choose(w->actionCombo(), "SET");
        choose(w->parameterCombo(), "Pw");
        choose(w->channelsCombo(), "All");
        auto *combo = qobject_cast<QComboBox *>(w->valueEditor()->innerEditor());
        QVERIFY(combo);
        combo->setFocus();
        choose(combo, "On");
        combo->clearFocus();
        QVERIFY(w->completeButton()->isEnabled());
        w->lineOk();

        w->addNewLine();
        choose(w->actionCombo(), "WAIT");
        w->waitSpin()->setValue(2000);
        w->lineOk();
        QCOMPARE(w->lines(), (QStringList{"set VSet 1{0,2} 123.5;", "set Pw * 1;", "wait 2000;"}));

        QCOMPARE(vhw::libraryCallCount(), quint64(0));
        QCOMPARE(device(1, 0, "VSet"), vset);
        QCOMPARE(device(1, 0, "Pw"), 0.0);

        // accepting over an empty editor replaces nothing the operator wrote
        m_messages.clear();
        w->accept();
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dialog.actionsEdit()->toPlainText(), QString("set VSet 1{0,2} 123.5;\nset Pw * 1;\nwait 2000;"));
        QCOMPARE(script::checkScript(script::splitActions(dialog.actionsEdit()->toPlainText())), 0);
    }
};

QTEST_MAIN(TestScriptRun)
#include "tst_script_run.moc"
