#ifndef ORVEHVNODE_H
#define ORVEHVNODE_H

// A node of a system's device tree: the system, its connection items and
// properties, boards, board parameters, channels, channel parameters, or a
// container (empty crate slot / view root). A node is at the same time its
// own table cell: the channel table puts the parameter node itself into the
// cell, so a new value shows at once.
//
// Ownership: a node owns its children, parameters and mirror item and
// deletes them (each list from last to first) when destroyed. A
// container (kind 8) owns nothing; it only lists nodes of system trees.
// Table cells never own nodes: a table must take a node out
// (QTableWidget::takeItem) before the table is destroyed.
//
// GUI thread only.

#include "device/CellLook.h"
#include "device/NodeValue.h"
#include "device/ORVEHVNodeProperty.h"

#include <QList>
#include <QString>
#include <QTableWidgetItem>
#include <QVariant>
#include <QVector>

#include <memory>

class ORVEHVMirrorNode;
class QTableWidget;

class ORVEHVNode : public QTableWidgetItem
{
public:
    ORVEHVNode();
    ~ORVEHVNode() override;

    ORVEHVNode(const ORVEHVNode &) = delete;
    ORVEHVNode &operator=(const ORVEHVNode &) = delete;

    // The node behind a table cell: the cell itself, or the source of a
    // mirror item; null for any other item (and for null).
    static ORVEHVNode *fromItem(QTableWidgetItem *item);
    // True when the cell is an ORVEHVMirrorNode.
    static bool isMirrorItem(const QTableWidgetItem *item);

    // Sets name and kind; for kind 0 also system type, link type and the
    // connection strings; isLogged starts as logsByDefault(systemType).
    void initialise(const QString &name, int kind, int systemType = -1, int linkType = -1,
                    const QString &connectionArgument = QString(),
                    const QString &userName = QString(), const QString &password = QString());

    // Append / insert; unless this node is a container the added node takes
    // this node's systemType. Ownership passes to this node (not for containers).
    void addChild(ORVEHVNode *node);
    void insertChild(ORVEHVNode *node, int index);
    void addParameter(ORVEHVNode *node);
    void addProperty(const ORVEHVNodeProperty &property);
    // Replaces the properties by a list that may be shared with other nodes.
    void setProperties(const ORVEHVNodeProperties &list) { m_properties = list; }
    // Removes without deleting; ignored for an index not below the count.
    void removeChildAt(int index);

    const QVector<ORVEHVNode *> &children() const { return m_children; }
    const QVector<ORVEHVNode *> &parameters() const { return m_parameters; }
    const ORVEHVNodeProperties &properties() const { return m_properties; }

    // Lookups by name (case-sensitive); null when absent.
    ORVEHVNode *parameter(const QString &name) const;
    // The pointer is valid until this node's properties change.
    const ORVEHVNodeProperty *property(const QString &name) const;
    // Value of a property, or an invalid variant when the property is absent.
    QVariant propertyValue(const QString &name) const;

    // --- value ----------------------------------------------------------
    NodeValue value() const { return m_value; }
    // Stores the record; a channel parameter also refreshes its cell text
    // (and its mirror's), see cellText().
    void setValue(const NodeValue &value);
    // Writes the value to the device (system property, board or channel
    // parameter) and updates the record. Every write of the program passes
    // here: the value goes through ParameterCodec::convert (a text is read as
    // the tables show it) and the WriteGate first. Returns 0 on success
    // (value stored with status 0); -1 for an empty value (nothing sent, cell
    // refreshed) or a node that cannot be written; ORVEHV_ERR_BAD_ARGUMENT or
    // ORVEHV_ERR_OUT_OF_RANGE for a value the codec refuses and
    // WriteGate::RefusedCode while the gate is closed (nothing sent); else
    // the library's code. On any failure the old value is kept with status 3
    // and shown again, and `reason` (when given) says why in words.
    int writeValue(const QVariant &value, QString *reason = nullptr);
    // The same for a typed text.
    int writeText(const QString &text, QString *reason = nullptr);
    // The text a channel parameter's cell shows for the current value.
    QString cellText() const;

    // Stores the unit text and re-applies the current value.
    void setUnitText(const QString &text);
    // Any state other than 1 marks the values of everything below this node
    // (children recursively, and the parameters of this node and of every
    // child) with status 1 and refreshes them. Containers mark nothing.
    void setConnectionState(int state);
    // Sets the handle here and on all children and parameters, recursively.
    void setHandle(int handle);

    // --- plain fields ---------------------------------------------------
    // The mirror item, null until mirror() made it (or after its table
    // deleted it).
    ORVEHVMirrorNode *partner() const { return m_partner; }
    void setPartner(ORVEHVMirrorNode *mirror) { m_partner = mirror; }
    // The mirror item of a channel parameter, made on first use with the
    // current text: only a custom view shows it. Null for other kinds.
    ORVEHVMirrorNode *mirror();
    bool isMirror() const { return m_isMirror; }

    // An empty name reads as "ORVE".
    QString name() const;
    void setName(const QString &n) { m_name = n; }
    int kind() const { return m_kind; }
    void setKind(int k) { m_kind = k; }
    int accessMode() const { return m_accessMode; }
    void setAccessMode(int m) { m_accessMode = m; }
    int dataType() const { return m_dataType; }
    void setDataType(int t) { m_dataType = t; }
    int handle() const { return m_handle; }
    int systemType() const { return m_systemType; }
    void setSystemType(int t) { m_systemType = t; }
    int visualIndex() const { return m_visualIndex; }
    void setVisualIndex(int i) { m_visualIndex = i; }
    int customViewVisualIndex() const { return m_customViewVisualIndex; }
    void setCustomViewVisualIndex(int i) { m_customViewVisualIndex = i; }
    int linkType() const { return m_linkType; }
    void setLinkType(int t) { m_linkType = t; }
    QString connectionArgument() const { return m_connectionArgument; }
    void setConnectionArgument(const QString &a) { m_connectionArgument = a; }
    QString userName() const { return identityText(&Identity::userName); }
    void setUserName(const QString &u) { identity().userName = u; }
    QString password() const { return identityText(&Identity::password); }
    void setPassword(const QString &p) { identity().password = p; }
    quint16 slotCount() const { return m_slotCount; }
    void setSlotCount(quint16 n) { m_slotCount = n; }
    int connectionState() const { return m_connectionState; }
    QString model() const { return identityText(&Identity::model); }
    void setModel(const QString &m) { identity().model = m; }
    QString description() const { return identityText(&Identity::description); }
    void setDescription(const QString &d) { identity().description = d; }
    quint32 serialNumber() const { return m_serialNumber; }
    void setSerialNumber(quint32 n) { m_serialNumber = n; }
    QString firmwareMinor() const { return identityText(&Identity::firmwareMinor); }
    void setFirmwareMinor(const QString &f) { identity().firmwareMinor = f; }
    QString firmwareMajor() const { return identityText(&Identity::firmwareMajor); }
    void setFirmwareMajor(const QString &f) { identity().firmwareMajor = f; }
    quint16 channelCount() const { return m_channelCount; }
    void setChannelCount(quint16 n) { m_channelCount = n; }
    // The library addresses a board by its slot in its own system.
    quint16 slot() const { return m_slot; }
    void setSlot(quint16 s) { m_slot = s; }
    // A board's number as the operator sees it (row labels, panels, the
    // value log): its slot, or for a VME HV board joined to a crate its
    // place in the crate, where every board system has its board in slot 0.
    int place() const { return m_place < 0 ? m_slot : m_place; }
    // Sets the place and names the board after it ("Board" and two digits);
    // its channels and parameters take the new board name.
    void setPlace(int place);
    quint16 channel() const { return m_channel; }
    void setChannel(quint16 c) { m_channel = c; }
    QString systemName() const { return m_systemName; }
    void setSystemName(const QString &n) { m_systemName = n; }
    int libraryType() const { return m_libraryType; }
    void setLibraryType(int t) { m_libraryType = t; }
    QString boardName() const { return m_boardName; }
    void setBoardName(const QString &n) { m_boardName = n; }
    QString channelName() const { return m_channelName; }
    void setChannelName(const QString &n) { m_channelName = n; }
    QString unitText() const { return m_unitText; }
    int decimals() const { return m_decimals; }
    void setDecimals(int d) { m_decimals = d; }
    bool isEnabled() const { return m_isEnabled; }
    void setIsEnabled(bool e) { m_isEnabled = e; }
    bool isEnabledInCustomView() const { return m_isEnabledInCustomView; }
    void setIsEnabledInCustomView(bool e) { m_isEnabledInCustomView = e; }
    bool isLogged() const { return m_isLogged; }
    void setIsLogged(bool l) { m_isLogged = l; }
    // Mainframes (2, 3) and types 8 and 12 log only what the operator picks;
    // every other system logs all its values.
    static bool logsByDefault(int systemType);
    // Gives this node, its parameters and everything below it the logged
    // flag of their system type (discovery, once the nodes are in the tree).
    void applyLoggingDefault();
    bool notOk() const { return m_notOk; }
    void setNotOk(bool n) { m_notOk = n; }

    // Stripe or fault colour of this cell's row (see CellLook.h).
    CellShade shade() const { return m_shade; }
    void setShade(CellShade s) { m_shade = s; }
    // Adds the tool tip of a channel parameter, made from its metadata.
    QVariant data(int role) const override;

private:
    // Texts only a system (its log-in) or a board (its identity) has: kept
    // apart, so that the tens of thousands of parameter nodes of a large
    // system do not carry them.
    struct Identity
    {
        QString userName, password, model, description, firmwareMinor, firmwareMajor;
    };
    Identity &identity()
    {
        if (!m_identity)
            m_identity = std::make_unique<Identity>();
        return *m_identity;
    }
    QString identityText(QString Identity::*field) const
    {
        return m_identity ? (*m_identity).*field : QString();
    }

    QString metadataToolTip() const;
    void applyText();
    void markChildrenStale();

    ORVEHVMirrorNode *m_partner = nullptr;
    bool m_isMirror = false;
    QVector<ORVEHVNode *> m_children;
    QVector<ORVEHVNode *> m_parameters;
    ORVEHVNodeProperties m_properties;
    QString m_name;
    int m_kind = KindContainer;
    int m_accessMode = AccessReadOnly;
    int m_dataType = DataInt32;
    NodeValue m_value;
    int m_handle = -1;
    int m_systemType = -1;
    int m_visualIndex = -1;
    int m_customViewVisualIndex = -1;
    int m_linkType = -1;
    std::unique_ptr<Identity> m_identity;
    QString m_connectionArgument;
    quint16 m_slotCount = 0;
    int m_connectionState = ConnectionPending;
    quint32 m_serialNumber = 0;
    quint16 m_channelCount = 0;
    quint16 m_slot = 0;
    quint16 m_channel = 0;
    int m_place = -1;
    QString m_systemName;
    int m_libraryType = 0;
    QString m_boardName;
    QString m_channelName;
    QString m_unitText;
    int m_decimals = 2;
    bool m_isEnabled = true;
    bool m_isEnabledInCustomView = false;
    bool m_isLogged = false;
    bool m_notOk = false;
    CellShade m_shade = ShadeNone;
};

#endif
