#ifndef SYSTEMEVENTHANDLERS_H
#define SYSTEMEVENTHANDLERS_H

// What the program does with the six reports of the event threads (each
// queued onto the GUI thread; EventDelivery connects straight to these
// slots): a value into its node, which its system then announces
// (QSystemInterface::parameterChanged: tables, panels, the history and other
// subscribers follow by themselves); a system back, in transparent mode or
// lost; its status lamps; and an event server that cannot listen. A value, a
// system back or lost and the event status reach the subscribers through the
// system's signals, never by a call from here. Every report may
// name a system removed meanwhile, so each first asks whether it is still
// listed.

#include "ORVEHVWrapper.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ORVEHVNode;
class QSystemInterface;
class QWidget;
class SystemConnections;
class ViewsController;

class SystemEventHandlers : public QObject
{
    Q_OBJECT
public:
    // `window`: where notices and messages appear, closed when the event
    // server cannot listen.
    SystemEventHandlers(QWidget &window, SystemConnections &connections, ViewsController &views,
                        QObject *parent = nullptr);

    // The notice of a "Sessions" update while it shows.
    QWidget *sessionNotice() const { return m_sessionNotice; }

public slots:
    void handleUpdateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName,
                                    IDValue_t val, bool isFirstEv, bool isLastEv);
    void handleEventLiveInsertion(QSystemInterface *sysIf, bool isFirstEv, bool isLastEv);
    void handleTransparentMode(QSystemInterface *sysIf);
    void handleSystemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus);
    void handleSystemDisconnected(QSystemInterface *sysIf, int errCode);
    void handleTcpServerError();

private:
    ORVEHVNode *findParameterNode(QSystemInterface *sysIf, int bdIndex, int chIndex, const QString &name) const;
    void showSessionNotice(const QString &connectionArgument);

    QWidget &m_window;
    SystemConnections &m_connections;
    ViewsController &m_views;
    QPointer<QWidget> m_sessionNotice;
};

#endif
