// Channel groups against the virtual mainframes: names and numbering, the
// "Groups" menu, setting one value on every member (read back from the
// device), editing, deleting, refused writes, and members of a system that
// goes.

#include "tests/views/ViewsTestSupport.h"
#include "views/ChannelGroups.h"
#include "views/ORVEHVWidgetItem.h"
#include "views/QCreateSetGroupsDialog.h"
#include "views/QCustomEditors.h"
#include "views/QSetGroupValueDialog.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

using namespace views_test;

class TestGroups : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSystem> mf, mf2;
    std::unique_ptr<QMenu> menu;
    std::unique_ptr<ChannelGroups> groups;
    CapturedMessages messages;

    QStringList actionTexts() const
    {
        QStringList t;
        for (QAction *a : groups->actions())
            t << a->objectName() + QLatin1Char(':') + a->text();
        return t;
    }
    // Every channel of a board, with the parameter, as the dialog collects them.
    QList<ORVEHVNode *> members(const LiveSystem &s, int slot, const QString &name, int count = -1) const
    {
        QList<ORVEHVNode *> out;
        ORVEHVNode *b = s.board(slot);
        for (int c = 0; c < b->children().size() && (count < 0 || c < count); ++c) {
            out << b->children().at(c) << b->children().at(c)->parameter(name);
        }
        return out;
    }

private slots:
    void init()
    {
        vhw::resetWorld();
        vhw::setTimeMode(vhw::TimeMode::Manual);
        mf = mainframe();
        mf2 = connectSystem(2, 0, "192.0.2.11", "admin", "admin", QStringLiteral("Small"));
        QVERIFY(mf && mf2);
        menu = std::make_unique<QMenu>(QStringLiteral("Groups"));
        groups = std::make_unique<ChannelGroups>(menu.get(), [this] { return QList<ORVEHVNode *>{mf->node, mf2->node}; },
                                                 nullptr);
        messages.clear();
        messages.answer = 0;
    }
    void cleanup()
    {
        groups.reset();
        menu.reset();
        mf.reset();
        mf2.reset();
    }

    void defaultNamesAndNumbering()
    {
        QVERIFY(!menu->isEnabled());
        groups->addGroup(QString(), {});
        QVERIFY(groups->groups().isEmpty());
        for (int i = 0; i < 3; ++i)
            groups->addGroup(QString(), members(*mf, 0, QStringLiteral("VSet"), 2));
        QCOMPARE(actionTexts(), (QStringList{"0:Group 0", "1:Group 1", "2:Group 2"}));
        QVERIFY(menu->isEnabled());

        groups->deleteGroup(1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QStringLiteral("You are deleting Group 1."));
        QCOMPARE(messages.first().defaultButton, 0);
        QCOMPARE(actionTexts(), (QStringList{"0:Group 0", "1:Group 2"}));
        groups->addGroup(QString(), members(*mf, 0, QStringLiteral("VSet"), 1));
        QCOMPARE(actionTexts(), (QStringList{"0:Group 0", "1:Group 2", "2:Group 1"}));

        // "No" keeps the group; deleting the last one disables the menu.
        messages.answer = 1;
        groups->deleteGroup(0);
        QCOMPARE(groups->groups().size(), 3);
        messages.answer = 0;
        for (int i = 2; i >= 0; --i)
            groups->deleteGroup(i);
        QVERIFY(groups->groups().isEmpty());
        QVERIFY(!menu->isEnabled());
    }

    void createDialogOffersWritableParameters()
    {
        QCreateSetGroupsDialog dialog(groups.get());
        QComboBox *combo = dialog.parameterCombo();
        QCOMPARE(combo->currentIndex(), -1);
        QStringList offered;
        for (int i = 0; i < combo->count(); ++i)
            offered << combo->itemText(i);
        QVERIFY(offered.contains(QStringLiteral("Pw")) && !offered.contains(QStringLiteral("VMon")));   // read-only
        QCOMPARE(offered.count(QStringLiteral("VSet")), 1);

        combo->setCurrentText(QStringLiteral("VSet"));
        dialog.clickedOkButton();   // nothing chosen
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QStringLiteral("Select at least one channel"));
        QVERIFY(groups->groups().isEmpty());

        // A board item chooses its channels; members are channel, parameter.
        dialog.changeItemVisibility(dialog.itemOf(mf2->board(2)));
        dialog.changeItemVisibility(dialog.itemOf(mf->channel(0, 3)));
        dialog.nameEdit()->setText(QStringLiteral("Crate VSet"));
        dialog.clickedOkButton();
        QCOMPARE(groups->groups().size(), 1);
        const ChannelGroup &g = groups->groups().first();
        QCOMPARE(g.name, QStringLiteral("Crate VSet"));
        QCOMPARE(g.parameter, QStringLiteral("VSet"));
        const int n = mf2->board(2)->children().size();
        QCOMPARE(g.members.size(), 2 * (n + 1));
        QCOMPARE(g.members.at(0), mf->channel(0, 3));
        QCOMPARE(g.members.at(1), mf->param(0, 3, QStringLiteral("VSet")));
    }

    void settingOffWritesFalseToEveryMember()
    {
        groups->addGroup(QStringLiteral("Power"), members(*mf, 0, QStringLiteral("Pw")));
        for (int c = 0; c < 12; ++c)
            QCOMPARE(mf->device(0, c, "Pw"), 1.0);   // on at start
        QSetGroupValueDialog *dialog = groups->openGroup(0);
        QVERIFY(dialog);
        auto *combo = qobject_cast<QComboBox *>(dialog->editor()->innerEditor());
        QVERIFY(combo);
        const QString off = mf->param(0, 0, QStringLiteral("Pw"))->propertyValue(QStringLiteral("Offstate")).toString();
        combo->setCurrentText(off);
        // The editor only collects: nothing is written before OK.
        QCOMPARE(mf->device(0, 0, "Pw"), 1.0);
        dialog->clickedOkButton();
        for (int c = 0; c < 12; ++c)
            QCOMPARE(mf->device(0, c, "Pw"), 0.0);
        QVERIFY(messages.isEmpty());
    }

    void refusedMembersAreReportedOnce()
    {
        QList<ORVEHVNode *> m = members(*mf, 0, QStringLiteral("VSet"), 2) + members(*mf2, 0, QStringLiteral("VSet"), 3);
        groups->addGroup(QStringLiteral("Mixed"), m);
        vhw::failWrite(mf2->id, "VSet", ORVEHV_ERR_WRITE_REFUSED);
        QSetGroupValueDialog *dialog = groups->openGroup(0);
        auto *spin = qobject_cast<QDoubleSpinBox *>(dialog->editor()->innerEditor());
        QVERIFY(spin);
        spin->setValue(321);
        dialog->clickedOkButton();
        QCOMPARE(mf->device(0, 0, "VSet"), 321.0);
        QCOMPARE(mf->device(0, 1, "VSet"), 321.0);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().text, QStringLiteral("VSet was not set on 3 of the channels of Mixed."));
        QCOMPARE(messages.first().informativeText.count(QLatin1Char('\n')), 2);
    }

    void editingReplacesMembersAndTitle()
    {
        groups->addGroup(QStringLiteral("G"), members(*mf, 0, QStringLiteral("VSet")));
        QSetGroupValueDialog *value = groups->openGroup(0);
        QCreateSetGroupsDialog edit(groups.get(), value);
        QCOMPARE(edit.parameterCombo()->currentText(), QStringLiteral("VSet"));
        QVERIFY(edit.isChosen(edit.itemOf(mf->channel(0, 5))));
        edit.parameterCombo()->setCurrentText(QStringLiteral("ISet"));
        edit.changeItemVisibility(edit.itemOf(mf->channel(1, 0)));
        edit.nameEdit()->setText(QStringLiteral("Currents"));
        edit.clickedOkButton();
        const ChannelGroup &g = groups->groups().first();
        QCOMPARE(g.parameter, QStringLiteral("ISet"));
        QCOMPARE(g.members, (QList<ORVEHVNode *>{mf->channel(1, 0), mf->param(1, 0, QStringLiteral("ISet"))}));
        QCOMPARE(value->windowTitle(), QStringLiteral("Set ISet for Group Currents"));
        QCOMPARE(groups->actions().first()->text(), QStringLiteral("Currents"));
        QCOMPARE(value->editor()->node(), mf->param(1, 0, QStringLiteral("ISet")));
    }

    void membersOfAGoingSystemAreDropped()
    {
        groups->addGroup(QStringLiteral("Both"), members(*mf, 0, QStringLiteral("VSet"), 2)
                                                     + members(*mf2, 0, QStringLiteral("VSet"), 2));
        groups->addGroup(QStringLiteral("SmallOnly"), members(*mf2, 2, QStringLiteral("ISet")));
        groups->addGroup(QStringLiteral("BigOnly"), members(*mf, 1, QStringLiteral("ISet"), 1));
        QPointer<QSetGroupValueDialog> open = groups->openGroup(1);
        QSetGroupValueDialog *bothDialog = groups->openGroup(0);
        const QString note = groups->dropSystem(mf2->node);
        QVERIFY2(note.contains(QStringLiteral("Small")) && note.contains(QStringLiteral("keep their other channels: Both."))
                     && note.contains(QStringLiteral("deleted: SmallOnly.")), qPrintable(note));
        QCOMPARE(actionTexts(), (QStringList{"0:Both", "1:BigOnly"}));
        QVERIFY(!open || !open->isVisible());
        // The value dialog of the group that kept channels shows what is left.
        QVERIFY(bothDialog->isVisible());
        QCOMPARE(bothDialog->itemsList()->topLevelItemCount(), 2);
        // Another system's going changes nothing here.
        QVERIFY(groups->dropSystem(mf2->node).isEmpty());
    }
};

QTEST_MAIN(TestGroups)
#include "tst_groups.moc"
