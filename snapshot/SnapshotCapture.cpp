#include "snapshot/SnapshotCapture.h"

#include "device/Discovery.h"
#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"

namespace snapshot {

namespace {

// The value as a snapshot keeps it: on/off as bool, texts as text,
// everything else as a number.
QVariant normalised(const ORVEHVNode *parameter, const QVariant &v)
{
    switch (parameter->dataType()) {
    case DataOnOff:
        return QVariant(v.toUInt() != 0);
    case DataText:
        return QVariant(v.toString());
    default:
        return QVariant(v.toDouble());
    }
}

NodeValue readNow(const ORVEHVNode *p)
{
    switch (p->kind()) {
    case KindSystemProperty:
        return readSystemProperty(p->handle(), p->name(), p->libraryType());
    case KindBoardParameter:
        return readBoardParameter(p->handle(), p->slot(), p->name(), p->libraryType());
    case KindChannelParameter:
        return readChannelParameter(p->handle(), p->slot(), p->channel(), p->name(), p->libraryType());
    default:
        return NodeValue::failedRead();
    }
}

void addSetpoints(const ORVEHVNode *owner, Setpoints &out, int &unreadable)
{
    for (const ORVEHVNode *p : owner->parameters()) {
        if (!isSetpoint(p))
            continue;
        const NodeValue v = readNow(p);
        if (v.status != ValueOk) {
            ++unreadable;
            continue;
        }
        out.append({p->name(), normalised(p, v.value)});
    }
}

Readback readbackOf(const ORVEHVNode *channel)
{
    Readback r;
    const ORVEHVNode *vmon = channel->parameter(QStringLiteral("VMon"));
    const ORVEHVNode *imon = channel->parameter(QStringLiteral("IMon"));
    const ORVEHVNode *status = channel->parameter(QStringLiteral("Status"));
    if (!vmon)
        return r;
    const NodeValue v = readNow(vmon);
    r.valid = v.status == ValueOk;
    r.vmon = v.value.toDouble();
    if (imon)
        r.imon = readNow(imon).value.toDouble();
    if (status)
        r.status = readNow(status).value.toLongLong();
    return r;
}

} // namespace

SystemKey keyOf(const ORVEHVNode *systemNode)
{
    return {systemNode->systemType(), systemNode->linkType(), systemNode->connectionArgument()};
}

bool isSetpoint(const ORVEHVNode *parameter)
{
    const int kind = parameter->kind();
    if (kind != KindSystemProperty && kind != KindBoardParameter && kind != KindChannelParameter)
        return false;
    if (parameter->accessMode() != AccessReadWrite)
        return false;
    return !(kind == KindSystemProperty && parameter->name().startsWith(QLatin1String("IP")));
}

QList<ORVEHVNode *> ownBoards(const ORVEHVNode *systemNode)
{
    QList<ORVEHVNode *> boards;
    for (ORVEHVNode *b : systemNode->children())
        if (b->kind() == KindBoard && b->handle() == systemNode->handle())
            boards.append(b);
    return boards;
}

SystemRecord captureSystem(const ORVEHVNode *systemNode)
{
    SystemRecord s;
    s.name = systemNode->name();
    s.key = keyOf(systemNode);
    s.slotCount = systemNode->slotCount();
    int unreadable = 0;
    addSetpoints(systemNode, s.setpoints, unreadable);
    // Board identity as the crate reports it now, not as the tree remembers
    // it: a board swapped while the crate was off sends no event.
    quint16 slotCount = 0;
    const QList<ORVEHVNode *> crate = readCrateMap(systemNode->handle(), &slotCount);
    for (const ORVEHVNode *board : ownBoards(systemNode)) {
        BoardRecord b;
        b.slot = board->slot();
        b.model = board->model();
        b.serial = board->serialNumber();
        if (slotCount > 0) {
            const ORVEHVNode *now = b.slot < crate.size() ? crate.at(b.slot) : nullptr;
            if (!now || now->kind() != KindBoard)
                continue;  // the slot is empty now
            b.model = now->model();
            b.serial = now->serialNumber();
        }
        addSetpoints(board, b.setpoints, unreadable);
        b.channels.reserve(board->children().size());
        for (const ORVEHVNode *channel : board->children()) {
            ChannelRecord c;
            c.channel = channel->channel();
            addSetpoints(channel, c.setpoints, unreadable);
            c.readback = readbackOf(channel);
            b.channels.append(c);
        }
        s.boards.append(b);
    }
    qDeleteAll(crate);
    s.unreadable = unreadable;
    return s;
}

Snapshot capture(const QList<ORVEHVNode *> &systemNodes, const QString &comment, const QDateTime &when)
{
    Snapshot snap;
    snap.id = newSnapshotId(when);
    snap.taken = when;
    snap.comment = comment;
    for (const ORVEHVNode *node : systemNodes)
        snap.systems.append(captureSystem(node));
    return snap;
}

ORVEHVNode *findLiveSystem(const QList<ORVEHVNode *> &systemNodes, const SystemKey &key)
{
    for (ORVEHVNode *n : systemNodes)
        if (n && keyOf(n) == key)
            return n;
    return nullptr;
}

ORVEHVNode *findLiveBoard(const ORVEHVNode *systemNode, int slot)
{
    for (ORVEHVNode *b : ownBoards(systemNode))
        if (b->slot() == slot)
            return b;
    return nullptr;
}

ORVEHVNode *findLiveParameter(const ORVEHVNode *systemNode, const ItemAddress &a)
{
    if (a.slot < 0)
        return systemNode->parameter(a.parameter);
    const ORVEHVNode *board = findLiveBoard(systemNode, a.slot);
    if (!board)
        return nullptr;
    if (a.channel < 0)
        return board->parameter(a.parameter);
    for (const ORVEHVNode *c : board->children())
        if (c->channel() == a.channel)
            return c->parameter(a.parameter);
    return nullptr;
}

} // namespace snapshot
