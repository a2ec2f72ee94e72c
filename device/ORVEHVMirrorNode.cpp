#include "device/ORVEHVMirrorNode.h"

ORVEHVMirrorNode::ORVEHVMirrorNode(ORVEHVNode *source)
    : QTableWidgetItem(QTableWidgetItem::Type), m_partner(source)
{
}

ORVEHVMirrorNode::~ORVEHVMirrorNode() = default;
