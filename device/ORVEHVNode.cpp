#include "device/ORVEHVNode.h"

#include "device/ORVEHVMirrorNode.h"
#include "device/ParameterAccess.h"
#include "device/ParameterCodec.h"
#include "device/ValueText.h"
#include "device/WriteEvents.h"
#include "device/WriteGate.h"

#include "ORVEHVWrapper.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QTableWidget>

namespace {

template <typename T>
void deleteBackwards(QVector<T *> &list)
{
    for (int i = list.size() - 1; i >= 0; --i)
        delete list[i];
    list.clear();
}
} // namespace

ORVEHVNode::ORVEHVNode() : QTableWidgetItem(QTableWidgetItem::Type) {}

ORVEHVNode::~ORVEHVNode()
{
    if (m_kind != KindContainer) {
        deleteBackwards(m_children);
        deleteBackwards(m_parameters);
        if (ORVEHVMirrorNode *mirror = m_partner) {
            m_partner = nullptr;
            mirror->setPartner(nullptr);
            delete mirror;
        }
    }
}

ORVEHVNode *ORVEHVNode::fromItem(QTableWidgetItem *item)
{
    if (!item)
        return nullptr;
    if (auto *node = dynamic_cast<ORVEHVNode *>(item))
        return node;
    if (auto *mirror = dynamic_cast<ORVEHVMirrorNode *>(item))
        return mirror->partner();
    return nullptr;
}

QVariant ORVEHVNode::data(int role) const
{
    const QVariant own = QTableWidgetItem::data(role);
    if (own.isValid())
        return own;
    if (role == Qt::ToolTipRole)
        return m_kind == KindChannelParameter ? QVariant(metadataToolTip()) : QVariant();
    return celllook::data(role, m_shade, m_accessMode == AccessReadOnly,
                          m_name == QLatin1String("Pw"));
}

bool ORVEHVNode::isMirrorItem(const QTableWidgetItem *item)
{
    return dynamic_cast<const ORVEHVMirrorNode *>(item) != nullptr;
}


void ORVEHVNode::initialise(const QString &name, int kind, int systemType, int linkType,
                            const QString &connectionArgument, const QString &userName,
                            const QString &password)
{
    m_name = name;
    m_kind = kind;
    if (kind == KindSystem) {
        m_systemType = systemType;
        m_linkType = linkType;
        m_connectionArgument = connectionArgument;
        setUserName(userName);
        setPassword(password);
    }
    m_isLogged = logsByDefault(systemType);
}

bool ORVEHVNode::logsByDefault(int systemType)
{
    return systemType >= 0 && systemType != 2 && systemType != 3 && systemType != 8 && systemType != 12;
}

void ORVEHVNode::applyLoggingDefault()
{
    if (m_kind == KindContainer)
        return; // an empty slot holds nothing; a view root lists nodes of other trees
    m_isLogged = logsByDefault(m_systemType);
    for (ORVEHVNode *p : m_parameters)
        p->applyLoggingDefault();
    for (ORVEHVNode *c : m_children)
        c->applyLoggingDefault();
}

void ORVEHVNode::addChild(ORVEHVNode *node)
{
    if (!node)
        return;
    if (m_kind != KindContainer)
        node->m_systemType = m_systemType;
    m_children.append(node);
}

void ORVEHVNode::insertChild(ORVEHVNode *node, int index)
{
    if (!node)
        return;
    if (m_kind != KindContainer)
        node->m_systemType = m_systemType;
    index = qBound(0, index, int(m_children.size()));
    m_children.insert(index, node);
}

void ORVEHVNode::addParameter(ORVEHVNode *node)
{
    if (!node)
        return;
    if (m_kind != KindContainer)
        node->m_systemType = m_systemType;
    m_parameters.append(node);
}

void ORVEHVNode::addProperty(const ORVEHVNodeProperty &property)
{
    m_properties.append(property);
}

void ORVEHVNode::removeChildAt(int index)
{
    if (index >= 0 && index < m_children.size())
        m_children.remove(index);
}

ORVEHVNode *ORVEHVNode::parameter(const QString &name) const
{
    for (ORVEHVNode *p : m_parameters)
        if (p->m_name == name)
            return p;
    return nullptr;
}

const ORVEHVNodeProperty *ORVEHVNode::property(const QString &name) const
{
    for (const ORVEHVNodeProperty &p : m_properties)
        if (p.name() == name)
            return &p;
    return nullptr;
}

QVariant ORVEHVNode::propertyValue(const QString &name) const
{
    const ORVEHVNodeProperty *p = property(name);
    return p ? p->value().value : QVariant();
}

// Made when asked for (the pointer goes over it), so the tip of every cell
// is not stored.
QString ORVEHVNode::metadataToolTip() const
{
    QList<QPair<QString, QVariant>> items;
    for (const ORVEHVNodeProperty &p : m_properties)
        items.append(qMakePair(p.name(), p.value().value));
    return parameterToolTip(m_libraryType, items);
}

ORVEHVMirrorNode *ORVEHVNode::mirror()
{
    if (!m_partner && m_kind == KindChannelParameter) {
        m_partner = new ORVEHVMirrorNode(this);
        applyText();
    }
    return m_partner;
}

QString ORVEHVNode::name() const
{
    return m_name.isEmpty() ? QStringLiteral("ORVE") : m_name;
}

void ORVEHVNode::setHandle(int handle)
{
    m_handle = handle;
    if (m_kind == KindContainer && !m_children.isEmpty())
        return; // a view root lists nodes of other trees; leave their handles alone
    for (ORVEHVNode *c : m_children)
        c->setHandle(handle);
    for (ORVEHVNode *p : m_parameters)
        p->setHandle(handle);
}

void ORVEHVNode::setPlace(int place)
{
    m_place = place;
    m_name = QStringLiteral("Board%1").arg(place, 2, 10, QLatin1Char('0'));
    for (ORVEHVNode *p : std::as_const(m_parameters))
        p->setBoardName(m_name);
    for (ORVEHVNode *c : std::as_const(m_children)) {
        c->setBoardName(m_name);
        for (ORVEHVNode *p : c->parameters())
            p->setBoardName(m_name);
    }
}

void ORVEHVNode::setValue(const NodeValue &value)
{
    m_value = value;
    if (m_kind == KindChannelParameter)
        applyText();
}

void ORVEHVNode::setUnitText(const QString &text)
{
    m_unitText = text;
    setValue(m_value);
}

void ORVEHVNode::setConnectionState(int state)
{
    m_connectionState = state;
    if (state != ConnectionConnected)
        markChildrenStale();
}

// Without a connection nothing below the system is current any more: the
// parameters the tables show are marked too, not only the board and channel
// nodes themselves.
void ORVEHVNode::markChildrenStale()
{
    if (m_kind == KindContainer)
        return; // lists nodes of other trees; their systems mark them
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto mark = [&now](ORVEHVNode *n) {
        NodeValue v = n->m_value;
        v.status = ValueReadFailed;
        v.timestamp = now;
        n->setValue(v);
    };
    for (ORVEHVNode *p : m_parameters)
        mark(p);
    for (ORVEHVNode *c : m_children) {
        mark(c);
        c->markChildrenStale();
    }
}

QString ORVEHVNode::cellText() const
{
    const QString text = ParameterCodec::format(this, m_value.value);
    if (m_libraryType == ORVEHV_PARAM_BINARY)
        return m_unitText + QLatin1Char(' ') + text;
    return text + QLatin1Char(' ') + m_unitText;
}

void ORVEHVNode::applyText()
{
    const QString text = cellText();
    // The operator may be typing into the current cell of a writable
    // parameter; on/off and enumeration cells are chosen, not typed.
    const bool typedEditor = m_accessMode != AccessReadOnly && m_dataType != DataOnOff
                             && m_dataType != DataEnum;
    const bool isPw = m_name == QLatin1String("Pw") && m_dataType == DataOnOff;
    const bool on = m_value.value.toBool();

    auto colour = [&](QTableWidgetItem *item) {
        QFont f = item->font();
        f.setWeight(on ? QFont::Bold : QFont::Normal); // weights 75 / 50 of the old scale
        item->setFont(f);
        // The table colours the row header itself (it follows its cells).
        item->setForeground(QBrush(on ? QColor(53, 169, 18) : QColor(Qt::black)));
    };

    QTableWidget *table = tableWidget();
    bool editing = table && typedEditor
                   && (table->currentItem() == this
                       || (m_partner && table->currentItem() == m_partner));
    if (!editing)
        setData(Qt::DisplayRole, text);
    if (isPw)
        colour(this);

    if (m_partner) {
        QTableWidget *mirrorTable = m_partner->tableWidget();
        bool mirrorEditing = mirrorTable && typedEditor
                             && (mirrorTable->currentItem() == m_partner
                                 || mirrorTable->currentItem() == this);
        if (!mirrorEditing)
            m_partner->setData(Qt::DisplayRole, text);
        if (isPw)
            colour(m_partner);
    }
}

int ORVEHVNode::writeValue(const QVariant &value, QString *reason)
{
    auto refuse = [&](int code, const QString &why) {
        if (reason)
            *reason = why;
        m_value.status = ValueWriteFailed;
        setValue(m_value);
        emit WriteEvents::instance()->writeRefused(this, value, code, why);
        return code;
    };
    if (value.toString().isEmpty()) {
        if (reason)
            *reason = QStringLiteral("no value given");
        setValue(m_value);
        return -1;
    }
    const QString closed = WriteGate::refusal(name());
    if (!closed.isEmpty())
        return refuse(WriteGate::RefusedCode, closed);
    const ParameterCodec::ParseResult parsed = ParameterCodec::convert(this, value);
    if (!parsed.ok)
        return refuse(parsed.problem == ParameterCodec::OutOfRange || parsed.problem == ParameterCodec::TooLong
                          ? ORVEHV_ERR_OUT_OF_RANGE
                          : ORVEHV_ERR_BAD_ARGUMENT,
                      parsed.reason);
    QVariant sent = parsed.value;
    int result;
    switch (m_kind) {
    case KindSystemProperty:
        result = writeSystemProperty(m_handle, m_name, m_libraryType, sent);
        break;
    case KindBoardParameter:
        result = writeBoardParameter(m_handle, m_slot, m_name, m_libraryType, sent);
        break;
    case KindChannelParameter:
        result = writeChannelParameter(m_handle, m_slot, m_name, m_channel, m_libraryType, sent);
        break;
    default:
        result = -1;
        break;
    }
    if (result != 0)
        return refuse(result, libraryErrorText(result));
    setValue(NodeValue(sent, ValueOk));
    return 0;
}

int ORVEHVNode::writeText(const QString &text, QString *reason)
{
    return writeValue(QVariant(text), reason);
}
