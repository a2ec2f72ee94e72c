#ifndef ORVEHVNODEPROPERTY_H
#define ORVEHVNODEPROPERTY_H

// A named value attached to a node: a board's information block ("ChCount",
// "BdModel", "BdDescr", "SerNum", "FmwRel") or a parameter's metadata
// ("Minval", "Maxval", "Unit", "Exp", "Decimal", "Onstate", "Offstate",
// "Enum"). Owned by the node it is added to.
//
// Board information properties carry their name as the object name,
// metadata properties in the name field; discovery sets both, and name()
// falls back to the object name, so either can be looked up by name().

#include "device/NodeValue.h"

#include <QObject>
#include <QString>

class ORVEHVNodeProperty : public QObject
{
    Q_OBJECT
public:
    ORVEHVNodeProperty() = default;
    ORVEHVNodeProperty(const QString &name, int dataType);
    ~ORVEHVNodeProperty() override;

    NodeValue value() const { return m_value; }
    void setValue(const NodeValue &v) { m_value = v; }

    // The name field, or the object name when the field is empty.
    QString name() const { return m_name.isEmpty() ? objectName() : m_name; }
    void setName(const QString &n) { m_name = n; }

    int index() const { return m_index; }          // -1 at creation
    void setIndex(int i) { m_index = i; }

    // 9 for "Enum" (value: QStringList), 6 for every other metadata name.
    int dataType() const { return m_dataType; }
    void setDataType(int t) { m_dataType = t; }

private:
    NodeValue m_value;
    QString m_name;
    int m_index = -1;
    int m_dataType = 0;
};

#endif
