#include "history/widgets/QJournalDock.h"

#include "device/OperatorMessage.h"
#include "history/CsvText.h"
#include "history/JournalModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Alarms waiting for acknowledgement stand out.
class PendingLook : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(JournalModel::PendingRole).toBool()) {
            option->palette.setColor(QPalette::Text, QColor(200, 0, 0));
            option->font.setBold(true);
        }
    }
};

} // namespace

QJournalDock::QJournalDock(JournalModel *model, QWidget *parent)
    : QDockWidget(QStringLiteral("Journal"), parent), m_model(model)
{
    setObjectName(QStringLiteral("journalDock"));
    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(2, 2, 2, 2);

    auto *filters = new QHBoxLayout();
    m_systems = new QComboBox(content);
    m_systems->setObjectName(QStringLiteral("journalSystem"));
    m_kinds = new QComboBox(content);
    m_kinds->setObjectName(QStringLiteral("journalKind"));
    m_kinds->addItem(QStringLiteral("All kinds"), -1);
    for (int k = int(JournalKind::Channel); k <= int(JournalKind::Connection); ++k)
        m_kinds->addItem(journalKindText(JournalKind(k)), k);
    m_text = new QLineEdit(content);
    m_text->setObjectName(QStringLiteral("journalText"));
    m_text->setPlaceholderText(QStringLiteral("Filter text"));
    m_text->setClearButtonEnabled(true);
    filters->addWidget(m_systems);
    filters->addWidget(m_kinds);
    filters->addWidget(m_text, 1);
    if (model->canShowSite()) {
        auto *site = new QCheckBox(QStringLiteral("Site"), content);
        site->setObjectName(QStringLiteral("journalSite"));
        site->setToolTip(QStringLiteral("Also the other stations' entries from the shared archive (read only)"));
        connect(site, &QCheckBox::toggled, model, &JournalModel::setSiteView);
        filters->addWidget(site);
    }
    layout->addLayout(filters);

    m_filter = new JournalFilter(this);
    m_filter->setSourceModel(model);
    m_view = new QTableView(content);
    m_view->setObjectName(QStringLiteral("journalView"));
    m_view->setModel(m_filter);
    m_view->setItemDelegate(new PendingLook(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(JournalModel::TimeColumn, Qt::DescendingOrder);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->horizontalHeader()->setStretchLastSection(false);
    m_view->horizontalHeader()->setSectionResizeMode(JournalModel::TextColumn, QHeaderView::Stretch);
    QFont bold = m_view->font();
    bold.setBold(true);
    m_view->setColumnWidth(JournalModel::TimeColumn,
                           QFontMetrics(bold).horizontalAdvance(QStringLiteral("0000-00-00 00:00:00.000")) + 16);
    layout->addWidget(m_view, 1);

    auto *buttons = new QHBoxLayout();
    auto *ack = new QPushButton(QStringLiteral("Acknowledge"), content);
    ack->setObjectName(QStringLiteral("journalAcknowledge"));
    auto *ackAll = new QPushButton(QStringLiteral("Acknowledge all"), content);
    ackAll->setObjectName(QStringLiteral("journalAcknowledgeAll"));
    auto *save = new QPushButton(QStringLiteral("Export CSV..."), content);
    buttons->addWidget(ack);
    buttons->addWidget(ackAll);
    buttons->addStretch(1);
    buttons->addWidget(save);
    layout->addLayout(buttons);
    setWidget(content);

    connect(ack, &QPushButton::clicked, this, &QJournalDock::acknowledgeSelected);
    connect(ackAll, &QPushButton::clicked, this, &QJournalDock::acknowledgeAll);
    connect(save, &QPushButton::clicked, this, &QJournalDock::askExport);
    connect(m_systems, QOverload<int>::of(&QComboBox::activated), this,
            [this](int i) { m_filter->setSystem(i > 0 ? m_systems->itemText(i) : QString()); });
    connect(m_kinds, QOverload<int>::of(&QComboBox::activated), this,
            [this](int i) { m_filter->setKind(m_kinds->itemData(i).toInt()); });
    connect(m_text, &QLineEdit::textChanged, m_filter, &JournalFilter::setText);
    connect(m_view, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        const JournalEntry &e = m_model->entry(m_filter->mapToSource(index).row());
        // Another station's channel is not in this one's tables.
        if ((e.channel >= 0 || e.board >= 0) && !m_model->isForeign(e))
            emit channelRequested(e);
    });
    connect(model, &QAbstractItemModel::rowsInserted, this, &QJournalDock::refreshSystems);
    connect(model, &QAbstractItemModel::modelReset, this, &QJournalDock::refreshSystems);
    refreshSystems();
}

QString QJournalDock::countText(int count)
{
    if (count == 0)
        return QStringLiteral("No unacknowledged alarm");
    return count == 1 ? QStringLiteral("1 unacknowledged alarm") : QStringLiteral("%0 unacknowledged alarms").arg(count);
}

void QJournalDock::refreshSystems()
{
    const QStringList names = m_model->systems();
    if (m_systems->count() == names.size() + 1)
        return;
    const QString current = m_systems->currentIndex() > 0 ? m_systems->currentText() : QString();
    m_systems->clear();
    m_systems->addItem(QStringLiteral("All systems"));
    m_systems->addItems(names);
    const int keep = m_systems->findText(current);
    m_systems->setCurrentIndex(current.isEmpty() || keep < 0 ? 0 : keep);
}

void QJournalDock::acknowledgeSelected()
{
    QList<int> rows;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        rows.append(m_filter->mapToSource(index).row());
    m_model->acknowledge(rows);
}

void QJournalDock::acknowledgeAll()
{
    m_model->acknowledgeAll();
}

bool QJournalDock::exportCsv(const QString &path, QString *error)
{
    return CsvText::saveWhole(path, m_model->csv(m_filter->shownRows()).toUtf8(), error);
}

void QJournalDock::askExport()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export journal"), QString(),
                                                      QStringLiteral("CSV (*.csv)"));
    QString error;
    if (!path.isEmpty() && !exportCsv(path, &error))
        showOperatorMessage({QMessageBox::Warning, QStringLiteral("%0 could not be saved:\n%1.").arg(path, error),
                             QString(), {}}, this);
}
