#ifndef QRESTOREREPORTDIALOG_H
#define QRESTOREREPORTDIALOG_H

// The one report at the end of a restore: what was written, what was
// refused and why, what was skipped; then, once the ramps have had their
// time, the verification of the live values against the snapshot.

#include "snapshot/RestoreVerify.h"

#include <QDialog>
#include <functional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

class QRestoreReportDialog : public QDialog
{
    Q_OBJECT
public:
    using Verifier = std::function<QVector<snapshot::Mismatch>(double tolerance)>;
    // Library codes in the report are told in the operator's words (CommandFeedback).
    QRestoreReportDialog(const snapshot::RestoreReport &report, const QString &undoName, double rampSeconds,
                         double tolerance, Verifier verifier, QWidget *parent = nullptr);

    void verifyNow();

    QLabel *summaryLabel() const { return m_summary; }
    QTableWidget *outcomeTable() const { return m_outcomes; }
    QLabel *verifyLabel() const { return m_verifyLabel; }
    QTableWidget *mismatchTable() const { return m_mismatches; }

private:
    void tick();

    Verifier m_verifier;
    QLabel *m_summary = nullptr;
    QTableWidget *m_outcomes = nullptr;
    QLabel *m_verifyLabel = nullptr;
    QDoubleSpinBox *m_tolerance = nullptr;
    QPushButton *m_verifyButton = nullptr;
    QTableWidget *m_mismatches = nullptr;
    QTimer *m_timer = nullptr;
    int m_secondsLeft = 0;
};

#endif
