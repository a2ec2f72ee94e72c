#include "persist/ViewFileFormat.h"

#include <QBuffer>
#include <QDataStream>
#include <QtEndian>

#include <limits>

// ------------------------------------------------------------- ViewHash

void ViewHash::insert(const QString &key, const ViewHash &hash)
{
    m_items.append({key, QVariant::fromValue(hash)});
}

bool ViewHash::contains(const QString &key) const
{
    for (const Item &item : m_items)
        if (item.first == key)
            return true;
    return false;
}

QVariant ViewHash::value(const QString &key, const QVariant &fallback) const
{
    for (const Item &item : m_items)
        if (item.first == key)
            return item.second;
    return fallback;
}

QList<QVariant> ViewHash::values(const QString &key) const
{
    QList<QVariant> out;
    for (const Item &item : m_items)
        if (item.first == key)
            out.append(item.second);
    return out;
}

QList<ViewHash> ViewHash::hashes(const QString &key) const
{
    QList<ViewHash> out;
    for (const Item &item : m_items)
        if (item.first == key && isHash(item.second))
            out.append(toHash(item.second));
    return out;
}

bool ViewHash::isHash(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<ViewHash>();
}

ViewHash ViewHash::toHash(const QVariant &v)
{
    return isHash(v) ? v.value<ViewHash>() : ViewHash();
}

namespace ViewFileFormat {

// ------------------------------------------------------------- writing

namespace {

void writeHash(QDataStream &out, const ViewHash &hash);

void writeValue(QDataStream &out, const QVariant &v)
{
    if (ViewHash::isHash(v)) {
        out << quint32(TypeHash) << qint8(0);
        writeHash(out, ViewHash::toHash(v));
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        out << quint32(TypeBool) << qint8(0) << qint8(v.toBool() ? 1 : 0);
        break;
    case QMetaType::UInt:
        out << quint32(TypeUInt) << qint8(0) << quint32(v.toUInt());
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
        out << quint32(TypeInt) << qint8(0) << qint32(v.toInt());
        break;
    case QMetaType::LongLong:
        out << quint32(TypeLongLong) << qint8(0) << qint64(v.toLongLong());
        break;
    case QMetaType::ULongLong:
        out << quint32(TypeULongLong) << qint8(0) << quint64(v.toULongLong());
        break;
    case QMetaType::Double:
        out << quint32(TypeDouble) << qint8(0) << v.toDouble();
        break;
    case QMetaType::QString:
        out << quint32(TypeString) << qint8(0) << v.toString();
        break;
    default:
        // Nothing else is written by this program; keep the stream valid.
        out << quint32(TypeInvalid) << qint8(1) << QString();
        break;
    }
}

void writeHash(QDataStream &out, const ViewHash &hash)
{
    out << quint32(hash.size());
    for (const ViewHash::Item &item : hash.items()) {
        out << item.first;
        writeValue(out, item.second);
    }
}

// ------------------------------------------------------------- reading

// Smallest encoded item: an empty key (4) and a bool (4 + 1 + 1).
constexpr int MinItemBytes = 10;

class Reader
{
public:
    explicit Reader(const QByteArray &data) : m_data(data) {}

    bool readHash(ViewHash *hash, int depth)
    {
        quint32 count = 0;
        if (!readU32(&count, "an item count"))
            return false;
        // Every item takes bytes: a count the rest of the file cannot hold
        // is refused before anything is allocated for it.
        if (quint64(count) * MinItemBytes > quint64(remaining()))
            return fail(QStringLiteral("a hash claims %1 items, more than the file can hold").arg(count));
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            if (!readString(&key, "a key"))
                return false;
            QVariant value;
            if (!readValue(&value, depth, key))
                return false;
            hash->insert(key, value);
        }
        return true;
    }

    qint64 position() const { return m_pos; }
    QString error() const { return m_error; }

private:
    qint64 remaining() const { return qint64(m_data.size()) - m_pos; }

    bool fail(const QString &what)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 (at byte %2)").arg(what).arg(m_pos);
        return false;
    }

    bool truncated(const char *what)
    {
        return fail(QStringLiteral("the file is cut short (while reading %1)").arg(QLatin1String(what)));
    }

    bool readU32(quint32 *v, const char *what)
    {
        if (remaining() < 4)
            return truncated(what);
        *v = qFromBigEndian<quint32>(m_data.constData() + m_pos);
        m_pos += 4;
        return true;
    }

    bool readU64(quint64 *v, const char *what)
    {
        if (remaining() < 8)
            return truncated(what);
        *v = qFromBigEndian<quint64>(m_data.constData() + m_pos);
        m_pos += 8;
        return true;
    }

    bool readI8(qint8 *v, const char *what)
    {
        if (remaining() < 1)
            return truncated(what);
        *v = qint8(m_data.at(m_pos));
        m_pos += 1;
        return true;
    }

    bool readString(QString *s, const char *what)
    {
        quint32 bytes = 0;
        if (!readU32(&bytes, what))
            return false;
        if (bytes == 0xFFFFFFFFu) {
            *s = QString();
            return true;
        }
        if (bytes & 1u)
            return fail(QStringLiteral("odd byte length of a text (while reading %1)").arg(QLatin1String(what)));
        if (qint64(bytes) > remaining())
            return truncated(what);
        const int len = int(bytes / 2);
        QString out(len, Qt::Uninitialized);
        const char *p = m_data.constData() + m_pos;
        for (int i = 0; i < len; ++i)
            out[i] = QChar(qFromBigEndian<quint16>(p + 2 * i));
        m_pos += bytes;
        *s = out;
        return true;
    }

    bool readValue(QVariant *v, int depth, const QString &key)
    {
        quint32 type = 0;
        qint8 isNull = 0;
        if (!readU32(&type, "a value type") || !readI8(&isNull, "a value"))
            return false;
        switch (type) {
        case TypeInvalid: {
            QString ignored;
            if (!readString(&ignored, "a value"))
                return false;
            *v = QVariant();
            return true;
        }
        case TypeBool: {
            qint8 b = 0;
            if (!readI8(&b, "a value"))
                return false;
            *v = QVariant(b != 0);
            return true;
        }
        case TypeInt: {
            quint32 u = 0;
            if (!readU32(&u, "a value"))
                return false;
            *v = QVariant(qint32(u));
            return true;
        }
        case TypeUInt: {
            quint32 u = 0;
            if (!readU32(&u, "a value"))
                return false;
            *v = QVariant(u);
            return true;
        }
        case TypeLongLong:
        case TypeULongLong: {
            quint64 u = 0;
            if (!readU64(&u, "a value"))
                return false;
            *v = type == TypeLongLong ? QVariant(qint64(u)) : QVariant(u);
            return true;
        }
        case TypeDouble: {
            quint64 u = 0;
            if (!readU64(&u, "a value"))
                return false;
            double d;
            static_assert(sizeof d == sizeof u, "IEEE double");
            memcpy(&d, &u, sizeof d);
            *v = QVariant(d);
            return true;
        }
        case TypeString: {
            QString s;
            if (!readString(&s, "a text value"))
                return false;
            *v = QVariant(s);
            return true;
        }
        case TypeHash: {
            if (depth >= MaxDepth)
                return fail(QStringLiteral("\"%1\" nests a hash deeper than system, board, channel, parameter")
                                .arg(key));
            ViewHash nested;
            if (!readHash(&nested, depth + 1))
                return false;
            *v = QVariant::fromValue(nested);
            return true;
        }
        default:
            return fail(QStringLiteral("\"%1\" holds a value of unknown type %2 (not a version %3 view file?)")
                            .arg(key)
                            .arg(type)
                            .arg(StreamVersion));
        }
    }

    const QByteArray &m_data;
    qint64 m_pos = 0;
    QString m_error;
};

// ------------------------------------------------------------ validation

enum class Kind { Text, Integer, Flag, Hash };

bool isNumber(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool fitsInt(const QVariant &v, qint64 low, qint64 high)
{
    if (v.metaType().id() == QMetaType::Double) {
        const double d = v.toDouble();
        return d == d && d >= double(low) && d <= double(high);
    }
    if (v.metaType().id() == QMetaType::ULongLong)
        return v.toULongLong() <= quint64(high);
    const qint64 n = v.toLongLong();
    return n >= low && n <= high;
}

struct KeyRule
{
    const char *key;
    Kind kind;
};

const KeyRule SystemRules[] = {{"name", Kind::Text},        {"initParam", Kind::Text},   {"psType", Kind::Integer},
                               {"connType", Kind::Integer}, {"isCustomView", Kind::Integer}, {"boards", Kind::Hash}};
const KeyRule BoardRules[] = {{"isPresent", Kind::Integer}, {"serialNumber", Kind::Integer},
                              {"visualIndex", Kind::Integer}, {"channels", Kind::Hash}};
const KeyRule ChannelRules[] = {{"vectorIndex", Kind::Integer},   {"isEnabled", Kind::Flag},
                                {"visualIndex", Kind::Integer},   {"isEnabledInCustomView", Kind::Flag},
                                {"customViewVisualIndex", Kind::Integer}, {"parameters", Kind::Hash}};
const KeyRule ParameterRules[] = {{"vectorIndex", Kind::Integer}, {"name", Kind::Text},
                                  {"visualIndex", Kind::Integer}, {"isEnabled", Kind::Flag},
                                  {"isEnabledInCustomView", Kind::Flag}, {"customViewVisualIndex", Kind::Integer}};

template <size_t N>
bool checkLevel(const ViewHash &hash, const KeyRule (&rules)[N], const QString &where, QString *error)
{
    for (const ViewHash::Item &item : hash.items()) {
        for (const KeyRule &rule : rules) {
            if (item.first != QLatin1String(rule.key))
                continue;
            const QVariant &v = item.second;
            bool ok = false;
            const char *expected = "";
            switch (rule.kind) {
            case Kind::Text:
                ok = v.metaType().id() == QMetaType::QString;
                expected = "a text";
                break;
            case Kind::Integer:
                // Serial numbers are unsigned 32-bit, everything else int.
                ok = isNumber(v)
                     && (item.first == QLatin1String("serialNumber")
                             ? fitsInt(v, std::numeric_limits<qint32>::min(), std::numeric_limits<quint32>::max())
                             : fitsInt(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
                expected = "a 32-bit number";
                break;
            case Kind::Flag:
                ok = isNumber(v);
                expected = "a flag";
                break;
            case Kind::Hash:
                ok = ViewHash::isHash(v);
                expected = "a hash";
                break;
            }
            if (!ok) {
                if (error)
                    *error = QStringLiteral("%1: \"%2\" is not %3").arg(where, item.first, QLatin1String(expected));
                return false;
            }
        }
    }
    return true;
}

} // namespace

QByteArray serialize(const ViewHash &hash)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QDataStream out(&buffer);
    out.setVersion(StreamVersion);
    writeHash(out, hash);
    return bytes;
}

bool validate(const ViewHash &system, QString *error)
{
    if (!checkLevel(system, SystemRules, QStringLiteral("system"), error))
        return false;
    int b = 0;
    for (const ViewHash &board : system.hashes(QStringLiteral("boards"))) {
        const QString boardAt = QStringLiteral("board item %1").arg(b++);
        if (!checkLevel(board, BoardRules, boardAt, error))
            return false;
        int c = 0;
        for (const ViewHash &channel : board.hashes(QStringLiteral("channels"))) {
            const QString channelAt = QStringLiteral("%1, channel item %2").arg(boardAt).arg(c++);
            if (!checkLevel(channel, ChannelRules, channelAt, error))
                return false;
            int p = 0;
            for (const ViewHash &parameter : channel.hashes(QStringLiteral("parameters"))) {
                if (!checkLevel(parameter, ParameterRules,
                                QStringLiteral("%1, parameter item %2").arg(channelAt).arg(p++), error))
                    return false;
            }
        }
    }
    return true;
}

bool parse(const QByteArray &data, ViewHash *hash, QString *error)
{
    *hash = ViewHash();
    Reader reader(data);
    ViewHash decoded;
    if (!reader.readHash(&decoded, 0)) {
        if (error)
            *error = reader.error();
        return false;
    }
    QString why;
    if (!validate(decoded, &why)) {
        if (error)
            *error = why;
        return false;
    }
    *hash = decoded;
    return true;
}

} // namespace ViewFileFormat
