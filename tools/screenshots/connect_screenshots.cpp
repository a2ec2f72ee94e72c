// Grabs the connect dialog as the operator sees it: the MF3300 / MF3500 type
// with the autodetect panel listing the virtual mainframes, and VME HV with
// three board rows. Usage: connect_screenshots [folder] (default /tmp).
#include "tests/connect/IsolatedSettings.h"
#include "tools/screenshots/SaveShot.h"

#include "connect/AutodetectScanner.h"
#include "connect/QAutodetectDialog.h"
#include "connect/QConnectDialog.h"
#include "connect/SystemConnector.h"
#include "virtualhw/AutodetectResponder.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

namespace {
class NullConnector : public SystemConnector
{
public:
    int connectToSystem(int, int, const QString &, const QString &, const QString &,
                        const QString &) override
    {
        return 0;
    }
};

template <typename F>
bool waitFor(F condition, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < ms)
        QTest::qWait(20);
    return condition();
}

} // namespace

int main(int argc, char **argv)
{
    isolateSettings();
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp");
    vhw::AutodetectResponder responder;
    std::string error;
    if (!responder.start(0, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    qputenv("KEBO_AUTODETECT_TARGET", "127.0.0.1:" + QByteArray::number(responder.port()));
    NullConnector connector;
    bool ok = true;

    {
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        d.show();
        d.findChild<QComboBox *>("comboPSType")->setCurrentIndex(0);
        d.findChild<QLineEdit *>("editCustName")->setText("Hall B mainframes");
        d.findChild<QLineEdit *>("Username")->setText("admin");
        d.findChild<QLineEdit *>("Password")->setText("admin");
        d.autodetectPanel()->scanner()->setTimings(0, 3000, 2000);
        QTest::mouseClick(d.findChild<QPushButton *>("autodetectButton"), Qt::LeftButton);
        ok &= waitFor([&] { return d.autodetectPanel()->table()->rowCount() >= 2; }, 3000);
        ok &= saveShot(&d, folder + "/h6_connect_mf_scanning.png");
        ok &= waitFor([&] { return !d.autodetectPanel()->isScanning(); }, 5000);
        QTableWidget *t = d.autodetectPanel()->table();
        emit t->itemDoubleClicked(t->item(0, 1));
        t->selectRow(0);
        ok &= saveShot(&d, folder + "/h6_connect_mf_autodetect.png");
    }
    {
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        d.show();
        d.findChild<QComboBox *>("comboPSType")->setCurrentIndex(1);
        d.findChild<QComboBox *>("comboConnType")->setCurrentIndex(1);
        d.findChild<QLineEdit *>("editCustName")->setText("VME crate 2");
        d.addNewVMEHVConnectionParametersWidget();
        d.addNewVMEHVConnectionParametersWidget();
        QApplication::processEvents();
        const QList<QWidget *> rows = d.findChildren<QWidget *>("optWidget");
        const char *names[] = { "HV-A", "", "HV-C" };
        const char *bases[] = { "C0", "D0", "E00000" };
        for (int i = 0; i < rows.size() && i < 3; ++i) {
            rows[i]->findChild<QLineEdit *>("BoardName")->setText(names[i]);
            rows[i]->findChild<QSpinBox *>("opt1")->setValue(1);
            rows[i]->findChild<QSpinBox *>("opt2")->setValue(i);
            rows[i]->findChild<QLineEdit *>("BaseAddress")->setText(bases[i]);
        }
        ok &= saveShot(&d, folder + "/h6_connect_vme_rows.png");
    }
    {
        QConnectDialog d(&connector);
        d.setAttribute(Qt::WA_DeleteOnClose, false);
        d.show();
        d.findChild<QComboBox *>("comboPSType")->setCurrentIndex(2);
        d.findChild<QComboBox *>("comboConnType")->setCurrentIndex(1);
        ok &= saveShot(&d, folder + "/h6_connect_nim_serial.png");
    }
    responder.stop();
    return ok ? 0 : 1;
}
