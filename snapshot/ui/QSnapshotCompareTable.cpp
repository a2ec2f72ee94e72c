#include "snapshot/ui/QSnapshotCompareTable.h"

#include "device/OperatorMessage.h"
#include "history/CsvText.h"
#include "snapshot/ui/SnapshotTables.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace snapshot;
using namespace snapshot_ui;

namespace {

QString presenceText(const QVariant &v)
{
    return v.isValid() ? valueText(v) : QStringLiteral("(not there)");
}

} // namespace

QSnapshotCompareTable::QSnapshotCompareTable(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_title = new QLabel(QStringLiteral("Pick a snapshot and compare it with the live systems or with another snapshot."), this);
    m_title->setObjectName(QStringLiteral("compareTitle"));
    m_title->setWordWrap(true);
    layout->addWidget(m_title);

    auto *row = new QHBoxLayout;
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("compareFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter by system, board, channel or parameter"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, &QSnapshotCompareTable::setFilter);
    row->addWidget(m_filter, 1);
    m_export = new QPushButton(QStringLiteral("Export CSV.."), this);
    m_export->setObjectName(QStringLiteral("exportCsvButton"));
    connect(m_export, &QPushButton::clicked, this, &QSnapshotCompareTable::exportClicked);
    row->addWidget(m_export);
    layout->addLayout(row);

    m_table = makeListTable({QStringLiteral("Pick"), QStringLiteral("System"), QStringLiteral("Board"),
                             QStringLiteral("Channel"), QStringLiteral("Parameter"), QStringLiteral("Snapshot"),
                             QStringLiteral("Live"), QStringLiteral("Readback then"), QStringLiteral("Readback now")},
                            QStringLiteral("compareTable"), this);
    layout->addWidget(m_table, 1);
}

void QSnapshotCompareTable::setDifferences(const QString &title, const QString &firstName, const QString &secondName,
                                           const QVector<Difference> &differences)
{
    m_differences = differences;
    m_title->setText(title);
    m_table->horizontalHeaderItem(First)->setText(firstName);
    m_table->horizontalHeaderItem(Second)->setText(secondName);
    m_table->setSortingEnabled(false);
    m_table->setRowCount(differences.size());
    for (int r = 0; r < differences.size(); ++r) {
        const Difference &d = differences.at(r);
        auto *pick = new QTableWidgetItem;
        pick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        pick->setCheckState(Qt::Unchecked);
        pick->setData(Qt::UserRole, addressKey(d.address));
        m_table->setItem(r, Pick, pick);
        const bool channel = d.address.channel >= 0;
        const QStringList cells{d.systemName,
                                d.address.slot >= 0 ? QStringLiteral("Board%1").arg(d.address.slot, 2, 10, QLatin1Char('0')) : QString(),
                                channel ? QStringLiteral("Chan%1").arg(d.address.channel, 3, 10, QLatin1Char('0')) : QString(),
                                d.address.parameter,
                                presenceText(d.before),
                                presenceText(d.after),
                                channel ? readbackText(d.beforeReadback) : QString(),
                                channel ? readbackText(d.afterReadback) : QString()};
        setRowTexts(m_table, r, cells, System);
    }
    m_table->resizeColumnsToContents();
    setFilter(m_filter->text());
}

void QSnapshotCompareTable::setFilter(const QString &text)
{
    if (m_filter->text() != text)
        m_filter->setText(text);  // comes back here through textChanged
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int r = 0; r < m_table->rowCount(); ++r) {
        QString row;
        for (int c = System; c <= Parameter; ++c)
            row += m_table->item(r, c)->text() + QLatin1Char(' ');
        bool shown = true;
        for (const QString &w : words)
            shown = shown && row.contains(w, Qt::CaseInsensitive);
        m_table->setRowHidden(r, !shown);
    }
}

QSet<QString> QSnapshotCompareTable::pickedItems() const
{
    QSet<QString> picked;
    for (int r = 0; r < m_table->rowCount(); ++r)
        if (m_table->item(r, Pick)->checkState() == Qt::Checked)
            picked.insert(m_table->item(r, Pick)->data(Qt::UserRole).toString());
    return picked;
}

QString QSnapshotCompareTable::csvText() const
{
    QStringList header;
    for (int c = System; c < ColumnCount; ++c)
        header << m_table->horizontalHeaderItem(c)->text();
    QString text = CsvText::line(header);
    for (int r = 0; r < m_table->rowCount(); ++r) {
        if (m_table->isRowHidden(r))
            continue;
        QStringList fields;
        for (int c = System; c < ColumnCount; ++c)
            fields << m_table->item(r, c)->text();
        text += CsvText::line(fields);
    }
    return text;
}

bool QSnapshotCompareTable::exportCsv(const QString &path, QString *error) const
{
    QString reason;
    if (CsvText::saveWhole(path, csvText().toUtf8(), &reason))
        return true;
    *error = QStringLiteral("%1 cannot be written: %2.").arg(path, reason);
    return false;
}

void QSnapshotCompareTable::exportClicked()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export the comparison"), QString(),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!exportCsv(path, &error))
        showOperatorMessage({QMessageBox::Warning, error, {}, {}, -1, {}}, this);
}
