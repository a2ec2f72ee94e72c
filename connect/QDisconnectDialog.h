#pragma once

// Removing boards from a VME HV crate: the crate is shown as one system but
// every board is a library connection of its own. The operator removes one
// board or "All boards"; the boards of other crates are not offered.
// Deletes itself when closed; OK stays disabled until a choice is made.

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QVector>
#include <functional>

class QConnectDialog;
class QDialogButtonBox;
class QGroupBox;
class QRadioButton;
class QSystemInterface;
class SystemConnector;

// What the dialog needs of the window that owns the systems.
struct DisconnectActions
{
    // The systems list as it is now (positions as removeSystem takes them).
    std::function<QVector<QSystemInterface *>()> systems;
    // Disconnects one entry without asking; a crate entry takes the boards
    // joined to it along.
    std::function<void(int position)> removeSystem;
    // Opens again the boards that had to go with their crate entry.
    SystemConnector *connector = nullptr;
};

class QDisconnectDialog : public QDialog
{
    Q_OBJECT
public:
    // crate: the crate entry whose disconnect button was pressed.
    QDisconnectDialog(const DisconnectActions &actions, QSystemInterface *crate, QWidget *parent = nullptr);

    QDialogButtonBox *buttonBox() const { return m_buttonBox; }
    QList<QRadioButton *> choices() const { return m_choices; }
    int chosenIndex() const { return m_chosen; }

    // Radio text of a board system: its name, its first board's description
    // and, for a three-field argument, its base address ("[0xC1]").
    static QString boardText(QSystemInterface *board);

public slots:
    void radioButtonClicked();
    void okButtonClicked();

private:
    // Live position of an entry, -1 once it has gone.
    int positionOf(QSystemInterface *sys) const;
    void removeOne(QSystemInterface *sys);
    QList<QConnectDialog *> connectDialogs() const;

    DisconnectActions m_actions;
    QGroupBox *m_views = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
    QList<QRadioButton *> m_choices;
    QList<QPointer<QSystemInterface>> m_entries;  // per choice; null for "All boards"
    int m_chosen = -1;
    QRadioButton *m_chosenButton = nullptr;
};
