// An enumeration cell after its change event: "PDwn" of the first channel of
// the MF3300 is set to "Kill" and then to "Ramp" through its combo box, each
// change event is waited for, then the window is grabbed.
//   enum_cell_screenshot [output file, default /tmp/enum-cell.png]

#include "app/MainWindow.h"
#include "app/SystemConnections.h"
#include "app/MainWindowLogic.h"
#include "app/SystemPanelBuilder.h"
#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "device/QSystemInterface.h"
#include "views/QCustomTableWidget.h"
#include "views/ORVEHVWidgetItem.h"
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
    MainWindow *window = MainWindow::create();
    window->setGeometry(0, 0, 1500, 900);
    window->show();
    window->startEventServer();
    for (QWidget *w : QApplication::topLevelWidgets()) // the connect dialog opened at start-up
        if (w != window && w->isVisible())
            w->close();
    (void)window->connectToSystem(2, 0, "192.0.2.10", "Crate A", "admin", "admin");
    if (window->connections()->systems().isEmpty())
        return 1;
    QSystemInterface *sys = window->connections()->systems().first();
    auto *table = qobject_cast<QSubWindow *>(sys->subWindow())->table();
    ORVEHVNode *pdwn = sys->systemNode()->children().at(0)->children().at(0)->parameter(QStringLiteral("PDwn"));
    pump(1500);
    table->scrollToItem(pdwn);
    // The operator picks a text in the cell's combo box; the table opens its
    // editor when the cell becomes current.
    auto choose = [&](const QString &text) {
        table->setCurrentItem(nullptr);
        pump(200);
        table->setCurrentItem(pdwn);
        pump(300);
        const auto editors = table->findChildren<ORVEHVWidgetItem *>();
        QComboBox *combo = editors.isEmpty() ? nullptr : editors.last()->findChild<QComboBox *>();
        if (!combo)
            return false;
        const int index = combo->findText(text);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        pump(1500); // the change event arrives
        qInfo("picked %s: cell \"%s\", device value %g", qPrintable(text), qPrintable(pdwn->text()),
              vhw::channelParamValue(vhw::findSystem("192.0.2.10"), 0, 0, "PDwn"));
        return true;
    };
    if (!choose(QStringLiteral("Kill")) || !choose(QStringLiteral("Ramp")))
        return 2;
    table->setCurrentItem(nullptr);
    pump(300);
    window->grab().save(out);
    for (QSystemInterface *s : window->connections()->systems())
        ORVEHV_DeinitSystem(s->handle());
    return 0;
}
