#include "device/ORVEHVMirrorNode.h"

#include "device/ORVEHVNode.h"

ORVEHVMirrorNode::ORVEHVMirrorNode(ORVEHVNode *source)
    : QTableWidgetItem(QTableWidgetItem::Type), m_partner(source)
{
}

// A table that is destroyed while it still holds the mirror deletes it; the
// source node must not keep a dangling pointer then.
ORVEHVMirrorNode::~ORVEHVMirrorNode()
{
    if (m_partner && m_partner->partner() == this)
        m_partner->setPartner(nullptr);
}

QVariant ORVEHVMirrorNode::data(int role) const
{
    const QVariant own = QTableWidgetItem::data(role);
    if (own.isValid())
        return own;
    if (role == Qt::ToolTipRole)
        return m_partner ? m_partner->data(role) : QVariant();
    return celllook::data(role, m_shade, m_partner && m_partner->accessMode() == AccessReadOnly,
                          m_partner && m_partner->name() == QLatin1String("Pw"));
}
