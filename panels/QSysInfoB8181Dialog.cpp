#include "panels/QSysInfoB8181Dialog.h"

#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "panels/CommandFeedback.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *const LimitName = "ACDCIlim";
const char *const ValueStyle = "color: #35a912; font: bold;";

// The property's current value as the system reports it now.
NodeValue readNow(ORVEHVNode *systemNode, const QString &name)
{
    ORVEHVNode *p = CommandFeedback::systemProperty(systemNode, name);
    if (!p)
        return NodeValue::failedRead();
    NodeValue v = readSystemProperty(p->handle(), p->name(), p->libraryType());
    if (v.status == ValueOk)
        p->setValue(v);
    return v;
}
} // namespace

QSysInfoB8181Dialog::QSysInfoB8181Dialog(QWidget *parent, ORVEHVNode *systemNode)
    : QDialog(parent), m_systemNode(systemNode)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("System Information"));
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(8);
    struct Row { const char *label, *property, *unit; };
    const Row rows[] = {{"Hi Frequency", "HighFreq", "Hz"},
                        {"Low Frequency", "LowFreq", "Hz"},
                        {"Reset Period", "RstPeriod", "us"},
                        {"Recovery Period", "RecPeriod", "us"}};
    int r = 0;
    for (const Row &row : rows) {
        const NodeValue v = readNow(systemNode, QLatin1String(row.property));
        auto *value = new QLabel(v.status == ValueOk ? v.value.toString() : QStringLiteral("not readable"), this);
        value->setStyleSheet(QLatin1String(ValueStyle));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(new QLabel(QLatin1String(row.label), this), r, 0);
        grid->addWidget(value, r, 1);
        grid->addWidget(new QLabel(QLatin1String(row.unit), this), r, 2);
        m_values.insert(QLatin1String(row.property), value);
        ++r;
    }
    m_limit = new QComboBox(this);
    m_limit->addItems({QStringLiteral("1.1"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("7")});
    const NodeValue limit = readNow(systemNode, QLatin1String(LimitName));
    bool ok = false;
    const int index = limit.value.toInt(&ok);
    if (limit.status == ValueOk && ok && index >= 0 && index < m_limit->count()) {
        m_limitRead = index;
        m_limit->setCurrentIndex(index);
    } else {
        // Never offer a limit the system did not report: accepting would
        // write whatever the box happened to show.
        m_limit->setCurrentIndex(-1);
        m_limit->setEnabled(false);
        m_limit->setToolTip(QStringLiteral("The 48V current limit could not be read."));
    }
    grid->addWidget(new QLabel(QStringLiteral("48V I Limit"), this), r, 0);
    grid->addWidget(m_limit, r, 1);
    grid->addWidget(new QLabel(QStringLiteral("A"), this), r, 2);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QSysInfoB8181Dialog::okButtonClicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 10);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    setMinimumWidth(280);
}

QString QSysInfoB8181Dialog::shownText(const QString &property) const
{
    QLabel *l = m_values.value(property);
    return l ? l->text() : QString();
}

void QSysInfoB8181Dialog::okButtonClicked()
{
    const int chosen = m_limit->currentIndex();
    if (m_limitRead < 0 || chosen < 0 || chosen == m_limitRead) {
        accept();
        return;
    }
    // A refusal's message runs an event loop in which this dialog may be
    // deleted with its panel.
    const QPointer<QSysInfoB8181Dialog> self(this);
    const bool written = CommandFeedback::writeProperty(m_systemNode, QLatin1String(LimitName), chosen, this);
    if (self && written)
        accept();
}
