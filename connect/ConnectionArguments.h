#pragma once

#include "persist/ConnectionSettings.h"

#include <QString>
#include <QVector>

// One call of SystemConnector::connectToSystem.
struct ConnectionRequest
{
    int systemType = 0;
    int linkType = 0;
    QString argument;
    QString displayName;
    QString userName;
    QString password;
};

// The connect dialog's rules without its widgets: which values are complete and
// which library arguments they make.
namespace ConnectionArguments {

// A number 0..255 of an address field: one to three digits.
bool isAddressByte(const QString &text);
// The connection address of four fields (or of a dotted text): the numbers
// joined with "." without leading zeros; empty when a field is not a number
// 0..255 or the address is 0.0.0.0 or 255.255.255.255.
QString normalizedIpAddress(const QString &dotted);
// A base address: digits, hexadecimal digits, or "0x" with hexadecimal digits,
// at most 8 characters.
bool isValidBaseAddress(const QString &text);
// A device PID: 0..999999 in decimal.
bool isValidPid(const QString &text);
// A serial port name usable inside the "_"-separated argument.
bool isValidCommPort(const QString &text);

// Whether OK may be enabled for these values (not counting a running scan).
bool isComplete(const ConnectionValues &values);

// Row name used when the board name field is empty.
QString rowName(const BoardRowValues &row, int position);

// The name the dialog offers for a power supply type the operator has not
// named yet ("VME HV Crate", "Desktop HV", ...).
QString offeredName(int psType);

// The connections to open, in order. Empty when the values are not complete.
QVector<ConnectionRequest> requests(const ConnectionValues &values, const QString &customName);

} // namespace ConnectionArguments
