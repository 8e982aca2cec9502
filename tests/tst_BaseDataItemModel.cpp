#include "TestHelpers.h"

#include <AuditBusiness.h>
#include <BaseDataItemModel.h>
#include <ConstructionWorks.h>
#include <HeaderItem.h>
#include <ProjectWorks.h>
#include <SharedInterface.h>
#include <TableBaseObject.h>
#include <TableHeaderColumn.h>

#include <QAssociativeIterable>
#include <QRegularExpression>
#include <QSequentialIterable>
#include <QSignalSpy>
#include <QTest>

#include <climits>

// A payload of the wrong pointer type, as a careless sender would make it.
Q_DECLARE_METATYPE(TreeBaseItem*)

namespace {
constexpr int NameField = 1;
constexpr int QuantityField = 3;

// Strips "@<row type>" suffixes from an outline, remembering each row's type.
QString stripRowTypes(const QString& outline, QHash<QString, int>* types)
{
    static const QRegularExpression typed(QStringLiteral("([A-Za-z0-9]+)@(-?\\d+)"));
    QString plain = outline;
    for (auto match = typed.globalMatch(outline); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        types->insert(m.captured(1), m.captured(2).toInt());
    }
    return plain.replace(typed, QStringLiteral("\\1"));
}

/*!
 * A table of one work of one project, its rows built from an outline (see
 * TreeFixture; "@5" after a name sets the row type), bound to a grid model with
 * the columns name (1), quantity (3, audit attributes 7 and 8) and sequence (1046).
 * Levels follow the depth; current indexes are 10 + position.
 */
struct Grid
{
    explicit Grid(const QString& outline, int tableType = 1001)
        : tree(stripRowTypes(outline, &types))
        , rows(tree.rows())
    {
        work.setOwner(&project);
        work.SetXmWorks(&topWork);
        work.setNodeId(31);
        work.setAuditId(2);
        table.setOwner(&work);
        table.setTableType(tableType);
        for (int position = 0; position < rows.size(); ++position)
            describe(static_cast<NamedRow*>(rows.at(position)), position);
        auto* columns = model.getHeaderColumn();
        columns->addHeaderItem(new Qtitan::HeaderItem(NameField, QStringLiteral("name")));
        columns->addHeaderItem(new Qtitan::HeaderItem(QuantityField, QStringLiteral("quantity"), 7, 8));
        columns->addHeaderItem(new Qtitan::HeaderItem(BaseDataItemModel::CurIndexFieldNumber, QStringLiteral("seq")));
        model.BindSrcData(&rows);
    }

    void describe(NamedRow* row, int position)
    {
        int level = 0;
        for (TreeBaseItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
            ++level;
        row->setLevel(level);
        row->setRowType(types.value(row->name()));
        row->setCurIndex(10 + position);
        row->setOwner(&table);
    }

    int rowOf(const QString& name) const
    {
        return name.startsWith(QLatin1Char('#')) ? name.mid(1).toInt() : rows.indexOf(tree.row(name));
    }
    BaseDataItem* item(const QString& name) const { return tree.row(name); }
    QString hiddenRows() const
    {
        QList<BaseDataItem*> hidden;
        for (BaseDataItem* row : rows) {
            if (!row->getVisible())
                hidden.append(row);
        }
        return names(hidden);
    }
    QString namesAt(const QVector<int>& positions) const
    {
        QList<BaseDataItem*> picked;
        for (int position : positions)
            picked.append(rows.value(position));
        return names(picked);
    }

    ProjectWorks project;
    ConstructionWorks topWork;
    WorkBaseObject work;
    TableBaseObject table;
    QHash<QString, int> types;
    TreeFixture tree;
    QList<BaseDataItem*> rows;
    BaseDataItemModel model;
};

struct LoggedMessage
{
    QtMsgType type;
    QString text;
    QString file;
    int line;
    QString function;
};

/// Records every message logged while it lives (nothing reaches the console).
class MessageCapture
{
public:
    MessageCapture()
    {
        s_active = this;
        m_previous = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_active = nullptr;
    }
    QList<LoggedMessage> messages;

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        s_active->messages.append({type, text, QString::fromUtf8(context.file), context.line,
                                   QString::fromUtf8(context.function)});
    }
    static inline MessageCapture* s_active = nullptr;
    QtMessageHandler m_previous = nullptr;
};

/// Exposes the protected usage report.
class ReportingModel : public BaseDataItemModel
{
public:
    using BaseDataItemModel::post2GoCode;
};

/// A host subclass that knows no parents: every query built on getParentIndex must follow it.
class NoParentsModel : public BaseDataItemModel
{
public:
    int getParentIndex(int) override { return -1; }
};

QString ask(BaseDataItemModel& model, const QString& query, int row)
{
    if (query == QLatin1String("getParentIndex"))
        return QString::number(model.getParentIndex(row));
    if (query == QLatin1String("getItemLevel"))
        return QString::number(model.getItemLevel(row));
    if (query == QLatin1String("isLastChild"))
        return model.isLastChild(row) ? QStringLiteral("true") : QStringLiteral("false");
    if (query == QLatin1String("hasFoldParent"))
        return model.hasFoldParent(row) ? QStringLiteral("true") : QStringLiteral("false");
    if (query == QLatin1String("hasNotFlodChild"))
        return model.hasNotFlodChild(row) ? QStringLiteral("true") : QStringLiteral("false");
    if (query == QLatin1String("needFold(parent)"))
        return model.needFold(model.getParentIndex(row), row) ? QStringLiteral("true") : QStringLiteral("false");
    if (query == QLatin1String("needFold(-1)"))
        return model.needFold(-1, row) ? QStringLiteral("true") : QStringLiteral("false");
    if (query == QLatin1String("lastFoldRowNumber"))
        return QString::number(model.lastFoldRowNumber(row));
    if (query == QLatin1String("getChildrenItemCnt"))
        return QString::number(model.getChildrenItemCnt(row));
    if (query == QLatin1String("check box state enable shown"))
        return QStringLiteral("%1 %2 %3").arg(model.getCheckBoxState(row)).arg(model.getCheckBoxEnable(row)).arg(model.getCheckBoxShowState(row));
    // "lines" or "lines after 1 5": the output vector is appended to, never cleared.
    QVector<int> levels{99};
    if (query.startsWith(QLatin1String("lines after ")))
        levels = {1, 5};
    model.getParentLevelNeedDrawLine(row, levels);
    QStringList parts;
    for (int level : levels)
        parts.append(QString::number(level));
    return parts.join(QLatin1Char(' '));
}
} // namespace

class tst_BaseDataItemModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unboundModelAnswersNeutrally();
    void modelTesterAcceptsTheGrid();
    void cellReads_data();
    void cellReads();
    void cellWrites_data();
    void cellWrites();
    void auditRoles();
    void columns();
    void treeQueries_data();
    void treeQueries();
    void overriddenParentIndexReachesTheOtherQueries();
    void parentPositionsFollowTheList();
    void foldAndUnfold_data();
    void foldAndUnfold();
    void setFoldMarksTheTablesWorkAndAnnounces();
    void badRowsLogTheNullRowWarning();
    void clickedCell_data();
    void clickedCell();
    void clickedCellWrites();
    void foldSync_data();
    void foldSync();
    void foldSyncIgnoresOtherMessages();
    void foldSyncEndsWithTheModel();
    void blockRows();
    void usageCodes_data();
    void usageCodes();
};

void tst_BaseDataItemModel::unboundModelAnswersNeutrally()
{
    BaseDataItemModel model;
    model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(NameField, QStringLiteral("name")));
    BaseDataItem row;
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.data(model.index(0, 0)).isValid());
    QVERIFY(!model.setData(model.index(0, 0), 1));
    QVERIFY(!model.GetBean(0));
    QCOMPARE(model.GetRowByItem(&row), -1);
    QVERIFY(!model.All());
    QCOMPARE(model.getParentIndex(0), -1);
    QCOMPARE(model.lastFoldRowNumber(0), -1);
    QVERIFY(model.getExpandOrFlodChildren(0, true).isEmpty());
    QVERIFY(model.getAllBlockSelectionRows().isEmpty());
    QCOMPARE(model.GetClickRow(true), -1);
    QCOMPARE(model.GetClickCol(true), -1);
    QCOMPARE(model.GetClickRowAndCol(), qMakePair(0, 0));
    model.SetClickRowAndCol(3, 4); // kept in memory only
    QCOMPARE(model.Qtitan::BaseTableModel::GetClickRowAndCol(), qMakePair(3, 4));
}

void tst_BaseDataItemModel::modelTesterAcceptsTheGrid()
{
    Grid grid(QStringLiteral("A\n-A1\nB"));
    grid.rows.first()->setRowHeight(24);
    // The grid model answers flags 35 for the invalid index, passes row heights through
    // as a double, and ignores the parent in rowCount (so the tester's child walk fails).
    const QStringList tolerated{Tolerated::flagsOfInvalidIndex, Tolerated::doubleSizeHint,
                                QStringLiteral("FAIL! childIndex.isValid() ")};
    QVERIFY(Tolerated::flatRowCountIgnoresParent.contains(tolerated.last()));
    ToleratedModelTester tester(&grid.model, tolerated);
    QSignalSpy inserted(&grid.model, &QAbstractItemModel::columnsInserted);
    grid.model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(9, QStringLiteral("extra")));
    grid.model.UpdateData();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(grid.model.columnCount(), 4);
    QCOMPARE(grid.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("quantity"));
    QVERIFY(!grid.model.headerData(0, Qt::Vertical).isValid());
    QCOMPARE(tester.failures(), QStringList());
}

void tst_BaseDataItemModel::cellReads_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("field value") << 0 << 1 << int(Qt::DisplayRole) << QVariant(2.5);
    QTest::newRow("edit role reads the field too") << 0 << 1 << int(Qt::EditRole) << QVariant(2.5);
    QTest::newRow("1046 shows the current index, not the stored value") << 0 << 2 << int(Qt::DisplayRole) << QVariant(10);
    QTest::newRow("mode 1: 1046 shows the stored value") << 1 << 2 << int(Qt::DisplayRole) << QVariant(QStringLiteral("stored"));
    QTest::newRow("mode 1: other fields as in mode 0") << 1 << 1 << int(Qt::EditRole) << QVariant(2.5);
    QTest::newRow("mode 2: the base's answer") << 2 << 1 << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("size hint of an unset height") << 0 << 0 << int(Qt::SizeHintRole) << QVariant(-1.0);
    QTest::newRow("no audit service: is-SS false") << 0 << 1 << int(BaseDataItemModel::AuditIsSSRole) << QVariant(false);
    QTest::newRow("no audit service: open false") << 0 << 1 << int(BaseDataItemModel::AuditOpenRole) << QVariant(false);
    QTest::newRow("no audit service: difference is an empty string") << 0 << 1 << int(BaseDataItemModel::AuditDifferenceRole) << QVariant(QStringLiteral(""));
    QTest::newRow("no audit service: focused rows invalid") << 0 << 1 << int(BaseDataItemModel::AuditSSFocusedRowsRole) << QVariant();
}

void tst_BaseDataItemModel::cellReads()
{
    QFETCH(int, mode);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    Grid grid(QStringLiteral("A\nB"));
    grid.rows.first()->setValue(QuantityField, 2.5);
    grid.rows.first()->setValue(BaseDataItemModel::CurIndexFieldNumber, QStringLiteral("stored"));
    grid.model.SetDataMode(mode);
    const QVariant answer = grid.model.data(grid.model.index(0, column), role);
    QCOMPARE(answer.isValid(), expected.isValid());
    QCOMPARE(answer.userType(), expected.userType());
    QCOMPARE(answer, expected);
}

void tst_BaseDataItemModel::cellWrites_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("projectChanged");
    QTest::addColumn<QString>("rowAfter"); // quantity, 1046 value, height

    QTest::newRow("edit of a new value marks the project") << 1 << int(Qt::EditRole) << QVariant(7) << true << "7 stored 0";
    QTest::newRow("edit of an equal value stores it unmarked") << 1 << int(Qt::EditRole) << QVariant(2.5) << false << "2.5 stored 0";
    QTest::newRow("display write stores unmarked") << 1 << int(Qt::DisplayRole) << QVariant(7) << false << "7 stored 0";
    QTest::newRow("write to 1046 goes to the field") << 2 << int(Qt::EditRole) << QVariant(QStringLiteral("new")) << true << "2.5 new 0";
    QTest::newRow("size hint sets the height") << 0 << int(Qt::SizeHintRole) << QVariant(30) << false << "2.5 stored 30";
    QTest::newRow("non-numeric size hint gives height 0") << 0 << int(Qt::SizeHintRole) << QVariant(QStringLiteral("x")) << false << "2.5 stored 0";
    QTest::newRow("other role changes nothing") << 1 << int(Qt::ToolTipRole) << QVariant(7) << false << "2.5 stored 12";
}

void tst_BaseDataItemModel::cellWrites()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, projectChanged);
    QFETCH(QString, rowAfter);
    Grid grid(QStringLiteral("A"));
    BaseDataItem* row = grid.rows.first();
    row->setValue(QuantityField, 2.5);
    row->setValue(BaseDataItemModel::CurIndexFieldNumber, QStringLiteral("stored"));
    row->setRowHeight(role == Qt::ToolTipRole ? 12 : 0);
    QVERIFY(grid.model.setData(grid.model.index(0, column), value, role));
    QCOMPARE(grid.work.getProjectWorkChanged(), projectChanged);
    QCOMPARE(grid.topWork.getProjectWorkChanged(), false);
    const QString actual = QStringList{row->getValue(QuantityField).toString(),
                                       row->getValue(BaseDataItemModel::CurIndexFieldNumber).toString(),
                                       QString::number(row->getRowHeight())}.join(QLatin1Char(' '));
    QCOMPARE(actual, rowAfter);
    QVERIFY(!grid.model.setData(grid.model.index(0, 1), value, Qt::EditRole, nullptr));
    QVERIFY(!grid.model.data(grid.model.index(0, 1), Qt::DisplayRole, nullptr).isValid());
}

void tst_BaseDataItemModel::auditRoles()
{
    Grid grid(QStringLiteral("A\nB"));
    AuditBusiness audit;
    grid.model.SetAudit(&audit);
    BaseDataItem* rowA = grid.rows.at(0);
    audit.SetSS(&grid.table, true);
    audit.SetSS(rowA, true);
    audit.SetSSFocusedRows({4, 9});
    audit.SetDifference(rowA, QuantityField, {qint8(-3), QColor(Qt::red)});
    const QModelIndex quantityA = grid.model.index(0, 1);
    QCOMPARE(grid.model.data(quantityA, BaseDataItemModel::AuditIsSSRole), QVariant(true));
    QCOMPARE(grid.model.data(quantityA, BaseDataItemModel::AuditOpenRole), QVariant(false));

    // Receivers iterate the containers without knowing their types.
    const QVariant difference = grid.model.data(quantityA, BaseDataItemModel::AuditDifferenceRole);
    QCOMPARE(QMetaType::typeName(difference.userType()), "QMap<int,QColor>");
    QVERIFY(difference.canConvert<QVariantHash>());
    const QAssociativeIterable marks = difference.value<QAssociativeIterable>();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks.begin().key().toInt(), -3); // the signed kind survives
    QCOMPARE(marks.begin().value().value<QColor>(), QColor(Qt::red));
    QCOMPARE(grid.model.data(grid.model.index(0, 0), BaseDataItemModel::AuditDifferenceRole), QVariant(QStringLiteral("")));

    const QVariant focused = grid.model.data(quantityA, BaseDataItemModel::AuditSSFocusedRowsRole);
    QVERIFY(focused.canConvert<QVariantList>());
    QSet<int> focusedRows;
    for (const QVariant& focusedRow : focused.value<QSequentialIterable>())
        focusedRows.insert(focusedRow.toInt());
    QCOMPARE(focusedRows, QSet<int>({4, 9}));
    QVERIFY(!grid.model.data(grid.model.index(1, 1), BaseDataItemModel::AuditSSFocusedRowsRole).isValid());
    audit.SetAuditOpen(&grid.table, true);
    QCOMPARE(grid.model.data(quantityA, BaseDataItemModel::AuditOpenRole), QVariant(true));
}

void tst_BaseDataItemModel::columns()
{
    Grid grid(QStringLiteral("A"));
    grid.model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(8, QStringLiteral("name")));
    QCOMPARE(grid.model.GetColumn(-1), nullptr);
    QCOMPARE(grid.model.GetColumn(4), nullptr);
    QCOMPARE(grid.model.GetColumn(1)->fieldNumber(), QuantityField);
    QCOMPARE(grid.model.GetColumn(QStringLiteral("name"))->fieldNumber(), NameField); // the first of two
    QCOMPARE(grid.model.GetColumn(QStringLiteral("Name")), nullptr);
    QCOMPARE(int(grid.model.flags(QModelIndex())), 35);
    QCOMPARE(int(grid.model.flags(grid.model.index(0, 0))), 35);
    QCOMPARE(grid.model.GetMaxLevel(), 0);
    QCOMPARE(grid.model.getMaxLevel(), 2);
}

void tst_BaseDataItemModel::treeQueries_data()
{
    QTest::addColumn<QString>("outline");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<QString>("expected");

    // P is G's last child, G is not T's last child: only T's line passes R.
    const QString lines = QStringLiteral("T\n-G\n--P\n---R\n-H");
    QTest::newRow("tree lines of R under T, G, P") << lines << "lines" << "R" << "99 0";
    QTest::newRow("tree lines: the first equal level is removed") << lines << "lines after 1 5" << "R" << "5 1 0";
    QTest::newRow("tree lines of a top-level row") << lines << "lines" << "T" << "99";
    QTest::newRow("tree lines of row -1") << lines << "lines" << "#-1" << "99";
    QTest::newRow("tree lines under a non-last child") << QStringLiteral("T\n-G\n--P\n---R\n--Q\n-H") << "lines" << "R" << "99 1 0";
    QTest::newRow("parent of R") << lines << "getParentIndex" << "R" << "2";
    QTest::newRow("parent of a top-level row") << lines << "getParentIndex" << "T" << "-1";
    QTest::newRow("parent of a row past the end") << lines << "getParentIndex" << "#5" << "-1";
    QTest::newRow("level of R") << lines << "getItemLevel" << "R" << "3";
    QTest::newRow("level of row -1") << lines << "getItemLevel" << "#-1" << "-1";
    QTest::newRow("top-level row is a last child") << lines << "isLastChild" << "T" << "true";
    QTest::newRow("G followed by its sibling H") << lines << "isLastChild" << "G" << "false";
    QTest::newRow("last in its parent's list though rows follow") << lines << "isLastChild" << "P" << "true";
    QTest::newRow("out of range is a last child") << lines << "isLastChild" << "#-1" << "true";
    QTest::newRow("no fold parent for a top-level row") << lines << "hasFoldParent" << "T" << "false";
    QTest::newRow("expanded ancestor below the top") << lines << "hasFoldParent" << "R" << "true";
    QTest::newRow("only collapsed ancestors below the top") << QStringLiteral("T\n-G-\n--P-\n---R") << "hasFoldParent" << "R" << "false";
    QTest::newRow("the top-level ancestor is never asked") << QStringLiteral("T+\n-G") << "hasFoldParent" << "G" << "false";
    QTest::newRow("group row ending in a type 7 child") << QStringLiteral("G@5\n-X\n-Y@7") << "hasNotFlodChild" << "G" << "true";
    QTest::newRow("group row ending in an ordinary child") << QStringLiteral("G@5\n-Y@7\n-X") << "hasNotFlodChild" << "G" << "false";
    QTest::newRow("non-group row ending in type 12") << QStringLiteral("G@4\n-Y@12") << "hasNotFlodChild" << "G" << "false";
    QTest::newRow("hasNotFlodChild out of range") << lines << "hasNotFlodChild" << "#9" << "true";
    QTest::newRow("type 12 child of a group does not fold") << QStringLiteral("G@5\n-Y@12") << "needFold(parent)" << "Y" << "false";
    QTest::newRow("type 12 child of a non-group folds") << QStringLiteral("G@4\n-Y@12") << "needFold(parent)" << "Y" << "true";
    QTest::newRow("needFold(-1) of a top-level row") << lines << "needFold(-1)" << "T" << "true";
    QTest::newRow("needFold past the end") << lines << "needFold(-1)" << "#5" << "false";
    QTest::newRow("descendant count") << lines << "getChildrenItemCnt" << "G" << "2";
    QTest::newRow("trailing exempt children stay out of the fold") << QStringLiteral("G@5\n-A\n--A1\n-Y@12\n-X@7\nN") << "lastFoldRowNumber" << "G" << "2";
    QTest::newRow("exempt children before another child fold") << QStringLiteral("G@5\n-Y@12\n-X@7\n-A") << "lastFoldRowNumber" << "G" << "3";
    QTest::newRow("exempt grandchildren at the end fold") << QStringLiteral("G@5\n-A\n--Y@12") << "lastFoldRowNumber" << "G" << "2";
    QTest::newRow("only exempt children") << QStringLiteral("G@5\n-Y@12\n-X@7") << "lastFoldRowNumber" << "G" << "-1";
    QTest::newRow("no descendants") << lines << "lastFoldRowNumber" << "H" << "-1";
    QTest::newRow("even row: checked, not enabled") << lines << "check box state enable shown" << "#2" << "2 0 0";
    QTest::newRow("odd row: unchecked, enabled") << lines << "check box state enable shown" << "#3" << "0 1 0";
    QTest::newRow("negative odd row: unchecked, enabled") << lines << "check box state enable shown" << "#-3" << "0 1 0";
    QTest::newRow("negative even row: checked") << lines << "check box state enable shown" << "#-2" << "2 0 0";
}

void tst_BaseDataItemModel::treeQueries()
{
    QFETCH(QString, outline);
    QFETCH(QString, query);
    QFETCH(QString, rowName);
    QFETCH(QString, expected);
    Grid grid(outline);
    QCOMPARE(ask(grid.model, query, grid.rowOf(rowName)), expected);
}

void tst_BaseDataItemModel::overriddenParentIndexReachesTheOtherQueries()
{
    Grid grid(QStringLiteral("T\n-G@5\n--P\n---R\n--Y@12\n-H"));
    NoParentsModel model;
    model.BindSrcData(&grid.rows);
    const int g = grid.rowOf(QStringLiteral("G"));
    QCOMPARE(grid.model.isLastChild(g), false);
    QCOMPARE(model.isLastChild(g), true);
    QCOMPARE(ask(grid.model, QStringLiteral("lines"), grid.rowOf(QStringLiteral("R"))), QStringLiteral("99 1 0"));
    QCOMPARE(ask(model, QStringLiteral("lines"), grid.rowOf(QStringLiteral("R"))), QStringLiteral("99"));
    QCOMPARE(grid.model.lastFoldRowNumber(g), grid.rowOf(QStringLiteral("R")));
    QCOMPARE(model.lastFoldRowNumber(g), grid.rowOf(QStringLiteral("Y")));
    QCOMPARE(grid.model.needFold(g, grid.rowOf(QStringLiteral("Y"))), false);
    QCOMPARE(model.needFold(g, grid.rowOf(QStringLiteral("Y"))), true);
}

void tst_BaseDataItemModel::parentPositionsFollowTheList()
{
    Grid grid(QStringLiteral("A\n-A1\nB\n-B1"));
    BaseDataItem* a = grid.item(QStringLiteral("A"));
    BaseDataItem* b = grid.item(QStringLiteral("B"));
    grid.rows.swapItemsAt(0, 2); // B -A1 A -B1, not rebound: the stale position is caught
    QCOMPARE(grid.model.getParentIndex(1), 2);
    QCOMPARE(grid.model.GetRowByItem(b), 0);
    grid.rows.removeAt(2); // B -A1 -B1: A1's parent has left the list
    grid.model.BindSrcData(&grid.rows);
    QCOMPARE(grid.model.getParentIndex(1), -1);
    QCOMPARE(grid.model.isLastChild(1), true);
    grid.rows.append(a); // B -A1 -B1 A, rebound with the same pointer
    grid.model.BindSrcData(&grid.rows);
    QCOMPARE(grid.model.getParentIndex(1), 3);
    QCOMPARE(grid.model.GetRowByItem(a), 3);
    grid.rows.prepend(a); // a duplicate in front: the first occurrence counts
    grid.model.BindSrcData(&grid.rows);
    QCOMPARE(grid.model.GetRowByItem(a), 0);
    QCOMPARE(grid.model.getParentIndex(2), 0);
    QCOMPARE(grid.model.GetTreeBean(0), grid.tree.row(QStringLiteral("A")));
}

void tst_BaseDataItemModel::foldAndUnfold_data()
{
    QTest::addColumn<QString>("outline");
    QTest::addColumn<QString>("rowName");
    QTest::addColumn<bool>("fold");
    QTest::addColumn<QString>("returned");
    QTest::addColumn<QString>("hidden");

    QTest::newRow("fold keeps trailing exempt children visible")
        << "G@5\n-A\n--A1\n-Y@12\n-X@7\nN" << "G" << true << "A A1" << "A A1";
    QTest::newRow("exempt children before another child fold with it")
        << "G@5\n-Y@12\n-X@7\n-A" << "G" << true << "Y X A" << "Y X A";
    QTest::newRow("row without descendants: nothing")
        << "G\nN!" << "G" << true << "" << "N";
    QTest::newRow("unfold expanded X with collapsed child Y")
        << "X+\n-Y-!\n--Y1!\n--Y2@7!\n--Y3@12!\n-Z!" << "X" << false << "Y Y1 Y2 Y3 Z" << "Y1";
    QTest::newRow("unfold collapsed X: only its exempt children")
        << "X-\n-A!\n-B@7-!\n--B1!\n-C@12!\n-D!" << "X" << false << "A B B1 C D" << "A B1 D";
    QTest::newRow("unfold under a hidden row reveals nothing")
        << "X!\n-A!\n-B@7!" << "X" << false << "A" << "X A B";
}

void tst_BaseDataItemModel::foldAndUnfold()
{
    QFETCH(QString, outline);
    QFETCH(QString, rowName);
    QFETCH(bool, fold);
    QFETCH(QString, returned);
    QFETCH(QString, hidden);
    Grid grid(outline);
    QCOMPARE(grid.namesAt(grid.model.getExpandOrFlodChildren(grid.rowOf(rowName), fold)), returned);
    QCOMPARE(grid.hiddenRows(), hidden);
}

void tst_BaseDataItemModel::setFoldMarksTheTablesWorkAndAnnounces()
{
    Grid grid(QStringLiteral("A\n-A1\nB"));
    AuditBusiness audit;
    grid.model.SetAudit(&audit);
    QSignalSpy sync(&audit, &AuditBusiness::OnSync);
    grid.model.setFold(0, false);
    QCOMPARE(grid.model.getFold(0), true);
    QVERIFY(grid.work.getProjectWorkChanged());
    QVERIFY(!grid.topWork.getProjectWorkChanged());
    grid.model.setFold(0, true); // true unfolds
    QCOMPARE(grid.model.getFold(0), false);
    QCOMPARE(grid.rows.at(1)->getVisible(), true); // no visibility changes here
    QCOMPARE(sync.count(), 2);
    QCOMPARE(sync.at(0).at(0).toInt(), INT_MAX);
    QCOMPARE(sync.at(0).at(1).toInt(), 1);
    QCOMPARE(sync.at(1).at(1).toInt(), 0);
    const QVariant payload = sync.at(0).at(2).value<QVariant>();
    QCOMPARE(QMetaType::typeName(payload.userType()), "BaseDataItem*");
    QCOMPARE(payload.value<BaseDataItem*>(), grid.rows.at(0));

    grid.rows.at(2)->setOwner(nullptr); // no table: no message
    grid.model.setFold(2, false);
    QCOMPARE(sync.count(), 2);
    QCOMPARE(grid.model.getFold(2), false); // no children: never folded
}

void tst_BaseDataItemModel::badRowsLogTheNullRowWarning()
{
    Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
    MessageCapture capture;
    QCOMPARE(grid.model.getFold(5), false);
    QCOMPARE(grid.model.getBtnShowState(-1), false);
    QCOMPARE(grid.model.getFold(0), false);
    QCOMPARE(grid.model.isLastChild(7), true);
    QCOMPARE(capture.messages.size(), 2);
    const QString expected = QString::fromUtf8("\xE5\xAF\xB9\xE8\xB1\xA1 'item' \xE4\xB8\xBA Null"); // 对象 'item' 为 Null
    for (const LoggedMessage& message : qAsConst(capture.messages)) {
        QCOMPARE(message.type, QtWarningMsg);
        QCOMPARE(message.text, expected);
        QVERIFY(message.file.endsWith(QLatin1String("BaseDataItemModel.cpp")));
        QVERIFY(message.line > 0);
    }
    QVERIFY(capture.messages.at(0).function.contains(QLatin1String("getFold")));
    QVERIFY(capture.messages.at(1).function.contains(QLatin1String("getBtnShowState")));
}

void tst_BaseDataItemModel::clickedCell_data()
{
    QTest::addColumn<QString>("list"); // resolving, foreign (no key), empty
    QTest::addColumn<int>("baseRow");
    QTest::addColumn<int>("baseCol");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("expected"); // GetClickRow(false) (true), GetClickCol(false) (true), GetClickRowAndCol

    QTest::newRow("empty list keeps a negative row") << "empty" << -1 << -2 << false << "-1 -1 0 0 (-1,0)";
    QTest::newRow("list without a key clamps the row to 0") << "foreign" << -1 << -2 << false << "0 0 0 0 (0,0)";
    QTest::newRow("list without a key: the base's cell") << "foreign" << 3 << 1 << false << "3 3 1 1 (3,1)";
    QTest::newRow("stored (7,-3) clamps the column only") << "resolving" << 1 << 1 << true << "1 7 1 0 (7,0)";
    QTest::newRow("the settings win over the base") << "resolving" << 0 << 2 << true << "0 7 2 0 (7,0)";
}

void tst_BaseDataItemModel::clickedCell()
{
    QFETCH(QString, list);
    QFETCH(int, baseRow);
    QFETCH(int, baseCol);
    QFETCH(bool, stored);
    QFETCH(QString, expected);
    Grid grid(QStringLiteral("A\nB"));
    QList<BaseDataItem*> noRows;
    if (list == QLatin1String("empty"))
        grid.model.BindSrcData(&noRows);
    if (list == QLatin1String("foreign"))
        grid.table.setOwner(nullptr);
    grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(baseRow, baseCol);
    if (stored)
        grid.project.GetGcSetting()->SetMapZxCurIndex(2, 31, 1001, 7, -3);
    BaseDataItemModel& m = grid.model;
    const QPair<int, int> cell = m.GetClickRowAndCol();
    const QString actual = QStringLiteral("%1 %2 %3 %4 (%5,%6)")
                               .arg(m.GetClickRow(false)).arg(m.GetClickRow(true))
                               .arg(m.GetClickCol(false)).arg(m.GetClickCol(true))
                               .arg(cell.first).arg(cell.second);
    QCOMPARE(actual, expected);
}

void tst_BaseDataItemModel::clickedCellWrites()
{
    Grid grid(QStringLiteral("A\nB\nC\nD\nE"));
    GcSetting* settings = grid.project.GetGcSetting();
    auto storedCell = [&] { return settings->GetMapZxCurIndex(2, 31, 1001); };
    grid.model.SetClickRowAndCol(4, 1);
    QCOMPARE(storedCell(), qMakePair(4, 1));
    settings->SetMapZxCurIndex(2, 31, 1001, 9, 9);
    grid.model.SetClickRow(4); // equal to memory: writes nothing
    QCOMPARE(storedCell(), qMakePair(9, 9));
    grid.model.SetClickCol(2); // the row half comes from memory
    QCOMPARE(storedCell(), qMakePair(4, 2));

    // Binding the same list again leaves a cell changed in between untouched.
    grid.model.Qtitan::BaseTableModel::SetClickRowAndCol(1, 1);
    grid.model.BindSrcData(&grid.rows);
    QCOMPARE(grid.model.Qtitan::BaseTableModel::GetClickRowAndCol(), qMakePair(1, 1));

    // Another table's list brings its own cell; binding back restores this one unclamped.
    Grid other(QStringLiteral("X"), 2001);
    grid.model.BindSrcData(&other.rows);
    QCOMPARE(grid.model.Qtitan::BaseTableModel::GetClickRowAndCol(), qMakePair(0, 0)); // never stored
    settings->SetMapZxCurIndex(2, 31, 1001, 7, -3);
    grid.model.BindSrcData(&grid.rows);
    QCOMPARE(grid.model.Qtitan::BaseTableModel::GetClickRowAndCol(), qMakePair(7, -3));
    QCOMPARE(storedCell(), qMakePair(7, -3)); // binding never writes
    grid.model.BindSrcData(nullptr);
    QCOMPARE(grid.model.Qtitan::BaseTableModel::GetClickRowAndCol(), qMakePair(0, 0));
}

void tst_BaseDataItemModel::foldSync_data()
{
    QTest::addColumn<int>("tableType");
    QTest::addColumn<bool>("expanded");
    QTest::addColumn<QString>("hidden"); // rows of the second grid after the fold arrives

    QTest::newRow("fold in a sync table keeps exempt rows") << 3004 << false << "A A1";
    QTest::newRow("fold in an ordinary table hides all") << 1001 << false << "A A1 Y Z";
    QTest::newRow("unfold shows the block") << 3004 << true << "A1";
}

void tst_BaseDataItemModel::foldSync()
{
    QFETCH(int, tableType);
    QFETCH(bool, expanded);
    QFETCH(QString, hidden);
    Grid submitted(QStringLiteral("S\n-S1"));
    Grid reviewed(QStringLiteral("C\n-A-\n--A1\n-Y@7\n-Z@12"), tableType);
    AuditBusiness audit;
    audit.SetRelationItem(submitted.item(QStringLiteral("S")), reviewed.item(QStringLiteral("C")));
    submitted.model.SetAudit(&audit);
    reviewed.model.SetAudit(&audit);
    QSignalSpy submittedReset(&submitted.model, &QAbstractItemModel::modelReset);
    QSignalSpy reviewedReset(&reviewed.model, &QAbstractItemModel::modelReset);

    submitted.model.setFold(0, expanded);
    QCOMPARE(reviewed.item(QStringLiteral("C"))->getExpanded(), expanded);
    QCOMPARE(reviewed.hiddenRows(), hidden);
    QCOMPARE(submitted.item(QStringLiteral("S"))->getExpanded(), expanded);
    QCOMPARE(submitted.hiddenRows(), QString()); // only counterparts change
    QCOMPARE(submittedReset.count(), 1);
    QCOMPARE(reviewedReset.count(), 1);
    QVERIFY(!reviewed.work.getProjectWorkChanged());
}

void tst_BaseDataItemModel::foldSyncIgnoresOtherMessages()
{
    Grid grid(QStringLiteral("C\n-A"));
    BaseDataItem sender;
    AuditBusiness audit;
    audit.SetRelationItem(&sender, grid.rows.at(0));
    grid.model.SetAudit(&audit);
    QSignalSpy reset(&grid.model, &QAbstractItemModel::modelReset);
    MessageCapture capture;
    audit.EmitSync(INT_MAX, 2, QVariant::fromValue<BaseDataItem*>(&sender));
    audit.EmitSync(1, 0, QVariant::fromValue<BaseDataItem*>(&sender));
    audit.EmitSync(INT_MAX, 1, QVariant::fromValue(static_cast<TreeBaseItem*>(grid.rows.at(1))));
    audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(grid.rows.at(1))); // no counterpart
    QCOMPARE(reset.count(), 0);
    QVERIFY(capture.messages.isEmpty());
    audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(nullptr));
    QCOMPARE(capture.messages.size(), 1);
    QVERIFY(capture.messages.first().function.contains(QLatin1String("BaseDataItemModel")));
    QCOMPARE(reset.count(), 0);
    QVERIFY(grid.rows.at(0)->getExpanded());

    AuditBusiness other;
    grid.model.SetAudit(&other); // the old service no longer reaches the model
    audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(&sender));
    QCOMPARE(reset.count(), 0);
    grid.model.SetAudit(&audit);
    audit.EmitSync(INT_MAX, 1, QVariant::fromValue<BaseDataItem*>(&sender));
    QCOMPARE(reset.count(), 1);
    QVERIFY(!grid.rows.at(0)->getExpanded());
}

void tst_BaseDataItemModel::foldSyncEndsWithTheModel()
{
    Grid survivor(QStringLiteral("C\n-A"));
    AuditBusiness audit;
    audit.SetRelationItem(survivor.rows.at(0), survivor.rows.at(1));
    survivor.model.SetAudit(&audit);
    {
        auto* shortLived = new BaseDataItemModel;
        shortLived->BindSrcData(&survivor.rows);
        shortLived->SetAudit(&audit);
        delete shortLived;
    }
    QSignalSpy reset(&survivor.model, &QAbstractItemModel::modelReset);
    survivor.model.setFold(0, false);
    QCOMPARE(reset.count(), 1);
    QVERIFY(!survivor.rows.at(1)->getExpanded());
}

void tst_BaseDataItemModel::blockRows()
{
    Grid grid(QStringLiteral("A\nB\nC"));
    grid.model.setRowBlockSelect(0);
    grid.model.setRowBlockSelect(2);
    grid.model.setRowBlockSelect(3); // past the end: nothing
    QCOMPARE(grid.model.getAllBlockSelectionRows(), QList<int>({10, 12}));
    grid.model.resetRowBlockSelect(0);
    QCOMPARE(grid.model.getAllBlockSelectionRows(), QList<int>({12}));
    grid.rows.at(1)->SetBlock(1); // as block selection marks it
    grid.model.clearBlockSelect();
    QVERIFY(grid.model.getAllBlockSelectionRows().isEmpty());
    QVERIFY(!grid.rows.at(1)->IsBlock());
}

void tst_BaseDataItemModel::usageCodes_data()
{
    QTest::addColumn<int>("tableType"); // -1: the row has no table
    QTest::addColumn<int>("rowType");
    QTest::addColumn<int>("fieldNumber");
    QTest::addColumn<int>("expected");

    QTest::newRow("1001, type 5, field 3") << 1001 << 5 << 3 << 87913779;
    QTest::newRow("field 40000 carries into bit 16") << 0 << 0 << 40000 << 70000;
    QTest::newRow("row without a table uses 0") << -1 << 1 << 2 << 0x01000002 + 30000;
    QTest::newRow("row type -1 is reported as 120") << 0 << -1 << 0 << 0x78000000 + 30000;
    QTest::newRow("2000 is not mapped") << 2000 << 0 << 0 << 0x00D00000 + 30000;
    QTest::newRow("2001 maps to 121") << 2001 << 0 << 0 << 0x00790000 + 30000;
    QTest::newRow("3004 maps to 184") << 3004 << 0 << 0 << 0x00B80000 + 30000;
    QTest::newRow("1999 maps to 1059, low 8 bits") << 1999 << 0 << 0 << 0x00230000 + 30000;
    QTest::newRow("field number keeps its low 16 bits") << 0 << 0 << 0x12345 << 0x2345 + 30000;
    QTest::newRow("row type 200 sets the sign bit") << 0 << 200 << 0 << int(0xC8000000u + 30000u);
}

void tst_BaseDataItemModel::usageCodes()
{
    QFETCH(int, tableType);
    QFETCH(int, rowType);
    QFETCH(int, fieldNumber);
    QFETCH(int, expected);
    QStringList reports;
    SharedInterface::setUsageHandler([&reports](bool ended, int code, const QString& name) {
        reports.append(QStringLiteral("%1 %2 \"%3\"").arg(ended ? QLatin1String("end") : QLatin1String("use")).arg(code).arg(name));
    });
    Grid grid(QStringLiteral("A"), qMax(tableType, 0));
    grid.rows.first()->setRowType(rowType);
    if (tableType < 0)
        grid.rows.first()->setOwner(nullptr);
    ReportingModel model;
    const Qtitan::HeaderItem header(fieldNumber);
    model.post2GoCode(0, &grid.rows, &header); // any list, bound or not
    model.post2GoCode(1, &grid.rows, &header);
    model.post2GoCode(-1, &grid.rows, &header);
    model.post2GoCode(0, nullptr, &header);
    model.post2GoCode(0, &grid.rows, nullptr);
    SharedInterface::setUsageHandler({});
    QCOMPARE(reports, QStringList({QStringLiteral("use %1 \"\"").arg(expected), QStringLiteral("end %1 \"\"").arg(expected)}));
}

QTEST_GUILESS_MAIN(tst_BaseDataItemModel)
#include "tst_BaseDataItemModel.moc"
