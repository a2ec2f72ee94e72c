// The program does not link the web engine: the web page library, and the
// engine with it, is loaded when the operator first opens a system's web
// page, and the page then shows as it did with the engine linked in.

#include "device/ORVEHVNode.h"
#include "device/OperatorMessage.h"
#include "panels/InfoDialogs.h"
#include "tests/support/World.h"
#include "virtualhw/WebAdmin.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {

bool engineLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore");
}

QDialog *webPageDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QWebBrowserDialog") && w->isVisible())
            return qobject_cast<QDialog *>(w);
    return nullptr;
}

} // namespace

class TestWebPageLoading : public QObject
{
    Q_OBJECT

private slots:
    void engineLoadedWithTheFirstPage()
    {
        QVERIFY(!engineLoaded());
        std::string error;
        QVERIFY2(loadSiteWorld("admin", "admin", &error), error.c_str());
        vhw::WebAdmin site;
        QVERIFY2(site.start(0, &error), error.c_str());
        qputenv("KEBO_WEBADMIN_PORT", QByteArray::number(site.port()));
        QStringList messages;
        setOperatorMessageHook([&](const OperatorMessage &m) {
            messages << m.text;
            return 0;
        });
        ORVEHVNode system;
        system.initialise("Crate A", KindSystem, 2, 0, "127.0.2.10", "admin", "admin");

        InfoDialogs::openWebPage(nullptr, &system, QStringLiteral("127.0.2.10"));
        setOperatorMessageHook({});
        QCOMPARE(messages, QStringList());
        QPointer<QDialog> dialog = webPageDialog();
        QVERIFY(dialog);
        QVERIFY(engineLoaded());
        QSignalSpy shown(dialog.data(), SIGNAL(pageShown(bool)));
        QVERIFY(shown.wait(60000) || !shown.isEmpty());
        QCOMPARE(shown.first().first().toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(site.logins().size(), size_t(1), 20000);
        QVERIFY(site.logins().front().accepted);
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
    }
};

int main(int argc, char **argv)
{
    // As the program starts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QApplication app(argc, argv);
    TestWebPageLoading test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_web_page_loading.moc"
