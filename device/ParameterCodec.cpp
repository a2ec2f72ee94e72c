#include "device/ParameterCodec.h"

#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/ValueText.h"

#include "ORVEHVWrapper.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <limits>

namespace ParameterCodec {

namespace {

// How a node's value is typed and read.
enum class Form { Float, Signed32, Signed16, Unsigned32, Unsigned16, BitField, OnOff, Enum, Text, None };

Form formOf(const ORVEHVNode *node)
{
    if (isBitField(node))
        return Form::BitField;
    switch (node->dataType()) {
    case DataInt32: case 2: return Form::Signed32;
    case DataInt16: return Form::Signed16;
    case DataUInt32: case 5: return Form::Unsigned32;
    case DataUInt16: return Form::Unsigned16;
    case DataFloat: return Form::Float;
    case DataText: return Form::Text;
    case DataOnOff: return Form::OnOff;
    case DataEnum: return Form::Enum;
    default: return Form::None;
    }
}

struct Range
{
    double lo, hi;
    QString typeName;  // empty: the node's own Minval/Maxval
};

Range typeRange(Form form)
{
    switch (form) {
    case Form::Signed32: return {-2147483648.0, 2147483647.0, QStringLiteral("a signed 32-bit value")};
    case Form::Signed16: return {-32768.0, 32767.0, QStringLiteral("a signed 16-bit value")};
    case Form::Unsigned32: return {0.0, 4294967295.0, QStringLiteral("an unsigned 32-bit value")};
    case Form::Unsigned16: return {0.0, 65535.0, QStringLiteral("an unsigned 16-bit value")};
    case Form::BitField: return {0.0, 4294967295.0, QStringLiteral("32 bits")};
    default: {
        const double m = double(std::numeric_limits<float>::max());
        return {-m, m, QStringLiteral("the 32-bit float range")};
    }
    }
}

bool limit(const ORVEHVNode *node, const char *name, double *out)
{
    bool ok = false;
    const double v = node->propertyValue(QLatin1String(name)).toDouble(&ok);
    if (ok && std::isfinite(v))
        *out = v;
    return ok && std::isfinite(v);
}

QString number(double v)
{
    return QString::number(v, 'g', 12);
}

QString quoted(const QString &text)
{
    return QStringLiteral("\"%1\"").arg(text);
}

ParseResult accepted(const QVariant &value)
{
    ParseResult r;
    r.ok = true;
    r.value = value;
    return r;
}

ParseResult refused(Problem problem, const QString &reason)
{
    ParseResult r;
    r.problem = problem;
    r.reason = reason;
    return r;
}

// The device value for a number already known to be within range.
QVariant typedNumber(Form form, double v)
{
    switch (form) {
    case Form::Signed32: case Form::Signed16: case Form::Enum: return QVariant(int(v));
    case Form::Unsigned32: case Form::Unsigned16: return QVariant(uint(v));
    // the word's bit pattern, as reads and events give it
    case Form::BitField: return QVariant(int(qint32(quint32(qint64(v)))));
    default: return QVariant(float(v));
    }
}

// A whole number (or, for floats, any finite number) checked against the
// type's range and then the node's Minval/Maxval.
ParseResult checkNumber(const ORVEHVNode *node, Form form, double v, const QString &shown)
{
    const Range type = typeRange(form);
    if (!(v >= type.lo && v <= type.hi))
        return refused(OutOfRange, QStringLiteral("%1 does not fit %2 (%3 to %4)")
                                       .arg(shown, type.typeName, number(type.lo), number(type.hi)));
    if (form == Form::Float)
        v = double(float(v));  // what is sent is compared, as the device does
    double lo = type.lo, hi = type.hi;
    const bool hasLo = limit(node, "Minval", &lo), hasHi = limit(node, "Maxval", &hi);
    if (form == Form::BitField) {
        lo = qMax(lo, 0.0);
        hi = qMin(hi, 4294967295.0);
        if ((hasLo && v < lo) || (hasHi && v > hi))
            return refused(OutOfRange, QStringLiteral("%1 is out of range (%2 to %3)")
                                           .arg(shown, hexText(qint64(lo)), hexText(qint64(hi))));
    } else if ((hasLo && v < lo) || (hasHi && v > hi)) {
        return refused(OutOfRange, QStringLiteral("%1 is out of range (%2 to %3)")
                                       .arg(shown, number(hasLo ? lo : type.lo), number(hasHi ? hi : type.hi)));
    }
    return accepted(typedNumber(form, v));
}

ParseResult parseWholeNumber(const ORVEHVNode *node, Form form, const QString &t)
{
    bool ok = false;
    const qlonglong i = t.toLongLong(&ok, 10);
    if (ok)
        return checkNumber(node, form, double(i), quoted(t));
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d) && d == std::floor(d))  // beyond 64 bits
        return checkNumber(node, form, d, quoted(t));
    if (ok && std::isfinite(d))
        return refused(NotAValue, QStringLiteral("%1 is not a whole number").arg(quoted(t)));
    return refused(NotAValue, QStringLiteral("%1 is not a number").arg(quoted(t)));
}

ParseResult parseBitField(const ORVEHVNode *node, const QString &t)
{
    bool ok = false;
    const qint64 word = hexFromText(t, &ok);
    if (ok)
        return checkNumber(node, Form::BitField, double(word), quoted(t));
    static const QRegularExpression hexDigits(QStringLiteral("^(0x)?\\s*[0-9a-f]+$"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (hexDigits.match(t).hasMatch())
        return refused(OutOfRange, QStringLiteral("%1 has more than 32 bits").arg(quoted(t)));
    return refused(NotAValue, QStringLiteral("%1 is not hexadecimal").arg(quoted(t)));
}

ParseResult parseFloat(const ORVEHVNode *node, const QString &t)
{
    bool ok = false;
    const double d = t.toDouble(&ok);  // C locale: "." is the decimal point
    if (!ok || !std::isfinite(d))
        return refused(NotAValue, QStringLiteral("%1 is not a number").arg(quoted(t)));
    return checkNumber(node, Form::Float, d, quoted(t));
}

QString onOffChoices(const ORVEHVNode *node)
{
    QStringList c;
    for (bool on : {true, false})
        if (!onOffText(node, on).isEmpty())
            c << onOffText(node, on);
    return (c + QStringList{QStringLiteral("1"), QStringLiteral("0")}).join(QStringLiteral(", "));
}

ParseResult onOffRefused(const ORVEHVNode *node, const QString &shown)
{
    return refused(NotAValue, QStringLiteral("%1 is neither on nor off (%2)").arg(shown, onOffChoices(node)));
}

ParseResult parseOnOff(const ORVEHVNode *node, const QString &t)
{
    for (bool on : {true, false}) {
        const QString state = onOffText(node, on);
        if (!state.isEmpty() && t.compare(state.trimmed(), Qt::CaseInsensitive) == 0)
            return accepted(QVariant(on));
    }
    if (t == QLatin1String("1") || t == QLatin1String("0"))
        return accepted(QVariant(t == QLatin1String("1")));
    return onOffRefused(node, quoted(t));
}

QStringList enumChoices(const ORVEHVNode *node)
{
    const QVariant v = node->propertyValue(QStringLiteral("Enum"));
    return v.typeId() == QMetaType::QStringList ? v.toStringList() : QStringList();
}

// A number for an enumeration: within Minval..Maxval and, when the node
// lists its texts, one of them.
ParseResult checkEnum(const ORVEHVNode *node, double v, const QString &shown)
{
    double lo = 0, hi = 0;
    limit(node, "Minval", &lo);
    const bool hasHi = limit(node, "Maxval", &hi);
    const QStringList texts = enumChoices(node);
    if (!texts.isEmpty())
        hi = hasHi ? qMin(hi, lo + texts.size() - 1) : lo + texts.size() - 1;
    if (v == std::floor(v) && v >= lo && v <= hi && v >= -2147483648.0 && v <= 2147483647.0)
        return accepted(QVariant(int(v)));
    const QString range = QStringLiteral("%1 to %2").arg(number(lo), number(hi));
    if (texts.isEmpty())
        return refused(NotAValue, QStringLiteral("%1 is not one of the choices (%2)").arg(shown, range));
    return refused(NotAValue, QStringLiteral("%1 is not one of %2 (or %3)")
                                  .arg(shown, texts.join(QStringLiteral(", ")), range));
}

ParseResult parseEnum(const ORVEHVNode *node, const QString &t)
{
    const QStringList texts = enumChoices(node);
    int pos = texts.indexOf(t);
    for (int i = 0; pos < 0 && i < texts.size(); ++i)
        if (texts.at(i).compare(t, Qt::CaseInsensitive) == 0)
            pos = i;
    if (pos >= 0) {
        double lo = 0;
        limit(node, "Minval", &lo);
        return checkEnum(node, lo + pos, quoted(t));
    }
    bool ok = false;
    const double d = t.toLongLong(&ok, 10);
    return checkEnum(node, ok ? d : std::nan(""), quoted(t));
}

int textLimit(const ORVEHVNode *node)
{
    if (node->kind() == KindChannelParameter && node->name() == QLatin1String("Name"))
        return ORVEHV_CHANNEL_NAME_LEN - 1;
    if (node->kind() == KindSystemProperty)
        return ORVEHV_SYSPROP_TEXT_WRITE - 1;
    return -1;
}

ParseResult parseText(const ORVEHVNode *node, const QString &text)
{
    if (text.contains(QChar(0)))
        return refused(BadText, QStringLiteral("the text contains a NUL character"));
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return refused(BadText, QStringLiteral("%1 has characters the device cannot take").arg(quoted(text)));
    const int max = textLimit(node);
    if (max >= 0 && text.size() > max)
        return refused(TooLong, QStringLiteral("%1 is longer than %2 characters").arg(quoted(text)).arg(max));
    return accepted(QVariant(text));
}

bool isText(const QVariant &v)
{
    const int id = v.typeId();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

} // namespace

bool isBitField(const ORVEHVNode *node)
{
    return node && (node->kind() == KindChannelParameter || node->kind() == KindBoardParameter)
           && node->libraryType() == ORVEHV_PARAM_BINARY;
}

ParseResult parse(const ORVEHVNode *node, const QString &text)
{
    if (!node)
        return refused(NotAValue, QStringLiteral("there is no item to write"));
    const Form form = formOf(node);
    if (form == Form::Text)
        return text.isEmpty() ? refused(Empty, QStringLiteral("no value given")) : parseText(node, text);
    const QString t = text.trimmed();
    if (t.isEmpty())
        return refused(Empty, QStringLiteral("no value given"));
    switch (form) {
    case Form::Float: return parseFloat(node, t);
    case Form::BitField: return parseBitField(node, t);
    case Form::OnOff: return parseOnOff(node, t);
    case Form::Enum: return parseEnum(node, t);
    case Form::None: return refused(NotAValue, QStringLiteral("values of this kind cannot be written"));
    default: return parseWholeNumber(node, form, t);
    }
}

ParseResult convert(const ORVEHVNode *node, const QVariant &value)
{
    if (!node || isText(value) || !value.isValid())
        return parse(node, value.toString());
    const Form form = formOf(node);
    if (form == Form::Text)
        return parseText(node, value.toString());
    if (form == Form::None)
        return parse(node, value.toString());
    const QString shown = value.toString();
    if (value.typeId() == QMetaType::Bool) {
        if (form == Form::OnOff)
            return accepted(QVariant(value.toBool()));
        return checkNumber(node, form, value.toBool() ? 1.0 : 0.0, shown);
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return refused(NotAValue, QStringLiteral("%1 is not a number").arg(quoted(shown)));
    switch (form) {
    case Form::Float: return checkNumber(node, form, d, shown);
    case Form::OnOff: return d == 0 || d == 1 ? accepted(QVariant(d == 1)) : onOffRefused(node, shown);
    case Form::Enum: return checkEnum(node, d, shown);
    case Form::BitField:
        // a word read as signed 32-bit comes back negative: the same bits
        if (d < 0 && d >= -2147483648.0 && d == std::floor(d))
            return checkNumber(node, form, double(quint32(qint32(d))), shown);
        [[fallthrough]];
    default:
        if (d != std::floor(d))
            return refused(NotAValue, QStringLiteral("%1 is not a whole number").arg(shown));
        return checkNumber(node, form, d, shown);
    }
}

QString format(const ORVEHVNode *node, const QVariant &value)
{
    if (!node)
        return QString();
    if (node->dataType() == DataOnOff) {
        // a switch without state texts (boolean properties) shows 1 or 0
        if (onOffText(node, true).isEmpty() && onOffText(node, false).isEmpty())
            return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        return onOffText(node, value.toBool());
    }
    if (node->dataType() == DataEnum)
        return enumText(node, value.toInt());
    const bool parameter = node->kind() == KindChannelParameter || node->kind() == KindBoardParameter;
    if (parameter && node->libraryType() == ORVEHV_PARAM_CHSTATUS)
        return channelStatusText(node->systemType(), value.toInt());
    if (isBitField(node))
        return hexText(value.toLongLong());
    if (node->dataType() == DataFloat)
        return fixedText(value.toDouble(), node->decimals());
    return value.toString();
}

} // namespace ParameterCodec
