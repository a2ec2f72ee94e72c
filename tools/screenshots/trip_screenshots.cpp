// Grabs the trip-line dialogs of the default MF3300 (internal lines with a
// word that uses two lines, and the warning about it; external lines across
// boards) and the disconnect dialog of the default VME crate.
// Usage: trip_screenshots [folder] (default /tmp).
#include "app/MainWindow.h"
#include "tools/screenshots/SaveShot.h"
#include "app/SystemConnections.h"
#include "app/SystemPanelBuilder.h"
#include "connect/QDisconnectDialog.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "views/QTripHandlingDialog.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    vhw::setTimeMode(vhw::TimeMode::Manual);
    const int id = vhw::findSystem("192.0.2.10");
    vhw::setChannelParam(id, 8, 0, "TripInt", 0x104);
    vhw::setChannelParam(id, 8, 3, "TripInt", 0x104);
    vhw::setChannelParam(id, 8, 5, "TripInt", 0x082);
    vhw::setChannelParam(id, 8, 2, "TripInt", 0x3); // lines 0 and 1: the warning
    vhw::setChannelParam(id, 8, 0, "TripExt", 0x88);
    vhw::setChannelParam(id, 3, 7, "TripExt", 0x88);
    vhw::setChannelParam(id, 3, 9, "TripExt", 0x11);

    bool ok = true;
    // Message boxes are shown without blocking and grabbed.
    setOperatorMessageHook([&](const OperatorMessage &m) {
        QMessageBox box(m.icon, QStringLiteral("KEBODESK"), m.text);
        box.show();
        ok &= saveShot(&box, folder + "/trip_internal_warning_box.png");
        return 0;
    });

    MainWindow *w = MainWindow::create();
    w->startEventServer();
    w->resize(1400, 900);
    w->show();
    if (w->connectToSystem(2, 0, "192.0.2.10", "MF3300", "admin", "admin") != 0)
        return 1;
    ORVEHVNode *system = w->connections()->systems().first()->systemNode();
    {
        QTripHandlingDialog d(0, system, nullptr);
        d.show();
        if (auto *tabs = d.findChild<QTabWidget *>())
            tabs->setCurrentIndex(tabs->count() - 1); // the trip-line board

        QTest::qWait(800); // the warning comes half a second after opening
        ok &= saveShot(&d, folder + "/trip_internal.png");
    }
    {
        QTripHandlingDialog d(1, system, nullptr);
        d.show();
        QTest::mouseClick(d.lineButtons(-1).at(2), Qt::LeftButton);
        ok &= saveShot(&d, folder + "/trip_external.png");
    }
    w->disconnectFromSystem(0);

    w->connectToSystem(5, 3, "0_0_C0", QString(), QString(), QString());
    w->connectToSystem(5, 3, "0_0_C1", QString(), QString(), QString());
    w->disconnectFromSystem(0);
    if (auto *d = w->findChild<QDisconnectDialog *>()) {
        d->choices().at(2)->click();
        ok &= saveShot(d, folder + "/disconnect_vme_crate.png");
    } else {
        ok = false;
    }
    setOperatorMessageHook({});
    delete w;
    return ok ? 0 : 1;
}
