#ifndef ORVEHVMIRRORNODE_H
#define ORVEHVMIRRORNODE_H

// Second table item of a channel parameter: lets the custom-view table show
// the same parameter as the system's own table. Owned by its source node
// (ORVEHVNode::partner); when a table deletes it, the node forgets it.
// Code holding a cell of either class reaches the
// node with ORVEHVNode::fromItem().

#include "device/CellLook.h"

#include <QTableWidgetItem>

class ORVEHVNode;

class ORVEHVMirrorNode : public QTableWidgetItem
{
public:
    explicit ORVEHVMirrorNode(ORVEHVNode *source = nullptr);
    ~ORVEHVMirrorNode() override;

    ORVEHVNode *partner() const { return m_partner; }   // the source node, not owned
    void setPartner(ORVEHVNode *n) { m_partner = n; }
    bool isMirror() const { return true; }

    CellShade shade() const { return m_shade; }
    void setShade(CellShade s) { m_shade = s; }
    QVariant data(int role) const override;

private:
    ORVEHVNode *m_partner = nullptr;
    CellShade m_shade = ShadeNone;
};

#endif
