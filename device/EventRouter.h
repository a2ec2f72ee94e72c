#ifndef EVENTROUTER_H
#define EVENTROUTER_H

// The signals the event threads emit. The main window owns one router and
// connects each signal, queued, to its own signal of the same name; the
// threads never touch a widget.

#include <QMetaType>
#include <QObject>
#include <QString>

#include "ORVEHVWrapper.h"

#include "device/QSystemInterface.h"

Q_DECLARE_METATYPE(IDValue_t)
Q_DECLARE_METATYPE(ORVEHV_SYSTEMSTATUS_t)

class EventRouter : public QObject
{
    Q_OBJECT
public:
    explicit EventRouter(QObject *parent = nullptr) : QObject(parent) { registerEventMetaTypes(); }

    // Needed before queued connections carry the two library structures.
    static void registerEventMetaTypes()
    {
        qRegisterMetaType<IDValue_t>("IDValue_t");
        qRegisterMetaType<ORVEHV_SYSTEMSTATUS_t>("ORVEHV_SYSTEMSTATUS_t");
        qRegisterMetaType<QSystemInterface *>("QSystemInterface*");
    }

signals:
    void tcpServerError();
    void liveInsertion(QSystemInterface *sysIf, bool isFirstEv, bool isLastEv);
    void TransparentMode(QSystemInterface *sysIf);
    void updateValueAndWidget(QSystemInterface *sysIf, int bdIndex, int chIndex, QString itmName,
                              IDValue_t val, bool isFirstEv, bool isLastEv);
    void systemEvStatus(QSystemInterface *sysIf, ORVEHV_SYSTEMSTATUS_t sysStatus);
    void systemDisconnected(QSystemInterface *sysIf, int errorCode);
};

#endif
