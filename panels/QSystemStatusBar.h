#ifndef QSYSTEMSTATUSBAR_H
#define QSYSTEMSTATUSBAR_H

// Status bar under one system's views: system name, connection description,
// connection status and three event-status lamps. Owned by the system
// interface; the main window shows the current system's bar.

#include <QStatusBar>
#include <QString>

#include "ORVEHVWrapper.h"

class QLabel;
class QTimer;

class QSystemStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    // Lamp pictures.
    static const char *const SyncLit;     // first lamp, status value 0
    static const char *const WarningLit;  // second lamp, status value 1
    static const char *const ErrorLit;    // third lamp, status value 2
    static const char *const Unlit;
    static const char *const Disconnected;

    explicit QSystemStatusBar(QWidget *parent = nullptr);

    // Text of the connection label for a link type and connection argument.
    static QString connectionDescription(int linkType, const QString &connectionArgument);
    // Status text for a connection state; empty for unknown states.
    static QString connectionStatusText(int state);
    // Style sheet a state gives the status label; null when the state leaves it unchanged.
    static QString connectionStatusStyle(int state);
    // Name shown for a system: the node name, after "VME HV Crate - " for VME HV boards.
    static QString systemNameText(int systemType, const QString &nodeName);

    void setSystemName(const QString &text);
    void setConnectionText(const QString &text);
    void setConnectionStatus(int state);
    void setSyncIndicator(bool lit);
    void setWarningIndicator(bool lit);
    void setErrorIndicator(bool lit);
    // Lamps from an event status record: a lamp is lit when the system word or
    // any board word holds its value (0, 1, 2); other values light nothing.
    void setEventStatus(const ORVEHV_SYSTEMSTATUS_t &status);
    // After a lost connection: all three lamps show the plain unlit picture.
    void clearIndicators();
    // What the operator's last action did ("Group 2 created with 4
    // channels."), shown beside the status for a while; the name, the
    // connection and its status stay in view.
    void showNotice(const QString &text);
    // The status bar of a system view, when `bar` is one.
    static void showNoticeOn(QWidget *bar, const QString &text);
    // Nothing arrives from the system: the status says its values may be
    // old and the lamps go out (the next status record lights them again);
    // false shows the connection state again.
    static const char *const SilenceText;
    void showSilence(bool silent);
    bool showsSilence() const { return m_silent; }

    QLabel *nameLabel() const { return m_name; }
    QLabel *connectionLabel() const { return m_connection; }
    QLabel *statusLabel() const { return m_status; }
    QLabel *noticeLabel() const { return m_notice; }
    QLabel *indicatorLabel(int i) const;
    // Resource path of the picture lamp i (0..2) shows.
    QString indicatorPicture(int i) const;

private:
    void setIndicator(int i, const char *picture);

    QLabel *m_name;
    QLabel *m_connection;
    QLabel *m_status;
    QLabel *m_notice;
    QTimer *m_noticeTimer;
    QLabel *m_lamps[3];
    QString m_lampPicture[3];
    int m_state = 0;
    bool m_silent = false;
};

#endif
