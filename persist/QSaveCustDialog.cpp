#include "persist/QSaveCustDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

QSaveCustDialog::QSaveCustDialog(const QStringList &systemNames, bool hasCustomView, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("saveCustDialog"));
    setWindowTitle(QStringLiteral("Customization Views Selection"));
    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral("Views"));
    auto *rows = new QVBoxLayout(group);
    layout->addWidget(group);
    auto addRow = [&](const QString &label) {
        auto *box = new QCheckBox(label);
        box->setStyleSheet(QStringLiteral("padding-left: 10px;"));
        box->setChecked(true);
        rows->addWidget(box);
        return box;
    };
    for (const QString &name : systemNames)
        m_boxes.append(addRow(name));
    if (hasCustomView) {
        m_custom = addRow(QStringLiteral("CustomView"));
        m_custom->setObjectName(QStringLiteral("CustomView"));
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(!m_boxes.isEmpty() || m_custom);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QList<bool> QSaveCustDialog::systemFlags() const
{
    QList<bool> flags;
    for (const QCheckBox *b : m_boxes)
        flags.append(b->isChecked());
    return flags;
}

bool QSaveCustDialog::customViewFlag() const
{
    return m_custom && m_custom->isChecked();
}
