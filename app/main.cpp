#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/ViewsController.h"
#include "app/MainWindowLogic.h"
#include "app/QCustomSplashScreen.h"
#include "app/ScriptRunLockHook.h"
#include "app/SystemPanelBuilder.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Before any window: --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments);
    if (commandLine.exitCode >= 0) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), commandLine.exitCode == 0 ? stdout : stderr);
        return commandLine.exitCode;
    }
    // The library reads its world when it is first used; the file was checked.
    if (!commandLine.worldFile.isEmpty())
        qputenv("ORVEHV_WORLD", QFile::encodeName(commandLine.worldFile));

    // The web engine, loaded when the first web page opens, draws through the
    // OpenGL context this shares (it cannot be made once the application runs).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
    installScriptRunLock(window);
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
    splash->finish(window);
    // Without its event server thread the program cannot show live values:
    // the operator has been told, and there is nothing to offer.
    if (!window->startEventServer())
        return 1;
    // A world file from the environment is not refused like one on the
    // command line, but whoever started the program from a desktop entry
    // must know the systems shown are not the ones of that file.
    const QString worldProblem = environmentWorldProblem();
    if (!worldProblem.isEmpty()) {
        std::fprintf(stderr, "kebodesk: %s\n", worldProblem.toLocal8Bit().constData());
        OperatorMessage message;
        message.text = QStringLiteral("The world file cannot be used:\n%0").arg(worldProblem);
        message.informativeText = QStringLiteral("The virtual hardware runs its built-in systems instead.");
        showOperatorMessage(message, window);
    }
    // "kebodesk setup.csc" lists that configuration instead of asking what to connect.
    const QString &configuration = commandLine.configurationFile;
    if (configuration.isEmpty() || !window->viewsController()->loadCustomizedViews(configuration))
        window->createDialogForConnection();
    return app.exec();
}
