#pragma once

#include <QString>
#include <QVector>

// Power supply types: the index of the connect dialog's type combo.
namespace PsType {
enum {
    MF3300 = 0,    // "MF3300 / MF3500"
    VmeHv = 1,
    NimDesktop = 2,
    Dk31xx = 3,
    Dk31xxE = 4,
    Brisk = 5,
    PsBoxes = 6,
    B8181 = 7,
    Plex = 8,
    Count = 9
};
}

// Link combo indices per power supply type.
namespace VmeLink { enum { Usb = 0, OpticalLink = 1, Usb3 = 2, Ethernet = 3, J5910 = 4 }; }
namespace Dk31Link { enum { Usb = 0, OpticalLink = 1, J5910 = 2 }; }
namespace SerialLink { enum { Tcp = 0, VcpUsb = 1 }; }   // types 2, 4, 5
namespace TcpLink { enum { Tcp = 0 }; }                   // types 0, 7, 8

// One board row of the connect dialog (VME HV boards, DK31XX units).
struct BoardRowValues
{
    QString name;          // may be empty: the row is then named "Board%02d"
    int opt1 = 0;          // link number
    int opt2 = 0;          // node on the optical chain
    QString baseAddress;   // as typed
    QString pid;           // device PID (USB3: first row only; J5910: every row)

    bool operator==(const BoardRowValues &o) const
    {
        return name == o.name && opt1 == o.opt1 && opt2 == o.opt2 && baseAddress == o.baseAddress
            && pid == o.pid;
    }
};

// Everything the connect dialog turns into connection arguments.
struct ConnectionValues
{
    int psType = PsType::MF3300;
    int linkIndex = 0;          // link combo index, -1 when the combo is empty
    QString ipAddress;          // four numbers joined with "."
    QString userName;
    QString password;           // never stored
    int tcpLBus = 1;            // LBus combo index for TCP/IP
    QString commPort;
    int baudRate = 300;         // value shown, -1 without selection
    int dataBits = 8;           // value shown, -1 without selection
    int stopIndex = 0;          // 0 = 1, 1 = 1.5, 2 = 2; -1 without selection
    int parityIndex = 0;        // None, Even, Odd, Mark, Space; -1 without selection
    int serialLBus = 0;         // LBus combo index of the serial group, -1 without selection
    QVector<BoardRowValues> optRows;     // USB / PCI optical link rows
    QVector<BoardRowValues> ethRows;     // ETHERNET rows
    QVector<BoardRowValues> pidRows;     // USB3 rows
    QVector<BoardRowValues> j5910Rows;   // J5910 rows
};

// The last used connection values, kept per power supply type and link in the
// native per-user store (organisation "ORVE", application "App"). Each call opens
// its own settings object. Passwords are never written.
namespace ConnectionSettings {

// Writes "lastConnType" and the keys of values.psType / values.linkIndex.
void saveTypeValues(const ConnectionValues &values);

// Reads "lastConnType" into linkIndex and every key of the type. Missing texts
// read as empty, missing ints as 0. Board row lists hold at least one row.
ConnectionValues loadTypeValues(int psType);

void saveNameAndType(const QString &customName, int psType);
// "lastCustName" and "lastPSType" (0 when missing).
void loadNameAndType(QString *customName, int *psType);

// Row keys of a prefix ("HV_W1610", "DKHV_31").
QVector<BoardRowValues> loadRows(const QString &prefix);
void saveRows(const QString &prefix, const QVector<BoardRowValues> &rows);

} // namespace ConnectionSettings
