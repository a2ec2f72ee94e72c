#ifndef QBOARDINFORMATIONS_H
#define QBOARDINFORMATIONS_H

// The right dock's page of one system: one collapsible box per occupied slot
// with the board's title, module picture, information and parameters. The
// shown values follow the board parameters: the main window calls
// refreshParameter() (through the system interface) when one changes.
//
// The panel keeps only the system node; after the tree's boards change
// (crate map change, a VME HV board joined or removed) the owner calls
// rebuild().

#include <QFrame>
#include <QHash>
#include <QList>
#include <QString>

class ORVEHVNode;
class QSystemInterface;
class QLabel;
class QScrollArea;
class QVBoxLayout;

// One board's box.
class QBoardInfoBox : public QFrame
{
    Q_OBJECT
public:
    QBoardInfoBox(const QString &title, QWidget *parent = nullptr);

    QString title() const;
    QLabel *titleLabel() const { return m_title; }
    QWidget *body() const { return m_body; }
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);

signals:
    void toggled(bool expanded);

public slots:
    void toggle();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QFrame *m_header;
    QLabel *m_arrow;
    QLabel *m_title;
    QWidget *m_body;
    bool m_expanded = true;
};

class QBoardInformations : public QWidget
{
    Q_OBJECT
public:
    static const char *const ModulePicture;

    explicit QBoardInformations(QWidget *parent = nullptr);

    void setSystemNode(ORVEHVNode *system);
    // Board parameters the system reports are shown as they come; boards
    // joining or leaving its tree rebuild the panel.
    void followSystem(QSystemInterface *sys);
    ORVEHVNode *systemNode() const { return m_system; }
    // Rebuilds every box from the system node's boards.
    void rebuild();
    // Shows the new value of a board parameter; false when the panel does
    // not show it.
    bool refreshParameter(const ORVEHVNode *parameter);

    int systemIndex() const { return m_systemIndex; }
    Q_INVOKABLE void setSystemIndex(int index) { m_systemIndex = index; }

    int boxCount() const { return m_boxes.size(); }
    QBoardInfoBox *box(int i) const { return i >= 0 && i < m_boxes.size() ? m_boxes.at(i) : nullptr; }
    // The widget disabled while the system is disconnected.
    QWidget *contentWidget() const { return m_content; }
    // Text shown under a key (BoardInfoText::valueKey); null when none.
    QString shownText(const QString &key) const;

private:
    QBoardInfoBox *makeBox(const ORVEHVNode *board, int systemType);

    ORVEHVNode *m_system = nullptr;
    int m_systemIndex = 0;
    QScrollArea *m_scroll;
    QWidget *m_content;
    QVBoxLayout *m_layout;
    QLabel *m_empty;
    QObject *m_selectableOnHover;   // makes a value row selectable
    QList<QBoardInfoBox *> m_boxes;
    QHash<QString, QLabel *> m_values;
};

#endif
