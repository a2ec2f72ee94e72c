#include "device/ValueText.h"

#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------- on/off, enum

QString onOffText(const ORVEHVNode *node, bool on)
{
    if (!node)
        return QString();
    const ORVEHVNodeProperty *p = node->property(on ? QStringLiteral("Onstate")
                                                    : QStringLiteral("Offstate"));
    return p ? p->value().value.toString() : QString();
}

bool onOffFromText(const ORVEHVNode *node, const QString &text)
{
    if (!node)
        return false;
    const ORVEHVNodeProperty *p = node->property(QStringLiteral("Onstate"));
    return p && text == p->value().value.toString();
}

static double numericProperty(const ORVEHVNode *node, const char *name)
{
    const ORVEHVNodeProperty *p = node->property(QLatin1String(name));
    return p ? p->value().value.toDouble() : 0.0;
}

static QStringList enumTexts(const ORVEHVNode *node)
{
    const ORVEHVNodeProperty *p = node->property(QStringLiteral("Enum"));
    if (!p || p->value().value.typeId() != QMetaType::QStringList)
        return QStringList();
    return p->value().value.toStringList();
}

QString enumText(const QStringList &texts, double minval, double maxval, int value)
{
    if (!(value >= minval && value <= maxval))
        return QString(); // also for limits that are not numbers
    const double pos = std::floor(value - minval);
    if (!(pos >= 0 && pos < texts.size()))
        return QString();
    return texts.at(int(pos));
}

int enumFromText(const QStringList &texts, double minval, const QString &text)
{
    const int pos = texts.indexOf(text);
    if (pos < 0)
        return 0;
    const double v = pos + minval;
    if (!(v > -2147483648.0 && v < 2147483648.0))
        return 0; // limits from a broken device: nothing sensible to send
    return int(v);
}

QString enumText(const ORVEHVNode *node, int value)
{
    if (!node)
        return QString();
    return enumText(enumTexts(node), numericProperty(node, "Minval"),
                    numericProperty(node, "Maxval"), value);
}

int enumFromText(const ORVEHVNode *node, const QString &text)
{
    if (!node)
        return 0;
    return enumFromText(enumTexts(node), numericProperty(node, "Minval"), text);
}

// ---------------------------------------------------------------- hex, fixed

QString hexText(qint64 value)
{
    // A status word or bit field is a 32-bit pattern: a negative word shows
    // as its bits (FFFFFFFF), never with a minus sign.
    const quint64 bits = (value >= -0x80000000LL && value <= 0xFFFFFFFFLL)
                             ? quint64(quint32(value))
                             : quint64(value);
    return QStringLiteral("%1").arg(bits, 8, 16, QLatin1Char('0')).toUpper();
}

qint64 hexFromText(const QString &text, bool *ok)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2).trimmed();
    bool parsed = false;
    // toULongLong also takes a sign and blanks; a bit word is digits only
    const bool digitsOnly = !t.isEmpty() && std::all_of(t.cbegin(), t.cend(), [](QChar c) {
        const char16_t u = c.toLower().unicode();
        return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f');
    });
    const qulonglong v = digitsOnly ? t.toULongLong(&parsed, 16) : 0;
    parsed = parsed && v <= 0xFFFFFFFFULL;
    if (ok)
        *ok = parsed;
    return parsed ? qint64(v) : 0;
}

QString fixedText(double value, int decimals)
{
    return QString::number(value, 'f', qBound(0, decimals, 15));
}

// ---------------------------------------------------------------- status words

namespace {

// One step of a status walk: when `bit` is set the step decides the text
// (and, when `verdict` is not -1, the status check). A step with `nested`
// looks further at the listed bits and falls back to its own text/verdict.
struct Step
{
    int bit;
    const char *text;
    int verdict;               // -1 not decisive, 0 fault, 1 ok
    const Step *nested = nullptr;
    int nestedCount = 0;
};

template <size_t N>
constexpr int countOf(const Step (&)[N]) { return int(N); }

const Step kMainframeDown[] = {{6, "E-Trp-Dwn", 0}, {9, "I-Trp-Dwn", 0}, {8, "E-Dis-Dwn", 0}};
const Step kMainframe[] = {
    {11, "Unplugg", 0}, {10, "Cal-Err", 0}, {1, "Up", 1},
    {2, "Down", 1, kMainframeDown, countOf(kMainframeDown)},
    {6, "E-Tripped", 0}, {9, "I-Tripped", 0}, {8, "Ext-Dis", 0}, {3, "Ovc", 0}, {4, "Ovv", 0},
    {7, "HVMax", 0}, {5, "Unv", 0}, {12, "Unc", 0}, {13, "Ovv Prot.", 0}, {14, "Pwr Fail", 0},
    {15, "Temp Err.", 0}};

const Step kVmeBoard[] = {
    {13, "Uncalibrated", 0}, {12, "Interlock", 0}, {11, "Disabled", 0}, {10, "Ovt", 0},
    {9, "Ovp", 0}, {8, "Trip", 0}, {7, "IMax", 0}, {6, "HVMax", 0}, {5, "Unv", 0},
    {4, "Ovv", 0}, {3, "Ovc", 0}, {2, "Down", -1}, {1, "Up", -1}};

const Step kNimOn[] = {
    {7, "Tripped", 0}, {3, "Ovc", 0}, {6, "MaxV", 0}, {5, "Unv", 0}, {4, "Ovv", 0},
    {1, "Up", -1}, {2, "Down", -1}, {13, "Cal-Err", -1}};
const Step kNimOff[] = {
    {12, "Interlock", 0}, {10, "Disabled", 0}, {11, "Kill", 0}, {7, "Tripped", 0},
    {8, "Ovp", 0}, {9, "Ovt", 0}, {13, "Cal-Err", -1}};

const Step kDesktopDown[] = {{3, "Ovc-Dwn", 0}};
const Step kDesktop[] = {
    {11, "Calib. Err", 0}, {10, "Ext-Dis", 0}, {1, "Up", 1},
    {2, "Down", 1, kDesktopDown, countOf(kDesktopDown)},
    {6, "HVMax", 0}, {9, "Temp Err.", 0}, {8, "Temp Warn", 0}, {3, "Ovc", 0}, {4, "Ovv", 0},
    {7, "IMax", 0}, {5, "Unv", 0}, {12, "Resetting", 0}, {14, "Pwr-Fail", 0},
    {15, "Fan-High", -1}};

const Step kDesktopEOn[] = {
    {7, "Tripped", 0}, {3, "Ovc", 0}, {6, "MaxV", 0}, {5, "Unv", 0}, {4, "Ovv", 0},
    {1, "Up", -1}, {2, "Down", -1}};
const Step kDesktopEOff[] = {
    {12, "Interlock", 0}, {10, "Disabled", 0}, {11, "Kill", 0}, {7, "Tripped", 0},
    {8, "MaxPower", 0}, {9, "Temp warning", 0}, {13, "Cal-Err", -1}};

const Step kBrisk[] = {
    {13, "Comm. Fail", 0}, {16, "Cal. Err.", 0}, {11, "Interlock", 0}, {10, "Kill", 0},
    {12, "Disabled", 0}, {14, "Lock", 0}, {7, "Ovp", 0}, {6, "Tripped", 0}, {9, "Ovt", 0},
    {8, "Temp. Warn", 1}, {3, "Ovc", 0}, {15, "MaxV", 0}, {5, "Unv", 0}, {4, "Ovv", 0},
    {1, "Up", -1}, {2, "Down", -1}};

struct Walk
{
    const Step *steps = nullptr;
    int count = 0;
    const char *none = "";
};

Walk channelWalk(int systemType, quint32 word)
{
    const bool on = word & 1u;
    switch (systemType) {
    case 2: case 3: case 16: return {kMainframe, countOf(kMainframe), ""};
    case 5: return {kVmeBoard, countOf(kVmeBoard), ""};
    case 6: return on ? Walk{kNimOn, countOf(kNimOn), "On"} : Walk{kNimOff, countOf(kNimOff), "Off"};
    case 9: return {kDesktop, countOf(kDesktop), ""};
    case 11:
        return on ? Walk{kDesktopEOn, countOf(kDesktopEOn), "On"}
                  : Walk{kDesktopEOff, countOf(kDesktopEOff), "Off"};
    case 13: return {kBrisk, countOf(kBrisk), ""};
    default: return {};
    }
}

bool bitSet(quint32 word, int bit) { return (word >> bit) & 1u; }

} // namespace

QString channelStatusText(int systemType, int status)
{
    const quint32 word = quint32(status);
    const Walk w = channelWalk(systemType, word);
    for (int i = 0; i < w.count; ++i) {
        const Step &s = w.steps[i];
        if (!bitSet(word, s.bit))
            continue;
        for (int j = 0; j < s.nestedCount; ++j)
            if (bitSet(word, s.nested[j].bit))
                return QLatin1String(s.nested[j].text);
        return QLatin1String(s.text);
    }
    return QLatin1String(w.none);
}

bool channelStatusOk(int systemType, int status)
{
    const quint32 word = quint32(status);
    const Walk w = channelWalk(systemType, word);
    for (int i = 0; i < w.count; ++i) {
        const Step &s = w.steps[i];
        if (s.verdict < 0 || !bitSet(word, s.bit))
            continue;
        for (int j = 0; j < s.nestedCount; ++j)
            if (bitSet(word, s.nested[j].bit))
                return s.nested[j].verdict == 1;
        return s.verdict == 1;
    }
    return true;
}

QString boardStatusText(int systemType, int status)
{
    struct BoardBit { int bit; const char *text; };
    static const BoardBit mainframe[] = {{1, "FW CHKERR"}, {0, "PW Fail"}, {2, "HvCal Err"},
                                         {3, "Temp Err"}, {4, "Un Temp"}, {5, "Ov Temp"}};
    static const BoardBit nim[] = {{6, "HV Clock Fail"}, {4, "Pw Fail"}, {5, "OV Power"},
                                   {0, "Ch0 Alarm"}, {1, "Ch1 Alarm"}, {2, "Ch2 Alarm"},
                                   {3, "Ch3 Alarm"}};
    static const BoardBit brisk[] = {{3, "Temp. Err."}, {2, "Interlock"}, {1, "Cal. Err."},
                                     {0, "Pw Fail"}};
    const quint32 low = quint32(status) & 0xFFu;
    auto walk = [low](const BoardBit *bits, int n, const char *none) {
        for (int i = 0; i < n; ++i)
            if ((low >> bits[i].bit) & 1u)
                return QString::fromLatin1(bits[i].text);
        return QString::fromLatin1(none);
    };
    switch (systemType) {
    case 2: case 3: case 16: return walk(mainframe, 6, "");
    case 6: return walk(nim, 7, "");
    case 11: return status != 0 ? QStringLiteral("Alarmed") : QString();
    case 13: return walk(brisk, 4, "Good");
    default: return QString();
    }
}

QString connectionText(int state)
{
    switch (state) {
    case 0: return QStringLiteral("Connection Pending");
    case 1: return QStringLiteral("Connection Ok");
    case 2: return QStringLiteral("Connection Ko");
    default: return QString();
    }
}

// ---------------------------------------------------------------- translations

int parameterDataType(int libraryType)
{
    switch (libraryType) {
    case 0: return DataFloat;
    case 1: return DataOnOff;
    case 2: case 3: case 4: return DataInt32;
    case 6: return DataEnum;
    default: return DataText;
    }
}

int systemPropertyDataType(int libraryType)
{
    switch (libraryType) {
    case 0: return DataText;
    case 1: return DataFloat;
    case 2: return DataUInt16;
    case 3: return DataUInt32;
    case 4: return DataInt16;
    case 5: return DataInt32;
    case 6: return DataOnOff;
    default: return -1;
    }
}

int accessModeFromLibrary(unsigned int mode)
{
    return mode <= 2 ? int(mode) : AccessOther;
}

QStringList metadataNames(int libraryType)
{
    switch (libraryType) {
    case 0: case 4:
        return {QStringLiteral("Minval"), QStringLiteral("Maxval"), QStringLiteral("Unit"),
                QStringLiteral("Exp"), QStringLiteral("Decimal")};
    case 1:
        return {QStringLiteral("Onstate"), QStringLiteral("Offstate")};
    case 6:
        return {QStringLiteral("Minval"), QStringLiteral("Maxval"), QStringLiteral("Unit"),
                QStringLiteral("Exp"), QStringLiteral("Enum")};
    default:
        return {};
    }
}

QString unitSymbol(int unitCode)
{
    switch (unitCode) {
    case 1: return QStringLiteral("A");
    case 2: return QStringLiteral("V");
    case 3: return QStringLiteral("W");
    case 4: return QString(QChar(0xB0)) + QLatin1Char('C');
    case 5: return QStringLiteral("Hz");
    case 6: return QStringLiteral("Bar");
    case 7: return QStringLiteral("Vps");
    case 8: return QStringLiteral("sec");
    case 9: return QStringLiteral("Rpm");
    case 10: return QStringLiteral("Count");
    default: return QString();
    }
}

QString exponentPrefix(int exp)
{
    switch (exp) {
    case -9: return QStringLiteral("n");
    case -6: return QStringLiteral("u");
    case -3: return QStringLiteral("m");
    case 3: return QStringLiteral("K");
    case 6: return QStringLiteral("M");
    default: return QStringLiteral(" ");
    }
}

QString unitText(int libraryType, bool hasUnit, int unitCode, bool hasExp, int exp)
{
    if (libraryType == 4)
        return QStringLiteral("0x");
    return (hasExp ? exponentPrefix(exp) : QString()) + (hasUnit ? unitSymbol(unitCode) : QString());
}

QString stateText(const QString &raw, bool channelParameter)
{
    if (channelParameter) {
        const QString t = raw.trimmed();
        if (t == QLatin1String("+"))
            return QStringLiteral("POS");
        if (t == QLatin1String("-"))
            return QStringLiteral("NEG");
    }
    return raw;
}

QVector<int> channelParameterOrder(const QStringList &names, int start)
{
    static const char *const passes[9][2] = {
        {"I0Set", "ISet"}, {"V0Set", "VSet"}, {"IMon", nullptr}, {"VMon", nullptr},
        {"Pw", nullptr}, {"Status", nullptr}, {"RUp", nullptr}, {"RDwn", nullptr},
        {"Trip", nullptr}};
    QVector<int> order;
    order.reserve(names.size());
    for (int i = 0; i < names.size(); ++i)
        order.append(i);
    int p = qBound(0, start, int(names.size()));
    for (int k = 1; k <= 9 && k < names.size(); ++k) {
        auto matches = [&](int original) {
            for (const char *n : passes[k - 1])
                if (n && names.at(original).compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
                    return true;
            return false;
        };
        // Collect first so moving never makes the walk skip or revisit one.
        QVector<int> found;
        for (int original : order)
            if (matches(original))
                found.append(original);
        for (int original : found) {
            const int at = order.indexOf(original);
            if (at != p && p < order.size()) {
                order.remove(at);
                order.insert(qMin(p, int(order.size())), original);
            }
            ++p;
        }
    }
    return order;
}

QString parameterToolTip(int libraryType, const QList<QPair<QString, QVariant>> &metadata)
{
    QString tip;
    bool anyLimitLine = false;
    bool anyZero = false;
    for (const auto &m : metadata) {
        const QString &name = m.first;
        if (name == QLatin1String("Unit") || name == QLatin1String("Exp")
            || name == QLatin1String("Decimal"))
            continue;
        if (name == QLatin1String("Enum")) {
            const QStringList texts = m.second.toStringList();
            tip += QStringLiteral("Minval : ") + texts.value(0) + QLatin1Char('\n');
            tip += QStringLiteral("Maxval : ") + (texts.isEmpty() ? QString() : texts.last())
                   + QLatin1Char('\n');
            continue;
        }
        if (libraryType == 6)
            continue;
        const QString value = libraryType == 4 ? hexText(m.second.toLongLong()) : m.second.toString();
        tip += name + QStringLiteral(" : ") + value + QLatin1Char('\n');
        anyLimitLine = true;
        bool isNumber = false;
        const double d = m.second.toDouble(&isNumber);
        if (isNumber && d == 0.0)
            anyZero = true;
    }
    if (anyLimitLine && !anyZero)
        tip.clear();
    if (tip.endsWith(QLatin1Char('\n')))
        tip.chop(1);
    return tip;
}
