#ifndef QFLAGWORDDIALOG_H
#define QFLAGWORDDIALOG_H

// The system-wide configuration words of a mainframe, edited one bit per
// check box: "GenSignCfg" (QGenSignCfgDialog) and "ResFlagCfg"
// (QResetFlagsDialog). Bits 0..5 are shown; a hidden box keeps the bit read
// at opening, and so do the bits above 5. Accepting writes the word to the
// system property through parameter access and tells the operator when the
// system refuses it. The dialog deletes itself when closed.

#include <QDialog>
#include <QString>
#include <QStringList>

class ORVEHVNode;
class QCheckBox;

class QFlagWordDialog : public QDialog
{
    Q_OBJECT
public:
    static const char *const CheckedStyle;
    static const char *const UncheckedStyle;

    bool flag(int bit) const { return bit >= 0 && bit < 6 && m_flags[bit]; }
    // The word as it would be written now.
    int word() const;
    QCheckBox *checkBox(int bit) const { return bit >= 0 && bit < 6 ? m_boxes[bit] : nullptr; }
    QString propertyName() const { return m_propertyName; }

public slots:
    void changeFlag0(int state) { changeFlag(0, state); }
    void changeFlag1(int state) { changeFlag(1, state); }
    void changeFlag2(int state) { changeFlag(2, state); }
    void changeFlag3(int state) { changeFlag(3, state); }
    void changeFlag4(int state) { changeFlag(4, state); }
    void changeFlag5(int state) { changeFlag(5, state); }
    void okButtonClicked();

protected:
    // texts: the six bit texts; hiddenBits: bits whose box is hidden.
    QFlagWordDialog(QWidget *parent, int word, ORVEHVNode *systemNode, const QString &propertyName,
                    const QString &title, const QStringList &texts, const QList<int> &hiddenBits);

private:
    void changeFlag(int bit, int state);

    int m_read = 0;  // the word at opening
    bool m_flags[6] = {};
    QCheckBox *m_boxes[6] = {};
    ORVEHVNode *m_systemNode;
    QString m_propertyName;
};

// "Gen Sign Cfg": the general signal configuration word "GenSignCfg".
class QGenSignCfgDialog : public QFlagWordDialog
{
    Q_OBJECT
public:
    QGenSignCfgDialog(QWidget *parent, int word, ORVEHVNode *systemNode = nullptr);
};

// "Reset Flag Configuration": what a CPU failure, the front panel and a
// software reset reset ("ResFlagCfg"); only bits 0, 2 and 3 can be changed.
class QResetFlagsDialog : public QFlagWordDialog
{
    Q_OBJECT
public:
    QResetFlagsDialog(QWidget *parent, int word, ORVEHVNode *systemNode = nullptr);
};

#endif
