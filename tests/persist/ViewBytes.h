#ifndef VIEWBYTES_H
#define VIEWBYTES_H

// The view file format written byte by byte, independently of the program's
// writer: a data stream (version 12, big endian) of one string-to-variant
// hash whose keys may repeat.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <QtEndian>

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

} // namespace viewbytes

#endif
