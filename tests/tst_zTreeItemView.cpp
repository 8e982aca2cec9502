#include "TestHelpers.h"

#include <DrawTreeDelegate.h>
#include <FrozenView.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseWidgetDelegate.h>
#include <zTableHeader.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>

namespace {

// Exposes the protected state a host subclass sees, and records closeEditor calls.
class TestTreeView : public zTreeItemView
{
public:
    using zTreeItemView::treeDelegate;

    QModelIndexList selectedIndexes() const override
    {
        return useFakeSelection ? fakeSelection : zTreeItemView::selectedIndexes();
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        closeHints.append(hint);
        zTreeItemView::closeEditor(editor, hint);
    }

    bool useFakeSelection = false;
    QModelIndexList fakeSelection;
    QList<QAbstractItemDelegate::EndEditHint> closeHints;
};

// A view, its tree model and four or more columns ("name", "c1", ...) over a tree outline.
struct TreeViewFixture
{
    explicit TreeViewFixture(const QString& outline, int columnCount = 4)
        : tree(outline)
        , rows(tree.rows())
    {
        columns.addColumn(new zBaseHeaderItem(QStringLiteral("name"), QStringLiteral("name")));
        for (int column = 1; column < columnCount; ++column)
            columns.addColumn(new zBaseHeaderItem(QStringLiteral("c%1").arg(column), QStringLiteral("c%1").arg(column)));
        model.setHeaderColumn(&columns);
        model.BindSrcData(&rows, false);
        model.dataStarting([this](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
            if (role != Qt::DisplayRole)
                return false;
            const QString name = static_cast<NamedRow*>(model.findItemByIndex(index))->name();
            value = header->headerIdentify() == QLatin1String("name") ? name : name + QLatin1Char('.') + header->headerIdentify();
            return true;
        });
        view.setModel(&model);
        view.resize(480, 320);
    }
    int shownRowCount() const { return static_cast<const QAbstractItemModel&>(model).rowCount(); }
    QModelIndex indexOf(const QString& name, int column = 0) const
    {
        return model.index(model.findVirtualIndexByItem(tree.row(name)), column);
    }

    TreeFixture tree;
    QList<BaseDataItem*> rows;
    zBaseHeaderColumn columns;
    zTreeItemModel model;
    TestTreeView view;
};

ZTVModeOption styleOption(int displayStyle, int checkMode = 0)
{
    ZTVModeOption option;
    option.displayStyle = displayStyle;
    option.checkMode = checkMode;
    return option;
}

// Centre of the expand button of a row at a level, for the delegate's default button size.
QPoint nodeCenter(const QTableView& view, const QModelIndex& index, int level)
{
    const int slotWidth = qMax(ZTVModeOption().treeNodeSize.width() + 8, 16);
    const QRect cell = view.visualRect(index);
    return QPoint(cell.left() + level * slotWidth + slotWidth / 2, cell.center().y());
}

// Records the span warnings Qt logs while alive; everything else goes on to the previous handler.
class SpanWarnings
{
public:
    SpanWarnings() { s_previous = qInstallMessageHandler(&SpanWarnings::handle); }
    ~SpanWarnings() { qInstallMessageHandler(s_previous); }
    QStringList take() { return std::exchange(s_messages, {}); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.startsWith(QLatin1String("QTableView::setSpan")))
            s_messages.append(message);
        else
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_messages;
};

// Spans of a view as "row,column rowsxcolumns", found from the cells' visual rectangles.
QString spansOf(const QTableView* view)
{
    QStringList spans;
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const int rowSpan = view->rowSpan(row, column);
            const int columnSpan = view->columnSpan(row, column);
            const QPoint cellOrigin(view->columnViewportPosition(column), view->rowViewportPosition(row));
            const bool startsHere = view->visualRect(model->index(row, column)).topLeft() == cellOrigin;
            if ((rowSpan > 1 || columnSpan > 1) && startsHere)
                spans.append(QStringLiteral("%1,%2 %3x%4").arg(row).arg(column).arg(rowSpan).arg(columnSpan));
        }
    }
    return spans.join(QLatin1String("; "));
}

// Counts the cells it is asked to paint and the editors it is asked to create.
class RecordingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        paintedCells.append(index);
        QStyledItemDelegate::paint(painter, option, index);
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        editedCells.append(index);
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    mutable QModelIndexList paintedCells;
    mutable QModelIndexList editedCells;
};

const QString TreeOutline = QStringLiteral(
    "A\n"
    "-A1\n"
    "--A1a\n"
    "-A2\n"
    "B\n"
    "-B1!\n"
    "-B2!\n"
    "C\n"
    "D\n");

} // namespace

class tst_zTreeItemView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void displayStyleInstallsDelegate_data();
    void displayStyleInstallsDelegate();
    void displayModeWithoutModel();
    void withoutModelNothingHappens();
    void delegateReachesFrozenViews();
    void frozenStripsFollowView();
    void nodeClickIsQueuedAndDoesNotExpand();
    void baseViewNodeClickExpands();
    void invalidStyleRewiresHeldDelegate();
    void checkBoxClickTogglesCheckState_data();
    void checkBoxClickTogglesCheckState();
    void displayStylesPaintDifferently();
    void delegateForIndex_data();
    void delegateForIndex();
    void delegateForIndexWithoutTreeModel();
    void cellDelegateServesPaintingAndEditing();
    void updateViewSpans_data();
    void updateViewSpans();
    void spansFollowModelReset();
    void selectedItems_data();
    void selectedItems();
    void closeEditorTree_data();
    void closeEditorTree();
};

void tst_zTreeItemView::displayStyleInstallsDelegate_data()
{
    QTest::addColumn<int>("displayStyle");
    QTest::addColumn<int>("checkMode");
    QTest::addColumn<QString>("delegateClass");
    QTest::addColumn<int>("checkType");
    QTest::newRow("style 0, check mode 0") << 0 << 0 << "zStyleNoneDelegate" << 0;
    QTest::newRow("style 1, check mode 5") << 1 << 5 << "StyleDrawLineDelegate_1" << 1;
    QTest::newRow("style 2, check mode 1") << 2 << 1 << "zStyleDrawTextNodeAndDotLineDelegate" << 1;
    QTest::newRow("style 3, check mode -1") << 3 << -1 << "zStyleNotLevelsDelegate" << 1;
    QTest::newRow("style 4 installs nothing") << 4 << 0 << QString() << 0;
}

void tst_zTreeItemView::displayStyleInstallsDelegate()
{
    QFETCH(int, displayStyle);
    QFETCH(int, checkMode);
    QFETCH(QString, delegateClass);
    QFETCH(int, checkType);
    TreeViewFixture fixture(TreeOutline);
    if (delegateClass.isEmpty()) { // no delegate held: Qt reports the null sender
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::disconnect: Unexpected nullptr parameter"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::connect\\(.*\\): invalid nullptr parameter"));
    }
    fixture.columns.moveColumn(0, 3); // declared column 2 is shown at 1: the tree column is declared
    fixture.view.setTreeModeDisplay(2, styleOption(displayStyle, checkMode));

    QAbstractItemDelegate* installed = fixture.view.itemDelegateForColumn(2);
    QCOMPARE(installed ? QString::fromLatin1(installed->metaObject()->className()) : QString(), delegateClass);
    QCOMPARE(fixture.model.getTreeColumn(), 2);
    const QVariant storedCheckType = fixture.model.property("checkType");
    QCOMPARE(storedCheckType.userType(), int(QMetaType::Int));
    QCOMPARE(storedCheckType.toInt(), checkType);
    if (installed)
        QCOMPARE(installed->parent(), &fixture.view);
}

void tst_zTreeItemView::displayModeWithoutModel()
{
    zTreeItemView view;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::disconnect: Unexpected nullptr parameter"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::connect\\(.*\\): invalid nullptr parameter"));
    view.setTreeModeDisplay(0, styleOption(1));
    QCOMPARE(view.itemDelegateForColumn(0), nullptr);
}

void tst_zTreeItemView::withoutModelNothingHappens()
{
    zTreeItemView view;
    view.primaryHeader()->setFrozenColumnCount(2);
    view.setViewSpans({QRect(0, 0, 2, 2), QRect(0, 0, 1, 1)}); // no model: nothing mapped, no warning
    view.setTreeNodeSize(QSize(5, 5));
    view.slotTreeNodeExpanded({{0, false}});
    view.treeNodeCheckBoxClick(QModelIndex());
    view.closeEditorTree();
    QVERIFY(view.selectedItems().isEmpty());
    QCOMPARE(view.delegateForIndex(QModelIndex()), nullptr);
    QCOMPARE(view.model(), nullptr);
    view.setModel(nullptr);
    QVERIFY(view.primaryHeader()->vfrozenView()->isHidden());
}

void tst_zTreeItemView::delegateReachesFrozenViews()
{
    TreeViewFixture fixture(TreeOutline);
    fixture.view.primaryHeader()->setFrozenColumnCount(2);
    fixture.view.primaryHeader()->setFrozenRowCount(1);
    fixture.view.setTreeModeDisplay(1, styleOption(2));

    auto* treeDelegate = fixture.view.itemDelegateForColumn(1);
    QVERIFY(qobject_cast<DrawTreeDelegate*>(treeDelegate));
    const QList<FrozenView*> frozenViews = fixture.view.findChildren<FrozenView*>();
    QCOMPARE(frozenViews.size(), 2);
    for (FrozenView* frozenView : frozenViews) {
        QCOMPARE(frozenView->model(), &fixture.model);
        QCOMPARE(frozenView->itemDelegateForColumn(1), treeDelegate);
    }
}

void tst_zTreeItemView::frozenStripsFollowView()
{
    TreeViewFixture fixture(TreeOutline + QStringLiteral("E\nF\nG\nH\n"), 8);
    fixture.view.resize(300, 150);
    zTableHeader* header = fixture.view.primaryHeader();
    fixture.view.setColumnWidth(0, 70);
    header->setFrozenColumnCount(2);
    header->setFrozenRowCount(1);
    FrozenView* columnStrip = header->vfrozenView();
    const int frame = fixture.view.frameWidth();
    // Placed beside the row header already before the window is shown (a screenshot of a hidden window).
    QCOMPARE(columnStrip->geometry().topLeft(), QPoint(frame + fixture.view.verticalHeader()->width(), frame));
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    QCoreApplication::processEvents(); // the view lays out resized columns from its event queue
    QCOMPARE(header->frozenVSections(), (QList<int>{0, 1}));

    QCOMPARE(columnStrip->geometry().topLeft(), QPoint(frame + fixture.view.verticalHeader()->width(), frame));
    QCOMPARE(columnStrip->width(), 70 + fixture.view.columnWidth(1));
    QCOMPARE(columnStrip->columnWidth(0), 70);
    fixture.view.verticalScrollBar()->setValue(3);
    QCOMPARE(columnStrip->verticalScrollBar()->value(), 3);
    columnStrip->verticalScrollBar()->setValue(1);
    QCOMPARE(fixture.view.verticalScrollBar()->value(), 1);

    const QList<FrozenView*> strips = fixture.view.findChildren<FrozenView*>();
    FrozenView* rowStrip = strips.at(strips.at(0) == columnStrip ? 1 : 0);
    QCOMPARE(rowStrip->geometry().top(), frame + fixture.view.horizontalHeader()->height());
    QCOMPARE(rowStrip->height(), fixture.view.rowHeight(0));
    fixture.view.horizontalScrollBar()->setValue(2);
    QCOMPARE(rowStrip->horizontalScrollBar()->value(), 2);
}

void tst_zTreeItemView::nodeClickIsQueuedAndDoesNotExpand()
{
    TreeViewFixture fixture(TreeOutline);
    fixture.view.setTreeModeDisplay(0, styleOption(0));
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    QSignalSpy clicks(&fixture.view, &zTreeItemView::doTreeNodeClicked);
    const QModelIndex nodeA1 = fixture.indexOf(QStringLiteral("A1"));
    const int shownRows = fixture.shownRowCount();

    QTest::mouseClick(fixture.view.viewport(), Qt::LeftButton, {}, nodeCenter(fixture.view, nodeA1, 1));

    QCOMPARE(clicks.count(), 0); // queued: not yet delivered when the click returns
    QCoreApplication::processEvents();
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).value<QModelIndex>(), nodeA1);
    QVERIFY(fixture.tree.row(QStringLiteral("A1"))->getExpanded()); // the base's expand slot was not reached
    QCOMPARE(fixture.shownRowCount(), shownRows);
}

void tst_zTreeItemView::baseViewNodeClickExpands()
{
    TreeViewFixture fixture(TreeOutline);
    zBaseTableView baseView;
    baseView.setModel(&fixture.model);
    baseView.setTreeModeDisplay(0, styleOption(0));
    baseView.show();
    QVERIFY(QTest::qWaitForWindowExposed(&baseView));
    const QModelIndex nodeA1 = fixture.indexOf(QStringLiteral("A1"));
    QTest::mouseClick(baseView.viewport(), Qt::LeftButton, {}, nodeCenter(baseView, nodeA1, 1));
    QVERIFY(!fixture.tree.row(QStringLiteral("A1"))->getExpanded());
    QCOMPARE(fixture.shownRowCount(), 6); // A1a is hidden
}

void tst_zTreeItemView::invalidStyleRewiresHeldDelegate()
{
    TreeViewFixture fixture(TreeOutline);
    fixture.view.setTreeModeDisplay(0, styleOption(1));
    DrawTreeDelegate* held = fixture.view.treeDelegate;
    fixture.view.setTreeModeDisplay(0, styleOption(9));
    QCOMPARE(fixture.view.treeDelegate.data(), held);

    QSignalSpy clicks(&fixture.view, &zTreeItemView::doTreeNodeClicked);
    Q_EMIT held->doTreeNodeClicked(fixture.indexOf(QStringLiteral("A")));
    QCoreApplication::processEvents();
    QCOMPARE(clicks.count(), 2);
}

void tst_zTreeItemView::checkBoxClickTogglesCheckState_data()
{
    QTest::addColumn<QString>("checkedBefore"); // row checked first (linked check mode), or none
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<int>("stateBefore");
    QTest::addColumn<int>("stateAfter");
    QTest::newRow("unchecked becomes checked") << QString() << "D" << int(Qt::Unchecked) << int(Qt::Checked);
    QTest::newRow("checked becomes unchecked") << "D" << "D" << int(Qt::Checked) << int(Qt::Unchecked);
    QTest::newRow("partially checked becomes checked") << "A2" << "A" << int(Qt::PartiallyChecked) << int(Qt::Checked);
}

void tst_zTreeItemView::checkBoxClickTogglesCheckState()
{
    QFETCH(QString, checkedBefore);
    QFETCH(QString, clicked);
    QFETCH(int, stateBefore);
    QFETCH(int, stateAfter);
    TreeViewFixture fixture(TreeOutline);
    fixture.view.setTreeModeDisplay(0, styleOption(0, 1));
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    if (!checkedBefore.isEmpty())
        fixture.model.setData(fixture.indexOf(checkedBefore), Qt::Checked, Qt::CheckStateRole);
    const QModelIndex clickedRow = fixture.indexOf(clicked);
    QCOMPARE(clickedRow.data(Qt::CheckStateRole).toInt(), stateBefore);

    // A top-level row's check box sits right of its button, where a child's button would be.
    const QPoint checkBox = nodeCenter(fixture.view, clickedRow, 1);
    QTest::mouseClick(fixture.view.viewport(), Qt::LeftButton, {}, checkBox);
    QCOMPARE(clickedRow.data(Qt::CheckStateRole).toInt(), stateAfter);
}

void tst_zTreeItemView::displayStylesPaintDifferently()
{
    TreeViewFixture fixture(TreeOutline + QStringLiteral("-D1\n--D1a\n--D1b-\n---D1b1\n-D2\n"));
    fixture.view.setColumnWidth(0, 200);
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    const QImage plain = fixture.view.grab().toImage();
    QList<QImage> renders;
    for (int displayStyle = 0; displayStyle < 4; ++displayStyle) {
        fixture.view.setTreeModeDisplay(0, styleOption(displayStyle, displayStyle % 2));
        renders.append(fixture.view.grab().toImage());
        // For a person to look at; not compared with anything.
        renders.last().save(QStringLiteral("zTreeItemView_style%1.png").arg(displayStyle));
    }
    for (int first = 0; first < renders.size(); ++first) {
        QVERIFY2(renders.at(first) != plain, qPrintable(QStringLiteral("style %1 paints no tree").arg(first)));
        for (int second = first + 1; second < renders.size(); ++second)
            QVERIFY2(renders.at(first) != renders.at(second), qPrintable(QStringLiteral("styles %1 and %2 look alike").arg(first).arg(second)));
    }
}

void tst_zTreeItemView::delegateForIndex_data()
{
    // Registered: cell delegate by original row (-1 none, -2 a null entry), row delegate by view
    // row, column delegate by declared column; "moved" shows declared column 3 first.
    QTest::addColumn<int>("cellOriginalRow");
    QTest::addColumn<int>("rowDelegateRow");
    QTest::addColumn<int>("columnDelegateColumn");
    QTest::addColumn<bool>("moveColumn3First");
    QTest::addColumn<bool>("destroyRowDelegate");
    QTest::addColumn<QString>("asked"); // row name
    QTest::addColumn<int>("askedColumn"); // shown column
    QTest::addColumn<QString>("expected");
    // C is original row 7, shown at view row 5 (B1 and B2 are hidden).
    QTest::newRow("cell delegate before row delegate") << 7 << 5 << 1 << false << false << "C" << 1 << "cell";
    QTest::newRow("cell key is the original row") << 5 << 5 << -1 << false << false << "C" << 1 << "row";
    QTest::newRow("row delegate before column delegate") << -1 << 5 << 1 << false << false << "C" << 1 << "row";
    QTest::newRow("column delegate before default") << -1 << 4 << 1 << false << false << "C" << 1 << "column";
    QTest::newRow("no entry: default delegate") << -1 << -1 << -1 << false << false << "C" << 1 << "default";
    QTest::newRow("reordered: declared column's delegate") << -1 << -1 << 3 << true << false << "C" << 0 << "column";
    QTest::newRow("reordered: shown column number not used") << -1 << -1 << 0 << true << false << "C" << 0 << "default";
    QTest::newRow("null cell entry gives null") << -2 << 5 << 1 << false << false << "C" << 1 << "null";
    QTest::newRow("destroyed row delegate gives null") << -1 << 5 << 1 << false << true << "C" << 1 << "null";
}

void tst_zTreeItemView::delegateForIndex()
{
    QFETCH(int, cellOriginalRow);
    QFETCH(int, rowDelegateRow);
    QFETCH(int, columnDelegateColumn);
    QFETCH(bool, moveColumn3First);
    QFETCH(bool, destroyRowDelegate);
    QFETCH(QString, asked);
    QFETCH(int, askedColumn);
    QFETCH(QString, expected);
    TreeViewFixture fixture(TreeOutline);
    if (moveColumn3First)
        fixture.columns.moveColumn(3, 0);
    QStyledItemDelegate cellDelegate, columnDelegate;
    auto* rowDelegate = new QStyledItemDelegate;
    if (cellOriginalRow != -1)
        fixture.view.setCellDelegate(cellOriginalRow == -2 ? 7 : cellOriginalRow, askedColumn, cellOriginalRow == -2 ? nullptr : &cellDelegate);
    if (rowDelegateRow >= 0)
        fixture.view.setItemDelegateForRow(rowDelegateRow, rowDelegate);
    if (columnDelegateColumn >= 0)
        fixture.view.setItemDelegateForColumn(columnDelegateColumn, &columnDelegate);
    if (destroyRowDelegate)
        delete std::exchange(rowDelegate, nullptr);

    const QHash<QAbstractItemDelegate*, QString> names{{&cellDelegate, "cell"}, {rowDelegate, "row"},
        {&columnDelegate, "column"}, {fixture.view.itemDelegate(), "default"}, {nullptr, "null"}};
    QCOMPARE(names.value(fixture.view.delegateForIndex(fixture.indexOf(asked, askedColumn)), "?"), expected);
    QCOMPARE(fixture.view.delegateForIndex(QModelIndex()), nullptr);
    delete rowDelegate;
}

void tst_zTreeItemView::delegateForIndexWithoutTreeModel()
{
    QStandardItemModel model(3, 3);
    zTreeItemView view;
    view.setModel(&model);
    QStyledItemDelegate cellDelegate, columnDelegate;
    view.setCellDelegate(1, 2, &cellDelegate);
    view.setItemDelegateForColumn(2, &columnDelegate);
    QCOMPARE(view.delegateForIndex(model.index(1, 2)), &columnDelegate);
    QCOMPARE(view.delegateForIndex(model.index(1, 1)), view.itemDelegate());
    QVERIFY(view.selectedItems().isEmpty());
}

void tst_zTreeItemView::cellDelegateServesPaintingAndEditing()
{
    TreeViewFixture fixture(TreeOutline);
    RecordingDelegate cellDelegate;
    const QModelIndex cellC = fixture.indexOf(QStringLiteral("C"), 2);
    fixture.view.setCellDelegate(7, 2, &cellDelegate);
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));

    fixture.view.grab();
    QVERIFY(!cellDelegate.paintedCells.isEmpty());
    for (const QModelIndex& painted : qAsConst(cellDelegate.paintedCells))
        QCOMPARE(painted, cellC);
    fixture.view.edit(cellC);
    QCOMPARE(cellDelegate.editedCells, QModelIndexList{cellC});
    QVERIFY(fixture.view.indexWidget(cellC));
}

void tst_zTreeItemView::updateViewSpans_data()
{
    // Original rows: A0 A1-1 A1a-2 A2-3 B-4 B1-5(hidden) B2-6(hidden) C-7 D-8; C is shown at 5, D at 6.
    // Six declared columns.
    QTest::addColumn<QList<QRect>>("requested");
    QTest::addColumn<QList<int>>("hiddenColumns");
    QTest::addColumn<int>("frozenColumns");
    QTest::addColumn<QString>("mainSpans");
    QTest::addColumn<QString>("frozenSpans");
    QTest::addColumn<QStringList>("warnings");
    const QStringList none;
    const QString invalid = QStringLiteral("QTableView::setSpan: invalid span given: (%1)");
    const QString overlap = QStringLiteral("QTableView::setSpan: span cannot overlap");
    const QString single = QStringLiteral("QTableView::setSpan: single cell span won't be added");

    QTest::newRow("first row mapped to its shown row") << QList<QRect>{QRect(1, 7, 2, 2)} << QList<int>{} << 0 << "5,1 2x2" << "" << none;
    QTest::newRow("first row hidden: no span") << QList<QRect>{QRect(1, 5, 2, 2)} << QList<int>{} << 0 << "" << "" << none;
    QTest::newRow("rows below a hidden one are not mapped") << QList<QRect>{QRect(0, 4, 1, 3)} << QList<int>{} << 0 << "4,0 3x1" << "" << none;
    QTest::newRow("original row out of range") << QList<QRect>{QRect(0, 9, 2, 2)} << QList<int>{} << 0 << "" << "" << none;
    QTest::newRow("hidden column narrows the span") << QList<QRect>{QRect(1, 0, 4, 1)} << QList<int>{2} << 0 << "0,1 1x3" << "" << none;
    QTest::newRow("hidden first column starts at next shown") << QList<QRect>{QRect(1, 0, 3, 2)} << QList<int>{1} << 0 << "0,1 2x2" << "" << none;
    QTest::newRow("all columns hidden: no span") << QList<QRect>{QRect(1, 0, 2, 2)} << QList<int>{1, 2} << 0 << "" << "" << none;
    QTest::newRow("zero height reaches Qt's rules") << QList<QRect>{QRect(1, 7, 2, 0)} << QList<int>{} << 0 << "" << "" << QStringList{invalid.arg("5, 1, 0, 2")};
    QTest::newRow("zero width keeps its column") << QList<QRect>{QRect(3, 7, 0, 2)} << QList<int>{2} << 0 << "" << "" << QStringList{invalid.arg("5, 3, 2, 0")};
    QTest::newRow("negative size dropped silently") << QList<QRect>{QRect(1, 0, -2, 2), QRect(1, 0, 2, -3)} << QList<int>{} << 0 << "" << "" << none;
    QTest::newRow("lone single cell") << QList<QRect>{QRect(0, 0, 1, 1)} << QList<int>{} << 0 << "" << "" << QStringList{single};
    QTest::newRow("start inside earlier span") << QList<QRect>{QRect(0, 0, 2, 3), QRect(1, 1, 2, 2)} << QList<int>{} << 0 << "0,0 3x2" << "" << QStringList{overlap};
    QTest::newRow("free first cell overlapping later cells") << QList<QRect>{QRect(1, 1, 2, 2), QRect(0, 0, 2, 2)} << QList<int>{} << 0 << "0,0 2x2; 1,1 2x2" << "" << none;
    QTest::newRow("same first cell resizes") << QList<QRect>{QRect(0, 0, 2, 2), QRect(0, 0, 3, 1)} << QList<int>{} << 0 << "0,0 1x3" << "" << none;
    QTest::newRow("equal rectangles give one span") << QList<QRect>{QRect(0, 0, 2, 2), QRect(0, 0, 2, 2)} << QList<int>{} << 0 << "0,0 2x2" << "" << none;
    QTest::newRow("single cell on first cell removes") << QList<QRect>{QRect(0, 0, 2, 2), QRect(0, 0, 1, 1)} << QList<int>{} << 0 << "" << "" << none;
    QTest::newRow("span from a frozen section") << QList<QRect>{QRect(1, 7, 3, 2)} << QList<int>{} << 2 << "5,1 2x3" << "5,1 2x3" << none;
    QTest::newRow("frozen position of a shifted section") << QList<QRect>{QRect(2, 0, 2, 2)} << QList<int>{1} << 2 << "0,1 2x2" << "0,1 2x2" << none;
    QTest::newRow("span outside the frozen sections") << QList<QRect>{QRect(2, 0, 2, 2)} << QList<int>{} << 2 << "0,2 2x2" << "" << none;
    QTest::newRow("zero height in a frozen section warns twice") << QList<QRect>{QRect(0, 1, 2, 0)} << QList<int>{} << 2 << "" << ""
                                                                 << QStringList{invalid.arg("1, 0, 0, 2"), invalid.arg("1, 0, 0, 2")};
    QTest::newRow("no spans") << QList<QRect>{} << QList<int>{} << 2 << "" << "" << none;
}

void tst_zTreeItemView::updateViewSpans()
{
    QFETCH(QList<QRect>, requested);
    QFETCH(QList<int>, hiddenColumns);
    QFETCH(int, frozenColumns);
    QFETCH(QString, mainSpans);
    QFETCH(QString, frozenSpans);
    QFETCH(QStringList, warnings);
    TreeViewFixture fixture(TreeOutline, 6);
    for (int hiddenColumn : hiddenColumns)
        fixture.columns.setColumnHidden(hiddenColumn, true);
    fixture.view.primaryHeader()->setFrozenColumnCount(frozenColumns);
    FrozenView* frozenView = fixture.view.primaryHeader()->vfrozenView();
    fixture.view.setViewSpans({QRect(0, 0, 2, 2)}); // stale spans every call must clear

    SpanWarnings spanWarnings;
    fixture.view.setViewSpans(requested);
    QCOMPARE(spanWarnings.take(), warnings);
    QCOMPARE(spansOf(&fixture.view), mainSpans);
    QCOMPARE(frozenView ? spansOf(frozenView) : QString(), frozenSpans);
}

void tst_zTreeItemView::spansFollowModelReset()
{
    TreeViewFixture fixture(TreeOutline);
    fixture.view.setViewSpans({QRect(0, 7, 2, 2), QRect(0, 3, 3, 1)});
    QCOMPARE(spansOf(&fixture.view), QStringLiteral("3,0 1x3; 5,0 2x2"));
    fixture.model.setData(fixture.indexOf(QStringLiteral("A")), false, zTreeItemModel::TreeExpandedRole);
    QCOMPARE(spansOf(&fixture.view), QStringLiteral("2,0 2x2")); // A2 is hidden, C moved up
}

void tst_zTreeItemView::selectedItems_data()
{
    QTest::addColumn<QList<QPoint>>("selected"); // (column, view row) in selection order
    QTest::addColumn<QString>("rows");
    QTest::newRow("nothing selected") << QList<QPoint>{} << "";
    QTest::newRow("one row twice, then another") << QList<QPoint>{{1, 0}, {2, 0}, {1, 3}} << "A A A2";
    QTest::newRow("order of the list, not of rows") << QList<QPoint>{{0, 5}, {0, 1}, {3, 5}} << "C A1 C";
    QTest::newRow("row without a shown item") << QList<QPoint>{{0, 2}, {0, 40}} << "A1a null";
}

void tst_zTreeItemView::selectedItems()
{
    QFETCH(QList<QPoint>, selected);
    QFETCH(QString, rows);
    TreeViewFixture fixture(TreeOutline);
    QStandardItemModel tallModel(50, 4); // hands out indexes of rows the tree model does not have
    fixture.view.useFakeSelection = true;
    for (const QPoint& cell : selected) {
        const QAbstractItemModel* owner = cell.y() < fixture.shownRowCount() ? static_cast<QAbstractItemModel*>(&fixture.model) : &tallModel;
        fixture.view.fakeSelection.append(owner->index(cell.y(), cell.x()));
    }
    QCOMPARE(names(fixture.view.selectedItems()), rows);
}

void tst_zTreeItemView::closeEditorTree_data()
{
    QTest::addColumn<bool>("editCurrent");
    QTest::addColumn<bool>("editOther");
    QTest::addColumn<bool>("closedWithNoHint");
    QTest::addColumn<bool>("ownEditorVisible");
    QTest::newRow("nothing edited: no effect") << false << false << false << true;
    QTest::newRow("view's editor on current cell closed") << true << false << true << true;
    QTest::newRow("no editor on current cell: own editor hidden") << false << true << false << false;
}

void tst_zTreeItemView::closeEditorTree()
{
    QFETCH(bool, editCurrent);
    QFETCH(bool, editOther);
    QFETCH(bool, closedWithNoHint);
    QFETCH(bool, ownEditorVisible);
    TreeViewFixture fixture(TreeOutline);
    fixture.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.view));
    zBaseWidgetDelegate widgetDelegate;
    auto* ownEditor = new QLineEdit(fixture.view.viewport());
    ownEditor->show();
    widgetDelegate.setEditor(ownEditor);
    const QModelIndex current = fixture.indexOf(QStringLiteral("C"), 1);
    const QModelIndex other = fixture.indexOf(QStringLiteral("A"), 2);
    fixture.view.setCellDelegate(7, 1, &widgetDelegate); // the current cell's delegate
    fixture.view.setCurrentIndex(current);
    if (editCurrent)
        fixture.view.edit(current);
    if (editOther)
        fixture.view.edit(other);
    QCOMPARE(fixture.view.currentIndex(), current);

    fixture.view.closeEditorTree();
    QCOMPARE(fixture.view.closeHints, closedWithNoHint ? QList<QAbstractItemDelegate::EndEditHint>{QAbstractItemDelegate::NoHint}
                                                       : QList<QAbstractItemDelegate::EndEditHint>{});
    QCOMPARE(fixture.view.indexWidget(current), nullptr);
    QCOMPARE(ownEditor->isVisible(), ownEditorVisible);
    QCOMPARE(fixture.view.indexWidget(other) != nullptr, editOther); // other cells' editors stay open
}

QTEST_MAIN(tst_zTreeItemView)
#include "tst_zTreeItemView.moc"
