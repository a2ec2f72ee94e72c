#include "history/widgets/QSiteItemsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

QSiteItemsDialog::QSiteItemsDialog(const ArchiveLocation &location, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("siteItemsDialog"));
    setWindowTitle(QStringLiteral("Items of the site"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(560, 520);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Every item of every station in the shared archive. Another "
                                                "station's lines are read from the archive every few seconds."),
                                 this));
    m_filter = new QLineEdit(this);
    m_filter->setPlaceholderText(QStringLiteral("Filter: station, system, channel, parameter"));
    m_filter->setClearButtonEnabled(true);
    layout->addWidget(m_filter);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(m_list, 1);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);

    ArchiveReader reader(location);
    m_items = reader.items();
    for (const ArchiveReader::StoredItem &item : std::as_const(m_items))
        m_list->addItem(itemText(item));
    if (!reader.isOpen())
        layout->insertWidget(0, new QLabel(QStringLiteral("The archive cannot be read: %0").arg(reader.error()), this));

    connect(m_filter, &QLineEdit::textChanged, this, &QSiteItemsDialog::applyFilter);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(this, &QDialog::accepted, this, [this] {
        QVector<ArchiveReader::StoredItem> picked;
        for (int row = 0; row < m_list->count(); ++row)
            if (m_list->item(row)->isSelected() && !m_list->item(row)->isHidden())
                picked.append(m_items.at(row));
        emit chosen(picked);
    });
}

QString QSiteItemsDialog::itemText(const ArchiveReader::StoredItem &item)
{
    QStringList parts;
    if (!item.key.station.isEmpty())
        parts << item.key.station;
    parts << item.key.system;
    if (item.key.board >= 0)
        parts << QStringLiteral("board %0").arg(item.key.board);
    if (item.key.channel >= 0)
        parts << (item.label.isEmpty() ? QStringLiteral("channel %0").arg(item.key.channel)
                                       : QStringLiteral("%0 (%1)").arg(item.label).arg(item.key.channel));
    parts << item.key.parameter;
    return parts.join(QStringLiteral(" / "));
}

void QSiteItemsDialog::applyFilter(const QString &text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        bool shown = true;
        for (const QString &w : words)
            shown = shown && item->text().contains(w, Qt::CaseInsensitive);
        item->setHidden(!shown);
    }
}
