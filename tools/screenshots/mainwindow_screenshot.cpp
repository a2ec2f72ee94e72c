// The system panels in the main window: two default systems connected, the
// program's style sheet applied, the window grabbed.
//   mainwindow_screenshot [output file, default /tmp/h4b-mainwindow.png] [stale]
// With "stale" the window is maximized and the first system stops sending
// events: the window is grabbed once its values show as stale, and stays
// open five more seconds for a picture of the whole screen.

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "device/EventWatchdog.h"
#include "device/QSystemInterface.h"
#include "panels/QCollapsibleWidget.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QStackedWidget>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/h4b-mainwindow.png");
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    const auto resources = MainWindowLogic::startupResources(int(QLocale::system().territory()));
    QFile sheet(resources.styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow::setMessageHook([](const OperatorMessage &) { return 0; });
    const bool stale = argc > 2 && QByteArray(argv[2]) == "stale";
    MainWindow *window = MainWindow::create();
    window->setGeometry(0, 0, 1500, 900);
    if (stale)
        window->showMaximized();
    else
        window->show();
    window->startEventServer();
    for (QWidget *w : QApplication::topLevelWidgets())   // the connect dialog opened at start-up
        if (w != window && w->isVisible())
            w->close();
    window->connectToSystem(2, 0, "192.0.2.10", "Crate A", "admin", "admin");
    window->connectToSystem(6, 5, "COM3_9600_8_0_0_0", "NIM desk", "", "");
    window->setCurrentSubWindowIndex(0);
    if (auto *list = window->findChild<QCollapsibleWidget *>())
        list->expandItem(0);  // the first system's commands panel
    for (int i = 0; i < 30; ++i) {
        vhw::advanceTime(0.1);
        app.processEvents();
    }
    if (stale) {
        vhw::holdEvents(vhw::findSystem("192.0.2.10"));
        window->connections()->watchdog()->setLimit(6500);  // past one keep-alive of the others
    }
    QTimer::singleShot(stale ? 9000 : 1500, &app, [&] {
        window->grab().save(out);
        QTimer::singleShot(stale ? 5000 : 0, &app, &QApplication::quit);
    });
    app.exec();
    for (QSystemInterface *s : window->connections()->systems())
        ORVEHV_DeinitSystem(s->handle());
    return 0;
}
