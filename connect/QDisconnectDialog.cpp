#include "connect/QDisconnectDialog.h"

#include "connect/QConnectDialog.h"
#include "connect/SystemConnector.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "device/SystemTitle.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

const int kVmeHv = 5;

// Boards of one crate share the first three characters of their argument.
QString linkKey(const QSystemInterface *sys)
{
    return sys->connectionArgument().left(3);
}

bool isBoardSystem(const QSystemInterface *sys)
{
    const ORVEHVNode *node = sys->systemNode();
    if (sys->systemType() != kVmeHv || !node || node->kind() != KindSystem)
        return false;
    for (const ORVEHVNode *b : node->children())
        if (b->kind() == KindBoard)
            return true;
    return false;
}

struct Reopen
{
    int type, link;
    QString argument, name, user, password;
};

} // namespace

QDisconnectDialog::QDisconnectDialog(const DisconnectActions &actions, QSystemInterface *crate, QWidget *parent)
    : QDialog(parent), m_actions(actions)
{
    setObjectName(QStringLiteral("QDisconnectDialog"));
    setWindowTitle(SystemTitle::of(QStringLiteral("Disconnect boards"), crate));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(400, 300);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(6);
    layout->setContentsMargins(11, 11, 11, 11);
    m_views = new QGroupBox(QStringLiteral("Views"), this);
    m_views->setObjectName(QStringLiteral("views"));
    auto *choices = new QVBoxLayout(m_views);
    layout->addWidget(m_views);
    auto *bottom = new QHBoxLayout;
    bottom->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttonBox->setObjectName(QStringLiteral("buttonBox"));
    bottom->addWidget(m_buttonBox);
    layout->addLayout(bottom);

    auto addChoice = [&](const QString &text, int idx, QSystemInterface *sys) {
        auto *radio = new QRadioButton(text, m_views);
        radio->setAutoExclusive(true);
        radio->setChecked(false);
        radio->setStyleSheet(QStringLiteral("padding-left: 10px;"));
        radio->setProperty("idx", idx);
        connect(radio, &QRadioButton::clicked, this, &QDisconnectDialog::radioButtonClicked);
        choices->addWidget(radio);
        m_choices.append(radio);
        m_entries.append(sys);
    };
    addChoice(QStringLiteral("All boards"), -1, nullptr);
    const QVector<QSystemInterface *> systems = m_actions.systems ? m_actions.systems() : QVector<QSystemInterface *>();
    for (int i = 0; i < systems.size(); ++i) {
        QSystemInterface *sys = systems.at(i);
        if (isBoardSystem(sys) && (!crate || linkKey(sys) == linkKey(crate)))
            addChoice(boardText(sys), i, sys);
    }
    choices->addStretch();

    m_buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &QDisconnectDialog::okButtonClicked);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString QDisconnectDialog::boardText(QSystemInterface *board)
{
    const ORVEHVNode *node = board->systemNode();
    QStringList parts;
    parts << node->name();
    // the board's own name, as typed at connection
    if (!node->userName().isEmpty())
        parts << node->userName();
    const ORVEHVNode *first = nullptr;
    for (const ORVEHVNode *b : node->children())
        if (b->kind() == KindBoard) {
            first = b;
            break;
        }
    if (first)
        parts << first->description();
    const QStringList fields = board->connectionArgument().split(QLatin1Char('_'));
    if (fields.size() == 3)
        parts << QStringLiteral("[0x%1]").arg(fields.at(2));
    return parts.join(QStringLiteral(" - "));
}

void QDisconnectDialog::radioButtonClicked()
{
    auto *radio = qobject_cast<QRadioButton *>(sender());
    if (!radio)
        return;
    m_chosen = radio->property("idx").toInt();
    m_chosenButton = radio;
    m_buttonBox->button(QDialogButtonBox::Ok)->setEnabled(true);
}

int QDisconnectDialog::positionOf(QSystemInterface *sys) const
{
    if (!sys || !m_actions.systems)
        return -1;
    return m_actions.systems().indexOf(sys);
}

void QDisconnectDialog::removeOne(QSystemInterface *sys)
{
    const int position = positionOf(sys);
    if (position < 0 || !m_actions.removeSystem)
        return;
    // A crate entry takes its joined boards along; those the operator did
    // not choose are opened again and form the crate anew.
    QList<Reopen> keep;
    if (sys->crateOffset() == 0) {
        for (QSystemInterface *other : m_actions.systems())
            if (other != sys && other->crateOffset() > 0 && other->systemType() == kVmeHv &&
                linkKey(other) == linkKey(sys)) {
                const ORVEHVNode *n = other->systemNode();
                keep.append({other->systemType(), other->linkType(), other->connectionArgument(),
                             other->displayName(), n ? n->userName() : QString(), n ? n->password() : QString()});
            }
    }
    const QList<QConnectDialog *> before = connectDialogs();
    m_actions.removeSystem(position);
    if (!m_actions.connector || keep.isEmpty())
        return;
    bool reopened = false;
    for (const Reopen &r : std::as_const(keep))
        reopened |= m_actions.connector->connectToSystem(r.type, r.link, r.argument, r.name, r.user, r.password) == 0;
    // The crate was back at the start for a moment: the connect dialog that
    // opened then is not wanted once boards are connected again.
    if (reopened)
        for (QConnectDialog *c : connectDialogs())
            if (!before.contains(c))
                c->close();
}

QList<QConnectDialog *> QDisconnectDialog::connectDialogs() const
{
    return parentWidget() ? parentWidget()->findChildren<QConnectDialog *>() : QList<QConnectDialog *>();
}

void QDisconnectDialog::okButtonClicked()
{
    if (!m_actions.removeSystem || !m_actions.systems)
        return;
    hide();
    if (m_chosen >= 0) {
        const int i = m_choices.indexOf(m_chosenButton);
        removeOne(i >= 0 ? m_entries.at(i).data() : nullptr);
    } else {
        // Last to first: a crate entry goes after the boards joined to it.
        for (int i = m_choices.size() - 1; i >= 0; --i)
            if (m_choices.at(i)->property("idx").toInt() >= 0) {
                const int position = positionOf(m_entries.at(i).data());
                if (position >= 0)
                    m_actions.removeSystem(position);
            }
    }
    close();
}
