#include "connect/ConnectionArguments.h"

#include "ORVEHVWrapper.h"

#include <QRegularExpression>
#include <functional>
#include <QStringList>

namespace ConnectionArguments {

bool isAddressByte(const QString &text)
{
    if (text.isEmpty() || text.size() > 3)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return text.toInt() <= 255;
}

QString normalizedIpAddress(const QString &dotted)
{
    const QStringList parts = dotted.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return QString();
    QStringList numbers;
    for (const QString &p : parts) {
        if (!isAddressByte(p))
            return QString();
        numbers.append(QString::number(p.toInt()));
    }
    const QString address = numbers.join(QLatin1Char('.'));
    if (address == QLatin1String("0.0.0.0") || address == QLatin1String("255.255.255.255"))
        return QString();
    return address;
}

bool isValidBaseAddress(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\d+$|^[0-9a-fA-F]+$|^0[xX][0-9a-fA-F]+$"));
    // \d would also take non-ASCII digits the library cannot read.
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return !text.isEmpty() && text.size() <= 8 && pattern.match(text).hasMatch();
}

bool isValidPid(const QString &text)
{
    if (text.isEmpty() || text.size() > 6)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isValidCommPort(const QString &text)
{
    if (text.trimmed().isEmpty())
        return false;
    // "_" separates the argument's fields; the whole argument has 79 characters.
    return !text.contains(QLatin1Char('_')) && text.size() <= 40;
}

namespace {

bool rowsHaveValidBase(const QVector<BoardRowValues> &rows)
{
    if (rows.isEmpty())
        return false;
    for (const BoardRowValues &r : rows) {
        if (!isValidBaseAddress(r.baseAddress))
            return false;
    }
    return true;
}

bool serialComplete(const ConnectionValues &v)
{
    return isValidCommPort(v.commPort) && v.baudRate > 0 && v.dataBits > 0 && v.stopIndex >= 0
        && v.parityIndex >= 0;
}

bool ipValid(const ConnectionValues &v)
{
    return !normalizedIpAddress(v.ipAddress).isEmpty();
}

QString serialArgument(const ConnectionValues &v, bool withLBus)
{
    // One pass: a "%1" typed into the port must stay text.
    QString arg = QStringLiteral("%1_%2_%3_%4_%5")
                      .arg(v.commPort.trimmed(), QString::number(v.baudRate),
                           QString::number(v.dataBits), QString::number(v.stopIndex),
                           QString::number(v.parityIndex));
    if (withLBus)
        arg += QStringLiteral("_%1").arg(v.serialLBus < 0 ? 0 : v.serialLBus);
    return arg;
}

} // namespace

bool isComplete(const ConnectionValues &v)
{
    switch (v.psType) {
    case PsType::MF3300:
    case PsType::B8181:
        return ipValid(v) && !v.userName.isEmpty() && !v.password.isEmpty();
    case PsType::Plex:
        return ipValid(v);
    case PsType::VmeHv:
        switch (v.linkIndex) {
        case VmeLink::Usb:
        case VmeLink::OpticalLink:
            return rowsHaveValidBase(v.optRows);
        case VmeLink::Usb3:
            return rowsHaveValidBase(v.pidRows) && isValidPid(v.pidRows.first().pid);
        case VmeLink::Ethernet:
            return rowsHaveValidBase(v.ethRows) && ipValid(v);
        case VmeLink::J5910:
            if (!rowsHaveValidBase(v.j5910Rows))
                return false;
            for (const BoardRowValues &r : v.j5910Rows) {
                if (!isValidPid(r.pid))
                    return false;
            }
            return true;
        }
        return false;
    case PsType::NimDesktop:
    case PsType::Dk31xxE:
    case PsType::Brisk:
        if (v.linkIndex == SerialLink::Tcp)
            return ipValid(v);
        if (v.linkIndex == SerialLink::VcpUsb)
            return serialComplete(v);
        return false;
    case PsType::Dk31xx:
        if (v.linkIndex == Dk31Link::Usb || v.linkIndex == Dk31Link::OpticalLink)
            return !v.optRows.isEmpty();
        if (v.linkIndex == Dk31Link::J5910)
            return !v.j5910Rows.isEmpty() && isValidPid(v.j5910Rows.first().pid);
        return false;
    case PsType::PsBoxes:
        return true;
    }
    return false;
}

QString offeredName(int psType)
{
    static const char *const names[PsType::Count] = {"Mainframe", "VME HV Crate", "Desktop HV", "DK31XX HV",
                                                     "DK31XXE HV", "BRISK HV", "PS Boxes", "B8181", "PLEX"};
    return psType >= 0 && psType < PsType::Count ? QLatin1String(names[psType]) : QString();
}

QString rowName(const BoardRowValues &row, int position)
{
    if (!row.name.trimmed().isEmpty())
        return row.name;
    return QString::asprintf("Board%02d", position);
}

QVector<ConnectionRequest> requests(const ConnectionValues &v, const QString &customName)
{
    QVector<ConnectionRequest> out;
    if (!isComplete(v))
        return out;
    const QString ip = normalizedIpAddress(v.ipAddress);
    auto single = [&](int sys, int link, const QString &arg) {
        out.append({ sys, link, arg, customName, v.userName, v.password });
    };
    auto perRow = [&](const QVector<BoardRowValues> &rows, int sys, int link,
                      const std::function<QString(const BoardRowValues &)> &argument) {
        for (int i = 0; i < rows.size(); ++i)
            out.append({ sys, link, argument(rows.at(i)), customName, rowName(rows.at(i), i),
                         v.password });
    };

    switch (v.psType) {
    case PsType::MF3300:
        single(ORVEHV_SYS_MF3300, ORVEHV_LINK_TCPIP, ip);
        break;
    case PsType::VmeHv:
        switch (v.linkIndex) {
        case VmeLink::Usb:
            perRow(v.optRows, ORVEHV_SYS_VMEHV, ORVEHV_LINK_USB, [](const BoardRowValues &r) {
                return QStringLiteral("%1_0_%2").arg(r.opt1).arg(r.baseAddress);
            });
            break;
        case VmeLink::OpticalLink:
            perRow(v.optRows, ORVEHV_SYS_VMEHV, ORVEHV_LINK_OPTLINK, [](const BoardRowValues &r) {
                return QStringLiteral("%1_%2_%3").arg(r.opt1).arg(r.opt2).arg(r.baseAddress);
            });
            break;
        case VmeLink::Usb3: {
            const QString pid = v.pidRows.first().pid;
            perRow(v.pidRows, ORVEHV_SYS_VMEHV, ORVEHV_LINK_USB3, [&](const BoardRowValues &r) {
                return QStringLiteral("%1_0_%2").arg(pid, r.baseAddress);
            });
            break;
        }
        case VmeLink::Ethernet:
            perRow(v.ethRows, ORVEHV_SYS_VMEHV, ORVEHV_LINK_TCPIP, [&](const BoardRowValues &r) {
                return ip + QLatin1String("_0_") + r.baseAddress;
            });
            break;
        case VmeLink::J5910:
            perRow(v.j5910Rows, ORVEHV_SYS_VMEHV, ORVEHV_LINK_J5910, [](const BoardRowValues &r) {
                return QStringLiteral("%1_%2_%3").arg(r.pid).arg(r.opt1).arg(r.baseAddress);
            });
            break;
        }
        break;
    case PsType::NimDesktop:
        if (v.linkIndex == SerialLink::Tcp)
            single(ORVEHV_SYS_NIMDT, ORVEHV_LINK_TCPIP, QStringLiteral("%1_%2").arg(ip).arg(v.tcpLBus));
        else
            single(ORVEHV_SYS_NIMDT, ORVEHV_LINK_VCPUSB, serialArgument(v, true));
        break;
    case PsType::Dk31xx:
        switch (v.linkIndex) {
        case Dk31Link::Usb:
            perRow(v.optRows, ORVEHV_SYS_DK31XX, ORVEHV_LINK_USB, [](const BoardRowValues &r) {
                return QStringLiteral("%1_0_0").arg(r.opt1);
            });
            break;
        case Dk31Link::OpticalLink:
            perRow(v.optRows, ORVEHV_SYS_DK31XX, ORVEHV_LINK_OPTLINK, [](const BoardRowValues &r) {
                return QStringLiteral("%1_%2_00000000").arg(r.opt1).arg(r.opt2);
            });
            break;
        case Dk31Link::J5910:
            out.append({ ORVEHV_SYS_DK31XX, ORVEHV_LINK_J5910, v.j5910Rows.first().pid, customName,
                         QStringLiteral("DK31XX"), v.password });
            break;
        }
        break;
    case PsType::Dk31xxE:
        if (v.linkIndex == SerialLink::Tcp)
            single(ORVEHV_SYS_DK31XXE, ORVEHV_LINK_TCPIP, ip);
        else
            single(ORVEHV_SYS_DK31XXE, ORVEHV_LINK_VCPUSB, serialArgument(v, false));
        break;
    case PsType::Brisk:
        if (v.linkIndex == SerialLink::Tcp)
            single(ORVEHV_SYS_BRISK, ORVEHV_LINK_TCPIP, ip);
        else
            single(ORVEHV_SYS_BRISK, ORVEHV_LINK_VCPUSB, serialArgument(v, true));
        break;
    case PsType::PsBoxes:
        out.append({ ORVEHV_SYS_BRISK, ORVEHV_LINK_TCPIP, QStringLiteral("127.0.0.1"),
                     QStringLiteral("PS BOXES"), QStringLiteral("admin"), QString() });
        break;
    case PsType::B8181:
        single(ORVEHV_SYS_B8181, ORVEHV_LINK_TCPIP, ip);
        break;
    case PsType::Plex:
        single(ORVEHV_SYS_PLEX, ORVEHV_LINK_TCPIP, ip);
        break;
    }
    return out;
}

} // namespace ConnectionArguments
