#ifndef VIEWSTESTSUPPORT_H
#define VIEWSTESTSUPPORT_H

// Device trees for the view tests: real ones discovered from the virtual
// hardware, and small hand-made ones for layouts the hardware does not have.

#include "ORVEHVWrapper.h"
#include "device/Discovery.h"
#include "device/ORVEHVNode.h"
#include "device/ORVEHVNodeProperty.h"
#include "device/OperatorMessage.h"
#include "views/QTripHandlingDialog.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QCustomTableWidget.h"
#include "virtualhw/VirtualControl.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QString>
#include <QStringList>
#include <QTest>
#include <memory>

namespace views_test {

// The operator's messages while it lives, each answered with `answer`.
struct CapturedMessages : QList<OperatorMessage>
{
    int answer = 0;
    CapturedMessages()
    {
        setOperatorMessageHook([this](const OperatorMessage &m) { return append(m), answer; });
    }
    ~CapturedMessages() { setOperatorMessageHook({}); }
};

inline ORVEHVNode *boardOf(const ORVEHVNode *system, int slot)
{
    for (ORVEHVNode *b : system->children())
        if (b->kind() == KindBoard && b->slot() == slot)
            return b;
    return nullptr;
}
inline ORVEHVNode *channelOf(const ORVEHVNode *system, int slot, int ch)
{
    ORVEHVNode *b = boardOf(system, slot);
    return b && ch < b->children().size() ? b->children().at(ch) : nullptr;
}
inline ORVEHVNode *paramOf(const ORVEHVNode *system, int slot, int ch, const QString &name)
{
    ORVEHVNode *c = channelOf(system, slot, ch);
    return c ? c->parameter(name) : nullptr;
}

// A connected system: its discovered tree and library handle.
struct LiveSystem
{
    int handle = -1;
    int id = -1; // virtual-hardware id
    ORVEHVNode *node = nullptr;

    LiveSystem() = default;
    LiveSystem(const LiveSystem &) = delete;
    LiveSystem &operator=(const LiveSystem &) = delete;
    ~LiveSystem()
    {
        delete node;
        if (handle >= 0)
            ORVEHV_DeinitSystem(handle);
    }

    ORVEHVNode *board(int slot) const { return boardOf(node, slot); }
    ORVEHVNode *channel(int slot, int ch) const { return channelOf(node, slot, ch); }
    ORVEHVNode *param(int slot, int ch, const QString &name) const { return paramOf(node, slot, ch, name); }
    double device(int slot, int ch, const char *name) const
    {
        return vhw::channelParamValue(id, slot, ch, name);
    }
};

// A system opened and its node set up as the connection sequence does, not
// yet discovered.
inline std::unique_ptr<LiveSystem> openSystem(int type, int link, const char *arg, const char *user = "",
                                              const char *pw = "", const QString &display = QStringLiteral("SYS"))
{
    auto s = std::make_unique<LiveSystem>();
    s->id = vhw::findSystem(arg, type, link);
    int handle = -1;
    if (ORVEHV_InitSystem(type, link, arg, user, pw, &handle) != ORVEHV_OK)
        return nullptr;
    s->handle = handle;
    s->node = new ORVEHVNode;
    s->node->initialise(display, KindSystem, type, link, QString::fromLatin1(arg),
                        QString::fromLatin1(user), QString::fromLatin1(pw));
    s->node->setHandle(handle);
    s->node->setConnectionState(ConnectionConnected);
    return s;
}

inline std::unique_ptr<LiveSystem> connectSystem(int type, int link, const char *arg,
                                                 const char *user = "", const char *pw = "",
                                                 const QString &display = QStringLiteral("SYS"))
{
    auto s = openSystem(type, link, arg, user, pw, display);
    if (!s || discoverSystem(s->node) != 0)
        return nullptr;
    return s;
}

// The 16-slot mainframe of the default world.
inline std::unique_ptr<LiveSystem> mainframe()
{
    return connectSystem(2, 0, "192.0.2.10", "admin", "admin", QStringLiteral("MF3300"));
}

// --- hand-made trees --------------------------------------------------------
inline ORVEHVNode *makeParam(const QString &name, int dataType = DataFloat, int access = AccessReadWrite)
{
    auto *p = new ORVEHVNode;
    p->initialise(name, KindChannelParameter);
    p->setDataType(dataType);
    p->setAccessMode(access);
    p->setLibraryType(dataType == DataFloat ? 0 : dataType == DataOnOff ? 1 : dataType == DataEnum ? 6 : 5);
    return p;
}

inline void addMeta(ORVEHVNode *p, const QString &name, const QVariant &value)
{
    p->addProperty(ORVEHVNodeProperty(name, name == QLatin1String("Enum") ? 9 : 6, NodeValue(value, ValueOk)));
}

// A system with one board per entry of `boards`, each with `channels`
// channels holding parameters of the listed names (floats; "Pw" on/off).
inline ORVEHVNode *makeTree(const QList<QStringList> &boards, int channels = 2, int systemType = 2,
                            const QString &systemName = QStringLiteral("HAND"))
{
    auto *sys = new ORVEHVNode;
    sys->initialise(systemName, KindSystem, systemType, 0);
    for (int b = 0; b < boards.size(); ++b) {
        auto *board = new ORVEHVNode;
        board->initialise(QStringLiteral("Board%1").arg(b, 2, 10, QLatin1Char('0')), KindBoard);
        board->setSlot(quint16(b));
        sys->addChild(board);
        for (int c = 0; c < channels; ++c) {
            auto *ch = new ORVEHVNode;
            ch->initialise(QStringLiteral("Chan%1").arg(c, 3, 10, QLatin1Char('0')), KindChannel);
            ch->setSlot(quint16(b));
            ch->setChannel(quint16(c));
            board->addChild(ch);
            for (const QString &name : boards.at(b)) {
                ORVEHVNode *p = makeParam(name, name == QLatin1String("Pw") ? DataOnOff : DataFloat);
                p->setSlot(quint16(b));
                p->setChannel(quint16(c));
                ch->addParameter(p);
                if (name == QLatin1String("Pw")) {
                    addMeta(p, QStringLiteral("Onstate"), QStringLiteral("On"));
                    addMeta(p, QStringLiteral("Offstate"), QStringLiteral("Off"));
                    p->setValue(NodeValue(false, ValueOk));
                } else {
                    p->setValue(NodeValue(float(c), ValueOk));
                }
            }
        }
    }
    return sys;
}

// Puts `given` into a value editor as the operator would: typed over a
// spin box, written into a line edit, the entry chosen in a combo box.
inline void giveValue(ORVEHVWidgetItem *editor, const QString &given)
{
    QWidget *inner = editor->innerEditor();
    if (auto *l = qobject_cast<QLineEdit *>(inner)) {
        l->setText(given);
        emit l->textEdited(given);
    } else if (auto *s = qobject_cast<QAbstractSpinBox *>(inner)) {
        s->selectAll();
        QTest::keyClicks(s, given);
    } else if (auto *c = qobject_cast<QComboBox *>(inner)) {
        c->setCurrentIndex(c->findText(given));
        emit c->activated(c->currentIndex());
    }
}

inline QStringList headers(const QTableWidget *t)
{
    QStringList h;
    for (int c = 0; c < t->columnCount(); ++c)
        h << (t->horizontalHeaderItem(c) ? t->horizontalHeaderItem(c)->text() : QString());
    return h;
}

inline QStringList visibleHeaders(const QTableWidget *t)
{
    QStringList h;
    for (int v = 0; v < t->columnCount(); ++v) {
        const int c = t->horizontalHeader()->logicalIndex(v);
        if (!t->isColumnHidden(c))
            h << t->horizontalHeaderItem(c)->text();
    }
    return h;
}

// The trip dialog's table of the board in `slot`, and a click on one of its cells.
inline QTableWidget *tripTable(const QTripHandlingDialog *d, int slot)
{
    for (QTableWidget *t : d->tripTables())
        if (t->property("slotNr").toInt() == slot)
            return t;
    return nullptr;
}
inline void clickCell(QTableWidget *t, int row, int column)
{
    QTableWidgetItem *item = t->item(row, column);
    t->scrollToItem(item);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(item).center());
}

// The cells of `nodes` selected as the operator does, the first one current:
// its editor, which the table opened on it (null when there is none).
inline ORVEHVWidgetItem *selectCells(QCustomTableWidget *t, const QList<ORVEHVNode *> &nodes)
{
    t->selectionModel()->setCurrentIndex(t->indexFromItem(nodes.first()), QItemSelectionModel::ClearAndSelect);
    for (ORVEHVNode *n : nodes)
        t->selectionModel()->select(t->indexFromItem(n), QItemSelectionModel::Select);
    return qobject_cast<ORVEHVWidgetItem *>(t->indexWidget(t->indexFromItem(nodes.first())));
}

} // namespace views_test

#endif
