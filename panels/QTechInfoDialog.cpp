#include "panels/QTechInfoDialog.h"

#include "device/ORVEHVNode.h"
#include "device/ValueText.h"
#include "panels/InfoTexts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

const char kValueStyle[] = "color: #35a912; font: bold;";

struct Row {
    const char *property;
    const char *label;
    const char *unit;
    bool rackOnly;
};

// Front panel and AC/DC words are bit words: shown in hexadecimal.
bool isBitWord(const QString &property)
{
    return property == QLatin1String("FrontPanIn") || property == QLatin1String("FrontPanOut")
           || property == QLatin1String("ACDCStatus");
}

QString valueText(const ORVEHVNode *system, const QString &property, const char *unit)
{
    QString text = InfoTexts::systemPropertyText(system, property).trimmed();
    if (text.isEmpty())
        return QStringLiteral("-");
    bool ok = false;
    const qint64 word = text.toLongLong(&ok);
    if (isBitWord(property) && ok)
        return QStringLiteral("0x") + hexText(word).right(4);
    text = InfoTexts::shownField(text);
    return *unit ? text + QLatin1Char(' ') + QLatin1String(unit) : text;
}

} // namespace

QTechInfoDialog::QTechInfoDialog(QWidget *parent, const ORVEHVNode *systemNode)
    : QTechInfoDialog(parent, systemNode, false)
{
}

QTechInfoDialog::QTechInfoDialog(QWidget *parent, const ORVEHVNode *systemNode, bool rack)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Technical Informations"));
    auto *layout = new QVBoxLayout(this);

    auto group = [&](const QString &title, std::initializer_list<Row> rows) {
        auto *box = new QGroupBox(title, this);
        auto *form = new QFormLayout(box);
        for (const Row &r : rows) {
            if (r.rackOnly && !rack)
                continue;
            auto *value = new QLabel(valueText(systemNode, QLatin1String(r.property), r.unit), box);
            value->setStyleSheet(QLatin1String(kValueStyle));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(QLatin1String(r.label), value);
            m_values.insert(QLatin1String(r.property), value);
        }
        layout->addWidget(box);
    };
    group(QStringLiteral("Firmware"), {{"FwRelease", "Firmware Release:", "", false},
                                       {"SwRelease", "Software Release:", "", false},
                                       {"HwRelease", "Hardware Release:", "", false},
                                       {"Logic", "Logic Release:", "", true},
                                       {"SerialNumber", "Serial Number:", "", false}});
    group(QStringLiteral("Power Module"), {{"HvPwSM", "HV Power Module:", "", false},
                                           {"ACDCStatus", "AC/DC Status:", "", true}});
    group(QStringLiteral("Voltage"), {{"PWVoltage", "Supply Voltage:", "V", false},
                                      {"PWCurrent", "Supply Current:", "A", false}});
    group(QStringLiteral("Front Panel"), {{"FrontPanIn", "Front Panel In:", "", false},
                                          {"FrontPanOut", "Front Panel Out:", "", false}});

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString QTechInfoDialog::shownValue(const QString &property) const
{
    const QLabel *l = m_values.value(property);
    return l ? l->text() : QString();
}
