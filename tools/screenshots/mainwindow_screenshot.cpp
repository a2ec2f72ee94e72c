// The main window with two default systems connected, the program's style
// sheet applied:
//   mainwindow_screenshot [output file, default /tmp/h4b-mainwindow.png] [scene]
// Without a scene the window (1500 x 900) is grabbed by itself. A scene shows
// the window maximised on the screen as an operator has it and grabs the
// whole screen, so run it on an X display with a window manager (Xvfb):
//   tabbed, tiled, floated   the views in that mode
//   menu                     the context menu of a value cell (VSet) open
//   stale                    the first system stops sending events; the screen
//                            is grabbed once its values show as stale
#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "device/EventWatchdog.h"
#include "device/QSystemInterface.h"
#include "panels/QCollapsibleWidget.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>

namespace {

// Opens the editor of the first channel's VSet cell and its context menu.
void openValueCellMenu(MainWindow *window)
{
    auto *view = qobject_cast<QSubWindow *>(window->connections()->systems().first()->subWindow());
    QCustomTableWidget *table = view->table();
    int column = 0;
    for (int c = 0; c < table->columnCount(); ++c)
        if (table->columnName(c) == QLatin1String("VSet"))
            column = c;
    table->setCurrentCell(0, column);
    table->editItem(table->item(0, column));
    QApplication::processEvents();
    QWidget *editor = table->viewport()->findChild<QAbstractSpinBox *>();
    if (!editor)
        editor = table->viewport()->findChild<QLineEdit *>();
    if (!editor)
        return;
    const QPoint at = editor->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, editor->mapToGlobal(at));
    QApplication::sendEvent(editor, &event);   // a spin box's menu runs its own loop until closed
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/h4b-mainwindow.png");
    const QString scene = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    const auto resources = MainWindowLogic::startupResources(int(QLocale::system().territory()));
    QFile sheet(resources.styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow::setMessageHook([](const OperatorMessage &) { return 0; });
    MainWindow *window = MainWindow::create();
    if (scene.isEmpty()) {
        window->setGeometry(0, 0, 1500, 900);
        window->show();
    } else {
        window->showMaximized();
    }
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
    const bool stale = scene == QLatin1String("stale");
    if (stale) {
        vhw::holdEvents(vhw::findSystem("192.0.2.10"));
        window->connections()->watchdog()->setLimit(6500);  // past one keep-alive of the others
    }
    if (scene == QLatin1String("tiled"))
        window->tileMdiAreaViews();
    else if (scene == QLatin1String("floated"))
        window->floatMdiAreaViews();
    const auto save = [&] {
        if (scene.isEmpty())
            window->grab().save(out);
        else
            window->screen()->grabWindow(0).save(out);
    };
    if (scene == QLatin1String("menu")) {
        QTimer::singleShot(1500, &app, [&] {
            save();
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
            app.exit(0);   // quit() would ask the floated windows, which refuse to close
        });
        QTimer::singleShot(500, &app, [&] { openValueCellMenu(window); });
    } else {
        QTimer::singleShot(stale ? 9000 : 1500, &app, [&] {
            save();
            app.exit(0);   // quit() would ask the floated windows, which refuse to close
        });
    }
    app.exec();
    for (QSystemInterface *s : window->connections()->systems())
        ORVEHV_DeinitSystem(s->handle());
    return 0;
}
