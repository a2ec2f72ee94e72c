// Feeds arbitrary bytes to the script file decoder and the script language:
// actions, tokens, channel lists. Nothing may crash, and a script the
// decoder accepts must pass the check again from its own actions.
#include "script/ScriptFile.h"
#include "script/ScriptLanguage.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
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
    const QString text = QString::fromUtf8(bytes);
    for (const QString &action : script::splitActions(text)) {
        script::parseAction(action);
        for (const QString &token : script::tokens(action)) {
            const script::ChannelList list = script::parseChannelList(token);
            if (list.status > 0 && list.groups.isEmpty())
                abort();
            for (const script::BoardGroup &g : list.groups)
                for (int ch : g.channels)
                    if (ch < 0 || g.board < 0)
                        abort();
        }
    }
    return 0;
}
