#include "panels/QSysInfoDialog.h"

#include "panels/InfoTexts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const char kValueStyle[] = "color: #35a912; font: bold;";
}

QSysInfoDialog::QSysInfoDialog(QWidget *parent, const QString &cpuLoad, const QString &memoryStatus,
                               const QString &cmdQueueStatus)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("System Informations"));
    auto *layout = new QVBoxLayout(this);

    auto group = [&](const QString &title, const QStringList &labels, const QStringList &values) {
        auto *box = new QGroupBox(title, this);
        auto *form = new QFormLayout(box);
        for (int i = 0; i < labels.size(); ++i) {
            auto *value = new QLabel(values.value(i), box);
            value->setStyleSheet(QLatin1String(kValueStyle));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(labels.at(i), value);
            m_values << value;
        }
        layout->addWidget(box);
        return box;
    };
    group(QStringLiteral("CPU Load"), {QStringLiteral("1 min:"), QStringLiteral("5 min:"), QStringLiteral("15 min:")},
          InfoTexts::cpuLoadFields(cpuLoad));
    group(QStringLiteral("Memory Status"),
          {QStringLiteral("Total:"), QStringLiteral("Free:"), QStringLiteral("Used:"), QStringLiteral("Buffers:")},
          InfoTexts::memoryStatusFields(memoryStatus));
    const QString queue = InfoTexts::shownField(cmdQueueStatus.trimmed());
    QGroupBox *queueBox = group(QStringLiteral("Command Queue"), {QStringLiteral("Command Queue Status:")}, {queue});
    queueBox->setVisible(!queue.isEmpty());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(300);
}

QStringList QSysInfoDialog::shownValues() const
{
    QStringList out;
    for (const QLabel *l : m_values)
        out << l->text();
    return out;
}
