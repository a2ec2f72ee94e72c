#ifndef EVENTDELIVERY_H
#define EVENTDELIVERY_H

// How the event threads' reports reach the main window. The router's five
// per-system signals are taken on the event-data thread itself and put in the
// system's mailbox (device/EventMailbox.h); one queued call per system then
// hands the waiting records to the window as its own signals, in order, on
// the GUI thread. A call handles records for a few milliseconds at most and
// then lets painting and input in before it goes on, so a burst of any size
// never freezes the window; while the GUI thread is behind, a newer value of
// an item replaces the waiting one (logged values are all kept).
// tcpServerError is not per system and stays a plain queued signal.

#include <QObject>
#include <QVector>

class EventRouter;
class MainWindow;
class QSystemInterface;

class EventDelivery : public QObject
{
    Q_OBJECT
public:
    EventDelivery(EventRouter *router, MainWindow *window);

    // Time one call spends handing out records before it yields.
    static constexpr int SliceMs = 8;

private:
    void notify(QSystemInterface *sys);   // any thread
    void deliver(QSystemInterface *sys);  // GUI thread

    MainWindow *m_window;
    // Systems whose records are being handed out (a handler may run a nested
    // event loop in which another system's call runs).
    QVector<QSystemInterface *> m_delivering;
};

#endif
