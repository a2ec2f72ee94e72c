// Offscreen pictures of the left dock's system boxes and the right dock's
// board information page for the default 16-slot mainframe:
//   panel_screenshots [output directory, default /tmp]

#include "ORVEHVWrapper.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "panels/QBoardInformations.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "panels/QSystemStatusBar.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QStackedWidget>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    vhw::setTimeMode(vhw::TimeMode::Manual);

    QWidget left;
    left.setFixedWidth(250);
    auto *leftLayout = new QVBoxLayout(&left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto *list = new QCollapsibleWidget(&left);
    leftLayout->addWidget(list);
    QMdiArea views;
    QStackedWidget stack;
    stack.setFixedWidth(230);

    struct Target { int type, link; const char *arg, *user, *pass, *name; };
    const Target targets[] = {{2, 0, "192.0.2.10", "admin", "admin", "Crate A"},
                              {16, 0, "192.0.2.20", "admin", "admin", "Rack"},
                              {6, 5, "COM3_9600_8_0_0_0", "", "", "NIM desk unit, east hall bench 2"}};
    QList<QSystemInterface *> systems;
    int index = 0;
    for (const Target &t : targets) {
        auto *sys = new QSystemInterface(t.type, t.link, t.arg, t.name, index);
        if (sys->connectSystem(nullptr, t.user, t.pass) != 0) {
            qWarning("could not connect %s", t.arg);
            delete sys;
            continue;
        }
        SystemPanelBuilder::buildPanels(sys, list, &views, &stack, -1);
        SystemPanelBuilder::describeConnection(sys);
        sys->setCrateOffset(0);
        systems.append(sys);
        ++index;
    }
    if (systems.isEmpty())
        return 1;
    list->setSelectedIndex(0);
    left.resize(250, 420);
    left.show();
    stack.setCurrentIndex(0);
    stack.resize(230, 900);
    stack.show();
    // Collapse one board to show both states.
    if (auto *info = qobject_cast<QBoardInformations *>(systems.at(0)->boardInformationPanel())) {
        if (info->boxCount() > 3)
            info->box(3)->setExpanded(false);
    }
    QWidget barHost;
    auto *barLayout = new QVBoxLayout(&barHost);
    barLayout->setContentsMargins(0, 0, 0, 0);
    for (QSystemInterface *sys : systems) {
        auto *bar = qobject_cast<QSystemStatusBar *>(sys->statusBar());
        barLayout->addWidget(bar);
        bar->show();
    }
    if (auto *bar = qobject_cast<QSystemStatusBar *>(systems.at(0)->statusBar())) {
        bar->setSyncIndicator(true);
        bar->setWarningIndicator(true);
    }
    barHost.resize(900, 90);
    barHost.show();
    app.processEvents();

    bool ok = left.grab().save(out + "/h4b-systembox.png");
    ok = stack.grab().save(out + "/h4b-boardinfo.png") && ok;
    ok = barHost.grab().save(out + "/h4b-statusbars.png") && ok;
    for (QSystemInterface *sys : systems) {
        ORVEHV_DeinitSystem(sys->handle());
        delete sys;
    }
    return ok ? 0 : 2;
}
