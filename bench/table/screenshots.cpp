// Screenshots of the channel table for a look by eye: each view mode with a
// faulty and a powered row, the custom-view table, and an open editor of
// each kind. Writes PNG files into the folder given (default /tmp).
//
// Run: QT_QPA_PLATFORM=offscreen table_screenshots [folder] [--app-style]

#include "ORVEHVWrapper.h"
#include "device/Discovery.h"
#include "device/ORVEHVNode.h"
#include "device/ValueText.h"
#include "views/ORVEHVSwitch.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "virtualhw/VirtualControl.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QComboBox>
#include <QKeyEvent>
#include <QAbstractSpinBox>
#include <QPainter>
#include <cstdio>

namespace {
QString g_dir = QStringLiteral("/tmp");

void save(QWidget *w, const QString &name, const QRect &area = QRect())
{
    QApplication::processEvents();
    const QPixmap pm = area.isNull() ? w->grab() : w->grab(area);
    const QString path = g_dir + QLatin1Char('/') + name;
    pm.save(path);
    std::printf("%s\n", qPrintable(path));
}

ORVEHVNode *param(ORVEHVNode *sys, int slot, int ch, const char *name)
{
    for (ORVEHVNode *b : sys->children())
        if (b->kind() == KindBoard && b->slot() == slot && ch < b->children().size())
            return b->children().at(ch)->parameter(QString::fromLatin1(name));
    return nullptr;
}

// Opens the editor of a cell and grabs the cells around it.
void editorShot(QSubWindow &sub, ORVEHVNode *node, const QString &file, const QString &typed = QString())
{
    QCustomTableWidget *t = sub.table();
    const QModelIndex idx = t->model()->index(node->row(), node->column());
    t->setCurrentIndex(idx);
    if (!t->indexWidget(idx))
        t->edit(idx);
    auto *ed = qobject_cast<ORVEHVWidgetItem *>(t->indexWidget(idx));
    if (ed && !typed.isEmpty()) {
        if (auto *s = qobject_cast<QAbstractSpinBox *>(ed->innerEditor())) {
            s->selectAll();
            for (QChar c : typed) {
                QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(s, &ev);
            }
        }
    }
    QApplication::processEvents();
    QRect r = t->visualRect(idx);
    r.translate(t->viewport()->mapTo(&sub, QPoint(0, 0)));
    const QRect area = r.adjusted(-2 * r.width() - 60, -3 * r.height(), 2 * r.width(), 3 * r.height())
                           .intersected(sub.rect());
    save(&sub, file, area);
    t->setCurrentIndex(t->model()->index(0, 0)); // closes the editor (commits nothing unchanged)
    QApplication::processEvents();
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    bool appStyle = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--app-style"))
            appStyle = true;
        else
            g_dir = a;
    }
    Q_INIT_RESOURCE(kebo_resources);
    QFontDatabase::addApplicationFont(QStringLiteral(":/Resources/Fonts/Antonio-Regular.ttf"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (appStyle) {
        QFile qss(QStringLiteral(":/Resources/stylesheet-3.qss"));
        if (qss.open(QIODevice::ReadOnly))
            app.setStyleSheet(QString::fromUtf8(qss.readAll()));
    }
    const QString suffix = appStyle ? QStringLiteral("-app") : QString();

    vhw::setTimeMode(vhw::TimeMode::Manual);
    int handle = -1;
    if (ORVEHV_InitSystem(2, 0, "192.0.2.10", "admin", "admin", &handle) != ORVEHV_OK)
        return 1;
    auto *sys = new ORVEHVNode;
    sys->initialise(QStringLiteral("MF3300"), KindSystem, 2, 0, QStringLiteral("192.0.2.10"),
                    QStringLiteral("admin"), QStringLiteral("admin"));
    sys->setHandle(handle);
    sys->setConnectionState(ConnectionConnected);
    discoverSystem(sys);

    QSubWindow sub(nullptr, false);
    sub.setSystemNode(sys);
    sub.buildTableInitial();
    sub.applyCustomMode();
    sub.resize(1250, 560);
    sub.show();

    // channel 3 of slot 0 tripped: a faulty row; slot 0 is powered (world)
    ORVEHVNode *status = param(sys, 0, 3, "Status");
    status->setValue(NodeValue(0x40, ValueOk));
    sub.markChannelState(channelStatusOk(2, 0x40), status);
    ORVEHVNode *pw = param(sys, 0, 3, "Pw");
    pw->setValue(NodeValue(false, ValueOk));
    param(sys, 0, 5, "VMon")->setValue(NodeValue(998.7f, ValueOk));

    sub.setViewTableMode(QStringLiteral("Full"));
    save(&sub, QStringLiteral("h3-table-full%1.png").arg(suffix));
    sub.setViewTableMode(QStringLiteral("Minimal"));
    save(&sub, QStringLiteral("h3-table-minimal%1.png").arg(suffix));

    // Custom: a few columns hidden, Status moved forward, two rows hidden
    for (ORVEHVNode *b : sys->children())
        for (ORVEHVNode *c : b->children()) {
            for (const char *hide : {"SVMax", "PDwn", "RDwn"})
                if (ORVEHVNode *p = c->parameter(QString::fromLatin1(hide)))
                    p->setIsEnabled(false);
            if (ORVEHVNode *p = c->parameter(QStringLiteral("Status")))
                p->setVisualIndex(1);
        }
    param(sys, 0, 1, "VSet")->setVisualIndex(param(sys, 0, 1, "VSet")->visualIndex());
    for (ORVEHVNode *b : sys->children())
        if (b->kind() == KindBoard && b->slot() == 0) {
            b->children().at(2)->setIsEnabled(false);
            b->children().at(6)->setIsEnabled(false);
        }
    sub.setViewTableMode(QStringLiteral("Custom"));
    save(&sub, QStringLiteral("h3-table-custom%1.png").arg(suffix));

    // editors, in Full mode
    sub.viewModeCombo()->setCurrentIndex(0);
    editorShot(sub, param(sys, 0, 1, "VSet"), QStringLiteral("h3-editor-double%1.png").arg(suffix), "1500");
    editorShot(sub, param(sys, 0, 1, "Pw"), QStringLiteral("h3-editor-onoff%1.png").arg(suffix));
    editorShot(sub, param(sys, 0, 1, "PDwn"), QStringLiteral("h3-editor-enum%1.png").arg(suffix));
    editorShot(sub, param(sys, 0, 1, "Name"), QStringLiteral("h3-editor-text%1.png").arg(suffix));
    editorShot(sub, param(sys, 8, 1, "TripInt"), QStringLiteral("h3-editor-bits%1.png").arg(suffix));

    // editors outside a table: spin box, switch (both states), labels
    QWidget panel;
    panel.setStyleSheet(QStringLiteral("QWidget { background: #f4f6f7; }"));
    auto *form = new QFormLayout(&panel);
    auto add = [&](const QString &label, ORVEHVNode *n) {
        auto *w = new ORVEHVWidgetItem(n, &panel);
        w->buildEditor(n->dataType(), n->accessMode(), n->value().value, n->unitText(), false);
        w->setMinimumWidth(180);
        form->addRow(label, w);
        return w;
    };
    ORVEHVWidgetItem *fan = add(QStringLiteral("HVFanSpeed (spin box, focused)"), sys->parameter(QStringLiteral("HVFanSpeed")));
    add(QStringLiteral("LowFanEnable (switch)"), sys->parameter(QStringLiteral("LowFanEnable")));
    ORVEHVWidgetItem *sw2 = add(QStringLiteral("LowFanEnable (switch, other state)"),
                                sys->parameter(QStringLiteral("LowFanEnable")));
    if (auto *s = qobject_cast<ORVEHVSwitch *>(sw2->innerEditor()))
        s->setChecked(!s->isChecked());
    add(QStringLiteral("VSet (float)"), param(sys, 0, 0, "VSet"));
    add(QStringLiteral("Pw (on/off, channel)"), param(sys, 0, 0, "Pw"));
    add(QStringLiteral("PDwn (enumeration)"), param(sys, 0, 0, "PDwn"));
    add(QStringLiteral("Pol (read-only on/off)"), param(sys, 0, 0, "Pol"));
    add(QStringLiteral("Status (channel status)"), status);
    add(QStringLiteral("BdStatus (board status)"), sys->children().at(0)->parameter(QStringLiteral("BdStatus")));
    add(QStringLiteral("TripInt (bit field)"), param(sys, 8, 0, "TripInt"));
    add(QStringLiteral("IPAddr (text)"), sys->parameter(QStringLiteral("IPAddr")));
    panel.resize(480, 420);
    panel.show();
    panel.activateWindow();
    QApplication::processEvents();
    fan->innerEditor()->setFocus();
    QApplication::processEvents();
    save(&panel, QStringLiteral("h3-editors-standalone%1.png").arg(suffix));

    // the custom-view table: mirrors of two channels of slot 3 and one of slot 0
    auto *root = new ORVEHVNode;
    root->initialise(QStringLiteral("customView"), KindContainer);
    root->addChild(sys);
    int pos = 0;
    for (auto [slot, ch] : {std::pair{3, 7}, std::pair{0, 3}, std::pair{3, 2}}) {
        for (ORVEHVNode *b : sys->children())
            if (b->kind() == KindBoard && b->slot() == slot) {
                ORVEHVNode *c = b->children().at(ch);
                c->setIsEnabledInCustomView(true);
                for (ORVEHVNode *p : c->parameters())
                    p->setIsEnabledInCustomView(true);
            }
        ++pos;
    }
    QSubWindow custom(nullptr, true);
    custom.setRootNode(root);
    custom.buildTableInitial();
    custom.applyCustomMode();
    custom.markChannelState(false, status);
    custom.resize(1100, 200);
    custom.show();
    save(&custom, QStringLiteral("h3-table-customview%1.png").arg(suffix));

    custom.setRootNode(nullptr);
    custom.table()->takeAllItems();
    delete root;
    sub.setSystemNode(nullptr);
    delete sys;
    ORVEHV_DeinitSystem(handle);
    return 0;
}
