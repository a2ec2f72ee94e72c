#include "snapshot/ui/QRestorePreviewDialog.h"

#include "snapshot/SnapshotCompare.h"
#include "snapshot/ui/SnapshotTables.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace snapshot;
using namespace snapshot_ui;

namespace {

QString placeOrAll(const ItemOutcome &o)
{
    const QString place = placeText(o.address);
    return place.isEmpty() ? QStringLiteral("whole system") : place;
}

} // namespace

QRestorePreviewDialog::QRestorePreviewDialog(Planner planner, QWidget *parent)
    : QDialog(parent), m_planner(std::move(planner))
{
    setObjectName(QStringLiteral("restorePreviewDialog"));
    setWindowTitle(QStringLiteral("Restore preview"));
    resize(980, 640);
    auto *layout = new QVBoxLayout(this);

    m_switchOn = new QLabel(this);
    m_switchOn->setObjectName(QStringLiteral("switchOnLabel"));
    m_switchOn->setAlignment(Qt::AlignCenter);
    m_switchOn->setMargin(8);
    layout->addWidget(m_switchOn);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_writes = makeListTable({QStringLiteral("#"), QStringLiteral("Step"), QStringLiteral("System"), QStringLiteral("Board"),
                          QStringLiteral("Channel"), QStringLiteral("Parameter"), QStringLiteral("Now"),
                          QStringLiteral("Will be")},
                         QStringLiteral("previewWrites"), this);
    layout->addWidget(m_writes, 3);

    m_refusedTitle = new QLabel(this);
    layout->addWidget(m_refusedTitle);
    m_refused = makeListTable({QStringLiteral("Map"), QStringLiteral("System"), QStringLiteral("Where"), QStringLiteral("Items"),
                           QStringLiteral("Not written because")},
                          QStringLiteral("previewRefused"), this);
    layout->addWidget(m_refused, 1);

    auto *buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(QStringLiteral("Restore"), QDialogButtonBox::AcceptRole);
    m_restore->setObjectName(QStringLiteral("confirmRestoreButton"));
    buttons->addButton(QDialogButtonBox::Cancel)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    replan();
}

void QRestorePreviewDialog::setBoardMapped(const QString &boardKey, bool mapped)
{
    if (mapped)
        m_mapped.insert(boardKey);
    else
        m_mapped.remove(boardKey);
    replan();
}

void QRestorePreviewDialog::replan()
{
    m_plan = m_planner(m_mapped);
    const int on = m_plan.switchOnCount;
    if (on > 0) {
        m_switchOn->setText(QStringLiteral("%1 channel%2 will be switched ON").arg(on).arg(on == 1 ? "" : "s"));
        m_switchOn->setStyleSheet(QStringLiteral("QLabel { font-size: 20px; font-weight: bold; color: white; background: #c0392b; }"));
    } else {
        m_switchOn->setText(QStringLiteral("No channel will be switched on"));
        m_switchOn->setStyleSheet(QStringLiteral("QLabel { font-size: 20px; font-weight: bold; color: #1e6b1e; background: #e3f3e3; }"));
    }
    m_summary->setText(QStringLiteral("%1 values will be written to the systems, in this order: limits, ramps, trip settings, "
                                      "names and other settings, then the voltages, then Pw off (%2 channel%3 switched off), "
                                      "then Pw on. Before the first write the present values are kept as an undo snapshot.")
                           .arg(m_plan.writes.size()).arg(m_plan.switchOffCount).arg(m_plan.switchOffCount == 1 ? "" : "s"));
    m_restore->setText(on > 0 ? QStringLiteral("Restore and switch %1 on").arg(on) : QStringLiteral("Restore"));
    m_restore->setEnabled(!m_plan.writes.isEmpty());
    fillWrites();
    fillRefused();
}

void QRestorePreviewDialog::fillWrites()
{
    m_writes->setRowCount(m_plan.writes.size());
    for (int r = 0; r < m_plan.writes.size(); ++r) {
        const PlannedWrite &w = m_plan.writes.at(r);
        const QString place = placeText(w.address);
        setRowTexts(m_writes, r,
               {QString::number(r + 1), phaseText(w.phase), w.systemName, place.section(QLatin1Char(' '), 0, 0),
                place.section(QLatin1Char(' '), 1, 1), w.address.parameter, valueText(w.live), valueText(w.value)});
        if (isSwitchOn(w))
            for (int c = 0; c < m_writes->columnCount(); ++c)
                m_writes->item(r, c)->setForeground(QColor(192, 57, 43));
    }
    m_writes->resizeColumnsToContents();
}

void QRestorePreviewDialog::fillRefused()
{
    int items = 0;
    for (const ItemOutcome &o : std::as_const(m_plan.refused))
        items += o.count;
    m_refusedTitle->setText(m_plan.refused.isEmpty()
                                ? QStringLiteral("Everything picked can be written.")
                                : QStringLiteral("<b>%1 values will not be written:</b>").arg(items));
    m_refused->setVisible(!m_plan.refused.isEmpty());
    m_refused->setRowCount(m_plan.refused.size());
    for (int r = 0; r < m_plan.refused.size(); ++r) {
        const ItemOutcome &o = m_plan.refused.at(r);
        setRowTexts(m_refused, r, {QString(), o.systemName, placeOrAll(o) + (o.address.parameter.isEmpty() ? QString() : QLatin1Char(' ') + o.address.parameter),
                              QString::number(o.count), o.reason});
        m_refused->removeCellWidget(r, 0);
        if (o.mappable) {
            const QString key = boardMapKey(o.address.system, o.address.slot);
            auto *box = new QCheckBox(QStringLiteral("write anyway"), m_refused);
            box->setToolTip(QStringLiteral("Write the snapshot's values to the board now in this slot"));
            connect(box, &QCheckBox::toggled, this, [this, key](bool on) { setBoardMapped(key, on); }, Qt::QueuedConnection);
            m_refused->setCellWidget(r, 0, box);
        }
    }
    // mapped boards are no longer refused; list them with their box ticked
    int row = m_refused->rowCount();
    for (const QString &key : std::as_const(m_mapped)) {
        m_refused->setRowCount(row + 1);
        setRowTexts(m_refused, row, {QString(), QString(), key.section(QLatin1Char('|'), 1, 1).prepend(QStringLiteral("slot ")),
                                QString(), QStringLiteral("mapped: the snapshot's values go to the board now in this slot")});
        auto *box = new QCheckBox(QStringLiteral("write anyway"), m_refused);
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this, key](bool on) { setBoardMapped(key, on); }, Qt::QueuedConnection);
        m_refused->setCellWidget(row++, 0, box);
        m_refused->setVisible(true);
    }
    m_refused->resizeColumnsToContents();
}
