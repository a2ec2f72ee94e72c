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

void meta(ORVEHVNode *n, const QString &name, const QVariant &value)
{
    n->addProperty(ORVEHVNodeProperty(name, name == QLatin1String("Enum") ? 9 : 6, NodeValue(value, ValueOk)));
}

ORVEHVNode *node(const QString &name, int kind, int dataType, int libraryType)
{
    auto *n = new ORVEHVNode;
    n->initialise(name, kind);
    n->setDataType(dataType);
    n->setLibraryType(libraryType);
    n->setAccessMode(AccessReadWrite);
    return n;
}

// The items of the table below, as discovery makes them from the virtual
// hardware's channel parameters and system properties.
ORVEHVNode *makeNode(const QString &key)
{
    ORVEHVNode *n = nullptr;
    if (key == "VSet") {
        n = node("VSet", KindChannelParameter, DataFloat, ORVEHV_PARAM_NUMERIC);
        meta(n, "Minval", 0.0f);
        meta(n, "Maxval", 2000.0f);
        n->setDecimals(1);
    } else if (key == "TripInt" || key == "TripInt32") {
        n = node("TripInt", KindChannelParameter, DataInt32, ORVEHV_PARAM_BINARY);
        meta(n, "Minval", 0.0f);
        meta(n, "Maxval", key == "TripInt" ? 4095.0f : 4294967295.0f);
    } else if (key == "Pw") {
        n = node("Pw", KindChannelParameter, DataOnOff, ORVEHV_PARAM_ONOFF);
        meta(n, "Onstate", "On");
        meta(n, "Offstate", "Off");
    } else if (key == "PDwn") {
        n = node("PDwn", KindChannelParameter, DataEnum, ORVEHV_PARAM_ENUM);
        meta(n, "Minval", 0.0f);
        meta(n, "Maxval", 1.0f);
        meta(n, "Enum", QStringList{"Kill", "Ramp"});
    } else if (key == "Mode") {
        n = node("Mode", KindBoardParameter, DataEnum, ORVEHV_PARAM_ENUM);
        meta(n, "Minval", 1.0f);
        meta(n, "Maxval", 3.0f);
        meta(n, "Enum", QStringList{"A", "B", "C"});
    } else if (key == "Name") {
        n = node("Name", KindChannelParameter, DataText, ORVEHV_PARAM_STRING);
    } else if (key == "IPGw") {
        n = node("IPGw", KindSystemProperty, DataText, ORVEHV_SYSPROP_STR);
    } else if (key == "int32") {
        n = node("Socket", KindSystemProperty, DataInt32, ORVEHV_SYSPROP_INT4);
    } else if (key == "int16") {  // library type 4 on a property is no bit field
        n = node("Offset", KindSystemProperty, DataInt16, ORVEHV_SYSPROP_INT2);
    } else if (key == "uint32") {
        n = node("HighFreq", KindSystemProperty, DataUInt32, ORVEHV_SYSPROP_UINT4);
    } else if (key == "uint16") {  // library type 2 on a property is no status word
        n = node("GenSignCfg", KindSystemProperty, DataUInt16, ORVEHV_SYSPROP_UINT2);
    } else if (key == "bool") {
        n = node("LowFanEnable", KindSystemProperty, DataOnOff, ORVEHV_SYSPROP_BOOL);
    } else if (key == "real") {
        n = node("PWVoltage", KindSystemProperty, DataFloat, ORVEHV_SYSPROP_REAL);
    }
    return n;
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
        QTest::newRow("onoff bool") << "Pw" << QVariant(false) << QVariant(false) << QString();
        QTest::newRow("onoff 1") << "Pw" << QVariant(1) << QVariant(true) << QString();
        QTest::newRow("onoff 2^32+1") << "Pw" << QVariant(4294967297LL) << QVariant()
                                      << "4294967297 is neither on nor off (On, Off, 1, 0)";
        QTest::newRow("bits read back negative") << "TripInt32" << QVariant(-1) << QVariant(-1) << QString();
        QTest::newRow("bits 2^32") << "TripInt32" << QVariant(4294967296LL) << QVariant()
                                   << "4294967296 does not fit 32 bits (0 to 4294967295)";
        QTest::newRow("bits above Maxval") << "TripInt" << QVariant(4096) << QVariant()
                                           << "4096 is out of range (00000000 to 00000FFF)";
        QTest::newRow("float") << "VSet" << QVariant(12.5) << QVariant(12.5f) << QString();
        QTest::newRow("float infinity") << "VSet" << QVariant(qInf()) << QVariant() << "\"inf\" is not a number";
        QTest::newRow("uint16 70000") << "uint16" << QVariant(70000) << QVariant()
                                      << "70000 does not fit an unsigned 16-bit value (0 to 65535)";
        QTest::newRow("uint16 fraction") << "uint16" << QVariant(2.5) << QVariant() << "2.5 is not a whole number";
        QTest::newRow("enum") << "PDwn" << QVariant(1) << QVariant(1) << QString();
        QTest::newRow("enum above") << "PDwn" << QVariant(5) << QVariant() << "5 is not one of Kill, Ramp (or 0 to 1)";
        QTest::newRow("text from number") << "Name" << QVariant(5) << QVariant(QStringLiteral("5")) << QString();
        QTest::newRow("text of an editor") << "TripInt" << QVariant(QStringLiteral("00000104")) << QVariant(0x104)
                                           << QString();
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
