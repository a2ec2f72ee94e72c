// Offscreen pictures of the commands panel (system box expanded) of a
// mainframe, a B8181, a NIM unit and a VME crate, and of the flag and
// information dialogs the panel opens:
//   commands_screenshots [output directory, default /tmp]

#include "ORVEHVWrapper.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "panels/CommandFeedback.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QFlagWordDialog.h"
#include "panels/QHVOutputDialog.h"
#include "panels/QSysInfoB8181Dialog.h"
#include "panels/QSystemInformations.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMdiArea>
#include <QMessageBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

bool grabDialog(QDialog *d, const QString &file)
{
    d->show();
    d->adjustSize();
    QApplication::processEvents();
    const bool ok = d->grab().save(file);
    d->close();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    vhw::setTimeMode(vhw::TimeMode::Manual);

    struct Target { int type, link; const char *arg, *user, *pass, *name, *file; };
    const Target targets[] = {{2, 0, "192.0.2.10", "admin", "admin", "Crate A", "panel-mf3300.png"},
                              {16, 0, "192.0.2.20", "admin", "admin", "Rack", "panel-b8181.png"},
                              {6, 0, "192.0.2.40_1", "", "", "NIM bench", "panel-nim.png"},
                              {5, 3, "0_0_C0", "", "", "VME", "panel-vme.png"},
                              {13, 0, "192.0.2.60", "", "", "Brisk", "panel-brisk.png"}};
    bool ok = true;
    QList<QSystemInterface *> systems;
    QMdiArea views;
    QStackedWidget stack;
    for (const Target &t : targets) {
        auto *left = new QWidget;
        left->setFixedWidth(250);
        auto *layout = new QVBoxLayout(left);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *list = new QCollapsibleWidget(left);
        layout->addWidget(list);
        auto *sys = new QSystemInterface(t.type, t.link, t.arg, t.name, 0);
        if (sys->connectSystem(nullptr, t.user, t.pass) != 0) {
            qWarning("could not connect %s", t.arg);
            delete sys;
            ok = false;
            continue;
        }
        SystemPanelBuilder::buildPanels(sys, list, &views, &stack, -1);
        sys->setCrateOffset(0);
        systems.append(sys);
        list->setSelectedIndex(0);
        list->expandItem(0);
        left->resize(250, 760);
        left->show();
        app.processEvents();
        ok = left->grab().save(out + QLatin1Char('/') + QLatin1String(t.file)) && ok;
        if (t.type == 2) {
            ok = grabDialog(new QGenSignCfgDialog(nullptr, 37, sys->systemNode()), out + "/dialog-gensigncfg.png") && ok;
            ok = grabDialog(new QResetFlagsDialog(nullptr, 13, sys->systemNode()), out + "/dialog-resetflags.png") && ok;
        }
        if (t.type == 16) {
            ok = grabDialog(new QSysInfoB8181Dialog(nullptr, sys->systemNode()), out + "/dialog-sysinfo-b8181.png") && ok;
            ok = grabDialog(new QHVResetDialog(nullptr, sys->systemNode()), out + "/dialog-hvreset.png") && ok;
            ok = grabDialog(new QHVRecoveryDialog(nullptr, sys->systemNode()), out + "/dialog-hvrecovery.png") && ok;
        }
    }
    // The report of a refused command, as the operator sees it.
    CommandFeedback::BatchResult refused;
    for (int i = 0; i < 4; ++i)
        refused.add(i == 0 ? 0 : ORVEHV_ERR_DEVICE);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("KEBODESK"),
                    CommandFeedback::batchFailedText(QStringLiteral("KILL"), QStringLiteral("NIM bench"), refused,
                                                     QStringLiteral("channels"), QStringLiteral("switched off")));
    box.show();
    app.processEvents();
    ok = box.grab().save(out + "/message-kill-refused.png") && ok;
    box.hide();
    for (QSystemInterface *sys : systems) {
        ORVEHV_DeinitSystem(sys->handle());
        delete sys;
    }
    return ok ? 0 : 2;
}
