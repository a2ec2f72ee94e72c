// VME HV crates in the main window, for review:
//   crate-joined.png      two boards of one bridge shown as one crate
//   crate-live.png        the same crate after the joined board left and
//                         another model took its slot (live removal/insertion)
//   crate-two-bridges.png two USB3 bridges "12345" and "12367": the second
//                         one's lost connection marks only its own crate
//   rack-48v-off.png      a B8181 rack whose 48 V supply was switched off
//                         with its channels on: outputs off, "Pwr Fail",
//                         the commands panel's supply read-outs
//   crate_screenshots <output folder>

#include "app/MainWindow.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "connect/QDisconnectDialog.h"
#include "device/QSystemInterface.h"
#include "panels/QCollapsibleWidget.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QRadioButton>
#include <QThread>

namespace {

void settle(int ms = 800)
{
    QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

void closeDialogs(QWidget *window)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible())
            w->close();
}

// A crate of several boards asks which boards to let go: all of them.
void disconnectAll(MainWindow *window)
{
    while (window->topLevelCount() > 0) {
        window->disconnectFromSystem(0);
        if (auto *ask = window->findChild<QDisconnectDialog *>()) {
            ask->choices().first()->click();   // "All boards"
            ask->okButtonClicked();
            delete ask;
        }
    }
    closeDialogs(window);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath());
    QDir().mkpath(out.path());
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    QFile sheet(MainWindowLogic::startupResources(int(QLocale::system().territory())).styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow::setMessageHook([](const OperatorMessage &) { return 1; });
    MainWindow *window = MainWindow::create();
    static SystemPanelBuilder builder;
    QSystemInterface::setPanelFactory(&builder);
    window->setGeometry(0, 0, 1500, 900);
    window->show();
    window->startEventServer();
    closeDialogs(window);

    window->connectToSystem(5, 3, "0_0_C0", "", "Board00", "");
    window->connectToSystem(5, 3, "0_0_C1", "", "Board01", "");
    settle();
    window->grab().save(out.filePath(QStringLiteral("crate-joined.png")));

    const int board = vhw::findSystem("0_0_C1");
    vhw::removeBoard(board, 0);
    settle(1500);
    vhw::insertBoard(board, 0, "V6533");
    settle(1500);
    window->grab().save(out.filePath(QStringLiteral("crate-live.png")));
    disconnectAll(window);

    vhw::loadWorldJson(R"({"systems": [
        {"type": 5, "link": 6, "argument": "12345_0_C0", "boards": [{"slot": 0, "model": "V6533"}]},
        {"type": 5, "link": 6, "argument": "12367_0_C1", "boards": [{"slot": 0, "model": "V6519"}]}]})");
    window->connectToSystem(5, 6, "12345_0_C0", "", "Board00", "");
    window->connectToSystem(5, 6, "12367_0_C1", "", "Board01", "");
    settle();
    vhw::dropEventConnection(vhw::findSystem("12367_0_C1"));
    settle(1500);
    window->setCurrentSubWindowIndex(1);
    settle();
    window->grab().save(out.filePath(QStringLiteral("crate-two-bridges.png")));
    disconnectAll(window);

    vhw::resetWorld();
    window->connectToSystem(16, 0, "192.0.2.20", "Rack", "admin", "admin");
    const int rack = vhw::findSystem("192.0.2.20");
    for (int c = 0; c < 12; ++c)
        vhw::setChannelParam(rack, 0, c, "Pw", 1);
    settle();
    vhw::setSysProp(rack, "ACDCPwr", 0);
    settle(1500);
    // The commands panel with the supply read-outs.
    if (auto *list = window->findChild<QCollapsibleWidget *>())
        list->expandItem(0);
    settle();
    window->grab().save(out.filePath(QStringLiteral("rack-48v-off.png")));
    disconnectAll(window);
    return 0;
}
