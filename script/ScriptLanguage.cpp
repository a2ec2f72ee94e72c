#include "script/ScriptLanguage.h"

namespace script {

QStringList splitActions(const QString &script)
{
    QStringList actions;
    for (const QString &piece : script.split(QLatin1Char(';'))) {
        // a piece of line breaks after the last ";" is no action
        if (!piece.trimmed().isEmpty())
            actions << piece;
    }
    return actions;
}

QStringList tokens(const QString &action)
{
    return action.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool parseIndex(const QString &text, int *value)
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

namespace {

// "1,3,5" (empty pieces dropped) into `out`; false at the first piece that
// is not an index.
bool parseChannels(const QString &text, QVector<int> *out)
{
    for (const QString &piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        int ch = 0;
        if (!parseIndex(piece, &ch))
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

ChannelList parseEveryBoard(const QString &text)
{
    if (text.size() < 2 || text.at(1) != QLatin1Char('{') || !text.endsWith(QLatin1Char('}')))
        return failed(text.contains(QLatin1Char('{')) ? ListNoCloseBrace : ListNoOpenBrace);
    const QString inner = text.mid(2, text.size() - 3);
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

} // namespace

ChannelList parseChannelList(const QString &text)
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
    for (const QString &groupText : text.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const int open = groupText.indexOf(QLatin1Char('{'));
        if (open < 0)
            return failed(ListNoOpenBrace);
        BoardGroup group;
        if (!parseIndex(groupText.left(open), &group.board))
            return failed(ListBadBoard);
        if (!groupText.endsWith(QLatin1Char('}')))
            return failed(ListNoCloseBrace);
        const QString inner = groupText.mid(open + 1, groupText.size() - open - 2);
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

int parseAction(const QString &action, QString *parameter)
{
    const QStringList t = tokens(action);
    if (t.isEmpty())
        return 1;
    if (t.size() == 4) {
        if (t.at(0) != QLatin1String("set"))
            return 1;
        if (parameter)
            *parameter = t.at(1);
        const int status = parseChannelList(t.at(2)).status;
        return status < 0 ? status : 0;
    }
    if (t.size() == 2) {
        if (t.at(0) != QLatin1String("wait") || !parseIndex(t.at(1), nullptr))
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
