// An enumeration cell after its change event: "PDwn" of the first channel of
// the MF3300 is set from "Kill" to "Ramp" through its combo box, the change
// event is waited for, then the window is grabbed.
//   enum_cell_screenshot [output file, default /tmp/enum-cell.png]

#include "app/MainWindow.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>

namespace {

void pump(int ms)
{
    QDeadlineTimer t(ms);
    while (!t.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/enum-cell.png");
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    const auto resources = MainWindowLogic::startupResources(int(QLocale::system().territory()));
    QFile sheet(resources.styleSheet);
    if (sheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(sheet.readAll()));
    setOperatorMessageHook([](const OperatorMessage &m) {
        qWarning("operator message: %s", qPrintable(m.text));
        return 0;
    });
    vhw::setTimeMode(vhw::TimeMode::Manual);
    vhw::setChannelParam(vhw::findSystem("192.0.2.10"), 0, 0, "PDwn", 0); // starts at "Kill"
    MainWindow *window = MainWindow::create();
    static SystemPanelBuilder builder;
    QSystemInterface::setPanelFactory(&builder);
    window->setGeometry(0, 0, 1500, 900);
    window->show();
    window->startEventServer();
    for (QWidget *w : QApplication::topLevelWidgets()) // the connect dialog opened at start-up
        if (w != window && w->isVisible())
            w->close();
    (void)window->connectToSystem(2, 0, "192.0.2.10", "Crate A", "admin", "admin");
    if (window->systems().isEmpty())
        return 1;
    QSystemInterface *sys = window->systems().first();
    auto *table = qobject_cast<QSubWindow *>(sys->subWindow())->table();
    ORVEHVNode *pdwn = sys->systemNode()->children().at(0)->children().at(0)->parameter(QStringLiteral("PDwn"));
    pump(1500);
    table->scrollToItem(pdwn);
    table->setCurrentItem(pdwn);
    table->editItem(pdwn);
    pump(300);
    auto *combo = table->findChild<QComboBox *>();
    if (!combo)
        return 2;
    const int ramp = combo->findText(QStringLiteral("Ramp"));
    combo->setCurrentIndex(ramp);
    emit combo->activated(ramp);
    pump(1500); // the change event arrives
    table->setCurrentItem(nullptr);
    pump(300);
    qInfo("PDwn cell: \"%s\", device value %g", qPrintable(pdwn->text()),
          vhw::channelParamValue(vhw::findSystem("192.0.2.10"), 0, 0, "PDwn"));
    window->grab().save(out);
    for (QSystemInterface *s : window->systems())
        ORVEHV_DeinitSystem(s->handle());
    return 0;
}
