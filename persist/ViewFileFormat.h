#ifndef VIEWFILEFORMAT_H
#define VIEWFILEFORMAT_H

// The byte format of a view file (".cvc"): a data stream of version 12
// holding one string-to-variant hash whose keys may repeat ("boards" in the
// system hash, "channels" in a board hash, "parameters" in a channel hash;
// every occurrence is one item). Files move between machines and program
// versions, so the format is read and written here item by item rather than
// through the stream operators of a hash container, which keep one value
// per key.
//
// Layout (big endian): quint32 item count, then per item a string key
// (quint32 byte length or 0xFFFFFFFF for a null string, UTF-16) and a
// variant (quint32 type id, qint8 null flag, value). Value types used:
// 1 bool (qint8), 2 int (qint32), 3 unsigned int (quint32), 10 string,
// 28 nested hash (same layout). 4/5 (64-bit integers) and 6 (double) are
// read as numbers too; type 0 (no value) carries an empty string.
//
// A view file is untrusted input: the reader bounds every count by the bytes
// left, refuses nesting deeper than system > board > channel > parameter,
// unknown value types and wrong types under the keys it knows, and says why.
// Qt Core only, so the reader can be fuzzed on its own.

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QVariant>

// One hash of the format: items in file order, keys may repeat. Nested
// hashes are held as QVariant::fromValue(ViewHash).
class ViewHash
{
public:
    using Item = QPair<QString, QVariant>;

    // Adds one item (in addition to any already under the key).
    void insert(const QString &key, const QVariant &value) { m_items.append({key, value}); }
    void insert(const QString &key, const ViewHash &hash);

    bool contains(const QString &key) const;
    // First value under the key; `fallback` when absent.
    QVariant value(const QString &key, const QVariant &fallback = QVariant()) const;
    QList<QVariant> values(const QString &key) const;
    // Every nested hash under the key, in file order.
    QList<ViewHash> hashes(const QString &key) const;

    const QList<Item> &items() const { return m_items; }
    int size() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }

    static bool isHash(const QVariant &v);
    static ViewHash toHash(const QVariant &v);

private:
    QList<Item> m_items;
};

Q_DECLARE_METATYPE(ViewHash)

namespace ViewFileFormat {

constexpr int StreamVersion = 12;
// Variant type ids of stream version 12.
enum TypeId : quint32 {
    TypeInvalid = 0,
    TypeBool = 1,
    TypeInt = 2,
    TypeUInt = 3,
    TypeLongLong = 4,
    TypeULongLong = 5,
    TypeDouble = 6,
    TypeString = 10,
    TypeHash = 28
};
// Levels of the format: the system hash (0) down to a parameter hash (3).
constexpr int MaxDepth = 3;
// Largest view file accepted. The largest crate saved with every view is a
// few megabytes; decoded items take up to about nine times their bytes.
constexpr qint64 MaxFileSize = 32 * 1024 * 1024;

// The bytes of a hash in the format.
QByteArray serialize(const ViewHash &hash);

// Decodes the bytes; false and a reason when they are not a view in the
// format (truncated, absurd counts, unknown types, too deep, wrong types
// under known keys). *hash is left empty on failure.
bool parse(const QByteArray &data, ViewHash *hash, QString *error);

// Checks the known keys of a decoded system hash for their value types;
// false and a reason naming the item otherwise. parse() runs it.
bool validate(const ViewHash &system, QString *error);

} // namespace ViewFileFormat

#endif
