#ifndef QTRIPHANDLINGDIALOG_H
#define QTRIPHANDLINGDIALOG_H

// Trip-line configuration of one system: which channels go down together
// when one of them trips. Every board whose channels carry the mode's trip
// word ("TripInt" for the lines inside a board, "TripExt" for the four lines
// shared by the boards of a system) gets a small table with one row per
// channel; a click on a row's "Line" cell gives the row the chosen line (or
// takes it away), and the "Result" cell shows the word that will be written.
//
// A trip word holds, for line L of n, bit L (the channel drives the line when
// it trips) and its companion bit L + n (the channel trips when the line is
// driven). The dialog sets both bits of one line per channel; words using
// more lines are shown with their last line and a warning.
//
// The dialog follows its own system (views/SystemDialog.h): a lost
// connection, a changed crate map or a disconnection closes it, and from
// then on it touches no node. GUI thread only.

#include "views/SystemDialog.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class ORVEHVNode;
class QDialogButtonBox;
class QPushButton;
class QSystemInterface;
class QTableWidget;
class QTableWidgetItem;

// --- the trip words, without widgets ---------------------------------------
namespace triplines {

// The 16 line colours, line 0 first.
const QStringList &lineColours();
// Lines a board offers: 4 external ones, or half its channels (at most 16).
int lineCount(bool external, int channels);
// The word of a channel on line L of n: the line bit and its companion.
quint32 lineWord(int line, int lines);
// prefix + eight hexadecimal digits (upper case for values read from the
// device, lower case for values made in the dialog).
QString resultText(const QString &prefix, quint32 value, bool upperCase);
// What a word does on n lines, in words: "Drives line 2 and listens to
// line 2", "Drives lines 0, 1", "On no line".
QString wordMeaning(quint32 value, int lines);

} // namespace triplines

class QTripHandlingDialog : public SystemDialog
{
    Q_OBJECT
public:
    // flagExt 0 internal, 1 external; `system` is the system node whose boards
    // are shown; the dialog follows that system and `sysIf` (when given).
    QTripHandlingDialog(int flagExt, ORVEHVNode *system, QSystemInterface *sysIf, QWidget *parent = nullptr);

    // The sub-window's dialog factory.
    static QDialog *create(ORVEHVNode *system, int flagExt, QSystemInterface *sysIf, QWidget *parent);

    bool isExternal() const { return m_external; }
    QString valuePrefix() const { return m_prefix; }
    bool hasComplexValues() const { return m_complex; }
    QList<QTableWidget *> tripTables() const { return m_tables; }
    // Line buttons of the selector serving the board with this place
    // (ORVEHVNode::place; -1: the external one).
    QList<QPushButton *> lineButtons(int slotNr) const;
    QDialogButtonBox *buttonBox() const { return m_buttons; }

public slots:
    void checkCell(QTableWidgetItem *item);
    void chooseColor();
    void applyValues();
    void showWarningMessageBox();

protected:
    void releaseNodes() override { m_system = nullptr; }

private slots:
    void okClicked();

private:
    QTableWidget *buildTable(ORVEHVNode *board);
    QWidget *buildLineSelector(int slotNr, int lines);
    void fillRow(QTableWidget *table, int row, ORVEHVNode *param);
    void showLine(QTableWidgetItem *cell, int line, quint32 word = 0, int lines = 0);
    int linesOf(const QTableWidget *table) const;
    ORVEHVNode *tripParameter(const QTableWidget *table, int row) const;
    // Writes every row; false when a row was refused (the operator is told).
    bool writeTables();

    bool m_external = false;
    ORVEHVNode *m_system = nullptr;       // null once the system changed or went
    QString m_param;
    QString m_prefix;
    bool m_prefixTaken = false;
    bool m_complex = false;
    bool m_lastApplyClean = true;
    QList<QTableWidget *> m_tables;
    QHash<const QTableWidget *, ORVEHVNode *> m_tableBoards;
    QList<QPushButton *> m_chosen;        // chosen button of each selector
    QList<QPushButton *> m_allButtons;
    QDialogButtonBox *m_buttons = nullptr;
};

#endif
