#ifndef LIVEWINDOW_H
#define LIVEWINDOW_H

// For tests that connect virtual systems through a real main window and
// watch their events arrive.

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/SystemEventHandlers.h"
#include "app/SystemPanelBuilder.h"
#include "device/EventServer.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QList>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>

#include "tests/support/World.h"

namespace live_test {

inline QThread *eventThreadOf(QSystemInterface *sys)
{
    QMutexLocker lock(&EventServer::systemsMutex());
    return sys->eventThread;
}

// Connects one system; the new interface once its event-data thread runs,
// null when the connection or the event connection did not come.
inline QSystemInterface *connectLive(MainWindow *w, int type, int link, const QString &argument,
                                     const QString &name, const QString &user = QString(),
                                     const QString &password = QString())
{
    if (w->connectToSystem(type, link, argument, name, user, password) != 0 || w->connections()->systems().isEmpty())
        return nullptr;
    QSystemInterface *sys = w->connections()->systems().last();
    QDeadlineTimer limit(10000);
    while (!eventThreadOf(sys) && !limit.hasExpired())
        QTest::qWait(10);
    return eventThreadOf(sys) ? sys : nullptr;
}

// The same for a system of the current world, with its own login.
inline QSystemInterface *connectLive(MainWindow *w, const std::string &argument, const QString &name)
{
    const vhw::SystemInfo s = worldSystem(argument);
    return connectLive(w, s.systemType, s.linkType, QString::fromStdString(s.argument), name,
                       QString::fromStdString(s.user), QString::fromStdString(s.password));
}

// A system of the default virtual world: type, link, address and login.
struct LiveTarget
{
    int type, link;
    QString argument, user, password;
};
inline const LiveTarget Mainframe{2, 0, "192.0.2.10", "admin", "admin"};
inline const LiveTarget Rack{16, 0, "192.0.2.20", "admin", "admin"};
inline const LiveTarget Nim{6, 0, "192.0.2.40_1", "", ""};
inline const LiveTarget Vme{5, 3, "0_0_C0", "", ""};
inline const LiveTarget Brisk{13, 0, "192.0.2.60", "", ""};

inline ORVEHVNode *boardInSlot(QSystemInterface *sys, int slot)
{
    for (ORVEHVNode *b : sys->systemNode()->children())
        if (b->kind() == KindBoard && b->slot() == slot)
            return b;
    return nullptr;
}

// What every main-window test sets up: a work directory as the current one
// (reports land there), the real system panels, captured operator messages,
// and one fresh window per test on a reset virtual world in manual time.
struct WindowFixture
{
    QTemporaryDir workDir;
    QString oldDir;
    QList<OperatorMessage> messages;
    // The answer every message box gets; 0 unless a test says otherwise.
    std::function<int(const OperatorMessage &)> answer;
    MainWindow *w = nullptr;
    int id = -1; // the virtual system connected last

    // initTestCase / cleanupTestCase
    bool setUpOnce()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (!workDir.isValid())
            return false;
        oldDir = QDir::currentPath();
        QDir::setCurrent(workDir.path());
        setOperatorMessageHook([this](const OperatorMessage &m) {
            messages.append(m);
            return answer ? answer(m) : 0;
        });
        return true;
    }
    void tearDownOnce()
    {
        closeWindow();
        setOperatorMessageHook({});
        QDir::setCurrent(oldDir);
    }

    // init / cleanup
    bool openWindow()
    {
        if (!vhw::resetWorld())
            return false;
        vhw::setTimeMode(vhw::TimeMode::Manual);
        messages.clear();
        answer = nullptr;
        w = MainWindow::create();
        if (!w || !w->startEventServer())
            return false;
        w->resize(1400, 900);
        w->show();
        return true;
    }
    void closeWindow()
    {
        if (w) {
            // Hidden first: the docks would otherwise report a visibility
            // change into a half-destroyed window.
            w->hide();
            delete w; // the close path ends every event thread
            w = nullptr;
        }
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog *>(top))
                delete top;
    }

    QSystemInterface *connect(int type, int link, const QString &argument, const QString &name)
    {
        return connect(LiveTarget{type, link, argument, QString(), QString()}, name);
    }

    QSystemInterface *connect(const LiveTarget &t, const QString &name = QStringLiteral("Sys"))
    {
        QSystemInterface *sys = connectLive(w, t.type, t.link, t.argument, name, t.user, t.password);
        id = vhw::findSystem(t.argument.toStdString());
        return sys;
    }
};

}  // namespace live_test

Q_DECLARE_METATYPE(live_test::LiveTarget)

#endif
