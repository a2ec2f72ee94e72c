// Grabs the view and group dialogs, the custom view with channels of two
// systems and the load dialog of a saved configuration, against the virtual
// mainframes. Usage: views_screenshots [folder] (default /tmp).
#include "app/MainWindow.h"
#include "tools/screenshots/SaveShot.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "app/ViewsController.h"
#include "device/ORVEHVNode.h"
#include "device/QSystemInterface.h"
#include "views/ChannelGroups.h"
#include "views/QConfigureViewDialog.h"
#include "views/QCreateSetGroupsDialog.h"
#include "views/QCustomEditors.h"
#include "views/QCustomViewDialog.h"
#include "views/QSetGroupValueDialog.h"

#include <QApplication>
#include <QScreen>
#include <QComboBox>
#include <QPushButton>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    QFile sheet(MainWindowLogic::startupResources(int(QLocale::system().territory())).styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    MainWindow::setMessageHook([](const OperatorMessage &) { return 0; });
    MainWindow *w = MainWindow::create();
    w->startEventServer();
    w->resize(1500, 900);
    w->show();
    ViewsController *views = w->viewsController();
    bool ok = true;
    w->connectToSystem(2, 0, "192.0.2.10", "Hall B", "admin", "admin");
    w->connectToSystem(2, 0, "192.0.2.11", "Test bench", "admin", "admin");

    // Configure dialog of the first system: board 01 hidden, VMon dragged first.
    auto *configure = qobject_cast<QConfigureViewDialog *>(views->createConfigureTableDialog(0));
    configure->changeItemVisibility(configure->channelTree()->topLevelItem(1));
    configure->channelTree()->topLevelItem(0)->setExpanded(true);
    configure->changeItemVisibility(configure->channelTree()->topLevelItem(0)->child(2));
    ok &= saveShot(configure, folder + "/configure_view_channels.png");
    auto *tabs = configure->findChild<QTabWidget *>("viewTabs");
    tabs->setCurrentIndex(1);
    QHeaderView *h = configure->preview()->horizontalHeader();
    h->moveSection(h->visualIndex(configure->previewColumn("VMon")), h->visualIndex(configure->previewColumn("VSet")));
    ok &= saveShot(configure, folder + "/configure_view_parameters.png");
    configure->clickedOkButton();

    // Custom view: some channels of both systems.
    QCustomViewDialog *custom = views->createDialogForCustomView();
    for (int s = 0; s < 2; ++s) {
        QTreeWidgetItem *board = custom->channelTree()->topLevelItem(s)->child(0);
        custom->channelTree()->topLevelItem(s)->setExpanded(true);
        board->setExpanded(true);
        for (int c = 0; c < 3; ++c)
            custom->changeItemVisibility(board->child(c + s));
    }
    ok &= saveShot(custom, folder + "/custom_view_channels.png");
    custom->findChild<QTabWidget *>("viewTabs")->setCurrentIndex(1);
    for (const char *name : {"Name", "VSet", "VMon", "IMon", "Pw", "Status"})
        if (QPushButton *b = custom->parameterButton(name))
            b->click();
    ok &= saveShot(custom, folder + "/custom_view_parameters.png");
    custom->clickedOkButton();
    ok &= saveShot(w, folder + "/custom_view_subwindow.png");

    // Groups.
    QWidget *create = views->createDialogForGroupSettings();
    auto *cg = qobject_cast<QCreateSetGroupsDialog *>(create);
    cg->parameterCombo()->setCurrentText("VSet");
    cg->nameEdit()->setText("Inner layer");
    cg->changeItemVisibility(cg->tree()->topLevelItem(0)->child(0));
    cg->changeItemVisibility(cg->tree()->topLevelItem(1)->child(0)->child(2));
    ok &= saveShot(cg, folder + "/group_new.png");
    cg->clickedOkButton();
    QSetGroupValueDialog *value = views->groups()->openGroup(0);
    value->showItems();
    ok &= saveShot(value, folder + "/group_set_value.png");
    value->close();

    // Saved configuration and its load dialog (one broken view file beside).
    QTemporaryDir dir;
    views->saveConfiguration(dir.filePath("setup"), {true, true}, true);
    QFile broken(dir.filePath("setup/Old crate-192_0_2_99.cvc"));
    broken.open(QIODevice::WriteOnly);
    broken.write(QByteArray("\x80\0\0\0", 4));
    broken.close();
    w->removeSystem(1);
    QDialog *load = views->loadCustomizedViews(dir.filePath("setup.csc"));
    ok &= saveShot(load, folder + "/load_configuration.png");
    load->reject();
    delete w;
    return ok ? 0 : 1;
}
