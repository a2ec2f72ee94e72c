#include "views/SystemDialog.h"

#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"

SystemDialog::SystemDialog(QWidget *parent) : QDialog(parent) {}

void SystemDialog::followSystem(QSystemInterface *system)
{
    if (!system || m_systems.contains(system))
        return;
    m_systems.append(system);
    connect(system, &QSystemInterface::boardsAboutToChange, this, &SystemDialog::systemChanging);
    connect(system, &QSystemInterface::connectionLost, this, &SystemDialog::systemChanging);
    connect(system, &QObject::destroyed, this, &SystemDialog::systemChanging);
}

void SystemDialog::followSystemOf(const ORVEHVNode *node)
{
    if (!node)
        return;
    for (QSystemInterface *sys : QSystemInterface::liveInterfaces()) {
        const ORVEHVNode *root = sys->systemNode();
        if (!root || sys->representsCustomView())
            continue;
        if (root == node || (node->handle() >= 0 && root->handle() == node->handle())) {
            followSystem(sys);
            // A board of a VME HV board system is listed by its crate entry
            // too: the crate's changes reach it as well.
            if (QSystemInterface *crate = sys->joinedCrate())
                followSystem(crate);
            return;
        }
    }
}

void SystemDialog::systemChanging()
{
    if (m_released)
        return;
    m_released = true;
    releaseNodes();
    // Ends the dialog's own exec() too; deletion (WA_DeleteOnClose) waits
    // for the event loop.
    reject();
}
