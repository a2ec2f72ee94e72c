#include "snapshot/ui/QRestoreReportDialog.h"

#include "device/ParameterAccess.h"
#include "snapshot/SnapshotCompare.h"
#include "snapshot/ui/SnapshotTables.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using namespace snapshot;
using namespace snapshot_ui;

namespace {

// Verification waits for the ramps, but not for ever: a slow ramp can be
// verified again with the button.
constexpr int MaxWaitSeconds = 300;

QString reasonText(const ItemOutcome &o)
{
    return o.reason.isEmpty() ? libraryErrorText(o.code) : o.reason;
}

QString whereText(const ItemAddress &a)
{
    const QString place = placeText(a);
    const QString where = place.isEmpty() ? QStringLiteral("system") : place;
    return a.parameter.isEmpty() ? where : where + QLatin1Char(' ') + a.parameter;
}

} // namespace

QRestoreReportDialog::QRestoreReportDialog(const RestoreReport &report, const QString &undoName, double rampSeconds,
                                           double tolerance, Verifier verifier, QWidget *parent)
    : QDialog(parent), m_verifier(std::move(verifier))
{
    setObjectName(QStringLiteral("restoreReportDialog"));
    setWindowTitle(QStringLiteral("Restore report"));
    resize(900, 600);
    auto *layout = new QVBoxLayout(this);

    int refused = 0, skipped = 0;
    for (const ItemOutcome &o : report.refused)
        refused += o.count;
    for (const ItemOutcome &o : report.skipped)
        skipped += o.count;
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("reportSummary"));
    m_summary->setWordWrap(true);
    m_summary->setText(QStringLiteral("<b>%1written: %2 &nbsp; refused: %3 &nbsp; skipped: %4</b> &nbsp; (%5 channel%6 switched on)"
                                      "<br>The values before the restore are kept as snapshot %7: restoring it undoes this restore.")
                           .arg(report.cancelled ? QStringLiteral("Cancelled. ") : QString())
                           .arg(report.written.size())
                           .arg(refused)
                           .arg(skipped)
                           .arg(report.switchedOn)
                           .arg(report.switchedOn == 1 ? "" : "s")
                           .arg(undoName));
    if (refused > 0 || report.cancelled)
        m_summary->setStyleSheet(QStringLiteral("QLabel { color: #a02020; }"));
    layout->addWidget(m_summary);

    m_outcomes = makeListTable({QStringLiteral("Result"), QStringLiteral("System"), QStringLiteral("Where"),
                                QStringLiteral("Value"), QStringLiteral("Why")},
                               QStringLiteral("reportOutcomes"), this);
    auto add = [this](const QString &result, const QString &system, const QString &where, const QString &value,
                      const QString &why) {
        const int r = m_outcomes->rowCount();
        m_outcomes->insertRow(r);
        setRowTexts(m_outcomes, r, {result, system, where, value, why});
    };
    // refusals first: they are what the operator must act on
    for (const ItemOutcome &o : report.refused)
        add(o.count > 1 ? QStringLiteral("refused (%1)").arg(o.count) : QStringLiteral("refused"), o.systemName,
            whereText(o.address), o.count > 1 ? QString() : valueText(o.value), reasonText(o));
    for (const ItemOutcome &o : report.skipped)
        add(QStringLiteral("skipped"), o.systemName, whereText(o.address), valueText(o.value), reasonText(o));
    for (const PlannedWrite &w : report.written)
        add(QStringLiteral("written"), w.systemName, whereText(w.address), valueText(w.value), phaseText(w.phase));
    m_outcomes->resizeColumnsToContents();
    layout->addWidget(m_outcomes, 2);

    auto *row = new QHBoxLayout;
    m_verifyLabel = new QLabel(this);
    m_verifyLabel->setObjectName(QStringLiteral("verifyLabel"));
    row->addWidget(m_verifyLabel, 1);
    row->addWidget(new QLabel(QStringLiteral("VMon tolerance"), this));
    m_tolerance = new QDoubleSpinBox(this);
    m_tolerance->setObjectName(QStringLiteral("toleranceSpin"));
    m_tolerance->setRange(0.1, 1000);
    m_tolerance->setSuffix(QStringLiteral(" V"));
    m_tolerance->setValue(tolerance);
    row->addWidget(m_tolerance);
    m_verifyButton = new QPushButton(QStringLiteral("Verify now"), this);
    m_verifyButton->setObjectName(QStringLiteral("verifyButton"));
    connect(m_verifyButton, &QPushButton::clicked, this, &QRestoreReportDialog::verifyNow);
    row->addWidget(m_verifyButton);
    layout->addLayout(row);

    m_mismatches = makeListTable({QStringLiteral("System"), QStringLiteral("Where"), QStringLiteral("Does not match")},
                                 QStringLiteral("verifyMismatches"), this);
    m_mismatches->hide();
    layout->addWidget(m_mismatches, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &QRestoreReportDialog::tick);
    if (report.written.isEmpty()) {
        m_verifyLabel->setText(QStringLiteral("Nothing was written: nothing to verify."));
        m_verifyButton->setEnabled(false);
    } else {
        m_secondsLeft = qMin(MaxWaitSeconds, int(std::ceil(rampSeconds)) + 2);
        tick();
        m_timer->start();
    }
}

void QRestoreReportDialog::tick()
{
    if (m_secondsLeft <= 0) {
        verifyNow();
        return;
    }
    m_verifyLabel->setText(QStringLiteral("Waiting %1 s for the ramps before verifying..").arg(m_secondsLeft--));
}

void QRestoreReportDialog::verifyNow()
{
    m_timer->stop();
    const QVector<Mismatch> found = m_verifier(m_tolerance->value());
    m_mismatches->setRowCount(found.size());
    for (int r = 0; r < found.size(); ++r) {
        const Mismatch &m = found.at(r);
        setRowTexts(m_mismatches, r, {m.systemName, whereText(m.address), m.text});
    }
    m_mismatches->resizeColumnsToContents();
    m_mismatches->setVisible(!found.isEmpty());
    m_verifyLabel->setText(found.isEmpty()
                               ? QStringLiteral("Verified: every written value, Pw and VMon match the snapshot.")
                               : QStringLiteral("<b>Verified: %1 item%2 do not match the snapshot.</b>")
                                     .arg(found.size()).arg(found.size() == 1 ? "" : "s"));
    m_verifyLabel->setStyleSheet(found.isEmpty() ? QStringLiteral("QLabel { color: #1e6b1e; }")
                                                 : QStringLiteral("QLabel { color: #a02020; }"));
    m_verifyButton->setText(QStringLiteral("Verify again"));
}
