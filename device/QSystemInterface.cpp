#include "device/QSystemInterface.h"

#include "ORVEHVWrapper.h"
#include "device/Discovery.h"
#include "device/EventDataThread.h"
#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"

#include <QDateTime>
#include <QMetaMethod>
#include <QProgressDialog>

#include <cstring>

namespace {

// Interfaces alive in the process, in creation order (GUI thread; guarded
// because the event server may ask from its own thread).
QMutex g_liveMutex;
QList<QSystemInterface *> g_live;

bool hasSignal(const QObject *o, const char *normalizedSignature)
{
    return o && o->metaObject()->indexOfSignal(normalizedSignature) >= 0;
}

// Connects a panel's signal by name: the panels live in layers above this
// one, so only their meta-object is known here.
void relay(QObject *from, const char *signalSignature, const char *signalMacro, QObject *to, const char *slotMacro)
{
    if (hasSignal(from, signalSignature))
        QObject::connect(from, signalMacro, to, slotMacro, Qt::UniqueConnection);
}

void pushIndex(QObject *panel, int index)
{
    if (!panel)
        return;
    const QMetaObject *mo = panel->metaObject();
    if (mo->indexOfMethod("setSystemIndex(int)") >= 0)
        QMetaObject::invokeMethod(panel, "setSystemIndex", Qt::DirectConnection, Q_ARG(int, index));
}

// MF3300/MF3500 entry: the slot count tells which model answered.
// 0 keep type 2, 1 becomes type 3, -1 not a known crate.
int mainframeModel(quint16 slotCount)
{
    if (slotCount == 16 || slotCount == 10)
        return 0;
    if (slotCount == 6 || slotCount == 4)
        return 1;
    return -1;
}

} // namespace

QSystemInterface::QSystemInterface(int systemType, int linkType, const QString &connectionArgument,
                                   const QString &displayName, int systemIndex, QWidget *parent)
    : QWidget(parent),
      m_systemIndex(systemIndex),
      m_systemType(systemType),
      m_linkType(linkType),
      m_displayName(displayName),
      m_connectionArgument(connectionArgument),
      m_subscriptionFailureLogName(QStringLiteral("%0_%1.log").arg(QStringLiteral("ORVEKEBODESKSubscrFail"), displayName))
{
    setObjectName(QStringLiteral("systemInterface"));
    QMutexLocker lock(&g_liveMutex);
    g_live.append(this);
}

QSystemInterface::~QSystemInterface()
{
    // Nothing may hold a node of the tree past this point.
    emit boardsAboutToChange();
    {
        QMutexLocker lock(&g_liveMutex);
        g_live.removeAll(this);
    }
    // The owner ends the event threads before deleting; should it not have,
    // no thread may go on using this object.
    stopEventThreads(this);
    releaseSharedBoards();
    // The tree goes first: its nodes are the cells of the sub-window's table,
    // and a node leaves its table when deleted, so the table never deletes one.
    delete m_systemNode;
    m_systemNode = nullptr;
    delete m_commandsPanel.data();
    delete m_systemBox.data();
    delete m_subWindow.data();
    delete m_boardInfo.data();
    {
        QMutexLocker lock(&logMutex);
        LogQueue::deleteBatches(logQueueHead);
        logQueueHead = logQueueTail = nullptr;
        logBatchCount = 0;
    }
    delete m_statusBar.data();
}

// Boards of a VME HV crate are shared: each board system's node owns its
// boards, the crate entry's node lists them too. Untie both directions so
// that each board is deleted exactly once, by its own system.
void QSystemInterface::releaseSharedBoards()
{
    if (!m_systemNode || m_systemType != 5)
        return;
    const QList<QSystemInterface *> others = liveInterfaces();
    const QString ownArgument = m_systemNode->connectionArgument();
    // Boards of other systems listed by this (crate) node.
    for (int i = m_systemNode->children().size() - 1; i >= 0; --i) {
        ORVEHVNode *child = m_systemNode->children().at(i);
        if (child && child->kind() == KindBoard && child->connectionArgument() != ownArgument) {
            bool owned = false;
            for (QSystemInterface *o : others) {
                if (o != this && o->systemNode() && o->systemNode()->children().contains(child)
                    && o->systemNode()->connectionArgument() == child->connectionArgument())
                    owned = true;
            }
            if (owned)
                m_systemNode->removeChildAt(i);
        }
    }
    // Own boards listed by another (crate) node.
    for (QSystemInterface *o : others) {
        if (o == this || !o->systemNode())
            continue;
        ORVEHVNode *crate = o->systemNode();
        bool changed = false;
        for (ORVEHVNode *board : m_systemNode->children()) {
            const int at = crate->children().indexOf(board);
            if (at >= 0) {
                if (!changed)
                    emit o->boardsAboutToChange();
                crate->removeChildAt(at);
                changed = true;
            }
        }
        if (changed)
            emit o->boardsChanged();
    }
}

QList<QSystemInterface *> QSystemInterface::liveInterfaces()
{
    QMutexLocker lock(&g_liveMutex);
    return g_live;
}

bool QSystemInterface::isLive(const QSystemInterface *sys)
{
    if (!sys)
        return false;
    QMutexLocker lock(&g_liveMutex);
    for (const QSystemInterface *s : qAsConst(g_live)) {
        if (s == sys)
            return true;
    }
    return false;
}

void QSystemInterface::setProgress(QProgressDialog *progress, int value)
{
    if (progress)
        progress->setValue(value);
}

int QSystemInterface::connectSystem(QProgressDialog *progress, const QString &userName, const QString &password)
{
    if (m_connectionArgument.isEmpty())
        return -1;
    setProgress(progress, 5);

    const QByteArray argument = m_connectionArgument.toLocal8Bit();
    // Cutting the argument would open a different system than the operator named.
    if (argument.size() > MaxArgumentLength || argument.contains('\0'))
        return -1;
    char argumentBuffer[ORVEHV_MAX_ARG_LEN];
    std::memset(argumentBuffer, 0, sizeof argumentBuffer);
    std::memcpy(argumentBuffer, argument.constData(), size_t(argument.size()));
    const QByteArray user = userName.toLocal8Bit();
    const QByteArray pass = password.toLocal8Bit();

    int handle = -1;
    const int rc = ORVEHV_InitSystem(m_systemType, m_linkType, argumentBuffer, user.constData(), pass.constData(),
                                     &handle);
    if (rc != ORVEHV_OK) {
        m_handle = -1;
        return rc;
    }
    m_handle = handle;
    setProgress(progress, 10);

    delete m_systemNode;
    m_systemNode = new ORVEHVNode;
    m_systemNode->initialise(m_displayName, KindSystem, m_systemType, m_linkType, m_connectionArgument, userName,
                             password);
    m_systemNode->setAccessMode(AccessOther);
    m_systemNode->setHandle(handle);
    m_systemNode->setConnectionState(ConnectionConnected);
    m_notOkStatusNodes.clear();

    DiscoveryHooks hooks;
    int progressValue = 15;
    hooks.acceptCrate = [this, progress, &progressValue](quint16 slotCount) {
        // The system properties are read by now.
        if (ORVEHVNode *ip = m_systemNode->parameter(QStringLiteral("IPAddr")))
            ip->setValue(NodeValue(m_connectionArgument, ValueOk, QDateTime::currentDateTimeUtc()));
        m_systemNode->setSlotCount(slotCount);
        if (m_systemType == 2) {
            const int model = mainframeModel(slotCount);
            if (model < 0)
                return false;
            if (model == 1) {
                m_systemType = 3;
                m_systemNode->setSystemType(3);
                for (ORVEHVNode *p : m_systemNode->parameters())
                    p->setSystemType(3);
            }
        }
        setProgress(progress, progressValue);
        return true;
    };
    hooks.beforeSlot = [this, progress, &progressValue](int) {
        // Large crates (B8181: 50 slots) would run past the end; a progress
        // dialog reaching its maximum closes itself.
        progressValue = qMin(progressValue + 5, 94);
        setProgress(progress, progressValue);
    };
    hooks.channelNotOk = [this](ORVEHVNode *status) { m_notOkStatusNodes.append(status); };

    if (discoverSystem(m_systemNode, hooks) != 0) {
        ORVEHV_DeinitSystem(m_handle);
        m_handle = -1;
        m_systemNode->setHandle(-1);
        return -1;
    }
    setProgress(progress, 95);
    return 0;
}

QList<ORVEHVNode *> QSystemInterface::changeCrateMap(QWidget *dialogParent)
{
    QList<ORVEHVNode *> discovered;
    if (!m_systemNode || m_handle < 0)
        return discovered;
    // Whoever holds nodes of this tree (or of the crate entry that lists
    // this board system's boards) lets go before any board is freed.
    emit boardsAboutToChange();
    if (m_joinedCrate)
        emit m_joinedCrate->boardsAboutToChange();

    QProgressDialog dialog(QStringLiteral("Crate map has changed, please wait.."), QString(), 0, 100, dialogParent);
    dialog.setStyleSheet(QStringLiteral("background: white"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setCancelButton(nullptr);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setValue(0);

    // Marks left from before belong to boards the refresh may delete.
    m_notOkStatusNodes.clear();
    // A crate entry also lists the boards of joined board systems after its
    // own slots; the refresh compares only its own slots with the map.
    QList<ORVEHVNode *> joinedBoards;
    for (int i = m_systemNode->children().size() - 1; i >= 0; --i) {
        ORVEHVNode *child = m_systemNode->children().at(i);
        if (isJoinedBoard(child)) {
            joinedBoards.prepend(child);
            m_systemNode->removeChildAt(i);
        }
    }
    ORVEHVNode *crateNode = m_joinedCrate ? m_joinedCrate->systemNode() : nullptr;
    const QList<ORVEHVNode *> fresh = refreshCrateMap(m_handle, m_systemNode, [this, crateNode](ORVEHVNode *board,
                                                                                               int slot) {
        // The crate entry of a joined board lists it too: unlist it before it is freed.
        if (crateNode) {
            const int at = crateNode->children().indexOf(board);
            if (at >= 0)
                crateNode->removeChildAt(at);
        }
        emit boardGone(board, slot);
    });
    for (ORVEHVNode *board : joinedBoards)
        m_systemNode->addChild(board);
    // The crate's views must not show a freed board while the dialog below
    // lets events through.
    if (crateNode)
        emit m_joinedCrate->boardsChanged();
    dialog.setValue(20);

    // With a slot count that no longer matches, the refresh hands back every
    // current board: only boards without channels and parameters are new,
    // discovering the others again would list their items twice.
    QList<ORVEHVNode *> pending;
    for (ORVEHVNode *board : fresh) {
        if (board && board->kind() == KindBoard && board->children().isEmpty() && board->parameters().isEmpty()
            && m_systemNode->children().contains(board))
            pending.append(board);
    }
    int step = 0;
    for (ORVEHVNode *board : pending) {
        board->setSystemName(m_systemType == 5 ? m_systemNode->userName() : m_systemNode->name());
        if (m_systemType == 5 && board->connectionArgument().isEmpty())
            board->setConnectionArgument(m_connectionArgument);
        discoverBoard(m_systemNode, board, [this](ORVEHVNode *status) { m_notOkStatusNodes.append(status); });
        discovered.append(board);
        dialog.setValue(20 + (++step * 70) / pending.size());
    }
    // A joined board system's new boards are shown by its crate entry, at
    // the place of its boards there.
    if (crateNode) {
        for (ORVEHVNode *board : discovered) {
            board->setPlace(m_crateOffset + board->slot());
            if (!crateNode->children().contains(board))
                crateNode->insertChild(board, qBound(0, m_crateOffset, int(crateNode->children().size())));
        }
        m_joinedCrate->m_notOkStatusNodes += takeNotOkStatusNodes();
    }
    emit (crateNode ? m_joinedCrate.data() : this)->boardsChanged();
    dialog.setValue(100);
    return discovered;
}

bool QSystemInterface::isJoinedBoard(const ORVEHVNode *child) const
{
    // Boards of joined systems carry their own system's connection argument.
    return m_systemType == 5 && child && child->kind() == KindBoard
           && child->connectionArgument() != m_connectionArgument;
}

void QSystemInterface::joinCrate(QSystemInterface *crate)
{
    if (!crate || crate == this || !crate->systemNode() || !m_systemNode)
        return;
    ORVEHVNode *crateNode = crate->systemNode();
    int boards = 0;
    for (ORVEHVNode *child : crateNode->children()) {
        if (child->kind() == KindBoard)
            ++boards;
    }
    m_crateOffset = boards;
    for (ORVEHVNode *board : m_systemNode->children()) {
        if (board->kind() == KindBoard && !crateNode->children().contains(board)) {
            // Every board system has its board in slot 0: the operator tells
            // them apart by their place in the crate, as the value log does.
            board->setPlace(m_crateOffset + board->slot());
            crateNode->addChild(board);
        }
    }
    m_joinedCrate = crate;
    // The crate's table shows this board's channels: it marks the faulty ones.
    crate->m_notOkStatusNodes += takeNotOkStatusNodes();
    // The crate's views show this board's values: one connection per system.
    connect(this, &QSystemInterface::parameterChanged, crate, &QSystemInterface::parameterChanged,
            Qt::UniqueConnection);
    emit crate->boardsChanged();
}

void QSystemInterface::setParameterValue(ORVEHVNode *node, const NodeValue &value)
{
    node->setValue(value);
    emit parameterChanged(node);
    emit valueReported(node);
}

QList<ORVEHVNode *> QSystemInterface::takeNotOkStatusNodes()
{
    QList<ORVEHVNode *> nodes;
    nodes.swap(m_notOkStatusNodes);
    return nodes;
}

void QSystemInterface::setBoardInformationPanel(QWidget *w)
{
    m_boardInfo = w;
    pushIndex(w, m_systemIndex);
}

void QSystemInterface::setSystemCommandsPanel(QWidget *w)
{
    m_commandsPanel = w;
    relay(w, "clickedWidget()", SIGNAL(clickedWidget()), this, SLOT(clickWidget()));
    relay(w, "startLog(bool)", SIGNAL(startLog(bool)), this, SLOT(setIsLogStarted(bool)));
    pushIndex(w, m_systemIndex);
}

void QSystemInterface::setSystemBox(QWidget *w)
{
    m_systemBox = w;
    relay(w, "itemClicked(int)", SIGNAL(itemClicked(int)), this, SLOT(clickWidget()));
    relay(w, "clickedDisconnectButton(int)", SIGNAL(clickedDisconnectButton(int)), this,
          SLOT(disconnectButtonClick(int)));
    relay(w, "clickedExtraButton(int)", SIGNAL(clickedExtraButton(int)), this, SLOT(extraButtonClick(int)));
    pushIndex(w, m_systemIndex);
}

void QSystemInterface::setSubWindow(QWidget *w)
{
    m_subWindow = w;
    pushIndex(w, m_systemIndex);
}

void QSystemInterface::setStatusBar(QWidget *w) { m_statusBar = w; }

void QSystemInterface::setSystemIndex(int index)
{
    m_systemIndex = index;
    pushIndex(m_boardInfo, index);
    pushIndex(m_commandsPanel, index);
    pushIndex(m_systemBox, index);
    pushIndex(m_subWindow, index);
}

void QSystemInterface::markConnectionLost(int errorCode)
{
    if (m_systemNode)
        m_systemNode->setConnectionState(ConnectionLost);
    emit connectionLost(errorCode);
}

void QSystemInterface::markLiveInsertion()
{
    if (m_systemNode)
        m_systemNode->setConnectionState(ConnectionConnected);
    emit liveInsertion();
}

void QSystemInterface::clickWidget() { emit clicked(m_systemIndex); }

void QSystemInterface::extraButtonClick(int value) { emit clickedExtraButton(value); }

void QSystemInterface::disconnectButtonClick(int value) { emit clickedDisconnectButton(value); }

void QSystemInterface::refreshLogFeed()
{
    // Values the log did not follow while off are taken from the tree.
    logFeed.refresh(m_systemNode, m_crateOffset, isLogStarted());
    LogQueue::noteLocalTimeOffset();
}

void QSystemInterface::setIsLogStarted(bool started)
{
    // The feed is ready before the event-data thread sees the log on.
    if (started)
        refreshLogFeed();
    m_logStarted = started;
    if (m_systemType != 5 || !m_systemNode)
        return;
    // A crate entry starts and stops logging for every board system of the crate.
    static int depth = 0;
    if (depth > 0)
        return;
    ++depth;
    const QVector<ORVEHVNode *> boards = m_systemNode->children();
    bool first = true;
    for (ORVEHVNode *board : boards) {
        if (board->kind() != KindBoard)
            continue;
        if (first) {
            first = false;
            continue;
        }
        for (QSystemInterface *other : liveInterfaces()) {
            if (other != this && other->connectionArgument() == board->connectionArgument())
                other->setIsLogStarted(started);
        }
    }
    --depth;
}
