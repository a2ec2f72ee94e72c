// View files and saved configurations: the byte format with repeated keys in
// both directions, applying a view to a tree, file names, atomic saving,
// untrusted input, and the load dialog.

#include "persist/QLoadCustDialog.h"
#include "persist/ViewFileFormat.h"
#include "persist/ViewFiles.h"
#include "tests/persist/ViewBytes.h"
#include "tests/views/ViewsTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace viewbytes;
using views_test::makeTree;

namespace {

const quint32 BigSerial = 4000000000u;   // above the signed 32-bit range

// A system of two boards (serials 111 and BigSerial) and an empty slot
// between them; channels hold VSet, VMon, Pw.
ORVEHVNode *sampleTree(quint32 firstSerial = 111, quint32 secondSerial = BigSerial,
                       const QString &name = QStringLiteral("Crate"), int type = 2,
                       const QString &argument = QStringLiteral("192.0.2.10"))
{
    ORVEHVNode *sys = makeTree({{"VSet", "VMon", "Pw"}, {"VSet", "VMon", "Pw"}}, 3, type, name);
    sys->setConnectionArgument(argument);
    sys->children().at(0)->setSerialNumber(firstSerial);
    sys->children().at(1)->setSerialNumber(secondSerial);
    auto *empty = new ORVEHVNode;
    empty->initialise(QString(), KindContainer);
    sys->insertChild(empty, 1);
    return sys;
}

// The view of channel 1 of the board with serial BigSerial: shown at row 4,
// VMon shown at column 0, the rest hidden; in the custom view the channel at
// 7 with VSet. The channel also lists a parameter renamed since ("V0Set" at
// VSet's index), which must change nothing. `nestedReversed`: the items of
// every nested hash last first.
Hash handWrittenSystem(bool nestedReversed = false)
{
    auto order = [nestedReversed](const Hash &h) { return nestedReversed ? h.reversed() : h; };
    auto param = [&](int k, const char *name, bool own, int pos, bool custom, int cpos) {
        return order(Hash()
                         .add("vectorIndex", vInt(k))
                         .add("name", vStr(QLatin1String(name)))
                         .add("visualIndex", vInt(pos))
                         .add("isEnabled", vBool(own))
                         .add("isEnabledInCustomView", vBool(custom))
                         .add("customViewVisualIndex", vInt(cpos)));
    };
    const Hash channel = order(Hash()
                                   .add("vectorIndex", vInt(1))
                                   .add("isEnabled", vBool(true))
                                   .add("visualIndex", vInt(4))
                                   .add("isEnabledInCustomView", vBool(true))
                                   .add("customViewVisualIndex", vInt(7))
                                   .add("parameters", param(0, "VSet", false, 2, true, 0))
                                   .add("parameters", param(1, "VMon", true, 0, false, 1))
                                   .add("parameters", param(2, "Pw", false, 1, false, 2))
                                   .add("parameters", param(0, "V0Set", true, 5, true, 5)));
    const Hash hidden =
        order(Hash().add("vectorIndex", vInt(0)).add("isEnabled", vBool(false)).add("visualIndex", vInt(3)));
    const Hash board = order(Hash()
                                 .add("isPresent", vInt(1))
                                 .add("serialNumber", vUInt(BigSerial))
                                 .add("visualIndex", vInt(1))
                                 .add("channels", hidden)
                                 .add("channels", channel));
    Hash system;
    system.add("name", vStr("Crate"))
        .add("initParam", vStr("192.0.2.10"))
        .add("psType", vInt(2))
        .add("connType", vInt(0))
        .add("isCustomView", vInt(0))
        .add("boards", Hash().add("isPresent", vInt(0)))
        .add("boards", board);
    return system;
}

struct Attributes
{
    bool own, custom;
    int pos, cpos;
    bool operator==(const Attributes &o) const
    {
        return own == o.own && custom == o.custom && pos == o.pos && cpos == o.cpos;
    }
};
Attributes attributes(const ORVEHVNode *n)
{
    return {n->isEnabled(), n->isEnabledInCustomView(), n->visualIndex(), n->customViewVisualIndex()};
}

QList<Attributes> allAttributes(const ORVEHVNode *sys)
{
    QList<Attributes> out;
    for (const ORVEHVNode *b : sys->children()) {
        if (b->kind() != KindBoard)
            continue;
        out.append({b->isEnabled(), false, b->visualIndex(), 0});
        for (const ORVEHVNode *c : b->children()) {
            out.append(attributes(c));
            for (const ORVEHVNode *p : c->parameters())
                out.append(attributes(p));
        }
    }
    return out;
}

// Gives every node of the tree distinct attributes.
void scramble(ORVEHVNode *sys, int seed)
{
    int i = seed;
    for (ORVEHVNode *b : sys->children()) {
        if (b->kind() != KindBoard)
            continue;
        b->setIsEnabled(i % 2);
        b->setVisualIndex(i++ % 5);
        for (ORVEHVNode *c : b->children()) {
            c->setIsEnabled(i % 3 != 0);
            c->setVisualIndex(i++ % 7);
            c->setIsEnabledInCustomView(i % 2);
            c->setCustomViewVisualIndex(i++ % 11);
            for (ORVEHVNode *p : c->parameters()) {
                p->setIsEnabled(true);
                p->setVisualIndex(i++ % 4);
                p->setIsEnabledInCustomView(true);
                p->setCustomViewVisualIndex(i++ % 3);
            }
        }
    }
}

// What the reader makes of the writer's bytes.
ViewHash reparsed(const ViewHash &written)
{
    ViewHash hash;
    QString error;
    if (!ViewFileFormat::parse(ViewFileFormat::serialize(written), &hash, &error))
        qWarning("written bytes refused: %s", qPrintable(error));
    return hash;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestViewFiles : public QObject
{
    Q_OBJECT

private slots:
    // --------------------------------------------------------------- format

    void repeatedKeysLoadCompletely_data()
    {
        QTest::addColumn<bool>("reversed");
        QTest::addColumn<bool>("nestedReversed");
        QTest::newRow("file order") << false << false;
        QTest::newRow("reversed order") << true << false;
        QTest::newRow("reversed at every level") << true << true;
    }
    void repeatedKeysLoadCompletely()
    {
        QFETCH(bool, reversed);
        QFETCH(bool, nestedReversed);
        Hash system = handWrittenSystem(nestedReversed);
        // A writer that keeps repeated keys may put them last-first.
        if (reversed)
            system = system.reversed();
        ViewHash hash;
        QString error;
        QVERIFY2(ViewFileFormat::parse(system.bytes(), &hash, &error), qPrintable(error));
        QCOMPARE(hash.values(QStringLiteral("boards")).size(), 2);
        QList<ViewHash> boards = hash.hashes(QStringLiteral("boards"));
        const ViewHash board = boards.at(reversed ? 0 : 1);
        QCOMPARE(board.value(QStringLiteral("serialNumber")).toUInt(), BigSerial);
        QCOMPARE(board.hashes(QStringLiteral("channels")).size(), 2);

        std::unique_ptr<ORVEHVNode> tree(sampleTree());
        ViewFiles::applyViewHash(tree.get(), hash);
        ORVEHVNode *b = tree->children().at(2);
        QCOMPARE(b->serialNumber(), BigSerial);
        QVERIFY(b->isEnabled());
        QVERIFY(!tree->children().at(0)->isEnabled()); // not in the file: hidden
        ORVEHVNode *ch = b->children().at(1);
        QCOMPARE(attributes(ch), (Attributes{true, true, 4, 7}));
        QCOMPARE(attributes(ch->parameters().at(0)), (Attributes{false, true, 2, 0}));
        QCOMPARE(attributes(ch->parameters().at(1)), (Attributes{true, false, 0, 1}));
        QVERIFY(!b->children().at(0)->isEnabled());
        // A parameter shown on one board shows on the others too.
        QVERIFY(tree->children().at(0)->children().at(0)->parameter(QStringLiteral("VMon"))->isEnabled());
    }

    // The writer's bytes through the reader the hand-written bytes above
    // hold to, with the value types stored files carry (that every item is
    // written: saveLoadRoundTripRestoresBothViews, which gives every node
    // distinct attributes).
    void writtenBytesCarryTheStoredTypes()
    {
        std::unique_ptr<ORVEHVNode> tree(sampleTree());
        scramble(tree.get(), 3);
        const ViewHash sys = reparsed(ViewFiles::buildViewHash(tree.get(), true, true));
        QCOMPARE(sys.value("name").toString(), QStringLiteral("Crate"));
        QCOMPARE(sys.value("initParam").toString(), QStringLiteral("192.0.2.10"));
        QCOMPARE(sys.value("psType").typeId(), int(QMetaType::Int));
        QCOMPARE(sys.value("isCustomView").toInt(), 0);
        // One "boards" item per slot, the empty one included.
        const QList<ViewHash> boards = sys.hashes("boards");
        QCOMPARE(boards.size(), tree->children().size());
        QCOMPARE(boards.at(1).value("isPresent").toInt(), 0);
        QCOMPARE(boards.at(1).size(), 1);
        const ViewHash big = boards.at(2);
        QCOMPARE(big.value("isPresent").typeId(), int(QMetaType::Int));
        QCOMPARE(big.value("serialNumber").typeId(), int(QMetaType::UInt));
        QCOMPARE(big.value("serialNumber").toUInt(), BigSerial);
        QCOMPARE(big.value("visualIndex").typeId(), int(QMetaType::Int));
        const ViewHash ch = big.hashes("channels").last();
        QCOMPARE(ch.value("vectorIndex").toInt(), 2);
        QCOMPARE(ch.value("isEnabled").typeId(), int(QMetaType::Bool));
        QCOMPARE(ch.value("isEnabledInCustomView").typeId(), int(QMetaType::Bool));
        const ViewHash param = ch.hashes("parameters").last();
        QCOMPARE(param.value("name").toString(), QStringLiteral("Pw"));
        QCOMPARE(param.value("isEnabledInCustomView").typeId(), int(QMetaType::Bool));
    }

    void saveLoadRoundTripRestoresBothViews()
    {
        QTemporaryDir dir;
        std::unique_ptr<ORVEHVNode> saved(sampleTree());
        scramble(saved.get(), 5);
        const QString path = dir.filePath(QStringLiteral("setup"));
        QString error;
        QVERIFY2(ViewFiles::saveConfiguration(path, {{saved.get(), true, true}}, &error), qPrintable(error));
        ViewHash hash;
        QVERIFY2(ViewFiles::readViewFile(dir.filePath(QStringLiteral("setup/Crate-192_0_2_10.cvc")), &hash, &error),
                 qPrintable(error));
        std::unique_ptr<ORVEHVNode> loaded(sampleTree());
        scramble(loaded.get(), 1);
        ViewFiles::applyViewHash(loaded.get(), hash);
        // Boards hidden in the own view are not written as hidden: the file
        // lists every board, so every board is shown again.
        for (ORVEHVNode *b : saved->children())
            if (b->kind() == KindBoard)
                b->setIsEnabled(true);
        QCOMPARE(allAttributes(loaded.get()), allAttributes(saved.get()));
    }

    // ----------------------------------------------------------- file names

    void fileNames_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("no extension") << QStringLiteral("setup");
        QTest::newRow("extension") << QStringLiteral("setup.csc");
        QTest::newRow("extension in capitals") << QStringLiteral("setup.CSC");
    }
    void fileNames()
    {
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        std::unique_ptr<ORVEHVNode> tree(sampleTree());
        const QString path = dir.filePath(chosen);
        QString error;
        QVERIFY2(ViewFiles::saveConfiguration(path, {{tree.get(), true, false}}, &error), qPrintable(error));
        const QString config = chosen == QLatin1String("setup") ? dir.filePath(QStringLiteral("setup.csc")) : path;
        QVERIFY(QFile::exists(config));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("setup"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("Crate-192_0_2_10.cvc")});
        // The configuration file holds its base name.
        QDataStream in(readAll(config));
        QString base;
        in >> base;
        QCOMPARE(base, QStringLiteral("setup"));
    }

    void customViewEntryHasFiveKeys()
    {
        QTemporaryDir dir;
        ORVEHVNode root;
        root.initialise(QStringLiteral("customView"), KindContainer);
        std::unique_ptr<ORVEHVNode> tree(sampleTree());
        root.addChild(tree.get());
        QString error;
        QVERIFY(ViewFiles::saveConfiguration(dir.filePath(QStringLiteral("setup")), {{&root, false, true}}, &error));
        root.removeChildAt(0);
        ViewHash v;
        QVERIFY(ViewFiles::readViewFile(dir.filePath(QStringLiteral("setup/customView-.cvc")), &v, &error));
        QCOMPARE(v.size(), 5);
        QCOMPARE(v.value("isCustomView").toInt(), 1);
        QCOMPARE(v.value("psType").toInt(), -1);
        QCOMPARE(v.value("initParam").toString(), QString());
    }

    // ------------------------------------------------------ applying a view

    // Only the custom view written: none of the own view's items in the file,
    // and loading it leaves the own views as they are.
    void customViewOnlyFileLeavesOwnViews()
    {
        std::unique_ptr<ORVEHVNode> saved(sampleTree());
        scramble(saved.get(), 2);
        const ViewHash hash = reparsed(ViewFiles::buildViewHash(saved.get(), false, true));
        const ViewHash board = hash.hashes("boards").first();
        QVERIFY(!board.contains("visualIndex"));
        const ViewHash ch = board.hashes("channels").first();
        QVERIFY(!ch.contains("isEnabled"));
        QCOMPARE(ch.values("isEnabledInCustomView").size(), 1);
        QVERIFY(!ch.hashes("parameters").first().contains("visualIndex"));
        std::unique_ptr<ORVEHVNode> loaded(sampleTree());
        scramble(loaded.get(), 9);
        QList<Attributes> before = allAttributes(loaded.get());
        ViewFiles::applyViewHash(loaded.get(), hash);
        const QList<Attributes> after = allAttributes(loaded.get());
        const QList<Attributes> wanted = allAttributes(saved.get());
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i) // own view as it was, custom view as saved
            QCOMPARE(after.at(i), (Attributes{before.at(i).own, wanted.at(i).custom, before.at(i).pos, wanted.at(i).cpos}));
    }

    void boardsFoundBySerialNumber()
    {
        std::unique_ptr<ORVEHVNode> saved(sampleTree(111, 222));
        scramble(saved.get(), 4);
        const ViewHash hash = ViewFiles::buildViewHash(saved.get(), true, true);
        // The two boards swapped slots since.
        std::unique_ptr<ORVEHVNode> moved(sampleTree(222, 111));
        ViewFiles::applyViewHash(moved.get(), hash);
        for (int bi : {0, 2}) {
            const ORVEHVNode *was = saved->children().at(bi);
            const ORVEHVNode *now = moved->children().at(2 - bi);
            QCOMPARE(now->serialNumber(), was->serialNumber());
            QCOMPARE(now->visualIndex(), was->visualIndex());
            for (int j = 0; j < was->children().size(); ++j)
                QCOMPARE(attributes(now->children().at(j)), attributes(was->children().at(j)));
        }
        // A board the file does not know stays hidden: repeatedKeysLoadCompletely.
    }

    // -------------------------------------------------------- untrusted input

    void malformedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = handWrittenSystem().bytes();
        QTest::newRow("empty") << QByteArray() << "cut short";
        QTest::newRow("cut in a count") << good.left(2) << "cut short";
        QTest::newRow("cut in a key") << (u32(1) + u32(40) + QByteArray(10, 'a')) << "cut short";
        QTest::newRow("too few items for the count") << good.left(9) << "claims 7 items";
        QTest::newRow("cut in a nested hash") << good.left(good.size() - 7) << "cut short";
        QTest::newRow("count of 2^31") << (u32(0x80000000u) + str("name") + vStr("x")) << "claims 2147483648 items";
        QTest::newRow("nested count of 2^32-1")
            << Hash().add("boards", u32(28) + QByteArray(1, 0) + u32(0xffffffffu)).bytes() << "claims";
        QTest::newRow("text longer than the file") << (u32(1) + u32(0x7ffffff0u) + QByteArray(20, 0)) << "cut short";
        QTest::newRow("odd text length") << (u32(1) + u32(3) + QByteArray(13, 'a')) << "odd byte length";
        QTest::newRow("unknown value type") << Hash().add("name", u32(127) + QByteArray(1, 0) + str("QImage")).bytes()
                                            << "unknown type 127";
        QTest::newRow("newer stream's user type") << Hash().add("psType", u32(65536) + QByteArray(1, 0)).bytes()
                                                  << "not a version 12";
        QTest::newRow("serial number as text")
            << Hash().add("boards", Hash().add("isPresent", vInt(1)).add("serialNumber", vStr("111"))).bytes()
            << "\"serialNumber\" is not";
        QTest::newRow("boards as a number") << Hash().add("boards", vInt(3)).bytes() << "\"boards\" is not a hash";
        QTest::newRow("name as a hash") << Hash().add("name", Hash()).bytes() << "\"name\" is not a text";
        const Hash tooDeep = Hash().add("boards", Hash().add("channels", Hash().add("parameters",
                                                               Hash().add("x", Hash()))));
        QTest::newRow("nesting below parameters") << tooDeep.bytes() << "deeper";
    }
    void malformedFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        ViewHash hash;
        hash.insert(QStringLiteral("stale"), 1);
        QString error;
        QVERIFY(!ViewFileFormat::parse(bytes, &hash, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(hash.isEmpty());
    }

    void unreadableFileSaysWhy()
    {
        ViewHash hash;
        QString error;
        QVERIFY(!ViewFiles::readViewFile(QStringLiteral("/nonexistent/x.cvc"), &hash, &error));
        QVERIFY(!error.isEmpty());
    }

    // ---------------------------------------------------------------- saving

    void failedSaveLeavesPreviousFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("setup.csc"));
        std::unique_ptr<ORVEHVNode> a(sampleTree());
        QString error;
        QVERIFY(ViewFiles::saveConfiguration(path, {{a.get(), true, false}}, &error));
        const QString aFile = dir.filePath(QStringLiteral("setup/Crate-192_0_2_10.cvc"));
        const QByteArray before = readAll(aFile);
        const QByteArray beforeConfig = readAll(path);

        // The second system's file cannot be written (a folder is in the way).
        std::unique_ptr<ORVEHVNode> b(sampleTree(111, BigSerial, QStringLiteral("Other"), 2, QStringLiteral("192.0.2.11")));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("setup/Other-192_0_2_11.cvc"))));
        scramble(a.get(), 7);
        QVERIFY(!ViewFiles::saveConfiguration(path, {{a.get(), true, true}, {b.get(), true, false}}, &error));
        QVERIFY2(error.contains(QStringLiteral("Other-192_0_2_11.cvc")), qPrintable(error));
        QCOMPARE(readAll(aFile), before);
        QCOMPARE(readAll(path), beforeConfig);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("setup"))).entryList(QDir::Files),
                 QStringList{QStringLiteral("Crate-192_0_2_10.cvc")});
    }

    // ----------------------------------------------------------- load dialog

    // Four systems in all, the boards of one VME crate counting once, both
    // among the connected systems and among the rows; a connected system of
    // the file stays ticked and fixed. Rows in file order: A and B the two
    // boards of crate 0_0 (A-0_0_C0, B-0_0_C1), then C, D, E; beside them a
    // view file the dialog cannot use.
    void loadDialogCountsSystemsNotBoards_data()
    {
        QTest::addColumn<QStringList>("connected"); // "type argument"
        QTest::addColumn<QString>("ticked");        // rows ticked at the start
        QTest::addColumn<QString>("disabled");      // rows that cannot be ticked
        QTest::addColumn<QString>("untick");        // then the operator unticks this row
        QTest::addColumn<QString>("tickedAfter");
        QTest::addColumn<QString>("disabledAfter");
        QTest::newRow("four systems, one a crate") << QStringList() << "ABCDE" << "" << "A" << "BCDE" << "";
        QTest::newRow("a crate connected") << QStringList{"5 0_0_C0", "5 0_0_C1"} << "ABCDE" << "AB" << "C"
                                           << "ABDE" << "AB";
        // The crate's other board keeps its place; the one unticked may join
        // it again at no cost.
        QTest::newRow("one connected, a crate in the file") << QStringList{"2 192.0.2.99"} << "ABCD" << "E" << "A"
                                                            << "BCD" << "E";
        QTest::newRow("two connected") << QStringList{"2 192.0.2.99", "2 192.0.2.98"} << "ABC" << "DE" << "B"
                                       << "AC" << "DE";
        QTest::newRow("a system of the file connected") << QStringList{"2 192.0.2.10", "2 10.0.0.1"} << "ABCD"
                                                        << "CE" << "D" << "ABC" << "C";
    }

    void loadDialogCountsSystemsNotBoards()
    {
        QFETCH(QStringList, connected);
        QFETCH(QString, ticked);
        QFETCH(QString, disabled);
        QFETCH(QString, untick);
        QFETCH(QString, tickedAfter);
        QFETCH(QString, disabledAfter);
        QTemporaryDir dir;
        std::vector<std::unique_ptr<ORVEHVNode>> trees;
        trees.emplace_back(sampleTree(1, 2, QStringLiteral("A"), 5, QStringLiteral("0_0_C0")));
        trees.emplace_back(sampleTree(3, 4, QStringLiteral("B"), 5, QStringLiteral("0_0_C1")));
        trees.emplace_back(sampleTree(5, 6, QStringLiteral("C"), 2, QStringLiteral("192.0.2.10")));
        trees.emplace_back(sampleTree(7, 8, QStringLiteral("D"), 16, QStringLiteral("192.0.2.20")));
        trees.emplace_back(sampleTree(9, 10, QStringLiteral("E"), 11, QStringLiteral("192.0.2.50")));
        QList<ViewFiles::SaveEntry> entries;
        for (const auto &t : trees)
            entries.append({t.get(), true, false});
        QString error;
        QVERIFY2(ViewFiles::saveConfiguration(dir.filePath(QStringLiteral("setup")), entries, &error),
                 qPrintable(error));
        QFile broken(dir.filePath(QStringLiteral("setup/Broken-1.cvc")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(u32(0x80000000u));
        broken.close();

        QList<SystemPlaces::Address> present;
        for (const QString &c : connected)
            present.append({c.section(' ', 0, 0).toInt(), c.section(' ', 1)});
        QLoadCustDialog dialog(dir.filePath(QStringLiteral("setup.csc")), present);
        QCOMPARE(dialog.problems().size(), 1);
        QVERIFY(dialog.problems().first().startsWith(QStringLiteral("Broken-1.cvc: ")));
        QMap<QString, QCheckBox *> boxes;
        QString logins;
        for (QWidget *row : dialog.rows()) {
            boxes.insert(dialog.checkBoxOf(row)->text(), dialog.checkBoxOf(row));
            if (row->findChild<QLineEdit *>(QStringLiteral("user"))) {
                logins += dialog.checkBoxOf(row)->text();
                QCOMPARE(row->findChild<QLineEdit *>(QStringLiteral("pass"))->echoMode(), QLineEdit::Password);
            }
        }
        QCOMPARE(boxes.keys(), (QStringList{"A", "B", "C", "D", "E"}));
        QCOMPARE(logins, QStringLiteral("CD")); // the mainframe and the B8181 log in
        auto state = [&boxes](bool wantTicked) {
            QString letters;
            for (auto it = boxes.cbegin(); it != boxes.cend(); ++it)
                if (wantTicked ? it.value()->isChecked() : !it.value()->isEnabled())
                    letters += it.key();
            return letters;
        };
        auto chosen = [&dialog] {
            QString letters;
            for (const QLoadCustDialog::Entry &e : dialog.chosenEntries())
                letters += e.hash.value(QStringLiteral("name")).toString();
            return letters;
        };
        QCOMPARE(state(true), ticked);
        QCOMPARE(state(false), disabled);
        QCOMPARE(chosen(), ticked);

        boxes[untick]->setChecked(false);
        QCOMPARE(state(true), tickedAfter);
        QCOMPARE(state(false), disabledAfter);
        QCOMPARE(chosen(), tickedAfter);
    }
};

QTEST_MAIN(TestViewFiles)
#include "tst_view_files.moc"
