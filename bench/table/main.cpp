// Channel table figures: time of buildTable (and of the whole first build
// with empty cells, sizing and row colours) and of a full refresh of every
// cell, for a 48-channel x 15-parameter table; then the same for the real
// 48-channel board of the default virtual mainframe.
//
// Run: QT_QPA_PLATFORM=offscreen bench_table [repetitions]

#include "ORVEHVWrapper.h"
#include "device/Discovery.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

ORVEHVNode *syntheticTree(int channels, const QStringList &names)
{
    auto *sys = new ORVEHVNode;
    sys->initialise(QStringLiteral("BENCH"), KindSystem, 2, 0);
    auto *board = new ORVEHVNode;
    board->initialise(QStringLiteral("Board03"), KindBoard);
    board->setSlot(3);
    sys->addChild(board);
    for (int c = 0; c < channels; ++c) {
        auto *ch = new ORVEHVNode;
        ch->initialise(QStringLiteral("Chan%1").arg(c, 3, 10, QLatin1Char('0')), KindChannel);
        board->addChild(ch);
        for (const QString &n : names) {
            auto *p = new ORVEHVNode;
            p->initialise(n, KindChannelParameter);
            const bool pw = n == QLatin1String("Pw");
            p->setDataType(pw ? DataOnOff : DataFloat);
            p->setLibraryType(pw ? 1 : 0);
            p->setAccessMode(n.endsWith(QLatin1String("Mon")) ? AccessReadOnly : AccessReadWrite);
            if (pw) {
                p->addProperty(ORVEHVNodeProperty(QStringLiteral("Onstate"), DataFloat,
                                                  NodeValue(QStringLiteral("On"), ValueOk)));
                p->addProperty(ORVEHVNodeProperty(QStringLiteral("Offstate"), DataFloat,
                                                  NodeValue(QStringLiteral("Off"), ValueOk)));
            }
            p->setUnitText(QStringLiteral(" V"));
            ch->addParameter(p);
            p->setValue(NodeValue(pw ? QVariant(c % 2 == 0) : QVariant(float(c)), ValueOk));
        }
    }
    return sys;
}

struct Figures
{
    double build = 0, initial = 0, refresh = 0, paint = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Figures measure(ORVEHVNode *system, int reps, int *rows, int *cols)
{
    std::vector<double> build, initial, refresh, paint;
    QSubWindow sub(nullptr, false);
    sub.setSystemNode(system);
    sub.resize(1400, 900);
    sub.show();
    QApplication::processEvents();
    QVector<ORVEHVNode *> cells;
    for (ORVEHVNode *b : system->children())
        for (ORVEHVNode *c : b->children())
            for (ORVEHVNode *p : c->parameters())
                cells.append(p);

    for (int r = 0; r < reps; ++r) {
        QElapsedTimer t;
        t.start();
        sub.buildTable();
        build.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        sub.buildTableInitial();
        QApplication::processEvents();
        initial.push_back(t.nsecsElapsed() / 1e6);

        // every cell gets a new value, as after a burst of events; then the
        // window repaints
        t.restart();
        for (ORVEHVNode *p : cells) {
            const NodeValue v = p->value();
            p->setValue(p->dataType() == DataOnOff ? NodeValue(!v.value.toBool(), ValueOk)
                                                   : NodeValue(v.value.toFloat() + 1.0f, ValueOk));
        }
        refresh.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        sub.repaint();
        paint.push_back(t.nsecsElapsed() / 1e6);
    }
    *rows = sub.table()->rowCount();
    *cols = sub.table()->columnCount();
    sub.setSystemNode(nullptr);
    return {median(build), median(initial), median(refresh), median(paint)};
}

void print(const char *what, int rows, int cols, const Figures &f, int reps)
{
    std::printf("%s: %d rows x %d columns (%d cells), median of %d\n", what, rows, cols, rows * cols, reps);
    std::printf("  buildTable                              %8.2f ms\n", f.build);
    std::printf("  first build (+ \"...\" cells, size, rows)  %8.2f ms\n", f.initial);
    std::printf("  refresh of every cell (new values)      %8.2f ms\n", f.refresh);
    std::printf("  repaint of the window after it          %8.2f ms\n", f.paint);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int reps = argc > 1 ? std::max(1, atoi(argv[1])) : 11;

    const QStringList names = {"Name", "VSet", "ISet", "VMon", "IMon", "Pw", "Status", "RUp",
                               "RDwn", "Trip", "SVMax", "PDwn", "Pol", "TripInt", "TripExt"};
    ORVEHVNode *synthetic = syntheticTree(48, names);
    int rows = 0, cols = 0;
    Figures f = measure(synthetic, reps, &rows, &cols);
    print("48 x 15 table", rows, cols, f, reps);
    delete synthetic;

    // the 48-channel board of the virtual mainframe, discovered for real
    vhw::setTimeMode(vhw::TimeMode::Manual);
    int handle = -1;
    if (ORVEHV_InitSystem(2, 0, "192.0.2.10", "admin", "admin", &handle) == ORVEHV_OK) {
        auto *sys = new ORVEHVNode;
        sys->initialise(QStringLiteral("MF3300"), KindSystem, 2, 0, QStringLiteral("192.0.2.10"),
                        QStringLiteral("admin"), QStringLiteral("admin"));
        sys->setHandle(handle);
        sys->setConnectionState(ConnectionConnected);
        discoverSystem(sys);
        // keep only slot 3 (48 channels) in view
        auto *one = new ORVEHVNode;
        one->initialise(QStringLiteral("MF3300"), KindSystem, 2, 0);
        for (ORVEHVNode *b : sys->children())
            if (b->kind() == KindBoard && b->slot() == 3)
                one->addChild(b);
        f = measure(one, reps, &rows, &cols);
        print("virtual mainframe, 48-channel board", rows, cols, f, reps);
        while (!one->children().isEmpty())
            one->removeChildAt(0);
        delete one;
        f = measure(sys, reps, &rows, &cols);
        print("virtual mainframe, all four boards", rows, cols, f, reps);
        delete sys;
        ORVEHV_DeinitSystem(handle);
    }
    return 0;
}
