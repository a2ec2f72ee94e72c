#ifndef SCRIPTRUNNER_H
#define SCRIPTRUNNER_H

// Runs an action script against one system on the GUI thread, action after
// action, and writes the HTML report of what was done. Events are processed
// between steps, so the operator can pause and stop, and the runner checks
// after every step that its system is still there and connected: a system
// that is disconnected or lost ends the run at once.
//
// A script that fails the check is not run at all: running the good actions
// around a bad one would, for example, power channels without the wait that
// was meant to come first.

#include <QObject>
#include "device/QSystemInterface.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class ORVEHVNode;
class QEventLoop;

namespace script {

struct ChannelList;

class ScriptRunner : public QObject
{
    Q_OBJECT
public:
    enum State { Running = 0, StopRequested = 1, Paused = 2, Idle = 3 };
    // Results besides 0 and the library's codes.
    enum Result { Failed = -1, Stopped = -2, SystemGone = -3 };

    explicit ScriptRunner(QSystemInterface *system, QObject *parent = nullptr);
    ~ScriptRunner() override;

    // Whole run with report head and closing line: 0, Stopped, or the last
    // error of an action (SystemGone when the system went away).
    int run(const QStringList &actions);
    // One action; appends its report lines.
    int executeAction(const QString &action);
    // Waits with events running; 0, Stopped or SystemGone.
    int waitMs(int ms);

    void requestStop();
    void pause();
    void resume();
    int state() const { return m_state; }
    bool isRunning() const { return m_active; }

    // True while the system exists and is connected.
    bool systemAvailable() const;
    QSystemInterface *system() const { return m_system; }

    // The report of the current or last run, as appended.
    QString report() const { return m_report; }

    // Fixed report pieces (other tools read the report).
    static const char *const ReportHead;
    static const char *const ReportTail;

signals:
    void reportStarted();
    void reportAppended(const QString &html);
    void runStarted();
    void runEnded(int result);

private:
    void appendReport(const QString &html);
    // Lets events run (and waits out a pause); false when the run must end.
    bool checkpoint();
    void sleepEvents(int ms);
    void wakeSleepers();
    int reportSystemGone();
    int setAction(const QStringList &t);
    int writeChannel(const QString &parameter, const QString &value, int board, int channel,
                     const QString &keyPiece, const QString &paramPiece, const QString &valuePiece,
                     int *error);
    int setBoardGroup(int board, bool allChannels, const QVector<int> &channels,
                      const QStringList &t, const QString &keyPiece, const QString &paramPiece,
                      const QString &valuePiece, bool reportMissingBoard, int *error);

    QPointer<QSystemInterface> m_system;
    int m_state = Idle;
    bool m_active = false;
    bool m_goneReported = false;
    QString m_report;
    QList<QEventLoop *> m_loops;
};

} // namespace script

#endif
