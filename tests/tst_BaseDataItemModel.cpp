#include "TestHelpers.h"

#include <AuditBusiness.h>
#include <BaseDataItemModel.h>
#include <ConstructionWorks.h>
#include <GridView.h>
#include <HeaderItem.h>
#include <ProjectWorks.h>
#include <SharedInterface.h>
#include <TableBaseObject.h>
#include <TableHeaderColumn.h>

#include <QSignalSpy>

#include <climits>

// A payload of the wrong pointer type, as a careless sender would make it.
Q_DECLARE_METATYPE(TreeBaseItem*)

namespace {
constexpr int QuantityField = 3;
const QString NullRowWarning = QString::fromUtf8("warning itemviews.gridmodel \xE5\xAF\xB9\xE8\xB1\xA1 'item' "
                                                 "\xE4\xB8\xBA Null BaseDataItemModel.cpp:line ");

using Model = BaseDataItemModel;
using Cell = QPair<int, int>; // row, column

/*!
 * A table (type 1001 by default) of work 31 in audit 2 of a project, its rows built
 * from an outline (see TreeFixture; "@5" after a name sets the row type), bound to a
 * grid model with the columns name (1), quantity (3, audit attributes 7 and 8) and
 * sequence (1046). Levels follow the depth; current indexes are 10 + position. The first
 * row holds quantity 2.5, "stored" under 1046 and row height 12.
 */
struct Grid
{
    explicit Grid(const QString& outline, int tableType = 1001)
        : tree(outline)
        , rows(tree.rows())
    {
        work.setOwner(&project);
        work.SetXmWorks(&topWork);
        work.setNodeId(31);
        work.setAuditId(2);
        table.setOwner(&work);
        table.setTableType(tableType);
        for (int position = 0; position < rows.size(); ++position) {
            auto* row = static_cast<NamedRow*>(rows.at(position));
            // Pre-order: the parent has its level.
            row->setLevel(row->getParent() ? row->getParent()->getLevel() + 1 : 0);
            const QStringList nameAndType = row->name().split(QLatin1Char('@'));
            row->setValue(1, nameAndType.first());
            row->setRowType(nameAndType.value(1).toInt());
            row->setCurIndex(10 + position);
            row->setOwner(&table);
        }
        rows.first()->setValue(QuantityField, 2.5);
        rows.first()->setValue(BaseDataItemModel::CurIndexFieldNumber, QStringLiteral("stored"));
        rows.first()->setRowHeight(12);
        model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
        model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(QuantityField, QStringLiteral("quantity"), 7, 8));
        model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(Model::CurIndexFieldNumber, "seq"));
        model.BindSrcData(&rows);
    }
    QString hiddenRows() const
    {
        QList<BaseDataItem*> hidden;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(hidden),
                     [](BaseDataItem* row) { return !row->getVisible(); });
        return names(hidden);
    }
    Cell storedCell() { return project.GetGcSetting()->GetMapZxCurIndex(2, 31, table.getTableType()); }
    Cell baseCell()
    {
        return {model.Qtitan::BaseTableModel::GetClickRow(false), model.Qtitan::BaseTableModel::GetClickCol(false)};
    }

    ProjectWorks project;
    ConstructionWorks topWork;
    WorkBaseObject work;
    TableBaseObject table;
    TreeFixture tree;
    QList<BaseDataItem*> rows;
    BaseDataItemModel model;
};

/// Records every message logged while it lives as "<type> <category> <text> <file>:line <function>".
struct MessageCapture
{
    MessageCapture() : previous(qInstallMessageHandler(&record)) { messages.clear(); }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    static void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        const QString file = QString::fromUtf8(context.file).section(QLatin1Char('/'), -1);
        const char* kind = type == QtWarningMsg ? "warning" : "other";
        const char* line = context.line > 0 ? "line" : "none";
        messages.append(QStringLiteral("%1 %2 %3 %4:%5 %6").arg(kind, context.category, text, file, line)
                            .arg(context.function));
    }
    static inline QStringList messages;
    QtMessageHandler previous;
};

/// Exposes the protected usage report.
struct ReportingModel : BaseDataItemModel { using BaseDataItemModel::post2GoCode; };

/// A host subclass that knows no parents: every query built on getParentIndex must follow it.
struct NoParentsModel : BaseDataItemModel { int getParentIndex(int) override { return -1; } };

} // namespace

class tst_BaseDataItemModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void badRowsAnswerNeutrally()
    {
        BaseDataItemModel model; // unbound
        BaseDataItem row;
        QVERIFY(!model.GetBean(0));
        QVERIFY(!model.All());
        QCOMPARE(model.GetRowByItem(&row), -1);
        QVERIFY(model.getAllBlockSelectionRows().isEmpty());
        model.SetClickRowAndCol(3, 4); // kept in memory only
        QCOMPARE(model.GetClickRow(true), -1);
        QCOMPARE(model.GetClickCol(true), -1);
        QCOMPARE(model.GetClickRowAndCol(), Cell(0, 0));
        QCOMPARE(model.Qtitan::BaseTableModel::GetClickRow(false), 3);
        QCOMPARE(model.Qtitan::BaseTableModel::GetClickCol(false), 4);

        Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
        QVERIFY(grid.model.getExpandOrFlodChildren(INT_MAX, false).isEmpty());
        QCOMPARE(grid.model.lastFoldRowNumber(INT_MAX), -1);
        grid.rows.at(1)->setLevel(200000000); // as stored in a file: the grid paints it clamped, without overflow
        Qtitan::GridView view;
        view.setModel(&grid.model);
        view.setTreeColumn(0);
        QVERIFY(!view.grab().isNull());
        QCOMPARE(grid.model.getCheckBoxState(-1), Qt::Unchecked);
        QVERIFY(grid.model.getCheckBoxEnable(-1));
        QCOMPARE(grid.model.getCheckBoxState(2), Qt::Checked); // even rows checked, and not enabled
        QVERIFY(!grid.model.getCheckBoxEnable(2));
        QCOMPARE(grid.model.getCheckBoxState(3), Qt::Unchecked);
        QVERIFY(grid.model.getCheckBoxEnable(3));
        QVERIFY(!grid.model.getCheckBoxShowState(0));
        MessageCapture capture;
        QVERIFY(!grid.model.getFold(5));
        QVERIFY(!grid.model.getBtnShowState(-1));
        QVERIFY(!grid.model.getFold(0));
        QVERIFY(grid.model.isLastChild(7));
        // Only the two queries the grid draws fold buttons with warn.
        QCOMPARE(MessageCapture::messages,
                 QStringList({NullRowWarning + "virtual bool BaseDataItemModel::getFold(int)",
                              NullRowWarning + "virtual bool BaseDataItemModel::getBtnShowState(int)"}));
    }

    void modelTesterAcceptsTheGrid()
    {
        Grid grid(QStringLiteral("A\n-A1\nB"));
        grid.rows.first()->setRowHeight(0);
        QCOMPARE(describe(grid.model.data(grid.model.index(0, 0), Qt::SizeHintRole)), QStringLiteral("double -1"));
        // Flags 35 for the invalid index, row heights as a double, and a rowCount that ignores the parent.
        ToleratedModelTester tester(&grid.model, QStringList{Tolerated::flagsOfInvalidIndex, Tolerated::doubleSizeHint}
                                                     + Tolerated::flatRowCountIgnoresParent);
        QSignalSpy inserted(&grid.model, &QAbstractItemModel::columnsInserted);
        grid.model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(9, QStringLiteral("name")));
        grid.model.UpdateData();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(grid.model.columnCount(), 4);
        QCOMPARE(grid.model.headerData(1, Qt::Horizontal).toString(), "quantity");
        QVERIFY(!grid.model.headerData(0, Qt::Vertical).isValid());
        QCOMPARE(tester.failures(), QStringList());
        QVERIFY(!grid.model.GetColumn(-1));
        QVERIFY(!grid.model.GetColumn(4));
        QVERIFY(!grid.model.GetColumn(QStringLiteral("Name")));
        QCOMPARE(grid.model.GetColumn(1)->fieldNumber(), QuantityField);
        QCOMPARE(grid.model.GetColumn(QStringLiteral("name"))->fieldNumber(), 1); // the first of two
        QCOMPARE(int(grid.model.flags(QModelIndex())), 35);
        QCOMPARE(int(grid.model.flags(grid.model.index(0, 0))), 35);
        QCOMPARE(grid.model.GetMaxLevel(), 0);
        QCOMPARE(grid.model.getMaxLevel(), 2);
    }

    void cellReads_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name"); // the first row's columns, as type and value
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("sequence"); // field 1046
        const auto read = [](const char* name, int mode, int role, const char* first, const char* quantity,
                             const char* sequence) {
            QTest::newRow(name) << mode << role << QString(first) << QString(quantity) << QString(sequence);
        };
        read("display: fields, 1046 the current index", 0, Qt::DisplayRole, "QString A", "double 2.5", "int 10");
        read("edit reads the same", 0, Qt::EditRole, "QString A", "double 2.5", "int 10");
        read("mode 1: 1046 shows the stored value", 1, Qt::DisplayRole, "QString A", "double 2.5", "QString stored");
        read("mode 1 edit", 1, Qt::EditRole, "QString A", "double 2.5", "QString stored");
        read("mode 2: the base's answer", 2, Qt::DisplayRole, "invalid", "invalid", "invalid");
        read("size hint: the row height as a double", 0, Qt::SizeHintRole, "double 12", "double 12", "double 12");
    }

    void cellReads()
    {
        QFETCH(int, mode);
        QFETCH(int, role);
        Grid grid(QStringLiteral("A\nB"));
        grid.model.SetDataMode(mode);
        const auto cell = [&](int column) { return describe(grid.model.data(grid.model.index(0, column), role)); };
        QTEST(cell(0), "name");
        QTEST(cell(1), "quantity");
        QTEST(cell(2), "sequence");
        QVERIFY(!grid.model.data(grid.model.index(2, 1), role).isValid());
    }

    void cellWrites_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("changed"); // the work's project changed flag
        QTest::addColumn<QString>("quantity"); // the row's fields after the write
        QTest::addColumn<QString>("sequence"); // field 1046
        QTest::addColumn<double>("height");
        const auto write = [](const char* name, int column, int role, const QVariant& value, bool changed,
                              const char* quantity, const char* sequence, double height) {
            QTest::newRow(name) << column << role << value << changed << QString(quantity) << QString(sequence)
                                << height;
        };
        write("edit of a new value marks the project", 1, Qt::EditRole, 7, true, "7", "stored", 12);
        write("edit of an equal value stores it unmarked", 1, Qt::EditRole, 2.5, false, "2.5", "stored", 12);
        write("display write stores unmarked", 1, Qt::DisplayRole, 7, false, "7", "stored", 12);
        write("write to 1046 goes to the field", 2, Qt::EditRole, "new", true, "2.5", "new", 12);
        // Qt 5 converts the bytes to text before comparing; Qt 6 compares values of different types (numbers aside)
        // as different.
        const bool qt6 = QT_VERSION_MAJOR >= 6;
        write("edit of the same text as bytes", 2, Qt::EditRole, QByteArray("stored"), qt6, "2.5", "stored", 12);
        write("size hint sets the height", 0, Qt::SizeHintRole, 30, false, "2.5", "stored", 30);
        write("non-numeric size hint gives height 0", 0, Qt::SizeHintRole, "x", false, "2.5", "stored", 0);
        write("other role changes nothing", 1, Qt::ToolTipRole, 7, false, "2.5", "stored", 12);
    }

    void cellWrites()
    {
        QFETCH(int, column);
        QFETCH(int, role);
        QFETCH(QVariant, value);
        Grid grid(QStringLiteral("A"));
        QVERIFY(!grid.model.setData(grid.model.index(0, 1), value, Qt::EditRole, nullptr)); // no header
        QVERIFY(!grid.model.setData(grid.model.index(1, 1), value)); // no row
        QVERIFY(!grid.model.data(grid.model.index(0, 1), Qt::DisplayRole, nullptr).isValid());
        QVERIFY(grid.model.setData(grid.model.index(0, column), value, role));
        QVERIFY(!grid.topWork.getProjectWorkChanged());
        BaseDataItem* row = grid.rows.first();
        QTEST(grid.work.getProjectWorkChanged(), "changed");
        QTEST(row->getValue(QuantityField).toString(), "quantity");
        QTEST(row->getValue(BaseDataItemModel::CurIndexFieldNumber).toString(), "sequence");
        QTEST(double(row->getRowHeight()), "height");
    }

    void auditRoles()
    {
        Grid grid(QStringLiteral("A\nB"));
        const QModelIndex quantityA = grid.model.index(0, 1);
        const auto read = [&](int row, int column, int role) {
            return describe(grid.model.data(grid.model.index(row, column), role));
        };
        // No audit service.
        QCOMPARE(read(0, 1, Model::AuditIsSSRole), "bool false");
        QCOMPARE(read(0, 1, Model::AuditOpenRole), "bool false");
        QCOMPARE(read(0, 1, Model::AuditDifferenceRole), "QString ");
        QCOMPARE(read(0, 1, Model::AuditSSFocusedRowsRole), "invalid");
        AuditBusiness audit;
        grid.model.SetAudit(&audit);
        audit.SetSS(&grid.table, true);
        audit.SetSS(grid.rows.at(0), true);
        audit.SetSSFocusedRows({4});
        audit.SetDifference(grid.rows.at(0), QuantityField, {qint8(-3), QColor(Qt::red)});
        QCOMPARE(read(0, 1, Model::AuditIsSSRole), "bool true");
        QCOMPARE(read(0, 1, Model::AuditOpenRole), "bool false");
        QCOMPARE(read(0, 1, Model::AuditDifferenceRole), "QMap<int,QColor> ");
        QCOMPARE(read(0, 1, Model::AuditSSFocusedRowsRole), "QSet<int> ");
        audit.SetAuditOpen(&grid.table, true);
        // A cell without a difference.
        QCOMPARE(read(0, 0, Model::AuditIsSSRole), "bool true");
        QCOMPARE(read(0, 0, Model::AuditOpenRole), "bool true");
        QCOMPARE(read(0, 0, Model::AuditDifferenceRole), "QString ");
        QCOMPARE(read(0, 0, Model::AuditSSFocusedRowsRole), "QSet<int> ");
        // A row not under review.
        QCOMPARE(read(1, 1, Model::AuditIsSSRole), "bool true");
        QCOMPARE(read(1, 1, Model::AuditOpenRole), "bool true");
        QCOMPARE(read(1, 1, Model::AuditDifferenceRole), "QString ");
        QCOMPARE(read(1, 1, Model::AuditSSFocusedRowsRole), "invalid");

        // Receivers iterate the containers without knowing their types; the signed kind survives.
        QCOMPARE(grid.model.data(quantityA, Model::AuditDifferenceRole).value<QVariantHash>(),
                 QVariantHash({{"-3", QColor(Qt::red)}}));
        QCOMPARE(grid.model.data(quantityA, Model::AuditSSFocusedRowsRole).value<QVariantList>(), QVariantList{4});
    }

    void deepTreeWalks() // no recursion, and nothing quadratic in the depth
    {
        Grid grid(QStringLiteral("R\n-C*200000-"));
        QVector<int> levels{1, 5};
        grid.model.getParentLevelNeedDrawLine(200000, levels); // every ancestor's line ends here: the first 1 and 5 go
        QCOMPARE(levels, QVector<int>({5, 1}));
        QCOMPARE(grid.model.getChildrenItemCnt(0), 200000);
        QCOMPARE(grid.model.getChildrenItemCnt(1), 199999);
        QCOMPARE(grid.model.getChildrenItemCnt(200000), 0);
        QVERIFY(!grid.model.hasFoldParent(200000));
    }

    void overriddenParentIndexReachesTheOtherQueries()
    {
        Grid grid(QStringLiteral("T\n-G@5\n--P\n---R\n--Y@12\n-H"));
        NoParentsModel model;
        model.BindSrcData(&grid.rows);
        // For rows -1 to 6. The plain model answers isLastChild 1 1 0 0 1 1 1 1, lastFoldRowNumber of G 3 and
        // needFold(1, Y) false.
        QList<bool> lastChild, needFold;
        QList<int> levelCounts, lastFoldRows;
        for (int row = -1; row <= grid.rows.size(); ++row) {
            QVector<int> levels;
            model.getParentLevelNeedDrawLine(row, levels);
            lastChild.append(model.isLastChild(row));
            levelCounts.append(levels.size());
            lastFoldRows.append(model.lastFoldRowNumber(row));
            needFold.append(model.needFold(1, row));
        }
        QCOMPARE(lastChild, QList<bool>({true, true, true, true, true, true, true, true}));
        QCOMPARE(levelCounts, QList<int>({0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(lastFoldRows, QList<int>({-1, 5, 4, 3, -1, -1, -1, -1}));
        QCOMPARE(needFold, QList<bool>({true, true, true, true, true, true, true, false}));
    }

    void parentPositionsFollowTheList()
    {
        Grid grid(QStringLiteral("A\n-A1\nB\n-B1"));
        BaseDataItem* a = grid.tree.row(QStringLiteral("A"));
        grid.rows.swapItemsAt(0, 2); // B -A1 A -B1, not rebound: the stale position is caught
        QCOMPARE(grid.model.getParentIndex(1), 2);
        QCOMPARE(grid.model.GetRowByItem(grid.tree.row(QStringLiteral("B"))), 0);
        grid.rows.prepend(a); // A B -A1 A -B1, still not rebound: the first occurrence counts
        QCOMPARE(grid.model.GetRowByItem(a), 0);
        QCOMPARE(grid.model.getParentIndex(2), 0);
        QCOMPARE(grid.model.GetTreeBean(0), a);
    }

    void clickedCell_data()
    {
        QTest::addColumn<QString>("list"); // resolving, foreign (no key), empty; the settings hold (7,-3) for the key
        QTest::addColumn<Cell>("baseCell");
        QTest::addColumn<Cell>("cell"); // GetClickRow(false), GetClickCol(false)
        QTest::addColumn<Cell>("fromSettings"); // GetClickRow(true), GetClickCol(true)
        QTest::addColumn<Cell>("rowAndColumn"); // GetClickRowAndCol

        const auto click = [](const char* name, const char* list, Cell base, Cell cell, Cell fromSettings,
                              Cell rowAndColumn) {
            QTest::newRow(name) << QString(list) << base << cell << fromSettings << rowAndColumn;
        };
        click("empty list keeps a negative row", "empty", {-1, -2}, {-1, 0}, {-1, 0}, {-1, 0});
        click("list without a key clamps the row to 0", "foreign", {-1, -2}, {0, 0}, {0, 0}, {0, 0});
        click("list without a key: the base's cell", "foreign", {3, 1}, {3, 1}, {3, 1}, {3, 1});
        click("stored (7,-3) clamps the column only", "resolving", {1, 1}, {1, 1}, {7, 0}, {7, 0});
        click("the settings win over the base", "resolving", {0, 2}, {0, 2}, {7, 0}, {7, 0});
    }

    void clickedCell()
    {
        QFETCH(QString, list);
        QFETCH(Cell, baseCell);
        Grid grid(QStringLiteral("A\nB"));
        QList<BaseDataItem*> noRows;
        grid.model.BindSrcData(list == QLatin1String("empty") ? &noRows : &grid.rows);
        if (list == QLatin1String("foreign"))
            grid.table.setOwner(nullptr);
        grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(baseCell.first, baseCell.second);
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 7, -3);
        BaseDataItemModel& m = grid.model;
        QTEST(Cell(m.GetClickRow(false), m.GetClickCol(false)), "cell");
        QTEST(Cell(m.GetClickRow(true), m.GetClickCol(true)), "fromSettings");
        QTEST(m.GetClickRowAndCol(), "rowAndColumn");
    }

    void clickedCellWrites()
    {
        Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
        grid.model.SetClickRowAndCol(4, 1);
        QCOMPARE(grid.storedCell(), Cell(4, 1));
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 9, 9);
        grid.model.SetClickRow(4); // equal to memory: writes nothing
        QCOMPARE(grid.storedCell(), Cell(9, 9));
        grid.model.SetClickCol(2); // the row half comes from memory
        QCOMPARE(grid.storedCell(), Cell(4, 2));

        // Binding the same list again leaves a cell changed in between untouched.
        grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(1, 1);
        grid.model.BindSrcData(&grid.rows);
        QCOMPARE(grid.baseCell(), Cell(1, 1));
        // Another table's list brings its own cell; binding back restores this one unclamped.
        Grid other(QStringLiteral("X"), 2001);
        grid.model.BindSrcData(&other.rows);
        QCOMPARE(grid.baseCell(), Cell(0, 0)); // never stored
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 7, -3);
        grid.model.BindSrcData(&grid.rows);
        QCOMPARE(grid.baseCell(), Cell(7, -3));
        QCOMPARE(grid.storedCell(), Cell(7, -3)); // binding never writes
        QCOMPARE(other.storedCell(), Cell(0, 0));
        grid.model.BindSrcData(nullptr);
        QCOMPARE(grid.baseCell(), Cell(0, 0));
    }

    void foldSync()
    {
        Grid submitted(QStringLiteral("S\n-S1"));
        Grid reviewed(QStringLiteral("C\n-A-\n--A1\n-Y@7\n-Z@12"), 3004);
        AuditBusiness audit;
        audit.SetRelationItem(submitted.rows.at(0), reviewed.rows.at(0));
        submitted.model.SetAudit(&audit);
        reviewed.model.SetAudit(&audit);
        QSignalSpy submittedReset(&submitted.model, &QAbstractItemModel::modelReset);
        QSignalSpy reviewedReset(&reviewed.model, &QAbstractItemModel::modelReset);
        const QVariant sent = QVariant::fromValue<BaseDataItem*>(submitted.rows.at(0));
        {
            MessageCapture capture;
            audit.EmitSync(INT_MAX, 2, sent);
            audit.EmitSync(1, 0, sent);
            audit.EmitSync(INT_MAX, 1, QVariant::fromValue(static_cast<TreeBaseItem*>(submitted.rows.at(0))));
            audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(submitted.rows.at(1))); // no counterpart
            audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(nullptr));
            QCOMPARE(MessageCapture::messages.size(), 2); // both models warn
            QVERIFY(MessageCapture::messages.first().startsWith(NullRowWarning));
            QVERIFY(MessageCapture::messages.first().contains("BaseDataItemModel::"));
            QCOMPARE(submittedReset.count(), 0);
            QCOMPARE(reviewedReset.count(), 0);
            QCOMPARE(reviewed.hiddenRows(), "");
        }
        AuditBusiness other;
        reviewed.model.SetAudit(&other); // the old service no longer reaches the model
        audit.EmitSync(INT_MAX, 0, sent);
        QCOMPARE(submittedReset.count(), 1);
        QCOMPARE(reviewedReset.count(), 0);
        reviewed.model.SetAudit(&audit);
        std::make_unique<BaseDataItemModel>()->SetAudit(&audit); // dies while the service lives: no dangling connection
        QSignalSpy sync(&audit, &AuditBusiness::OnSync);
        submitted.rows.at(1)->setOwner(nullptr); // no table: no message
        submitted.model.setFold(1, false);

        submitted.model.setFold(0, false); // folds; in a table of type 3003-3006 the exempt rows Y and Z stay
        QCOMPARE(reviewed.hiddenRows(), "A A1");
        QCOMPARE(submitted.hiddenRows(), ""); // only counterparts change visibility
        QVERIFY(submitted.model.getFold(0));
        QVERIFY(!submitted.model.getFold(1));
        QCOMPARE(sync.count(), 1);
        QCOMPARE(submittedReset.count(), 2);
        QCOMPARE(reviewedReset.count(), 1);
        QVERIFY(!reviewed.rows.at(0)->getExpanded());
        QVERIFY(submitted.work.getProjectWorkChanged());
        QVERIFY(!submitted.topWork.getProjectWorkChanged());
        QVERIFY(!reviewed.work.getProjectWorkChanged());
    }

    void blockRows()
    {
        Grid grid(QStringLiteral("A\nB\nC"));
        for (int row : {0, 2, 3}) // 3 is past the end: nothing
            grid.model.setRowBlockSelect(row);
        QCOMPARE(grid.model.getAllBlockSelectionRows(), QList<int>({10, 12}));
        grid.model.resetRowBlockSelect(0);
        QCOMPARE(grid.model.getAllBlockSelectionRows(), QList<int>({12}));
        grid.rows.at(1)->SetBlock(1); // as block selection marks it
        grid.model.clearBlockSelect();
        QVERIFY(grid.model.getAllBlockSelectionRows().isEmpty());
        QVERIFY(!grid.rows.at(1)->IsBlock());
    }

    void usageCodes_data()
    {
        QTest::addColumn<int>("tableType"); // -1: the row has no table
        QTest::addColumn<int>("rowType");
        QTest::addColumn<int>("fieldNumber");
        QTest::addColumn<QString>("expected");
        const auto reported = [](int code) { return QStringLiteral("use %1 \"\", end %1 \"\"").arg(code); };

        QTest::newRow("1001, type 5, field 3") << 1001 << 5 << 3 << reported(87913779);
        QTest::newRow("field 40000 carries into bit 16") << 0 << 0 << 40000 << reported(70000);
        QTest::newRow("row without a table uses 0") << -1 << 1 << 2 << reported(0x01000002 + 30000);
        QTest::newRow("row type -1 is reported as 120") << 0 << -1 << 0 << reported(0x78000000 + 30000);
        QTest::newRow("2000 is not mapped") << 2000 << 0 << 0 << reported(0x00D00000 + 30000);
        QTest::newRow("2001 maps to 121") << 2001 << 0 << 0 << reported(0x00790000 + 30000);
        QTest::newRow("3004 maps to 184") << 3004 << 0 << 0 << reported(0x00B80000 + 30000);
        QTest::newRow("1999 maps to 1059, low 8 bits") << 1999 << 0 << 0 << reported(0x00230000 + 30000);
        QTest::newRow("field number keeps its low 16 bits") << 0 << 0 << 0x12345 << reported(0x2345 + 30000);
        QTest::newRow("row type 200 sets the sign bit") << 0 << 200 << 0 << reported(int(0xC8000000u + 30000u));
    }

    void usageCodes()
    {
        QFETCH(int, tableType);
        QFETCH(int, rowType);
        QFETCH(int, fieldNumber);
        QStringList reports;
        SharedInterface::setUsageHandler([&reports](bool ended, int code, const QString& name) {
            reports.append(QStringLiteral("%1 %2 \"%3\"").arg(ended ? "end" : "use").arg(code).arg(name));
        });
        Grid grid(QStringLiteral("A@%1").arg(rowType), qMax(tableType, 0));
        if (tableType < 0)
            grid.rows.first()->setOwner(nullptr);
        ReportingModel model; // unbound: any list is reported
        const Qtitan::HeaderItem header(fieldNumber);
        for (int row : {0, 1, -1})
            model.post2GoCode(row, &grid.rows, &header);
        model.post2GoCode(0, nullptr, &header);
        model.post2GoCode(0, &grid.rows, nullptr);
        SharedInterface::setUsageHandler({});
        QTEST(reports.join(QLatin1String(", ")), "expected");
    }
};

QTEST_MAIN(tst_BaseDataItemModel)
#include "tst_BaseDataItemModel.moc"
