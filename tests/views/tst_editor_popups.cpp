// The looks a cell editor takes (transparent in a table, lit while focused,
// transparent around it as a table item) stay off its pop-ups: the context
// menu of a value cell showed black with its items unreadable.
#include "views/ORVEHVWidgetItem.h"
#include "views/QCustomEditors.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QtTest>

class TstEditorPopups : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qApp->setStyleSheet(QStringLiteral("QMenu { background: #fbfcfc; color: black; }"));
    }

    void contextMenuKeepsTheMenuLook_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<bool>("onParent");   // set on a widget around the editor (the table item)
        QTest::newRow("in a table") << QString::fromLatin1(EditorLook::TableSheet) << false;
        QTest::newRow("table item") << QString::fromLatin1(ORVEHVWidgetItem::TransparentSheet) << true;
    }
    void contextMenuKeepsTheMenuLook()
    {
        QFETCH(QString, sheet);
        QFETCH(bool, onParent);
        QWidget holder;
        auto *spin = new QDoubleSpinBox(&holder);
        auto *edit = new QLineEdit(&holder);
        for (QWidget *editor : {static_cast<QWidget *>(spin), static_cast<QWidget *>(edit)}) {
            (onParent ? static_cast<QWidget *>(&holder) : editor)->setStyleSheet(sheet);
            QLineEdit *line = editor == spin ? spin->findChild<QLineEdit *>() : edit;
            QMenu *menu = line->createStandardContextMenu();   // a child of the editor, as when it pops up
            menu->ensurePolished();
            QCOMPARE(menu->palette().color(QPalette::Window), QColor(0xfb, 0xfc, 0xfc));
            QCOMPARE(menu->palette().color(QPalette::WindowText), QColor(Qt::black));
            delete menu;
        }
        // the editor itself still takes the look
        edit->ensurePolished();
        QVERIFY(onParent ? edit->palette().color(QPalette::Base).alpha() == 0
                         : edit->palette().color(QPalette::Base) != QApplication::palette().color(QPalette::Base));
    }
};

QTEST_MAIN(TstEditorPopups)
#include "tst_editor_popups.moc"
