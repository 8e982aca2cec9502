// Pins the logical DPI: Qt 6 must not absorb it into a device pixel ratio (QT_ENABLE_HIGHDPI_SCALING=0).
#define TESTCASE_LOWDPI
#include "TestHelpers.h"

#include <ConstructionWorks.h>
#include <zBaseHeaderItem.h>

#include <QMetaMethod>

#include <functional>

using S = TreeScenario;
/// What a table row does to its scenario; a check inside names the step that went wrong.
using Steps = std::function<void(S&)>;
Q_DECLARE_METATYPE(Steps)
using CheckWrites = QList<QPair<QString, int>>; // row name, check state

namespace {
using Tree = zTreeItemModel;
constexpr int treeColumn = S::treeColumn;
const QString sample = S::sampleTree; // A, A1, A1a, A2, B, B1
} // namespace

class tst_zTreeItemModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(setLogicalDpi(96));
        recordTreeDeleteLines();
    }
    void cleanup() { setLogicalDpi(96); }

    void publishedRoleNumbers()
    {
        const QList<int> roles{Tree::TreeLevelRole, Tree::TreeChildCountRole, Tree::TreeLastSiblingRole,
                               Tree::TreeExpandedRole, Tree::TreeMaxLevelRole, Tree::TreeParentRowRole,
                               Tree::TableLookupRoleA, Tree::TableLookupRoleB, Tree::TreeAncestorLastFlagsRole,
                               Tree::TreeHasUncollapsableChildRole, Tree::ClickedCellRole};
        QCOMPARE(roles, (QList<int>{205, 206, 207, 208, 210, 211, 212, 213, 219, 220, 223}));
    }

    void reading_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<bool>("hooked"); // a starting hook answers every read with "hook"
        QTest::addColumn<QString>("rowName"); // a number: that virtual row, even past the end
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("answer"); // type and value
        const auto read = [](const char* name, const QString& outline, bool hooked, const char* row, int role,
                             const char* answer, int column = treeColumn) {
            QTest::newRow(name) << outline << hooked << QString(row) << role << column << QString(answer);
        };
        const bool hooked = true, plain = false;
        const QString fixedRows = "A\n-A1\n-A2#\nB\n-B1\n--B1a#";
        // Tree roles on the tree column are answered before any hook.
        read("level", sample, hooked, "A1a", Tree::TreeLevelRole, "int 2");
        read("child count", sample, hooked, "A", Tree::TreeChildCountRole, "int 2");
        read("last shown sibling", sample, hooked, "A2", Tree::TreeLastSiblingRole, "bool true");
        read("max level", sample, hooked, "B", Tree::TreeMaxLevelRole, "int 2");
        read("parent row", sample, hooked, "A1a", Tree::TreeParentRowRole, "int 1");
        read("ancestor flags", sample, hooked, "A1a", Tree::TreeAncestorLastFlagsRole, "QList<bool>[false,false]");
        read("expanded flag", "A-\n-A1!", hooked, "A", Tree::TreeExpandedRole, "bool false");
        read("uncollapsable child", fixedRows, hooked, "A", Tree::TreeHasUncollapsableChildRole, "bool true");
        read("uncollapsable grandchild", fixedRows, hooked, "B", Tree::TreeHasUncollapsableChildRole, "bool false");
        // Hidden rows count for none of them.
        read("last: hidden siblings follow", "A\n-A1\n-A2!\n-A3!", plain, "A1", Tree::TreeLastSiblingRole, "bool true");
        read("parent row of a hidden parent", "A\n-A1!\n--A1a", plain, "A1a", Tree::TreeParentRowRole, "int -1");
        read("ancestor flags: top-level ancestor last shown", "A\n-A1\n--A1a\n-A2\nB!", plain, "A1a",
             Tree::TreeAncestorLastFlagsRole, "QList<bool>[true,false]");
        // Everything else goes to the hook; off the tree column the base answers first.
        read("level off the tree column", sample, plain, "A1a", Tree::TreeLevelRole, "invalid", 0);
        read("level off the tree column, hooked", sample, hooked, "A1a", Tree::TreeLevelRole, "QString hook", 0);
        read("role 209 goes to the hook", sample, hooked, "A", 209, "QString hook");
        read("lookup goes to the hook", sample, hooked, "A", Tree::TableLookupRoleA, "QString hook");
        read("check state goes to the hook", sample, hooked, "A", Qt::CheckStateRole, "QString hook");
        read("check state: never checked", sample, plain, "A", Qt::CheckStateRole, "bool false");
        read("check state: off the tree column", sample, plain, "A", Qt::CheckStateRole, "invalid", 0);
        read("past the end: size hint", sample, plain, "6", Qt::SizeHintRole, "invalid");
        read("past the end: tree role, hooked", sample, hooked, "6", Tree::TreeLevelRole, "invalid");
    }

    void reading()
    {
        QFETCH(QString, outline);
        QFETCH(bool, hooked);
        QFETCH(QString, rowName);
        QFETCH(int, role);
        QFETCH(int, column);
        S s(outline);
        if (hooked)
            s.hookAnswersReads("hook");
        QTEST(describe(s.read(rowName, role, column)), "answer");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void lookupsGoByOriginalRow()
    {
        S s("H!\nA\nB"); // H, hidden, is original row 0
        s.model.setCellValue(1, "name", "cell");
        s.model.setRowValue(1, "row");
        s.model.setRowValue(0, "hidden");
        s.model.setColumnValue("name", "column");
        QCOMPARE(describe(s.read("A", Tree::TableLookupRoleA, 0)), "QString cell");
        QCOMPARE(describe(s.read("A", Tree::TableLookupRoleA)), "QString row");
        QCOMPARE(describe(s.read("B", Tree::TableLookupRoleB, 0)), "QString column");
        QCOMPARE(describe(s.read("B", Tree::TableLookupRoleB)), "invalid");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void rowHeights_data()
    {
        QTest::addColumn<qreal>("dpi");
        QTest::addColumn<QVariant>("height"); // A1's stored height; none when invalid
        QTest::addColumn<QString>("sizeHint"); // read on column 0 and on the tree column
        QTest::addColumn<qreal>("written"); // by a size hint write that the starting hook vetoes
        QTest::addColumn<qreal>("stored");
        QTest::newRow("none at 96 dpi") << 96.0 << QVariant() << "double -1" << 24.0 << 24.0;
        QTest::newRow("none at 144 dpi") << 144.0 << QVariant() << "double -1.5" << 30.0 << 20.0;
        QTest::newRow("negative at 144 dpi") << 144.0 << QVariant(-3.0) << "double -1.5" << 45.0 << 30.0;
        QTest::newRow("20 at 144 dpi") << 144.0 << QVariant(20.0) << "double 30" << 15.0 << 10.0;
        QTest::newRow("20 at 96 dpi") << 96.0 << QVariant(20.0) << "double 20" << 15.0 << 15.0;
    }

    void rowHeights()
    {
        QFETCH(qreal, dpi);
        QFETCH(QVariant, height);
        QFETCH(qreal, written);
        QVERIFY(setLogicalDpi(dpi));
        S s;
        if (height.isValid())
            s.row("A1")->setRowHeight(height.toDouble());
        QTEST(describe(s.read("A1", Qt::SizeHintRole, 0)), "sizeHint");
        QTEST(describe(s.read("A1", Qt::SizeHintRole)), "sizeHint");
        s.model.editorStarting([](int, const QModelIndex&, const zBaseHeaderItem*, QVariant&) { return false; });
        QVERIFY(!s.qt()->setData(s.at("A1", 0), written, Qt::SizeHintRole)); // the height is stored before the hooks
        QTEST(qreal(s.row("A1")->getRowHeight()), "stored");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void flagsHook()
    {
        S s;
        QCOMPARE(int(s.qt()->flags(s.at("B", 0))), 35); // no hook: the base's flags
        Qt::ItemFlags given = Qt::ItemIsEnabled, answer = Qt::ItemIsSelectable;
        bool accepted = true;
        s.model.callFlags([&](const QModelIndex&, const zBaseHeaderItem*, Qt::ItemFlags& flags) {
            given = std::exchange(flags, answer);
            return accepted;
        });
        QCOMPARE(s.qt()->flags(s.at("B", 0)), Qt::ItemIsSelectable);
        QCOMPARE(given, Qt::ItemFlags()); // the hook starts from no flags
        answer = Qt::ItemIsEnabled;
        accepted = false;
        QCOMPARE(int(s.qt()->flags(s.at("B", 0))), 35); // a declining hook leaves the base's flags
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void binding_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<QString>("bound");
        QTest::addColumn<bool>("rebuild");
        QTest::addColumn<QString>("listed"); // the host's list after the bind, and the model's original rows
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("maxLevel");
        const auto bind = [](const char* name, const char* outline, const char* bound, bool rebuild, const char* listed,
                             const char* shown, const char* maxLevel) {
            QTest::newRow(name) << QString(outline) << QString(bound) << rebuild << listed << shown << maxLevel;
        };
        bind("no rebuild keeps the list order", "A\n-A1\n-A2\nB", "B,A2,A", false, "B A2 A", "B A2 A", "1");
        bind("rebuild flattens under the top-level rows", "A\n-A1\n--A1a\n-A2\nB", "B,A", true, "B A A1 A1a A2",
             "B A A1 A1a A2", "2");
        bind("rebuild ignores children listed out of place", "A\n-A1\nB", "A1,B,A", true, "B A A1", "B A A1", "1");
        bind("null entry kept but never shown", "A\nB", "A,null,B", false, "A null B", "A B", "0");
        bind("unbound children do not count for the level", "A\n-A1\n--A1a", "A,A1", false, "A A1", "A A1", "0");
        bind("rebuild of an empty list", "A", "", true, "", "", "");
    }

    void binding()
    {
        QFETCH(QString, outline);
        QFETCH(QString, bound);
        QFETCH(bool, rebuild);
        S s(outline);
        s.bind(bound, rebuild);
        QTEST(s.listed(), "listed");
        QTEST(s.originalRows(), "listed");
        QTEST(s.shown(), "shown");
        QTEST(s.maxLevel(), "maxLevel");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void expanding()
    {
        S s;
        QVERIFY(s.collapse("A"));
        QCOMPARE(s.shown(), "A B B1");
        QCOMPARE(s.expandedRows(), "A1 A1a A2 B B1"); // the descendants keep their flags
        QVERIFY(s.expand("A"));
        QCOMPARE(s.shown(), "A A1 A1a A2 B B1"); // as they were left
        QCOMPARE(s.resets.size(), 2);
        QCOMPARE(s.model.updateDataCalls, 0);
        S collapsed("A-\n-A1-!\n--A1a!\n-A2!\nB");
        QVERIFY(collapsed.expand("A"));
        QCOMPARE(collapsed.shown(), "A A1 A2 B"); // not below the collapsed child
        QCOMPARE(collapsed.expandedRows(), "A A1a A2 B");
        S spanned("A\n-A1\nS");
        spanned.row("A1")->setSpanChildrenRows(spanned.rows("S"));
        QVERIFY(spanned.collapse("A"));
        QCOMPARE(spanned.shown(), "A"); // spanned rows follow the row that spans them
        QCOMPARE(s.tester->failures() + collapsed.tester->failures() + spanned.tester->failures(), QStringList());
    }

    void checking_data()
    {
        QTest::addColumn<int>("mode"); // the checkType property; -1: never set
        QTest::addColumn<CheckWrites>("writes"); // on the tree column: 0 unchecked, 1 partial, 2 checked
        QTest::addColumn<QString>("states"); // the rows with a stored state, of G, P (C1 with C1a, C2, C3) and Q
        QTest::newRow("no mode: the row alone") << -1 << CheckWrites{{"P", 2}} << "P:2";
        QTest::newRow("mode 0: the row alone") << 0 << CheckWrites{{"Q", 2}} << "Q:2";
        QTest::newRow("one child checked: parent partial") << 1 << CheckWrites{{"C2", 2}} << "G:1 P:1 C2:2";
        QTest::newRow("all children checked: parent checked") << 1 << CheckWrites{{"C1", 2}, {"C2", 2}, {"C3", 2}}
                                                              << "G:1 P:2 C1:2 C1a:2 C2:2 C3:2";
        QTest::newRow("any non-zero mode propagates") << 5 << CheckWrites{{"P", 2}, {"Q", 2}}
                                                      << "G:2 P:2 C1:2 C1a:2 C2:2 C3:2 Q:2";
        QTest::newRow("partial keeps descendants") << 1 << CheckWrites{{"C1a", 2}, {"C1", 1}} << "G:1 P:1 C1:1 C1a:2";
        QTest::newRow("unchecking every child unchecks the parent")
            << 1 << CheckWrites{{"P", 2}, {"C1", 0}, {"C2", 0}, {"C3", 0}} << "G:0 P:0 C1:0 C1a:0 C2:0 C3:0";
    }

    void checking()
    {
        QFETCH(int, mode);
        QFETCH(CheckWrites, writes);
        S s("G\n-P\n--C1\n---C1a\n--C2\n--C3\n-Q");
        if (mode >= 0)
            s.setCheckMode(mode);
        for (const auto& write : writes)
            QVERIFY(s.check(write.first, write.second));
        QTEST(s.checkStates(), "states");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void editing_data()
    {
        QTest::addColumn<Steps>("edit"); // after a click on A1a and checking it
        QTest::addColumn<QString>("rows"); // the host's list, and the rows shown
        QTest::addColumn<QString>("childrenOfA"); // "?": a new row
        QTest::addColumn<int>("alive");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QString>("deleted"); // rows per delete line
        const auto row = [](const char* name, const char* rows, const char* childrenOfA, int alive, const char* clicked,
                            const char* deleted, const Steps& edit) {
            QTest::newRow(name) << edit << QString(rows) << QString(childrenOfA) << alive << QString(clicked)
                                << QString(deleted);
        };
        row("insert after a top-level row: ahead of its children", "A ? A1 A1a A2 B B1", "A1 A2 #2", 6, "A1a", "",
            [](S& s) { s.model.insertItemAfterIndex(s.at("A", 0)); });
        row("insert before a first child: linked, not yet bound", "A A1 A1a A2 B B1", "? A1 A2 #3", 6, "A1a", "",
            [](S& s) { s.model.insertItemBeforeIndex(s.at("A1", 0)); });
        row("insert under a row: a last child at once", "A A1 A1a A2 B B1", "A1 A2 ? #3", 6, "A1a", "",
            [](S& s) { s.model.insertItemUnderIndex(s.at("A", 0)); });
        row("delete a child with its subtree", "A A2 B B1", "A2 #1", 4, "null", "2",
            [](S& s) { QVERIFY(s.model.deleteItem(s.row("A1"))); });
        row("delete a shown row by index", "A A1 A1a A2", "A1 A2 #2", 4, "A1a", "2",
            [](S& s) { s.model.deleteItemByIndex(s.at("4", 0)); });
        row("delete a row listed twice", "B", "", 2, "null", "4", [](S& s) {
            s.hostEditsList("A,B,A");
            QVERIFY(s.model.deleteItem(s.row("A")));
        });
        row("delete a subtree with a child listed twice", "A A2 B B1", "A2 #1", 4, "null", "3", [](S& s) {
            s.relink("A1a", "A1", true);
            QVERIFY(s.model.deleteItem(s.row("A1")));
        });
    }

    void editing()
    {
        QFETCH(Steps, edit);
        S s;
        s.click("A1a");
        QVERIFY(s.check("A1a", Qt::Checked));
        edit(s);
        QTEST(s.listed(), "rows");
        QTEST(s.shown(), "rows");
        QTEST(s.childrenOfA(), "childrenOfA");
        QTEST(s.tree.aliveCount(), "alive");
        QTEST(s.clicked(), "clicked");
        QTEST(s.deleteLog(), "deleted");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void deletingAll_data()
    {
        QTest::addColumn<QString>("listed"); // by the host, before B is clicked
        QTest::addColumn<int>("alive");
        QTest::addColumn<QString>("deleted"); // rows per delete line
        QTest::addColumn<int>("refreshes");
        QTest::newRow("a flattened tree, one refresh") << "A,A1,A1a,A2,B,B1" << 0 << "4 2" << 1;
        QTest::newRow("the top-level rows") << "A,B" << 0 << "4 2" << 1;
        QTest::newRow("a child listed before its parent") << "A1,A,B" << 0 << "2 2 2" << 1;
        QTest::newRow("null entries and duplicates") << "null,B,null,B" << 4 << "2" << 1;
        QTest::newRow("only null entries: nothing to refresh") << "null" << 6 << "" << 0;
        QTest::newRow("an empty list") << "" << 6 << "" << 0;
    }

    void deletingAll()
    {
        QFETCH(QString, listed);
        S s;
        s.hostEditsList(listed);
        s.click("B");
        s.model.deleteAll();
        QCOMPARE(s.listed(), "");
        QCOMPARE(s.shown(), "");
        QTEST(s.tree.aliveCount(), "alive");
        QTEST(s.deleteLog(), "deleted");
        QTEST(s.model.updateDataCalls, "refreshes");
        QCOMPARE(s.clicked(), "null");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void newRowAtAFreedAddressStartsUnchecked()
    {
        // Under AddressSanitizer the address never comes back; elsewhere it usually does.
        S s("A");
        s.model.insertItemAfterIndex(s.at("A", 0));
        QVERIFY(s.check("1", Qt::Checked));
        s.model.deleteItemByIndex(s.at("1", 0));
        s.model.insertItemAfterIndex(s.at("A", 0));
        QCOMPARE(describe(s.read("1", Qt::CheckStateRole)), "bool false");
    }

    // The walks without virtual dispatch take any depth.
    void chainOf200000Levels()
    {
        S s("R\n-C*200000");
        s.bind("R", true);
        s.row("C200000")->setCollapsable(false);
        QList<BaseDataItem*> uncollapsable{nullptr};
        TreeProbeModel::getCantCollaspeChildren(s.row("R"), uncollapsable);
        QCOMPARE(names(uncollapsable), "null C200000");
        QCOMPARE(describe(s.read("C200000", Tree::TreeLevelRole)), "int 200000");
        QCOMPARE(describe(s.read("R", Tree::TreeMaxLevelRole)), "int 200000");
        QVERIFY(s.model.deleteItem(s.row("C1")));
        QCOMPARE(s.deleteLog(), "200000");
        QCOMPARE(s.tree.aliveCount(), 1);
        QCOMPARE(s.listed(), "R");
        QCOMPARE(s.tester->failures(), QStringList());
    }

    // The two virtual recursions are supported to 1,000 levels.
    void chainOf1000Levels()
    {
        S s("R\n-C*1000");
        QVERIFY(s.collapse("R"));
        QVERIFY(s.expand("R"));
        s.setCheckMode(1);
        QVERIFY(s.check("R", Qt::Checked));
        QCOMPARE(describe(s.read("C1000", Qt::CheckStateRole)), "int 2");
        QVERIFY(s.check("C1000", Qt::Unchecked));
        QCOMPARE(describe(s.read("R", Qt::CheckStateRole)), "int 0");
        QCOMPARE(s.qt()->rowCount(), 1001);
        QCOMPARE(s.tester->failures(), QStringList());
    }

    void firstRowCountSignal_data()
    {
        QTest::addColumn<QString>("outline");
        QTest::addColumn<bool>("bind");
        QTest::newRow("fresh model") << "" << false;
        QTest::newRow("empty list bound") << "" << true;
        QTest::newRow("three rows bound") << "A\nB\nC" << true;
    }

    void firstRowCountSignal()
    {
        QFETCH(QString, outline);
        QFETCH(bool, bind);
        TreeFixture tree(outline);
        QList<BaseDataItem*> list = tree.rows();
        zTreeItemModel model;
        if (bind)
            model.BindSrcData(&list, false);
        QSignalSpy changes(&model, &zTreeItemModel::doRowCountChanged);
        QCOMPARE(static_cast<QAbstractItemModel&>(model).rowCount(), list.size());
        static_cast<QAbstractItemModel&>(model).rowCount();
        QCOMPARE(changes, (QList<QVariantList>{{-1, list.size()}}));
    }

    void metaObjectPublishesSixMethods()
    {
        const QMetaObject& meta = zTreeItemModel::staticMetaObject;
        QStringList methods;
        for (int index = meta.methodOffset(); index < meta.methodCount(); ++index) {
            const QMetaMethod method = meta.method(index);
            const QString type = method.methodType() == QMetaMethod::Signal ? "signal" : "method";
            methods.append(type + ' ' + method.methodSignature() + '(' + method.parameterNames().join(',') + ')');
        }
        QCOMPARE(methods, (QStringList{"signal SetDataEnd(int,const zBaseHeaderItem*,BaseDataItem*)(role,pHeader,item)",
                                       "signal doRowCountChanged(int,int)(oldRowCuont,newRowCount)",
                                       "method findVirtualIndexByItem(BaseDataItem*)(item)",
                                       "method findModelIndexInData(int)(virtualRow)",
                                       "method findOriginalIndexByItem(BaseDataItem*)(item)",
                                       "method findItemByOriginalIndex(int)(originalRow)"}));
    }

    void setData_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("hooks"); // starting and ending hook: "-" none, "p" passes, "v" vetoes
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("projectChanged");
        QTest::addColumn<QString>("clickedCell"); // row@column
        QTest::addColumn<QString>("hookCalls");
        QTest::addColumn<QString>("checkState");
        QTest::newRow("click recorded, project untouched")
            << int(Tree::ClickedCellRole) << 0 << "--" << true << false << "A1@2" << "" << "bool false";
        QTest::newRow("vetoed click is still recorded")
            << int(Tree::ClickedCellRole) << treeColumn << "v-" << false << false << "A1@2" << "starting:2"
            << "bool false";
        QTest::newRow("display write marks the project")
            << int(Qt::DisplayRole) << 0 << "pp" << true << true << "null@-1" << "starting:2 ending:0" << "bool false";
        QTest::newRow("veto of the first hook")
            << int(Qt::EditRole) << 0 << "vp" << false << false << "null@-1" << "starting:2" << "bool false";
        QTest::newRow("veto of the second hook")
            << int(Qt::EditRole) << 0 << "pv" << false << false << "null@-1" << "starting:2 ending:0" << "bool false";
        QTest::newRow("check write on the tree column")
            << int(Qt::CheckStateRole) << treeColumn << "p-" << true << true << "null@-1" << "starting:2" << "int 2";
        QTest::newRow("check write off the tree column stores nothing")
            << int(Qt::CheckStateRole) << 0 << "p-" << true << true << "null@-1" << "starting:2" << "bool false";
        QTest::newRow("expand request skips hooks and project")
            << int(Tree::TreeExpandedRole) << 0 << "vv" << true << false << "null@-1" << "" << "bool false";
    }

    void setData()
    {
        S s;
        ConstructionWorks project;
        WorkBaseObject work;
        work.SetXmWorks(&project);
        s.model.SetWork(&work);
        QStringList hookCalls;
        QFETCH(QString, hooks);
        const auto hook = [&hookCalls, hooks](const char* name, int which) -> zTreeItemModel::DataHook {
            if (hooks.at(which) == '-')
                return {};
            const bool pass = hooks.at(which) == 'p';
            return [&hookCalls, name, pass](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
                hookCalls.append(name + (':' + value.toString()));
                value = 0; // the hooks' copy: never stored, never seen by the check states
                return pass;
            };
        };
        s.model.editorStarting(hook("starting", 0));
        s.model.editorEnding(hook("ending", 1));
        int setDataEnds = 0;
        QObject::connect(&s.model, &zTreeItemModel::SetDataEnd, [&setDataEnds] { ++setDataEnds; });
        QFETCH(int, role);
        QFETCH(int, column);
        QTEST(s.qt()->setData(s.at("A1", column), Qt::Checked, role), "result");
        QTEST(project.getProjectWorkChanged(), "projectChanged");
        QTEST(QStringLiteral("%1@%2").arg(s.clicked()).arg(s.model.getClickedVirtualColumn()), "clickedCell");
        QTEST(hookCalls.join(' '), "hookCalls");
        QTEST(describe(s.read("A1", Qt::CheckStateRole)), "checkState");
        QCOMPARE(setDataEnds, 0);
    }

    void hookReplacingItselfWhileRunning()
    {
        S s;
        const QString answer(64, 'x'); // captured by value: lives in the callable itself
        s.model.dataStarting([&s, answer](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
            s.model.dataStarting({});
            s.model.editorStarting({});
            value = answer; // read after the stored hook was replaced
            return true;
        });
        QCOMPARE(s.read("A", Qt::DisplayRole, 0).toString(), answer);
        QCOMPARE(describe(s.read("A", Qt::DisplayRole, 0)), "invalid");
    }
};

QTEST_MAIN(tst_zTreeItemModel)
#include "tst_zTreeItemModel.moc"
