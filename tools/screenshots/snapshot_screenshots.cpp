// Pictures of the snapshots dialog for review: the comparison of a snapshot
// with the live mainframe after some changes, and the restore preview.
// Usage: snapshot_screenshots <output folder>
// Each picture is the widget's own grab; on an X display (Xvfb with a
// window manager) the whole screen is taken too with imagemagick's import.
#include "../../tests/views/ViewsTestSupport.h"
#include "snapshot/ui/QRestorePreviewDialog.h"
#include "snapshot/ui/QSnapshotCompareTable.h"
#include "snapshot/ui/QSnapshotsDialog.h"
#include "snapshot/RestorePlan.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

void shoot(QWidget *w, const QString &folder, const QString &name)
{
    QTest::qWait(800);
    w->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"), folder + QLatin1Char('/') + name + QStringLiteral("-screen.png")});
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    QFile qss(QStringLiteral(":/Resources/stylesheet-3.qss"));
    if (qss.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(qss.readAll()));

    vhw::setTimeMode(vhw::TimeMode::Manual);
    auto sys = views_test::mainframe();
    if (!sys)
        return 1;
    QTemporaryDir store;
    ORVEHVNode *node = sys->node;
    QSnapshotsDialog dialog(nullptr, store.path(), [node] { return QList<ORVEHVNode *>{node}; });
    dialog.commentEdit()->setText(QStringLiteral("09:00 before the beam"));
    dialog.takeSnapshot();
    // the afternoon's changes: a few voltages, a ramp, a name, three channels off
    sys->param(0, 4, QStringLiteral("VSet"))->writeValue(850.0);
    sys->param(0, 5, QStringLiteral("VSet"))->writeValue(920.5);
    sys->param(1, 2, QStringLiteral("Name"))->writeValue(QStringLiteral("probe"));
    sys->param(3, 1, QStringLiteral("RUp"))->writeValue(77.0);
    sys->param(3, 7, QStringLiteral("ISet"))->writeValue(12.0);
    for (int ch : {0, 1, 2})
        sys->param(0, ch, QStringLiteral("Pw"))->writeValue(0u);
    vhw::advanceTime(60);
    dialog.commentEdit()->setText(QStringLiteral("14:00 after the scan"));
    dialog.takeSnapshot();
    dialog.selectSnapshots({dialog.store().list().last().id});
    dialog.compareWithLive();
    dialog.show();
    shoot(&dialog, folder, QStringLiteral("snapshot-compare"));
    dialog.compareTable()->setFilter(QStringLiteral("board00"));
    shoot(&dialog, folder, QStringLiteral("snapshot-compare-filtered"));

    const snapshot::Snapshot *first = nullptr;
    snapshot::Snapshot snap;
    QString error;
    dialog.store().load(dialog.store().list().last().id, &snap, &error);
    first = &snap;
    // a board swapped since the morning: the preview refuses it until mapped
    vhw::swapBoard(sys->id, 8, 7777);
    QRestorePreviewDialog preview(
        [&](const QSet<QString> &mapped) {
            snapshot::RestoreSelection s;
            s.mode = snapshot::RestoreSelection::Differing;
            s.mappedBoards = mapped;
            return snapshot::planRestore(*first, {node}, s);
        },
        &dialog);
    preview.show();
    shoot(&preview, folder, QStringLiteral("restore-preview"));
    return 0;
}
