// The action script dialog as the operator sees it: the editor with a ramp
// script, the wizard with a line being built, and the report of a finished
// run (one refused board group, so the error lines show too).
//   script_screenshots [folder, default /tmp]
#include "ORVEHVWrapper.h"
#include "tools/screenshots/SaveShot.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "script/QScriptDialog.h"
#include "script/QScriptWizard.h"
#include "script/ScriptRunner.h"
#include "views/ORVEHVWidgetItem.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontDatabase>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

namespace {

void choose(QComboBox *c, const QString &text)
{
    const int i = c->findText(text);
    c->setCurrentIndex(i);
    emit c->activated(i);
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    QFile sheet(QStringLiteral(":/Resources/stylesheet-3.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    setOperatorMessageHook([](const OperatorMessage &) { return 0; });
    vhw::setTimeMode(vhw::TimeMode::Manual);

    QSystemInterface sys(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("MF3300"), 0);
    if (sys.connectSystem(nullptr, QStringLiteral("admin"), QStringLiteral("admin")) != 0) {
        std::fprintf(stderr, "no system\n");
        return 1;
    }
    auto *dialog = new QScriptDialog(&sys);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->actionsEdit()->setPlainText(QStringLiteral(
        "set VSet * 100;\nset RUp 0{*}:3{*} 50;\nwait 200;\nset Pw 0{0,1}:3{*} 1;\nset VSet 7{0}:1{40} 20;\n"
        "set TripInt 8{0} 00000104;\nset Pw 8{1} 4294967297;\nset TripExt 8{1} 4294967296;"));
    dialog->show();
    saveShot(dialog, folder + QStringLiteral("/script-dialog.png"));

    dialog->createWizardDialog();
    QScriptWizard *w = dialog->wizard();
    w->addNewLine();
    choose(w->actionCombo(), QStringLiteral("WAIT"));
    w->waitSpin()->setValue(2000);
    w->lineOk();
    w->addNewLine();
    choose(w->actionCombo(), QStringLiteral("SET"));
    choose(w->parameterCombo(), QStringLiteral("VSet"));
    choose(w->channelsCombo(), QStringLiteral("Misc."));
    QTreeWidget *tree = w->channelTree();
    tree->topLevelItem(1)->setExpanded(true);
    tree->topLevelItem(1)->child(0)->setCheckState(0, Qt::Checked);
    tree->topLevelItem(1)->child(2)->setCheckState(0, Qt::Checked);
    w->resize(1000, 380);
    w->show();
    saveShot(w, folder + QStringLiteral("/script-wizard-novalue.png"));
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(w->valueEditor()->innerEditor())) {
        spin->setFocus();
        QTest::keyClicks(spin, QStringLiteral("1250.5"));
    }
    saveShot(w, folder + QStringLiteral("/script-wizard.png"));
    w->reject();

    QObject::connect(dialog->runner(), &script::ScriptRunner::runEnded, &app, [&] {
        QTimer::singleShot(100, &app, [&] {
            saveShot(dialog->executionWindow(), folder + QStringLiteral("/script-report.png"));
            app.quit();
        });
    });
    QTimer::singleShot(0, dialog, [dialog] { dialog->handleExecActions(); });
    app.exec();
    std::fflush(stdout);
    delete dialog;
    ORVEHV_DeinitSystem(sys.handle());
    return 0;
}
