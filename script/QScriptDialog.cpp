#include "script/QScriptDialog.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "device/SystemTitle.h"
#include "script/QScriptWizard.h"
#include "script/ScriptFile.h"
#include "script/ScriptLanguage.h"
#include "script/ScriptRunLock.h"
#include "script/ScriptRunner.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

using script::ScriptRunner;

namespace {

const char *const ButtonSheet = "border:none; background:transparent;";
const char *const ButtonBarSheet =
    "QWidget#execButtonBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
    "stop:0 #5a5a5a, stop:0.5 #383838, stop:1 #1e1e1e); }";

// Watches the execution window: closing it during a run stops the run.
class CloseStopsRun : public QObject
{
public:
    CloseStopsRun(ScriptRunner *runner, QObject *parent) : QObject(parent), m_runner(runner) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && m_runner->isRunning())
            m_runner->requestStop();
        return QObject::eventFilter(watched, event);
    }

private:
    ScriptRunner *m_runner;
};

} // namespace

QScriptDialog::QScriptDialog(QSystemInterface *system, QWidget *parent)
    : QDialog(parent), m_system(system)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("QScriptDialog"));
    setWindowTitle(SystemTitle::of(QStringLiteral("Actions Script"), system));

    m_actionsEdit = new QTextEdit(this);
    m_actionsEdit->setObjectName(QStringLiteral("actionsEdit"));
    m_actionsEdit->setAcceptRichText(false);
    m_actionsEdit->setLineWrapMode(QTextEdit::NoWrap);
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    if (!QFontDatabase::isFixedPitch(mono.family()))
        mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_actionsEdit->setFont(mono);

    m_systemLabel = new QLabel(this);
    m_systemLabel->setObjectName(QStringLiteral("systemGoneLabel"));
    m_systemLabel->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    m_systemLabel->hide();

    m_checkButton = new QPushButton(QStringLiteral("Check"), this);
    m_saveButton = new QPushButton(QStringLiteral("Save"), this);
    m_loadButton = new QPushButton(QStringLiteral("Load"), this);
    m_wizardButton = new QPushButton(QStringLiteral("Wizard.."), this);
    m_startButton = new QPushButton(QStringLiteral("Start"), this);
    for (QPushButton *b : {m_checkButton, m_saveButton, m_loadButton, m_wizardButton, m_startButton})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_checkButton);
    buttons->addWidget(m_saveButton);
    buttons->addWidget(m_loadButton);
    buttons->addWidget(m_wizardButton);
    buttons->addStretch(1);
    buttons->addWidget(m_startButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_actionsEdit, 1);
    layout->addWidget(m_systemLabel);
    layout->addLayout(buttons);
    resize(560, 420);

    connect(m_checkButton, &QPushButton::clicked, this, &QScriptDialog::checkScriptEdited);
    connect(m_saveButton, &QPushButton::clicked, this, &QScriptDialog::saveScript);
    connect(m_loadButton, &QPushButton::clicked, this, &QScriptDialog::loadScript);
    connect(m_wizardButton, &QPushButton::clicked, this, &QScriptDialog::createWizardDialog);
    connect(m_startButton, &QPushButton::clicked, this, &QScriptDialog::handleExecActions);
    connect(m_actionsEdit, &QTextEdit::textChanged, this, &QScriptDialog::actionsEditChanged);

    m_runner = new ScriptRunner(system, this);
    connect(m_runner, &ScriptRunner::reportAppended, this, &QScriptDialog::showReportPiece);
    buildExecutionWindow();

    if (system)
        connect(system, &QObject::destroyed, this, &QScriptDialog::systemDestroyed);
    else
        systemDestroyed();
    actionsEditChanged();
}

QScriptDialog::~QScriptDialog() = default;

bool QScriptDialog::isRunning() const
{
    return m_runner->isRunning();
}

void QScriptDialog::buildExecutionWindow()
{
    // A window of its own, transient for this dialog: window managers keep
    // it above the editor (and the main window), so Stop stays in reach.
    m_execWindow = new QWidget(this, Qt::Window);
    m_execWindow->setObjectName(QStringLiteral("scriptExecutionWindow"));
    m_execWindow->setWindowTitle(SystemTitle::of(QStringLiteral("Script Execution"), m_system));
    m_execWindow->installEventFilter(new CloseStopsRun(m_runner, this));

    auto *bar = new QWidget(m_execWindow);
    bar->setObjectName(QStringLiteral("execButtonBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    bar->setStyleSheet(QLatin1String(ButtonBarSheet));
    auto makeButton = [&](const char *icon, const char *name, const char *tip) {
        auto *b = new QPushButton(bar);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QLatin1String(tip));
        b->setIcon(QIcon(QLatin1String(icon)));
        b->setIconSize(QSize(32, 32));
        b->setStyleSheet(QLatin1String(ButtonSheet));
        b->setCursor(Qt::PointingHandCursor);
        return b;
    };
    m_execStart = makeButton(":Resources/buttons/start.png", "startButton", "Start");
    m_execPause = makeButton(":Resources/buttons/pause.png", "pauseButton", "Pause");
    m_execStop = makeButton(":Resources/buttons/stop.png", "stopButton", "Stop");
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 4, 8, 4);
    barLayout->addWidget(m_execStart);
    barLayout->addWidget(m_execPause);
    barLayout->addWidget(m_execStop);
    barLayout->addStretch(1);

    m_reportView = new QTextEdit(m_execWindow);
    m_reportView->setObjectName(QStringLiteral("reportView"));
    m_reportView->setReadOnly(true);
    m_reportView->setStyleSheet(QStringLiteral("QTextEdit { background: white; color: black; }"));

    auto *layout = new QVBoxLayout(m_execWindow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_reportView, 1);
    m_execWindow->resize(620, 460);

    connect(m_execStart, &QPushButton::clicked, this, &QScriptDialog::startButtonClicked);
    connect(m_execPause, &QPushButton::clicked, this, &QScriptDialog::pauseButtonClicked);
    connect(m_execStop, &QPushButton::clicked, this, &QScriptDialog::stopButtonClicked);
    setExecButtons(true, false, false);
}

void QScriptDialog::setExecButtons(bool start, bool pause, bool stop)
{
    m_execStart->setEnabled(start);
    m_execPause->setEnabled(pause);
    m_execStop->setEnabled(stop);
}

void QScriptDialog::showReportPiece(const QString &html)
{
    // The head of the report opens a style element it never closes; shown
    // as it stands it would hide the whole report, so the view starts
    // empty and takes only the pieces after it.
    if (html == QLatin1String(ScriptRunner::ReportHead)) {
        m_reportView->clear();
        return;
    }
    if (html == QLatin1String(ScriptRunner::ReportTail))
        return;
    QTextCursor c(m_reportView->document());
    c.movePosition(QTextCursor::End);
    c.insertHtml(html);
    m_reportView->setTextCursor(c);
    m_reportView->ensureCursorVisible();
}

// ---------------------------------------------------------------- editor

void QScriptDialog::actionsEditChanged()
{
    const bool hasText = !m_actionsEdit->toPlainText().isEmpty();
    m_saveButton->setEnabled(hasText);
    m_checkButton->setEnabled(hasText);
    m_startButton->setEnabled(hasText && !m_systemGone && !isRunning());
}

bool QScriptDialog::clearOldScriptWarning()
{
    if (m_actionsEdit->toPlainText().isEmpty())
        return true;
    OperatorMessage m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("There are still actions in the previous script. \nWhen new script will be "
                            "generated, everything \nwill be cleared. Do you really want to continue?");
    m.buttons = QStringList{QStringLiteral("Yes"), QStringLiteral("No")};
    m.defaultButton = 1;
    return showOperatorMessage(m, this) == 0;
}

void QScriptDialog::setScriptLines(const QStringList &lines)
{
    m_actionsEdit->setPlainText(lines.join(QLatin1Char('\n')));
}

void QScriptDialog::checkScriptEdited()
{
    if (m_checkProgress)
        m_checkProgress->close();
    auto *progress = new QProgressDialog(this);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->setWindowModality(Qt::WindowModal);
    progress->setWindowTitle(QStringLiteral("KEBODESK"));
    progress->setLabelText(QStringLiteral("Checking script format.."));
    progress->setRange(0, 100);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    m_checkProgress = progress;
    connect(progress, &QProgressDialog::canceled, progress, &QWidget::close);

    const int r = script::checkScript(script::splitActions(m_actionsEdit->toPlainText()), [progress] {
        if (progress->value() < 99)
            progress->setValue(progress->value() + 1);
    });
    QString label = r == 0 ? QStringLiteral("Script format correct.")
                           : QStringLiteral("Script not correctly formatted.");
    if (r > 0)
        label += QStringLiteral("\nSyntax error in action [%0]").arg(r);
    progress->setLabelText(label);
    progress->setValue(100);
    progress->setCancelButtonText(QStringLiteral("Ok"));
    progress->show();
}

// ----------------------------------------------------------------- files

void QScriptDialog::saveScript()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setNameFilter(script::fileFilter());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveScriptTo(dialog.selectedFiles().first());
}

bool QScriptDialog::saveScriptTo(const QString &fileName)
{
    const QString path = script::withExtension(fileName);
    QString error;
    if (script::writeScriptFile(path, m_actionsEdit->toPlainText(), &error))
        return true;
    OperatorMessage m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("The script could not be saved.");
    m.informativeText = QStringLiteral("%0: %1").arg(path, error);
    showOperatorMessage(m, this);
    return false;
}

void QScriptDialog::loadScript()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(script::fileFilter());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    loadScriptFrom(dialog.selectedFiles().first());
}

bool QScriptDialog::loadScriptFrom(const QString &fileName)
{
    QByteArray bytes;
    QString error;
    if (!script::readScriptFile(fileName, &bytes, &error)) {
        OperatorMessage m;
        m.icon = QMessageBox::Warning;
        m.text = QStringLiteral("The script could not be read.");
        m.informativeText = QStringLiteral("%0: %1").arg(fileName, error);
        showOperatorMessage(m, this);
        return false;
    }
    if (bytes.isEmpty())
        return false;
    QStringList actions;
    if (!script::decodeScript(bytes, &actions, &error)) {
        OperatorMessage m;
        m.icon = QMessageBox::Warning;
        m.text = QStringLiteral("Incorrect file format.");
        m.informativeText = error;
        showOperatorMessage(m, this);
        return false;
    }
    if (actions.isEmpty() || !clearOldScriptWarning())
        return false;
    for (QString &a : actions)
        a += QLatin1Char(';');
    setScriptLines(actions);
    return true;
}

// ------------------------------------------------------------------- run

void QScriptDialog::handleExecActions()
{
    // one run at a time in the whole program: a second run would nest inside
    // the first and keep it from noticing its own Stop
    if (isRunning() || script::anyRunActive() || m_systemGone)
        return;
    const QStringList actions = script::splitActions(m_actionsEdit->toPlainText());
    m_startButton->setEnabled(false);
    // The editor stays where it is, read-only: minimising it would take its
    // main window along (window managers minimise a dialog with its parent)
    // and restoring it afterwards covered the execution window.
    m_actionsEdit->setReadOnly(true);
    setExecButtons(false, true, true);
    m_execWindow->show();
    m_execWindow->raise();
    m_execWindow->activateWindow();

    m_runner->run(actions);

    setExecButtons(true, false, false);
    m_actionsEdit->setReadOnly(false);
    if (m_closeAfterRun) {
        close();
        return;
    }
    actionsEditChanged();
}

void QScriptDialog::startButtonClicked()
{
    if (m_runner->state() == ScriptRunner::Paused) {
        setExecButtons(false, true, true);
        m_runner->resume();
        return;
    }
    handleExecActions();
}

void QScriptDialog::pauseButtonClicked()
{
    if (!isRunning())
        return;
    // Stop stays available: a paused run can be ended without resuming it
    setExecButtons(true, false, true);
    m_runner->pause();
}

void QScriptDialog::stopButtonClicked()
{
    setExecButtons(false, false, false);
    m_runner->requestStop();
}

void QScriptDialog::closeEvent(QCloseEvent *event)
{
    if (isRunning()) {
        m_closeAfterRun = true;
        m_runner->requestStop();
        event->ignore();
        return;
    }
    if (m_wizard)
        m_wizard->reject();
    m_execWindow->close();
    QDialog::closeEvent(event);
}

void QScriptDialog::systemDestroyed()
{
    m_systemGone = true;
    if (m_wizard)
        m_wizard->reject();
    m_wizardButton->setEnabled(false);
    m_systemLabel->setText(QStringLiteral("The system is no longer connected. The script can still be saved."));
    m_systemLabel->show();
    // a run in progress notices by itself and ends with its error line
    actionsEditChanged();
}

void QScriptDialog::createWizardDialog()
{
    if (m_systemGone || !m_system)
        return;
    if (m_wizard) {
        m_wizard->raise();
        m_wizard->activateWindow();
        return;
    }
    auto *wizard = new QScriptWizard(m_system, this);
    m_wizard = wizard;
    wizard->setAttribute(Qt::WA_DeleteOnClose);
    wizard->setAcceptCheck([this] { return clearOldScriptWarning(); });
    connect(wizard, &QDialog::accepted, this, [this, wizard] { setScriptLines(wizard->lines()); });
    wizard->show();
}
