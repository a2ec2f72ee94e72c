#include "app/MainWindow.h"
#include "app/MainWindowLogic.h"
#include "app/QCustomSplashScreen.h"
#include "app/SystemPanelBuilder.h"
#include "device/QSystemInterface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QThread>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Numbers are read and shown with a decimal point in every language.
    QLocale::setDefault(QLocale::c());
    QApplication::addLibraryPath(QStringLiteral("./plugins/"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));

    // One choice for icon, splash and style sheet, never mixed.
    const MainWindowLogic::StartupResources resources =
        MainWindowLogic::startupResources(int(QLocale::system().territory()));

    MainWindow *window = MainWindow::create();
    if (!window)
        return 1;
    static SystemPanelBuilder panelBuilder;
    QSystemInterface::setPanelFactory(&panelBuilder);
    window->setWindowIcon(QIcon(resources.windowIcon));

    auto *splash = new QCustomSplashScreen(window, QPixmap(resources.splashPicture));
    splash->showWaitMessage();
    splash->show();
    QApplication::processEvents();
    // Three seconds with the splash up; events keep being handled so the
    // splash repaints and a click on it is answered.
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }

    QString styleSheet;
    QFile sheet(resources.styleSheet);
    if (sheet.open(QIODevice::ReadOnly)) {
        styleSheet = QString::fromUtf8(sheet.readAll());
        sheet.close();
    }
    app.setStyleSheet(styleSheet);

    // Without a window manager (a bare X server) maximising does nothing:
    // take the screen's available area first.
    if (QScreen *screen = window->screen())
        window->setGeometry(screen->availableGeometry());
    window->show();
    if (!window->startEventServer())
        window->form().menuConnect->setEnabled(false);
    splash->finish(window);
    window->createDialogForConnection();
    return app.exec();
}
