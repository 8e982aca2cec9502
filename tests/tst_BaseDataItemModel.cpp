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
const QString NullRowWarning = QString::fromUtf8("warning itemviews.gridmodel \xE5\xAF\xB9\xE8\xB1\xA1 'item' \xE4\xB8\xBA Null BaseDataItemModel.cpp:line ");

/// Answers joined by spaces, so one comparison shows them all.
template <typename... Values>
QString joined(const Values&... values)
{
    return QStringList{QVariant(values).toString()...}.join(QLatin1Char(' '));
}
QString joined(const QPair<int, int>& cell) { return joined(cell.first, cell.second); }

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
            row->setLevel(row->getParent() ? row->getParent()->getLevel() + 1 : 0); // pre-order: the parent has its level
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
        model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(BaseDataItemModel::CurIndexFieldNumber, QStringLiteral("seq")));
        model.BindSrcData(&rows);
    }
    QString hiddenRows() const
    {
        QList<BaseDataItem*> hidden;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(hidden), [](BaseDataItem* row) { return !row->getVisible(); });
        return names(hidden);
    }
    QString storedCell() { return joined(project.GetGcSetting()->GetMapZxCurIndex(2, 31, table.getTableType())); }
    QString baseCell() { return joined(model.Qtitan::BaseTableModel::GetClickRow(false), model.Qtitan::BaseTableModel::GetClickCol(false)); }

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
        messages.append(QStringLiteral("%1 %2 %3 %4:%5 %6").arg(type == QtWarningMsg ? "warning" : "other", context.category, text,
            QString::fromUtf8(context.file).section(QLatin1Char('/'), -1), context.line > 0 ? "line" : "none", context.function));
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
        // The differential test asks an unbound model the row queries; these are the rest.
        QVERIFY(!model.GetBean(0) && !model.All() && model.GetRowByItem(&row) == -1 && model.getAllBlockSelectionRows().isEmpty());
        model.SetClickRowAndCol(3, 4); // kept in memory only
        QCOMPARE(joined(model.GetClickRow(true), model.GetClickCol(true), joined(model.GetClickRowAndCol()),
                        model.Qtitan::BaseTableModel::GetClickRow(false), model.Qtitan::BaseTableModel::GetClickCol(false)), "-1 -1 0 0 3 4");

        Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
        QVERIFY(grid.model.getExpandOrFlodChildren(INT_MAX, false).isEmpty() && grid.model.lastFoldRowNumber(INT_MAX) == -1);
        grid.rows.at(1)->setLevel(200000000); // as stored in a file: the grid paints it clamped, without overflow
        Qtitan::GridView view;
        view.setModel(&grid.model);
        view.setTreeColumn(0);
        QVERIFY(!view.grab().isNull());
        QCOMPARE(joined(grid.model.getCheckBoxState(-1), grid.model.getCheckBoxEnable(-1), grid.model.getCheckBoxState(2), grid.model.getCheckBoxEnable(2),
                        grid.model.getCheckBoxState(3), grid.model.getCheckBoxEnable(3), grid.model.getCheckBoxShowState(0)), "0 true 2 false 0 true false");
        MessageCapture capture;
        QVERIFY(!grid.model.getFold(5) && !grid.model.getBtnShowState(-1) && !grid.model.getFold(0) && grid.model.isLastChild(7));
        // Only the two queries the grid draws fold buttons with warn.
        QCOMPARE(MessageCapture::messages, QStringList({NullRowWarning + "virtual bool BaseDataItemModel::getFold(int)",
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
        QCOMPARE(joined(inserted.count(), grid.model.columnCount(), grid.model.headerData(1, Qt::Horizontal).toString(),
                        grid.model.headerData(0, Qt::Vertical).isValid()), "1 4 quantity false");
        QCOMPARE(tester.failures(), QStringList());
        QVERIFY(!grid.model.GetColumn(-1) && !grid.model.GetColumn(4) && !grid.model.GetColumn(QStringLiteral("Name")));
        QCOMPARE(joined(grid.model.GetColumn(1)->fieldNumber(), grid.model.GetColumn(QStringLiteral("name"))->fieldNumber()), "3 1"); // the first of two
        QCOMPARE(joined(int(grid.model.flags(QModelIndex())), int(grid.model.flags(grid.model.index(0, 0)))), "35 35");
        QCOMPARE(joined(grid.model.GetMaxLevel(), grid.model.getMaxLevel()), "0 2");
    }

    void cellReads_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("expected"); // columns name, quantity, 1046 of the first row

        QTest::newRow("display: fields, 1046 the current index") << 0 << int(Qt::DisplayRole) << "QString A | double 2.5 | int 10";
        QTest::newRow("edit reads the same") << 0 << int(Qt::EditRole) << "QString A | double 2.5 | int 10";
        QTest::newRow("mode 1: 1046 shows the stored value") << 1 << int(Qt::DisplayRole) << "QString A | double 2.5 | QString stored";
        QTest::newRow("mode 1 edit") << 1 << int(Qt::EditRole) << "QString A | double 2.5 | QString stored";
        QTest::newRow("mode 2: the base's answer") << 2 << int(Qt::DisplayRole) << "invalid | invalid | invalid";
        QTest::newRow("size hint: the row height as a double") << 0 << int(Qt::SizeHintRole) << "double 12 | double 12 | double 12";
    }

    void cellReads()
    {
        QFETCH(int, mode);
        QFETCH(int, role);
        Grid grid(QStringLiteral("A\nB"));
        grid.model.SetDataMode(mode);
        const auto cell = [&](int column) { return describe(grid.model.data(grid.model.index(0, column), role)); };
        QTEST(cell(0) + " | " + cell(1) + " | " + cell(2), "expected");
        QVERIFY(!grid.model.data(grid.model.index(2, 1), role).isValid());
    }

    void cellWrites_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("rowAfter"); // project changed, quantity, 1046 value, height

        QTest::newRow("edit of a new value marks the project") << 1 << int(Qt::EditRole) << QVariant(7) << "true 7 stored 12";
        QTest::newRow("edit of an equal value stores it unmarked") << 1 << int(Qt::EditRole) << QVariant(2.5) << "false 2.5 stored 12";
        QTest::newRow("display write stores unmarked") << 1 << int(Qt::DisplayRole) << QVariant(7) << "false 7 stored 12";
        QTest::newRow("write to 1046 goes to the field") << 2 << int(Qt::EditRole) << QVariant("new") << "true 2.5 new 12";
        // Qt 5 converts the bytes to text before comparing; Qt 6 compares values of different types (numbers aside) as different.
        QTest::newRow("edit of the same text as bytes") << 2 << int(Qt::EditRole) << QVariant(QByteArray("stored"))
                                                        << (QT_VERSION_MAJOR < 6 ? "false 2.5 stored 12" : "true 2.5 stored 12");
        QTest::newRow("size hint sets the height") << 0 << int(Qt::SizeHintRole) << QVariant(30) << "false 2.5 stored 30";
        QTest::newRow("non-numeric size hint gives height 0") << 0 << int(Qt::SizeHintRole) << QVariant("x") << "false 2.5 stored 0";
        QTest::newRow("other role changes nothing") << 1 << int(Qt::ToolTipRole) << QVariant(7) << "false 2.5 stored 12";
    }

    void cellWrites()
    {
        QFETCH(int, column);
        QFETCH(int, role);
        QFETCH(QVariant, value);
        Grid grid(QStringLiteral("A"));
        QVERIFY(!grid.model.setData(grid.model.index(0, 1), value, Qt::EditRole, nullptr) && !grid.model.setData(grid.model.index(1, 1), value)
                && !grid.model.data(grid.model.index(0, 1), Qt::DisplayRole, nullptr).isValid()); // no header, no row
        QVERIFY(grid.model.setData(grid.model.index(0, column), value, role) && !grid.topWork.getProjectWorkChanged());
        BaseDataItem* row = grid.rows.first();
        QTEST(joined(grid.work.getProjectWorkChanged(), row->getValue(QuantityField), row->getValue(BaseDataItemModel::CurIndexFieldNumber),
                     row->getRowHeight()), "rowAfter");
    }

    void auditRoles()
    {
        Grid grid(QStringLiteral("A\nB"));
        const QModelIndex quantityA = grid.model.index(0, 1);
        const auto allRoles = [&](const QModelIndex& index) {
            QStringList answers;
            for (int role : {BaseDataItemModel::AuditIsSSRole, BaseDataItemModel::AuditOpenRole, BaseDataItemModel::AuditDifferenceRole, BaseDataItemModel::AuditSSFocusedRowsRole})
                answers.append(describe(grid.model.data(index, role)));
            return answers.join(" | ");
        };
        QCOMPARE(allRoles(quantityA), "bool false | bool false | QString  | invalid"); // no audit service
        AuditBusiness audit;
        grid.model.SetAudit(&audit);
        audit.SetSS(&grid.table, true);
        audit.SetSS(grid.rows.at(0), true);
        audit.SetSSFocusedRows({4});
        audit.SetDifference(grid.rows.at(0), QuantityField, {qint8(-3), QColor(Qt::red)});
        QCOMPARE(allRoles(quantityA), "bool true | bool false | QMap<int,QColor>  | QSet<int> ");
        audit.SetAuditOpen(&grid.table, true); // below: a cell without a difference, a row not under review
        QCOMPARE(allRoles(grid.model.index(0, 0)) + " / " + allRoles(grid.model.index(1, 1)),
                 "bool true | bool true | QString  | QSet<int>  / bool true | bool true | QString  | invalid");

        // Receivers iterate the containers without knowing their types; the signed kind survives.
        QCOMPARE(grid.model.data(quantityA, BaseDataItemModel::AuditDifferenceRole).value<QVariantHash>(), QVariantHash({{"-3", QColor(Qt::red)}}));
        QCOMPARE(grid.model.data(quantityA, BaseDataItemModel::AuditSSFocusedRowsRole).value<QVariantList>(), QVariantList{4});
    }

    void deepTreeWalks() // no recursion, and nothing quadratic in the depth
    {
        Grid grid(QStringLiteral("R\n-C*200000-"));
        QVector<int> levels{1, 5};
        grid.model.getParentLevelNeedDrawLine(200000, levels); // every ancestor's line ends here: the first 1 and 5 go
        QCOMPARE(joined(grid.model.getChildrenItemCnt(0), grid.model.getChildrenItemCnt(1), grid.model.getChildrenItemCnt(200000),
                        grid.model.hasFoldParent(200000), levels.size(), levels.value(0), levels.value(1)), "200000 199999 0 false 2 5 1");
    }

    void overriddenParentIndexReachesTheOtherQueries()
    {
        Grid grid(QStringLiteral("T\n-G@5\n--P\n---R\n--Y@12\n-H"));
        NoParentsModel model;
        model.BindSrcData(&grid.rows);
        QStringList answers; // the plain model: isLastChild "1 1 0 0 1 1 1 1", lastFoldRowNumber of G 3, needFold(1, Y) false
        for (int row = -1; row <= grid.rows.size(); ++row) {
            QVector<int> levels;
            model.getParentLevelNeedDrawLine(row, levels);
            answers.append(joined(model.isLastChild(row), levels.size(), model.lastFoldRowNumber(row), model.needFold(1, row)));
        }
        QCOMPARE(answers.join(" / "), "true 0 -1 true / true 0 5 true / true 0 4 true / true 0 3 true / true 0 -1 true / "
                                      "true 0 -1 true / true 0 -1 true / true 0 -1 false");
    }

    void parentPositionsFollowTheList()
    {
        Grid grid(QStringLiteral("A\n-A1\nB\n-B1"));
        BaseDataItem* a = grid.tree.row(QStringLiteral("A"));
        grid.rows.swapItemsAt(0, 2); // B -A1 A -B1, not rebound: the stale position is caught
        QCOMPARE(joined(grid.model.getParentIndex(1), grid.model.GetRowByItem(grid.tree.row(QStringLiteral("B")))), "2 0");
        grid.rows.prepend(a); // A B -A1 A -B1, still not rebound: the first occurrence counts
        QCOMPARE(joined(grid.model.GetRowByItem(a), grid.model.getParentIndex(2)), "0 0");
        QCOMPARE(grid.model.GetTreeBean(0), a);
    }

    void clickedCell_data()
    {
        QTest::addColumn<QString>("list"); // resolving, foreign (no key), empty; the settings hold (7,-3) for the key
        QTest::addColumn<QPoint>("baseCell"); // (row, column)
        QTest::addColumn<QString>("expected"); // GetClickRow(false) (true), GetClickCol(false) (true), GetClickRowAndCol

        QTest::newRow("empty list keeps a negative row") << "empty" << QPoint(-1, -2) << "-1 -1 0 0 -1 0";
        QTest::newRow("list without a key clamps the row to 0") << "foreign" << QPoint(-1, -2) << "0 0 0 0 0 0";
        QTest::newRow("list without a key: the base's cell") << "foreign" << QPoint(3, 1) << "3 3 1 1 3 1";
        QTest::newRow("stored (7,-3) clamps the column only") << "resolving" << QPoint(1, 1) << "1 7 1 0 7 0";
        QTest::newRow("the settings win over the base") << "resolving" << QPoint(0, 2) << "0 7 2 0 7 0";
    }

    void clickedCell()
    {
        QFETCH(QString, list);
        QFETCH(QPoint, baseCell);
        Grid grid(QStringLiteral("A\nB"));
        QList<BaseDataItem*> noRows;
        grid.model.BindSrcData(list == QLatin1String("empty") ? &noRows : &grid.rows);
        if (list == QLatin1String("foreign"))
            grid.table.setOwner(nullptr);
        grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(baseCell.x(), baseCell.y());
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 7, -3);
        BaseDataItemModel& m = grid.model;
        QTEST(joined(m.GetClickRow(false), m.GetClickRow(true), m.GetClickCol(false), m.GetClickCol(true), joined(m.GetClickRowAndCol())), "expected");
    }

    void clickedCellWrites()
    {
        Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
        grid.model.SetClickRowAndCol(4, 1);
        QCOMPARE(grid.storedCell(), "4 1");
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 9, 9);
        grid.model.SetClickRow(4); // equal to memory: writes nothing
        QCOMPARE(grid.storedCell(), "9 9");
        grid.model.SetClickCol(2); // the row half comes from memory
        QCOMPARE(grid.storedCell(), "4 2");

        // Binding the same list again leaves a cell changed in between untouched.
        grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(1, 1);
        grid.model.BindSrcData(&grid.rows);
        QCOMPARE(grid.baseCell(), "1 1");
        // Another table's list brings its own cell; binding back restores this one unclamped.
        Grid other(QStringLiteral("X"), 2001);
        grid.model.BindSrcData(&other.rows);
        QCOMPARE(grid.baseCell(), "0 0"); // never stored
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 7, -3);
        grid.model.BindSrcData(&grid.rows);
        QCOMPARE(grid.baseCell() + " / " + grid.storedCell() + " / " + other.storedCell(), "7 -3 / 7 -3 / 0 0"); // binding never writes
        grid.model.BindSrcData(nullptr);
        QCOMPARE(grid.baseCell(), "0 0");
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
            QCOMPARE(joined(MessageCapture::messages.size(), submittedReset.count(), reviewedReset.count(), reviewed.hiddenRows()), "2 0 0 "); // both models warn
            QVERIFY(MessageCapture::messages.first().startsWith(NullRowWarning) && MessageCapture::messages.first().contains("BaseDataItemModel::"));
        }
        AuditBusiness other;
        reviewed.model.SetAudit(&other); // the old service no longer reaches the model
        audit.EmitSync(INT_MAX, 0, sent);
        QCOMPARE(joined(submittedReset.count(), reviewedReset.count()), "1 0");
        reviewed.model.SetAudit(&audit);
        std::make_unique<BaseDataItemModel>()->SetAudit(&audit); // dies while the service lives: no dangling connection
        QSignalSpy sync(&audit, &AuditBusiness::OnSync);
        submitted.rows.at(1)->setOwner(nullptr); // no table: no message
        submitted.model.setFold(1, false);

        submitted.model.setFold(0, false); // folds; in a table of type 3003-3006 the exempt rows Y and Z stay
        QCOMPARE(joined(reviewed.hiddenRows(), submitted.model.getFold(0), submitted.model.getFold(1), submitted.hiddenRows(), sync.count(),
                        submittedReset.count(), reviewedReset.count(), reviewed.rows.at(0)->getExpanded()),
                 "A A1 true false  1 2 1 false"); // only counterparts change visibility
        QVERIFY(submitted.work.getProjectWorkChanged() && !submitted.topWork.getProjectWorkChanged() && !reviewed.work.getProjectWorkChanged());
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
        QVERIFY(grid.model.getAllBlockSelectionRows().isEmpty() && !grid.rows.at(1)->IsBlock());
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
