#include "device/Discovery.h"

#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "device/ValueText.h"

#include "ORVEHVWrapper.h"

#include <QByteArray>
#include <QHash>
#include <QVariant>
#include <cmath>
#include <cstring>

namespace {

// A list of 10-byte name cells carries no size: its end is the first empty
// cell. A library that forgets it must not send us walking through memory,
// so the walk stops after this many cells whatever the content.
constexpr int kMaxNameCells = 512;
// Texts of NUL-separated lists longer than this are taken as garbage: the
// walk stops there.
constexpr int kMaxListText = 1024;

} // namespace

QStringList parameterNameCells(const char *list, int count)
{
    QStringList names;
    if (!list)
        return names;
    const int limit = count >= 0 ? qMin(count, kMaxNameCells) : kMaxNameCells;
    for (int i = 0; i < limit; ++i) {
        const char *cell = list + i * ORVEHV_PARAM_NAME_CELL;
        const int len = int(qstrnlen(cell, ORVEHV_PARAM_NAME_CELL));
        if (len == 0)
            break;
        names.append(QString::fromLatin1(cell, len));
    }
    return names;
}

QStringList separatedListTexts(const char *list, int count, bool stopAtEmpty)
{
    QStringList texts;
    if (!list)
        return texts;
    const char *p = list;
    for (int i = 0; i < count; ++i) {
        const int len = int(qstrnlen(p, kMaxListText));
        if (len == kMaxListText || (stopAtEmpty && len == 0))
            break;
        texts.append(QString::fromLatin1(p, len));
        p += len + 1;
    }
    return texts;
}

QStringList enumCellTexts(const char *buffer, double minval, double maxval)
{
    QStringList list;
    const double span = maxval - minval + 1;
    if (!buffer || !std::isfinite(span) || maxval < minval)
        return list;
    // The buffer holds ten cells; a wider range keeps the first ten texts
    // rather than reading past it.
    const int texts = int(qMin<double>(span, ORVEHV_ENUM_MAX_TEXTS));
    for (int i = 0; i < texts; ++i) {
        const char *cell = buffer + i * ORVEHV_ENUM_CELL;
        list.append(QString::fromLatin1(cell, int(qstrnlen(cell, ORVEHV_ENUM_CELL))));
    }
    return list;
}

namespace {

QString twoDigits(int v) { return QString::asprintf("%02d", v); }

struct CrateMap
{
    bool ok = false;
    quint16 slotCount = 0;
    QVector<quint16> channels;
    QStringList models, descriptions;
    QVector<quint32> serials;
    QVector<quint8> firmwareMinor, firmwareMajor;
};

CrateMap readCrateMapLists(int handle)
{
    CrateMap map;
    unsigned short slotCount = 0;
    unsigned short *nrOfCh = nullptr;
    char *models = nullptr, *descriptions = nullptr;
    uint32_t *serials = nullptr;
    unsigned char *fmwMin = nullptr, *fmwMax = nullptr;
    const int r = ORVEHV_GetCrateMap(handle, &slotCount, &nrOfCh, &models, &descriptions, &serials,
                                     &fmwMin, &fmwMax);
    if (r == ORVEHV_OK && nrOfCh) {
        map.ok = true;
        map.slotCount = slotCount;
        // Texts are needed only up to the last occupied slot; the other
        // lists hold one fixed-size entry per slot.
        int lastBoard = -1;
        for (int i = 0; i < slotCount; ++i) {
            map.channels.append(nrOfCh[i]);
            if (nrOfCh[i] != 0)
                lastBoard = i;
        }
        map.models = separatedListTexts(models, lastBoard + 1, false);
        map.descriptions = separatedListTexts(descriptions, lastBoard + 1, false);
        for (int i = 0; i < slotCount; ++i) {
            map.serials.append(serials ? serials[i] : 0);
            map.firmwareMinor.append(fmwMin ? fmwMin[i] : 0);
            map.firmwareMajor.append(fmwMax ? fmwMax[i] : 0);
        }
    }
    ORVEHV_Free(nrOfCh);
    ORVEHV_Free(models);
    ORVEHV_Free(descriptions);
    ORVEHV_Free(serials);
    ORVEHV_Free(fmwMin);
    ORVEHV_Free(fmwMax);
    return map;
}

ORVEHVNode *makeBoard(const CrateMap &map, int i, int handle)
{
    auto *board = new ORVEHVNode;
    board->initialise(QStringLiteral("Board") + twoDigits(i), KindBoard);
    board->setSlot(quint16(i));
    board->setChannelCount(map.channels[i]);
    board->setModel(map.models.value(i));
    board->setDescription(map.descriptions.value(i));
    board->setSerialNumber(map.serials[i]);
    board->setFirmwareMinor(twoDigits(map.firmwareMinor[i]));
    board->setFirmwareMajor(twoDigits(map.firmwareMajor[i]));
    board->setHandle(handle);
    return board;
}

ORVEHVNode *makeContainer()
{
    auto *slot = new ORVEHVNode;
    slot->initialise(QString(), KindContainer);
    return slot;
}

// Cell for a numeric property read: room to spare, so a library writing a
// wider type than asked for cannot reach past it.
union PropCell
{
    float f;
    quint32 u32;
    quint16 u16;
    qint16 i16;
    char bytes[16];
};

PropCell zeroPropCell()
{
    PropCell c;
    std::memset(&c, 0, sizeof c);
    return c;
}

// Type and mode of a parameter; false when either read fails.
bool parameterTypeAndMode(int kind, int handle, quint16 slot, quint16 channel,
                          const QByteArray &name, unsigned int *type, unsigned int *mode)
{
    PropCell t = zeroPropCell(), m = zeroPropCell();
    int r1, r2;
    if (kind == KindBoardParameter) {
        r1 = ORVEHV_GetBdParamProp(handle, slot, name.constData(), "Type", &t);
        r2 = r1 == ORVEHV_OK ? ORVEHV_GetBdParamProp(handle, slot, name.constData(), "Mode", &m) : r1;
    } else {
        r1 = ORVEHV_GetChParamProp(handle, slot, channel, name.constData(), "Type", &t);
        r2 = r1 == ORVEHV_OK ? ORVEHV_GetChParamProp(handle, slot, channel, name.constData(), "Mode", &m) : r1;
    }
    *type = t.u32;
    *mode = m.u32;
    return r1 == ORVEHV_OK && r2 == ORVEHV_OK;
}

// Board, channel and parameter nodes carry the owning system's name; a VME
// HV board system shows its board name (the user-name argument) instead and
// hands its connection argument down.
void applySystemIdentity(const ORVEHVNode *systemNode, ORVEHVNode *node)
{
    if (!systemNode || !node)
        return;
    if (systemNode->systemType() == ORVEHV_SYS_VMEHV) {
        node->setSystemName(systemNode->userName());
        if (node->connectionArgument().isEmpty())
            node->setConnectionArgument(systemNode->connectionArgument());
    } else {
        node->setSystemName(systemNode->name());
    }
}

// The unit text of a parameter from its "Unit" and "Exp" metadata.
QString metadataUnitText(int libraryType, const ORVEHVNodeProperties &metadata)
{
    bool hasUnit = false, hasExp = false;
    int unit = 0, exp = 0;
    for (const ORVEHVNodeProperty &p : metadata) {
        if (p.name().compare(QLatin1String("Unit"), Qt::CaseInsensitive) == 0) {
            hasUnit = true;
            unit = p.value().value.toInt();
        } else if (p.name().compare(QLatin1String("Exp"), Qt::CaseInsensitive) == 0) {
            hasExp = true;
            exp = p.value().value.toInt();
        }
    }
    return unitText(libraryType, hasUnit, unit, hasExp, exp);
}

// The channels of a board nearly always have the same metadata for a
// parameter. One copy of it, of its unit text and of the parameter's name
// then serves every channel: a large system has some hundred thousand
// metadata items, which would otherwise be stored once per channel.
class SharedMetadata
{
public:
    void apply(ORVEHVNode *par, const ORVEHVNodeProperties &metadata)
    {
        Entry &e = m_entries[par->name()];
        if (e.name.isEmpty() || e.libraryType != par->libraryType() || e.metadata != metadata)
            e = Entry{par->name(), par->libraryType(), metadata,
                      metadataUnitText(par->libraryType(), metadata)};
        par->setName(e.name);
        par->setProperties(e.metadata);
        if (const ORVEHVNodeProperty *d = par->property(QStringLiteral("Decimal")))
            par->setDecimals(d->value().value.toInt());
        par->setUnitText(e.unitText);
    }

private:
    struct Entry
    {
        QString name;
        int libraryType = 0;
        ORVEHVNodeProperties metadata;
        QString unitText;
    };
    QHash<QString, Entry> m_entries;
};

} // namespace

// ------------------------------------------------------------ system level

QList<ORVEHVNode *> readSystemProperties(int handle)
{
    QList<ORVEHVNode *> result;
    unsigned short count = 0;
    char *list = nullptr;
    const int r = ORVEHV_GetSysPropList(handle, &count, &list);
    if (r != ORVEHV_OK || count == 0) {
        ORVEHV_Free(list); // released after a failed call too; null is accepted
        return result;
    }
    const QStringList names = separatedListTexts(list, count, true);
    ORVEHV_Free(list);
    for (const QString &name : names) {
        // The B8181 event socket is the event thread's business: reading it
        // here would open the event connection before anything is subscribed.
        if (name == QLatin1String("EventDataSocket"))
            continue;
        const QByteArray n = name.toLatin1();
        unsigned int mode = 0, type = 0;
        if (ORVEHV_GetSysPropInfo(handle, n.constData(), &mode, &type) != ORVEHV_OK)
            continue;
        auto *node = new ORVEHVNode;
        node->initialise(name, KindSystemProperty);
        node->setLibraryType(int(type));
        const int dataType = systemPropertyDataType(int(type));
        if (dataType >= 0)
            node->setDataType(dataType);
        node->setAccessMode(accessModeFromLibrary(mode));
        node->setHandle(handle);
        node->setValue(readSystemProperty(handle, name, int(type)));
        result.append(node);
    }
    return result;
}

QList<ORVEHVNode *> readCrateMap(int handle, quint16 *slotCount)
{
    QList<ORVEHVNode *> result;
    const CrateMap map = readCrateMapLists(handle);
    if (slotCount)
        *slotCount = map.ok ? map.slotCount : 0;
    if (!map.ok)
        return result;
    int boards = 0;
    for (int i = 0; i < map.slotCount; ++i) {
        if (map.channels[i] != 0) {
            ORVEHVNode *board = makeBoard(map, i, handle);
            board->setVisualIndex(boards++);
            result.append(board);
        } else {
            result.append(makeContainer());
        }
    }
    return result;
}

ORVEHVNodeProperties readBoardInformation(const ORVEHVNode *board)
{
    ORVEHVNodeProperties result;
    if (!board)
        return result;
    auto make = [&](const char *name, int dataType, const QVariant &value) {
        result.append(ORVEHVNodeProperty(QLatin1String(name), dataType, NodeValue(value, ValueOk)));
    };
    make("ChCount", DataInt16, QVariant(uint(board->channelCount())));
    make("BdModel", DataText, board->model());
    make("BdDescr", DataText, board->description());
    make("SerNum", DataInt16, QVariant(uint(board->serialNumber())));
    make("FmwRel", DataText, board->firmwareMajor() + QLatin1Char('.') + board->firmwareMinor());
    return result;
}

QList<ORVEHVNode *> readConnectionItems(int connectionState, quint16 slotCount)
{
    QList<ORVEHVNode *> result;
    auto *conn = new ORVEHVNode;
    conn->initialise(QStringLiteral("ConnStat"), KindConnectionItem);
    conn->setDataType(DataText);
    conn->setAccessMode(AccessReadOnly);
    conn->setConnectionState(connectionState);
    conn->setValue(NodeValue(connectionText(connectionState), ValueOk));
    result.append(conn);
    if (connectionState == ConnectionConnected) {
        auto *slots_ = new ORVEHVNode;
        slots_->initialise(QStringLiteral("NrOfSlot"), KindConnectionItem);
        slots_->setDataType(DataUInt16);
        slots_->setAccessMode(AccessReadOnly);
        slots_->setSlotCount(slotCount);
        slots_->setValue(NodeValue(QVariant(uint(slotCount)), ValueOk));
        result.append(slots_);
    }
    return result;
}

// ---------------------------------------------------------------- parameters

QList<ORVEHVNode *> readBoardParameters(int handle, quint16 slot, int systemType)
{
    QList<ORVEHVNode *> result;
    char *list = nullptr;
    if (ORVEHV_GetBdParamInfo(handle, slot, &list) != ORVEHV_OK) {
        ORVEHV_Free(list);
        return result;
    }
    const QStringList names = parameterNameCells(list, -1);
    ORVEHV_Free(list);
    for (const QString &name : names) {
        unsigned int type = 0, mode = 0;
        if (!parameterTypeAndMode(KindBoardParameter, handle, slot, 0, name.toLatin1(), &type, &mode))
            continue;
        auto *node = new ORVEHVNode;
        node->initialise(name, KindBoardParameter, systemType);
        node->setSlot(slot);
        node->setLibraryType(int(type));
        node->setDataType(parameterDataType(int(type)));
        node->setAccessMode(accessModeFromLibrary(mode));
        node->setHandle(handle);
        node->setValue(readBoardParameter(handle, slot, name, int(type)));
        result.append(node);
    }
    return result;
}

QList<ORVEHVNode *> readChannels(int handle, quint16 slot, quint16 channelCount)
{
    QList<ORVEHVNode *> result;
    for (int c = 0; c < channelCount; ++c) {
        const unsigned short channels[1] = {quint16(c)};
        char names[1][ORVEHV_CHANNEL_NAME_LEN];
        std::memset(names, 0, sizeof names);
        if (ORVEHV_GetChName(handle, slot, 1, channels, names) != ORVEHV_OK)
            continue;
        auto *node = new ORVEHVNode;
        node->initialise(QString::asprintf("Chan%03d", c), KindChannel);
        node->setChannel(quint16(c));
        node->setSlot(slot);
        node->setHandle(handle);
        result.append(node);
    }
    return result;
}

QList<ORVEHVNode *> readChannelParameters(int handle, int systemType, quint16 slot, quint16 channel)
{
    QList<ORVEHVNode *> params;
    const bool withName = systemType == ORVEHV_SYS_MF3300 || systemType == ORVEHV_SYS_MF3500
                          || systemType == ORVEHV_SYS_B8181;
    if (withName) {
        auto *name = new ORVEHVNode;
        name->initialise(QStringLiteral("Name"), KindChannelParameter, systemType);
        name->setSlot(slot);
        name->setChannel(channel);
        name->setLibraryType(ORVEHV_PARAM_STRING);
        name->setAccessMode(AccessReadWrite);
        name->setDataType(DataText);
        name->setHandle(handle);
        name->setValue(readChannelParameter(handle, slot, channel, QStringLiteral("Name"),
                                            ORVEHV_PARAM_STRING));
        params.append(name);
    }

    char *list = nullptr;
    int count = 0;
    if (ORVEHV_GetChParamInfo(handle, slot, channel, &list, &count) == ORVEHV_OK) {
        const QStringList names = parameterNameCells(list, count);
        ORVEHV_Free(list);
        for (const QString &n : names) {
            unsigned int type = 0, mode = 0;
            if (!parameterTypeAndMode(KindChannelParameter, handle, slot, channel, n.toLatin1(),
                                      &type, &mode))
                continue;
            auto *node = new ORVEHVNode;
            node->initialise(n, KindChannelParameter, systemType);
            node->setSlot(slot);
            node->setChannel(channel);
            node->setLibraryType(int(type));
            node->setDataType(parameterDataType(int(type)));
            node->setAccessMode(accessModeFromLibrary(mode));
            node->setHandle(handle);
            node->setValue(readChannelParameter(handle, slot, channel, n, int(type)));
            params.append(node);
        }
    } else {
        ORVEHV_Free(list);
    }

    QStringList names;
    for (const ORVEHVNode *p : params)
        names.append(p->name());
    QList<ORVEHVNode *> ordered;
    for (int i : channelParameterOrder(names, withName ? 1 : 0))
        ordered.append(params[i]);
    return ordered;
}

ORVEHVNodeProperties readParameterMetadata(int kind, int handle, quint16 slot, quint16 channel,
                                           const QString &parameterName, int libraryType)
{
    ORVEHVNodeProperties result;
    const QByteArray par = parameterName.toLatin1();
    const bool channelParameter = kind == KindChannelParameter;
    auto get = [&](const char *prop, void *buffer) {
        return channelParameter
                   ? ORVEHV_GetChParamProp(handle, slot, channel, par.constData(), prop, buffer)
                   : ORVEHV_GetBdParamProp(handle, slot, par.constData(), prop, buffer);
    };

    double minval = 0, maxval = 0;
    for (const QString &name : metadataNames(libraryType)) {
        const QByteArray prop = name.toLatin1();
        QVariant value;
        bool ok = false;
        PropCell cell = zeroPropCell();
        if (name == QLatin1String("Minval") || name == QLatin1String("Maxval")) {
            ok = get(prop.constData(), &cell) == ORVEHV_OK;
            value = QVariant(cell.f);
            if (ok)
                (name == QLatin1String("Minval") ? minval : maxval) = double(cell.f);
        } else if (name == QLatin1String("Unit")) {
            ok = get(prop.constData(), &cell) == ORVEHV_OK;
            value = QVariant(uint(cell.u16));
        } else if (name == QLatin1String("Exp") || name == QLatin1String("Decimal")) {
            ok = get(prop.constData(), &cell) == ORVEHV_OK;
            value = QVariant(int(cell.i16));
        } else if (name == QLatin1String("Onstate") || name == QLatin1String("Offstate")) {
            QByteArray buffer(ORVEHV_STATE_TEXT_LEN + 1, '\0');
            ok = get(prop.constData(), buffer.data()) == ORVEHV_OK;
            const QString raw = QString::fromLatin1(
                buffer.constData(), int(qstrnlen(buffer.constData(), ORVEHV_STATE_TEXT_LEN)));
            value = stateText(raw, channelParameter);
        } else if (name == QLatin1String("Enum")) {
            const double span = maxval - minval + 1;
            if (!std::isfinite(span) || maxval < minval) {
                // Nothing to ask for: an empty list (the integer 0 for a board).
                ok = true;
                value = channelParameter ? QVariant(QStringList()) : QVariant(0);
            } else {
                char buffer[ORVEHV_ENUM_BUFFER];
                std::memset(buffer, 0, sizeof buffer);
                ok = get(prop.constData(), buffer) == ORVEHV_OK;
                value = enumCellTexts(buffer, minval, maxval);
            }
        } else {
            ok = true;
            value = QVariant(0);
        }
        if (ok)
            result.append(ORVEHVNodeProperty(name, name == QLatin1String("Enum") ? DataEnum : DataFloat,
                                             NodeValue(value, ValueOk)));
    }
    return result;
}

// ---------------------------------------------------------------- refresh

QList<ORVEHVNode *> refreshCrateMap(int handle, ORVEHVNode *systemNode,
                                    const std::function<void(ORVEHVNode *, int)> &boardGone)
{
    QList<ORVEHVNode *> result;
    if (!systemNode)
        return result;
    const CrateMap map = readCrateMapLists(handle);
    const quint16 slotCount = map.ok ? map.slotCount : 0;
    if (slotCount != systemNode->children().size()) {
        for (ORVEHVNode *c : systemNode->children())
            result.append(c);
        return result;
    }
    for (int i = 0; i < slotCount; ++i) {
        ORVEHVNode *old = systemNode->children().at(i);
        if (old->kind() == KindBoard && map.channels[i] == 0) {
            if (boardGone)
                boardGone(old, i);
            ORVEHVNode *slot = makeContainer();
            slot->setVisualIndex(i);
            systemNode->removeChildAt(i);
            delete old;
            systemNode->insertChild(slot, i);
        } else if (old->kind() == KindContainer && map.channels[i] != 0) {
            ORVEHVNode *board = makeBoard(map, i, handle);
            board->setVisualIndex(i);
            systemNode->removeChildAt(i);
            delete old;
            systemNode->insertChild(board, i);
            result.append(board);
        }
    }
    return result;
}

// ---------------------------------------------------------- connection order

void discoverSystemProperties(ORVEHVNode *systemNode)
{
    if (!systemNode)
        return;
    for (ORVEHVNode *p : readSystemProperties(systemNode->handle()))
        systemNode->addParameter(p);
}

void discoverBoard(ORVEHVNode *systemNode, ORVEHVNode *board,
                   const std::function<void(ORVEHVNode *)> &channelNotOk)
{
    if (!board || board->kind() != KindBoard)
        return;
    const int handle = board->handle();
    const quint16 slot = board->slot();
    const int systemType = board->systemType();
    applySystemIdentity(systemNode, board);

    board->setProperties(readBoardInformation(board));

    for (ORVEHVNode *par : readBoardParameters(handle, slot, systemType)) {
        par->setProperties(readParameterMetadata(KindBoardParameter, handle, slot, 0, par->name(),
                                                 par->libraryType()));
        par->setUnitText(metadataUnitText(par->libraryType(), par->properties()));
        applySystemIdentity(systemNode, par);
        par->setBoardName(board->name());
        board->addParameter(par);
    }

    const QList<ORVEHVNode *> channels = readChannels(handle, slot, board->channelCount());
    for (ORVEHVNode *ch : channels) {
        applySystemIdentity(systemNode, ch);
        ch->setBoardName(board->name());
        board->addChild(ch);
    }

    SharedMetadata metadata;
    for (ORVEHVNode *ch : channels) {
        for (ORVEHVNode *par : readChannelParameters(handle, systemType, slot, ch->channel())) {
            applySystemIdentity(systemNode, par);
            par->setBoardName(board->name());
            par->setChannelName(ch->name());
            par->setChannel(ch->channel());
            ch->addParameter(par);
            if (par->libraryType() == ORVEHV_PARAM_CHSTATUS
                && !channelStatusOk(systemType, par->value().value.toInt()) && channelNotOk)
                channelNotOk(par);

            metadata.apply(par, readParameterMetadata(KindChannelParameter, handle, slot,
                                                      ch->channel(), par->name(),
                                                      par->libraryType()));
        }
    }
    board->applyLoggingDefault(); // a board inserted live logs like the rest
}

void discoverConnectionItems(ORVEHVNode *systemNode)
{
    if (!systemNode)
        return;
    for (ORVEHVNode *item : readConnectionItems(systemNode->connectionState(), systemNode->slotCount())) {
        item->setHandle(systemNode->handle());
        systemNode->addParameter(item);
    }
}

int discoverSystem(ORVEHVNode *systemNode, const DiscoveryHooks &hooks)
{
    if (!systemNode)
        return -1;
    discoverSystemProperties(systemNode);

    quint16 slotCount = 0;
    QList<ORVEHVNode *> slotNodes = readCrateMap(systemNode->handle(), &slotCount);
    systemNode->setSlotCount(slotCount);
    if (hooks.acceptCrate && !hooks.acceptCrate(slotCount)) {
        qDeleteAll(slotNodes);
        return -1;
    }

    for (int i = 0; i < slotNodes.size(); ++i) {
        if (hooks.beforeSlot)
            hooks.beforeSlot(i);
        ORVEHVNode *node = slotNodes[i];
        systemNode->addChild(node);
        applySystemIdentity(systemNode, node);
        if (node->kind() == KindBoard)
            discoverBoard(systemNode, node, hooks.channelNotOk);
    }

    discoverConnectionItems(systemNode);
    systemNode->applyLoggingDefault();
    return 0;
}
