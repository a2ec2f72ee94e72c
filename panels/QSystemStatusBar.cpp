#include "panels/QSystemStatusBar.h"

#include "panels/PanelPictures.h"

#include <QFrame>
#include <QLabel>
#include <QStringList>
#include <QTimer>

const char *const QSystemStatusBar::SyncLit = ":Resources/buttons/led_on_mid.png";
const char *const QSystemStatusBar::WarningLit = ":Resources/buttons/led_warn_mid.png";
const char *const QSystemStatusBar::ErrorLit = ":Resources/buttons/led_err_mid.png";
const char *const QSystemStatusBar::Unlit = ":Resources/buttons/led_off_mid.png";
const char *const QSystemStatusBar::Disconnected = ":Resources/buttons/led_off.png";
const char *const QSystemStatusBar::SilenceText = "NO EVENTS: VALUES MAY BE OLD";

namespace {
const QSize LampSize(16, 16);
// Each lamp says what lights it.
const char *const LampTips[] = {
    "Events status: OK - lit while the system or one of its boards reports a normal state",
    "Events status: warning - lit while the system or one of its boards reports a warning",
    "Events status: error - lit while the system or one of its boards reports an error",
};

QFrame *separator(QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}
} // namespace

QSystemStatusBar::QSystemStatusBar(QWidget *parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("systemStatusBar"));
    setMinimumHeight(28);
    setSizeGripEnabled(false);

    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("statusNameLabel"));
    m_name->setToolTip(tr("Power supply name"));
    m_name->setStyleSheet(QStringLiteral("font:bold;"));
    m_connection = new QLabel(this);
    m_connection->setObjectName(QStringLiteral("statusConnectionLabel"));
    m_connection->setToolTip(tr("Power supply connection parameter(s)"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusStateLabel"));
    m_status->setToolTip(tr("Connection status"));

    addWidget(m_name);
    addWidget(separator(this));
    addWidget(m_connection);
    addWidget(separator(this));
    addWidget(m_status);
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("statusNoticeLabel"));
    m_notice->setToolTip(tr("What the last action did"));
    m_notice->setStyleSheet(QStringLiteral("color: #1d4f8c;"));
    addWidget(separator(this));
    addWidget(m_notice, 1);
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(15000);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QLabel::clear);

    for (int i = 0; i < 3; ++i) {
        m_lamps[i] = new QLabel(this);
        m_lamps[i]->setObjectName(QStringLiteral("eventIndicator%1").arg(i));
        m_lamps[i]->setToolTip(tr(LampTips[i]));
        m_lamps[i]->setFixedSize(LampSize + QSize(4, 4));
        m_lamps[i]->setAlignment(Qt::AlignCenter);
        addPermanentWidget(m_lamps[i]);
        setIndicator(i, Unlit);
    }
}

QString QSystemStatusBar::connectionDescription(int linkType, const QString &arg)
{
    switch (linkType) {
    case 3: // USB
        return arg.isEmpty() ? QString() : QStringLiteral("USB ") + arg.left(1);
    case 4: // optical link
        return arg.size() > 2 ? QStringLiteral("OPTICAL LINK ") + arg.left(3) : QString();
    case 5: { // virtual serial port: port_baud_data_stop_parity_handshake
        const QStringList parts = arg.split(QLatin1Char('_'), Qt::KeepEmptyParts);
        if (parts.size() != 6)
            return QString();
        static const char *const stops[] = {"1", "1.5", "2"};
        static const char *const parities[] = {"None", "Even", "Odd", "Mark", "Space"};
        const int stop = parts.at(3).toInt();     // not a number -> 0
        const int parity = parts.at(4).toInt();
        const QString stopText = stop >= 0 && stop < 3 ? QLatin1String(stops[stop]) : QString();
        const QString parityText = parity >= 0 && parity < 5 ? QLatin1String(parities[parity]) : QString();
        // The connect dialog's port texts already read "COM3"; a bare number gets the prefix.
        const QString port = parts.at(0).startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
                                 ? parts.at(0)
                                 : QStringLiteral("COM") + parts.at(0);
        return port + QStringLiteral(", BaudRate: ") + parts.at(1)
               + QStringLiteral(", Data: ") + parts.at(2) + QStringLiteral(", Stop: ") + stopText
               + QStringLiteral(", Parity: ") + parityText;
    }
    default:
        return arg;
    }
}

QString QSystemStatusBar::connectionStatusText(int state)
{
    switch (state) {
    case 0: return QStringLiteral("PENDING CONNECTION");
    case 1: return QStringLiteral("CONNECTED");
    case 2: return QStringLiteral("DISCONNECTED");
    case 3: return QStringLiteral("TRANSPARENT MODE ACTIVE");
    default: return QString();
    }
}

QString QSystemStatusBar::connectionStatusStyle(int state)
{
    switch (state) {
    case 1: return QStringLiteral("QLabel {color : green; }");
    // A lost connection must never keep the green of "CONNECTED".
    case 2:
    case 3: return QStringLiteral("QLabel {color : red; }");
    default: return QString();
    }
}

QString QSystemStatusBar::systemNameText(int systemType, const QString &nodeName)
{
    if (systemType != 5)
        return nodeName;
    // the crate's name as its tab and box show it, after what it is
    return nodeName.isEmpty() ? QStringLiteral("VME HV Crate") : QStringLiteral("VME HV Crate - %1").arg(nodeName);
}

void QSystemStatusBar::setSystemName(const QString &text) { m_name->setText(text); }

void QSystemStatusBar::setConnectionText(const QString &text) { m_connection->setText(text); }

void QSystemStatusBar::setConnectionStatus(int state)
{
    m_state = state;
    m_silent = false;
    m_status->setText(connectionStatusText(state));
    const QString style = connectionStatusStyle(state);
    if (!style.isNull())
        m_status->setStyleSheet(style);
}

void QSystemStatusBar::showSilence(bool silent)
{
    if (!silent) {
        m_status->setStyleSheet(QString());
        setConnectionStatus(m_state);
        return;
    }
    m_silent = true;
    m_status->setText(QLatin1String(SilenceText));
    m_status->setStyleSheet(QStringLiteral("QLabel { color: #b35900; font: bold; }"));
    for (int i = 0; i < 3; ++i)
        setIndicator(i, Unlit);
}

void QSystemStatusBar::setSyncIndicator(bool lit) { setIndicator(0, lit ? SyncLit : Unlit); }
void QSystemStatusBar::setWarningIndicator(bool lit) { setIndicator(1, lit ? WarningLit : Unlit); }
void QSystemStatusBar::setErrorIndicator(bool lit) { setIndicator(2, lit ? ErrorLit : Unlit); }

void QSystemStatusBar::setEventStatus(const ORVEHV_SYSTEMSTATUS_t &status)
{
    bool lit[3] = {false, false, false};
    auto mark = [&lit](int32_t word) {
        if (word >= 0 && word < 3)
            lit[word] = true;
    };
    mark(status.System);
    for (int32_t word : status.Board)
        mark(word);
    setSyncIndicator(lit[0]);
    setWarningIndicator(lit[1]);
    setErrorIndicator(lit[2]);
}

void QSystemStatusBar::clearIndicators()
{
    for (int i = 0; i < 3; ++i)
        setIndicator(i, Disconnected);
}

void QSystemStatusBar::showNotice(const QString &text)
{
    m_notice->setText(text);
    m_noticeTimer->start();
}

void QSystemStatusBar::showNoticeOn(QWidget *bar, const QString &text)
{
    if (auto *own = qobject_cast<QSystemStatusBar *>(bar))
        own->showNotice(text);
    else if (auto *plain = qobject_cast<QStatusBar *>(bar))
        plain->showMessage(text, 15000);
}

QLabel *QSystemStatusBar::indicatorLabel(int i) const
{
    return i >= 0 && i < 3 ? m_lamps[i] : nullptr;
}

QString QSystemStatusBar::indicatorPicture(int i) const
{
    return i >= 0 && i < 3 ? m_lampPicture[i] : QString();
}

void QSystemStatusBar::setIndicator(int i, const char *picture)
{
    const QString path = QLatin1String(picture);
    if (m_lampPicture[i] == path)
        return;
    m_lampPicture[i] = path;
    m_lamps[i]->setPixmap(PanelPictures::load(path, LampSize));
}
