#ifndef MAINWINDOWLOGIC_H
#define MAINWINDOWLOGIC_H

// The main window's decisions that need no widget: display names,
// operator texts, event lamps and the report of unsubscribed
// parameters. Kept apart so they are tested without a window.

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include "ORVEHVWrapper.h"
#include "device/SubscriptionFailure.h"

namespace MainWindowLogic {

// Resource set chosen by the system locale's country (QLocale::Territory):
// India picks the country variant, every other country the standard one.
struct StartupResources
{
    QString windowIcon;
    QString splashPicture;
    QString styleSheet;
};
StartupResources startupResources(int territory);

// An empty name becomes "System"; then, passing over the existing names,
// "(k+1)" is appended on the k-th pass that finds a case-insensitive match,
// until a pass finds none ("crate" next to "Crate" -> "crate(1)").
QString uniqueDisplayName(const QString &requested, const QStringList &existingNames);

// The library takes the connection argument in an 80-byte buffer including
// its terminating NUL: longer arguments are refused, never cut.
bool connectionArgumentFits(const QString &connectionArgument);

// "Unable to connect to %0." plus the credentials sentence for 4103 or the
// generic one for every other code.
QString connectionFailureText(const QString &name, int result);

// Name shown in the lost-connection message (" on ORVE HV VME Crate" for a
// VME HV board system) and the message for an error code.
QString disconnectedSystemName(const QString &nodeName, int systemType);
QString disconnectionText(const QString &name, int errorCode);

QString sessionNoticeText(const QString &connectionArgument);

// The question before quitting with systems connected, naming them.
QString quitQuestionText(const QStringList &systemNames);

// Event lamps: [0] some word is 0, [1] some word is 1, [2] some word is 2,
// over the system word and the 16 board words.
struct EventLamps
{
    bool sync = false;
    bool warning = false;
    bool error = false;
};
EventLamps eventLamps(const ORVEHV_SYSTEMSTATUS_t &status);

// Body of the subscription failure report (header, one line per record,
// closing rule).
QString unsubscribedReport(const QString &systemName, const SubscriptionFailureList &systemFailures,
                           const SubscriptionFailureList &boardFailures,
                           const SubscriptionFailureList &channelFailures);
// Writes the report atomically; false (and *error) when the file cannot be written.
bool writeUnsubscribedReport(const QString &fileName, const QString &text, QString *error = nullptr);

// `count` rows of equal height over `area`, top to bottom, the last taking
// what division leaves. Tiled and floated tables are laid out this way: each
// keeps the full width and so its columns up to "Pw" and "Status" (side by
// side, half a 1280-pixel screen showed three columns).
QList<QRect> stackedRows(const QRect &area, int count);

// Top-left corner of a floating notice in a window of the given size.
inline int noticeX(int windowWidth) { return windowWidth - 200; }
inline int noticeY(int windowHeight) { return windowHeight - 50; }

} // namespace MainWindowLogic

#endif
