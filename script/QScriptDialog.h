#ifndef QSCRIPTDIALOG_H
#define QSCRIPTDIALOG_H

// The action script dialog of one system: the editor, check, save, load,
// the wizard, and the run with its "Script Execution" window.
//
// The dialog outlives its system if need be: when the system is
// disconnected the dialog keeps the script (it can still be saved) and
// refuses to start; a run in progress ends at once. Closing the dialog
// during a run stops the run first and closes when it has ended.

#include "device/QSystemInterface.h"
#include "script/QScriptWizard.h"

#include <QDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QPushButton;
class QTextEdit;

namespace script {
class ScriptRunner;
}

class QScriptDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QScriptDialog(QSystemInterface *system, QWidget *parent = nullptr);
    ~QScriptDialog() override;

    QSystemInterface *system() const { return m_system; }
    QTextEdit *actionsEdit() const { return m_actionsEdit; }
    script::ScriptRunner *runner() const { return m_runner; }
    QWidget *executionWindow() const { return m_execWindow; }
    QTextEdit *reportView() const { return m_reportView; }
    QScriptWizard *wizard() const { return m_wizard; }
    QProgressDialog *checkProgress() const { return m_checkProgress; }
    bool isRunning() const;

    // The work of the Save and Load buttons once a file has been chosen:
    // false when nothing was saved or loaded (the operator was told why, or
    // declined to replace the editor's script).
    bool saveScriptTo(const QString &fileName);
    bool loadScriptFrom(const QString &fileName);

    // Replaces the editor's text by these lines (the wizard's result).
    void setScriptLines(const QStringList &lines);

public slots:
    void checkScriptEdited();
    void saveScript();
    void loadScript();
    void actionsEditChanged();
    bool clearOldScriptWarning();
    void handleExecActions();
    void startButtonClicked();
    void pauseButtonClicked();
    void stopButtonClicked();
    void createWizardDialog();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void systemDestroyed();
    void showReportPiece(const QString &html);

private:
    void buildExecutionWindow();
    void setExecButtons(bool start, bool pause, bool stop);

    QPointer<QSystemInterface> m_system;
    bool m_systemGone = false;
    bool m_closeAfterRun = false;
    QTextEdit *m_actionsEdit = nullptr;
    QPushButton *m_checkButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_loadButton = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_wizardButton = nullptr;
    QLabel *m_systemLabel = nullptr;
    script::ScriptRunner *m_runner = nullptr;
    QWidget *m_execWindow = nullptr;
    QTextEdit *m_reportView = nullptr;
    QPushButton *m_execStart = nullptr;
    QPushButton *m_execPause = nullptr;
    QPushButton *m_execStop = nullptr;
    QPointer<QScriptWizard> m_wizard;
    QPointer<QProgressDialog> m_checkProgress;
};

#endif
