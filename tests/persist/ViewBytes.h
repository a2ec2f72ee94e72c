#ifndef VIEWBYTES_H
#define VIEWBYTES_H

// The view file format written and read byte by byte, independently of the
// program's reader and writer: a data stream (version 12, big endian) of one
// string-to-variant hash whose keys may repeat.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QtEndian>
#include <memory>

namespace viewbytes {

inline QByteArray u32(quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    return QByteArray(b, 4);
}

inline QByteArray str(const QString &s)
{
    QByteArray out = u32(quint32(s.size() * 2));
    for (QChar c : s) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xff));
    }
    return out;
}

// Variants: type id, null flag, value.
inline QByteArray vBool(bool b) { return u32(1) + QByteArray(1, 0) + QByteArray(1, b ? 1 : 0); }
inline QByteArray vInt(qint32 i) { return u32(2) + QByteArray(1, 0) + u32(quint32(i)); }
inline QByteArray vUInt(quint32 u) { return u32(3) + QByteArray(1, 0) + u32(u); }
inline QByteArray vStr(const QString &s) { return u32(10) + QByteArray(1, 0) + str(s); }

struct Hash
{
    QList<QPair<QString, QByteArray>> items;   // key, encoded variant
    Hash &add(const QString &key, const QByteArray &variant)
    {
        items.append({key, variant});
        return *this;
    }
    Hash &add(const QString &key, const Hash &nested)
    {
        items.append({key, u32(28) + QByteArray(1, 0) + nested.bytes()});
        return *this;
    }
    QByteArray bytes() const
    {
        QByteArray out = u32(quint32(items.size()));
        for (const auto &i : items)
            out += str(i.first) + i.second;
        return out;
    }
    // Same items, last first (a writer may put repeated keys in any order).
    Hash reversed() const
    {
        Hash h;
        for (auto it = items.crbegin(); it != items.crend(); ++it)
            h.items.append(*it);
        return h;
    }
};

// --- reading: a generic tree of what the bytes say -------------------------
struct Value
{
    quint32 type = 0;
    QVariant scalar;
    std::shared_ptr<QList<QPair<QString, Value>>> hash;

    QList<Value> all(const QString &key) const
    {
        QList<Value> out;
        if (hash)
            for (const auto &i : *hash)
                if (i.first == key)
                    out.append(i.second);
        return out;
    }
    Value one(const QString &key) const
    {
        const QList<Value> a = all(key);
        return a.isEmpty() ? Value() : a.first();
    }
    int count(const QString &key) const { return int(all(key).size()); }
};

class Reader
{
public:
    explicit Reader(const QByteArray &d) : data(d) {}
    bool ok = true;

    Value hash()
    {
        Value v;
        v.type = 28;
        v.hash = std::make_shared<QList<QPair<QString, Value>>>();
        const quint32 n = read32();
        for (quint32 i = 0; ok && i < n; ++i) {
            const QString key = string();
            v.hash->append({key, variant()});
        }
        return v;
    }
    bool atEnd() const { return pos == data.size(); }

private:
    quint32 read32()
    {
        if (pos + 4 > data.size()) {
            ok = false;
            return 0;
        }
        const quint32 v = qFromBigEndian<quint32>(data.constData() + pos);
        pos += 4;
        return v;
    }
    QString string()
    {
        const quint32 n = read32();
        if (n == 0xffffffffu)
            return QString();
        QString s;
        for (quint32 i = 0; ok && i < n / 2; ++i) {
            if (pos + 2 > data.size()) {
                ok = false;
                break;
            }
            s.append(QChar(qFromBigEndian<quint16>(data.constData() + pos)));
            pos += 2;
        }
        return s;
    }
    Value variant()
    {
        Value v;
        v.type = read32();
        pos += 1; // null flag
        switch (v.type) {
        case 1:
            v.scalar = data.at(pos++) != 0;
            break;
        case 2:
            v.scalar = qint32(read32());
            break;
        case 3:
            v.scalar = read32();
            break;
        case 10:
            v.scalar = string();
            break;
        case 28:
            return hash();
        default:
            ok = false;
        }
        return v;
    }
    QByteArray data;
    int pos = 0;
};

} // namespace viewbytes

#endif
