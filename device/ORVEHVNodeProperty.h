#ifndef ORVEHVNODEPROPERTY_H
#define ORVEHVNODEPROPERTY_H

// A named value attached to a node: a board's information block ("ChCount",
// "BdModel", "BdDescr", "SerNum", "FmwRel") or a parameter's metadata
// ("Minval", "Maxval", "Unit", "Exp", "Decimal", "Onstate", "Offstate",
// "Enum"). A plain value: a node keeps its properties in an implicitly
// shared list, so the channels of a board whose metadata is the same share
// one copy of it (a large system has hundreds of thousands of them).

#include "device/NodeValue.h"

#include <QString>
#include <QVector>

class ORVEHVNodeProperty
{
public:
    ORVEHVNodeProperty() = default;
    ORVEHVNodeProperty(const QString &name, int dataType, const NodeValue &value = NodeValue())
        : m_value(value), m_name(name), m_dataType(dataType) {}

    NodeValue value() const { return m_value; }
    void setValue(const NodeValue &v) { m_value = v; }

    QString name() const { return m_name; }
    void setName(const QString &n) { m_name = n; }

    int index() const { return m_index; }          // -1 at creation
    void setIndex(int i) { m_index = i; }

    // 9 for "Enum" (value: QStringList), 6 for every other metadata name.
    int dataType() const { return m_dataType; }
    void setDataType(int t) { m_dataType = t; }

    // Same name, type, index, value and status; the time of the read does
    // not count (metadata read a moment later is the same metadata).
    bool operator==(const ORVEHVNodeProperty &o) const
    {
        return m_name == o.m_name && m_dataType == o.m_dataType && m_index == o.m_index
               && m_value.status == o.m_value.status && m_value.value == o.m_value.value;
    }
    bool operator!=(const ORVEHVNodeProperty &o) const { return !(*this == o); }

private:
    NodeValue m_value;
    QString m_name;
    int m_index = -1;
    int m_dataType = 0;
};

using ORVEHVNodeProperties = QVector<ORVEHVNodeProperty>;

#endif
