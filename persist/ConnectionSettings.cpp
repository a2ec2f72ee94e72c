#include "persist/ConnectionSettings.h"

#include <QSettings>
#include <QStringList>

namespace {

QSettings openStore()
{
    // Not the application's own name: these keys have always lived under "App".
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                     QStringLiteral("App"));
}

QString text(const QSettings &s, const QString &key)
{
    const QVariant v = s.value(key);
    return v.canConvert<QString>() ? v.toString() : QString();
}

int number(const QSettings &s, const QString &key)
{
    bool ok = false;
    const int n = s.value(key).toInt(&ok);
    return ok ? n : 0;
}

QString rowKey(const QString &prefix, const char *field, int i)
{
    return prefix + QLatin1String(field) + QString::number(i);
}

// DK31XX units sit at a fixed address: their rows are saved without one.
bool rowsCarryBaseAddress(const QString &prefix)
{
    return prefix != QLatin1String("DKHV_31");
}

QVector<BoardRowValues> readRows(const QSettings &s, const QString &prefix)
{
    const bool needsBase = rowsCarryBaseAddress(prefix);
    QVector<BoardRowValues> rows;
    for (int i = 0;; ++i) {
        const QString opt1 = text(s, rowKey(prefix, "_lastOptical1_", i));
        const QString opt2 = text(s, rowKey(prefix, "_lastOptical2_", i));
        const QString base = text(s, rowKey(prefix, "_lastOptical3_", i));
        // Row 0 is always there; a later row only while its link fields are all stored.
        if (i > 0 && (opt1.isEmpty() || opt2.isEmpty() || (needsBase && base.isEmpty())))
            break;
        BoardRowValues row;
        row.name = text(s, rowKey(prefix, "_lastBdName_", i));
        row.opt1 = opt1.toInt();
        row.opt2 = opt2.toInt();
        row.baseAddress = base;
        rows.append(row);
        if (i >= 1000) // a damaged store must not make the dialog build rows forever
            break;
    }
    return rows;
}

void writeRows(QSettings &s, const QString &prefix, const QVector<BoardRowValues> &rows)
{
    // Every row key of this prefix goes first, so rows of an earlier, longer save
    // cannot come back on the next load.
    const QString nameKeys = prefix + QLatin1String("_lastBdName_");
    const QString linkKeys = prefix + QLatin1String("_lastOptical");
    const QStringList keys = s.allKeys();
    for (const QString &key : keys) {
        if (key.startsWith(nameKeys) || key.startsWith(linkKeys))
            s.remove(key);
    }
    for (int i = 0; i < rows.size(); ++i) {
        const BoardRowValues &r = rows.at(i);
        s.setValue(rowKey(prefix, "_lastBdName_", i), r.name);
        s.setValue(rowKey(prefix, "_lastOptical1_", i), QString::number(r.opt1));
        s.setValue(rowKey(prefix, "_lastOptical2_", i), QString::number(r.opt2));
        s.setValue(rowKey(prefix, "_lastOptical3_", i), r.baseAddress);
    }
}

BoardRowValues firstRow(const QVector<BoardRowValues> &rows)
{
    return rows.isEmpty() ? BoardRowValues() : rows.first();
}

void writeSerial(QSettings &s, const QString &p, const ConnectionValues &v)
{
    s.setValue(p + QLatin1String("_lastCommPort"), v.commPort);
    s.setValue(p + QLatin1String("_lastBaudRate"), v.baudRate);
    s.setValue(p + QLatin1String("_lastCommData"), v.dataBits);
    s.setValue(p + QLatin1String("_lastCommStop"), v.stopIndex);
    s.setValue(p + QLatin1String("_lastCommParity"), v.parityIndex);
    s.setValue(p + QLatin1String("_lastLBusAddr"), v.serialLBus);
}

void readSerial(const QSettings &s, const QString &p, ConnectionValues &v)
{
    v.commPort = text(s, p + QLatin1String("_lastCommPort"));
    v.baudRate = number(s, p + QLatin1String("_lastBaudRate"));
    v.dataBits = number(s, p + QLatin1String("_lastCommData"));
    v.stopIndex = number(s, p + QLatin1String("_lastCommStop"));
    v.parityIndex = number(s, p + QLatin1String("_lastCommParity"));
    // One key serves both LBus combos: whichever link was used last wrote it.
    v.serialLBus = number(s, p + QLatin1String("_lastLBusAddr"));
    v.tcpLBus = v.serialLBus;
}

} // namespace

namespace ConnectionSettings {

void saveTypeValues(const ConnectionValues &v)
{
    QSettings s = openStore();
    s.setValue(QStringLiteral("lastConnType"), v.linkIndex);
    switch (v.psType) {
    case PsType::MF3300:
        s.setValue(QStringLiteral("MF3300_lastIpAddress"), v.ipAddress);
        s.setValue(QStringLiteral("MF3300_lastUserName"), v.userName);
        break;
    case PsType::VmeHv:
        switch (v.linkIndex) {
        case VmeLink::Usb:
        case VmeLink::OpticalLink:
            writeRows(s, QStringLiteral("HV_W1610"), v.optRows);
            break;
        case VmeLink::Usb3: {
            const BoardRowValues r = firstRow(v.pidRows);
            s.setValue(QStringLiteral("HV_W2610_PID"), r.pid);
            s.setValue(QStringLiteral("HV_W2610_BA"), r.baseAddress);
            break;
        }
        case VmeLink::Ethernet:
            s.setValue(QStringLiteral("HV_W3610_IP"), v.ipAddress);
            s.setValue(QStringLiteral("HV_W3610_BA"), firstRow(v.ethRows).baseAddress);
            break;
        case VmeLink::J5910: {
            const BoardRowValues r = firstRow(v.j5910Rows);
            s.setValue(QStringLiteral("HV_J5910_PID"), r.pid);
            s.setValue(QStringLiteral("HV_J5910_OPNET"), QString::number(r.opt1));
            s.setValue(QStringLiteral("HV_J5910_BA"), r.baseAddress);
            break;
        }
        }
        break;
    case PsType::NimDesktop:
        if (v.linkIndex == SerialLink::Tcp) {
            s.setValue(QStringLiteral("DKHV_IP"), v.ipAddress);
            s.setValue(QStringLiteral("DKHV_lastLBusAddr"), v.tcpLBus);
        } else if (v.linkIndex == SerialLink::VcpUsb) {
            writeSerial(s, QStringLiteral("DKHV"), v);
        }
        break;
    case PsType::Dk31xx:
        if (v.linkIndex == Dk31Link::Usb || v.linkIndex == Dk31Link::OpticalLink)
            writeRows(s, QStringLiteral("DKHV_31"), v.optRows);
        else if (v.linkIndex == Dk31Link::J5910)
            s.setValue(QStringLiteral("DKHV_31_PID"), firstRow(v.j5910Rows).pid);
        break;
    case PsType::Dk31xxE:
    case PsType::Brisk:
        if (v.linkIndex == SerialLink::Tcp)
            s.setValue(QStringLiteral("DKEHV_IP"), v.ipAddress);
        else if (v.linkIndex == SerialLink::VcpUsb)
            writeSerial(s, QStringLiteral("DKEHV"), v);
        break;
    case PsType::B8181:
        s.setValue(QStringLiteral("B8181_lastIpAddress"), v.ipAddress);
        s.setValue(QStringLiteral("B8181_lastUserName"), v.userName);
        break;
    case PsType::Plex:
        s.setValue(QStringLiteral("PLEX_IP"), v.ipAddress);
        break;
    default:   // power supply boxes: nothing but the link
        break;
    }
}

ConnectionValues loadTypeValues(int psType)
{
    const QSettings s = openStore();
    ConnectionValues v;
    v.psType = psType;
    v.linkIndex = number(s, QStringLiteral("lastConnType"));
    v.optRows = { BoardRowValues() };
    v.ethRows = { BoardRowValues() };
    v.pidRows = { BoardRowValues() };
    v.j5910Rows = { BoardRowValues() };
    switch (psType) {
    case PsType::MF3300:
        v.ipAddress = text(s, QStringLiteral("MF3300_lastIpAddress"));
        v.userName = text(s, QStringLiteral("MF3300_lastUserName"));
        break;
    case PsType::VmeHv:
        v.optRows = readRows(s, QStringLiteral("HV_W1610"));
        v.pidRows[0].pid = text(s, QStringLiteral("HV_W2610_PID"));
        v.pidRows[0].baseAddress = text(s, QStringLiteral("HV_W2610_BA"));
        v.ipAddress = text(s, QStringLiteral("HV_W3610_IP"));
        v.ethRows[0].baseAddress = text(s, QStringLiteral("HV_W3610_BA"));
        v.j5910Rows[0].pid = text(s, QStringLiteral("HV_J5910_PID"));
        v.j5910Rows[0].opt1 = text(s, QStringLiteral("HV_J5910_OPNET")).toInt();
        v.j5910Rows[0].baseAddress = text(s, QStringLiteral("HV_J5910_BA"));
        break;
    case PsType::NimDesktop:
        v.ipAddress = text(s, QStringLiteral("DKHV_IP"));
        readSerial(s, QStringLiteral("DKHV"), v);
        break;
    case PsType::Dk31xx:
        v.optRows = readRows(s, QStringLiteral("DKHV_31"));
        v.j5910Rows[0].pid = text(s, QStringLiteral("DKHV_31_PID"));
        break;
    case PsType::Dk31xxE:
    case PsType::Brisk:
        v.ipAddress = text(s, QStringLiteral("DKEHV_IP"));
        readSerial(s, QStringLiteral("DKEHV"), v);
        break;
    case PsType::B8181:
        v.ipAddress = text(s, QStringLiteral("B8181_lastIpAddress"));
        v.userName = text(s, QStringLiteral("B8181_lastUserName"));
        break;
    case PsType::Plex:
        v.ipAddress = text(s, QStringLiteral("PLEX_IP"));
        break;
    default:
        break;
    }
    return v;
}

void saveNameAndType(const QString &customName, int psType)
{
    QSettings s = openStore();
    s.setValue(QStringLiteral("lastCustName"), customName);
    s.setValue(QStringLiteral("lastPSType"), psType);
}

void loadNameAndType(QString *customName, int *psType)
{
    const QSettings s = openStore();
    if (customName)
        *customName = text(s, QStringLiteral("lastCustName"));
    if (psType)
        *psType = number(s, QStringLiteral("lastPSType"));
}

QVector<BoardRowValues> loadRows(const QString &prefix)
{
    const QSettings s = openStore();
    return readRows(s, prefix);
}

void saveRows(const QString &prefix, const QVector<BoardRowValues> &rows)
{
    QSettings s = openStore();
    writeRows(s, prefix, rows);
}

} // namespace ConnectionSettings
