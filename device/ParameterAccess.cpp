#include "device/ParameterAccess.h"

#include "device/ORVEHVNode.h"
#include "device/WriteGate.h"

#include "ORVEHVWrapper.h"

#include <QByteArray>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Every value cell handed to the library is at least this big and zeroed,
// so a 16-bit read never leaves garbage in the upper bytes we look at.
union Cell
{
    float f;
    quint32 u32;
    qint32 i32;
    quint16 u16;
    qint16 i16;
    char bytes[16];
};

Cell zeroCell()
{
    Cell c;
    std::memset(&c, 0, sizeof c);
    return c;
}

// Text from a fixed buffer that the library may have filled to the brim
// without a terminator: never read past the buffer.
QString boundedText(const char *buffer, size_t size)
{
    return QString::fromLatin1(buffer, int(qstrnlen(buffer, uint(size))));
}

// Integer from an operator's value: whole numbers and numbers with a
// fraction (truncated, as a C conversion would). False when it is neither,
// so a typo is refused instead of being sent as 0.
bool toInteger(const QVariant &v, qint64 *out)
{
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok) {
        *out = i;
        return true;
    }
    const double d = v.toDouble(&ok);
    if (ok && d > -9.3e18 && d < 9.3e18) {
        *out = qint64(d);
        return true;
    }
    return false;
}

// A whole number that fits a cell of `bits` bits, read signed or unsigned
// (a bit word read back as signed comes negative). Anything else cannot be
// sent without wrapping it.
bool fitsCell(qint64 i, int bits)
{
    return i >= -(qint64(1) << (bits - 1)) && i < (qint64(1) << bits);
}

bool toFloat(const QVariant &v, float *out)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    // Beyond float range the device would get an infinity.
    if (!ok || !std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return false;
    *out = float(d);
    return true;
}

// Latin-1 text for a library text cell; false for a text with a NUL in it
// (the library would cut it there) or longer than maxLength.
bool toLibraryText(const QVariant &v, int maxLength, QByteArray *out)
{
    const QByteArray bytes = v.toString().toLatin1();
    if (bytes.contains('\0') || (maxLength >= 0 && bytes.size() > maxLength))
        return false;
    *out = bytes;
    return true;
}

// Read of a board or channel parameter value cell by library type.
NodeValue cellValue(int libraryType, const Cell &c)
{
    switch (libraryType) {
    case ORVEHV_PARAM_NUMERIC: return NodeValue(QVariant(c.f), ValueOk);
    case ORVEHV_PARAM_ONOFF: return NodeValue(QVariant(uint(c.u32)), ValueOk);
    default: return NodeValue(QVariant(int(c.i32)), ValueOk);
    }
}

bool readableParameterType(int libraryType)
{
    switch (libraryType) {
    case ORVEHV_PARAM_NUMERIC: case ORVEHV_PARAM_ONOFF: case ORVEHV_PARAM_CHSTATUS:
    case ORVEHV_PARAM_BDSTATUS: case ORVEHV_PARAM_BINARY: case ORVEHV_PARAM_ENUM:
        return true;
    default:
        return false;
    }
}

// Fills a value cell for a numeric/on-off/word parameter write. Returns 0,
// -1 for a type that is not written this way, or ORVEHV_ERR_BAD_ARGUMENT
// for a value that is not a number.
int parameterCell(int libraryType, const QVariant &value, Cell *c, float *sentFloat)
{
    qint64 i = 0;
    switch (libraryType) {
    case ORVEHV_PARAM_NUMERIC:
        if (!toFloat(value, &c->f))
            return ORVEHV_ERR_BAD_ARGUMENT;
        if (sentFloat)
            *sentFloat = c->f;
        return 0;
    case ORVEHV_PARAM_ONOFF:
        if (!toInteger(value, &i))
            return ORVEHV_ERR_BAD_ARGUMENT;
        if (i < 0 || !fitsCell(i, 32))
            return ORVEHV_ERR_OUT_OF_RANGE;
        c->u32 = quint32(i);
        return 0;
    case ORVEHV_PARAM_CHSTATUS: case ORVEHV_PARAM_BDSTATUS: case ORVEHV_PARAM_BINARY:
    case ORVEHV_PARAM_ENUM:
        if (!toInteger(value, &i))
            return ORVEHV_ERR_BAD_ARGUMENT;
        if (!fitsCell(i, 32))
            return ORVEHV_ERR_OUT_OF_RANGE;
        c->i32 = qint32(quint32(i));
        return 0;
    default:
        return -1;
    }
}

} // namespace

// ------------------------------------------------------------------- reads

NodeValue readSystemProperty(int handle, const QString &name, int libraryType)
{
    const QByteArray n = name.toLatin1();
    if (libraryType == ORVEHV_SYSPROP_STR) {
        QByteArray buffer(ORVEHV_SYSPROP_TEXT_READ + 1, '\0');
        if (ORVEHV_GetSysProp(handle, n.constData(), buffer.data()) != ORVEHV_OK)
            return NodeValue::failedRead();
        return NodeValue(boundedText(buffer.constData(), ORVEHV_SYSPROP_TEXT_READ), ValueOk);
    }
    if (libraryType < ORVEHV_SYSPROP_REAL || libraryType > ORVEHV_SYSPROP_BOOL)
        return NodeValue::failedRead();
    Cell c = zeroCell();
    if (ORVEHV_GetSysProp(handle, n.constData(), &c) != ORVEHV_OK)
        return NodeValue::failedRead();
    switch (libraryType) {
    case ORVEHV_SYSPROP_REAL: return NodeValue(QVariant(c.f), ValueOk);
    case ORVEHV_SYSPROP_UINT2: return NodeValue(QVariant(uint(c.u16)), ValueOk);
    case ORVEHV_SYSPROP_UINT4: return NodeValue(QVariant(uint(c.u32)), ValueOk);
    case ORVEHV_SYSPROP_INT2: return NodeValue(QVariant(int(c.i16)), ValueOk);
    case ORVEHV_SYSPROP_INT4: return NodeValue(QVariant(int(c.i32)), ValueOk);
    default: return NodeValue(QVariant(int(c.i16)), ValueOk); // boolean: signed 16-bit
    }
}

NodeValue readBoardParameter(int handle, quint16 slot, const QString &name, int libraryType)
{
    if (!readableParameterType(libraryType))
        return NodeValue::failedRead();
    const QByteArray n = name.toLatin1();
    const unsigned short slotList[1] = {slot};
    Cell c = zeroCell();
    if (ORVEHV_GetBdParam(handle, 1, slotList, n.constData(), &c) != ORVEHV_OK)
        return NodeValue::failedRead();
    return cellValue(libraryType, c);
}

NodeValue readChannelParameter(int handle, quint16 slot, quint16 channel, const QString &name,
                               int libraryType)
{
    const unsigned short channels[1] = {channel};
    if (name == QLatin1String("Name")) {
        char names[1][ORVEHV_CHANNEL_NAME_LEN];
        std::memset(names, 0, sizeof names);
        if (ORVEHV_GetChName(handle, slot, 1, channels, names) != ORVEHV_OK)
            return NodeValue(QVariant(QString()), ValueReadFailed);
        return NodeValue(boundedText(names[0], ORVEHV_CHANNEL_NAME_LEN), ValueOk);
    }
    if (!readableParameterType(libraryType))
        return NodeValue::failedRead();
    const QByteArray n = name.toLatin1();
    Cell c = zeroCell();
    if (ORVEHV_GetChParam(handle, slot, n.constData(), 1, channels, &c) != ORVEHV_OK)
        return NodeValue::failedRead();
    return cellValue(libraryType, c);
}

// ------------------------------------------------------------------ writes

int writeSystemProperty(int handle, const QString &name, int libraryType, const QVariant &value)
{
    const QByteArray n = name.toLatin1();
    if (libraryType == ORVEHV_SYSPROP_STR) {
        // Refused rather than cut: a shortened address or name would be
        // written without the operator noticing.
        QByteArray text;
        if (!toLibraryText(value, ORVEHV_SYSPROP_TEXT_WRITE - 1, &text))
            return ORVEHV_ERR_OUT_OF_RANGE;
        char buffer[ORVEHV_SYSPROP_TEXT_WRITE];
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, text.constData(), size_t(text.size()));
        return ORVEHV_SetSysProp(handle, n.constData(), buffer);
    }
    Cell c = zeroCell();
    qint64 i = 0;
    switch (libraryType) {
    case ORVEHV_SYSPROP_REAL:
        if (!toFloat(value, &c.f))
            return ORVEHV_ERR_BAD_ARGUMENT;
        break;
    case ORVEHV_SYSPROP_UINT2:
    case ORVEHV_SYSPROP_INT2:
    case ORVEHV_SYSPROP_BOOL:
        if (!toInteger(value, &i))
            return ORVEHV_ERR_BAD_ARGUMENT;
        if (!fitsCell(i, 16))
            return ORVEHV_ERR_OUT_OF_RANGE;
        c.u16 = quint16(i);
        break;
    case ORVEHV_SYSPROP_UINT4:
    case ORVEHV_SYSPROP_INT4:
        if (!toInteger(value, &i))
            return ORVEHV_ERR_BAD_ARGUMENT;
        if (!fitsCell(i, 32))
            return ORVEHV_ERR_OUT_OF_RANGE;
        c.u32 = quint32(i);
        break;
    default:
        return -1;
    }
    return ORVEHV_SetSysProp(handle, n.constData(), &c);
}

int writeBoardParameter(int handle, quint16 slot, const QString &name, int libraryType,
                        const QVariant &value)
{
    const QByteArray n = name.toLatin1();
    const unsigned short slotList[1] = {slot};
    if (libraryType == ORVEHV_PARAM_STRING) {
        QByteArray text;
        if (!toLibraryText(value, -1, &text))
            return ORVEHV_ERR_BAD_ARGUMENT;
        return ORVEHV_SetBdParam(handle, 1, slotList, n.constData(), text.data());
    }
    Cell c = zeroCell();
    const int r = parameterCell(libraryType, value, &c, nullptr);
    if (r != 0)
        return r;
    return ORVEHV_SetBdParam(handle, 1, slotList, n.constData(), &c);
}

int writeChannelParameter(int handle, quint16 slot, const QString &name, quint16 channel,
                          int libraryType, QVariant &value)
{
    const unsigned short channels[1] = {channel};
    if (name == QLatin1String("Name")) {
        QByteArray text;
        if (!toLibraryText(value, ORVEHV_CHANNEL_NAME_LEN - 1, &text))
            return ORVEHV_ERR_OUT_OF_RANGE;
        return ORVEHV_SetChName(handle, slot, 1, channels, text.constData());
    }
    const QByteArray n = name.toLatin1();
    Cell c = zeroCell();
    float sent = 0;
    const int r = parameterCell(libraryType, value, &c, &sent);
    if (r != 0)
        return r;
    const int result = ORVEHV_SetChParam(handle, slot, n.constData(), 1, channels, &c);
    if (libraryType == ORVEHV_PARAM_NUMERIC)
        value = QVariant(sent);
    return result;
}

QString libraryErrorText(int code)
{
    QString what;
    switch (code) {
    case -1: what = QStringLiteral("the item cannot be written"); break;
    case ORVEHV_ERR_BAD_HANDLE: what = QStringLiteral("the system is not connected"); break;
    case ORVEHV_ERR_CONNECTION_LOST: what = QStringLiteral("the connection to the system is lost"); break;
    case ORVEHV_ERR_UNKNOWN_PARAM: what = QStringLiteral("the system does not know the item"); break;
    case ORVEHV_ERR_OUT_OF_RANGE: what = QStringLiteral("the value is out of range"); break;
    case ORVEHV_ERR_WRITE_REFUSED: what = QStringLiteral("the system refused it"); break;
    case ORVEHV_ERR_BAD_ARGUMENT: what = QStringLiteral("the value is not valid"); break;
    case ORVEHV_ERR_DEVICE: what = QStringLiteral("the system did not answer"); break;
    case ORVEHV_ERR_UNSUPPORTED: what = QStringLiteral("the system does not support it"); break;
    case WriteGate::RefusedCode: what = QStringLiteral("another writer holds the systems"); break;
    default: what = QStringLiteral("the device library reported an error"); break;
    }
    return QStringLiteral("%0 (error %1)").arg(what).arg(code);
}

// ------------------------------------------------------------------ events

NodeValue eventValue(const ORVEHVNode *node, const char *valueArea)
{
    const QVariant value = node ? eventVariant(node->dataType(), valueArea) : QVariant();
    return value.isValid() ? NodeValue(value, ValueOk) : NodeValue();
}

QVariant eventVariant(int dataType, const char *valueArea)
{
    if (!valueArea)
        return QVariant();
    Cell c = zeroCell();
    std::memcpy(&c, valueArea, sizeof c);
    switch (dataType) {
    case DataInt32: case 2: return QVariant(int(c.i32));
    case DataInt16: return QVariant(int(c.i16));
    case DataUInt32: case 5: return QVariant(uint(c.u32));
    case DataUInt16: return QVariant(uint(c.u16));
    case DataFloat: return QVariant(c.f);
    case DataText: return QVariant(boundedText(valueArea, ORVEHV_EVENT_VALUE_LEN));
    case DataOnOff: return QVariant(c.u32 != 0);
    case DataEnum: return QVariant(float(c.i32));
    default: return QVariant();
    }
}
