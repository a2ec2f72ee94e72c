#include "panels/QSystemInformations.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/ParameterAccess.h"
#include "device/QSystemInterface.h"
#include "device/SystemTitle.h"
#include "logging/QLogDialog.h"
#include "panels/CommandFeedback.h"
#include "panels/InfoDialogs.h"
#include "panels/PanelPictures.h"
#include "panels/QFlagWordDialog.h"
#include "panels/QHVOutputDialog.h"
#include "panels/QSysInfoB8181Dialog.h"
#include "panels/QSystemStatusBar.h"
#include "script/QScriptDialog.h"

#include "ORVEHVWrapper.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QAction>
#include <QPushButton>
#include <QVBoxLayout>

const char *const QSystemInformations::ButtonStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7dadcb, stop:1 #4a5c62);"
    " color: white; font: bold; border: 1px solid #2f3b40; border-radius: 4px; padding: 2px; }"
    "QPushButton:pressed { background: #4a5c62; }"
    "QPushButton:disabled { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e0e0e0, stop:1 #b4b4b4);"
    " color: #707070; border: 1px solid #9a9a9a; }";
const char *const QSystemInformations::KillStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f05a4a, stop:1 #a3241a);"
    " color: white; font: bold; border: 1px solid #5a1410; border-radius: 4px; padding: 2px; }"
    "QPushButton:pressed { background: #a3241a; }"
    "QPushButton:disabled { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e0e0e0, stop:1 #b4b4b4);"
    " color: #707070; border: 1px solid #9a9a9a; }";
const char *const QSystemInformations::HighlightStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffe066, stop:1 #e0a800);"
    " color: black; font: bold; border: 2px solid #7a5a00; border-radius: 4px; padding: 1px; }";
const char *const QSystemInformations::GreenStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7fec2f, stop:1 #439847);"
    " color: white; font: bold; border: 1px solid #2e6b31; border-radius: 4px; padding: 2px; }"
    "QPushButton:disabled { color: #d0d0d0; }";
const char *const QSystemInformations::GreyStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 lightgrey, stop:1 grey);"
    " color: black; font: bold; border: 1px solid #606060; border-radius: 4px; padding: 2px; }";
const char *const QSystemInformations::NoSelectionTip = "No parameters/channels selected";

namespace {

const char *const LampOn = ":Resources/buttons/led_on.png";
const char *const LampError = ":Resources/buttons/led_err.png";
const char *const LampOff = ":Resources/buttons/led_off.png";
const QSize LampSize(14, 14);
// Two lines of the bold button text and the frame: the panel of a mainframe
// and the box of a second system fit a 1280 x 720 screen.
const int ButtonHeight = 34;

const char *const SectionStyle = "color: #2f3b40; font: bold;";
const char *const ReadoutNameStyle = "color: #4a5c62;";
const char *const ReadoutValueStyle = "color: #1d1d1d; font: bold;";

const char *const FanCaution =
    "CAUTION: Selecting this option restricts the flow of ventilation.\n"
    "Depending on the type of cards inserted, they may overheat and become damaged.\n\n"
    "Do you really want to enable and set fan to low speed?";

// Read-outs in the order they are shown: property, label.
struct Readout { const char *property, *label; };
const Readout PowerReadouts[] = {{"HvPwSM", "HV power"},       {"PWVoltage", "Voltage"},
                                 {"PWCurrent", "Current"},     {"ACDCStatus", "AC/DC"},
                                 {"OutputLevel", "Output lvl"}, {"FrontPanIn", "Panel in"},
                                 {"FrontPanOut", "Panel out"}, {"FrontPan", "Front panel"},
                                 {"FanStat", "Fans"}};
const Readout CpuReadouts[] = {{"CPULoad", "CPU load"}, {"MemoryStatus", "Memory"}, {"CmdQueueStatus", "Queue"}};

QStringList fields(const QString &text)
{
    QStringList out;
    for (const QString &f : text.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        out.append(f.trimmed());
    return out;
}

// Text and lamp of one read-out for the property's current value.
void describe(const QString &name, const NodeValue &v, QString *text, const char **lamp)
{
    *lamp = nullptr;
    if (v.status != ValueOk && v.status != ValueWriteFailed) {
        *text = QStringLiteral("n/a");
        *lamp = LampOff;
        return;
    }
    const uint word = v.value.toUInt();
    const QString hex = QStringLiteral("0x%1").arg(word, 4, 16, QLatin1Char('0')).toUpper().replace(
        QLatin1String("0X"), QLatin1String("0x"));
    if (name == QLatin1String("HvPwSM")) {
        *text = v.value.toString();
        *lamp = text->trimmed().compare(QLatin1String("Ok"), Qt::CaseInsensitive) == 0 ? LampOn : LampError;
    } else if (name == QLatin1String("PWVoltage")) {
        *text = QStringLiteral("%0 V").arg(v.value.toDouble(), 0, 'f', 1);
    } else if (name == QLatin1String("PWCurrent")) {
        *text = QStringLiteral("%0 A").arg(v.value.toDouble(), 0, 'f', 2);
    } else if (name == QLatin1String("ACDCStatus") || name == QLatin1String("FanStat")) {
        *text = word == 0 ? QStringLiteral("Ok") : QStringLiteral("Fault %0").arg(hex);
        *lamp = word == 0 ? LampOn : LampError;
    } else if (name == QLatin1String("CPULoad")) {
        const QStringList f = fields(v.value.toString());
        *text = f.mid(0, 3).join(QLatin1String(" / "));
    } else if (name == QLatin1String("MemoryStatus")) {
        const QStringList f = fields(v.value.toString());
        *text = f.size() >= 2 ? QStringLiteral("%0 free").arg(f.at(1)) : f.value(0);
    } else if (name == QLatin1String("CmdQueueStatus")) {
        *text = v.value.toString();
    } else {
        // Front panel and output words: lit while any bit is set.
        *text = hex;
        *lamp = word != 0 ? LampOn : LampOff;
    }
}

QLabel *sectionTitle(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QLatin1String(SectionStyle));
    return l;
}

QString plainLabel(const QString &label)
{
    return QString(label).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace

QSystemInformations::QSystemInformations(QSystemInterface *sys, QWidget *parent)
    : QGroupBox(parent), m_sys(sys)
{
    setObjectName(QStringLiteral("systemCommandsPanel"));
    setStyleSheet(QStringLiteral("QGroupBox#systemCommandsPanel { background: #eef2f4; border: 1px solid #b9c3c7;"
                                 " border-top: none; margin: 0px; }"));
    if (sys) {
        // System properties the system reports are shown as they come.
        connect(sys, &QSystemInterface::parameterChanged, this, [this](ORVEHVNode *node) {
            if (node && node->kind() == KindSystemProperty)
                refreshParameter(node);
        });
        m_systemType = sys->systemType();
        m_linkType = sys->linkType();
        m_connectionArgument = sys->connectionArgument();
        m_systemIndex = sys->systemIndex();
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 4, 5, 5);
    layout->setSpacing(3);
    buildCommands(layout);
    buildReadouts(layout);
    buildSettings(layout);
    buildAdvanced(layout);
    applyNormalStyles();
}

QSystemInformations::~QSystemInformations()
{
    for (const QPointer<QWidget> &d : std::as_const(m_dialogs))
        delete d.data();
}

void QSystemInformations::track(QWidget *dialog)
{
    m_dialogs.removeAll(nullptr);
    m_dialogs.append(dialog);
    dialog->setWindowTitle(SystemTitle::of(dialog->windowTitle(), systemNode()));
    dialog->show();
}

ORVEHVNode *QSystemInformations::systemNode() const
{
    return m_sys ? m_sys->systemNode() : nullptr;
}

QString QSystemInformations::systemName() const
{
    const ORVEHVNode *node = systemNode();
    return node ? node->name() : QStringLiteral("ORVE");
}

// ------------------------------------------------------------------ building

QPushButton *QSystemInformations::addButton(QGridLayout *grid, const QString &label,
                                            void (QSystemInformations::*slot)())
{
    auto *b = new QPushButton(label, this);
    b->setMinimumHeight(ButtonHeight);
    b->setMinimumWidth(60);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setCursor(Qt::PointingHandCursor);
    connect(b, &QPushButton::clicked, this, slot);
    const int n = grid->count();
    grid->addWidget(b, n / 3, n % 3);
    m_buttons.insert(label, b);
    return b;
}

void QSystemInformations::buildCommands(QVBoxLayout *layout)
{
    using S = QSystemInformations;
    auto *commands = new QGridLayout;
    commands->setSpacing(4);
    auto *info = new QGridLayout;
    info->setSpacing(4);
    switch (m_systemType) {
    case 2:
    case 3:
        addButton(commands, QStringLiteral("KILL"), &S::killClicked);
        addButton(commands, QStringLiteral("CLEAR\nALARM"), &S::clearAlarmClicked);
        addButton(info, QStringLiteral("SESSIONS"), &S::sessionClicked);
        addButton(info, QStringLiteral("CRATE\nMAP"), &S::crateMapClicked);
        addButton(info, QStringLiteral("TECH\nINFO"), &S::techInfoClicked);
        addButton(info, QStringLiteral("SYS\nINFO"), &S::sysInfoClicked);
        addButton(info, QStringLiteral("RESET\nFLAG CFG"), &S::resetFlagsClicked);
        addButton(info, QStringLiteral("GEN SIGN\nCFG"), &S::genSignCfgClicked);
        break;
    case 16: {
        addButton(commands, QStringLiteral("KILL"), &S::killClicked);
        addButton(commands, QStringLiteral("CLEAR\nALARM"), &S::clearAlarmClicked);
        QPushButton *pw = addButton(commands, QStringLiteral("48V\nPW"), &S::Pw48Clicked);
        pw->setCheckable(true);
        addButton(commands, QStringLiteral("GLOBAL\nON"), &S::globalOnClicked);
        addButton(commands, QStringLiteral("GLOBAL\nOFF"), &S::globalOffClicked);
        addButton(info, QStringLiteral("SESSIONS"), &S::sessionClicked);
        addButton(info, QStringLiteral("RACK\nMAP"), &S::crateMapClicked);
        addButton(info, QStringLiteral("TECH\nINFO"), &S::techInfoB8181Clicked);
        addButton(info, QStringLiteral("SYS\nINFO"), &S::sysInfoB8181Clicked);
        addButton(info, QStringLiteral("CPU\nINFO"), &S::sysInfoClicked);
        addButton(info, QStringLiteral("RECOVERY\nFLAG"), &S::recoveryHVClicked);
        addButton(info, QStringLiteral("HV\nRESET"), &S::resetHVClicked);
        if (ORVEHVNode *p = CommandFeedback::systemProperty(systemNode(), QStringLiteral("ACDCPwr")))
            pw->setChecked(p->value().value.toInt() != 0);
        break;
    }
    case 5:
        addButton(commands, QStringLiteral("KILL"), &S::killClicked);
        addButton(info, QStringLiteral("CRATE\nMAP"), &S::crateMapClicked);
        break;
    case 6:
        addButton(commands, QStringLiteral("KILL"), &S::killClicked);
        addButton(commands, QStringLiteral("CLEAR\nALARM"), &S::clearAlarmClicked);
        break;
    case 9:
        addButton(info, QStringLiteral("CRATE\nMAP"), &S::crateMapClicked);
        break;
    case 11:
    case 13:
        addButton(commands, QStringLiteral("TURN OFF\nALL"), &S::turnOffAllClicked);
        addButton(commands, QStringLiteral("CLEAR\nALARM"), &S::clearAlarmClicked);
        break;
    default:
        break;
    }
    if (commands->count() > 0) {
        layout->addWidget(sectionTitle(QStringLiteral("COMMANDS"), this));
        layout->addLayout(commands);
    } else {
        delete commands;
    }
    if (info->count() > 0) {
        layout->addWidget(sectionTitle(QStringLiteral("INFORMATION"), this));
        layout->addLayout(info);
    } else {
        delete info;
    }
}

void QSystemInformations::buildReadouts(QVBoxLayout *layout)
{
    auto addGroup = [&](const QString &title, const Readout *rows, size_t count) {
        auto *grid = new QGridLayout;
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(0);
        grid->setColumnStretch(2, 1);
        int row = 0;
        for (size_t i = 0; i < count; ++i) {
            const QString name = QLatin1String(rows[i].property);
            if (!CommandFeedback::systemProperty(systemNode(), name))
                continue;
            auto *lamp = new QLabel(this);
            lamp->setFixedSize(LampSize);
            auto *label = new QLabel(QLatin1String(rows[i].label), this);
            label->setStyleSheet(QLatin1String(ReadoutNameStyle));
            auto *value = new QLabel(this);
            value->setStyleSheet(QLatin1String(ReadoutValueStyle));
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            grid->addWidget(lamp, row, 0);
            grid->addWidget(label, row, 1);
            grid->addWidget(value, row, 2);
            m_lamps.insert(name, lamp);
            m_readouts.insert(name, value);
            ++row;
        }
        if (row == 0) {
            delete grid;
            return;
        }
        layout->addWidget(sectionTitle(title, this));
        layout->addLayout(grid);
    };
    addGroup(QStringLiteral("POWER AND FRONT PANEL"), PowerReadouts, std::size(PowerReadouts));
    addGroup(QStringLiteral("CPU"), CpuReadouts, std::size(CpuReadouts));
    if (ORVEHVNode *node = systemNode())
        for (const ORVEHVNode *p : node->parameters())
            if (p->kind() == KindSystemProperty)
                refreshParameter(p);
}

void QSystemInformations::buildSettings(QVBoxLayout *layout)
{
    ORVEHVNode *node = systemNode();
    const bool fans = CommandFeedback::systemProperty(node, QStringLiteral("HVFanSpeed")) != nullptr;
    const bool web = m_linkType == 0 && (m_systemType == 2 || m_systemType == 3 || m_systemType == 14
                                         || m_systemType == 16);
    if (!fans && !web)
        return;
    layout->addWidget(sectionTitle(QStringLiteral("SETTINGS"), this));
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    if (fans) {
        auto *label = new QLabel(QStringLiteral("Fan"), this);
        label->setStyleSheet(QLatin1String(ReadoutNameStyle));
        row->addWidget(label);
        auto *group = new QButtonGroup(this);
        group->setExclusive(true);
        const QString texts[] = {QStringLiteral("LOW"), QStringLiteral("MID"), QStringLiteral("HIGH")};
        for (int i = 0; i < 3; ++i) {
            auto *b = new QPushButton(texts[i], this);
            b->setCheckable(true);
            b->setMinimumHeight(26);
            b->setMinimumWidth(40);
            b->setToolTip(i == 0 ? QStringLiteral("Fan low speed (restricts ventilation)")
                                 : QStringLiteral("Fan speed %0").arg(texts[i].toLower()));
            group->addButton(b, i);
            connect(b, &QPushButton::clicked, this, &QSystemInformations::changeWriteFanSpeedValues);
            connect(b, &QPushButton::toggled, this, &QSystemInformations::changeFanButtonColor);
            row->addWidget(b);
            m_fanButtons.append(b);
            m_buttons.insert(texts[i], b);
        }
    }
    row->addStretch(1);
    if (web) {
        auto *b = new QPushButton(this);
        b->setIcon(QIcon(PanelPictures::load(QStringLiteral(":Resources/buttons/config-icon.png"), QSize(20, 20))));
        b->setIconSize(QSize(20, 20));
        b->setFixedSize(30, 28);
        b->setToolTip(QStringLiteral("Web administration page of the system"));
        connect(b, &QPushButton::clicked, this, &QSystemInformations::webminClicked);
        row->addWidget(b);
        m_buttons.insert(QStringLiteral("WEB"), b);
    }
    layout->addLayout(row);
    showFanSpeed();
}

void QSystemInformations::buildAdvanced(QVBoxLayout *layout)
{
    if (m_systemType < 0)
        return;
    layout->addWidget(sectionTitle(QStringLiteral("ADVANCED FEATURES"), this));
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    auto make = [&](const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setMinimumHeight(28);
        // as wide as the bold label needs: "SCRIPT" was cut to "CRIP"
        QFont bold = b->font();
        bold.setBold(true);
        b->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(text) + 10);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        row->addWidget(b);
        m_buttons.insert(text, b);
        return b;
    };
    QPushButton *script = make(QStringLiteral("SCRIPT"));
    connect(script, &QPushButton::clicked, this, &QSystemInformations::scriptingClicked);
    // the snapshots dialog belongs to the main window (menu entry of that name)
    connect(make(QStringLiteral("SNAP")), &QPushButton::clicked, this, [this] {
        if (auto *open = window()->findChild<QAction *>(QStringLiteral("menuSnapshots")))
            open->trigger();
    });
    QPushButton *log = make(QStringLiteral("LOG"));
    if (m_systemType == 2 || m_systemType == 3) {
        connect(log, &QPushButton::clicked, this, &QSystemInformations::loggingClicked);
        m_logOn = make(QStringLiteral("ON"));
        m_logOff = make(QStringLiteral("OFF"));
        connect(m_logOn, &QPushButton::clicked, this, &QSystemInformations::startLogClicked);
        connect(m_logOff, &QPushButton::clicked, this, &QSystemInformations::stopLogClicked);
        setLogSelectionMade(false);
    } else {
        log->setCheckable(true);
        log->setToolTip(QStringLiteral("Value logging on/off"));
        connect(log, &QPushButton::toggled, this, [this](bool on) {
            if (QPushButton *b = button(QStringLiteral("LOG")))
                b->setStyleSheet(QLatin1String(on ? GreenStyle : ButtonStyle));
            emit startLog(on);
        });
    }
    layout->addLayout(row);
}

void QSystemInformations::applyNormalStyles()
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        QPushButton *b = it.value();
        if (it.key() == QLatin1String("48V\nPW") || m_fanButtons.contains(b) || b == m_logOn || b == m_logOff)
            continue;
        if (it.key() == QLatin1String("LOG") && b->isCheckable() && b->isChecked())
            continue;
        b->setStyleSheet(QLatin1String(it.key() == QLatin1String("KILL") ? KillStyle : ButtonStyle));
    }
    apply48VStyle();
    changeFanButtonColor();
}

void QSystemInformations::apply48VStyle()
{
    QPushButton *pw = button(QStringLiteral("48V\nPW"));
    if (!pw)
        return;
    if (!CommandFeedback::systemProperty(systemNode(), QStringLiteral("ACDCPwr"))) {
        pw->setStyleSheet(QLatin1String(GreyStyle));
        return;
    }
    pw->setStyleSheet(QLatin1String(pw->isChecked() ? GreyStyle : GreenStyle));
}

void QSystemInformations::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clickedWidget();
    QGroupBox::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------- read-outs

void QSystemInformations::refreshParameter(const ORVEHVNode *property)
{
    if (!property || property->kind() != KindSystemProperty)
        return;
    const QString name = property->name();
    if (name == QLatin1String("HVFanSpeed") || name == QLatin1String("LowFanEnable")) {
        showFanSpeed();
        return;
    }
    if (name.compare(QLatin1String("ACDCPwr"), Qt::CaseInsensitive) == 0) {
        if (QPushButton *pw = button(QStringLiteral("48V\nPW"))) {
            pw->setChecked(property->value().value.toInt() != 0);
            apply48VStyle();
        }
        return;
    }
    QLabel *value = m_readouts.value(name);
    if (!value)
        return;
    QString text;
    const char *lamp = nullptr;
    describe(name, property->value(), &text, &lamp);
    value->setText(text);
    QString tip = text;
    if (name == QLatin1String("MemoryStatus")) {
        const QStringList f = fields(property->value().value.toString());
        tip = QStringLiteral("Total %0, free %1, used %2, buffers %3").arg(f.value(0), f.value(1), f.value(2), f.value(3));
    }
    value->setToolTip(tip);
    QLabel *lampLabel = m_lamps.value(name);
    const QString picture = lamp ? QLatin1String(lamp) : QString();
    lampLabel->setProperty("picture", picture);
    lampLabel->setPixmap(lamp ? PanelPictures::load(picture, LampSize) : QPixmap());
}

QString QSystemInformations::readoutText(const QString &property) const
{
    QLabel *l = m_readouts.value(property);
    return l ? l->text() : QString();
}

QString QSystemInformations::lampPicture(const QString &property) const
{
    QLabel *l = m_lamps.value(property);
    return l ? l->property("picture").toString() : QString();
}

// ------------------------------------------------------------------ commands

bool QSystemInformations::confirm(const QString &label, const QString &text)
{
    if (QPushButton *b = button(label))
        b->setStyleSheet(QLatin1String(HighlightStyle));
    // The question runs an event loop, in which this panel may be deleted
    // with its system (a failing event server closes the program).
    const QPointer<QSystemInformations> self(this);
    const bool yes = askOperator(text.arg(systemName()), window());
    if (!self)
        return false;
    applyNormalStyles();
    return yes;
}

void QSystemInformations::execute(const QString &label, const char *command)
{
    const ORVEHVNode *node = systemNode();
    if (!node)
        return;
    const int result = ORVEHV_ExecComm(node->handle(), command);
    emit commandDone(plainLabel(label), systemName(), result);
    if (result == ORVEHV_OK)
        noteDone(QStringLiteral("%1 sent to system %2.").arg(plainLabel(label), systemName()));
    else
        CommandFeedback::reportFailure(CommandFeedback::commandFailedText(plainLabel(label), systemName(), result),
                                       window());
}

void QSystemInformations::writeToEveryChannel(const QString &label)
{
    const ORVEHVNode *node = systemNode();
    if (!node)
        return;
    CommandFeedback::BatchResult result;
    for (ORVEHVNode *board : node->children()) {
        if (board->kind() != KindBoard)
            continue;
        for (ORVEHVNode *channel : board->children()) {
            if (channel->kind() != KindChannel)
                continue;
            ORVEHVNode *pw = channel->parameter(QStringLiteral("Pw"));
            result.add(pw ? pw->writeValue(0) : ORVEHV_ERR_UNKNOWN_PARAM);
        }
    }
    emit commandDone(plainLabel(label), systemName(), result.firstError);
    if (result.ok())
        noteDone(QStringLiteral("%1: %2 channel(s) of system %3 switched off.")
                     .arg(plainLabel(label)).arg(result.attempted).arg(systemName()));
    else
        CommandFeedback::reportFailure(CommandFeedback::batchFailedText(plainLabel(label), systemName(), result,
                                                                        QStringLiteral("channels"),
                                                                        QStringLiteral("switched off")),
                                       window());
}

void QSystemInformations::writeClearAlarmToBoards(const QString &label)
{
    const ORVEHVNode *node = systemNode();
    if (!node)
        return;
    CommandFeedback::BatchResult result;
    for (ORVEHVNode *board : node->children()) {
        if (board->kind() != KindBoard)
            continue;
        for (ORVEHVNode *p : board->parameters())
            if (p->name() == QLatin1String("ClrAlarm") && p->accessMode() == AccessWriteOnly)
                result.add(p->writeValue(1));
    }
    emit commandDone(plainLabel(label), systemName(),
                     result.attempted == 0 ? ORVEHV_ERR_UNSUPPORTED : result.firstError);
    if (result.attempted == 0)
        CommandFeedback::reportFailure(
            CommandFeedback::commandFailedText(plainLabel(label), systemName(), ORVEHV_ERR_UNSUPPORTED), window());
    else if (result.ok())
        noteDone(QStringLiteral("%1: alarms cleared on %2 board(s) of system %3.")
                     .arg(plainLabel(label)).arg(result.attempted).arg(systemName()));
    else
        CommandFeedback::reportFailure(CommandFeedback::batchFailedText(plainLabel(label), systemName(), result,
                                                                        QStringLiteral("boards"),
                                                                        QStringLiteral("cleared")),
                                       window());
}

void QSystemInformations::noteDone(const QString &text)
{
    if (m_sys)
        QSystemStatusBar::showNoticeOn(m_sys->statusBar(), text);
}

void QSystemInformations::killClicked()
{
    const QString label = QStringLiteral("KILL");
    if (!systemNode() || !confirm(label, QStringLiteral("You are sending kill signal to system %0.")))
        return;
    if (m_systemType == 5 || m_systemType == 6)
        writeToEveryChannel(label);
    else
        execute(label, "Kill");
}

void QSystemInformations::turnOffAllClicked()
{
    const QString label = QStringLiteral("TURN OFF\nALL");
    if (!systemNode() || !confirm(label, QStringLiteral("You are turning off all channels of the system %0.")))
        return;
    writeToEveryChannel(label);
}

void QSystemInformations::clearAlarmClicked()
{
    const QString label = QStringLiteral("CLEAR\nALARM");
    if (!systemNode() || !confirm(label, QStringLiteral("You are sending Clear Alarm signal to system %0.")))
        return;
    if (m_systemType == 6)
        writeClearAlarmToBoards(label);
    else
        execute(label, m_systemType == 13 ? "BdClr" : "ClearAlarm");
}

void QSystemInformations::globalOnClicked()
{
    const QString label = QStringLiteral("GLOBAL\nON");
    if (!systemNode() || !confirm(label, QStringLiteral("You are sending Global ON signal to system %0.")))
        return;
    execute(label, "GlobalOn");
}

void QSystemInformations::globalOffClicked()
{
    const QString label = QStringLiteral("GLOBAL\nOFF");
    if (!systemNode() || !confirm(label, QStringLiteral("You are sending Global OFF signal to system %0.")))
        return;
    execute(label, "GlobalOff");
}

void QSystemInformations::Pw48Clicked()
{
    QPushButton *pw = button(QStringLiteral("48V\nPW"));
    const ORVEHVNode *node = systemNode();
    if (!pw || !node)
        return;
    const bool on = pw->isChecked();
    auto back = [&] {
        const QSignalBlocker block(pw);
        pw->setChecked(!on);
    };
    if (!CommandFeedback::systemProperty(node, QStringLiteral("ACDCPwr"))) {
        back();
        pw->setStyleSheet(QLatin1String(GreyStyle));
        return;
    }
    const QPointer<QSystemInformations> self(this);
    const bool yes = askOperator(on ? QStringLiteral("You are powering ON the 48V")
                                    : QStringLiteral("You are powering OFF the 48V"),
                                 window());
    // The question ran an event loop: the panel and its system may be gone.
    if (!self || !systemNode())
        return;
    if (!yes) {
        back();
        apply48VStyle();
        return;
    }
    const QString name = systemName();
    const bool written = CommandFeedback::writeProperty(node, QStringLiteral("ACDCPwr"), on ? 1 : 0, window());
    // A refusal's message ran an event loop: the panel may be gone (the
    // refused write itself is journaled by the write path either way).
    if (!self)
        return;
    emit commandDone(on ? QStringLiteral("48V PW ON") : QStringLiteral("48V PW OFF"), name,
                     written ? 0 : ORVEHV_ERR_WRITE_REFUSED);
    if (!written)
        back();
    apply48VStyle();
}

// ---------------------------------------------------------------------- fans

void QSystemInformations::showFanSpeed()
{
    if (m_fanButtons.isEmpty())
        return;
    const ORVEHVNode *speed = CommandFeedback::systemProperty(systemNode(), QStringLiteral("HVFanSpeed"));
    const int index = speed && speed->value().status != ValueReadFailed ? speed->value().value.toInt() : -1;
    auto *group = m_fanButtons.first()->group();
    if (group)
        group->setExclusive(false);
    for (int i = 0; i < m_fanButtons.size(); ++i) {
        const QSignalBlocker block(m_fanButtons.at(i));
        m_fanButtons.at(i)->setChecked(i == index);
    }
    if (group)
        group->setExclusive(true);
    changeFanButtonColor();
}

void QSystemInformations::changeFanButtonColor()
{
    for (QPushButton *b : std::as_const(m_fanButtons))
        b->setStyleSheet(QLatin1String(b->isChecked() ? GreenStyle : ButtonStyle));
}

void QSystemInformations::changeWriteFanSpeedValues()
{
    auto *clicked = qobject_cast<QPushButton *>(sender());
    const int index = int(m_fanButtons.indexOf(clicked));
    ORVEHVNode *node = systemNode();
    if (index < 0 || !node)
        return;
    ORVEHVNode *low = nullptr;
    ORVEHVNode *speed = nullptr;
    for (ORVEHVNode *p : node->parameters()) {
        if (p->kind() != KindSystemProperty)
            continue;
        if (!low && p->name().contains(QLatin1String("LowFanEnable")))
            low = p;
        if (!speed && p->name().contains(QLatin1String("HVFanSpeed")))
            speed = p;
    }
    if (index == 0 && low && low->value().value.toInt() == 0) {
        OperatorMessage caution{QMessageBox::Warning, QLatin1String(FanCaution), QString(),
                                {QStringLiteral("Yes"), QStringLiteral("No")}, 0};
        caution.title = QStringLiteral("ENABLE FAN LOW SPEED");
        const QPointer<QSystemInformations> self(this);
        const int answer = showOperatorMessage(caution, window());
        if (!self || !systemNode())
            return;
        if (answer != 0) {
            showFanSpeed();
            return;
        }
        const bool written = CommandFeedback::writeProperty(node, low->name(), 1, window());
        if (!self || !systemNode())
            return;
        if (!written) {
            showFanSpeed();
            return;
        }
    }
    if (speed) {
        // A refusal is told in a box (an event loop): look again afterwards.
        const QPointer<QSystemInformations> self(this);
        CommandFeedback::writeProperty(node, speed->name(), index, window());
        if (!self || !systemNode())
            return;
        // Show what the system now holds, not what was asked for.
        const NodeValue now = readSystemProperty(speed->handle(), speed->name(), speed->libraryType());
        if (now.status == ValueOk)
            speed->setValue(now);
    }
    showFanSpeed();
}

// ------------------------------------------------------------------- dialogs

bool QSystemInformations::readWord(const QString &name, int *word)
{
    ORVEHVNode *p = CommandFeedback::systemProperty(systemNode(), name);
    const NodeValue v = p ? readSystemProperty(p->handle(), p->name(), p->libraryType()) : NodeValue::failedRead();
    if (v.status != ValueOk) {
        // Editing a word that was not read would write guessed bits back.
        CommandFeedback::reportFailure(QStringLiteral("%0 could not be read from system %1; it was not changed.")
                                           .arg(name, systemName()),
                                       window());
        return false;
    }
    p->setValue(v);
    *word = v.value.toInt();
    return true;
}

void QSystemInformations::resetFlagsClicked()
{
    int word = 0;
    if (systemNode() && readWord(QStringLiteral("ResFlagCfg"), &word))
        track(new QResetFlagsDialog(window(), word, systemNode()));
}

void QSystemInformations::genSignCfgClicked()
{
    int word = 0;
    if (systemNode() && readWord(QStringLiteral("GenSignCfg"), &word))
        track(new QGenSignCfgDialog(window(), word, systemNode()));
}

void QSystemInformations::resetHVClicked()
{
    if (systemNode())
        track(new QHVResetDialog(window(), systemNode()));
}

void QSystemInformations::recoveryHVClicked()
{
    if (systemNode())
        track(new QHVRecoveryDialog(window(), systemNode()));
}

void QSystemInformations::sysInfoB8181Clicked()
{
    if (systemNode())
        track(new QSysInfoB8181Dialog(window(), systemNode()));
}

void QSystemInformations::sessionClicked()
{
    if (systemNode())
        InfoDialogs::openSessions(window(), systemNode());
}

void QSystemInformations::crateMapClicked()
{
    if (systemNode())
        InfoDialogs::openCrateMap(window(), systemNode(), m_systemType);
}

void QSystemInformations::techInfoClicked()
{
    if (systemNode())
        InfoDialogs::openTechInfo(window(), systemNode(), m_systemType);
}

void QSystemInformations::techInfoB8181Clicked()
{
    if (systemNode())
        InfoDialogs::openTechInfo(window(), systemNode(), 16);
}

void QSystemInformations::sysInfoClicked()
{
    if (systemNode())
        InfoDialogs::openSysInfo(window(), systemNode());
}

void QSystemInformations::webminClicked()
{
    if (systemNode())
        InfoDialogs::openWebPage(window(), systemNode(), m_connectionArgument);
}

// ------------------------------------------------------------- advanced

void QSystemInformations::scriptingClicked()
{
    // The main window is the parent: a run may outlive this panel, and the
    // dialog itself notices when its system goes.
    if (m_sys && systemNode())
        (new QScriptDialog(m_sys, window()))->show();
}

void QSystemInformations::loggingClicked()
{
    if (!systemNode() || (m_systemType != 2 && m_systemType != 3))
        return;
    // One at a time; a closed one is deleted.
    if (m_logDialog) {
        m_logDialog->raise();
        m_logDialog->activateWindow();
        return;
    }
    auto *dialog = new QLogDialog(window(), systemNode());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        // A running log follows the new choice at once.
        if (m_sys && m_sys->isLogStarted())
            m_sys->refreshLogFeed();
        setLogSelectionMade(true);
    });
    m_logDialog = dialog;
    track(dialog);
}

void QSystemInformations::setLogSelectionMade(bool made)
{
    for (QPushButton *b : {m_logOn, m_logOff}) {
        if (!b)
            continue;
        b->setEnabled(made);
        b->setToolTip(made ? QString() : QLatin1String(NoSelectionTip));
    }
    // A new selection does not stop logging: the pair keeps showing its state.
    applyLogLook();
}

void QSystemInformations::applyLogLook()
{
    if (m_logOn)
        m_logOn->setStyleSheet(QLatin1String(m_logLook == LogLook::On ? GreenStyle : ButtonStyle));
    if (m_logOff)
        m_logOff->setStyleSheet(QLatin1String(m_logLook == LogLook::Off ? GreenStyle : ButtonStyle));
}

void QSystemInformations::startLogClicked()
{
    m_logLook = LogLook::On;
    applyLogLook();
    emit startLog(true);
}

void QSystemInformations::stopLogClicked()
{
    m_logLook = LogLook::Off;
    applyLogLook();
    emit startLog(false);
}

void QSystemInformations::resizeSplitter()
{
    // The panel sizes itself to its contents inside the box.
    updateGeometry();
}
