#ifndef QLOADCUSTDIALOG_H
#define QLOADCUSTDIALOG_H

// Lists the view files of a saved configuration, one row per file: a check
// box with the system's name, its type, link and connection argument, and
// user name and password fields for the systems that need them (types 2, 3
// and 16). At most four systems are connected in all (a VME HV board that
// joins a crate takes no place); systems already connected are ticked and
// cannot be unticked. View files that cannot be
// used are listed with the reason below the rows.
//
// The password fields are handed to the connection and written nowhere.

#include "device/SystemPlaces.h"
#include "persist/ViewFileFormat.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

class QLoadCustDialog : public QDialog
{
    Q_OBJECT
public:
    struct Entry
    {
        ViewHash hash;
        QString user;
        QString password;
    };

    // `connected`: how the connected systems are reached, boards of a crate
    // each on their own.
    QLoadCustDialog(const QString &configurationPath, const QList<SystemPlaces::Address> &connected,
                    QWidget *parent = nullptr);

    // The ticked rows (systems already connected included, so their views
    // are restored too).
    QList<Entry> chosenEntries() const;

    QList<QWidget *> rows() const;
    QCheckBox *checkBoxOf(QWidget *row) const;
    // Files that could not be used: "<file>: <reason>".
    QStringList problems() const { return m_problems; }
    QPushButton *okButton() const { return m_ok; }

    static QString systemTypeText(int psType);
    static QString linkTypeText(int connType);

private:
    struct Row
    {
        QWidget *widget = nullptr;
        QCheckBox *box = nullptr;
        QLineEdit *user = nullptr;
        QLineEdit *pass = nullptr;
        ViewHash hash;
        SystemPlaces::Address address;
        bool connected = false;
        bool customView = false;
    };
    // Unticks the system rows that no longer fit, in row order, and lets
    // only those that would fit be ticked.
    void applyLimit();

    QList<Row> m_rows;
    QStringList m_problems;
    QList<SystemPlaces::Address> m_connected;
    QPushButton *m_ok = nullptr;
};

#endif
