// Subscription and unsubscription of a system's parameters with the device
// library, at the event server's port.

#include "device/QSystemInterface.h"

#include "device/EventServer.h"
#include "device/NodeValue.h"
#include "device/ORVEHVNode.h"
#include "device/SubscriptionFailure.h"

#include "ORVEHVWrapper.h"

#include <QMutexLocker>
#include <QStringList>

#include <functional>
#include <memory>
#include <new>

namespace {

constexpr int B8181SystemType = 16;

// Connection items and internal registers the library does not publish.
bool isExcludedSystemName(const QString &name)
{
    return name == QLatin1String("ConnStat") || name == QLatin1String("NrOfSlot")
           || name == QLatin1String("DummyReg") || name == QLatin1String("CMDExecMode");
}

QStringList subscribableNames(const ORVEHVNode *node, bool systemStage)
{
    QStringList names;
    for (const ORVEHVNode *p : node->parameters()) {
        if (p->accessMode() == AccessWriteOnly)
            continue;
        if (systemStage && isExcludedSystemName(p->name()))
            continue;
        names.append(p->name());
    }
    return names;
}

using LibraryCall = std::function<int(const char *names, unsigned int count, char *codes)>;

// One library call for a list of names. False when the call failed as a
// whole (the operation ends with result 1).
bool callForNames(const QStringList &names, const LibraryCall &call, int board, int channel,
                  QList<SubscriptionFailure> &failures, int *result = nullptr)
{
    if (names.isEmpty())
        return true;
    auto record = [&](const QString &name) { failures.append(SubscriptionFailure{board, channel, name}); };
    std::unique_ptr<char[]> codes(new (std::nothrow) char[size_t(names.size())]);
    if (!codes) {
        for (const QString &n : names)
            record(n);
        return true;
    }
    std::fill_n(codes.get(), names.size(), char(0));
    const QByteArray joined = names.join(QLatin1Char(':')).toLatin1();
    const int rc = call(joined.constData(), unsigned(names.size()), codes.get());
    if (result)
        *result = rc;
    if (rc != ORVEHV_OK && rc != ORVEHV_PARTIAL)
        return false;
    for (int i = 0; i < names.size(); ++i) {
        if (rc == ORVEHV_PARTIAL || codes[i] != 0)
            record(names.at(i));
    }
    return true;
}

struct LibraryFunctions
{
    bool subscribe;
    int (*system)(int, unsigned short, const char *, unsigned int, char *);
    int (*board)(int, unsigned short, unsigned short, const char *, unsigned int, char *);
    int (*channel)(int, unsigned short, unsigned short, unsigned short, const char *, unsigned int, char *);
};

int runSubscription(QSystemInterface *sys, const LibraryFunctions &f, const QList<ORVEHVNode *> &boardList,
                    QList<SubscriptionFailure> &systemOut, QList<SubscriptionFailure> &boardOut,
                    QList<SubscriptionFailure> &channelOut)
{
    ORVEHVNode *root = sys->systemNode();
    if (!root)
        return 1;
    {
        // Publishes handle and device tree to the event threads that the
        // connections opened by these calls will start.
        QMutexLocker lock(&EventServer::systemsMutex());
    }
    const int handle = sys->handle();
    const unsigned short port = EventServer::currentEventPort();
    QList<SubscriptionFailure> systemFailures, boardFailures, channelFailures;

    if (boardList.isEmpty()) {
        int rc = -1;
        const QStringList names = subscribableNames(root, true);
        const bool ok = callForNames(
            names,
            [&](const char *n, unsigned int c, char *codes) { return f.system(handle, port, n, c, codes); }, -1,
            -1, systemFailures, &rc);
        if (!ok)
            return 1;
        if (f.subscribe && !names.isEmpty() && sys->systemType() == B8181SystemType)
            ++EventServer::pendingEventStarts();
    }

    QList<QPair<ORVEHVNode *, int>> boards;
    if (boardList.isEmpty()) {
        const auto &children = root->children();
        for (int i = 0; i < children.size(); ++i)
            boards.append({children.at(i), i});
    } else {
        for (ORVEHVNode *b : boardList)
            if (b)
                boards.append({b, int(b->slot())});
    }

    for (const auto &entry : std::as_const(boards)) {
        ORVEHVNode *board = entry.first;
        const unsigned short slot = static_cast<unsigned short>(entry.second);
        if (!board || board->kind() == KindContainer)
            continue;
        if (!callForNames(
                subscribableNames(board, false),
                [&](const char *n, unsigned int c, char *codes) { return f.board(handle, port, slot, n, c, codes); },
                slot, -1, boardFailures))
            return 1;
        const auto &channels = board->children();
        for (int ch = 0; ch < channels.size(); ++ch) {
            const unsigned short channel = static_cast<unsigned short>(ch);
            if (!callForNames(
                    subscribableNames(channels.at(ch), false),
                    [&](const char *n, unsigned int c, char *codes) {
                        return f.channel(handle, port, slot, channel, n, c, codes);
                    },
                    slot, ch, channelFailures))
                return 1;
        }
    }

    systemOut += systemFailures;
    boardOut += boardFailures;
    channelOut += channelFailures;
    return 0;
}

} // namespace

int QSystemInterface::subscribeParameters(const QList<ORVEHVNode *> &boards,
                                          QList<SubscriptionFailure> &systemFailures,
                                          QList<SubscriptionFailure> &boardFailures,
                                          QList<SubscriptionFailure> &channelFailures)
{
    const LibraryFunctions f{true, ORVEHV_SubscribeSystemParams, ORVEHV_SubscribeBoardParams,
                             ORVEHV_SubscribeChannelParams};
    return runSubscription(this, f, boards, systemFailures, boardFailures, channelFailures);
}

int QSystemInterface::unsubscribeParameters(const QList<ORVEHVNode *> &boards,
                                            QList<SubscriptionFailure> &systemFailures,
                                            QList<SubscriptionFailure> &boardFailures,
                                            QList<SubscriptionFailure> &channelFailures)
{
    const LibraryFunctions f{false, ORVEHV_UnSubscribeSystemParams, ORVEHV_UnSubscribeBoardParams,
                             ORVEHV_UnSubscribeChannelParams};
    return runSubscription(this, f, boards, systemFailures, boardFailures, channelFailures);
}
