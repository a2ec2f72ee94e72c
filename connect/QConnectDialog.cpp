#include "connect/QConnectDialog.h"

#include "connect/AddressFieldKeys.h"
#include "connect/ConnectionArguments.h"
#include "connect/QAutodetectDialog.h"
#include "connect/SystemConnector.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// An address field: up to three digits, 0..255 (QIntValidator would let 256..999
// through as "intermediate").
class AddressByteValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        return ConnectionArguments::isAddressByte(input) ? Acceptable : Invalid;
    }
};

const char *const kWarningMF = "WARNING: Credential are encrypted. Remote firmware >= 2.2.0 is required. ";
const char *const kWarningB8181 = "WARNING: Credential are encrypted. Remote firmware >= 1.10 is required. ";
const char *const kWarningInitial = "WARNING: Credential are encrypted. Remote firmware >= 0.10 is required. ";

QComboBox *numberCombo(QWidget *parent, int first, int last, int initialIndex)
{
    auto *c = new QComboBox(parent);
    for (int i = first; i <= last; ++i)
        c->addItem(QString::number(i));
    c->setCurrentIndex(initialIndex);
    return c;
}

void selectIndex(QComboBox *combo, int index)
{
    // A stored index outside the combo leaves it as it is.
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

void selectText(QComboBox *combo, int value)
{
    const int i = combo->findText(QString::number(value));
    if (i >= 0)
        combo->setCurrentIndex(i);
}

} // namespace

QConnectDialog::QConnectDialog(SystemConnector *connector, QWidget *parent, QWidget *centreOn,
                               int toolBarHeight)
    : QDialog(parent), m_connector(connector), m_centreOn(centreOn), m_toolBarHeight(toolBarHeight)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Connect to System"));
    setWindowIcon(QIcon(QStringLiteral(":Resources/buttons/connect-icon.png")));
    setObjectName(QStringLiteral("QConnectDialog"));
    buildForm();

    connect(editCustName, &QLineEdit::textChanged, this, &QConnectDialog::setCustomName);
    connect(editCustName, &QLineEdit::textEdited, this, [this] { m_nameTyped = true; });
    connect(comboPSType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &QConnectDialog::setConnTypeItems);
    connect(comboConnType, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &QConnectDialog::selectConnectionParameterToShow);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    // accept() has hidden the dialog already. Connecting runs progress dialogs
    // that process events, so the dialog must not be deleted until the last
    // system call has returned: delete it only afterwards.
    connect(this, &QDialog::accepted, this, [this]() {
        connectToAddress();
        if (testAttribute(Qt::WA_DeleteOnClose))
            deleteLater();
    });
    connect(autodetectButton, &QPushButton::clicked, this, &QConnectDialog::showAutodetectDialog);
    connect(m_autodetect, &QAutodetectDialog::ipAddressPicked, this, &QConnectDialog::setIpAddress);
    connect(m_autodetect, &QAutodetectDialog::scanStateChanged, this, [this](bool) {
        refreshAutodetectButton();
        enableControls();
    });
    connect(m_autodetect, &QAutodetectDialog::closeRequested, this, [this]() {
        refreshAutodetectButton();
        enableControls();
    });

    // Last custom name and type; the type then loads its own values.
    ConnectionSettings::loadNameAndType(&m_lastName, &m_lastType);
    {
        const QSignalBlocker block(comboPSType);
        selectIndex(comboPSType, m_lastType);
    }
    m_lastType = comboPSType->currentIndex();  // an unknown stored type leaves the first
    setConnTypeItems();
    checkFields();
    adjustSize();
    centre();
}

QConnectDialog::~QConnectDialog() = default;

void QConnectDialog::buildForm()
{
    auto *form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Power Supply Name"), this), 0, 0);
    editCustName = new QLineEdit(this);
    editCustName->setObjectName(QStringLiteral("editCustName"));
    editCustName->setPlaceholderText(QStringLiteral("insert custom name here.."));
    form->addWidget(editCustName, 0, 1);

    form->addWidget(new QLabel(QStringLiteral("Power Supply Type"), this), 1, 0);
    comboPSType = new QComboBox(this);
    comboPSType->setObjectName(QStringLiteral("comboPSType"));
    comboPSType->addItems({ QStringLiteral("MF3300 / MF3500"), QStringLiteral("VME HV"),
                            QStringLiteral("NIM / DESKTOP HV"), QStringLiteral("DK31XX HV"),
                            QStringLiteral("DK31XXE HV"), QStringLiteral("BRISK HV"),
                            QStringLiteral("POWER SUPPLY BOXES"), QStringLiteral("B8181"),
                            QStringLiteral("PLEX") });
    form->addWidget(comboPSType, 1, 1);

    label_3 = new QLabel(QStringLiteral("Connection Type"), this);
    label_3->setObjectName(QStringLiteral("label_3"));
    form->addWidget(label_3, 2, 0, 1, 1);
    comboConnType = new QComboBox(this);
    comboConnType->setObjectName(QStringLiteral("comboConnType"));
    form->addWidget(comboConnType, 2, 1);
    form->setColumnStretch(1, 1);

    connParamsGB = new QGroupBox(QStringLiteral("Connection Parameters"), this);
    connParamsGB->setObjectName(QStringLiteral("connParamsGB"));
    buildParameterWidgets();

    l_warning = new QLabel(QString::fromLatin1(kWarningInitial), this);
    l_warning->setObjectName(QStringLiteral("l_warning"));
    l_warning->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    autodetectButton = new QPushButton(QStringLiteral("Autodetect"), this);
    autodetectButton->setObjectName(QStringLiteral("autodetectButton"));
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    // Return is handled by keyPressEvent alone: it may accept only while OK is enabled.
    for (QPushButton *b : { autodetectButton, cancelButton, okButton }) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(autodetectButton);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);

    m_autodetect = new QAutodetectDialog(this);
    m_autodetect->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(form);
    layout->addWidget(connParamsGB);
    layout->addWidget(l_warning);
    layout->addLayout(buttons);
    layout->addWidget(m_autodetect);
}

void QConnectDialog::buildParameterWidgets()
{
    auto *params = new QVBoxLayout(connParamsGB);

    // IP address: four fields serving every combination that needs an address.
    m_ipWidget = new QWidget(connParamsGB);
    auto *ipLayout = new QHBoxLayout(m_ipWidget);
    ipLayout->setContentsMargins(0, 0, 0, 0);
    ipLayout->addWidget(new QLabel(QStringLiteral("IP Address"), m_ipWidget));
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            ipLayout->addWidget(new QLabel(QStringLiteral("."), m_ipWidget));
        m_ip[i] = new QLineEdit(m_ipWidget);
        m_ip[i]->setObjectName(QStringLiteral("ipAddr"));
        m_ip[i]->setFixedWidth(50);
        m_ip[i]->setMaxLength(3);
        m_ip[i]->setValidator(new AddressByteValidator(m_ip[i]));
        ipLayout->addWidget(m_ip[i]);
        connect(m_ip[i], &QLineEdit::textChanged, this, &QConnectDialog::checkFields);
    }
    new AddressFieldKeys({m_ip[0], m_ip[1], m_ip[2], m_ip[3]}, this);
    ipLayout->addStretch(1);
    params->addWidget(m_ipWidget);

    m_loginWidget = new QWidget(connParamsGB);
    auto *login = new QHBoxLayout(m_loginWidget);
    login->setContentsMargins(0, 0, 0, 0);
    login->addWidget(new QLabel(QStringLiteral("Username"), m_loginWidget));
    m_userName = new QLineEdit(m_loginWidget);
    m_userName->setObjectName(QStringLiteral("Username"));
    login->addWidget(m_userName);
    login->addWidget(new QLabel(QStringLiteral("Password"), m_loginWidget));
    m_password = new QLineEdit(m_loginWidget);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);
    login->addWidget(m_password);
    connect(m_userName, &QLineEdit::textChanged, this, &QConnectDialog::checkFields);
    connect(m_password, &QLineEdit::textChanged, this, &QConnectDialog::checkFields);
    params->addWidget(m_loginWidget);

    m_tcpLBusWidget = new QWidget(connParamsGB);
    auto *lbus = new QHBoxLayout(m_tcpLBusWidget);
    lbus->setContentsMargins(0, 0, 0, 0);
    lbus->addWidget(new QLabel(QStringLiteral("LBus Addr"), m_tcpLBusWidget));
    m_tcpLBus = numberCombo(m_tcpLBusWidget, 0, 31, 1);
    m_tcpLBus->setObjectName(QStringLiteral("tcpLBusAddr"));
    lbus->addWidget(m_tcpLBus);
    lbus->addStretch(1);
    connect(m_tcpLBus, qOverload<int>(&QComboBox::currentIndexChanged), this, &QConnectDialog::checkFields);
    params->addWidget(m_tcpLBusWidget);

    // Serial link (VCP USB).
    m_serialGroup = new QGroupBox(connParamsGB);
    m_serialGroup->setObjectName(QStringLiteral("serialGroup"));
    auto *serial = new QGridLayout(m_serialGroup);
    m_port = new QComboBox(m_serialGroup);
    m_port->setObjectName(QStringLiteral("Port"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i <= 21; ++i)
        m_port->addItem(QStringLiteral("%1%2").arg(QStringLiteral("COM")).arg(i));
    m_port->setCurrentIndex(0);
    m_baud = new QComboBox(m_serialGroup);
    m_baud->setObjectName(QStringLiteral("Baud"));
    for (int b = 300; b < 116000; b *= 2) {
        if (b == 76800)
            b = 57600;   // ... and doubling it gives 115200
        m_baud->addItem(QString::number(b));
    }
    m_baud->setCurrentIndex(0);
    m_data = numberCombo(m_serialGroup, 5, 8, 3);
    m_data->setObjectName(QStringLiteral("Data"));
    m_stop = new QComboBox(m_serialGroup);
    m_stop->setObjectName(QStringLiteral("Stop"));
    m_stop->addItems({ QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2") });
    m_parity = new QComboBox(m_serialGroup);
    m_parity->setObjectName(QStringLiteral("Parity"));
    m_parity->addItems({ QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd"),
                         QStringLiteral("Mark"), QStringLiteral("Space") });
    m_serialLBus = numberCombo(m_serialGroup, 0, 31, 0);
    m_serialLBus->setObjectName(QStringLiteral("serialLBusAddr"));
    m_serialLBusLabel = new QLabel(QStringLiteral("LBus Addr"), m_serialGroup);
    const QPair<const char *, QWidget *> serialFields[] = {
        { "Port", m_port }, { "Baud", m_baud }, { "Data", m_data },
        { "Stop", m_stop }, { "Parity", m_parity }, { nullptr, m_serialLBus }
    };
    int column = 0;
    for (const auto &f : serialFields) {
        QLabel *label = f.first ? new QLabel(QString::fromLatin1(f.first), m_serialGroup) : m_serialLBusLabel;
        serial->addWidget(label, 0, column);
        serial->addWidget(f.second, 1, column);
        ++column;
    }
    connect(m_port, &QComboBox::editTextChanged, this, &QConnectDialog::checkFields);
    for (QComboBox *c : { m_port, m_baud, m_data, m_stop, m_parity, m_serialLBus })
        connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this, &QConnectDialog::checkFields);
    params->addWidget(m_serialGroup);

    // Board rows, one container per kind.
    for (int k = 0; k < 4; ++k) {
        m_rowsWidget[k] = new QWidget(connParamsGB);
        m_rowsLayout[k] = new QVBoxLayout(m_rowsWidget[k]);
        m_rowsLayout[k]->setContentsMargins(0, 0, 0, 0);
        params->addWidget(m_rowsWidget[k]);
        addRow(RowKind(k));
    }
}

QVector<QConnectDialog::BoardRow> &QConnectDialog::rowsOf(RowKind kind)
{
    switch (kind) {
    case OptRow: return m_optRows;
    case EthRow: return m_ethRows;
    case PidRow: return m_pidRows;
    case J5910Row: break;
    }
    return m_j5910Rows;
}

QVBoxLayout *QConnectDialog::rowLayoutOf(RowKind kind)
{
    return m_rowsLayout[kind];
}

void QConnectDialog::addRow(RowKind kind)
{
    QVector<BoardRow> &rows = rowsOf(kind);
    const bool first = rows.isEmpty();
    BoardRow r;
    static const char *const names[] = { "optWidget", "ethWidget", "PIDWidget", "J5910Widget" };
    r.widget = new QWidget(m_rowsWidget[kind]);
    r.widget->setObjectName(QString::fromLatin1(names[kind]));
    auto *h = new QHBoxLayout(r.widget);
    h->setContentsMargins(0, 0, 0, 0);

    r.name = new QLineEdit(r.widget);
    r.name->setObjectName(QStringLiteral("BoardName"));
    r.name->setPlaceholderText(QStringLiteral("Board name"));
    r.name->setMinimumWidth(90);
    h->addWidget(r.name);

    auto spin = [&](int max) {
        auto *s = new QSpinBox(r.widget);
        s->setRange(0, max);
        connect(s, qOverload<int>(&QSpinBox::valueChanged), this, &QConnectDialog::checkFields);
        h->addWidget(s);
        return s;
    };
    auto pid = [&]() {
        r.pidLabel = new QLabel(QStringLiteral("PID"), r.widget);
        h->addWidget(r.pidLabel);
        r.pid = new QLineEdit(r.widget);
        r.pid->setObjectName(QStringLiteral("PID"));
        r.pid->setPlaceholderText(QStringLiteral("Device PID"));
        r.pid->setValidator(new QIntValidator(0, 999999, r.pid));
        r.pid->setMaxLength(6);
        r.pid->setFixedWidth(80);
        connect(r.pid, &QLineEdit::textChanged, this, &QConnectDialog::checkFields);
        h->addWidget(r.pid);
    };

    switch (kind) {
    case OptRow:
        r.linkLabel = new QLabel(QStringLiteral("USB / Optical Link Connection"), r.widget);
        h->addWidget(r.linkLabel);
        r.opt1 = spin(9);
        r.opt1->setObjectName(QStringLiteral("opt1"));
        r.opt1->setToolTip(QStringLiteral("Link number"));
        r.opt2 = spin(8);
        r.opt2->setObjectName(QStringLiteral("opt2"));
        r.opt2->setToolTip(QStringLiteral("Node on the optical chain"));
        break;
    case EthRow:
        r.linkLabel = new QLabel(QStringLiteral("IP Address"), r.widget);
        h->addWidget(r.linkLabel);
        break;
    case PidRow:
        if (first)
            pid();
        break;
    case J5910Row:
        r.opt1 = spin(9);
        r.opt1->setObjectName(QStringLiteral("opt1"));
        r.opt1->setToolTip(QStringLiteral("Link number on the adapter"));
        pid();
        break;
    }
    r.hexLabel = new QLabel(QStringLiteral("0x"), r.widget);
    h->addWidget(r.hexLabel);
    r.baseAddress = new QLineEdit(r.widget);
    r.baseAddress->setObjectName(QStringLiteral("BaseAddress"));
    r.baseAddress->setMaxLength(8);
    r.baseAddress->setFixedWidth(80);
    r.baseAddress->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9a-fA-FxX]{0,8}")), r.baseAddress));
    connect(r.baseAddress, &QLineEdit::textChanged, this, &QConnectDialog::checkFields);
    h->addWidget(r.baseAddress);
    h->addStretch(1);

    r.minus = new QPushButton(QStringLiteral("-"), r.widget);
    r.minus->setObjectName(QStringLiteral("minus"));
    r.plus = new QPushButton(QStringLiteral("+"), r.widget);
    r.plus->setObjectName(QStringLiteral("plus"));
    for (QPushButton *b : { r.minus, r.plus }) {
        b->setAutoDefault(false);
        b->setFixedWidth(28);
        b->setProperty("compact", true);
        h->addWidget(b);
    }
    switch (kind) {
    case OptRow:
        connect(r.plus, &QPushButton::clicked, this, &QConnectDialog::addNewVMEHVConnectionParametersWidget);
        connect(r.minus, &QPushButton::clicked, this, &QConnectDialog::removeLastVMEHVConnectionParametersWidget);
        break;
    case EthRow:
        connect(r.plus, &QPushButton::clicked, this, &QConnectDialog::addNewVMEHVETHConnectionParametersWidget);
        connect(r.minus, &QPushButton::clicked, this, &QConnectDialog::removeLastVMEHVETHConnectionParametersWidget);
        break;
    case PidRow:
        connect(r.plus, &QPushButton::clicked, this, &QConnectDialog::addNewVMEHVPIDConnectionParametersWidget);
        connect(r.minus, &QPushButton::clicked, this, &QConnectDialog::removeLastVMEHVPIDConnectionParametersWidget);
        break;
    case J5910Row:
        connect(r.plus, &QPushButton::clicked, this, &QConnectDialog::addNewVMEHVJ5910ConnectionParametersWidget);
        connect(r.minus, &QPushButton::clicked, this, &QConnectDialog::removeLastVMEHVJ5910ConnectionParametersWidget);
        break;
    }
    rowLayoutOf(kind)->addWidget(r.widget);
    rows.append(r);
    updateRowFieldVisibility();
}

void QConnectDialog::removeLastRow(RowKind kind)
{
    QVector<BoardRow> &rows = rowsOf(kind);
    if (rows.size() <= 1)
        return;   // the first row stays
    BoardRow r = rows.takeLast();
    // The clicked "-" may be in this very row: delete it once the click is done.
    r.widget->hide();
    r.widget->deleteLater();
    updateRowFieldVisibility();
}

void QConnectDialog::resetRows(RowKind kind, const QVector<BoardRowValues> &values)
{
    while (rowsOf(kind).size() > 1)
        removeLastRow(kind);
    const int n = qMax(1, int(values.size()));
    while (rowsOf(kind).size() < n)
        addRow(kind);
    QVector<BoardRow> &rows = rowsOf(kind);
    for (int i = 0; i < rows.size(); ++i) {
        const BoardRowValues v = i < values.size() ? values.at(i) : BoardRowValues();
        BoardRow &r = rows[i];
        r.name->setText(v.name);
        if (r.opt1)
            r.opt1->setValue(v.opt1);
        if (r.opt2)
            r.opt2->setValue(v.opt2);
        if (r.pid)
            r.pid->setText(v.pid);
        r.baseAddress->setText(v.baseAddress);
    }
}

QVector<BoardRowValues> QConnectDialog::rowValues(RowKind kind) const
{
    const QVector<BoardRow> &rows = const_cast<QConnectDialog *>(this)->rowsOf(kind);
    QVector<BoardRowValues> out;
    for (const BoardRow &r : rows) {
        BoardRowValues v;
        v.name = r.name->text();
        v.opt1 = r.opt1 ? r.opt1->value() : 0;
        v.opt2 = r.opt2 ? r.opt2->value() : 0;
        v.pid = r.pid ? r.pid->text() : QString();
        v.baseAddress = r.baseAddress->text();
        out.append(v);
    }
    return out;
}

void QConnectDialog::updateRowFieldVisibility()
{
    const int type = comboPSType ? comboPSType->currentIndex() : 0;
    const int link = comboConnType ? comboConnType->currentIndex() : 0;
    const bool dk31 = type == PsType::Dk31xx;
    const bool optical = (type == PsType::VmeHv && link == VmeLink::OpticalLink)
        || (dk31 && link == Dk31Link::OpticalLink);
    for (int k = 0; k < 4; ++k) {
        QVector<BoardRow> &rows = rowsOf(RowKind(k));
        for (int i = 0; i < rows.size(); ++i) {
            BoardRow &r = rows[i];
            const bool last = i == rows.size() - 1;
            bool plus = last;
            bool minus = i > 0;
            bool showBase = true;
            bool showName = true;
            bool showRow = true;
            if (k == OptRow) {
                r.opt2->setVisible(optical);   // USB has no node number
                showBase = !dk31;              // DK31XX units have a fixed address
            } else if (k == J5910Row && dk31) {
                // One DK31XX unit behind the adapter: only its PID.
                showRow = i == 0;
                showName = false;
                showBase = false;
                plus = minus = false;
                r.opt1->setVisible(false);
            } else if (k == J5910Row) {
                r.opt1->setVisible(true);
            }
            r.widget->setVisible(showRow);
            r.name->setVisible(showName);
            r.hexLabel->setVisible(showBase);
            r.baseAddress->setVisible(showBase);
            r.plus->setVisible(plus);
            r.minus->setVisible(minus);
        }
    }
}

void QConnectDialog::addNewVMEHVConnectionParametersWidget() { addRow(OptRow); checkFields(); }
void QConnectDialog::addNewVMEHVETHConnectionParametersWidget() { addRow(EthRow); checkFields(); }
void QConnectDialog::addNewVMEHVPIDConnectionParametersWidget() { addRow(PidRow); checkFields(); }
void QConnectDialog::addNewVMEHVJ5910ConnectionParametersWidget() { addRow(J5910Row); checkFields(); }
void QConnectDialog::removeLastVMEHVConnectionParametersWidget() { removeLastRow(OptRow); checkFields(); }
void QConnectDialog::removeLastVMEHVETHConnectionParametersWidget() { removeLastRow(EthRow); checkFields(); }
void QConnectDialog::removeLastVMEHVPIDConnectionParametersWidget() { removeLastRow(PidRow); checkFields(); }
void QConnectDialog::removeLastVMEHVJ5910ConnectionParametersWidget() { removeLastRow(J5910Row); checkFields(); }

void QConnectDialog::setCustomName()
{
    m_customName = editCustName->text();
}

void QConnectDialog::setConnTypeItems()
{
    const int type = comboPSType->currentIndex();
    if (!m_nameTyped) {
        // Offered, selected: typing replaces it.
        editCustName->setText(type == m_lastType ? m_lastName : ConnectionArguments::offeredName(type));
        editCustName->selectAll();
    }
    {
        const QSignalBlocker block(comboConnType);
        comboConnType->clear();
        comboConnType->show();
        connParamsGB->show();
        label_3->setText(QStringLiteral("Connection Type"));
        QStringList links;
        bool autodetect = false;
        const char *warning = nullptr;
        switch (type) {
        case PsType::MF3300:
            links = { QStringLiteral("TCP/IP") };
            autodetect = true;
            warning = kWarningMF;
            break;
        case PsType::VmeHv:
            links = { QStringLiteral("USB"), QStringLiteral("PCI OPTICAL LINK"), QStringLiteral("USB3"),
                      QStringLiteral("ETHERNET"), QStringLiteral("J5910") };
            break;
        case PsType::NimDesktop:
        case PsType::Dk31xxE:
        case PsType::Brisk:
            links = { QStringLiteral("TCP/IP"), QStringLiteral("VCP USB") };
            break;
        case PsType::Dk31xx:
            links = { QStringLiteral("USB"), QStringLiteral("PCI OPTICAL LINK"), QStringLiteral("J5910") };
            break;
        case PsType::PsBoxes:
            comboConnType->hide();
            connParamsGB->hide();
            label_3->setText(QStringLiteral("Connection Type:\t          LOCAL SERVICE "));
            break;
        case PsType::B8181:
            links = { QStringLiteral("TCP/IP") };
            warning = kWarningB8181;
            break;
        case PsType::Plex:
            links = { QStringLiteral("TCP/IP") };
            break;
        }
        comboConnType->addItems(links);
        autodetectButton->setVisible(autodetect);
        l_warning->setVisible(warning != nullptr);
        if (warning)
            l_warning->setText(QString::fromLatin1(warning));
    }
    m_autodetect->stopAndHide();
    autodetectButton->setText(QStringLiteral("Autodetect"));
    enableControls();
    {
        const QSignalBlocker block(comboConnType);
        loadTypeValues();
    }
    selectConnectionParameterToShow();
    checkFields();
}

void QConnectDialog::loadTypeValues()
{
    applyLoaded(ConnectionSettings::loadTypeValues(comboPSType->currentIndex()));
}

void QConnectDialog::applyLoaded(const ConnectionValues &v)
{
    m_loading = true;
    selectIndex(comboConnType, v.linkIndex);
    auto applyIp = [this](const QString &dotted) {
        const QStringList parts = dotted.split(QLatin1Char('.'));
        for (int i = 0; i < 4; ++i) {
            const QString p = i < parts.size() ? parts.at(i) : QString();
            m_ip[i]->setText(ConnectionArguments::isAddressByte(p) ? p : QString());
        }
    };
    auto applySerial = [this](const ConnectionValues &s) {
        // Nothing stored yet: the port keeps its first item rather than going blank.
        if (!s.commPort.isEmpty()) {
            const int portIndex = m_port->findText(s.commPort);
            if (portIndex >= 0)
                m_port->setCurrentIndex(portIndex);
            else
                m_port->setEditText(s.commPort);
        }
        selectText(m_baud, s.baudRate);
        selectText(m_data, s.dataBits);
        selectIndex(m_stop, s.stopIndex);
        selectIndex(m_parity, s.parityIndex);
        selectIndex(m_serialLBus, s.serialLBus);
        selectIndex(m_tcpLBus, s.tcpLBus);
    };
    m_password->clear();
    switch (v.psType) {
    case PsType::MF3300:
    case PsType::B8181:
        applyIp(v.ipAddress);
        m_userName->setText(v.userName);
        break;
    case PsType::VmeHv:
    case PsType::Dk31xx:
        if (v.psType == PsType::VmeHv)
            applyIp(v.ipAddress);
        resetRows(OptRow, v.optRows);
        resetRows(EthRow, v.ethRows);
        resetRows(PidRow, v.pidRows);
        resetRows(J5910Row, v.j5910Rows);
        break;
    case PsType::NimDesktop:
    case PsType::Dk31xxE:
    case PsType::Brisk:
        applyIp(v.ipAddress);
        applySerial(v);
        break;
    case PsType::Plex:
        applyIp(v.ipAddress);
        break;
    default:
        break;
    }
    m_loading = false;
}

void QConnectDialog::selectConnectionParameterToShow()
{
    const int type = comboPSType->currentIndex();
    const int link = comboConnType->currentIndex();
    bool ip = false, login = false, tcpLBus = false, serial = false, serialLBus = true;
    bool rows[4] = { false, false, false, false };
    switch (type) {
    case PsType::MF3300:
    case PsType::B8181:
        ip = login = true;
        break;
    case PsType::Plex:
        ip = true;
        break;
    case PsType::VmeHv:
        if (link == VmeLink::Usb || link == VmeLink::OpticalLink)
            rows[OptRow] = true;
        else if (link == VmeLink::Usb3)
            rows[PidRow] = true;
        else if (link == VmeLink::Ethernet)
            ip = rows[EthRow] = true;
        else if (link == VmeLink::J5910)
            rows[J5910Row] = true;
        break;
    case PsType::Dk31xx:
        if (link == Dk31Link::Usb || link == Dk31Link::OpticalLink)
            rows[OptRow] = true;
        else if (link == Dk31Link::J5910)
            rows[J5910Row] = true;
        break;
    case PsType::NimDesktop:
    case PsType::Dk31xxE:
    case PsType::Brisk:
        if (link == SerialLink::Tcp) {
            ip = true;
            tcpLBus = type == PsType::NimDesktop;
        } else if (link == SerialLink::VcpUsb) {
            serial = true;
            serialLBus = type != PsType::Dk31xxE;   // its argument has no LBus field
        }
        break;
    default:
        break;
    }
    m_ipWidget->setVisible(ip);
    m_loginWidget->setVisible(login);
    m_tcpLBusWidget->setVisible(tcpLBus);
    m_serialGroup->setVisible(serial);
    m_serialLBus->setVisible(serialLBus);
    m_serialLBusLabel->setVisible(serialLBus);
    for (int k = 0; k < 4; ++k)
        m_rowsWidget[k]->setVisible(rows[k]);
    updateRowFieldVisibility();
    checkFields();
}

ConnectionValues QConnectDialog::currentValues() const
{
    ConnectionValues v;
    v.psType = comboPSType->currentIndex();
    v.linkIndex = comboConnType->currentIndex();
    QStringList parts;
    for (QLineEdit *e : m_ip)
        parts.append(e->text());
    v.ipAddress = parts.join(QLatin1Char('.'));
    // Only the types with a login form pass a login: credentials typed for
    // another type must not travel to this system.
    if (v.psType == PsType::MF3300 || v.psType == PsType::B8181) {
        v.userName = m_userName->text();
        v.password = m_password->text();
    }
    v.tcpLBus = m_tcpLBus->currentIndex();
    v.commPort = m_port->currentText();
    v.baudRate = m_baud->currentIndex() < 0 ? -1 : m_baud->currentText().toInt();
    v.dataBits = m_data->currentIndex() < 0 ? -1 : m_data->currentText().toInt();
    v.stopIndex = m_stop->currentIndex();
    v.parityIndex = m_parity->currentIndex();
    v.serialLBus = m_serialLBus->currentIndex();
    v.optRows = rowValues(OptRow);
    v.ethRows = rowValues(EthRow);
    v.pidRows = rowValues(PidRow);
    v.j5910Rows = rowValues(J5910Row);
    return v;
}

void QConnectDialog::checkFields()
{
    if (m_loading || !okButton || !m_autodetect)
        return;
    okButton->setEnabled(false);
    if (m_autodetect->isScanning())
        return;
    okButton->setEnabled(ConnectionArguments::isComplete(currentValues()));
}

void QConnectDialog::connectToAddress()
{
    if (!m_connector)
        return;
    const ConnectionValues values = currentValues();
    if (!ConnectionArguments::isComplete(values))
        return;
    ConnectionSettings::saveTypeValues(values);
    // Only locals from here: the dialog is closed and may go away while the
    // main window connects (it runs progress dialogs).
    SystemConnector *const connector = m_connector;
    const QString name = m_customName;
    const QVector<ConnectionRequest> calls = ConnectionArguments::requests(values, name);
    for (const ConnectionRequest &c : calls) {
        // A failed row is reported by the main window; the next rows still go.
        connector->connectToSystem(c.systemType, c.linkType, c.argument, c.displayName, c.userName,
                                   c.password);
    }
    ConnectionSettings::saveNameAndType(name, values.psType);
}

void QConnectDialog::showAutodetectDialog()
{
    if (m_autodetect->isHidden())
        m_autodetect->show();
    m_autodetect->startButtonClicked();
}

void QConnectDialog::setIpAddress(const QString &address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        const QString p = i < parts.size() ? parts.at(i) : QString();
        m_ip[i]->setText(ConnectionArguments::isAddressByte(p) ? p : QString());
    }
    checkFields();
}

void QConnectDialog::setScanControls(bool scanning)
{
    comboPSType->setEnabled(!scanning);
    comboConnType->setEnabled(!scanning);
}

void QConnectDialog::enableControls()
{
    setScanControls(m_autodetect->isScanning());
    checkFields();
}

void QConnectDialog::refreshAutodetectButton()
{
    autodetectButton->setText(m_autodetect->isScanning() ? QStringLiteral("Stop")
                                                         : QStringLiteral("Autodetect"));
}

void QConnectDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (okButton->isEnabled())
            accept();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void QConnectDialog::centre()
{
    if (!m_centreOn)
        return;
    const QPoint centre = m_centreOn->mapToGlobal(m_centreOn->rect().center());
    move(centre.x() - width() / 2, centre.y() - height() / 2 + m_toolBarHeight);
}
