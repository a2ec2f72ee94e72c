#include "app/HistoryHooks.h"

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/ViewAccess.h"
#include "device/ORVEHVNode.h"
#include "device/ParameterAccess.h"
#include "device/WriteEvents.h"
#include "device/QSystemInterface.h"
#include "device/ValueText.h"
#include "history/Archive.h"
#include "history/HistorySettings.h"
#include "history/JournalModel.h"
#include "history/StatusConditions.h"
#include "history/widgets/ArchiveLogin.h"
#include "history/widgets/QJournalDock.h"
#include "history/widgets/QTrendWindow.h"
#include "panels/QSystemInformations.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTableWidget>
#include <QToolBar>

namespace {

HistoryHooks *s_instance = nullptr;

qint64 now() { return QDateTime::currentMSecsSinceEpoch(); }

// A status bit is a condition when the tables count it as a fault; it is
// named as the tables name it, in the context of the channel's on bit.
QString channelCondition(int systemType, quint32 word, int bit)
{
    if (bit == 0)
        return QString();
    const int alone = int((word & 1u) | (1u << bit));
    return channelStatusOk(systemType, alone) ? QString() : channelStatusText(systemType, alone);
}

QString boardCondition(int systemType, quint32, int bit)
{
    const QString text = boardStatusText(systemType, int(1u << bit));
    return text == boardStatusText(systemType, 0) ? QString() : text;
}

bool archived(const ORVEHVNode *node)
{
    return node->dataType() != DataText && node->kind() != KindConnectionItem;
}

// A channel or board status word: its bits are journaled as conditions.
bool isStatusWord(const ORVEHVNode *node)
{
    return node->libraryType() == 2 || node->libraryType() == 3;
}

QString systemNameOf(const QSystemInterface *sys)
{
    return sys && sys->systemNode() ? sys->systemNode()->name() : QString();
}

// The boards of a VME HV crate are systems of one name, each with its board
// in slot 0: a board is kept by its place in the crate, as the log numbers it.
int boardNumber(const QSystemInterface *sys, const ORVEHVNode *node)
{
    const bool inCrate = sys && sys->systemType() == ORVEHV_SYS_VMEHV && sys->crateOffset() > 0;
    return int(node->slot()) + (inCrate ? sys->crateOffset() : 0);
}

ItemKey keyOf(const QSystemInterface *sys, const ORVEHVNode *node)
{
    const bool onBoard = node->kind() == KindBoardParameter || node->kind() == KindChannelParameter;
    return {systemNameOf(sys), onBoard ? boardNumber(sys, node) : -1,
            node->kind() == KindChannelParameter ? int(node->channel()) : -1, node->name()};
}

// The channel node of a channel parameter in its system's tree.
const ORVEHVNode *channelNode(const QSystemInterface *sys, int slot, int channel)
{
    if (!sys || !sys->systemNode() || channel < 0)
        return nullptr;
    for (const ORVEHVNode *board : sys->systemNode()->children())
        if (board->kind() == KindBoard && board->slot() == slot)
            for (const ORVEHVNode *ch : board->children())
                if (ch->kind() == KindChannel && ch->channel() == channel)
                    return ch;
    return nullptr;
}

// The name the table shows for the channel now.
QString channelLabel(const QSystemInterface *sys, int slot, int channel, const QString &fallback)
{
    const ORVEHVNode *ch = channelNode(sys, slot, channel);
    const ORVEHVNode *name = ch ? ch->parameter(QStringLiteral("Name")) : nullptr;
    const QString text = name ? name->value().value.toString() : QString();
    return text.isEmpty() ? fallback : text;
}

} // namespace

HistoryHooks::HistoryHooks(MainWindow &window, SystemConnections &connections)
    : QObject(&window), m_window(window), m_connections(connections)
{
    s_instance = this;
    m_archive = std::make_unique<Archive>();
    connect(m_archive.get(), &Archive::unavailable, this, [this](const QString &reason) {
        m_window.showMessage({QMessageBox::Warning,
                              QStringLiteral("The history archive %0 cannot be used: %1.")
                                  .arg(m_archive->location().describe(), reason),
                              QStringLiteral("The program runs on without history: plots show only the values of "
                                             "this session, and the journal is not kept."),
                              {}});
    }, Qt::QueuedConnection);
    // Once per outage; the journal keeps when it began and ended.
    connect(m_archive.get(), &Archive::serverLost, this, [this](const QString &reason) {
        m_window.showMessage({QMessageBox::Warning,
                              QStringLiteral("The shared archive %0 cannot be reached: %1.")
                                  .arg(m_archive->location().describe(), reason.trimmed()),
                              QStringLiteral("Values wait here (up to %0) and are sent when it is back.")
                                  .arg(m_archive->options().backlogCapacity),
                              {}});
    });
    ArchiveLogin::open(*m_archive, HistorySettings::load(), &m_window);
    m_conditions = std::make_unique<StatusConditions>(StatusDecoder{&channelCondition, &boardCondition});
    m_journal = new JournalModel(m_archive.get(), this);
    buildEntries();

    connect(WriteEvents::instance(), &WriteEvents::writeRefused, this,
            [this](ORVEHVNode *node, const QVariant &value, int result, const QString &reason) {
                onWrite(node, value, result, reason);
            });
    connect(&m_connections, &SystemConnections::systemAdded, this, &HistoryHooks::follow);
    connect(&m_connections, &SystemConnections::systemAboutToBeRemoved, this, &HistoryHooks::forget);
    for (QSystemInterface *sys : m_connections.systems())
        follow(sys);
}

HistoryHooks::~HistoryHooks()
{
    // Trend windows read the archive's memory until they go.
    qDeleteAll(m_window.findChildren<QTrendWindow *>());
    if (s_instance == this)
        s_instance = nullptr;
}

HistoryHooks *HistoryHooks::instance()
{
    return s_instance;
}

void HistoryHooks::buildEntries()
{
    m_dock = new QJournalDock(m_journal, &m_window);
    m_window.addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    connect(m_dock, &QJournalDock::channelRequested, this, &HistoryHooks::showChannel);

    m_trendAction = new QAction(QStringLiteral("Trend"), this);
    m_trendAction->setObjectName(QStringLiteral("menuTrend"));
    m_trendAction->setToolTip(QStringLiteral("Plot the selected channels over time"));
    connect(m_trendAction, &QAction::triggered, this, &HistoryHooks::openTrend);
    m_journalAction = m_dock->toggleViewAction();
    m_journalAction->setText(QStringLiteral("Journal"));
    m_journalAction->setObjectName(QStringLiteral("menuJournal"));

    MainWindowForm &form = m_window.form();
    form.menuWindow->addSeparator();
    form.menuWindow->addAction(m_trendAction);
    form.menuWindow->addAction(m_journalAction);
    form.mainTBar->addAction(m_trendAction);
    form.mainTBar->addAction(m_journalAction);

    // Black tool bar: the plain text of an action button must be light.
    for (QAction *a : {m_trendAction, m_journalAction})
        if (QWidget *b = form.mainTBar->widgetForAction(a))
            b->setStyleSheet(QStringLiteral("QToolButton { color: white; } QToolButton:checked { color: black; }"));
    m_alarmCount = new QLabel(QJournalDock::countText(m_journal->unacknowledgedCount()), form.menuBar);
    m_alarmCount->setObjectName(QStringLiteral("journalAlarmCount"));
    m_alarmCount->setContentsMargins(6, 0, 6, 0);
    m_alarmCount->setMinimumWidth(m_alarmCount->fontMetrics().horizontalAdvance(QJournalDock::countText(999)) + 24);
    form.menuBar->setCornerWidget(m_alarmCount, Qt::TopRightCorner);
    connect(m_journal, &JournalModel::unacknowledgedChanged, m_alarmCount, [this](int count) {
        m_alarmCount->setText(QJournalDock::countText(count));
        m_alarmCount->setStyleSheet(count ? QStringLiteral("color: rgb(200,0,0); font-weight: bold") : QString());
    });
}

void HistoryHooks::record(const JournalEntry &entry)
{
    m_archive->recordJournal(entry);
}

// ------------------------------------------------------------ from events

void HistoryHooks::follow(QSystemInterface *sys)
{
    // A custom view's entry only re-emits the values of the systems it shows.
    if (sys->representsCustomView())
        return;
    connect(sys, &QSystemInterface::valueReported, this, [this, sys](ORVEHVNode *node) { onValue(sys, node); });
    connect(sys, &QSystemInterface::eventStatusReported, this,
            [this, sys](const ORVEHV_SYSTEMSTATUS_t &status) { onEventStatus(sys, status); });
    connect(sys, &QSystemInterface::connectionLost, this, [this, sys](int code) { onConnectionLost(sys, code); });
    connect(sys, &QSystemInterface::liveInsertion, this, [this, sys] { onLiveInsertion(sys); });
    for (auto nodesGo : {&QSystemInterface::boardsAboutToChange, &QSystemInterface::boardsChanged})
        connect(sys, nodesGo, this, [this] { m_items.clear(); });
    connect(sys, &QSystemInterface::boardGone, this, [this] { m_items.clear(); });
    // A joined VME HV board has no panel of its own: its crate's commands
    // are the crate's.
    if (auto *panel = qobject_cast<QSystemInformations *>(sys->systemCommandsPanel()))
        connect(panel, &QSystemInformations::commandDone, this, &HistoryHooks::onCommand);
}

void HistoryHooks::forget(QSystemInterface *sys)
{
    m_items.clear();
    m_systemWords.remove(sys);
    m_lost.remove(sys);
}

void HistoryHooks::onValue(QSystemInterface *sys, ORVEHVNode *node)
{
    if (!node || !archived(node))
        return;
    const bool status = isStatusWord(node);
    if (!m_archiving && !status)
        return;
    bool isNumber = false;
    const double value = node->value().value.toDouble(&isNumber);
    if (!isNumber)
        return;
    const qint64 t = now();
    if (m_archiving) {
        auto item = m_items.constFind(node);
        if (item == m_items.cend()) {
            const ItemKey key = keyOf(sys, node);
            item = m_items.insert(node, m_archive->item(key, channelLabel(sys, node->slot(), key.channel,
                                                                          node->channelName())));
        }
        m_archive->record(*item, t, value);
    }
    if (status)
        onStatusWord(sys, node, value, t);
}

void HistoryHooks::onStatusWord(QSystemInterface *sys, const ORVEHVNode *node, double value, qint64 time)
{
    const ItemKey key = keyOf(sys, node);
    const QString channel = key.channel >= 0 ? channelLabel(sys, node->slot(), key.channel, node->channelName()) : QString();
    for (const JournalEntry &e : m_conditions->update(key, channel, sys->systemType(), quint32(qint64(value)), time))
        record(e);
}

void HistoryHooks::onEventStatus(QSystemInterface *sys, const ORVEHV_SYSTEMSTATUS_t &status)
{
    const int before = m_systemWords.value(sys, 0);
    m_systemWords.insert(sys, status.System);
    if (before == status.System)
        return;
    auto word = [](int w) { return w == 1 ? QStringLiteral("System warning") : QStringLiteral("System error"); };
    JournalEntry e;
    e.time = now();
    e.system = systemNameOf(sys);
    e.kind = JournalKind::System;
    if (before == 1 || before == 2) {
        e.event = JournalEvent::Cleared;
        e.text = word(before);
        record(e);
    }
    if (status.System == 1 || status.System == 2) {
        e.event = JournalEvent::Raised;
        e.text = word(status.System);
        record(e);
    }
}

void HistoryHooks::onConnectionLost(QSystemInterface *sys, int errorCode)
{
    m_lost.insert(sys, true);
    JournalEntry e;
    e.time = now();
    e.system = systemNameOf(sys);
    e.kind = JournalKind::Connection;
    e.event = JournalEvent::Lost;
    e.text = QStringLiteral("Connection lost: %0").arg(libraryErrorText(errorCode));
    record(e);
}

void HistoryHooks::onLiveInsertion(QSystemInterface *sys)
{
    if (!m_lost.take(sys))
        return;
    JournalEntry e;
    e.time = now();
    e.system = systemNameOf(sys);
    e.kind = JournalKind::Connection;
    e.event = JournalEvent::Restored;
    e.text = QStringLiteral("Connection restored");
    record(e);
}

// ------------------------------------------------------ commands, writes

void HistoryHooks::onCommand(const QString &command, const QString &systemName, int result)
{
    JournalEntry e;
    e.time = now();
    e.system = systemName;
    e.kind = JournalKind::Command;
    e.event = result == 0 ? JournalEvent::Done : JournalEvent::Failed;
    e.text = result == 0 ? command : QStringLiteral("%0: %1").arg(command, libraryErrorText(result));
    record(e);
}

void HistoryHooks::onWrite(ORVEHVNode *node, const QVariant &value, int result, const QString &reason)
{
    if (result == 0 || !node)
        return;
    QSystemInterface *sys = systemOf(node);
    const ItemKey key = keyOf(sys, node);
    JournalEntry e;
    e.time = now();
    e.system = key.system;
    e.board = key.board;
    e.channel = key.channel;
    e.channelName = key.channel >= 0 ? channelLabel(sys, node->slot(), key.channel, node->channelName()) : QString();
    e.kind = JournalKind::Write;
    e.event = JournalEvent::Failed;
    e.text = QStringLiteral("%0 = %1 refused: %2")
                 .arg(node->name(), value.toString(), reason.isEmpty() ? libraryErrorText(result) : reason);
    record(e);
}

QSystemInterface *HistoryHooks::systemOf(const ORVEHVNode *node) const
{
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && s->systemNode() && s->handle() == node->handle())
            return s;
    return nullptr;
}

QSystemInterface *HistoryHooks::systemNamed(const QString &name) const
{
    for (QSystemInterface *s : m_connections.systems())
        if (!s->representsCustomView() && systemNameOf(s) == name)
            return s;
    return nullptr;
}

// --------------------------------------------------------- the windows

void HistoryHooks::showChannel(const JournalEntry &entry)
{
    QSystemInterface *sys = systemNamed(entry.system);
    QSystemInterface *crate = sys ? m_connections.crateOf(sys) : nullptr;
    auto *sub = crate ? qobject_cast<QSubWindow *>(crate->subWindow()) : nullptr;
    if (!sub)
        return;
    m_window.setCurrentSubWindowIndex(crate->systemIndex());
    QTableWidget *table = sub->table();
    for (int row = 0; row < table->rowCount(); ++row)
        for (int column = 0; column < table->columnCount(); ++column) {
            const ORVEHVNode *n = ORVEHVNode::fromItem(table->item(row, column));
            if (!n || n->kind() != KindChannelParameter)
                continue;
            const QSystemInterface *owner = systemOf(n);
            if (systemNameOf(owner) == entry.system && boardNumber(owner, n) == entry.board
                && n->channel() == entry.channel)
                sub->selectChannelRow(row);
            break;  // one cell tells the row's channel
        }
}

void HistoryHooks::tableShown(QWidget *subWindow)
{
    if (!s_instance || !subWindow)
        return;
    for (QTableWidget *table : subWindow->findChildren<QTableWidget *>()) {
        if (table->actions().contains(s_instance->m_trendAction))
            continue;
        table->addAction(s_instance->m_trendAction);
        table->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

QTrendWindow *HistoryHooks::openTrend()
{
    auto *trend = new QTrendWindow(m_archive.get(), &m_window);
    // Every channel table, also of custom views and floated windows.
    for (QTableWidget *table : m_window.findChildren<QTableWidget *>()) {
        // Cells per channel: a channel chosen as a whole (its name, or more
        // than two cells) shows VMon and IMon, else the chosen numbers.
        QHash<const ORVEHVNode *, QList<ORVEHVNode *>> chosen;
        QList<const ORVEHVNode *> order;
        QSet<const ORVEHVNode *> whole;
        for (QTableWidgetItem *item : table->selectedItems()) {
            ORVEHVNode *node = ORVEHVNode::fromItem(item);
            if (!node || node->kind() != KindChannelParameter)
                continue;
            QSystemInterface *owner = systemOf(node);
            const ORVEHVNode *ch = channelNode(owner, node->slot(), node->channel());
            if (!ch)
                continue;
            if (!chosen.contains(ch))
                order.append(ch);
            QList<ORVEHVNode *> &cells = chosen[ch];
            cells.append(node);
            const bool number = node->libraryType() == 0;
            if (!number || cells.size() > 2)
                whole.insert(ch);
        }
        for (const ORVEHVNode *ch : std::as_const(order)) {
            QList<ORVEHVNode *> params = chosen.value(ch);
            if (whole.contains(ch))
                params = {ch->parameter(QStringLiteral("VMon")), ch->parameter(QStringLiteral("IMon"))};
            for (ORVEHVNode *p : params) {
                if (!p)
                    continue;
                QSystemInterface *owner = systemOf(p);
                const ItemKey key = keyOf(owner, p);
                bool isNumber = false;
                const double value = p->value().value.toDouble(&isNumber);
                if (trend->addChannel(key, channelLabel(owner, p->slot(), p->channel(), p->channelName()))
                    && isNumber && p->value().status == ValueOk)
                    // A value that has not changed since connecting has no
                    // event yet: the one shown now starts the line.
                    m_archive->record(m_archive->item(key), now(), value);
            }
        }
    }
    if (trend->channelCount() == 0) {
        delete trend;
        m_window.showMessage({QMessageBox::Information,
                              QStringLiteral("Select channels, or cells of numeric parameters, in a channel table "
                                             "first: the trend shows those."),
                              QString(), {}});
        return nullptr;
    }
    trend->show();
    return trend;
}
