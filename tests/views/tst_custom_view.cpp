// The view configuration dialogs: showing and hiding boards and channels,
// ordering parameters by dragging preview columns, what reaches the
// sub-window's Custom mode, and the validation messages that change nothing.

#include "tests/views/ViewsTestSupport.h"
#include "views/QConfigureViewDialog.h"
#include "views/QCustomTableWidget.h"
#include "views/QCustomViewDialog.h"
#include "views/QSubWindow.h"

#include <QComboBox>
#include <QListWidget>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace views_test;

namespace {

bool shown(const QTreeWidgetItem *item)
{
    return item->flags() & Qt::ItemIsEnabled;
}

// What the dialogs may change in a tree.
QList<int> snapshot(const ORVEHVNode *sys)
{
    QList<int> s;
    for (const ORVEHVNode *b : sys->children())
        for (const ORVEHVNode *c : b->children()) {
            s << c->isEnabled() << c->visualIndex() << c->isEnabledInCustomView() << c->customViewVisualIndex();
            for (const ORVEHVNode *p : c->parameters())
                s << p->isEnabled() << p->visualIndex() << p->isEnabledInCustomView() << p->customViewVisualIndex();
        }
    return s;
}

} // namespace

class TestCustomView : public QObject
{
    Q_OBJECT

    CapturedMessages messages;

private slots:
    void init() { messages.clear(); }

    void boardsAndChannelsShowAndHide()
    {
        std::unique_ptr<ORVEHVNode> sys(makeTree({{"VSet", "VMon"}, {"VSet", "VMon"}}, 3));
        QConfigureViewDialog dialog(sys.get(), nullptr);
        QTreeWidgetItem *board = dialog.channelTree()->topLevelItem(1);

        dialog.changeItemVisibility(board);
        QVERIFY(!shown(board));
        for (int i = 0; i < board->childCount(); ++i)
            QVERIFY(!shown(board->child(i)) && board->child(i)->checkState(0) == Qt::Unchecked);
        // Showing one channel brings its board back; its siblings stay hidden.
        dialog.changeItemVisibility(board->child(1));
        QVERIFY(shown(board) && shown(board->child(1)) && !shown(board->child(0)));

        dialog.clickedOkButton();
        ORVEHVNode *b1 = sys->children().at(1);
        QVERIFY(b1->isEnabled() && b1->children().at(1)->isEnabled());
        QVERIFY(!b1->children().at(0)->isEnabled() && !b1->children().at(2)->isEnabled());
        // Rows are numbered in tree order.
        QCOMPARE(b1->children().at(2)->visualIndex(), 5);
    }

    // Boards and channels are listed as the device lists them, not sorted
    // by their texts: CH2 comes before CH10, and the rows keep that order.
    void keepsTheDeviceOrder()
    {
        std::unique_ptr<ORVEHVNode> sys(makeTree({{"VSet"}, {"VSet"}}, 12));
        QStringList names;
        for (int c = 0; c < 12; ++c)
            names << QStringLiteral("CH%1").arg(c + 1);
        for (ORVEHVNode *board : sys->children())
            for (int c = 0; c < 12; ++c)
                board->children().at(c)->setName(names.at(c));
        // The board in slot 10 is listed first (a board joined later sits
        // at its place in the crate, not where its text would sort).
        sys->children().at(0)->setPlace(10);
        sys->children().at(1)->setPlace(2);
        QConfigureViewDialog dialog(sys.get(), nullptr);
        QTreeWidget *tree = dialog.channelTree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString("10"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QString("02"));
        for (int b = 0; b < 2; ++b) {
            QStringList shownNames;
            for (int c = 0; c < tree->topLevelItem(b)->childCount(); ++c)
                shownNames << tree->topLevelItem(b)->child(c)->text(0);
            QCOMPARE(shownNames, names);
        }
        dialog.clickedOkButton();
        for (int b = 0; b < 2; ++b) {
            QCOMPARE(sys->children().at(b)->visualIndex(), b);
            for (int c = 0; c < 12; ++c)
                QCOMPARE(sys->children().at(b)->children().at(c)->visualIndex(), b * 12 + c);
        }
    }

    void draggedColumnOrdersCustomMode()
    {
        std::unique_ptr<ORVEHVNode> sys(makeTree({{"VSet", "VMon", "Pw", "Extra"}}, 2));
        QSubWindow sub(nullptr, false);
        sub.setSystemNode(sys.get());
        sub.buildTableInitial();
        sub.applyCustomMode();

        QConfigureViewDialog dialog(sys.get(), &sub);
        QHeaderView *h = dialog.preview()->horizontalHeader();
        const int vmon = dialog.previewColumn(QStringLiteral("VMon"));
        h->moveSection(h->visualIndex(vmon), h->visualIndex(dialog.previewColumn(QStringLiteral("VSet"))));
        dialog.parameterButton(QStringLiteral("Extra"))->click();   // hide it
        QCOMPARE(dialog.shownParametersInOrder(), (QStringList{"VMon", "VSet", "Pw"}));
        dialog.clickedOkButton();
        QCOMPARE(visibleHeaders(sub.table()), (QStringList{"VMon", "VSet", "Pw"}));

        // The dialog opens again with that order and choice.
        QConfigureViewDialog again(sys.get(), &sub);
        QCOMPARE(again.shownParametersInOrder(), (QStringList{"VMon", "VSet", "Pw"}));
        QCOMPARE(again.parameterButton(QStringLiteral("Extra"))->property("chk").toBool(), false);

        // In Full mode a change waits for the Custom mode.
        sub.viewModeCombo()->setCurrentIndex(QSubWindow::FullMode);
        QConfigureViewDialog full(sys.get(), &sub);
        full.parameterButton(QStringLiteral("Pw"))->click();
        full.clickedOkButton();
        QCOMPARE(visibleHeaders(sub.table()).size(), 4);
        sub.viewModeCombo()->setCurrentIndex(QSubWindow::CustomMode);
        QCOMPARE(visibleHeaders(sub.table()), (QStringList{"VMon", "VSet"}));
    }

    void validationChangesNothing_data()
    {
        QTest::addColumn<bool>("hideChannels");
        QTest::addColumn<bool>("hideParameters");
        QTest::addColumn<QString>("message");
        QTest::newRow("neither") << true << true << "Select at least one channel/parameter";
        QTest::newRow("no channel") << true << false << "Select at least one channel";
        QTest::newRow("no parameter") << false << true << "Select at least one parameter";
    }
    void validationChangesNothing()
    {
        QFETCH(bool, hideChannels);
        QFETCH(bool, hideParameters);
        QFETCH(QString, message);
        std::unique_ptr<ORVEHVNode> sys(makeTree({{"VSet", "VMon"}, {"VSet"}}, 2));
        const QList<int> before = snapshot(sys.get());
        for (bool custom : {false, true}) {
            std::unique_ptr<QViewSelectionDialog> dialog;
            if (custom) {
                dialog = std::make_unique<QCustomViewDialog>(QList<ORVEHVNode *>{sys.get()});
                static_cast<QCustomViewDialog *>(dialog.get())->checkAllParametersClicked();
                if (!hideChannels)
                    dialog->changeItemVisibility(dialog->channelTree()->topLevelItem(0));
            } else {
                dialog = std::make_unique<QConfigureViewDialog>(sys.get(), nullptr);
                if (hideChannels)
                    for (int i = 0; i < dialog->channelTree()->topLevelItemCount(); ++i)
                        dialog->changeItemVisibility(dialog->channelTree()->topLevelItem(i));
            }
            if (hideParameters)
                for (QPushButton *b : dialog->parameterButtons())
                    if (b->property("chk").toBool())
                        b->click();
            messages.clear();
            dialog->show();
            dialog->clickedOkButton();
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages.first().icon, QMessageBox::Critical);
            QCOMPARE(messages.first().text, message);
            QVERIFY(dialog->isVisible());
            QCOMPARE(snapshot(sys.get()), before);
        }
    }

    void customViewDialogWritesItsOwnPair()
    {
        std::unique_ptr<ORVEHVNode> a(makeTree({{"VSet", "VMon"}}, 2, 2, QStringLiteral("A")));
        std::unique_ptr<ORVEHVNode> b(makeTree({{"VMon", "Temp"}}, 1, 16, QStringLiteral("B")));
        b->children().at(0)->setName(QStringLiteral("Board27"));
        QCustomViewDialog dialog({a.get(), b.get()});
        QCOMPARE(dialog.channelTree()->topLevelItem(1)->child(0)->text(0), QStringLiteral("Crate1.Board02 [Board27]"));
        // Parameters of every system, each once, all hidden at first.
        QCOMPARE(dialog.parameterButtons().size(), 3);
        QCOMPARE(dialog.shownParametersInOrder(), QStringList());
        dialog.checkAllParametersClicked();
        dialog.changeItemVisibility(dialog.channelTree()->topLevelItem(0)->child(0)->child(1));
        dialog.changeItemVisibility(dialog.channelTree()->topLevelItem(1));
        QCOMPARE(dialog.listWidget()->count(), 2);
        ORVEHVNode *ch0 = a->children().at(0)->children().at(0);
        const bool ownBefore = ch0->isEnabled();
        dialog.clickedOkButton();
        // Which rows the custom view then shows, in which order, across
        // systems: tst_configurations::customViewFollowsTheSystems.
        QVERIFY(!ch0->isEnabledInCustomView());
        QVERIFY(b->children().at(0)->children().at(0)->parameter(QStringLiteral("Temp"))->isEnabledInCustomView());
        QCOMPARE(ch0->isEnabled(), ownBefore);   // the own view is not touched
    }
};

QTEST_MAIN(TestCustomView)
#include "tst_custom_view.moc"
