#ifndef SCRIPTLANGUAGE_H
#define SCRIPTLANGUAGE_H

// The action script language: cutting a script into actions and tokens, the
// channel-list syntax, single actions and the whole-script check. Pure text
// work, no system and no widgets: channel lists are resolved against a
// system only when an action runs (ScriptRunner).
//
//   script   := { action ";" }
//   action   := "set" PARAMETER CHANNELS VALUE | "wait" MILLISECONDS
//   CHANNELS := "*" | "*{" CHLIST "}" | BOARD "{" ("*" | CHLIST) "}" { ":" ... }
//   CHLIST   := CHANNEL { "," CHANNEL }
// Keywords are lower case; numbers are plain decimal digits.

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace script {

// parseChannelList statuses; negative ones are errors.
enum ChannelListStatus {
    ListAllChannels = 0,   // "*"
    ListResolved = 1,      // board groups, or "*{...}"
    ListUnparsed = -1,
    ListEmpty = -2,        // nothing where something is needed, or "*" followed by more
    ListBadBoard = -3,     // board index not a decimal number
    ListBadChannel = -4,   // channel index not a decimal number
    ListNoOpenBrace = -5,
    ListNoCloseBrace = -6
};

struct BoardGroup
{
    int board = 0;
    bool allChannels = false;  // "{*}"
    QVector<int> channels;     // as written, repeats kept
};

struct ChannelList
{
    int status = ListUnparsed;
    // "*{...}": the channels of `groups.first()` on every board of the system
    bool everyBoard = false;
    QVector<BoardGroup> groups;
};

// The script cut at ";"; pieces holding nothing but white space are dropped.
QStringList splitActions(const QString &script);
// White space simplified, split at blanks.
QStringList tokens(const QString &action);
// Plain decimal digits whose value fits an int (no sign, no blanks).
bool parseIndex(const QString &text, int *value);

ChannelList parseChannelList(const QString &text);

// 0 for a good action; 1 for an empty or malformed action, 2 for a wrong
// number of tokens, or a negative channel-list status. `parameter` receives
// the parameter name of a set action.
int parseAction(const QString &action, QString *parameter = nullptr);

// -1 for no actions, 0 when every action is good, else the 1-based number of
// the first bad one. `afterEach` (optional) runs after every action checked.
int checkScript(const QStringList &actions, const std::function<void()> &afterEach = {});

// The channel list as the report shows it: every "*" read as "ALL".
QString describeChannels(const QString &channels);

} // namespace script

#endif
