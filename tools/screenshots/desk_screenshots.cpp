// The operator's desk as a window manager shows it: the whole screen with
// two systems connected (a mainframe and a VME crate of two named boards),
// the mainframe's table scrolled to its right edge, then with the trip-line dialog opened from its column header, then during
// a script run with its execution window. Run it on a desktop (for example
// Xvfb with openbox); it grabs the screen, window frames included.
//   desk_screenshots [folder, default /tmp]
#include "app/MainWindow.h"
#include "app/MainWindowLogic.h"
#include "app/SystemConnections.h"
#include "device/QSystemInterface.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QSystemInformations.h"
#include "script/QScriptDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "views/QTripHandlingDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLocale>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <cstdio>

namespace {
void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool shoot(const QString &path)
{
    settle(800);
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    QFile sheet(MainWindowLogic::startupResources(int(QLocale::system().territory())).styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow::setMessageHook([](const OperatorMessage &) { return 0; });
    MainWindow *window = MainWindow::create();
    window->show();
    window->startEventServer();
    for (QWidget *w : QApplication::topLevelWidgets())  // the connect dialog opened at start-up
        if (w != window && w->isVisible())
            w->close();
    bool ok = window->connectToSystem(2, 0, "192.0.2.10", "Hall A", "admin", "admin") == 0;
    ok &= window->connectToSystem(5, 3, "0_0_C0", "Crate B", "Tracker", "") == 0;
    ok &= window->connectToSystem(5, 3, "0_0_C1", "Crate B", "Veto", "") == 0;
    if (!ok) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    QSystemInterface *hall = window->connections()->systems().first();
    window->setCurrentSubWindowIndex(0);
    if (auto *list = window->findChild<QCollapsibleWidget *>())
        list->expandItem(0);
    settle(1500);
    ok &= shoot(folder + "/main-two-systems.png");

    QCustomTableWidget *table = qobject_cast<QSubWindow *>(hall->subWindow())->table();
    // Scrolled to its right edge, the names stay at the left.
    table->horizontalScrollBar()->setValue(table->horizontalScrollBar()->maximum());
    ok &= shoot(folder + "/main-scrolled-right.png");
    table->horizontalScrollBar()->setValue(0);
    emit table->horizontalHeader()->sectionClicked(table->columnByName("TripInt"));
    if (auto *trip = window->findChild<QTripHandlingDialog *>()) {
        ok &= shoot(folder + "/trip-dialog.png");
        trip->close();
    }

    qobject_cast<QSystemInformations *>(hall->systemCommandsPanel())->scriptingClicked();
    settle(300);
    QScriptDialog *script = window->findChild<QScriptDialog *>();
    if (!script)
        return 1;
    script->actionsEdit()->setPlainText("set VSet 1{0} 10;\nwait 4000;\nset VSet 1{1} 20;");
    QTimer::singleShot(2500, script, [&] {
        ok &= shoot(folder + "/script-run.png");
        script->stopButtonClicked();
    });
    script->handleExecActions();
    settle(300);
    script->close();
    for (QSystemInterface *s : window->connections()->systems())
        ORVEHV_DeinitSystem(s->handle());
    return ok ? 0 : 1;
}
