// Channel table and sub-window on real device trees from the virtual
// hardware (and small hand-made trees for layouts it does not offer).

#include "ViewsTestSupport.h"
#include "tests/support/MessageBoxDriver.h"

#include "device/ORVEHVMirrorNode.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/FrozenNameColumn.h"
#include "views/QCustomTableWidget.h"
#include "views/QSubWindow.h"
#include "views/TableRules.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QtTest>

using namespace views_test;

// The table of `system` in `sub`, built.
static QCustomTableWidget *buildTable(QSubWindow &sub, ORVEHVNode *system)
{
    sub.setSystemNode(system);
    sub.buildTableInitial();
    return sub.table();
}

class TstChannelTable : public QObject
{
    Q_OBJECT

    // The default mainframe and its table (shown and active with `show`).
    std::unique_ptr<LiveSystem> sys;
    std::unique_ptr<QSubWindow> sub;
    QCustomTableWidget *t = nullptr;
    bool open(bool show)
    {
        sys = mainframe();
        if (!sys)
            return false;
        sub = std::make_unique<QSubWindow>(nullptr, false);
        t = buildTable(*sub, sys->node);
        if (!show)
            return true;
        sub->resize(1200, 800);
        sub->show();
        return QTest::qWaitForWindowActive(sub.get());
    }

private slots:
    void initTestCase() { vhw::setTimeMode(vhw::TimeMode::Manual); }
    void init()
    {
        QVERIFY(vhw::resetWorld());
    }
    void cleanup()
    {
        sub.reset();  // the table before the tree it shows
        sys.reset();
        t = nullptr;
    }

    void columnOrderAndCells()
    {
        QVERIFY(open(false));

        // priority columns first, whatever order a board lists them in (slot 1
        // lists VMon, Pw, ISet, VSet first); then the rest as met
        const QStringList h = headers(t);
        QCOMPARE(h.mid(0, 10), QStringList({"Name", "ISet", "VSet", "IMon", "VMon", "Pw", "Status", "RUp",
                                            "RDwn", "Trip"}));
        QVERIFY(h.contains("TripInt") && h.contains("TripExt"));
        QCOMPARE(QStringList(h).removeDuplicates(), 0);
        // 12 + 24 + 48 + 12 channels
        QCOMPARE(t->rowCount(), 96);

        // every cell is the node itself; positions are written back
        ORVEHVNode *vset = sys->param(1, 4, "VSet");
        QVERIFY(vset);
        QCOMPARE(t->item(vset->row(), t->columnByName("VSet")), static_cast<QTableWidgetItem *>(vset));
        QCOMPARE(sys->channel(1, 4)->visualIndex(), 12 + 4);
        QCOMPARE(sys->param(1, 4, "VMon")->flags(), Qt::ItemFlags(Qt::ItemIsEnabled)); // a monitor is never edited

        // only the trip-line board has TripInt: the others show "...", not editable
        const int tripCol = t->columnByName("TripInt");
        QTableWidgetItem *empty = t->item(0, tripCol);
        QCOMPARE(empty->text(), QString("..."));
        QCOMPARE(empty->flags(), Qt::ItemFlags(Qt::NoItemFlags));
        ORVEHVNode *tripInt = sys->param(8, 0, "TripInt");
        QCOMPARE(t->item(tripInt->row(), tripCol), static_cast<QTableWidgetItem *>(tripInt));
    }

    void bothCurrentColumnsAndNoPw()
    {
        // no "Pw" anywhere: the other priority columns keep their order; one
        // channel family has both current set names
        ORVEHVNode *tree = makeTree({{"VMon", "Trip", "ISet", "I0Set", "VSet", "Extra"},
                                     {"Status", "IMon", "RDwn", "RUp", "VSet"}});
        QSubWindow sub(nullptr, false);
        QCustomTableWidget *t = buildTable(sub, tree);
        QCOMPARE(headers(t), QStringList({"ISet", "I0Set", "VSet", "IMon", "VMon", "Status", "RUp", "RDwn",
                                          "Trip", "Extra"}));
        // the second board lacks ISet: "..." there
        QCOMPARE(t->item(2, 0)->text(), QString("..."));

        // the offset menu is offered on a current or voltage column only
        QSignalSpy offsetSpy(t, &QCustomTableWidget::selectOffsetSettingModality);
        const int x = t->horizontalHeader()->sectionViewportPosition(1) + 5;
        t->emitSelectOffsetSettingModality(QPoint(x, 5));
        QCOMPARE(offsetSpy.size(), 1);
        QCOMPARE(offsetSpy.first().mid(1), QVariantList({1, 0})); // column 1, a current
        t->emitSelectOffsetSettingModality(QPoint(t->horizontalHeader()->sectionViewportPosition(3) + 5, 5));
        QCOMPARE(offsetSpy.size(), 1);

        delete tree; // before the sub-window: cells go with their nodes
        QCOMPARE(t->item(0, 0), nullptr);
        QCOMPARE(t->item(2, 0)->text(), QString("..."));
    }

    void rowLabels()
    {
        QCOMPARE(TableRules::rowLabel("Board05", "Chan003", 2, false, "X"), QString("05.003"));
        QCOMPARE(TableRules::rowLabel("Board03", "Chan011", 16, false, "X"), QString("003.011"));
        QCOMPARE(TableRules::rowLabel("Board", "Chan", 2, false, "X"), QString("."));

        // crate/slot numbering on the two-crate rack
        auto rack = connectSystem(16, 0, "192.0.2.20", "admin", "admin");
        QVERIFY(rack);
        QSubWindow sub(nullptr, false);
        buildTable(sub, rack->node);
        ORVEHVNode *ch = rack->channel(27, 3);
        QVERIFY(ch);
        QCOMPARE(sub.table()->verticalHeaderItem(ch->visualIndex())->text(), QString("102.003"));
        QCOMPARE(sub.table()->verticalHeaderItem(0)->text(), QString("000.000"));
    }

    void viewModes()
    {
        QVERIFY(open(false));
        QCOMPARE(sub->viewMode(), int(QSubWindow::CustomMode));
        // Minimal: exactly the twelve names that exist
        sub->viewModeCombo()->setCurrentIndex(1);
        QCOMPARE(sub->viewMode(), int(QSubWindow::MinimalMode));
        QCOMPARE(visibleHeaders(t), QStringList({"Name", "ISet", "VSet", "IMon", "VMon", "Pw", "Status", "RUp",
                                                 "RDwn", "Trip"}));

        // Custom: the stored positions and visible flags
        sys->channel(0, 5)->setIsEnabled(false);
        for (ORVEHVNode *b : sys->node->children())
            for (ORVEHVNode *c : b->children()) {
                if (ORVEHVNode *p = c->parameter("Status"))
                    p->setVisualIndex(1);
                if (ORVEHVNode *p = c->parameter("SVMax"))
                    p->setIsEnabled(false);
            }
        sys->channel(0, 7)->setVisualIndex(0);
        sub->setViewTableMode("custom");
        QCOMPARE(sub->viewMode(), int(QSubWindow::CustomMode));
        QVERIFY(t->isRowHidden(5));
        QVERIFY(t->isColumnHidden(t->columnByName("SVMax")));
        QCOMPARE(visibleHeaders(t).at(1), QString("Status"));
        QCOMPARE(t->verticalHeader()->logicalIndex(0), 7);

        // Full: everything, natural order
        sub->setViewTableMode("FULL view");
        QCOMPARE(sub->viewMode(), int(QSubWindow::FullMode));
        QCOMPARE(visibleHeaders(t), headers(t));
        QVERIFY(!t->isRowHidden(5));
        QCOMPARE(t->verticalHeader()->logicalIndex(0), 0);

        // an unknown choice changes nothing
        sub->setViewTableMode("whatever");
        QCOMPARE(sub->viewMode(), int(QSubWindow::FullMode));

        // the tree outlives its table and takes values without it
        sub.reset();
        ORVEHVNode *vset = sys->param(0, 0, "VSet");
        QVERIFY(!vset->tableWidget());
        vset->setValue(NodeValue(10.0f, ValueOk));

        // Minimal with none of the twelve names: the first three columns
        std::unique_ptr<ORVEHVNode> odd(makeTree({{"Alpha", "Beta", "Gamma", "Delta", "Epsilon"}}));
        QSubWindow sub2(nullptr, false);
        buildTable(sub2, odd.get());
        sub2.applyMinimalMode();
        QCOMPARE(visibleHeaders(sub2.table()), QStringList({"Alpha", "Beta", "Gamma"}));
    }

    void emptyTreeAndUnsetRoot()
    {
        QSubWindow unset(nullptr, false);
        unset.buildTableInitial();
        unset.applyFullMode();
        unset.rebuildTable();
        QCOMPARE(unset.table()->rowCount(), 0);

        std::unique_ptr<ORVEHVNode> sys(makeTree({}));
        QSubWindow sub(nullptr, false);
        buildTable(sub, sys.get());
        QCOMPARE(sub.noChannelsLabel()->text(), QString("No channels present"));
        QVERIFY(sub.table()->isHidden());

        // channels arrive: the label goes
        std::unique_ptr<ORVEHVNode> other(makeTree({{"VSet"}}, 1));
        sys->addChild(other->children().first());
        other->removeChildAt(0);
        sub.rebuildTable();
        QVERIFY(!sub.noChannelsLabel());
        QVERIFY(!sub.table()->isHidden());
    }

    void selectionRules()
    {
        QVERIFY(open(true));
        QItemSelectionModel *sm = t->selectionModel();
        const int vset = t->columnByName("VSet");
        const int iset = t->columnByName("ISet");
        const int name = t->columnByName("Name");
        auto idx = [&](int r, int c) { return t->model()->index(r, c); };

        // two columns: only the current cell stays
        sm->setCurrentIndex(idx(2, vset), QItemSelectionModel::ClearAndSelect);
        sm->select(idx(3, vset), QItemSelectionModel::Select);
        sm->select(idx(4, iset), QItemSelectionModel::Select);
        t->checkColumnSelection();
        QCOMPARE(t->selectionModel()->selectedIndexes(), QModelIndexList({idx(2, vset)}));

        // one column: kept
        sm->select(idx(3, vset), QItemSelectionModel::Select);
        sm->select(idx(4, vset), QItemSelectionModel::Select);
        t->checkColumnSelection();
        QCOMPARE(t->selectionModel()->selectedIndexes().size(), 3);

        // several names: never
        sm->setCurrentIndex(idx(1, name), QItemSelectionModel::ClearAndSelect);
        sm->select(idx(2, name), QItemSelectionModel::Select);
        sm->select(idx(3, name), QItemSelectionModel::Select);
        t->checkColumnSelection();
        QCOMPARE(t->selectionModel()->selectedIndexes(), QModelIndexList({idx(1, name)}));

        // shift-clicking a range of names with the mouse keeps one
        t->setFocus();
        const QRect a = t->visualRect(idx(4, name));
        const QRect b = t->visualRect(idx(7, name));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, a.center());
        QTest::mousePress(t->viewport(), Qt::LeftButton, Qt::ShiftModifier, b.center());
        QVERIFY(t->selectionModel()->selectedIndexes().size() > 1);
        QTest::mouseRelease(t->viewport(), Qt::LeftButton, Qt::ShiftModifier, b.center());
        QCOMPARE(t->selectionModel()->selectedIndexes().size(), 1);

        // a row header click leaves only the current cell
        sm->setCurrentIndex(idx(2, vset), QItemSelectionModel::ClearAndSelect);
        sm->select(idx(3, vset), QItemSelectionModel::Select);
        t->cancelRowSelection();
        QCOMPARE(t->selectionModel()->selectedIndexes(), QModelIndexList({idx(2, vset)}));

        // left/right with a multi-selection: only the current cell
        sm->select(idx(3, vset), QItemSelectionModel::Select);
        QTest::keyClick(t, Qt::Key_Left);
        QCOMPARE(t->selectionModel()->selectedIndexes().size(), 1);

        // the read-only current cell: the first editable selected cell becomes current
        const int vmon = t->columnByName("VMon");
        sm->setCurrentIndex(idx(5, vmon), QItemSelectionModel::Clear);
        sm->select(idx(6, vset), QItemSelectionModel::Select);
        t->checkColumnSelection();
        QCOMPARE(t->currentIndex(), idx(6, vset));
    }

    void multiSetAbsolute()
    {
        QVERIFY(open(true));
        const int vset = t->columnByName("VSet");

        // rows 0..2 of slot 0 at 50, 50, 30; row 1 then moves on the device
        // alone: the table still holds 50 there
        QCOMPARE(sys->param(0, 0, "VSet")->writeValue(50.0), 0);
        QCOMPARE(sys->param(0, 1, "VSet")->writeValue(50.0), 0);
        QCOMPARE(sys->param(0, 2, "VSet")->writeValue(30.0), 0);
        QCOMPARE(vhw::setChannelParam(sys->id, 0, 1, "VSet", 70), 0);

        typeInto(*sub, vset, {0, 1, 2}, "50", Qt::Key_unknown);
        QCOMPARE(t->selectionModel()->selectedIndexes().size(), 3);
        // the cell under the editor is blanked while editing
        QCOMPARE(t->item(0, vset)->text(), QString());
        QTest::keyClick(t->indexWidget(t->model()->index(0, vset))->focusProxy(), Qt::Key_Return);
        QTRY_VERIFY(!t->indexWidget(t->model()->index(0, vset)));

        QCOMPARE(sys->device(0, 0, "VSet"), 50.0);
        QCOMPARE(sys->device(0, 1, "VSet"), 70.0); // equal in the table: not written
        QCOMPARE(sys->device(0, 2, "VSet"), 50.0);
        QCOMPARE(sys->param(0, 2, "VSet")->value().value.toDouble(), 50.0);
        QVERIFY(t->item(0, vset)->text().startsWith("50.0"));

        // typing on a selected cell replaces its value
        t->setFocus();
        t->setCurrentCell(8, vset);
        QTRY_VERIFY(t->indexWidget(t->model()->index(8, vset)));
        QWidget *focus = t->indexWidget(t->model()->index(8, vset))->focusProxy();
        QVERIFY(focus);
        QTRY_VERIFY(focus->hasFocus());
        QTest::keyClicks(focus, "75");
        QTest::keyClick(focus, Qt::Key_Return);
        QCOMPARE(sys->device(0, 8, "VSet"), 75.0);

        // a name is never copied
        const int name = t->columnByName("Name");
        typeInto(*sub, name, {3, 4}, "DET-A");
        QCOMPARE(QString::fromStdString(vhw::channelName(sys->id, 0, 3)), QString("DET-A"));
        QVERIFY(QString::fromStdString(vhw::channelName(sys->id, 0, 4)) != QString("DET-A"));
    }

    // A wide table scrolled right keeps its names in sight, row for row as
    // the table shows them; a double click there renames through the real
    // cell. At the left edge nothing covers the cells.
    void namesStayInSight()
    {
        QVERIFY(open(true));
        sub->resize(640, 400);
        auto *strip = t->findChild<FrozenNameColumn *>();
        QVERIFY(strip);
        QVERIFY(!strip->isVisible());
        QVERIFY(t->horizontalScrollBar()->maximum() > 0);
        t->horizontalScrollBar()->setValue(t->horizontalScrollBar()->maximum());
        QTRY_VERIFY(strip->isVisible());
        t->verticalScrollBar()->setValue(t->verticalScrollBar()->maximum() / 2);
        const int row = t->rowAt(t->viewport()->height() / 2);
        const int nameCol = t->columnByName("Name");
        const ORVEHVNode *name = QCustomTableWidget::nodeOf(t->item(row, nameCol));
        QVERIFY(row > 0 && name);
        QVERIFY(t->columnViewportPosition(nameCol) < 0);
        const QPoint onStrip = strip->mapFrom(t, t->viewport()->mapTo(t, QPoint(2, t->viewport()->height() / 2)));
        QCOMPARE(strip->rowAt(onStrip), row);
        QVERIFY(strip->geometry().left() == t->viewport()->geometry().left());

        QTest::mouseDClick(strip, Qt::LeftButton, {}, onStrip);
        QCOMPARE(t->horizontalScrollBar()->value(), 0);
        QTRY_VERIFY(!strip->isVisible());
        QCOMPARE(t->currentRow(), row);
        QCOMPARE(t->currentColumn(), nameCol);
        QTRY_VERIFY(t->indexWidget(t->currentIndex()));
        QWidget *focus = t->indexWidget(t->currentIndex())->focusProxy();
        QVERIFY(focus);
        QTRY_VERIFY(focus->hasFocus());
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(focus, "DET-B");
        QTest::keyClick(focus, Qt::Key_Return);
        QCOMPARE(QString::fromStdString(vhw::channelName(sys->id, name->slot(), name->channel())), QString("DET-B"));
    }

    void offsetMode_data()
    {
        // VSet of rows 0..3 (slot 0, Maxval 2000) before: 100, 200, 300, 1990
        QTest::addColumn<QList<int>>("rows"); // the first is the edited cell
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<double>>("after");
        QTest::newRow("up") << QList<int>{0, 1, 2} << "5" << QList<double>{105, 205, 305, 1990};
        QTest::newRow("down") << QList<int>{1, 2} << "-5" << QList<double>{100, 195, 295, 1990};
        // the edited cell would leave its range: nothing written anywhere
        QTest::newRow("edited beyond") << QList<int>{3, 1, 2} << "20" << QList<double>{100, 200, 300, 1990};
        // another cell would: that one is skipped alone
        QTest::newRow("other beyond") << QList<int>{1, 3} << "15" << QList<double>{100, 215, 300, 1990};
    }

    void offsetMode()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QString, typed);
        QFETCH(QList<double>, after);
        QVERIFY(open(true));
        const int vset = t->columnByName("VSet");
        setOffsetMode(*sub, 1, true);
        const double before[] = {100, 200, 300, 1990};
        for (int r = 0; r < 4; ++r)
            QCOMPARE(sys->param(0, r, "VSet")->writeValue(before[r]), 0);

        typeInto(*sub, vset, rows, typed);
        for (int r = 0; r < 4; ++r)
            QCOMPARE(sys->device(0, r, "VSet"), after[r]);
        QTRY_VERIFY(!t->indexWidget(t->model()->index(rows.first(), vset)));
        QCOMPARE(t->item(rows.first(), vset)->text(), sys->param(0, rows.first(), "VSet")->cellText());
    }

    void offsetLeftWithoutEnter()
    {
        QVERIFY(open(true));
        const int vset = t->columnByName("VSet");
        setOffsetMode(*sub, 1, true);
        QCOMPARE(sys->param(0, 0, "VSet")->writeValue(100.0), 0);
        const QString shown = sys->param(0, 0, "VSet")->cellText();

        typeInto(*sub, vset, {0}, "10", Qt::Key_unknown);
        // the operator clicks another cell
        const QRect other = t->visualRect(t->model()->index(4, vset));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, other.center());
        QTRY_VERIFY(!t->indexWidget(t->model()->index(0, vset)));
        QCOMPARE(sys->device(0, 0, "VSet"), 100.0);
        QCOMPARE(t->item(0, vset)->text(), shown);

        // Escape in absolute mode abandons the entry as well
        setOffsetMode(*sub, 1, false);
        typeInto(*sub, vset, {0}, "321", Qt::Key_Escape);
        QTRY_VERIFY(!t->indexWidget(t->model()->index(0, vset)));
        QCOMPARE(sys->device(0, 0, "VSet"), 100.0);
        QCOMPARE(t->item(0, vset)->text(), shown); // not left blank

        // whereas leaving a changed absolute cell commits it
        typeInto(*sub, vset, {0}, "321", Qt::Key_unknown);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, other.center());
        QTRY_VERIFY(!t->indexWidget(t->model()->index(0, vset)));
        QCOMPARE(sys->device(0, 0, "VSet"), 321.0);
        QVERIFY(t->item(0, vset)->text().startsWith("321.0"));
    }

    void oneActionOneWrite_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("refusal");      // write fault on the parameter, 0 for none
        QTest::addColumn<double>("expected");  // both cells on the device; NaN: unchanged
        QTest::addColumn<int>("writes");
        QTest::addColumn<int>("messages");
        // a bit word the board cannot take clears no trip line, neither here
        // nor in the selection (keys that are not hexadecimal are not typed)
        QTest::newRow("bit word above Maxval") << "TripInt" << 8 << "1000" << 0 << qQNaN() << 0 << 1;
        QTest::newRow("bit word") << "TripInt" << 8 << "1f" << 0 << 31.0 << 2 << 0;
        // Enter, then the focus leaving: the refused write is not sent again
        // ... and both refusals are told in one message
        QTest::newRow("refused write") << "VSet" << 0 << "55" << int(ORVEHV_ERR_WRITE_REFUSED) << qQNaN() << 2 << 1;
        // a German desktop: the comma key is the decimal point
        QTest::newRow("decimal comma") << "VSet" << 0 << "12,5" << 0 << 12.5 << 2 << 0;
        QTest::newRow("decimal point") << "VSet" << 0 << "12.5" << 0 << 12.5 << 2 << 0;
    }

    void oneActionOneWrite()
    {
        QFETCH(QString, param);
        QFETCH(int, slot);
        QFETCH(QString, typed);
        QFETCH(int, refusal);
        QFETCH(double, expected);
        QFETCH(int, writes);
        QFETCH(int, messages);
        const QLocale desktop;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(desktop); });
        CapturedMessages shown;

        const QByteArray name = param.toLatin1();
        QCOMPARE(vhw::setChannelParam(vhw::findSystem("192.0.2.10", 2, 0), slot, 0, name.constData(), 5), 0);
        QCOMPARE(vhw::setChannelParam(vhw::findSystem("192.0.2.10", 2, 0), slot, 1, name.constData(), 3), 0);
        QVERIFY(open(true));
        const int col = t->columnByName(param);
        if (refusal)
            QCOMPARE(vhw::failWrite(sys->id, name.constData(), refusal), 0);

        vhw::resetLibraryCallCount();
        typeInto(*sub, col, {sys->param(slot, 0, param)->row(), sys->param(slot, 1, param)->row()}, typed);
        t->setCurrentCell(0, t->columnByName("Name")); // the focus leaves the cell
        QTRY_VERIFY(!t->indexWidget(t->model()->index(sys->param(slot, 0, param)->row(), col)));

        QCOMPARE(int(vhw::libraryCallCount()), writes);
        QCOMPARE(shown.size(), messages);
        QCOMPARE(sys->device(slot, 0, name.constData()), qIsNaN(expected) ? 5.0 : expected);
        QCOMPARE(sys->device(slot, 1, name.constData()), qIsNaN(expected) ? 3.0 : expected);
        // the cells show what the device holds, after a refusal too
        const int row = sys->param(slot, 0, param)->row();
        QCOMPARE(sys->param(slot, 0, param)->value().value.toDouble(), sys->device(slot, 0, name.constData()));
        QCOMPARE(t->item(row, col)->text(), sys->param(slot, 0, param)->cellText());
    }

    // A wheel notch over an open cell editor, or over a whole selected
    // column, changes nothing on the device: the wheel only scrolls.
    void wheelNeverWrites_data()
    {
        QTest::addColumn<QString>("param");
        QTest::addColumn<bool>("wholeColumn");  // a click on the header
        QTest::newRow("Pw cell") << "Pw" << false;
        QTest::newRow("Pw column") << "Pw" << true;
        QTest::newRow("VSet cell") << "VSet" << false;
    }
    void wheelNeverWrites()
    {
        QFETCH(QString, param);
        QFETCH(bool, wholeColumn);
        QVERIFY(open(true));
        const int col = t->columnByName(param);
        const QByteArray name = param.toLatin1();
        auto deviceColumn = [&] {
            QList<double> values;
            for (int r = 0; r < t->rowCount(); ++r)
                if (ORVEHVNode *n = QCustomTableWidget::nodeOf(t->item(r, col)))
                    values << sys->device(n->slot(), n->channel(), name.constData());
            return values;
        };
        const QList<double> before = deviceColumn();
        QVERIFY(before.contains(0.0) && (param != "Pw" || before.contains(1.0)));

        if (wholeColumn) {
            QHeaderView *h = t->horizontalHeader();
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(col) + 5, 5));
            QCOMPARE(t->selectionModel()->selectedIndexes().size(), t->rowCount());
        } else {
            // a channel that is off (slot 1): the wheel would switch it on
            const int row = sys->param(1, 0, param)->row();
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(row, col)).center());
        }
        QTRY_VERIFY(t->indexWidget(t->currentIndex()));
        auto *editor = qobject_cast<ORVEHVWidgetItem *>(t->indexWidget(t->currentIndex()));
        QVERIFY(editor && editor->innerEditor());
        QTRY_VERIFY(editor->innerEditor()->hasFocus());
        for (int notches : {1, -1, 2}) {
            for (QWidget *target : {editor->innerEditor(), t->viewport()}) {
                const QPointF at(target->rect().center());
                QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(target, &wheel);
                QCOMPARE(deviceColumn(), before);
            }
        }
        // the editor closes as the operator moves on (a spin box commits then)
        const QModelIndex edited = t->currentIndex();
        t->setCurrentCell(0, t->columnByName("Name"));
        QTRY_VERIFY(!t->indexWidget(edited));
        QCOMPARE(deviceColumn(), before);
    }

    // One step that switches several channels on asks first (a real box,
    // answered by the driver); No switches nothing, Yes all of them, and the
    // status report counts the cells scrolled out of view too.
    void switchingSeveralOnAsksFirst_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("No") << "No";
        QTest::newRow("Yes") << "Yes";
    }
    void switchingSeveralOnAsksFirst()
    {
        QFETCH(QString, answer);
        QVERIFY(open(true));
        const int pw = t->columnByName("Pw");
        ORVEHVNode *last = sys->board(8)->children().last()->parameter("Pw");
        const QList<ORVEHVNode *> cells{sys->param(1, 0, "Pw"), sys->param(1, 1, "Pw"), sys->param(1, 2, "Pw"), last};
        for (ORVEHVNode *n : cells)
            QCOMPARE(sys->device(n->slot(), n->channel(), "Pw"), 0.0);
        QVERIFY(!t->viewport()->rect().intersects(t->visualItemRect(last)));

        auto *editor = selectCells(t, cells);
        QVERIFY(editor);
        QTRY_VERIFY(editor->innerEditor()->hasFocus());
        QSignalSpy reports(t, &QCustomTableWidget::cellsWritten);
        live_test::MessageBoxDriver driver;
        driver.plan({answer});
        QTest::keyClick(editor->innerEditor(), Qt::Key_Space);  // Off -> On

        QCOMPARE(driver.texts(), QStringList("Switch on 4 channels of MF3300?"));
        const double expected = answer == "Yes" ? 1.0 : 0.0;
        for (ORVEHVNode *n : cells)
            QCOMPARE(sys->device(n->slot(), n->channel(), "Pw"), expected);
        if (answer == "Yes") {
            QCOMPARE(reports.size(), 1);
            QCOMPARE(reports.first().first().toString(), "Pw written to 4 of 4 selected cells, 1 of them out of view.");
        } else {
            QCOMPARE(reports.size(), 0);
            // the editor shows the channel's state again
            QCOMPARE(qobject_cast<QComboBox *>(editor->innerEditor())->currentIndex(), 1);
        }
    }

    void rowColoursAndPowerHeader()
    {
        QVERIFY(open(false));

        // stripes over the visible rows
        QCOMPARE(t->item(0, 1)->background().color(), QColor(238, 238, 238));
        QCOMPARE(t->item(1, 1)->background().color(), QColor(213, 213, 213));
        sys->channel(0, 1)->setIsEnabled(false);
        sub->applyCustomMode();
        QCOMPARE(t->item(2, 1)->background().color(), QColor(213, 213, 213));

        // slot 0 starts powered (world value): green header, white text
        QVERIFY(sys->param(0, 0, "Pw")->value().value.toBool());
        QCOMPARE(t->verticalHeaderItem(0)->background().color(), QColor(53, 169, 18));
        QCOMPARE(t->verticalHeaderItem(12)->background().color(), QColor(128, 128, 128));
        // a refresh of "Pw" recolours through the device tree's hook
        sys->param(1, 0, "Pw")->setValue(NodeValue(true, ValueOk));
        QCOMPARE(t->verticalHeaderItem(12)->background().color(), QColor(53, 169, 18));
        sys->param(1, 0, "Pw")->setValue(NodeValue(false, ValueOk));
        QCOMPARE(t->verticalHeaderItem(12)->background().color(), QColor(128, 128, 128));
        t->highlightRowHeader(9999); // out of range: ignored

        // a faulty channel: red with white text, "Pw" keeps its own colour
        const int pwCol = t->columnByName("Pw");
        ORVEHVNode *status = sys->param(0, 3, "Status");
        const QBrush pwText = t->item(3, pwCol)->foreground();
        sub->markChannelState(false, status);
        QVERIFY(status->notOk());
        QVERIFY(sys->param(0, 3, "VSet")->notOk());
        for (int c = 0; c < t->columnCount(); ++c)
            QCOMPARE(t->item(3, c)->background().color(), QColor(238, 0, 0));
        QCOMPARE(t->item(3, 1)->foreground().color(), QColor(Qt::white));
        QCOMPARE(t->item(3, pwCol)->foreground(), pwText);
        // the stripes keep the fault
        t->alternateRowColors();
        QCOMPARE(t->item(3, 1)->background().color(), QColor(238, 0, 0));
        // and it clears
        sub->markChannelState(true, status);
        QVERIFY(!sys->param(0, 3, "VSet")->notOk());
        QCOMPARE(t->item(3, 1)->foreground().color(), QColor(Qt::black));
        QCOMPARE(t->item(3, 1)->background().color(), t->rowColor(3));
        // a hidden row is left alone
        sub->markChannelState(false, sys->param(0, 1, "Status"));
        QVERIFY(!sys->param(0, 1, "Status")->notOk());
    }

    void searchAndTripHeaders()
    {
        QVERIFY(open(false));

        QCOMPARE(sub->findRowByName("BEAM-R"), 1);
        sub->selectChannelRow(1);
        sub->selectChannelRow(sub->findRowByName("nobody")); // not found: nothing changes
        QCOMPARE(t->currentRow(), 1);
        QCOMPARE(t->currentColumn(), 0);

        // a header click opens the dialog of its trip line, other headers none
        QList<int> opened;
        QSubWindow::setTripDialogFactory([&](ORVEHVNode *system, int flagExt, QSystemInterface *, QWidget *) {
            if (system == sys->node)
                opened << flagExt;
            return nullptr;
        });
        for (const char *column : {"TripExt", "TripInt", "VSet"})
            emit t->horizontalHeader()->sectionClicked(t->columnByName(column));
        QCOMPARE(opened, QList<int>({1, 0}));
        QSubWindow::setTripDialogFactory({});

        QSignalSpy focused(sub.get(), &QSubWindow::focused);
        sub->show();
        QVERIFY(QTest::qWaitForWindowExposed(sub.get()));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualRect(t->model()->index(2, 2)).center());
        QVERIFY(focused.size() >= 1);
    }

    void customViewUsesMirrors()
    {
        auto sys = mainframe();
        QVERIFY(sys);
        auto *root = new ORVEHVNode;
        root->initialise("customView", KindContainer);
        root->addChild(sys->node);
        for (int ch : {2, 4})
            for (ORVEHVNode *p : sys->channel(3, ch)->parameters())
                p->setIsEnabledInCustomView(true);
        sys->channel(3, 2)->setIsEnabledInCustomView(true);
        sys->channel(3, 4)->setIsEnabledInCustomView(true);
        sys->channel(3, 4)->setCustomViewVisualIndex(0);

        QSubWindow own(nullptr, false);
        buildTable(own, sys->node);
        const int ownVisual = sys->param(3, 2, "VSet")->visualIndex();

        QSubWindow custom(nullptr, true);
        custom.setRootNode(root);
        custom.buildTableInitial();
        custom.applyCustomMode();
        QCustomTableWidget *t = custom.table();
        const int vset = t->columnByName("VSet");
        ORVEHVNode *node = sys->param(3, 2, "VSet");
        // the mirror is the cell; the node stays in the system's own table
        QCOMPARE(static_cast<QTableWidgetItem *>(node->partner())->tableWidget(),
                 static_cast<QTableWidget *>(t));
        QCOMPARE(node->tableWidget(), static_cast<QTableWidget *>(own.table()));
        QCOMPARE(node->visualIndex(), ownVisual); // the custom build keeps the own positions
        const int mirrorRow = static_cast<QTableWidgetItem *>(node->partner())->row();
        QVERIFY(t->isRowHidden(0)); // channel 0 of slot 0 is not in the view
        // channels outside the view do not hide the columns of those inside it
        QVERIFY(!t->isColumnHidden(vset));

        // a value shows in both tables
        node->setValue(NodeValue(1234.0f, ValueOk));
        QCOMPARE(static_cast<QTableWidgetItem *>(node->partner())->text(), node->text());

        // a status change colours the mirror row
        custom.markChannelState(false, sys->param(3, 2, "Status"));
        QCOMPARE(t->item(mirrorRow, vset)->background().color(), QColor(238, 0, 0));

        own.setSystemNode(nullptr);
        delete root;
    }

private:
    // Opens the editor of the first of `rows` in `column` with all of them
    // selected, types `text` into it (replacing its value) and presses `key`
    // (none: Qt::Key_unknown).
    void typeInto(QSubWindow &sub, int column, const QList<int> &rows, const QString &text,
                  Qt::Key key = Qt::Key_Return)
    {
        QCustomTableWidget *t = sub.table();
        const QModelIndex first = t->model()->index(rows.first(), column);
        // current-changed opens the editor, as when the operator moves there
        t->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
        for (int r : rows)
            t->selectionModel()->select(t->model()->index(r, column), QItemSelectionModel::Select);
        if (!t->indexWidget(first)) // already current: open it as a double-click would
            t->edit(first);
        auto *ed = qobject_cast<ORVEHVWidgetItem *>(t->indexWidget(first));
        QVERIFY(ed);
        QWidget *field = ed->innerEditor();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        if (key != Qt::Key_unknown)
            QTest::keyClick(field, key);
    }

    void setOffsetMode(QSubWindow &sub, int paramType, bool on)
    {
        const int col = sub.table()->columnByName(paramType == 0 ? "ISet" : "VSet");
        sub.handleSelectOffsetSettingModality(QPoint(10, 10), col, paramType);
        auto *menu = sub.findChild<QMenu *>("offsCtxMenu");
        QVERIFY(menu);
        menu->actions().at(on ? 1 : 0)->trigger();
        menu->close();
        QCOMPARE(sub.table()->property(paramType == 0 ? "Offset_I" : "Offset_V").toBool(), on);
    }
};

QTEST_MAIN(TstChannelTable)
#include "tst_channel_table.moc"
