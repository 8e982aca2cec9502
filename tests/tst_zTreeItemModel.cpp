#include "TestHelpers.h"

#include <ConstructionWorks.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zTreeItemModel.h>

#include <QMetaMethod>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Hides rows by name on top of their own flag, and counts refreshes: proves the model
// reaches getRowIsVisible and UpdateData through virtual dispatch.
class ProbeModel : public zTreeItemModel
{
public:
    bool getRowIsVisible(BaseDataItem* row) const override
    {
        return !hiddenNames.contains(row->getValue(1).toString()) && zTreeItemModel::getRowIsVisible(row);
    }
    void UpdateData() override
    {
        ++updateDataCalls;
        zTreeItemModel::UpdateData();
    }
    /// An index the model never handed out, e.g. one left over from before a refresh.
    QModelIndex staleIndex(int virtualRow, int column) const { return createIndex(virtualRow, column); }
    using zTreeItemModel::deleteItem;
    using zTreeItemModel::getCantCollaspeChildren;

    QSet<QString> hiddenNames;
    int updateDataCalls = 0;
};

QStringList tolerated()
{
    return QStringList{Tolerated::doubleSizeHint} + Tolerated::flatRowCountIgnoresParent;
}

// Type and value, so that int 0 and bool false never compare equal.
QString describe(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("invalid");
    if (value.userType() == qMetaTypeId<QList<bool>>()) {
        QStringList flags;
        for (bool flag : value.value<QList<bool>>())
            flags.append(flag ? QStringLiteral("true") : QStringLiteral("false"));
        return QStringLiteral("QList<bool>[%1]").arg(flags.join(QLatin1Char(',')));
    }
    return QStringLiteral("%1 %2").arg(QLatin1String(value.typeName()), value.toString());
}

/*!
 * A bound tree with three declared columns; column 0 is hidden and the tree column
 * is declared column 2, so the tree column is shown (virtual) column 1.
 */
struct Harness
{
    explicit Harness(const QString& outline)
        : tree(outline)
        , list(tree.rows())
    {
        for (const char* id : {"code", "name", "qty"})
            columns->addColumn(new zBaseHeaderItem(QLatin1String(id)));
        columns->setColumnHidden(0, true);
        model.setHeaderColumn(columns.get());
        model.setTreeColumn(2);
        model.BindSrcData(&list, false);
        tester = std::make_unique<ToleratedModelTester>(&model, tolerated());
    }
    ~Harness()
    {
        tester.reset();
        // Rows the model created are owned by the tree: free those still linked.
        QSet<BaseDataItem*> created;
        for (BaseDataItem* row : tree.rows()) {
            if (tree.isAlive(row)) {
                for (BaseDataItem* child : row->getBaseDataItemlist())
                    created.insert(child);
            }
        }
        for (BaseDataItem* row : qAsConst(list))
            created.insert(row);
        for (BaseDataItem* row : qAsConst(created)) {
            if (row && !dynamic_cast<NamedRow*>(row))
                delete row;
        }
    }
    QAbstractItemModel* qt() { return &model; }
    BaseDataItem* row(const QString& name) const { return name == QLatin1String("null") ? nullptr : tree.row(name); }
    QModelIndex at(const QString& name, int column = treeColumn)
    {
        if (name == QLatin1String("beyond"))
            return model.staleIndex(qt()->rowCount(), column);
        return model.index(model.findVirtualIndexByItem(row(name)), column);
    }
    QVariant read(const QString& name, int role, int column = treeColumn) { return qt()->data(at(name, column), role); }
    QString shown()
    {
        QList<BaseDataItem*> rows;
        for (int virtualRow = 0; virtualRow < qt()->rowCount(); ++virtualRow)
            rows.append(model.findItemByIndex(virtualRow));
        return names(rows);
    }
    QString original()
    {
        QList<BaseDataItem*> rows;
        for (int originalRow = 0; model.findItemByOriginalIndex(originalRow) || originalRow < list.size(); ++originalRow)
            rows.append(model.findItemByOriginalIndex(originalRow));
        return names(rows);
    }

    static constexpr int treeColumn = 1;
    TreeFixture tree;
    QList<BaseDataItem*> list;
    std::unique_ptr<zBaseHeaderColumn> columns = std::make_unique<zBaseHeaderColumn>();
    ProbeModel model;
    std::unique_ptr<ToleratedModelTester> tester;
};

// "A B" -> rows of the fixture by name ("null" for a null entry).
QList<BaseDataItem*> rowsNamed(const Harness& harness, const QString& rowNames)
{
    QList<BaseDataItem*> rows;
    for (const QString& name : rowNames.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        rows.append(harness.row(name));
    return rows;
}

const char* const sampleTree = "A\n-A1\n--A1a\n-A2\nB\n-B1\n";

} // namespace

class tst_zTreeItemModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(setLogicalDpi(96)); }

    void binding_data();
    void binding();
    void findersAtTheEdges();
    void firstRowCountSignal_data();
    void firstRowCountSignal();
    void metaObjectPublishesSixMethods();

    void roles_data();
    void roles();
    void lookupRoles_data();
    void lookupRoles();
    void sizeHint_data();
    void sizeHint();
    void setData_data();
    void setData();
    void flags_data();
    void flags();
    void hookReplacingItselfWhileRunning();

    void expandRequest_data();
    void expandRequest();
    void visibilityOverrideIsDispatchedVirtually();
    void cantCollapseChildren();

    void checkStates_data();
    void checkStates();

    void edits_data();
    void edits();
    void deleteLogsThroughMessageLogger();
    void rowAtFreedAddressStartsUnchecked();
    void deleteAll_data();
    void deleteAll();
    void unameItem_data();
    void unameItem();
};

void tst_zTreeItemModel::binding_data()
{
    QTest::addColumn<QString>("outline");
    QTest::addColumn<QString>("bound");
    QTest::addColumn<bool>("rebuild");
    QTest::addColumn<QString>("listAfter");
    QTest::addColumn<QString>("originalRows");
    QTest::addColumn<QString>("shownRows");
    QTest::addColumn<int>("maxLevel");

    QTest::newRow("tree order kept without rebuild") << "A\n-A1\n-A2\nB" << "A A1 A2 B" << false
                                                     << "A A1 A2 B" << "A A1 A2 B" << "A A1 A2 B" << 1;
    QTest::newRow("rebuild flattens under the root rows") << "A\n-A1\n--A1a\n-A2\nB" << "B A" << true
                                                          << "B A A1 A1a A2" << "B A A1 A1a A2" << "B A A1 A1a A2" << 2;
    QTest::newRow("rebuild ignores children listed out of place") << "A\n-A1\nB" << "A1 B A" << true
                                                                  << "B A A1" << "B A A1" << "B A A1" << 1;
    QTest::newRow("hidden row stays an original row") << "A\n-A1!\n-A2" << "A A1 A2" << false
                                                      << "A A1 A2" << "A A1 A2" << "A A2" << 1;
    QTest::newRow("null entry kept but never shown") << "A\nB" << "A null B" << false
                                                     << "A null B" << "A null B" << "A B" << 0;
    QTest::newRow("rebuild drops null entries") << "A\nB" << "A null B" << true << "A B" << "A B" << "A B" << 0;
    QTest::newRow("row with unbound children does not count for the level") << "A\n-A1\n--A1a" << "A A1" << false
                                                                            << "A A1" << "A A1" << "A A1" << 0;
    QTest::newRow("empty list") << "A" << "" << true << "" << "" << "" << 0;
}

void tst_zTreeItemModel::binding()
{
    QFETCH(QString, outline);
    QFETCH(QString, bound);
    Harness harness(outline);
    harness.list = rowsNamed(harness, bound);
    QFETCH(bool, rebuild);
    harness.model.BindSrcData(&harness.list, rebuild);
    harness.model.zBaseModel::UpdateData();

    QCOMPARE(harness.model.GetBindSrcData(), &harness.list);
    QTEST(names(harness.list), "listAfter");
    QTEST(harness.original(), "originalRows");
    QTEST(harness.shown(), "shownRows");
    if (harness.qt()->rowCount() > 0)
        QTEST(harness.model.data(harness.model.index(0, Harness::treeColumn), zTreeItemModel::TreeMaxLevelRole).toInt(), "maxLevel");
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::findersAtTheEdges()
{
    Harness harness("A\n-A1!\nB");
    harness.list.append(harness.row("A")); // a row listed twice: the first position counts
    harness.model.UpdateData();
    const int rowCount = harness.qt()->rowCount();
    QCOMPARE(rowCount, 3);
    QCOMPARE(harness.model.findItemByIndex(-1), nullptr);
    QCOMPARE(harness.model.findItemByIndex(rowCount), nullptr);
    QCOMPARE(harness.model.findModelIndexInData(-1), -1);
    QCOMPARE(harness.model.findModelIndexInData(rowCount), -1);
    QCOMPARE(harness.model.findModelIndexInData(1), 2); // B, behind the hidden A1
    QCOMPARE(harness.model.findModelIndexInData(2), 0); // A again: its first original row
    QCOMPARE(harness.model.findItemByOriginalIndex(-1), nullptr);
    QCOMPARE(harness.model.findItemByOriginalIndex(4), nullptr);
    QCOMPARE(harness.model.findVirtualIndexByItem(nullptr), -1);
    QCOMPARE(harness.model.findVirtualIndexByItem(harness.row("A1")), -1);
    QCOMPARE(harness.model.findOriginalIndexByItem(harness.row("A1")), 1);
    QCOMPARE(harness.model.findOriginalIndexByItem(nullptr), -1);

    harness.model.BindSrcData(nullptr, false);
    QCOMPARE(harness.model.GetBindSrcData(), nullptr);
    QCOMPARE(harness.model.findItemByOriginalIndex(0), nullptr);
    QCOMPARE(harness.model.findVirtualIndexByItem(harness.row("B")), -1);
    QCOMPARE(harness.model.findModelIndexInData(0), -1);
}

void tst_zTreeItemModel::firstRowCountSignal_data()
{
    QTest::addColumn<QString>("bound");
    QTest::addColumn<bool>("bind");
    QTest::newRow("fresh model") << "" << false;
    QTest::newRow("empty list bound") << "" << true;
    QTest::newRow("three rows bound") << "A B C" << true;
}

void tst_zTreeItemModel::firstRowCountSignal()
{
    QFETCH(QString, bound);
    QFETCH(bool, bind);
    TreeFixture tree(QString(bound).replace(' ', '\n'));
    QList<BaseDataItem*> list = tree.rows();
    zTreeItemModel model;
    if (bind)
        model.BindSrcData(&list, false);
    QSignalSpy changes(&model, &zTreeItemModel::doRowCountChanged);
    QAbstractItemModel* qt = &model;
    QCOMPARE(qt->rowCount(), list.size());
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0), (QVariantList{-1, list.size()}));
    qt->rowCount();
    QCOMPARE(changes.size(), 1);
}

void tst_zTreeItemModel::metaObjectPublishesSixMethods()
{
    const QMetaObject& meta = zTreeItemModel::staticMetaObject;
    QCOMPARE(meta.className(), "zTreeItemModel");
    QStringList methods;
    for (int index = meta.methodOffset(); index < meta.methodCount(); ++index) {
        const QMetaMethod method = meta.method(index);
        methods.append(QStringLiteral("%1 %2(%3)").arg(method.methodType() == QMetaMethod::Signal ? "signal" : "method",
                                                         QString::fromLatin1(method.methodSignature()),
                                                         QString::fromLatin1(method.parameterNames().join(','))));
    }
    QCOMPARE(methods, (QStringList{
                          "signal SetDataEnd(int,const zBaseHeaderItem*,BaseDataItem*)(role,pHeader,item)",
                          "signal doRowCountChanged(int,int)(oldRowCuont,newRowCount)",
                          "method findVirtualIndexByItem(BaseDataItem*)(item)",
                          "method findModelIndexInData(int)(virtualRow)",
                          "method findOriginalIndexByItem(BaseDataItem*)(item)",
                          "method findItemByOriginalIndex(int)(originalRow)",
                      }));
}

void tst_zTreeItemModel::roles_data()
{
    QTest::addColumn<QString>("outline");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("hooked");
    QTest::addColumn<QString>("expected");

    const int tree = Harness::treeColumn;
    const QString sample = sampleTree;
    QTest::newRow("level of a grandchild, before the hook") << sample << "A1a" << tree << 205 << true << "int 2";
    QTest::newRow("level off the tree column goes to the hook") << sample << "A1a" << 0 << 205 << true << "QString hook";
    QTest::newRow("level off the tree column without hook goes to the base") << sample << "A1a" << 0 << 205 << false << "invalid";
    QTest::newRow("child count") << sample << "A" << tree << 206 << true << "int 2";
    QTest::newRow("last shown child") << sample << "A2" << tree << 207 << true << "bool true";
    QTest::newRow("child followed by a shown sibling") << sample << "A1" << tree << 207 << false << "bool false";
    QTest::newRow("child followed by hidden siblings only") << "A\n-A1\n-A2!\n-A3!" << "A1" << tree << 207 << false << "bool true";
    QTest::newRow("root followed by a shown root") << sample << "A" << tree << 207 << false << "bool false";
    QTest::newRow("expanded flag") << "A-\n-A1!" << "A" << tree << 208 << true << "bool false";
    QTest::newRow("maximum level") << sample << "B" << tree << 210 << true << "int 2";
    QTest::newRow("parent row of a grandchild") << sample << "A1a" << tree << 211 << true << "int 1";
    QTest::newRow("parent row of a top-level row") << sample << "B" << tree << 211 << true << "int -1";
    QTest::newRow("parent row of a hidden parent") << "A\n-A1!\n--A1a" << "A1a" << tree << 211 << true << "int -1";
    QTest::newRow("ancestor flags, nothing last") << sample << "A1a" << tree << 219 << true << "QList<bool>[false,false]";
    QTest::newRow("ancestor flags, top-level ancestor last shown") << "A\n-A1\n--A1a\n-A2\nB!" << "A1a" << tree << 219
                                                                   << false << "QList<bool>[true,false]";
    QTest::newRow("ancestor flags of a top-level row") << sample << "A" << tree << 219 << true << "QList<bool>[]";
    QTest::newRow("uncollapsable child") << "A\n-A1\n-A2#" << "A" << tree << 220 << true << "bool true";
    QTest::newRow("uncollapsable grandchild only") << "A\n-A1\n--A1a#" << "A" << tree << 220 << true << "bool false";
    QTest::newRow("no children, nothing uncollapsable") << sample << "B1" << tree << 220 << false << "bool false";
    QTest::newRow("role 209 is no tree role") << sample << "A" << tree << 209 << true << "QString hook";
    QTest::newRow("lookup role goes to the hook first") << sample << "A" << tree << 212 << true << "QString hook";
    QTest::newRow("check state goes to the hook first") << sample << "A" << tree << int(Qt::CheckStateRole) << true << "QString hook";
    QTest::newRow("never checked reads bool false") << sample << "A" << tree << int(Qt::CheckStateRole) << false << "bool false";
    QTest::newRow("check state off the tree column: base") << sample << "A" << 0 << int(Qt::CheckStateRole) << false << "invalid";
    QTest::newRow("tree role beyond the row count") << sample << "beyond" << tree << 205 << true << "invalid";
    QTest::newRow("size hint beyond the row count") << sample << "beyond" << tree << int(Qt::SizeHintRole) << false << "invalid";
    QTest::newRow("display goes to the base") << sample << "A" << tree << int(Qt::DisplayRole) << false << "invalid";
}

void tst_zTreeItemModel::roles()
{
    QFETCH(QString, outline);
    Harness harness(QString(outline).remove('#'));
    QRegularExpressionMatchIterator uncollapsable = QRegularExpression("(\\w+)#").globalMatch(outline);
    while (uncollapsable.hasNext()) // '#' marks a row that cannot be collapsed
        harness.row(uncollapsable.next().captured(1))->setCollapsable(false);
    QFETCH(bool, hooked);
    if (hooked) {
        harness.model.dataStarting([](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
            value = QStringLiteral("hook");
            return true;
        });
    }
    QFETCH(QString, rowName);
    QFETCH(int, column);
    QFETCH(int, role);
    QTEST(describe(harness.read(rowName, role, column)), "expected");
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::lookupRoles_data()
{
    QTest::addColumn<QString>("cellColumn");
    QTest::addColumn<bool>("rowEntry");
    QTest::addColumn<bool>("columnEntry");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cell entry of the column") << "name" << true << true << 212 << "QString cell";
    QTest::newRow("cell entry of another column, row entry") << "qty" << true << true << 212 << "QString row";
    QTest::newRow("only a column entry") << "" << false << true << 213 << "QString column";
    QTest::newRow("nothing stored") << "qty" << false << false << 213 << "invalid";
}

void tst_zTreeItemModel::lookupRoles()
{
    Harness harness("H!\nA\nB");
    const int originalRowOfA = 1; // shown at virtual row 0: the tables are keyed by original row
    QFETCH(QString, cellColumn);
    if (!cellColumn.isEmpty())
        harness.model.setCellValue(originalRowOfA, cellColumn, QStringLiteral("cell"));
    QFETCH(bool, rowEntry);
    if (rowEntry)
        harness.model.setRowValue(originalRowOfA, QStringLiteral("row"));
    harness.model.setRowValue(0, QStringLiteral("row of the hidden row"));
    QFETCH(bool, columnEntry);
    if (columnEntry)
        harness.model.setColumnValue(QStringLiteral("name"), QStringLiteral("column"));
    QFETCH(int, role);
    QTEST(describe(harness.read("A", role, 0)), "expected");
}

void tst_zTreeItemModel::sizeHint_data()
{
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<double>("storedHeight");
    QTest::addColumn<QString>("read");
    QTest::addColumn<double>("written");
    QTest::addColumn<double>("storedAfterWrite");
    QTest::newRow("no height at 96 dpi") << 96.0 << 0.0 << "double -1" << 24.0 << 24.0;
    QTest::newRow("no height at 144 dpi") << 144.0 << 0.0 << "double -1.5" << 30.0 << 20.0;
    QTest::newRow("negative height at 144 dpi") << 144.0 << -3.0 << "double -1.5" << 45.0 << 30.0;
    QTest::newRow("height 20 at 144 dpi") << 144.0 << 20.0 << "double 30" << 15.0 << 10.0;
    QTest::newRow("height 20 at 96 dpi") << 96.0 << 20.0 << "double 20" << 15.0 << 15.0;
}

void tst_zTreeItemModel::sizeHint()
{
    Harness harness(sampleTree);
    QFETCH(qreal, dpi);
    QVERIFY(setLogicalDpi(dpi));
    QFETCH(double, storedHeight);
    harness.row("A1")->setRowHeight(storedHeight);
    QTEST(describe(harness.read("A1", Qt::SizeHintRole, 0)), "read");
    QTEST(describe(harness.read("A1", Qt::SizeHintRole, Harness::treeColumn)), "read");

    // A vetoing hook does not undo the stored height.
    harness.model.editorStarting([](int, const QModelIndex&, const zBaseHeaderItem*, QVariant&) { return false; });
    QFETCH(double, written);
    QVERIFY(!harness.qt()->setData(harness.at("A1", 0), written, Qt::SizeHintRole));
    QTEST(harness.row("A1")->getRowHeight(), "storedAfterWrite");
    QVERIFY(setLogicalDpi(96));
}

void tst_zTreeItemModel::setData_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("startingHook"); // "", "pass" or "veto"
    QTest::addColumn<QString>("endingHook");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("projectChanged");
    QTest::addColumn<QString>("clicked"); // row name, or "" for none

    const int tree = Harness::treeColumn;
    QTest::newRow("click recorded, project untouched") << 223 << 0 << "" << "" << true << false << "A1";
    QTest::newRow("vetoed click is still recorded") << 223 << tree << "veto" << "" << false << false << "A1";
    QTest::newRow("display write marks the project") << int(Qt::DisplayRole) << 0 << "pass" << "pass" << true << true << "";
    QTest::newRow("veto of the first hook") << int(Qt::EditRole) << 0 << "veto" << "pass" << false << false << "";
    QTest::newRow("veto of the second hook") << int(Qt::EditRole) << 0 << "pass" << "veto" << false << false << "";
    QTest::newRow("check write on the tree column") << int(Qt::CheckStateRole) << tree << "pass" << "" << true << true << "";
    QTest::newRow("expand request skips hooks and project") << 208 << 0 << "veto" << "veto" << true << false << "";
}

void tst_zTreeItemModel::setData()
{
    Harness harness(sampleTree);
    ConstructionWorks project;
    WorkBaseObject work;
    work.SetXmWorks(&project);
    harness.model.SetWork(&work);
    QStringList hookCalls;
    auto hook = [&hookCalls](const QString& name, const QString& behaviour) {
        return [&hookCalls, name, behaviour](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
            hookCalls.append(name + ':' + value.toString());
            value = 0; // the hooks' copy: never stored, never seen by the check states
            return behaviour == QLatin1String("pass");
        };
    };
    QFETCH(QString, startingHook);
    QFETCH(QString, endingHook);
    if (!startingHook.isEmpty())
        harness.model.editorStarting(hook("starting", startingHook));
    if (!endingHook.isEmpty())
        harness.model.editorEnding(hook("ending", endingHook));
    int setDataEnds = 0;
    QObject::connect(&harness.model, &zTreeItemModel::SetDataEnd, [&setDataEnds] { ++setDataEnds; });

    QFETCH(int, role);
    QFETCH(int, column);
    QTEST(harness.qt()->setData(harness.at("A1", column), Qt::Checked, role), "result");
    QTEST(project.getProjectWorkChanged(), "projectChanged");
    QFETCH(QString, clicked);
    QCOMPARE(harness.model.getClickedItem(), harness.tree.row(clicked));
    if (!clicked.isEmpty())
        QCOMPARE(harness.model.getClickedVirtualColumn(), int(Qt::Checked));
    if (role == 208)
        QVERIFY(hookCalls.isEmpty());
    else if (startingHook == QLatin1String("pass") && !endingHook.isEmpty())
        QCOMPARE(hookCalls.value(1), QStringLiteral("ending:0")); // the second hook sees the first one's copy
    const bool checkStored = role == Qt::CheckStateRole;
    QCOMPARE(describe(harness.read("A1", Qt::CheckStateRole)), checkStored ? QStringLiteral("int 2") : QStringLiteral("bool false"));
    QCOMPARE(setDataEnds, 0);
}

void tst_zTreeItemModel::flags_data()
{
    QTest::addColumn<int>("hookFlags"); // -1: no hook
    QTest::addColumn<bool>("hookAnswers");
    QTest::addColumn<int>("expected");
    const int base = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
    QTest::newRow("no hook: base flags") << -1 << false << base;
    QTest::newRow("hook answers with no flags") << 0 << true << 0;
    QTest::newRow("hook answers enabled only") << int(Qt::ItemIsEnabled) << true << int(Qt::ItemIsEnabled);
    QTest::newRow("hook declines: base flags") << int(Qt::ItemIsEnabled) << false << base;
}

void tst_zTreeItemModel::flags()
{
    Harness harness(sampleTree);
    QFETCH(int, hookFlags);
    QFETCH(bool, hookAnswers);
    int flagsSeenByHook = -1;
    if (hookFlags >= 0) {
        harness.model.callFlags([&](const QModelIndex&, const zBaseHeaderItem*, QFlags<Qt::ItemFlag>& flags) {
            flagsSeenByHook = int(flags);
            flags = QFlags<Qt::ItemFlag>(hookFlags);
            return hookAnswers;
        });
    }
    QTEST(int(harness.qt()->flags(harness.at("B", 0))), "expected");
    QCOMPARE(flagsSeenByHook, hookFlags >= 0 ? 0 : -1);
}

void tst_zTreeItemModel::hookReplacingItselfWhileRunning()
{
    Harness harness(sampleTree);
    const QString answer(64, QLatin1Char('x')); // captured by value: lives in the callable itself
    harness.model.dataStarting([&harness, answer](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) {
        harness.model.dataStarting({});
        harness.model.editorStarting({});
        value = answer; // read after the stored hook was replaced
        return true;
    });
    QCOMPARE(harness.read("A", Qt::DisplayRole, 0).toString(), answer);
    QCOMPARE(describe(harness.read("A", Qt::DisplayRole, 0)), QStringLiteral("invalid"));
}

void tst_zTreeItemModel::expandRequest_data()
{
    QTest::addColumn<QString>("outline");
    QTest::addColumn<QString>("spans"); // "X:S T" = X spans S and T
    QTest::addColumn<QString>("requests"); // "-A" collapses A, "+A" expands it, in order
    QTest::addColumn<QString>("shownRows");
    QTest::addColumn<QString>("expandedRows");

    const QString collapsedA = "A-\n-A1-!\n--A1a!\n-A2!\nB";
    QTest::newRow("collapse hides every descendant, keeps their flags") << sampleTree << "" << "-A" << "A B B1" << "A1 A1a A2 B B1";
    QTest::newRow("expand again reopens the subtree as left") << sampleTree << "" << "-A +A" << "A A1 A1a A2 B B1"
                                                              << "A A1 A1a A2 B B1";
    QTest::newRow("expand stops below a collapsed child") << collapsedA << "" << "+A" << "A A1 A2 B" << "A A1a A2 B";
    QTest::newRow("spanned rows follow a shown row") << "A\n-A1\n-S!\nB" << "A1:S" << "+A1" << "A A1 S B" << "A A1 S B";
    QTest::newRow("spanned rows follow a collapsed parent") << "A\n-A1\nS" << "A1:S" << "-A" << "A" << "A1 S";
    QTest::newRow("spanned by a shown and a hidden row ends hidden") << "A\n-A1\nB\nS" << "A1:S B:S" << "-A"
                                                                     << "A B" << "A1 B S";
    QTest::newRow("request at the row count changes nothing") << collapsedA << "" << "+2" << "A B" << "A1a A2 B";
}

void tst_zTreeItemModel::expandRequest()
{
    QFETCH(QString, outline);
    Harness harness(outline);
    QFETCH(QString, spans);
    for (const QString& span : spans.split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = span.split(':');
        harness.row(parts.at(0))->setSpanChildrenRows(rowsNamed(harness, parts.at(1)));
    }
    QSignalSpy resets(&harness.model, &QAbstractItemModel::modelReset);
    QFETCH(QString, requests);
    const int updateDataBefore = harness.model.updateDataCalls;
    for (const QString& request : requests.split(' ')) {
        const bool expand = request.startsWith('+');
        bool isRowNumber = false;
        const int virtualRow = request.mid(1).toInt(&isRowNumber);
        const QModelIndex index = isRowNumber ? harness.model.staleIndex(virtualRow, 0) : harness.at(request.mid(1), 0);
        QCOMPARE(harness.model.setData(index, expand, zTreeItemModel::TreeExpandedRole), !isRowNumber);
    }
    QTEST(harness.shown(), "shownRows");
    QList<BaseDataItem*> expanded;
    for (BaseDataItem* row : harness.tree.rows()) {
        if (row->getExpanded())
            expanded.append(row);
    }
    QTEST(names(expanded), "expandedRows");
    QCOMPARE(harness.model.updateDataCalls, updateDataBefore); // only the base refresh runs
    QCOMPARE(resets.size(), requests.contains(QRegularExpression("[+-][A-Z]")) ? requests.count(' ') + 1 : 0);
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::visibilityOverrideIsDispatchedVirtually()
{
    Harness harness(sampleTree);
    harness.model.hiddenNames = {QStringLiteral("A2"), QStringLiteral("B1")};
    harness.model.UpdateData();
    QCOMPARE(harness.shown(), QStringLiteral("A A1 A1a B"));
    QCOMPARE(describe(harness.read("A1", zTreeItemModel::TreeLastSiblingRole)), QStringLiteral("bool true"));

    // The host's own calls change flags only; the rows follow at the next refresh.
    harness.model.setExpandeItem(harness.row("A"), false);
    QCOMPARE(harness.shown(), QStringLiteral("A A1 A1a B"));

    // The expand recursion asks the override too: A1 hidden by it keeps A1a hidden.
    harness.model.hiddenNames.insert(QStringLiteral("A1"));
    QVERIFY(harness.qt()->setData(harness.at("A"), true, zTreeItemModel::TreeExpandedRole));
    QCOMPARE(harness.shown(), QStringLiteral("A B"));
    QVERIFY(harness.qt()->setData(harness.at("B"), false, zTreeItemModel::TreeExpandedRole));
    QVERIFY(harness.qt()->setData(harness.at("B"), true, zTreeItemModel::TreeExpandedRole));
    QCOMPARE(harness.shown(), QStringLiteral("A B"));
    QVERIFY(harness.row("B1")->getVisible());
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::cantCollapseChildren()
{
    Harness harness("R\n-C1\n--C1a\n-C2\n--C2a\nX");
    for (const char* name : {"C1", "C2a", "X"})
        harness.row(name)->setCollapsable(false);
    QList<BaseDataItem*> out{harness.row("X")};
    ProbeModel::getCantCollaspeChildren(harness.row("R"), out);
    QCOMPARE(names(out), QStringLiteral("X C1 C2a"));
}

void tst_zTreeItemModel::checkStates_data()
{
    QTest::addColumn<QString>("writes"); // "mode=1" sets checkType, "C1=2" writes a state on the tree column
    QTest::addColumn<QString>("expected"); // stored state per row, "-" for never stored

    // G: P (C1: C1a, C2, C3), Q
    QTest::newRow("no mode: the row alone") << "P=2" << "G:- P:2 C1:- C1a:- C2:- C3:- Q:-";
    QTest::newRow("mode 0: the row alone") << "mode=0 P=2" << "G:- P:2 C1:- C1a:- C2:- C3:- Q:-";
    QTest::newRow("one child checked: parent partial") << "mode=1 C2=2" << "G:1 P:1 C1:- C1a:- C2:2 C3:- Q:-";
    QTest::newRow("all children checked: parent checked") << "mode=1 C1=2 C2=2 C3=2" << "G:1 P:2 C1:2 C1a:2 C2:2 C3:2 Q:-";
    QTest::newRow("parent checked: subtree overwritten") << "mode=1 C2=0 P=2" << "G:1 P:2 C1:2 C1a:2 C2:2 C3:2 Q:-";
    QTest::newRow("any non-zero mode propagates") << "mode=5 P=2 Q=2" << "G:2 P:2 C1:2 C1a:2 C2:2 C3:2 Q:2";
    QTest::newRow("partial keeps the descendants") << "mode=1 C1a=2 C1=1" << "G:1 P:1 C1:1 C1a:2 C2:- C3:- Q:-";
    QTest::newRow("all children partial: parent partial") << "mode=1 C1=1 C2=1 C3=1" << "G:1 P:1 C1:1 C1a:- C2:1 C3:1 Q:-";
    QTest::newRow("odd stored value counts as unchecked") << "C3=7 mode=1 C1=2 C2=2" << "G:1 P:1 C1:2 C1a:2 C2:2 C3:7 Q:-";
    QTest::newRow("unchecking every child unchecks the parent") << "mode=1 P=2 C1=0 C2=0 C3=0" << "G:0 P:0 C1:0 C1a:0 C2:0 C3:0 Q:-";
    QTest::newRow("write off the tree column stores nothing") << "mode=1 C2@0=2" << "G:- P:- C1:- C1a:- C2:- C3:- Q:-";
}

void tst_zTreeItemModel::checkStates()
{
    Harness harness("G\n-P\n--C1\n---C1a\n--C2\n--C3\n-Q");
    QFETCH(QString, writes);
    for (const QString& write : writes.split(' ')) {
        const QStringList parts = write.split('=');
        if (parts.at(0) == QLatin1String("mode")) {
            harness.model.setProperty("checkType", parts.at(1).toInt());
            continue;
        }
        const QStringList target = parts.at(0).split('@');
        const int column = target.size() > 1 ? target.at(1).toInt() : Harness::treeColumn;
        QVERIFY(harness.qt()->setData(harness.at(target.at(0), column), parts.at(1).toInt(), Qt::CheckStateRole));
    }
    QStringList states;
    for (BaseDataItem* row : harness.tree.rows()) {
        const QVariant state = harness.qt()->data(harness.model.index(harness.model.findVirtualIndexByItem(row), Harness::treeColumn),
                                                  Qt::CheckStateRole);
        states.append(names({row}) + ':' + (state.type() == QVariant::Bool ? QStringLiteral("-") : state.toString()));
    }
    QTEST(states.join(' '), "expected");
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::edits_data()
{
    QTest::addColumn<QString>("bound");
    QTest::addColumn<QString>("edit"); // "after X", "before X", "under X", "delete X", "deleteRow N"
    QTest::addColumn<QString>("listAfter");
    QTest::addColumn<QString>("shownAfter");
    QTest::addColumn<QString>("childrenOfA");
    QTest::addColumn<int>("destroyed");

    // Tree: A (A1 (A1a), A2), B (B1); new rows show as "?".
    const QString flat = "A A1 A1a A2 B B1";
    QTest::newRow("after a top-level row: ahead of its children") << flat << "after A" << "A ? A1 A1a A2 B B1"
                                                                  << "A ? A1 A1a A2 B B1" << "A1 A2" << 0;
    QTest::newRow("before the first top-level row") << flat << "before A" << "? A A1 A1a A2 B B1"
                                                    << "? A A1 A1a A2 B B1" << "A1 A2" << 0;
    QTest::newRow("before a first child: linked, not yet bound") << flat << "before A1" << flat << flat << "? A1 A2" << 0;
    QTest::newRow("after a last child") << flat << "after A2" << flat << flat << "A1 A2 ?" << 0;
    QTest::newRow("under a row: a child at once") << flat << "under A" << flat << flat << "A1 A2 ?" << 0;
    QTest::newRow("delete a child with its subtree") << flat << "delete A1" << "A A2 B B1" << "A A2 B B1" << "A2" << 2;
    QTest::newRow("delete a top-level row with two children and a grandchild") << flat << "delete A" << "B B1" << "B B1" << "" << 4;
    QTest::newRow("delete a row listed twice") << "A B A" << "delete A" << "B" << "B" << "" << 4;
    QTest::newRow("delete by index at the row count") << flat << "deleteRow 6" << flat << flat << "A1 A2" << 0;
    QTest::newRow("delete by index of a shown row") << flat << "deleteRow 4" << "A A1 A1a A2" << "A A1 A1a A2" << "A1 A2" << 2;
    QTest::newRow("delete null") << flat << "delete null" << flat << flat << "A1 A2" << 0;
}

void tst_zTreeItemModel::edits()
{
    Harness harness(sampleTree);
    QFETCH(QString, bound);
    harness.list = rowsNamed(harness, bound);
    harness.model.UpdateData();
    harness.qt()->setData(harness.at("A1a"), 0, zTreeItemModel::ClickedCellRole);
    harness.qt()->setData(harness.at("A1a"), Qt::Checked, Qt::CheckStateRole);
    const int aliveBefore = harness.tree.aliveCount();

    QFETCH(QString, edit);
    const QString verb = edit.section(' ', 0, 0);
    const QString target = edit.section(' ', 1);
    const QModelIndex index = verb == QLatin1String("deleteRow") ? harness.model.staleIndex(target.toInt(), 0) : harness.at(target, 0);
    QFETCH(int, destroyed);
    if (destroyed > 0)
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("zTreeItemModel::deleteItem  deleted:  %1  rows").arg(destroyed)));
    if (verb == QLatin1String("after"))
        harness.model.insertItemAfterIndex(index);
    else if (verb == QLatin1String("before"))
        harness.model.insertItemBeforeIndex(index);
    else if (verb == QLatin1String("under"))
        harness.model.insertItemUnderIndex(index);
    else if (verb == QLatin1String("delete"))
        QCOMPARE(harness.model.deleteItem(harness.row(target)), target != QLatin1String("null"));
    else
        harness.model.deleteItemByIndex(index);

    QTEST(names(harness.list), "listAfter");
    QTEST(harness.shown(), "shownAfter");
    if (BaseDataItem* rowA = harness.row("A")) {
        QTEST(names(rowA->getBaseDataItemlist()), "childrenOfA");
        QCOMPARE(harness.read("A", zTreeItemModel::TreeChildCountRole).toInt(), rowA->getChildrenCount());
        for (BaseDataItem* child : rowA->getBaseDataItemlist()) // new children are linked to their parent
            QCOMPARE(child->getParent(), rowA);
    }
    QCOMPARE(aliveBefore - harness.tree.aliveCount(), destroyed);
    if (!harness.tree.isAlive(harness.tree.rows().at(2))) // A1a destroyed: it is no longer the clicked row
        QCOMPARE(harness.model.getClickedItem(), nullptr);
    else
        QCOMPARE(harness.model.getClickedItem(), harness.row("A1a"));
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

namespace {
QStringList g_debugLines;
void recordDebug(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg)
        g_debugLines.append(QStringLiteral("%1|%2|%3").arg(context.file, context.function, message));
}
} // namespace

void tst_zTreeItemModel::deleteLogsThroughMessageLogger()
{
    Harness harness(sampleTree);
    harness.tester.reset();
    g_debugLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordDebug);
    harness.model.deleteItem(harness.row("B"));
    qInstallMessageHandler(previous);
    QCOMPARE(g_debugLines, QStringList{"zTreeItemModel|bool zTreeItemModel::deleteItem(BaseDataItem*)|"
                                       "zTreeItemModel::deleteItem  deleted:  2  rows"});
}

void tst_zTreeItemModel::rowAtFreedAddressStartsUnchecked()
{
    Harness harness("A");
    harness.list.append(new TreeBaseItem); // the size of the rows the model creates, so its address can come back
    harness.model.UpdateData();
    const QModelIndex doomedIndex = harness.model.index(1, Harness::treeColumn);
    harness.qt()->setData(doomedIndex, Qt::Checked, Qt::CheckStateRole);
    const quintptr freedAddress = quintptr(harness.list.at(1));
    harness.model.deleteItemByIndex(doomedIndex);
    harness.model.insertItemAfterIndex(harness.at("A"));
    if (quintptr(harness.list.value(1)) != freedAddress)
        QSKIP("the allocator gave the new row another address (it always does under AddressSanitizer)");
    QCOMPARE(describe(harness.qt()->data(harness.model.index(1, Harness::treeColumn), Qt::CheckStateRole)),
             QStringLiteral("bool false"));
}

void tst_zTreeItemModel::deleteAll_data()
{
    QTest::addColumn<QString>("bound");
    QTest::addColumn<QString>("deletedCounts"); // logged per deleteItem, in order
    QTest::addColumn<int>("survivors");
    QTest::addColumn<int>("refreshes");

    QTest::newRow("flattened tree") << "A A1 A1a A2 B B1" << "4 2" << 0 << 1;
    QTest::newRow("top-level rows only") << "A B" << "4 2" << 0 << 1;
    QTest::newRow("child listed before its parent") << "A1 A B" << "2 2 2" << 0 << 1;
    QTest::newRow("null entries and duplicates") << "null B null B" << "2" << 4 << 1;
    QTest::newRow("only null entries: nothing to refresh") << "null" << "" << 6 << 0;
    QTest::newRow("empty list") << "" << "" << 6 << 0;
}

void tst_zTreeItemModel::deleteAll()
{
    Harness harness(sampleTree);
    QFETCH(QString, bound);
    harness.list = rowsNamed(harness, bound);
    harness.model.UpdateData();
    harness.qt()->setData(harness.at("B1"), 0, zTreeItemModel::ClickedCellRole);
    QFETCH(QString, deletedCounts);
    for (const QString& count : deletedCounts.split(' ', Qt::SkipEmptyParts))
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("zTreeItemModel::deleteItem  deleted:  %1  rows").arg(count)));
    const int refreshesBefore = harness.model.updateDataCalls;

    harness.model.deleteAll();
    QVERIFY(harness.list.isEmpty());
    QTEST(harness.tree.aliveCount(), "survivors");
    QTEST(harness.model.updateDataCalls - refreshesBefore, "refreshes");
    if (!deletedCounts.isEmpty()) {
        QCOMPARE(harness.qt()->rowCount(), 0);
        QCOMPARE(harness.model.getClickedItem(), nullptr);
    }
    QVERIFY2(harness.tester->failures().isEmpty(), qPrintable(harness.tester->failures().join('\n')));
}

void tst_zTreeItemModel::unameItem_data()
{
    QTest::addColumn<QString>("bound");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<QString>("expected");
    const QString deep = "A B C C1 C1a C1b C1c";
    QTest::newRow("top-level row at position 0") << "A A1 A2" << "A" << "0";
    QTest::newRow("second child") << "A A1 A2" << "A2" << "0-1";
    QTest::newRow("third child of the first child of the third root") << deep << "C1c" << "2-0-2";
    QTest::newRow("topmost owner is no root row") << "A1 A1a" << "A1a" << "-1-0";
    QTest::newRow("owner not among the original rows") << "A A1a" << "A1a" << "-1";
    QTest::newRow("null row") << "A" << "null" << "";
}

void tst_zTreeItemModel::unameItem()
{
    Harness harness("A\n-A1\n--A1a\n-A2\nB\nC\n-C1\n--C1a\n--C1b\n--C1c");
    QFETCH(QString, bound);
    harness.list = rowsNamed(harness, bound);
    harness.model.UpdateData();
    QFETCH(QString, rowName);
    QTEST(harness.model.unameItem(static_cast<TreeBaseItem*>(harness.row(rowName))), "expected");
}

QTEST_MAIN(tst_zTreeItemModel)
#include "tst_zTreeItemModel.moc"
