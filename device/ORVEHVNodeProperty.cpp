#include "device/ORVEHVNodeProperty.h"

ORVEHVNodeProperty::ORVEHVNodeProperty(const QString &name, int dataType)
    : m_name(name), m_dataType(dataType)
{
}

ORVEHVNodeProperty::~ORVEHVNodeProperty() = default;
