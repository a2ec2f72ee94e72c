#ifndef PUBLISHHOOKS_H
#define PUBLISHHOOKS_H

// Where the program meets its MQTT publisher (publish/): reads the settings
// (group "mqtt"), asks for the password when a user is set without a
// password file, and hands the publisher every value the connected systems
// report (valueReported: each value once, by its own system) and every
// journal entry. What goes wrong (settings,
// an outage, a refused log-in) is told to the operator once. Nothing comes
// back from the broker.

#include "publish/BrokerSettings.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

class Archive;
class MainWindow;
class MqttPublisher;
class ORVEHVNode;
class QSystemInterface;

class PublishHooks : public QObject
{
    Q_OBJECT
public:
    PublishHooks(MainWindow &window, Archive *journal);
    ~PublishHooks() override;

    // Null while publishing is off.
    MqttPublisher *publisher() const { return m_publisher.get(); }
    // Values are handed over only while on (the default); for measuring
    // what publishing costs the event path.
    void setPublishing(bool on) { m_publishing = on; }

    // How the password is asked (a dialog by default); an empty answer
    // leaves publishing off. Tests replace it.
    using PasswordPrompt = std::function<QString(const BrokerSettings &)>;
    static void setPasswordPrompt(PasswordPrompt prompt);

private:
    void follow(QSystemInterface *sys);
    void onValue(QSystemInterface *sys, ORVEHVNode *node);
    void tell(const QString &text, const QString &informative = QString());

    MainWindow &m_window;
    std::unique_ptr<MqttPublisher> m_publisher;
    bool m_publishing = true;
    // Per system: the publisher's item of each node seen, until the tree changes.
    QHash<const QSystemInterface *, QHash<const ORVEHVNode *, int>> m_items;
};

#endif
