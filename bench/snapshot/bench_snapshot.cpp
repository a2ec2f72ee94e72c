// Time to take a snapshot of four 768-channel systems and to compare it with
// the live systems (a second capture and the comparison), plus writing and
// reading the file, planning a restore of everything and carrying it out. The aim for the
// snapshot and the comparison is under 2 s each.
//
// Usage: bench_snapshot [world file] [rounds (default 3)]
// Exit code 0 unless a system failed to connect or a figure missed the aim.

#include "ORVEHVWrapper.h"
#include "device/Discovery.h"
#include "device/ORVEHVNode.h"
#include "snapshot/RestoreRun.h"
#include "snapshot/SnapshotCapture.h"
#include "snapshot/SnapshotCompare.h"
#include "snapshot/SnapshotJson.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

double bestOf(int rounds, const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString world = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KEBO_BENCH_SNAPSHOT_WORLD);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    std::string error;
    if (!vhw::loadWorldFile(world.toStdString(), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    vhw::setTimeMode(vhw::TimeMode::Manual);

    std::vector<std::unique_ptr<ORVEHVNode>> trees;
    QList<ORVEHVNode *> systems;
    for (const vhw::SystemInfo &info : vhw::listSystems()) {
        int handle = -1;
        if (ORVEHV_InitSystem(info.systemType, info.linkType, info.argument.c_str(), info.user.c_str(),
                              info.password.c_str(), &handle) != ORVEHV_OK) {
            std::fprintf(stderr, "%s does not connect\n", info.argument.c_str());
            return 1;
        }
        auto node = std::make_unique<ORVEHVNode>();
        node->initialise(QString::fromStdString(info.description), KindSystem, info.systemType, info.linkType,
                         QString::fromStdString(info.argument), QString::fromStdString(info.user),
                         QString::fromStdString(info.password));
        node->setHandle(handle);
        node->setConnectionState(ConnectionConnected);
        if (discoverSystem(node.get()) != 0)
            return 1;
        systems.append(node.get());
        trees.push_back(std::move(node));
    }

    snapshot::Snapshot snap;
    const double take = bestOf(rounds, [&] { snap = snapshot::capture(systems, QStringLiteral("bench")); });
    int differences = -1;
    const double against = bestOf(rounds, [&] {
        differences = int(snapshot::compare(snap, snapshot::capture(systems, QString())).size());
    });
    QByteArray json;
    const double write = bestOf(rounds, [&] { json = snapshot::toJson(snap); });
    snapshot::Snapshot back;
    const double read = bestOf(rounds, [&] { snapshot::fromJson(json, &back, nullptr); });
    snapshot::RestorePlan plan;
    const double planning = bestOf(rounds, [&] { plan = snapshot::planRestore(snap, systems, {}); });

    // one restore of everything (every value written once, undo snapshot included)
    QElapsedTimer restoreTimer;
    restoreTimer.start();
    snapshot::RestoreRun run(plan, [&] { return systems; });
    run.runToEnd();
    const double restoring = restoreTimer.nsecsElapsed() / 1e9;

    std::printf("systems %d, channels %d, setpoints %d, file %.1f MB\n", int(systems.size()), snap.channelCount(),
                snap.setpointCount(), json.size() / 1048576.0);
    std::printf("snapshot (read from the devices)   %7.3f s\n", take);
    std::printf("compare with live (capture + diff) %7.3f s  (%d differences)\n", against, differences);
    std::printf("JSON write / read                  %7.3f s / %.3f s\n", write, read);
    std::printf("restore plan of everything         %7.3f s  (%d writes)\n", planning, int(plan.writes.size()));
    std::printf("restore of everything               %7.3f s  (%d written, %d refused)\n", restoring,
                int(run.report().written.size()), int(run.report().refused.size()));
    const bool ok = take < 2.0 && against < 2.0 && differences == 0;
    std::printf("%s\n", ok ? "within the 2 s aim" : "MISSED the 2 s aim");
    for (ORVEHVNode *n : systems)
        ORVEHV_DeinitSystem(n->handle());
    return ok ? 0 : 1;
}
