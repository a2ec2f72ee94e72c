// Pictures of the information dialogs for systems of the default world,
// connected and discovered as the program does, and of the web page logged
// in on the virtual mainframe's site (run under Xvfb for the web page):
//   info_dialog_screenshots [output directory, default /tmp]

#include "ORVEHVWrapper.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "panels/InfoDialogs.h"
#include "panels/QAboutDialog.h"
#include "panels/web/QWebBrowserDialog.h"
#include "virtualhw/VirtualControl.h"
#include "virtualhw/WebAdmin.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

namespace {

QList<QDialog *> openDialogs()
{
    QList<QDialog *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
            out << d;
    return out;
}

// Saves the dialog the call opened and closes it.
bool shoot(const QString &file, const std::function<void()> &open)
{
    const QList<QDialog *> before = openDialogs();
    open();
    QDialog *dialog = nullptr;
    for (QDialog *d : openDialogs())
        if (!before.contains(d))
            dialog = d;
    if (!dialog) {
        qWarning("no dialog for %s", qPrintable(file));
        return false;
    }
    QApplication::processEvents();
    const bool ok = dialog->grab().save(file);
    dialog->close();
    return ok;
}

// Opens the web page of the system with its site at `port` and saves it once shown.
bool shootWebPage(const QString &file, ORVEHVNode *system, quint16 port)
{
    qputenv("KEBO_WEBADMIN_PORT", QByteArray::number(port));
    InfoDialogs::openWebPage(nullptr, system, system->connectionArgument());
    QPointer<QWebBrowserDialog> web;
    for (QDialog *d : openDialogs())
        if (auto *w = qobject_cast<QWebBrowserDialog *>(d))
            web = w;
    if (!web) {
        qWarning("no web page dialog");
        return false;
    }
    QSignalSpy shown(web.data(), &QWebBrowserDialog::pageShown);
    if (!shown.wait(60000))
        qWarning("web page: not shown");
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit);   // let the page paint
    settle.exec();
    if (!web) {
        qWarning("web page dialog gone");
        return false;
    }
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(web->winId()).save(file);
    delete web;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QWebBrowserDialog::prepareEngine();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();

    struct Target { int type, link; const char *arg, *user, *pass, *name; };
    const Target targets[] = {{2, 0, "127.0.2.10", "admin", "admin", "Crate A"},
                              {16, 0, "192.0.2.20", "admin", "admin", "Rack"},
                              {5, 3, "0_0_C0", "", "", "VME"}};
    QList<QSystemInterface *> systems;
    for (const Target &t : targets) {
        auto *sys = new QSystemInterface(t.type, t.link, t.arg, t.name, int(systems.size()));
        if (sys->connectSystem(nullptr, t.user, t.pass) != 0) {
            qWarning("could not connect %s", t.arg);
            return 1;
        }
        systems << sys;
    }
    // A second login, so the session list has more than the program's own.
    int other = -1;
    ORVEHV_InitSystem(2, 0, "192.0.2.10", "admin", "admin", &other);
    char sessions[ORVEHV_SYSPROP_TEXT_READ] = {};
    ORVEHV_GetSysProp(systems.at(0)->handle(), "Sessions", sessions);
    for (ORVEHVNode *p : systems.at(0)->systemNode()->parameters())
        if (p->name() == "Sessions")
            p->setValue(NodeValue(QString::fromLatin1(sessions), ValueOk));

    ORVEHVNode *mf = systems.at(0)->systemNode();
    ORVEHVNode *rack = systems.at(1)->systemNode();
    ORVEHVNode *vme = systems.at(2)->systemNode();
    bool ok = shoot(out + "/info-sessions.png", [&] { InfoDialogs::openSessions(nullptr, mf); });
    ok = shoot(out + "/info-cratemap-mf.png", [&] { InfoDialogs::openCrateMap(nullptr, mf, 2); }) && ok;
    ok = shoot(out + "/info-rackmap-b8181.png", [&] { InfoDialogs::openCrateMap(nullptr, rack, 16); }) && ok;
    ok = shoot(out + "/info-cratemap-vme.png", [&] { InfoDialogs::openCrateMap(nullptr, vme, 5); }) && ok;
    ok = shoot(out + "/info-sysinfo.png", [&] { InfoDialogs::openSysInfo(nullptr, mf); }) && ok;
    ok = shoot(out + "/info-techinfo-mf.png", [&] { InfoDialogs::openTechInfo(nullptr, mf, 2); }) && ok;
    ok = shoot(out + "/info-techinfo-b8181.png", [&] { InfoDialogs::openTechInfo(nullptr, rack, 16); }) && ok;
    {
        QAboutDialog about;
        about.show();
        QApplication::processEvents();
        ok = about.grab().save(out + "/info-about.png") && ok;
    }

    vhw::WebAdmin site;
    std::string error;
    if (site.start(0, &error)) {
        ok = shootWebPage(out + "/info-webpage.png", mf, site.port()) && ok;
        site.stop();   // the same page once the system no longer answers
        ok = shootWebPage(out + "/info-webpage-noanswer.png", mf, site.port()) && ok;
    } else {
        qWarning("web site: %s", error.c_str());
    }

    ORVEHV_DeinitSystem(other);
    for (QSystemInterface *sys : systems) {
        ORVEHV_DeinitSystem(sys->handle());
        delete sys;
    }
    return ok ? 0 : 2;
}
