#include "panels/QFlagWordDialog.h"

#include "panels/CommandFeedback.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

const char *const QFlagWordDialog::CheckedStyle = "color: #35a912; font: bold;";
const char *const QFlagWordDialog::UncheckedStyle = "color: #000000;";

QFlagWordDialog::QFlagWordDialog(QWidget *parent, int word, ORVEHVNode *systemNode, const QString &propertyName,
                                 const QString &title, const QStringList &texts, const QList<int> &hiddenBits)
    : QDialog(parent), m_read(word), m_systemNode(systemNode), m_propertyName(propertyName)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 10);
    layout->setSpacing(8);
    for (int bit = 0; bit < 6; ++bit) {
        m_flags[bit] = (word >> bit) & 1;
        auto *box = new QCheckBox(texts.value(bit), this);
        box->setObjectName(QStringLiteral("checkBox%1").arg(bit));
        box->setChecked(m_flags[bit]);
        box->setStyleSheet(QLatin1String(m_flags[bit] ? CheckedStyle : UncheckedStyle));
        box->setVisible(!hiddenBits.contains(bit));
        m_boxes[bit] = box;
        layout->addWidget(box);
    }
    connect(m_boxes[0], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag0);
    connect(m_boxes[1], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag1);
    connect(m_boxes[2], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag2);
    connect(m_boxes[3], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag3);
    connect(m_boxes[4], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag4);
    connect(m_boxes[5], &QCheckBox::stateChanged, this, &QFlagWordDialog::changeFlag5);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton *b : buttons->buttons()) {
        if (auto *push = qobject_cast<QPushButton *>(b)) {
            push->setFlat(true);
            push->setMinimumWidth(70);
        }
    }
    layout->addSpacing(6);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, &QFlagWordDialog::okButtonClicked);
}

int QFlagWordDialog::word() const
{
    // bits this dialog has no box for stay as the device reported them
    int w = m_read & ~0x3F;
    for (int bit = 0; bit < 6; ++bit)
        if (m_flags[bit])
            w |= 1 << bit;
    return w;
}

void QFlagWordDialog::changeFlag(int bit, int state)
{
    m_flags[bit] = state != 0;
    m_boxes[bit]->setStyleSheet(QLatin1String(m_flags[bit] ? CheckedStyle : UncheckedStyle));
}

void QFlagWordDialog::okButtonClicked()
{
    CommandFeedback::writeProperty(m_systemNode, m_propertyName, word(), parentWidget());
}

QGenSignCfgDialog::QGenSignCfgDialog(QWidget *parent, int word, ORVEHVNode *systemNode)
    : QFlagWordDialog(parent, word, systemNode, QStringLiteral("GenSignCfg"), QStringLiteral("Gen Sign Cfg"),
                      {QStringLiteral("Enable"), QStringLiteral("Always"), QStringLiteral("Over Voltage"),
                       QStringLiteral("Over Current"), QStringLiteral("Under Voltage"), QStringLiteral("Trip")},
                      {})
{
}

QResetFlagsDialog::QResetFlagsDialog(QWidget *parent, int word, ORVEHVNode *systemNode)
    : QFlagWordDialog(parent, word, systemNode, QStringLiteral("ResFlagCfg"),
                      QStringLiteral("Reset Flag Configuration"),
                      {QStringLiteral("CPU Failure -> BP Reset"), QStringLiteral("CPU Failure -> CPU Reset"),
                       QStringLiteral("Front Panel Reset -> BP Reset"),
                       QStringLiteral("Front Panel Reset -> CPU Reset"),
                       QStringLiteral("User Software Reset -> BP Reset"),
                       QStringLiteral("User Software Reset -> CPU Reset")},
                      {1, 4, 5})
{
}
