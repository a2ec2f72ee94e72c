#include "views/QTripHandlingDialog.h"

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "device/SystemTitle.h"
#include "device/ValueText.h"
#include "device/WriteGate.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QStringList>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

// ------------------------------------------------------------ trip words

namespace triplines {

const QStringList &lineColours()
{
    static const QStringList colours = {"#FF0000", "#0000FF", "#00FF00", "#FFFF00", "#FF8000", "#8F00FF",
                                        "#0B0B61", "#61380B", "#2EFEF7", "#2A0A29", "#0B3B0B", "#FF00BF",
                                        "#0489B1", "#FF0040", "#A9D0F5", "#D8F781"};
    return colours;
}

int lineCount(bool external, int channels)
{
    return external ? 4 : qBound(0, channels / 2, 16);
}

quint32 lineWord(int line, int lines)
{
    if (line < 0 || line >= lines || line + lines >= 32)
        return 0;
    return (1u << (line + lines)) + (1u << line);
}

QString resultText(const QString &prefix, quint32 value, bool upperCase)
{
    const QString digits = hexText(value);
    return prefix + (upperCase ? digits : digits.toLower());
}

QString wordMeaning(quint32 value, int lines)
{
    QStringList drives, listens;
    for (int i = 0; i < lines && i < 32; ++i) {
        if (value & (1u << i))
            drives << QString::number(i);
        if (i + lines < 32 && (value & (1u << (i + lines))))
            listens << QString::number(i);
    }
    auto part = [](const char *verb, const QStringList &l) {
        const QString noun = l.size() > 1 ? QStringLiteral("lines") : QStringLiteral("line");
        return QStringLiteral("%1 %2 %3").arg(QLatin1String(verb), noun, l.join(QStringLiteral(", ")));
    };
    QStringList parts;
    if (!drives.isEmpty())
        parts << part("drives", drives);
    if (!listens.isEmpty())
        parts << part("listens to", listens);
    if (parts.isEmpty())
        return QStringLiteral("On no line");
    QString text = parts.join(QStringLiteral(" and "));
    text[0] = text.at(0).toUpper();
    return text;
}

} // namespace triplines

// ----------------------------------------------------------------- dialog

namespace {

const int kLineColumn = 0;
const int kResultColumn = 1;
const char *const kCheckIcon = ":/Resources/Elementi/check-white.png";

QString rowName(const QTableWidget *table, int row, const QString &board)
{
    const QTableWidgetItem *h = table->verticalHeaderItem(row);
    return QStringLiteral("%1 %2").arg(board, h ? h->text() : QString::number(row));
}

} // namespace

QTripHandlingDialog::QTripHandlingDialog(int flagExt, ORVEHVNode *system, QSystemInterface *sysIf,
                                         QWidget *parent)
    : SystemDialog(parent), m_external(flagExt != 0), m_system(system)
{
    m_param = m_external ? QStringLiteral("TripExt") : QStringLiteral("TripInt");
    setWindowTitle(SystemTitle::of(QStringLiteral("%1 Trip Configuration").arg(m_external ? "External" : "Internal"),
                                   system));
    setObjectName(QStringLiteral("QTripHandlingDialog"));
    // Only its own system's changes close it: trip dialogs of other systems
    // stay open.
    followSystemOf(system);
    if (sysIf && !sysIf->representsCustomView())
        followSystem(sysIf);

    auto *layout = new QVBoxLayout(this);
    auto *legend = new QLabel(QStringLiteral(
        "Choose a line under \"Line selection:\", then click a channel's Line cell to put the channel on that "
        "line; a second click takes it off. A channel on a line drives it (when it trips, the other channels "
        "of the line trip) and listens to it (it trips when another channel of the line trips). The number in "
        "a Line cell is the channel's line (its tool tip tells which lines it drives and listens to); Result "
        "is the %1 word that Apply or OK writes.").arg(m_param), this);
    legend->setObjectName(QStringLiteral("tripLegend"));
    legend->setWordWrap(true);
    layout->addWidget(legend);
    auto *tabs = new QTabWidget(this);
    QWidget *externalPage = nullptr;
    QHBoxLayout *externalRow = nullptr;
    if (m_external) {
        externalPage = new QWidget;
        externalPage->setStyleSheet(QStringLiteral("background: #efefef"));
        externalRow = new QHBoxLayout(externalPage);
    }

    if (m_system) {
        for (ORVEHVNode *board : m_system->children()) {
            if (board->kind() == KindContainer)
                continue;
            bool has = false;
            for (ORVEHVNode *ch : board->children())
                if (ORVEHVNode *p = ch->parameter(m_param)) {
                    has = true;
                    if (!m_prefixTaken) {
                        m_prefix = p->unitText();
                        m_prefixTaken = true;
                    }
                    break;
                }
            if (!has)
                continue;
            QTableWidget *table = buildTable(board);
            auto *box = new QGroupBox(m_external ? board->name() : QString());
            box->setFlat(true);
            auto *boxLayout = new QHBoxLayout(box);
            boxLayout->addWidget(table, 0, Qt::AlignTop);
            if (m_external) {
                externalRow->addWidget(box, 0, Qt::AlignTop);
                continue;
            }
            boxLayout->addWidget(buildLineSelector(board->place(), linesOf(table)), 0, Qt::AlignTop);
            boxLayout->addStretch();
            auto *page = new QWidget;
            page->setStyleSheet(QStringLiteral("background: #efefef"));
            auto *pageLayout = new QVBoxLayout(page);
            pageLayout->addWidget(box);
            pageLayout->addStretch();
            // Boards of many channels are taller than the dialog.
            auto *scroll = new QScrollArea;
            scroll->setWidgetResizable(true);
            scroll->setFrameShape(QFrame::NoFrame);
            scroll->setWidget(page);
            tabs->addTab(scroll, board->name());
        }
    }
    if (m_external) {
        // The boards scroll; the one selector stays in view below them.
        externalRow->addStretch();
        auto *scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(externalPage);
        auto *page = new QWidget;
        page->setStyleSheet(QStringLiteral("background: #efefef"));
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->addWidget(scroll, 1);
        pageLayout->addWidget(buildLineSelector(-1, triplines::lineCount(true, 0)));
        tabs->addTab(page, QStringLiteral("Boards"));
    }
    layout->addWidget(tabs);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QTripHandlingDialog::okClicked);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &QTripHandlingDialog::applyValues);
    m_buttons->button(QDialogButtonBox::Ok)->setToolTip(QStringLiteral("Write the Result words to the channels and close"));
    m_buttons->button(QDialogButtonBox::Apply)->setToolTip(QStringLiteral("Write the Result words to the channels"));
    m_buttons->button(QDialogButtonBox::Cancel)->setToolTip(QStringLiteral("Close without writing"));

    if (m_external)
        setGeometry(100, 300, 600, 750);
    else
        setGeometry(150, 200, 900, 640);

    if (m_complex)
        QTimer::singleShot(500, this, [this] {
            if (isVisible() && m_system)
                showWarningMessageBox();
        });
}

QDialog *QTripHandlingDialog::create(ORVEHVNode *system, int flagExt, QSystemInterface *sysIf, QWidget *parent)
{
    return new QTripHandlingDialog(flagExt, system, sysIf, parent);
}

// ------------------------------------------------------------ building

QTableWidget *QTripHandlingDialog::buildTable(ORVEHVNode *board)
{
    const QVector<ORVEHVNode *> &channels = board->children();
    auto *table = new QTableWidget(channels.size(), 2);
    table->setObjectName(QStringLiteral("tabletrip"));
    // The boards of a joined VME crate all sit in slot 0 of their own
    // systems: the table and its line selector go by the board's place.
    table->setProperty("slotNr", board->place());
    m_tableBoards.insert(table, board);
    table->setHorizontalHeaderLabels({QStringLiteral("Line"), QStringLiteral("Result")});
    table->setColumnWidth(kLineColumn, 35);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QFont small = table->verticalHeader()->font();
    small.setPointSize(8);
    table->verticalHeader()->setFont(small);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(20);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);

    for (int row = 0; row < channels.size(); ++row) {
        ORVEHVNode *ch = channels.at(row);
        auto *header = new QTableWidgetItem(ch->name());
        header->setFont(small);
        table->setVerticalHeaderItem(row, header);
        auto *line = new QTableWidgetItem;
        line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        line->setTextAlignment(Qt::AlignCenter);
        line->setForeground(QColor(QStringLiteral("#dddddd")));
        line->setBackground(Qt::white);
        table->setItem(row, kLineColumn, line);
        auto *result = new QTableWidgetItem;
        result->setBackground(QColor(QStringLiteral("#eeeeee")));
        table->setItem(row, kResultColumn, result);
        if (ORVEHVNode *p = ch->parameter(m_param))
            fillRow(table, row, p);
        else
            result->setFlags(Qt::ItemIsEnabled);  // nothing to write here
    }
    // wide enough for its header ("Line" in the header's bold font)
    table->resizeColumnToContents(kLineColumn);
    table->setColumnWidth(kLineColumn, qMax(table->columnWidth(kLineColumn), 35));
    table->resizeColumnToContents(kResultColumn);
    table->setColumnWidth(kResultColumn, qMax(table->columnWidth(kResultColumn), 90));
    // Fixed to its rows and columns: the page scrolls, not the table.
    const int w = table->verticalHeader()->sizeHint().width() + table->columnWidth(kLineColumn) +
                  table->columnWidth(kResultColumn) + 2 * table->frameWidth();
    const int h = table->horizontalHeader()->sizeHint().height() + 20 * table->rowCount() + 2 * table->frameWidth();
    table->setFixedSize(w, h);
    connect(table, &QTableWidget::itemClicked, this, &QTripHandlingDialog::checkCell);
    m_tables.append(table);
    return table;
}

void QTripHandlingDialog::fillRow(QTableWidget *table, int row, ORVEHVNode *param)
{
    QTableWidgetItem *line = table->item(row, kLineColumn);
    QTableWidgetItem *result = table->item(row, kResultColumn);
    showLine(line, -1);
    const NodeValue v = param->value();
    // An unread value is not shown as a word: applying must not write 0 over
    // the word the device holds.
    if ((v.status != ValueOk && v.status != ValueWriteFailed) || !v.value.isValid()) {
        result->setText(QString());
        result->setToolTip(QStringLiteral("Value not read from the device"));
        return;
    }
    result->setToolTip(QString());
    const quint32 word = quint32(v.value.toLongLong());
    result->setText(triplines::resultText(m_prefix, word, true));
    const int n = linesOf(table);
    int used = 0;
    for (int i = 0; i < n; ++i)
        if (word & (1u << i)) {
            showLine(line, i, word, n);
            ++used;
        }
    if (used == 0)
        showLine(line, -1, word, n);
    if (used > 1)
        m_complex = true;
}

void QTripHandlingDialog::showLine(QTableWidgetItem *cell, int line, quint32 word, int lines)
{
    cell->setToolTip(lines > 0 ? triplines::wordMeaning(word, lines) : QString());
    if (line < 0) {
        cell->setText(QString());
        cell->setBackground(Qt::white);
        return;
    }
    const QColor colour(triplines::lineColours().value(line));
    cell->setText(QString::number(line));
    cell->setBackground(colour);
    // The light grey number is unreadable on the light line colours.
    const int luma = (299 * colour.red() + 587 * colour.green() + 114 * colour.blue()) / 1000;
    cell->setForeground(luma > 140 ? QColor(Qt::black) : QColor(QStringLiteral("#dddddd")));
}

QWidget *QTripHandlingDialog::buildLineSelector(int slotNr, int lines)
{
    auto *frame = new QFrame;
    frame->setObjectName(QStringLiteral("lineSelector"));
    frame->setStyleSheet(QStringLiteral("border: 1px dotted darkgrey;"));
    if (m_external)
        frame->setMaximumHeight(100);
    else
        frame->setFixedWidth(500);
    auto *grid = new QGridLayout(frame);
    auto *title = new QLabel(QStringLiteral("Line selection:"));
    title->setStyleSheet(QStringLiteral("border: none;"));
    grid->addWidget(title, 0, 0, 1, 8);
    const int perRow = 8;
    for (int i = 0; i < lines; ++i) {
        const QString colour = triplines::lineColours().value(i);
        auto *button = new QPushButton;
        button->setObjectName(QStringLiteral("colorButt"));
        button->setStyleSheet(QStringLiteral("background-color: %1; border:none;").arg(colour));
        button->setIconSize(QSize(18, 18));
        button->setFixedSize(40, 24);
        button->setProperty("slotNr", slotNr);
        button->setProperty("color", colour);
        button->setProperty("line", i);
        button->setToolTip(QStringLiteral("Line %1: the line the next clicks on Line cells give").arg(i));
        connect(button, &QPushButton::clicked, this, &QTripHandlingDialog::chooseColor);
        auto *label = new QLabel(QStringLiteral("Line %1").arg(i));
        label->setStyleSheet(QStringLiteral("border: none;"));
        label->setAlignment(Qt::AlignCenter);
        const int r = 1 + 2 * (i / perRow);
        grid->addWidget(button, r, i % perRow, Qt::AlignCenter);
        grid->addWidget(label, r + 1, i % perRow, Qt::AlignCenter);
        m_allButtons.append(button);
        if (i == 0) {
            button->setIcon(QIcon(QString::fromLatin1(kCheckIcon)));
            m_chosen.append(button);
        }
    }
    grid->setRowStretch(grid->rowCount(), 1);
    return frame;
}

int QTripHandlingDialog::linesOf(const QTableWidget *table) const
{
    return triplines::lineCount(m_external, table->rowCount());
}

QList<QPushButton *> QTripHandlingDialog::lineButtons(int slotNr) const
{
    QList<QPushButton *> out;
    for (QPushButton *b : m_allButtons)
        if (b->property("slotNr").toInt() == slotNr)
            out.append(b);
    return out;
}

// ------------------------------------------------------------ editing

void QTripHandlingDialog::chooseColor()
{
    auto *chosen = qobject_cast<QPushButton *>(sender());
    if (!chosen)
        return;
    const int slotNr = chosen->property("slotNr").toInt();
    for (QPushButton *b : m_allButtons)
        if (b->property("slotNr").toInt() == slotNr)
            b->setIcon(b == chosen ? QIcon(QString::fromLatin1(kCheckIcon)) : QIcon());
    for (int i = 0; i < m_chosen.size(); ++i)
        if (m_chosen.at(i)->property("slotNr").toInt() == slotNr) {
            m_chosen[i] = chosen;
            return;
        }
    m_chosen.append(chosen);
}

void QTripHandlingDialog::checkCell(QTableWidgetItem *item)
{
    if (!item || item->column() != kLineColumn)
        return;
    QTableWidget *table = item->tableWidget();
    if (!table)
        return;
    const int slotNr = table->property("slotNr").toInt();
    QPushButton *button = nullptr;
    for (QPushButton *b : std::as_const(m_chosen)) {
        const int s = b->property("slotNr").toInt();
        if (s == slotNr || s == -1) {
            button = b;
            break;
        }
    }
    if (!button)
        return;
    QTableWidgetItem *result = table->item(item->row(), kResultColumn);
    if (!result || !(result->flags() & Qt::ItemIsEditable))
        return;  // the channel has no trip word
    quint32 word = 0;
    const int lines = linesOf(table);
    if (!item->text().isEmpty()) {
        showLine(item, -1, 0, lines);
    } else {
        const int line = button->property("line").toInt();
        word = triplines::lineWord(line, lines);
        showLine(item, line, word, lines);
    }
    result->setText(triplines::resultText(m_prefix, word, false));
    result->setToolTip(QString());
}

// ------------------------------------------------------------ applying

ORVEHVNode *QTripHandlingDialog::tripParameter(const QTableWidget *table, int row) const
{
    ORVEHVNode *board = m_system ? m_tableBoards.value(table) : nullptr;
    if (!board)
        return nullptr;
    const int channels = qMin<int>(board->channelCount() ? board->channelCount() : board->children().size(),
                                   board->children().size());
    if (row < 0 || row >= channels)
        return nullptr;
    return board->children().at(row)->parameter(m_param);
}

bool QTripHandlingDialog::writeTables()
{
    const QString closed = WriteGate::refusal(m_param);
    if (!closed.isEmpty()) {
        // the write path refuses each row; the operator hears it once
        showOperatorMessage({QMessageBox::Warning, closed + QLatin1Char('.'), QString(), {}}, this);
        return false;
    }
    QStringList refused;
    for (QTableWidget *table : std::as_const(m_tables)) {
        const QString board = m_tableBoards.value(table)->name();
        for (int row = 0; row < table->rowCount(); ++row) {
            ORVEHVNode *param = tripParameter(table, row);
            QTableWidgetItem *result = table->item(row, kResultColumn);
            if (!param || !result)
                continue;
            const QString text = result->text();
            // A row whose word was never read and that nobody changed.
            if (text.isEmpty() && !result->toolTip().isEmpty())
                continue;
            // the word as typed or made here, read like any bit field
            QString digits = text.trimmed();
            if (!m_prefix.isEmpty() && digits.startsWith(m_prefix, Qt::CaseInsensitive))
                digits = digits.mid(m_prefix.size());
            QString reason;
            const int code = param->writeText(digits, &reason);
            if (!m_system)
                return false;  // the system went away while writing
            if (code != 0) {
                refused << QStringLiteral("%1: %2").arg(rowName(table, row, board), reason);
                // Show again what the device still holds.
                fillRow(table, row, param);
            }
        }
    }
    if (refused.isEmpty())
        return true;
    OperatorMessage m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("These channels kept their previous %1 value:\n%2").arg(m_param, refused.join('\n'));
    showOperatorMessage(m, this);
    // The box ran an event loop: the caller checks that the dialog is still there.
    return false;
}

void QTripHandlingDialog::applyValues()
{
    if (!m_system || m_tables.isEmpty())
        return;
    const bool fromApply = sender() == m_buttons->button(QDialogButtonBox::Apply);
    QList<QList<QTableWidgetSelectionRange>> selected;
    for (QTableWidget *t : std::as_const(m_tables))
        selected.append(t->selectedRanges());
    // Leaving the current cell commits a "Result" still being edited.
    for (QTableWidget *t : std::as_const(m_tables))
        t->setCurrentItem(nullptr);
    m_tables.first()->clearSelection();
    // A refusal is told in a box whose event loop may see this dialog closed
    // and deleted (its system changed or went).
    const QPointer<QTripHandlingDialog> self(this);
    const bool clean = writeTables();
    if (!self)
        return;
    m_lastApplyClean = clean;
    if (!fromApply || !m_system)
        return;
    for (int i = 0; i < m_tables.size() && i < selected.size(); ++i)
        for (const QTableWidgetSelectionRange &r : selected.at(i))
            m_tables.at(i)->setRangeSelected(r, true);
}

void QTripHandlingDialog::okClicked()
{
    if (!m_system) {
        reject();
        return;
    }
    m_lastApplyClean = true;
    const QPointer<QTripHandlingDialog> self(this);
    applyValues();
    // A refused row keeps the dialog open so the operator can mend it.
    if (self && m_lastApplyClean && m_system)
        accept();
}

void QTripHandlingDialog::showWarningMessageBox()
{
    OperatorMessage m;
    m.icon = QMessageBox::Warning;
    m.text = QStringLiteral("Some values of the Trip parameter currently set\n"
                            "are more complex than the ones which can be\n"
                            "configured in this window.\n"
                            "Please be careful while changing them, because\n"
                            "you could lose some link.");
    showOperatorMessage(m, this);
}
