// The one conversion of typed texts and values into device values: every
// data type with good, edge and bad texts and the reason of each refusal;
// typed values (the editors' numbers) against the same limits; and the
// table's text read back to the same value.

#include "ORVEHVWrapper.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "device/ParameterCodec.h"

#include <QtTest>
#include <memory>

namespace {

// The items of the tables below, as discovery makes them from the virtual
// hardware's channel parameters and system properties: limits are Minval
// and Maxval, texts the on and off states or the enumeration.
ORVEHVNode *makeNode(const QString &key)
{
    struct Item
    {
        const char *key, *name;
        int kind, dataType, libraryType;
        QList<float> limits;
        QStringList texts;
    };
    static const QList<Item> items = {
        {"VSet", "VSet", KindChannelParameter, DataFloat, ORVEHV_PARAM_NUMERIC, {0, 2000}, {}},
        {"TripInt", "TripInt", KindChannelParameter, DataInt32, ORVEHV_PARAM_BINARY, {0, 4095}, {}},
        {"TripInt32", "TripInt", KindChannelParameter, DataInt32, ORVEHV_PARAM_BINARY, {0, 4294967295.0f}, {}},
        {"Pw", "Pw", KindChannelParameter, DataOnOff, ORVEHV_PARAM_ONOFF, {}, {"On", "Off"}},
        {"PDwn", "PDwn", KindChannelParameter, DataEnum, ORVEHV_PARAM_ENUM, {0, 1}, {"Kill", "Ramp"}},
        {"Mode", "Mode", KindBoardParameter, DataEnum, ORVEHV_PARAM_ENUM, {1, 3}, {"A", "B", "C"}},
        {"Name", "Name", KindChannelParameter, DataText, ORVEHV_PARAM_STRING, {}, {}},
        {"IPGw", "IPGw", KindSystemProperty, DataText, ORVEHV_SYSPROP_STR, {}, {}},
        {"int32", "Socket", KindSystemProperty, DataInt32, ORVEHV_SYSPROP_INT4, {}, {}},
        // library type 4 on a property is no bit field, type 2 no status word
        {"int16", "Offset", KindSystemProperty, DataInt16, ORVEHV_SYSPROP_INT2, {}, {}},
        {"uint32", "HighFreq", KindSystemProperty, DataUInt32, ORVEHV_SYSPROP_UINT4, {}, {}},
        {"uint16", "GenSignCfg", KindSystemProperty, DataUInt16, ORVEHV_SYSPROP_UINT2, {}, {}},
        {"bool", "LowFanEnable", KindSystemProperty, DataOnOff, ORVEHV_SYSPROP_BOOL, {}, {}},
        {"real", "PWVoltage", KindSystemProperty, DataFloat, ORVEHV_SYSPROP_REAL, {}, {}},
    };
    auto meta = [](ORVEHVNode *n, const QString &name, const QVariant &value) {
        n->addProperty(ORVEHVNodeProperty(name, name == QLatin1String("Enum") ? 9 : 6, NodeValue(value, ValueOk)));
    };
    for (const Item &i : items) {
        if (key != QLatin1String(i.key))
            continue;
        auto *n = new ORVEHVNode;
        n->initialise(i.name, i.kind);
        n->setDataType(i.dataType);
        n->setLibraryType(i.libraryType);
        n->setAccessMode(AccessReadWrite);
        if (!i.limits.isEmpty()) {
            meta(n, "Minval", i.limits.at(0));
            meta(n, "Maxval", i.limits.at(1));
        }
        if (i.dataType == DataEnum)
            meta(n, "Enum", i.texts);
        else if (!i.texts.isEmpty()) {
            meta(n, "Onstate", i.texts.at(0));
            meta(n, "Offstate", i.texts.at(1));
        }
        if (key == QLatin1String("VSet"))
            n->setDecimals(1);
        return n;
    }
    return nullptr;
}

} // namespace

class TestParameterCodec : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("value");   // invalid: refused
        QTest::addColumn<QString>("reason");

        auto ok = [](const char *row, const char *item, const QString &text, const QVariant &v) {
            QTest::newRow(row) << QString(item) << text << v << QString();
        };
        auto no = [](const char *row, const char *item, const QString &text, const QString &reason) {
            QTest::newRow(row) << QString(item) << text << QVariant() << reason;
        };
        const QString floatRange = QStringLiteral("(-3.40282346639e+38 to 3.40282346639e+38)");

        // float with Minval 0, Maxval 2000
        ok("float", "VSet", "1234.5", 1234.5f);
        ok("float blanks", "VSet", " 12 ", 12.0f);
        ok("float exponent", "VSet", "1e3", 1000.0f);
        ok("float edge max", "VSet", "2000", 2000.0f);
        ok("float edge min", "VSet", "0", 0.0f);
        no("float above", "VSet", "2000.1", "\"2000.1\" is out of range (0 to 2000)");
        no("float below", "VSet", "-1", "\"-1\" is out of range (0 to 2000)");
        no("float comma", "VSet", "12,5", "\"12,5\" is not a number");
        no("float word", "VSet", "abc", "\"abc\" is not a number");
        no("float infinity", "VSet", "inf", "\"inf\" is not a number");
        no("float beyond", "VSet", "1e39", "\"1e39\" does not fit the 32-bit float range " + floatRange);
        no("float empty", "VSet", "  ", "no value given");
        ok("real property", "real", "48.25", 48.25f);

        // bit field: hexadecimal as the table shows it, Maxval 0xFFF
        ok("bits", "TripInt", "104", 0x104);
        ok("bits table form", "TripInt", "00000104", 0x104);
        ok("bits prefix", "TripInt", "0x 104", 0x104);
        ok("bits lower case", "TripInt", "fff", 0xFFF);
        ok("bits edge zero", "TripInt", "0", 0);
        no("bits above Maxval", "TripInt", "1000", "\"1000\" is out of range (00000000 to 00000FFF)");
        no("bits 33", "TripInt", "100000000", "\"100000000\" has more than 32 bits");
        no("bits decimal 2^32", "TripInt", "4294967296", "\"4294967296\" has more than 32 bits");
        no("bits not hex", "TripInt", "12G", "\"12G\" is not hexadecimal");
        no("bits sign", "TripInt", "-1", "\"-1\" is not hexadecimal");
        ok("bits 32 edge", "TripInt32", "FFFFFFFF", -1);  // the pattern, as reads give it

        // on/off: its texts or 1/0
        ok("onoff text", "Pw", "On", true);
        ok("onoff case", "Pw", "off", false);
        ok("onoff one", "Pw", "1", true);
        ok("onoff zero", "Pw", "0", false);
        no("onoff 2^32+1", "Pw", "4294967297", "\"4294967297\" is neither on nor off (On, Off, 1, 0)");
        no("onoff two", "Pw", "2", "\"2\" is neither on nor off (On, Off, 1, 0)");
        no("onoff word", "Pw", "true", "\"true\" is neither on nor off (On, Off, 1, 0)");
        ok("bool property", "bool", "1", true);
        no("bool property two", "bool", "2", "\"2\" is neither on nor off (1, 0)");

        // enumeration: its texts or its numbers
        ok("enum text", "PDwn", "Ramp", 1);
        ok("enum case", "PDwn", "kill", 0);
        ok("enum number", "PDwn", "1", 1);
        no("enum above", "PDwn", "2", "\"2\" is not one of Kill, Ramp (or 0 to 1)");
        no("enum unknown", "PDwn", "Fast", "\"Fast\" is not one of Kill, Ramp (or 0 to 1)");
        no("enum fraction", "PDwn", "0.5", "\"0.5\" is not one of Kill, Ramp (or 0 to 1)");
        ok("enum Minval 1", "Mode", "C", 3);
        no("enum below Minval", "Mode", "0", "\"0\" is not one of A, B, C (or 1 to 3)");

        // texts
        ok("name", "Name", "BEAM-L", QStringLiteral("BEAM-L"));
        ok("name edge 11", "Name", "ELEVENCHARS", QStringLiteral("ELEVENCHARS"));
        ok("name latin-1", "Name", QStringLiteral("Strahl-\u00b5"), QStringLiteral("Strahl-\u00b5"));
        ok("name blanks kept", "Name", " L1 ", QStringLiteral(" L1 "));
        no("name 12", "Name", "TWELVE-CHARS", "\"TWELVE-CHARS\" is longer than 11 characters");
        no("name NUL", "Name", QString("A") + QChar(0) + "B", "the text contains a NUL character");
        no("name not latin-1", "Name", QStringLiteral("\u03a9-1"), "\"\u03a9-1\" has characters the device cannot take");
        no("name empty", "Name", "", "no value given");
        ok("property text edge 79", "IPGw", QString(79, 'g'), QString(79, 'g'));
        no("property text 80", "IPGw", QString(80, 'g'), "\"" + QString(80, 'g') + "\" is longer than 79 characters");

        // integers of the system properties, by their type
        ok("int32 edge", "int32", "-2147483648", int(-2147483647 - 1));
        no("int32 above", "int32", "2147483648",
           "\"2147483648\" does not fit a signed 32-bit value (-2147483648 to 2147483647)");
        no("int32 fraction", "int32", "12.5", "\"12.5\" is not a whole number");
        no("int32 word", "int32", "x", "\"x\" is not a number");
        ok("int16 edge", "int16", "-32768", -32768);
        no("int16 above", "int16", "32768", "\"32768\" does not fit a signed 16-bit value (-32768 to 32767)");
        no("int16 not hex", "int16", "0x10", "\"0x10\" is not a number");
        ok("uint32 edge", "uint32", "4294967295", 4294967295u);
        no("uint32 above", "uint32", "4294967296",
           "\"4294967296\" does not fit an unsigned 32-bit value (0 to 4294967295)");
        no("uint32 negative", "uint32", "-1", "\"-1\" does not fit an unsigned 32-bit value (0 to 4294967295)");
        ok("uint16 edge", "uint16", "65535", 65535u);
        no("uint16 above", "uint16", "65536", "\"65536\" does not fit an unsigned 16-bit value (0 to 65535)");
        no("uint16 huge", "uint16", "99999999999999999999",
           "\"99999999999999999999\" does not fit an unsigned 16-bit value (0 to 65535)");
    }

    void parse()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(QVariant, value);
        QFETCH(QString, reason);
        std::unique_ptr<ORVEHVNode> n(makeNode(item));
        QVERIFY(n);
        const ParameterCodec::ParseResult r = ParameterCodec::parse(n.get(), text);
        QCOMPARE(r.reason, reason);
        QCOMPARE(r.ok, value.isValid());
        if (!r.ok)
            return;
        QCOMPARE(r.value.typeId(), value.typeId());
        QCOMPARE(r.value, value);
        // what the table shows of it reads back to the same value
        const ParameterCodec::ParseResult back = ParameterCodec::parse(n.get(), ParameterCodec::format(n.get(), r.value));
        QVERIFY2(back.ok, qPrintable(back.reason));
        QCOMPARE(back.value, r.value);
    }

    // Values the editors hand over as numbers meet the same limits; nothing
    // is wrapped into the type.
    void convert_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QVariant>("given");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("reason");
        auto row = [](const char *row, const char *item, const QVariant &given, const QVariant &v, const QString &reason) {
            QTest::newRow(row) << QString(item) << given << v << reason;
        };
        row("onoff bool", "Pw", false, false, "");
        row("onoff 1", "Pw", 1, true, "");
        row("onoff 2^32+1", "Pw", 4294967297LL, {}, "4294967297 is neither on nor off (On, Off, 1, 0)");
        row("bits read back negative", "TripInt32", -1, -1, "");
        row("bits 2^32", "TripInt32", 4294967296LL, {}, "4294967296 does not fit 32 bits (0 to 4294967295)");
        row("bits above Maxval", "TripInt", 4096, {}, "4096 is out of range (00000000 to 00000FFF)");
        row("float", "VSet", 12.5, 12.5f, "");
        row("float infinity", "VSet", qInf(), {}, "\"inf\" is not a number");
        row("uint16 70000", "uint16", 70000, {}, "70000 does not fit an unsigned 16-bit value (0 to 65535)");
        row("uint16 fraction", "uint16", 2.5, {}, "2.5 is not a whole number");
        row("enum", "PDwn", 1, 1, "");
        row("enum above", "PDwn", 5, {}, "5 is not one of Kill, Ramp (or 0 to 1)");
        row("text from number", "Name", 5, QStringLiteral("5"), "");
        row("text of an editor", "TripInt", QStringLiteral("00000104"), 0x104, "");
    }

    void convert()
    {
        QFETCH(QString, item);
        QFETCH(QVariant, given);
        QFETCH(QVariant, value);
        QFETCH(QString, reason);
        std::unique_ptr<ORVEHVNode> n(makeNode(item));
        const ParameterCodec::ParseResult r = ParameterCodec::convert(n.get(), given);
        QCOMPARE(r.reason, reason);
        QCOMPARE(r.ok, value.isValid());
        if (r.ok) {
            QCOMPARE(r.value.typeId(), value.typeId());
            QCOMPARE(r.value, value);
        }
    }
};

QTEST_MAIN(TestParameterCodec)
#include "tst_parameter_codec.moc"
