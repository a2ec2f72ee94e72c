#include "script/ScriptRunner.h"

#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/WriteGate.h"
#include "script/ScriptLanguage.h"
#include "script/ScriptRunLock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace script {

const char *const ScriptRunner::ReportHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\t\t\t"
    "<html><head><style type=\"text/css\"></head><body>\t\t\t<div style=\"position:absolute\">";
const char *const ScriptRunner::ReportTail = "</div></body></html>";

namespace {

const QString Opener = QStringLiteral("<br><p style=\"text-indent:10px;\">");
const QString Marker = QStringLiteral("<b>ERROR</b>");
const QString Closer = QStringLiteral("<br></p>");
const QString OkMark = QStringLiteral("<b>OK</b>");

// Lines without a write in between (out-of-range indices, unknown
// parameters) still let events run now and then, so a long list stays
// stoppable.
constexpr int QuietStepsPerCheckpoint = 256;

QString channelPiece(int board, int channel)
{
    return QStringLiteral("bd[%0] ch[%1]").arg(board).arg(channel);
}

ORVEHVNode *boardAt(QSystemInterface *sys, int board)
{
    ORVEHVNode *root = sys ? sys->systemNode() : nullptr;
    if (!root || board < 0 || board >= root->children().size())
        return nullptr;
    return root->children().at(board);
}

ORVEHVNode *parameterOf(ORVEHVNode *channel, const QString &name)
{
    for (ORVEHVNode *p : channel->parameters())
        if (p->name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return nullptr;
}

} // namespace

ScriptRunner::ScriptRunner(QSystemInterface *system, QObject *parent)
    : QObject(parent), m_system(system)
{
    if (system)
        connect(system, &QObject::destroyed, this, &ScriptRunner::wakeSleepers);
}

ScriptRunner::~ScriptRunner()
{
    if (m_active) {
        // only reached if an owner deletes a runner from inside its own run
        unregisterRun(this);
        unlockAfterRun();
    }
}

bool ScriptRunner::systemAvailable() const
{
    if (!m_system || m_system->stopRequested.load() || m_system->handle() < 0)
        return false;
    const ORVEHVNode *root = m_system->systemNode();
    return root && root->connectionState() == ConnectionConnected;
}

void ScriptRunner::appendReport(const QString &html)
{
    m_report += html;
    emit reportAppended(html);
}

void ScriptRunner::sleepEvents(int ms)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_loops.append(&loop);
    timer.start(ms);
    loop.exec();
    m_loops.removeOne(&loop);
}

void ScriptRunner::wakeSleepers()
{
    for (QEventLoop *l : std::as_const(m_loops))
        l->quit();
}

bool ScriptRunner::checkpoint()
{
    QCoreApplication::processEvents();
    while (m_state == Paused && systemAvailable())
        sleepEvents(100);
    return m_state != StopRequested && systemAvailable();
}

void ScriptRunner::requestStop()
{
    if (!m_active)
        return;
    m_state = StopRequested;
    wakeSleepers();
}

void ScriptRunner::pause()
{
    if (m_active && m_state == Running)
        m_state = Paused;
}

void ScriptRunner::resume()
{
    if (m_active && m_state == Paused) {
        m_state = Running;
        wakeSleepers();
    }
}

int ScriptRunner::reportSystemGone()
{
    if (!m_goneReported) {
        m_goneReported = true;
        appendReport(QStringLiteral("%0%1 - Connection to the system lost, script aborted%2")
                         .arg(Opener, Marker, Closer));
    }
    return SystemGone;
}

int ScriptRunner::run(const QStringList &actions)
{
    if (m_active)
        return Failed;
    m_active = true;
    m_state = Running;
    m_goneReported = false;
    m_report.clear();
    registerRun(this);
    lockForRun();
    emit runStarted();
    emit reportStarted();
    appendReport(QString::fromLatin1(ReportHead));

    int lastError = 0;
    int result = 0;
    const int bad = checkScript(actions);
    if (bad != 0) {
        appendReport(QStringLiteral("Script checking has incountered an error.<br>"));
        if (bad > 0)
            appendReport(QStringLiteral("Syntax error in action [%0]<br>").arg(bad));
        lastError = Failed;
    } else {
        for (const QString &action : actions) {
            if (!systemAvailable()) {
                lastError = reportSystemGone();
                break;
            }
            const int r = executeAction(action);
            if (r == SystemGone) {
                lastError = reportSystemGone();
                break;
            }
            if (r == Stopped || m_state == StopRequested) {
                result = Stopped;
                break;
            }
            if (r != 0)
                lastError = r;
            if (!checkpoint()) {
                if (m_state == StopRequested) {
                    result = Stopped;
                } else {
                    lastError = reportSystemGone();
                }
                break;
            }
        }
    }
    if (result == Stopped)
        appendReport(QStringLiteral("<br>Script stopped by the user.<br><br>"));
    else if (lastError == 0)
        appendReport(QStringLiteral("<br>Script successfully executed.<br><br>"));
    else
        appendReport(QStringLiteral("<br>Some errors occourred in script.<br><br>"));
    appendReport(QString::fromLatin1(ReportTail));

    unlockAfterRun();
    unregisterRun(this);
    m_state = Idle;
    m_active = false;
    if (result == 0)
        result = lastError;
    emit runEnded(result);
    return result;
}

int ScriptRunner::executeAction(const QString &action)
{
    const QStringList t = tokens(action);
    if (t.isEmpty())
        return Failed;
    if (t.size() == 4) {
        if (t.at(0) == QLatin1String("set"))
            return setAction(t);
        appendReport(QStringLiteral("%0%1 - Unknown command [%2]%3<br>").arg(Opener, Marker, t.at(0).toHtmlEscaped(), Closer));
        return Failed;
    }
    if (t.size() == 2 && t.at(0) == QLatin1String("wait")) {
        int ms = 0;
        if (!parseIndex(t.at(1), &ms)) {
            appendReport(QStringLiteral("%0%1 - Unknown wait time value [%2] %3")
                             .arg(Opener, Marker, t.at(1).toHtmlEscaped(), Closer));
            return Failed;
        }
        appendReport(QStringLiteral("%0%1...").arg(QStringLiteral("%0 ").arg(QLatin1String("WAIT")),
                                                   QStringLiteral("%0 ms").arg(ms)));
        const int r = waitMs(ms);
        if (r == 0) {
            appendReport(OkMark);
            appendReport(QStringLiteral("<br>"));
            return 0;
        }
        appendReport(QStringLiteral("<br>"));
        return r;
    }
    appendReport(QStringLiteral("%0%1 - Unknown command [%2] %3<br>").arg(Opener, Marker, t.at(0).toHtmlEscaped(), Closer));
    return Failed;
}

int ScriptRunner::waitMs(int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (!checkpoint())
            return m_state == StopRequested ? Stopped : SystemGone;
        const qint64 left = qint64(ms) - elapsed.elapsed();
        if (left <= 0)
            return 0;
        sleepEvents(int(qMin<qint64>(left, 100)));
    }
}

int ScriptRunner::setAction(const QStringList &t)
{
    const QString keyPiece = QStringLiteral("%0 ").arg(QLatin1String("SET"));
    const QString paramPiece = QStringLiteral("[%0]").arg(t.at(1).toHtmlEscaped());
    const QString valuePiece = QStringLiteral("to [%0]").arg(t.at(3).toHtmlEscaped());
    appendReport(QStringLiteral("%0%1%2%3...")
                     .arg(keyPiece, paramPiece, QStringLiteral("for [%0]").arg(describeChannels(t.at(2)).toHtmlEscaped()),
                          valuePiece));

    const ChannelList list = parseChannelList(t.at(2));
    if (list.status < 0) {
        appendReport(QStringLiteral("%0%1 - Unable to find channels list %2<br>").arg(Opener, Marker, t.at(2).toHtmlEscaped()));
        return list.status;
    }
    if (!systemAvailable())
        return SystemGone;

    int error = 0;
    int r = 0;
    if (list.status == ListAllChannels || list.everyBoard) {
        // every present board; the board count is read anew after each step
        for (int b = 0; r == 0; ++b) {
            ORVEHVNode *root = m_system ? m_system->systemNode() : nullptr;
            if (!root || b >= root->children().size())
                break;
            if (root->children().at(b)->kind() == KindContainer)
                continue;
            const QVector<int> channels = list.everyBoard ? list.groups.first().channels : QVector<int>();
            r = setBoardGroup(b, !list.everyBoard, channels, t, keyPiece, paramPiece, valuePiece, false,
                              &error);
        }
    } else {
        for (const BoardGroup &g : list.groups) {
            r = setBoardGroup(g.board, g.allChannels, g.channels, t, keyPiece, paramPiece, valuePiece, true,
                              &error);
            if (r != 0)
                break;
        }
    }
    if (r != 0)
        return r;
    if (error == 0)
        appendReport(OkMark);
    appendReport(QStringLiteral("<br>"));
    return error;
}

int ScriptRunner::setBoardGroup(int board, bool allChannels, const QVector<int> &channels,
                                const QStringList &t, const QString &keyPiece, const QString &paramPiece,
                                const QString &valuePiece, bool reportMissingBoard, int *error)
{
    ORVEHVNode *b = boardAt(m_system, board);
    if (!b) {
        if (reportMissingBoard)
            appendReport(QStringLiteral("%0%1 - Board index [%2] out of bounds%3").arg(Opener, Marker).arg(board).arg(Closer));
        *error = Failed;
        return 0;
    }
    if (b->kind() == KindContainer) {
        if (reportMissingBoard)
            appendReport(QStringLiteral("%0%1 - No board in slot [%2] %3").arg(Opener, Marker).arg(board).arg(Closer));
        *error = Failed;
        return 0;
    }
    const int count = allChannels ? b->children().size() : channels.size();
    int quiet = 0;
    for (int i = 0; i < count; ++i) {
        const int ch = allChannels ? i : channels.at(i);
        // the tree may have changed while events ran: look the board up again
        b = boardAt(m_system, board);
        if (!b || b->kind() == KindContainer || ch >= b->children().size()) {
            appendReport(QStringLiteral("%0%1 - %2%3%4%5 -").arg(Opener, Marker, keyPiece, paramPiece,
                                                                 QStringLiteral("for %0").arg(channelPiece(board, ch)),
                                                                 valuePiece) +
                         QStringLiteral("Channel index [%0] out of bounds%1").arg(ch).arg(Closer));
            *error = Failed;
        } else {
            ORVEHVNode *param = parameterOf(b->children().at(ch), t.at(1));
            if (!param) {
                appendReport(QStringLiteral("%0%1 - Unknown parameter [%2] for %3 %4")
                                 .arg(Opener, Marker, t.at(1).toHtmlEscaped(), channelPiece(board, ch), Closer));
                *error = Failed;
            } else {
                QString reason;
                int rc;
                {
                    const WriteGate::Pass own;  // the one writer while the run holds the gate
                    rc = param->writeText(t.at(3), &reason);
                }
                if (rc != 0) {
                    appendReport(QStringLiteral("%0%1 - %2%3%4%5: %6 %7")
                                     .arg(Opener, Marker, keyPiece, paramPiece,
                                          QStringLiteral("for %0").arg(channelPiece(board, ch)), valuePiece,
                                          reason.toHtmlEscaped(), Closer));
                    *error = rc;
                }
                quiet = QuietStepsPerCheckpoint;
            }
        }
        if (++quiet >= QuietStepsPerCheckpoint) {
            quiet = 0;
            if (!checkpoint())
                return m_state == StopRequested ? Stopped : SystemGone;
        }
    }
    return 0;
}

} // namespace script
