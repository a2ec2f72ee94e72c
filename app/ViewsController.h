#ifndef VIEWSCONTROLLER_H
#define VIEWSCONTROLLER_H

// The main window's side of custom views, channel groups and saved
// configurations: opens their dialogs, keeps the custom view's entry in the
// systems list in step with the connected systems, keeps group members from
// outliving their systems, and saves and loads configurations (connecting
// the systems that are not connected yet).

#include "app/SystemConnections.h"
#include "persist/QLoadCustDialog.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class ChannelGroups;
class ORVEHVNode;
class QMenu;
class ViewsHost;
class QCustomViewDialog;
class QSystemInterface;
class QWidget;

class ViewsController : public QObject
{
    Q_OBJECT
public:
    // `window` parents the dialogs; `groupsMenu` lists the channel groups.
    ViewsController(QWidget *window, QMenu *groupsMenu, SystemConnections &connections,
                    const SystemViewParents &parents, ViewsHost &host);

    ChannelGroups *groups() const { return m_groups; }
    // The first entry of the systems list that holds the custom view.
    QSystemInterface *customViewEntry() const;
    // System nodes of the connected top-level systems, in list order.
    QList<ORVEHVNode *> systemNodes() const;

    // Dialogs. Each returns the dialog it opened (null when none).
    QCustomViewDialog *createDialogForCustomView();
    QWidget *createConfigureTableDialog(int systemIndex);
    QWidget *createDialogForGroupSettings();
    QWidget *createDialogToEditGroup(QObject *action);

    // Creates the custom view's entry (box, page, sub-window) listing every
    // connected system, or refreshes the existing one.
    QSystemInterface *showCustomView();
    // Lists the connected systems again in the custom view and rebuilds it.
    void rebuildCustomView();

    // Followed from the connection lifecycle's signals (SystemConnections).
    void systemConnected(QSystemInterface *sys);
    // Before an entry is deleted: its nodes leave groups and custom view.
    void systemGoing(QSystemInterface *sys);
    // After the entries of a disconnection were deleted.
    void systemsGone();

    // "Save": asks what to save and where, then writes the files.
    void saveCustomizedViews();
    // Writes a configuration: own view of the ticked systems (one flag per
    // entry of savableSystems()), the custom view of all when customView.
    bool saveConfiguration(const QString &path, const QList<bool> &systemFlags, bool customView);
    QList<QSystemInterface *> savableSystems() const;

    // "Load": asks for a file (or takes `path`), lists its view files.
    QDialog *loadCustomizedViews(const QString &path = QString());
    // Connects what is not connected and applies the views.
    void loadConfiguration(const QList<QLoadCustDialog::Entry> &entries);
    // Adds the groups saved in a configuration file, as far as their
    // channels are connected now; a group of that name already here stays.
    void restoreGroups(const QString &configurationPath);

    // Tests answer the file dialogs here (empty result: cancelled).
    using FileDialogHook = std::function<QString(bool save)>;
    static void setFileDialogHook(FileDialogHook hook);

private slots:
    // A board leaves its crate (crate map change): before it is deleted.
    void boardGoing(ORVEHVNode *board, int slot);

private:
    void pauseCustomView();
    void applyOnCustomView();
    ORVEHVNode *connectedNode(const QString &argument) const;

    // The custom view's entry re-emits the values of the systems it shows.
    void forwardValues(QSystemInterface *entry);

    QWidget *m_window = nullptr;
    SystemConnections &m_connections;
    SystemViewParents m_parents;
    ViewsHost &m_host;
    ChannelGroups *m_groups = nullptr;
    QPointer<QCustomViewDialog> m_customDialog;
    QStringList m_pendingNotes;   // what the operator is told once the nodes are gone
    bool m_customViewPaused = false;
};

#endif
