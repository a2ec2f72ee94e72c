// Picture of the "Advanced Logging" dialog for the default 16-slot mainframe,
// with a few channels switched on and their parameters selected:
//   log_dialog_screenshot [output directory, default /tmp]

#include "device/LogQueue.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "logging/QLogDialog.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTreeWidget>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    vhw::setTimeMode(vhw::TimeMode::Manual);
    QSystemInterface sys(2, 0, QStringLiteral("192.0.2.10"), QStringLiteral("Crate A"), 0);
    if (sys.connectSystem(nullptr, QStringLiteral("admin"), QStringLiteral("admin")) != 0)
        return 1;
    // Board 0, channels 2 and 3: VSet and IMon; one system parameter.
    ORVEHVNode *board = sys.systemNode()->children().at(0);
    for (int c : {2, 3})
        for (const char *p : {"VSet", "IMon"})
            if (ORVEHVNode *n = board->children().at(c)->parameter(QLatin1String(p)))
                n->setIsLogged(true);
    if (!sys.systemNode()->parameters().isEmpty())
        sys.systemNode()->parameters().first()->setIsLogged(true);
    LogQueue::setConfiguredPath(QDir::homePath() + QStringLiteral("/runs/run-0412.log"));

    QLogDialog dialog(nullptr, sys.systemNode());
    dialog.findChild<QTreeWidget *>()->expandItem(dialog.findChild<QTreeWidget *>()->topLevelItem(0));
    dialog.resize(620, 520);
    dialog.show();
    app.processEvents();
    const QString file = out + QStringLiteral("/log_dialog.png");
    const bool ok = dialog.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok ? 0 : 1;
}
