// Feeds arbitrary bytes to the script file decoder and the script language:
// actions, tokens, channel lists. Nothing may crash, and a script the
// decoder accepts must pass the check again from its own actions.
// Each token kept as a string costs an allocation, and under the sanitizers
// allocations were most of the time an input took: actions are checked on
// views of the text, and only a good set action is cut into strings.
#include "script/ScriptFile.h"
#include "script/ScriptLanguage.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkChannelList(const QString &token)
{
    const script::ChannelList list = script::parseChannelList(token);
    if (list.status > 0 && list.groups.isEmpty())
        abort();
    for (const script::BoardGroup &g : list.groups)
        for (int ch : g.channels)
            if (ch < 0 || g.board < 0)
                abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QStringList actions;
    QString error;
    if (script::decodeScript(bytes, &actions, &error)) {
        if (!actions.isEmpty() && script::checkScript(actions) != 0)
            abort();
        for (const QString &a : actions)
            if (a.contains(QLatin1Char(';')))
                abort();
    } else if (error.isEmpty()) {
        abort();
    }
    // The same text as an editor holds it, checked action by action.
    for (const QString &action : script::splitActions(QString::fromUtf8(bytes))) {
        QString parameter;
        if (script::parseAction(action, &parameter) != 0 || parameter.isEmpty())
            continue;
        // A good set action: four tokens, the channel list the third.
        const QStringList tokens = script::tokens(action);
        if (tokens.size() != 4 || tokens.at(1) != parameter)
            abort();
        checkChannelList(tokens.at(2));
    }
    return 0;
}
