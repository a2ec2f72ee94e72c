#include "panels/QHVOutputDialog.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "panels/CommandFeedback.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

const char *const QHVOutputDialog::ButtonStyle =
    "QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7dadcb, stop:1 #4a5c62);"
    " color: white; font: bold; border: 1px solid #2f3b40; border-radius: 4px; padding: 6px 12px; }"
    "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #7fec2f, stop:1 #439847); }"
    "QPushButton:disabled { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 lightgrey, stop:1 grey);"
    " color: #505050; }";

namespace {
const char *const RecordName = "RstRecFlag";
}

QHVOutputDialog::QHVOutputDialog(QWidget *parent, ORVEHVNode *systemNode, const QString &title,
                                 const QString &buttonPrefix, int firstBit)
    : QDialog(parent),
      m_systemNode(systemNode),
      m_flag(CommandFeedback::systemProperty(systemNode, QLatin1String(RecordName))),
      m_firstBit(firstBit)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto *grid = new QGridLayout;
    grid->setSpacing(8);
    for (int n = 0; n < 6; ++n) {
        auto *b = new QPushButton(QStringLiteral("%0 %1").arg(buttonPrefix).arg(n), this);
        b->setStyleSheet(QLatin1String(ButtonStyle));
        b->setMinimumWidth(130);
        b->setEnabled(m_flag != nullptr);
        if (!m_flag)
            b->setToolTip(QStringLiteral("This system has no %0 register.").arg(QLatin1String(RecordName)));
        connect(b, &QPushButton::clicked, this, &QHVOutputDialog::buttonClick);
        grid->addWidget(b, n / 2, n % 2);
        m_buttons.append(b);
    }
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setMinimumWidth(80);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_ok);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 10);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(bottom);
}

int QHVOutputDialog::valueFor(const QString &buttonText) const
{
    if (buttonText.isEmpty())
        return -1;
    const int n = buttonText.back().digitValue();
    if (n < 0 || n > 5)
        return -1;
    return 1 << (n + m_firstBit);
}

void QHVOutputDialog::buttonClick()
{
    auto *b = qobject_cast<QPushButton *>(sender());
    if (!b || !m_flag)
        return;
    const int value = valueFor(b->text());
    if (value < 0)
        return;
    // Resetting or recovering an output changes it: asked first, as every
    // command that changes outputs is.
    // The question runs an event loop in which the panel, and this dialog
    // with it, may be deleted (the system disconnected).
    const QPointer<QHVOutputDialog> self(this);
    const bool yes = askOperator(
        QStringLiteral("You are sending %0 signal to system %1.").arg(b->text(), m_systemNode->name()), this);
    if (!self || !yes)
        return;
    CommandFeedback::writeProperty(m_systemNode, QLatin1String(RecordName), value, this);
}

QHVResetDialog::QHVResetDialog(QWidget *parent, ORVEHVNode *systemNode)
    : QHVOutputDialog(parent, systemNode, QStringLiteral("HW Reset"), QStringLiteral("HV Reset"), 8)
{
}

QHVRecoveryDialog::QHVRecoveryDialog(QWidget *parent, ORVEHVNode *systemNode)
    : QHVOutputDialog(parent, systemNode, QStringLiteral("HW Recovery"), QStringLiteral("HV Recovery"), 0)
{
}
