#include "app/PublishHooks.h"

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "history/Archive.h"
#include "publish/JsonText.h"
#include "publish/MqttPublisher.h"
#include "publish/TopicNames.h"

#include <QDateTime>
#include <QInputDialog>
#include <QSettings>
#include <QTimer>

namespace {

QString askPassword(const BrokerSettings &s)
{
    return QInputDialog::getText(nullptr, QStringLiteral("KEBODESK"),
                                 QStringLiteral("Password of \"%0\" on the MQTT broker %1:").arg(s.user, s.host),
                                 QLineEdit::Password);
}

PublishHooks::PasswordPrompt s_prompt = &askPassword;

QByteArray topicOf(const QString &station, const QSystemInterface *sys, const ORVEHVNode *node)
{
    const bool onBoard = node->kind() == KindBoardParameter || node->kind() == KindChannelParameter;
    return TopicNames::value(station, sys->systemNode() ? sys->systemNode()->name() : QString(),
                             onBoard ? int(node->slot()) : -1,
                             node->kind() == KindChannelParameter ? int(node->channel()) : -1, node->name());
}

} // namespace

void PublishHooks::setPasswordPrompt(PasswordPrompt prompt)
{
    s_prompt = prompt ? std::move(prompt) : PasswordPrompt(&askPassword);
}

PublishHooks::PublishHooks(MainWindow &window, Archive *journal) : QObject(&window), m_window(window)
{
    QSettings settings;
    QString error;
    BrokerSettings broker = BrokerSettingsIo::load(settings, &error);
    if (!error.isEmpty()) {
        tell(error, QStringLiteral("Live values are not published on MQTT."));
        return;
    }
    if (!broker.enabled())
        return;
    if (broker.needsPassword()) {
        broker.password = s_prompt(broker);
        if (broker.password.isEmpty()) {
            tell(QStringLiteral("No password for the MQTT broker %0: live values are not published.").arg(broker.host));
            return;
        }
    }
    m_publisher = std::make_unique<MqttPublisher>(broker);
    connect(m_publisher.get(), &MqttPublisher::outage, this, [this](const QString &reason) {
        tell(reason, QStringLiteral("Live values wait (only the newest of each) and are published when the broker "
                                    "is back; the program tries again by itself."));
    }, Qt::QueuedConnection);
    connect(m_publisher.get(), &MqttPublisher::refused, this, [this](const QString &reason) { tell(reason); },
            Qt::QueuedConnection);
    m_publisher->start();

    SystemConnections *connections = window.connections();
    connect(connections, &SystemConnections::systemAdded, this, &PublishHooks::follow);
    connect(connections, &SystemConnections::systemAboutToBeRemoved, this,
            [this](QSystemInterface *sys) { m_items.remove(sys); });
    for (QSystemInterface *sys : connections->systems())
        follow(sys);
    if (journal)
        connect(journal, &Archive::journalAdded, this, [this](const JournalEntry &entry) {
            m_publisher->queue().pushJournal(JsonText::journal(entry));
        });
}

PublishHooks::~PublishHooks() = default;

void PublishHooks::follow(QSystemInterface *sys)
{
    if (sys->representsCustomView())
        return;
    connect(sys, &QSystemInterface::valueReported, this, [this, sys](ORVEHVNode *node) { onValue(sys, node); });
    connect(sys, &QSystemInterface::boardsAboutToChange, this, [this, sys] { m_items.remove(sys); });
}

void PublishHooks::onValue(QSystemInterface *sys, ORVEHVNode *node)
{
    // connection items (state, slot count) are no measured values
    if (!m_publishing || !node || node->kind() == KindConnectionItem)
        return;
    QHash<const ORVEHVNode *, int> &items = m_items[sys];
    auto found = items.constFind(node);
    if (found == items.constEnd())
        found = items.insert(node, m_publisher->queue().item(topicOf(m_publisher->settings().station, sys, node),
                                                             node->unitText()));
    m_publisher->queue().push(found.value(), node->value().value, QDateTime::currentMSecsSinceEpoch());
}

void PublishHooks::tell(const QString &text, const QString &informative)
{
    // Not from inside the signal that brought it: the box runs an event loop.
    QTimer::singleShot(0, this, [this, text, informative] {
        m_window.showMessage({QMessageBox::Warning, text, informative, {}});
    });
}
