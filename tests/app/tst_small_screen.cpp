// The main window on a 1280 x 720 screen (offscreen platform with a screen of
// that size), two systems connected and the first one's commands panel open:
// what the operator needs is in sight without scrolling, no button label is
// cut, tiled tables keep "Pw" in sight, floated windows open inside the
// screen without covering each other.
#include "tests/support/LiveWindow.h"
#include "app/MainWindowLogic.h"
#include "app/QFloatingWindow.h"
#include "app/WindowTitleFit.h"
#include "panels/QCollapsibleWidget.h"
#include "panels/QCustomBox.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"

#include <QDialog>
#include <QFile>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

class TstSmallScreen : public QObject
{
    Q_OBJECT

private:
    live_test::WindowFixture fx;
    MainWindow *&w = fx.w;

    static QRect inside(const QWidget *w, const QWidget *ancestor)
    {
        return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 720));
        QFile sheet(MainWindowLogic::startupResources(int(QLocale::system().territory())).styleSheet);
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
        QVERIFY(fx.setUpOnce());
    }
    void cleanupTestCase() { fx.tearDownOnce(); }
    void init()
    {
        QVERIFY(fx.openWindow());
        w->showMaximized();
        QVERIFY(fx.connect(live_test::Mainframe, QStringLiteral("Crate A")));
        QVERIFY(fx.connect(live_test::LiveTarget{6, 5, "COM3_9600_8_0_0_0", "", ""}, QStringLiteral("NIM desk")));
        w->setCurrentSubWindowIndex(0);
        w->findChild<QCollapsibleWidget *>()->expandItem(0);
        QTest::qWait(50);
    }
    void cleanup() { fx.closeWindow(); }

    void commandsPanelAndSecondSystemFit()
    {
        auto *scroll = w->findChild<QScrollArea *>(QStringLiteral("boxScrollArea"));
        QWidget *viewport = scroll->viewport();
        for (const char *text : {"SCRIPT", "LOG", "KILL"}) {
            QPushButton *b = nullptr;
            for (QPushButton *p : scroll->findChildren<QPushButton *>())
                if (p->isVisible() && p->text() == QLatin1String(text))
                    b = p;
            QVERIFY2(b, text);
            QVERIFY2(viewport->rect().contains(inside(b, viewport)), text);
        }
        // the other system's box too
        auto *list = w->findChild<QCollapsibleWidget *>();
        QCOMPARE(list->count(), 2);
        QVERIFY(viewport->rect().contains(inside(list->box(1), viewport)));
        // no label cut: every panel button is as wide as its longest line
        for (QPushButton *b : scroll->findChildren<QPushButton *>()) {
            if (!b->isVisible() || b->text().isEmpty())
                continue;
            const int needed = b->fontMetrics().boundingRect(QRect(), Qt::AlignCenter, b->text()).width();
            QVERIFY2(b->width() >= needed + 4, qPrintable(b->text()));
        }
    }

    void tiledTablesShowPw()
    {
        w->tileMdiAreaViews();
        QTest::qWait(20);
        auto *area = w->findChild<QMdiArea *>(QStringLiteral("viewsArea"));
        const QList<QMdiSubWindow *> subs = area->subWindowList();
        QCOMPARE(subs.size(), 2);
        QVERIFY(!subs.first()->geometry().intersects(subs.last()->geometry()));
        for (QMdiSubWindow *sub : subs) {
            QVERIFY(area->viewport()->rect().contains(sub->geometry()));
            QCustomTableWidget *table = qobject_cast<QSubWindow *>(sub->widget())->table();
            int pw = -1;
            for (int c = 0; c < table->columnCount(); ++c)
                if (table->columnName(c) == QLatin1String("Pw") && !table->isColumnHidden(c))
                    pw = c;
            QVERIFY2(pw >= 0, qPrintable(sub->windowTitle()));
            QVERIFY2(table->columnViewportPosition(pw) + table->columnWidth(pw) <= table->viewport()->width(),
                     qPrintable(sub->windowTitle()));
        }
    }

    void floatedWindowsInsideTheScreen()
    {
        w->floatMdiAreaViews();
        QTest::qWait(20);
        const QList<QFloatingWindow *> floated = w->findChildren<QFloatingWindow *>();
        QCOMPARE(floated.size(), 2);
        const QRect usable = w->screen()->availableGeometry();
        for (QFloatingWindow *f : floated)
            QVERIFY2(usable.contains(f->frameGeometry()), qPrintable(f->windowTitle()));
        QVERIFY(!floated.first()->frameGeometry().intersects(floated.last()->frameGeometry()));
        // a system connected while floated gets a place of its own as well
        QVERIFY(fx.connect(live_test::LiveTarget{2, 0, "192.0.2.11", "admin", "admin"}, QStringLiteral("Bench")));
        const QList<QFloatingWindow *> three = w->findChildren<QFloatingWindow *>();
        QCOMPARE(three.size(), 3);
        for (QFloatingWindow *f : three) {
            QVERIFY(usable.contains(f->frameGeometry()));
            for (QFloatingWindow *g : three)
                QVERIFY(f == g || !f->frameGeometry().intersects(g->frameGeometry()));
        }
    }

    // A small dialog is widened so the window manager need not cut its title,
    // also when the title grows while it is shown; never past its maximum.
    void dialogTitlesAreNotCut()
    {
        QDialog flags(w);
        flags.setWindowTitle(QStringLiteral("Reset Flags Configuration"));
        flags.resize(120, 80);
        flags.show();
        QVERIFY(flags.width() >= WindowTitleFit::widthFor(flags.windowTitle()));
        flags.setWindowTitle(QStringLiteral("Reset Flags Configuration - Crate A (192.0.2.10)"));
        QVERIFY(flags.width() >= WindowTitleFit::widthFor(flags.windowTitle()));
        QDialog fixed(w);
        fixed.setWindowTitle(flags.windowTitle());
        fixed.setFixedSize(150, 80);
        fixed.show();
        QCOMPARE(fixed.width(), 150);
    }
};

int main(int argc, char **argv)
{
    // A screen of 1280 x 720 for the offscreen platform.
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(R"({ "screens": [ { "name": "small", "x": 0, "y": 0, "width": 1280, "height": 720,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })");
    config.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TstSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_small_screen.moc"
