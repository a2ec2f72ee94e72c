#ifndef QCUSTOMBOX_H
#define QCUSTOMBOX_H

// One system's box in the left dock: icon, name, expand indicator and the
// "Configure" and "Disconnect"/"Delete" buttons; below them the system's
// commands panel, shown while the box is expanded. Every signal carries the
// box's index (the system index).

#include <QFrame>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

class QCustomBox : public QFrame
{
    Q_OBJECT
public:
    static const char *const ExpandedPicture;   // arrow down
    static const char *const CollapsedPicture;  // arrow right
    static const char *const SwitchOnPicture;
    static const char *const SwitchOffPicture;

    QCustomBox(int index, const QString &title, const QString &iconPath, const QString &extraText,
               const QString &disconnectText, QWidget *parent = nullptr);

    int index() const { return m_index; }
    Q_INVOKABLE void setSystemIndex(int index) { m_index = index; }

    QString title() const;
    void setTitle(const QString &title);
    QString iconPath() const { return m_iconPath; }

    // The expandable part (the commands panel); the box does not own it, it
    // only shows it. Null removes it.
    void setContentWidget(QWidget *content);
    QWidget *contentWidget() const { return m_content; }

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // Boxes with a power switch show its state where the arrow would be:
    // -1 no switch (arrow), 0 off, 1 on.
    void setPowerSwitch(int state);
    // Picture currently shown by the expand indicator.
    QString expandPicture() const { return m_expandPicture; }

    // A line under the buttons that tells something about the system's
    // state (its values may be old); empty hides it.
    void setNotice(const QString &text);
    QLabel *noticeLabel() const { return m_notice; }

    QLabel *titleLabel() const { return m_title; }
    QPushButton *extraButton() const { return m_extra; }
    QPushButton *disconnectButton() const { return m_disconnect; }
    QToolButton *expandButton() const { return m_expand; }
    QFrame *header() const { return m_header; }

signals:
    void itemClicked(int index);
    void clickedDisconnectButton(int index);
    void clickedExtraButton(int index);
    void clickedExpandButton(int index);

public slots:
    void disconnectButtonClick();
    void extraButtonClick();
    void expandButtonClick();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyStyle();
    void updateExpandPicture();
    void elideTitle();

    int m_index;
    QString m_titleText;
    QString m_iconPath;
    bool m_expanded = false;
    bool m_selected = false;
    int m_powerSwitch = -1;
    QString m_expandPicture;
    QFrame *m_header;
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_notice;
    QToolButton *m_expand;
    QPushButton *m_extra;
    QPushButton *m_disconnect;
    QVBoxLayout *m_bodyLayout;
    QPointer<QWidget> m_content;
};

#endif
