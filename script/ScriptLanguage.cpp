#include "script/ScriptLanguage.h"

#include <QStringTokenizer>
#include <QVarLengthArray>

// Actions and channel lists are read as views of the script's text: checking
// a long script allocates nothing per token, board group or channel.

namespace script {

namespace {

bool decimalIndex(QStringView text, int *value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    qint64 v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    if (v > 2147483647)
        return false;
    if (value)
        *value = int(v);
    return true;
}

// "1,3,5" (empty pieces dropped) into `out`; false at the first piece that
// is not an index.
bool parseChannels(QStringView text, QVector<int> *out)
{
    for (QStringView piece : qTokenize(text, u',', Qt::SkipEmptyParts)) {
        int ch = 0;
        if (!decimalIndex(piece, &ch))
            return false;
        out->append(ch);
    }
    return true;
}

ChannelList failed(int status)
{
    ChannelList list;
    list.status = status;
    return list;
}

ChannelList parseEveryBoard(QStringView text)
{
    if (text.size() < 2 || text.at(1) != QLatin1Char('{') || !text.endsWith(QLatin1Char('}')))
        return failed(text.contains(QLatin1Char('{')) ? ListNoCloseBrace : ListNoOpenBrace);
    const QStringView inner = text.mid(2, text.size() - 3);
    if (inner.isEmpty())
        return failed(ListEmpty);
    ChannelList list;
    BoardGroup group;
    if (!parseChannels(inner, &group.channels))
        return failed(ListBadChannel);
    list.everyBoard = true;
    list.groups << group;
    list.status = ListResolved;
    return list;
}

// Calls `take` with every token of an action: the pieces between runs of
// white space of any kind (line breaks included).
template<typename Take>
void forEachToken(QStringView action, Take take)
{
    qsizetype start = -1;
    for (qsizetype i = 0; i <= action.size(); ++i) {
        const bool space = i == action.size() || action.at(i).isSpace();
        if (!space && start < 0) {
            start = i;
        } else if (space && start >= 0) {
            take(action.mid(start, i - start));
            start = -1;
        }
    }
}

// The first tokens of an action and how many there are in all.
struct ActionTokens
{
    QVarLengthArray<QStringView, 4> first;
    int count = 0;
};

ActionTokens actionTokens(QStringView action)
{
    ActionTokens t;
    forEachToken(action, [&t](QStringView token) {
        if (t.first.size() < 4)
            t.first.append(token);
        ++t.count;
    });
    return t;
}

ChannelList channelList(QStringView text)
{
    if (text.isEmpty())
        return failed(ListEmpty);
    if (text.startsWith(QLatin1Char('*'))) {
        if (text.size() == 1) {
            ChannelList all;
            all.status = ListAllChannels;
            return all;
        }
        return parseEveryBoard(text);
    }
    ChannelList list;
    for (QStringView groupText : qTokenize(text, u':', Qt::SkipEmptyParts)) {
        const int open = groupText.indexOf(QLatin1Char('{'));
        if (open < 0)
            return failed(ListNoOpenBrace);
        BoardGroup group;
        if (!decimalIndex(groupText.left(open), &group.board))
            return failed(ListBadBoard);
        if (!groupText.endsWith(QLatin1Char('}')))
            return failed(ListNoCloseBrace);
        const QStringView inner = groupText.mid(open + 1, groupText.size() - open - 2);
        if (inner.isEmpty())
            return failed(ListEmpty);
        if (inner.startsWith(QLatin1Char('*'))) {
            if (inner.size() != 1)
                return failed(ListEmpty);
            group.allChannels = true;
        } else if (!parseChannels(inner, &group.channels)) {
            return failed(ListBadChannel);
        }
        list.groups << group;
    }
    // only ":" separators: no group at all
    if (list.groups.isEmpty())
        return failed(ListEmpty);
    list.status = ListResolved;
    return list;
}

} // namespace

QStringList splitActions(const QString &script)
{
    QStringList actions;
    for (QStringView piece : qTokenize(script, u';')) {
        // a piece of line breaks after the last ";" is no action
        if (!piece.trimmed().isEmpty())
            actions << piece.toString();
    }
    return actions;
}

QStringList tokens(const QString &action)
{
    QStringList out;
    forEachToken(action, [&out](QStringView token) { out << token.toString(); });
    return out;
}

bool parseIndex(const QString &text, int *value)
{
    return decimalIndex(text, value);
}

ChannelList parseChannelList(const QString &text)
{
    return channelList(text);
}

int parseAction(const QString &action, QString *parameter)
{
    const ActionTokens t = actionTokens(action);
    if (t.count == 0)
        return 1;
    if (t.count == 4) {
        if (t.first.at(0) != QLatin1String("set"))
            return 1;
        if (parameter)
            *parameter = t.first.at(1).toString();
        const int status = channelList(t.first.at(2)).status;
        return status < 0 ? status : 0;
    }
    if (t.count == 2) {
        if (t.first.at(0) != QLatin1String("wait") || !decimalIndex(t.first.at(1), nullptr))
            return 1;
        return 0;
    }
    return 2;
}

int checkScript(const QStringList &actions, const std::function<void()> &afterEach)
{
    if (actions.isEmpty())
        return -1;
    for (int i = 0; i < actions.size(); ++i) {
        const int r = parseAction(actions.at(i));
        if (afterEach)
            afterEach();
        if (r != 0)
            return i + 1;
    }
    return 0;
}

QString describeChannels(const QString &channels)
{
    QString s = channels;
    return s.replace(QLatin1Char('*'), QLatin1String("ALL"));
}

} // namespace script
