#include "connect/QAutodetectDialog.h"

#include "connect/AutodetectScanner.h"
#include "device/OperatorMessage.h"

#include <QHBoxLayout>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const int kColumnWidths[5] = { 80, 100, 36, 47, 47 };
}

QAutodetectDialog::QAutodetectDialog(QWidget *parent)
    : QWidget(parent), m_scanner(new AutodetectScanner(this))
{
    setObjectName(QStringLiteral("QAutodetectDialog"));

    tableWidget = new QTableWidget(0, 5, this);
    tableWidget->setObjectName(QStringLiteral("tableWidget"));
    tableWidget->setHorizontalHeaderLabels({ QStringLiteral("Model"), QStringLiteral("IP Address"),
                                             QStringLiteral("S/N"), QStringLiteral("Fw rel"),
                                             QStringLiteral("TELMOS") });
    resetColumnWidths();
    tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tableWidget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget->setStyleSheet(QStringLiteral(
        "QTableWidget::item:selected { background-color: #bfff27; color: #383838; border: none; }"
        // the header of the picked row's columns: dark on light, as the rest of the header
        "QHeaderView::section:checked { color: #1d4f20; background: #d8f3a8; }"));
    tableWidget->setMinimumWidth(340);
    tableWidget->setFixedHeight(150);

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setFormat(QString());
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);

    helpButton = new QPushButton(this);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    const QIcon helpIcon(QStringLiteral(":/Resources/buttons/help.png"));
    if (helpIcon.availableSizes().isEmpty())
        helpButton->setText(QStringLiteral("?"));
    else
        helpButton->setIcon(helpIcon);
    helpButton->setAutoDefault(false);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(helpButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tableWidget);
    layout->addWidget(progressBar);
    layout->addLayout(buttons);

    connect(closeButton, &QPushButton::clicked, this, &QAutodetectDialog::closeButtonClicked);
    connect(tableWidget, &QTableWidget::itemDoubleClicked, this, &QAutodetectDialog::setIpField);
    connect(helpButton, &QPushButton::clicked, this, &QAutodetectDialog::showHelpMessageBox);
    connect(m_scanner, &AutodetectScanner::mainframeFound, this, &QAutodetectDialog::addMainframe);
    connect(m_scanner, &AutodetectScanner::finished, this, &QAutodetectDialog::scanFinished);
}

QAutodetectDialog::~QAutodetectDialog() = default;

void QAutodetectDialog::resetColumnWidths()
{
    // The usual widths, or the header's text where that is wider ("TELMOS").
    const QFontMetrics metrics = tableWidget->horizontalHeader()->fontMetrics();
    for (int c = 0; c < 5; ++c) {
        const QTableWidgetItem *header = tableWidget->horizontalHeaderItem(c);
        const int headerWidth = header ? metrics.horizontalAdvance(header->text()) + 16 : 0;
        tableWidget->setColumnWidth(c, qMax(kColumnWidths[c], headerWidth));
    }
}

bool QAutodetectDialog::isScanning() const
{
    return m_scanner->isRunning();
}

void QAutodetectDialog::setBusy(bool busy)
{
    if (busy) {
        progressBar->setRange(0, 0);   // busy indicator
        progressBar->setValue(0);
    } else {
        progressBar->setRange(0, 100);
        progressBar->setValue(100);
    }
}

void QAutodetectDialog::startButtonClicked()
{
    if (m_scanner->isRunning()) {
        m_scanner->stop();
        setBusy(false);
    } else {
        tableWidget->setRowCount(0);
        tableWidget->clearContents();
        resetColumnWidths();
        setBusy(true);
        m_scanner->start();
    }
    emit scanStateChanged(m_scanner->isRunning());
}

void QAutodetectDialog::scanFinished()
{
    setBusy(false);
    emit scanStateChanged(false);
}

void QAutodetectDialog::addMainframe(const QString &model, const QString &address,
                                     const QString &serial, const QString &firmware,
                                     const QString &telmos)
{
    if (!m_scanner->isRunning())
        return;   // arrived after a stop or a pick
    const int row = tableWidget->rowCount();
    tableWidget->insertRow(row);
    const QString texts[5] = { model, address, serial, firmware, telmos };
    for (int c = 0; c < 5; ++c) {
        auto *item = new QTableWidgetItem(texts[c]);
        item->setToolTip(texts[c]);
        tableWidget->setItem(row, c, item);
    }
    // Serial numbers and releases longer than their column would show as "33...":
    // a column grows to its longest text, never below its usual width.
    const QFontMetrics metrics = tableWidget->fontMetrics();
    for (int c = 0; c < 5; ++c) {
        const int needed = metrics.horizontalAdvance(texts[c]) + 14;
        if (needed > tableWidget->columnWidth(c))
            tableWidget->setColumnWidth(c, qMin(needed, 240));
    }
}

void QAutodetectDialog::setIpField(QTableWidgetItem *item)
{
    if (!item)
        return;
    const bool wasRunning = m_scanner->isRunning();
    m_scanner->stop();
    setBusy(false);
    const QTableWidgetItem *address = tableWidget->item(item->row(), 1);
    if (address)
        emit ipAddressPicked(address->text());
    tableWidget->clearSelection();
    tableWidget->setCurrentCell(-1, -1);
    if (wasRunning)
        emit scanStateChanged(false);
}

void QAutodetectDialog::showHelpMessageBox()
{
    showOperatorMessage({QMessageBox::Warning,
                         QStringLiteral("This feature works only with MF3300 / MF3500\ndevices with fw "
                                        "release from v 1.3.0.\n\nIMPORTANT NOTICE: mainframes "
                                        "outside the\nlocal network must have gateway set,in order\n"
                                        "to be discovered."),
                         QString(), {}},
                        this);
}

void QAutodetectDialog::closeButtonClicked()
{
    stopAndHide();
    emit closeRequested();
}

void QAutodetectDialog::stopAndHide()
{
    const bool wasRunning = m_scanner->isRunning();
    m_scanner->stop();
    setBusy(false);
    hide();
    if (wasRunning)
        emit scanStateChanged(false);
}
