#include "app/ViewsController.h"

#include "app/SystemPanelBuilder.h"
#include "app/ViewsHost.h"
#include "device/OperatorMessage.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "persist/QSaveCustDialog.h"
#include "persist/ViewFiles.h"
#include "views/ChannelGroups.h"
#include "views/QConfigureViewDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QCustomViewDialog.h"
#include "views/QSetGroupValueDialog.h"
#include "views/QSubWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QStackedWidget>
#include <QTimer>

#include <algorithm>

namespace {
ViewsController::FileDialogHook &fileHook()
{
    static ViewsController::FileDialogHook hook;
    return hook;
}
} // namespace

void ViewsController::setFileDialogHook(FileDialogHook hook)
{
    fileHook() = std::move(hook);
}

ViewsController::ViewsController(QWidget *window, QMenu *groupsMenu, SystemConnections &connections,
                                 const SystemViewParents &parents, ViewsHost &host)
    : QObject(window), m_window(window), m_connections(connections), m_parents(parents), m_host(host)
{
    m_groups = new ChannelGroups(groupsMenu, [this] { return systemNodes(); }, window);
    connect(m_groups, &ChannelGroups::actionAdded, this, [this](QAction *action) {
        connect(action, &QAction::triggered, this, [this, action] { createDialogToEditGroup(action); });
        const int index = ChannelGroups::indexOfAction(action);
        if (index >= 0 && index < m_groups->groups().size()) {
            const ChannelGroup &g = m_groups->groups().at(index);
            m_host.showNotice(QStringLiteral("Group \"%1\" created: %2 channels, parameter %3 (menu Groups).")
                                  .arg(g.name).arg(g.members.size()).arg(g.parameter));
        }
    });
    connect(&connections, &SystemConnections::systemAdded, this, &ViewsController::systemConnected);
    connect(&connections, &SystemConnections::systemAboutToBeRemoved, this, &ViewsController::systemGoing);
    connect(&connections, &SystemConnections::systemsRemoved, this, &ViewsController::systemsGone);
}

QSystemInterface *ViewsController::customViewEntry() const
{
    for (QSystemInterface *s : m_connections.systems())
        if (s->representsCustomView())
            return s;
    return nullptr;
}

QList<ORVEHVNode *> ViewsController::systemNodes() const
{
    QList<ORVEHVNode *> nodes;
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && s->crateOffset() == 0 && s->systemNode())
            nodes.append(s->systemNode());
    return nodes;
}

// ------------------------------------------------------------ custom view

QCustomViewDialog *ViewsController::createDialogForCustomView()
{
    if (m_customDialog)
        return m_customDialog;
    auto *dialog = new QCustomViewDialog(systemNodes(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QCustomViewDialog::viewConfigured, this, &ViewsController::applyOnCustomView);
    m_customDialog = dialog;
    dialog->open();
    return dialog;
}

void ViewsController::applyOnCustomView()
{
    QSystemInterface *entry = customViewEntry();
    if (!entry) {
        showCustomView();
        return;
    }
    if (auto *sub = qobject_cast<QSubWindow *>(entry->subWindow()))
        if (sub->isCustomView())
            sub->applyCustomMode();
}

QSystemInterface *ViewsController::showCustomView()
{
    if (QSystemInterface *entry = customViewEntry()) {
        rebuildCustomView();
        return entry;
    }
    const int index = m_connections.topLevelCount();
    auto *sys = new QSystemInterface(-1, -1, QString(), QStringLiteral("CustomView"), index);
    sys->setRepresentsCustomView(true);
    auto *root = new ORVEHVNode;
    root->initialise(QStringLiteral("customView"), KindContainer);
    root->setConnectionState(ConnectionConnected);
    for (ORVEHVNode *node : systemNodes())
        root->addChild(node);
    sys->setSystemNode(root);
    SystemPanelBuilder::buildPanels(sys, m_parents.systemsArea, m_parents.viewsArea, m_parents.boardPages, -1);
    SystemPanelBuilder::describeConnection(sys);
    // Indexed with the systems (box, page, sub-window), but no connection.
    sys->setCrateOffset(0);
    forwardValues(sys);
    // The window shows it like any system (box signals, views area).
    m_connections.appendEntry(sys);
    if (QWidget *page = sys->boardInformationPanel())
        m_parents.boardPages->setCurrentWidget(page);
    if (auto *sub = qobject_cast<QSubWindow *>(sys->subWindow()))
        sub->fitSize();
    m_host.setCurrentSubWindowIndex(index);
    return sys;
}

void ViewsController::rebuildCustomView()
{
    QSystemInterface *entry = customViewEntry();
    if (!entry || !entry->systemNode())
        return;
    ORVEHVNode *root = entry->systemNode();
    while (!root->children().isEmpty())
        root->removeChildAt(int(root->children().size()) - 1);
    for (ORVEHVNode *node : systemNodes())
        root->addChild(node);
    forwardValues(entry);
    if (auto *sub = qobject_cast<QSubWindow *>(entry->subWindow())) {
        sub->setRootNode(root);
        sub->rebuildTable();
        sub->applyCustomMode();
    }
    m_customViewPaused = false;
}

// ------------------------------------------------------- configure view

QWidget *ViewsController::createConfigureTableDialog(int systemIndex)
{
    QSystemInterface *sys = m_connections.topLevelSystem(systemIndex);
    if (!sys || !sys->systemNode())
        return nullptr;
    if (sys->representsCustomView())
        return createDialogForCustomView();
    auto *sub = qobject_cast<QSubWindow *>(sys->subWindow());
    // Owned by the sub-window: it goes when the system goes.
    auto *dialog = new QConfigureViewDialog(sys->systemNode(), sub, sub ? static_cast<QWidget *>(sub) : m_window);
    dialog->setWindowFlag(Qt::Dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

// ----------------------------------------------------------------- groups

QWidget *ViewsController::createDialogForGroupSettings()
{
    return m_groups->createDialogForGroupSettings();
}

QWidget *ViewsController::createDialogToEditGroup(QObject *action)
{
    return m_groups->openGroup(ChannelGroups::indexOfAction(action));
}

// -------------------------------------------------------------- lifecycle

void ViewsController::forwardValues(QSystemInterface *entry)
{
    // One connection per system (a VME HV crate entry re-emits its boards').
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && s->crateOffset() == 0)
            connect(s, &QSystemInterface::parameterChanged, entry, &QSystemInterface::parameterChanged,
                    Qt::UniqueConnection);
}

void ViewsController::systemConnected(QSystemInterface *sys)
{
    if (sys->representsCustomView())
        return;
    // Boards that leave a crate take their group members with them.
    connect(sys, &QSystemInterface::boardGone, this, &ViewsController::boardGoing, Qt::UniqueConnection);
    if (customViewEntry())
        rebuildCustomView();
}

void ViewsController::boardGoing(ORVEHVNode *board, int)
{
    const QString note = m_groups->dropNodes({board}, board->name());
    if (!note.isEmpty())
        m_pendingNotes.append(note);
    pauseCustomView();
}

void ViewsController::pauseCustomView()
{
    // The custom view lets go of the cells until it is rebuilt.
    if (QSystemInterface *entry = customViewEntry()) {
        if (auto *sub = qobject_cast<QSubWindow *>(entry->subWindow())) {
            sub->table()->takeAllItems();
            sub->setRootNode(nullptr);
        }
        m_customViewPaused = true;
    }
}

void ViewsController::systemGoing(QSystemInterface *sys)
{
    if (sys->representsCustomView() || !sys->systemNode())
        return;
    const QString note = m_groups->dropSystem(sys->systemNode());
    if (!note.isEmpty())
        m_pendingNotes.append(note);
    if (QSystemInterface *entry = customViewEntry()) {
        pauseCustomView();
        ORVEHVNode *root = entry->systemNode();
        const int at = root ? int(root->children().indexOf(sys->systemNode())) : -1;
        if (at >= 0)
            root->removeChildAt(at);
    }
}

void ViewsController::systemsGone()
{
    if (m_customViewPaused)
        rebuildCustomView();
    const QStringList notes = m_pendingNotes;
    m_pendingNotes.clear();
    for (const QString &note : notes)
        showOperatorMessage({QMessageBox::Information, note, QString(), {}}, m_window);
}

// ----------------------------------------------------------------- saving

QList<QSystemInterface *> ViewsController::savableSystems() const
{
    QList<QSystemInterface *> out;
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && s->systemNode())
            out.append(s);
    return out;
}

void ViewsController::saveCustomizedViews()
{
    const QList<QSystemInterface *> systems = savableSystems();
    QStringList names;
    for (QSystemInterface *s : systems)
        names.append(s->displayName());
    QSaveCustDialog dialog(names, customViewEntry() != nullptr, m_window);
    if (!fileHook() && dialog.exec() != QDialog::Accepted)
        return;
    const QString path = fileHook() ? fileHook()(true)
                                    : QFileDialog::getSaveFileName(
                                          m_window, QString(), QString(),
                                          QStringLiteral("%1 (*.%2)")
                                              .arg(QStringLiteral("ORVE System Configuration File"),
                                                   QLatin1String(ViewFiles::ConfigurationExtension)));
    if (path.isEmpty())
        return;
    saveConfiguration(path, dialog.systemFlags(), dialog.customViewFlag());
}

bool ViewsController::saveConfiguration(const QString &path, const QList<bool> &systemFlags, bool customView)
{
    const QList<QSystemInterface *> systems = savableSystems();
    QList<ViewFiles::SaveEntry> entries;
    for (int i = 0; i < systems.size(); ++i) {
        const bool own = i < systemFlags.size() && systemFlags.at(i);
        if (own || customView)
            entries.append({systems.at(i)->systemNode(), own, customView});
    }
    if (customView)
        if (QSystemInterface *entry = customViewEntry())
            entries.append({entry->systemNode(), false, true});
    QList<ConfigurationGroups::Group> groups;
    const QList<ORVEHVNode *> nodes = systemNodes();
    for (const ChannelGroup &g : m_groups->groups()) {
        ConfigurationGroups::Group saved{g.name, g.parameter, {}};
        ConfigurationGroups::Member member;
        for (const ORVEHVNode *n : g.members)
            if (n->kind() == KindChannel && ConfigurationGroups::memberOf(n, nodes, &member))
                saved.members.append(member);
        groups.append(saved);
    }
    QString error;
    if (ViewFiles::saveConfiguration(path, entries, &error, groups)) {
        m_host.showNotice(QStringLiteral("Configuration saved to %1.").arg(QDir::toNativeSeparators(path)));
        return true;
    }
    showOperatorMessage({QMessageBox::Warning,
                           QStringLiteral("The configuration was not saved.\n%1").arg(error),
                           QStringLiteral("The files saved before are unchanged."), {}}, m_window);
    return false;
}

// ---------------------------------------------------------------- loading

ORVEHVNode *ViewsController::connectedNode(const QString &argument) const
{
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && s->systemNode() && s->systemNode()->connectionArgument() == argument)
            return s->systemNode();
    return nullptr;
}

QDialog *ViewsController::loadCustomizedViews(const QString &givenPath)
{
    QString path = givenPath;
    if (path.isEmpty()) {
        path = fileHook() ? fileHook()(false)
                          : QFileDialog::getOpenFileName(m_window, QString(), QString(),
                                                         QStringLiteral("ORVE System Configuration Files (*.csc)"));
        if (path.isEmpty())
            return nullptr;
    }
    if (!QFileInfo(path).isFile()) {
        showOperatorMessage({QMessageBox::Warning,
                               QStringLiteral("Unable to open the configuration %1.").arg(path), QString(), {}}, m_window);
        return nullptr;
    }
    auto *dialog = new QLoadCustDialog(path, m_connections.connectedAddresses(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Connecting runs event loops (progress dialogs) in which the closed
    // dialog is deleted: the loading starts once its accept() has returned.
    connect(dialog, &QDialog::accepted, this, [this, dialog, path] {
        const QList<QLoadCustDialog::Entry> entries = dialog->chosenEntries();
        QTimer::singleShot(0, this, [this, entries, path] {
            loadConfiguration(entries);
            restoreGroups(path);
        });
    });
    dialog->open();
    return dialog;
}

void ViewsController::loadConfiguration(const QList<QLoadCustDialog::Entry> &entries)
{
    bool withCustomView = false;
    QList<QSystemInterface *> touched;
    for (const QLoadCustDialog::Entry &e : entries) {
        if (e.hash.value(QStringLiteral("isCustomView")).toInt() != 0) {
            withCustomView = true;
            continue;
        }
        const QString argument = e.hash.value(QStringLiteral("initParam")).toString();
        if (!connectedNode(argument)) {
            // Refusals are reported by the connection itself. Whether the
            // system is connected is decided by finding it listed afterwards,
            // not by the result code.
            SystemConnector &connector = m_connections;
            connector.connectToSystem(e.hash.value(QStringLiteral("psType")).toInt(),
                                      e.hash.value(QStringLiteral("connType")).toInt(), argument,
                                      e.hash.value(QStringLiteral("name")).toString(), e.user, e.password);
        }
        ORVEHVNode *node = connectedNode(argument);
        if (!node)
            continue;
        // The table is rebuilt before the file's choice is applied: a
        // build numbers the positions afresh and would undo the saved order.
        QSubWindow *sub = nullptr;
        for (QSystemInterface *s : m_connections.systems())
            if (s->systemNode() == node)
                if (QSystemInterface *crate = m_connections.crateOf(s))
                    sub = qobject_cast<QSubWindow *>(crate->subWindow());
        if (sub)
            sub->rebuildTable();
        ViewFiles::applyViewHash(node, e.hash);
        if (sub && sub->viewMode() == QSubWindow::CustomMode)
            sub->applyCustomMode();
    }
    if (withCustomView && !systemNodes().isEmpty())
        showCustomView();
}

void ViewsController::restoreGroups(const QString &configurationPath)
{
    QFile file(configurationPath);
    QList<ConfigurationGroups::Group> saved;
    QString error;
    if (!file.open(QIODevice::ReadOnly))
        error = file.errorString();
    else if (!ConfigurationGroups::decode(file.read(16 * 1024 * 1024), &saved, &error))
        saved.clear();
    QStringList notes;
    if (!error.isEmpty())
        notes.append(QStringLiteral("The groups of %1 were not restored: %2.")
                         .arg(QDir::toNativeSeparators(configurationPath), error));
    const QList<ORVEHVNode *> nodes = systemNodes();
    for (const ConfigurationGroups::Group &g : std::as_const(saved)) {
        const auto &present = m_groups->groups();
        if (std::any_of(present.cbegin(), present.cend(), [&g](const ChannelGroup &p) { return p.name == g.name; }))
            continue;
        QList<ORVEHVNode *> members;
        for (const ConfigurationGroups::Member &m : g.members) {
            ORVEHVNode *channel = ConfigurationGroups::channelOf(m, nodes);
            if (ORVEHVNode *parameter = channel ? channel->parameter(g.parameter) : nullptr)
                members << channel << parameter;
        }
        if (members.size() / 2 < g.members.size())
            notes.append(QStringLiteral("Group \"%1\": %2 of its %3 channels are not connected now.")
                             .arg(g.name)
                             .arg(g.members.size() - members.size() / 2)
                             .arg(g.members.size()));
        m_groups->addGroup(g.name, members);
    }
    if (!notes.isEmpty())
        showOperatorMessage({QMessageBox::Warning, notes.join(QLatin1Char('\n')), QString(), {}}, m_window);
}
