#ifndef QSYSTEMINFORMATIONS_H
#define QSYSTEMINFORMATIONS_H

// The commands panel of one system, shown in its box in the left dock: the
// system-wide commands (kill, clear alarm, global on/off, turn off all, 48 V
// power), the buttons that open the information and flag dialogs, the fan
// speed, the advanced features (scripts, value logging) and live read-outs
// of the power, front panel, fan and CPU state.
//
// Only the buttons that a system type supports are created. Every command
// asks first; a command or write the system refuses is reported to the
// operator once, naming the command and the system, and for writes to many
// channels how many were not switched.
//
// Owned by its QSystemInterface; enabled while the system is connected.

#include <QGroupBox>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

class ORVEHVNode;
class QGridLayout;
class QLabel;
class QPushButton;
class QSystemInterface;
class QVBoxLayout;

class QSystemInformations : public QGroupBox
{
    Q_OBJECT
public:
    static const char *const ButtonStyle;
    static const char *const KillStyle;
    static const char *const HighlightStyle;
    static const char *const GreenStyle;   // active log button, 48 V switched off
    static const char *const GreyStyle;    // 48 V switched on, or not available
    static const char *const NoSelectionTip;

    explicit QSystemInformations(QSystemInterface *sys, QWidget *parent = nullptr);
    // Closes the flag and information dialogs it opened: they hold the
    // system's tree, which goes with the panel.
    ~QSystemInformations() override;

    int systemType() const { return m_systemType; }
    QString connectionArgument() const { return m_connectionArgument; }
    int systemIndex() const { return m_systemIndex; }
    Q_INVOKABLE void setSystemIndex(int index) { m_systemIndex = index; }
    ORVEHVNode *systemNode() const;

    // A system property changed: refreshes the read-out that shows it.
    void refreshParameter(const ORVEHVNode *property);

    // The value-logging selection was made (or cleared): the "ON"/"OFF" pair
    // becomes usable.
    void setLogSelectionMade(bool made);

    // Widgets by their label ("KILL", "CLEAR\nALARM", "48V\nPW", "LOG", ...);
    // null when this system type has no such button.
    QPushButton *button(const QString &label) const { return m_buttons.value(label); }
    QList<QPushButton *> fanButtons() const { return m_fanButtons; }
    // Read-out text and lamp picture of a system property (empty when not shown).
    QString readoutText(const QString &property) const;
    QString lampPicture(const QString &property) const;

signals:
    void clickedWidget();
    void startLog(bool started);
    // A system command was carried out: `result` 0 when done, else the
    // library code of the first refusal (the operator is told separately).
    void commandDone(const QString &command, const QString &systemName, int result);

public slots:
    void changeFanButtonColor();
    void changeWriteFanSpeedValues();
    void sessionClicked();
    void killClicked();
    void Pw48Clicked();
    void turnOffAllClicked();
    void clearAlarmClicked();
    void globalOnClicked();
    void globalOffClicked();
    void resetHVClicked();
    void recoveryHVClicked();
    void resetFlagsClicked();
    void crateMapClicked();
    void genSignCfgClicked();
    void techInfoClicked();
    void sysInfoClicked();
    void sysInfoB8181Clicked();
    void techInfoB8181Clicked();
    void webminClicked();
    void scriptingClicked();
    void loggingClicked();
    void startLogClicked();
    void stopLogClicked();
    void resizeSplitter();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPushButton *addButton(QGridLayout *grid, const QString &label, void (QSystemInformations::*slot)());
    void buildCommands(QVBoxLayout *layout);
    void buildReadouts(QVBoxLayout *layout);
    void buildSettings(QVBoxLayout *layout);
    void buildAdvanced(QVBoxLayout *layout);
    void applyNormalStyles();
    void apply48VStyle();
    void applyLogLook();
    bool confirm(const QString &label, const QString &text);
    void execute(const QString &label, const char *command);
    void writeToEveryChannel(const QString &label);
    void writeClearAlarmToBoards(const QString &label);
    void showFanSpeed();
    // Reads a flag word afresh for its dialog; false (reported) when it cannot.
    bool readWord(const QString &name, int *word);
    QString systemName() const;
    void track(QWidget *dialog);

    QPointer<QSystemInterface> m_sys;
    int m_systemType = -1;
    int m_linkType = -1;
    QString m_connectionArgument;
    int m_systemIndex = 0;
    QHash<QString, QPushButton *> m_buttons;
    QList<QPushButton *> m_fanButtons;
    QPushButton *m_logOn = nullptr;
    QPushButton *m_logOff = nullptr;
    // Which of the pair was pressed last (none before the first press).
    enum class LogLook { None, On, Off } m_logLook = LogLook::None;
    QHash<QString, QLabel *> m_readouts;
    QHash<QString, QLabel *> m_lamps;
    QList<QPointer<QWidget>> m_dialogs;
    QPointer<QWidget> m_logDialog;
};

#endif
