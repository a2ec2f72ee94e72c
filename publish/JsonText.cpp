#include "publish/JsonText.h"

#include "history/HistoryTypes.h"

#include <QLocale>

#include <cmath>
#include <ctime>

namespace JsonText {

QByteArray string(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray time(qint64 ms)
{
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(ms % 1000));
    return QByteArray(text, n);
}

QByteArray value(const QVariant &v, const QByteArray &unitJson, qint64 t)
{
    QByteArray out;
    out.reserve(96);
    out += "{\"value\":";
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        out += std::isfinite(d) ? QByteArray::number(d, 'g', QLocale::FloatingPointShortest) : QByteArray("null");
        break;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        out += v.toByteArray();
        break;
    case QMetaType::Bool:
        out += v.toBool() ? "1" : "0";
        break;
    default:
        out += v.isNull() ? QByteArray("null") : string(v.toString());
    }
    out += ",\"unit\":";
    out += unitJson;
    out += ",\"time\":\"";
    out += time(t);
    out += "\"}";
    return out;
}

QByteArray journal(const JournalEntry &e)
{
    auto number = [](int n) { return n < 0 ? QByteArray("null") : QByteArray::number(n); };
    QByteArray out = "{\"time\":\"" + time(e.time) + "\",\"system\":" + string(e.system) + ",\"board\":"
                     + number(e.board) + ",\"channel\":" + number(e.channel)
                     + ",\"channelName\":" + string(e.channelName) + ",\"kind\":" + string(journalKindText(e.kind))
                     + ",\"event\":" + string(journalEventText(e.event)) + ",\"text\":" + string(e.text)
                     + ",\"alarm\":" + (isAlarm(e.event) ? "true" : "false") + '}';
    return out;
}

} // namespace JsonText
