// Discovery of the largest default system (the 16-slot MF3300 at 192.0.2.10
// with a 48-channel board): how many library calls it makes and how long it
// takes on the virtual hardware. Prints figures; asserts nothing but that no
// read failed.

#include "device/Discovery.h"
#include "device/ORVEHVNode.h"

#include "ORVEHVWrapper.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Counts
{
    int boards = 0, channels = 0, parameters = 0, failed = 0;
};

void count(const ORVEHVNode *n, Counts &c)
{
    for (const ORVEHVNode *p : n->parameters()) {
        ++c.parameters;
        if (p->value().status != ValueOk)
            ++c.failed;
    }
    for (const ORVEHVNode *child : n->children()) {
        if (child->kind() == KindBoard)
            ++c.boards;
        else if (child->kind() == KindChannel)
            ++c.channels;
        count(child, c);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vhw::setTimeMode(vhw::TimeMode::Manual);
    std::string error;
    if (!vhw::resetWorld(&error)) {
        std::fprintf(stderr, "world: %s\n", error.c_str());
        return 1;
    }

    const int runs = 5;
    std::vector<double> ms;
    uint64_t calls = 0;
    Counts last;
    for (int run = 0; run < runs; ++run) {
        int handle = -1;
        const int r = ORVEHV_InitSystem(ORVEHV_SYS_MF3300, ORVEHV_LINK_TCPIP, "192.0.2.10", "admin",
                                        "admin", &handle);
        if (r != ORVEHV_OK) {
            std::fprintf(stderr, "InitSystem failed: %d\n", r);
            return 1;
        }
        auto *system = new ORVEHVNode;
        system->initialise(QStringLiteral("Crate"), KindSystem, ORVEHV_SYS_MF3300, ORVEHV_LINK_TCPIP,
                           QStringLiteral("192.0.2.10"), QStringLiteral("admin"), QStringLiteral("admin"));
        system->setHandle(handle);
        system->setConnectionState(ConnectionConnected);

        vhw::resetLibraryCallCount();
        QElapsedTimer t;
        t.start();
        discoverSystem(system);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        calls = vhw::libraryCallCount();

        last = Counts();
        count(system, last);
        QElapsedTimer d;
        d.start();
        delete system;
        if (run == runs - 1)
            std::printf("tree deletion:        %.2f ms\n", double(d.nsecsElapsed()) / 1e6);
        ORVEHV_DeinitSystem(handle);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("system:               MF3300 192.0.2.10, 16 slots\n");
    std::printf("boards/channels:      %d / %d\n", last.boards, last.channels);
    std::printf("parameter nodes:      %d\n", last.parameters);
    std::printf("failed reads:         %d\n", last.failed);
    std::printf("library calls:        %llu\n", static_cast<unsigned long long>(calls));
    std::printf("discovery time:       min %.1f ms, median %.1f ms, max %.1f ms (%d runs)\n",
                ms.front(), ms[ms.size() / 2], ms.back(), runs);
    std::printf("per library call:     %.2f us (median run)\n", ms[ms.size() / 2] * 1000.0 / double(calls));
    return last.failed == 0 ? 0 : 2;
}
