#include "TestHelpers.h"

#include <FrozenView.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseWidgetDelegate.h>
#include <zTableHeader.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QtTest>

#include <climits>

namespace {

// Lets a test choose the selection and records closeEditor calls.
class TestTreeView : public zTreeItemView
{
public:
    QModelIndexList selectedIndexes() const override { return fakeSelection; }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override { closeHints.append(hint); zTreeItemView::closeEditor(editor, hint); }

    QModelIndexList fakeSelection;
    QList<QAbstractItemDelegate::EndEditHint> closeHints;
};

// A view and its tree model with four or more columns over a tree outline.
struct TreeViewFixture
{
    explicit TreeViewFixture(const QString& outline, int columnCount = 4, QSize size = {640, 480})
        : tree(outline), rows(tree.rows())
    {
        view.resize(size);
        for (int column = 0; column < columnCount; ++column)
            columns.addColumn(new zBaseHeaderItem(QStringLiteral("c%1").arg(column), QStringLiteral("c%1").arg(column)));
        model.setHeaderColumn(&columns);
        model.BindSrcData(&rows, false);
        view.setModel(&model);
    }
    bool shown() { view.show(); return QTest::qWaitForWindowExposed(&view); }
    int shownRowCount() const { return static_cast<const QAbstractItemModel&>(model).rowCount(); }
    QModelIndex indexOf(const QString& name, int column = 0) const { return model.index(model.findVirtualIndexByItem(tree.row(name)), column); }

    TreeFixture tree;
    QList<BaseDataItem*> rows;
    zBaseHeaderColumn columns;
    zTreeItemModel model;
    TestTreeView view;
};

// Centre of the expand button of a row at a level, for the delegate's default button size.
QPoint nodeCenter(const QTableView& view, const QModelIndex& index, int level)
{
    const int slotWidth = qMax(ZTVModeOption().treeNodeSize.width() + 8, 16);
    return QPoint(view.visualRect(index).left() + level * slotWidth + slotWidth / 2, view.visualRect(index).center().y());
}

// Collects Qt's span warnings while alive; every other message goes on to the previous handler.
struct SpanWarnings
{
    SpanWarnings() { previous = qInstallMessageHandler(&handle); }
    ~SpanWarnings() { qInstallMessageHandler(previous); messages.clear(); }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    { message.startsWith(QLatin1String("QTableView::setSpan")) ? messages.append(message) : previous(type, context, message); }
    static inline QtMessageHandler previous = nullptr;
    static inline QStringList messages;
};

// Spans of a view as "row,column rowsxcolumns", each named once at the cell where it starts.
QString spansOf(const QTableView* view)
{
    QStringList spans;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        for (int column = 0; column < view->model()->columnCount(); ++column) {
            const QPoint cellOrigin(view->columnViewportPosition(column), view->rowViewportPosition(row));
            const int rowSpan = view->rowSpan(row, column), columnSpan = view->columnSpan(row, column);
            if (rowSpan * columnSpan > 1 && view->visualRect(view->model()->index(row, column)).topLeft() == cellOrigin)
                spans.append(QStringLiteral("%1,%2 %3x%4").arg(row).arg(column).arg(rowSpan).arg(columnSpan));
        }
    return spans.join(QLatin1String("; "));
}

// A widget delegate that records the cells it paints and the cells it creates editors for.
struct RecordingDelegate : zBaseWidgetDelegate
{
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    { paintedCells.insert(index); zBaseWidgetDelegate::paint(painter, option, index); }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    { editedCells.append(index); return zBaseWidgetDelegate::createEditor(parent, option, index); }
    mutable QSet<QModelIndex> paintedCells;
    mutable QModelIndexList editedCells;
};

// A plain QTableView set up as view is, over the same model and selection: what Qt itself paints there.
void mirrorInPlainView(const QTableView& view, QTableView& plain)
{
    plain.setModel(view.model());
    plain.setSelectionModel(view.selectionModel());
    plain.setFrameStyle(view.frameStyle());
    plain.setHorizontalScrollBarPolicy(view.horizontalScrollBarPolicy());
    plain.setVerticalScrollBarPolicy(view.verticalScrollBarPolicy());
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        const bool across = orientation == Qt::Horizontal;
        QHeaderView* header = across ? view.horizontalHeader() : view.verticalHeader();
        QHeaderView* plainHeader = across ? plain.horizontalHeader() : plain.verticalHeader();
        plainHeader->setHidden(header->isHidden());
        across ? plainHeader->setFixedHeight(header->height()) : plainHeader->setFixedWidth(header->width());
        for (int section = 0; section < header->count(); ++section) {
            plainHeader->resizeSection(section, header->sectionSize(section));
            plainHeader->setSectionHidden(section, header->isSectionHidden(section));
        }
    }
    for (int row = 0; row < view.model()->rowCount(); ++row)
        for (int column = 0; column < view.model()->columnCount(); ++column) {
            const bool startsSpan = view.visualRect(view.model()->index(row, column)).topLeft()
                == QPoint(view.columnViewportPosition(column), view.rowViewportPosition(row));
            if (startsSpan && view.rowSpan(row, column) * view.columnSpan(row, column) > 1)
                plain.setSpan(row, column, view.rowSpan(row, column), view.columnSpan(row, column));
        }
    plain.resize(view.size());
    plain.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plain));
    plain.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value());
    plain.verticalScrollBar()->setValue(view.verticalScrollBar()->value());
    QCOMPARE(plain.viewport()->size(), view.viewport()->size());
}

// Original rows: A 0, A1 1, A1a 2, A2 3, B 4, B1 5 (hidden), B2 6 (hidden), C 7 (shown at 5), D 8 (shown at 6).
const QString TreeOutline = QStringLiteral("A\n-A1\n--A1a\n-A2\nB\n-B1!\n-B2!\nC\nD\n");
const QString WideOutline = TreeOutline + QStringLiteral("E\nF\nG\nH\n"); // with 8 columns in 300x150: room to scroll

} // namespace

class tst_zTreeItemView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void displayStyleInstallsDelegate_data()
    {
        QTest::addColumn<int>("displayStyle");
        QTest::addColumn<int>("checkMode");
        QTest::addColumn<QString>("installed"); // delegate class, then the model's "checkType"
        QTest::newRow("style 0, check mode 0") << 0 << 0 << "zStyleNoneDelegate, int 0";
        QTest::newRow("style 1, check mode 5") << 1 << 5 << "StyleDrawLineDelegate_1, int 1";
        QTest::newRow("style 2, check mode 1") << 2 << 1 << "zStyleDrawTextNodeAndDotLineDelegate, int 1";
        QTest::newRow("style 3, check mode -1") << 3 << -1 << "zStyleNotLevelsDelegate, int 1";
        QTest::newRow("style 4 installs nothing") << 4 << 0 << "none, int 0";
    }

    void displayStyleInstallsDelegate()
    {
        QFETCH(int, displayStyle);
        QFETCH(int, checkMode);
        QFETCH(QString, installed);
        TreeViewFixture fixture(TreeOutline);
        if (displayStyle > 3) { // no delegate held: Qt reports the null sender
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::disconnect: Unexpected nullptr parameter"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::connect\\(.*\\): invalid nullptr parameter"));
        }
        fixture.columns.moveColumn(0, 3); // declared column 2 is shown at 1: the tree column is declared
        fixture.view.primaryHeader()->setFrozenColumnCount(2);
        fixture.view.primaryHeader()->setFrozenRowCount(1);
        fixture.view.setTreeModeDisplay(2, ZTVModeOption{checkMode, displayStyle});

        QAbstractItemDelegate* treeDelegate = fixture.view.itemDelegateForColumn(2);
        const QVariant checkType = fixture.model.property("checkType");
        QCOMPARE(QStringLiteral("%1, %2 %3").arg(treeDelegate ? treeDelegate->metaObject()->className() : "none", checkType.typeName()).arg(checkType.toInt()), installed);
        QCOMPARE(treeDelegate ? treeDelegate->parent() : &fixture.view, &fixture.view);
        QCOMPARE(fixture.model.getTreeColumn(), 2);
        QString frozenViews; // each strip shows the same model with the same tree delegate
        for (FrozenView* frozenView : fixture.view.findChildren<FrozenView*>())
            frozenViews += frozenView->model() == &fixture.model && frozenView->itemDelegateForColumn(2) == treeDelegate ? "same " : "other ";
        QCOMPARE(frozenViews, QStringLiteral("same same "));
    }

    void withoutTreeModel()
    {
        zTreeItemView view;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::disconnect: Unexpected nullptr parameter"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QObject::connect\\(.*\\): invalid nullptr parameter"));
        view.setTreeModeDisplay(0, ZTVModeOption{0, 1});
        QCOMPARE(view.itemDelegateForColumn(0), nullptr);
        view.primaryHeader()->setFrozenColumnCount(2);
        SpanWarnings spanWarnings;
        view.setViewSpans({QRect(0, 0, 2, 2), QRect(0, 0, 1, 1)}); // nothing to map them to
        QCOMPARE(spanWarnings.messages, QStringList());
        view.setTreeNodeSize(QSize(5, 5));
        view.slotTreeNodeExpanded({{0, false}});
        view.treeNodeCheckBoxClick(QModelIndex());
        view.closeEditorTree();
        QVERIFY(view.primaryHeader()->vfrozenView()->isHidden());

        QStandardItemModel model(3, 3); // no original rows: cell delegates are skipped
        view.setModel(&model);
        QStyledItemDelegate cellDelegate, columnDelegate;
        view.setCellDelegate(1, 2, &cellDelegate);
        view.setItemDelegateForColumn(2, &columnDelegate);
        QCOMPARE(view.delegateForIndex(model.index(1, 2)), &columnDelegate);
        QCOMPARE(view.delegateForIndex(model.index(1, 1)), view.itemDelegate());
        QVERIFY(view.selectedItems().isEmpty());
    }

    void frozenStripsFollowView()
    {
        TreeViewFixture fixture(WideOutline, 8, {300, 150});
        zTreeItemView& view = fixture.view;
        view.setColumnWidth(0, 70);
        view.primaryHeader()->setFrozenColumnCount(2);
        view.primaryHeader()->setFrozenRowCount(1);
        FrozenView* columnStrip = view.primaryHeader()->vfrozenView();
        const QPoint besideRowHeader(view.frameWidth() + view.verticalHeader()->width(), view.frameWidth());
        QCOMPARE(columnStrip->pos(), besideRowHeader); // in place before the window is shown (screenshots of hidden windows)
        QVERIFY(fixture.shown());
        QCoreApplication::processEvents(); // the view lays out resized columns from its event queue
        QCOMPARE(view.primaryHeader()->frozenVSections(), (QList<int>{0, 1}));
        const QList<FrozenView*> strips = view.findChildren<FrozenView*>();
        FrozenView* rowStrip = strips.at(strips.at(0) == columnStrip ? 1 : 0);
        view.verticalScrollBar()->setValue(3);
        const int columnStripFollowed = columnStrip->verticalScrollBar()->value();
        columnStrip->verticalScrollBar()->setValue(1);
        view.horizontalScrollBar()->setValue(2);
        // Place and size of both strips, then the scroll values each side took from the other.
        const int rowStripTop = view.frameWidth() + view.horizontalHeader()->height();
        QCOMPARE((QList<int>{columnStrip->x(), columnStrip->y(), columnStrip->width(), columnStrip->columnWidth(0), rowStrip->geometry().top(),
                             rowStrip->height(), columnStripFollowed, view.verticalScrollBar()->value(), rowStrip->horizontalScrollBar()->value()}),
                 (QList<int>{besideRowHeader.x(), besideRowHeader.y(), 70 + view.columnWidth(1), 70, rowStripTop, view.rowHeight(0), 3, 1, 2}));
    }

    void frozenColumnStripNeverScrollsSideways_data()
    {
        QTest::addColumn<QString>("action"); // each one makes the last column current or scrolls towards it
        QTest::newRow("click on a far cell") << "click";
        QTest::newRow("Right key to the last column") << "Right";
        QTest::newRow("Left key back to the column beside the strip") << "Left";
        QTest::newRow("scrollTo on the strip") << "scrollTo";
        QTest::newRow("sideways wheel over the strip") << "wheel";
    }

    void frozenColumnStripNeverScrollsSideways()
    {
        QFETCH(QString, action);
        TreeViewFixture fixture(WideOutline, 8, {300, 150});
        zTreeItemView& view = fixture.view;
        view.primaryHeader()->setFrozenColumnCount(1);
        FrozenView* strip = view.primaryHeader()->vfrozenView();
        QVERIFY(fixture.shown());
        const QModelIndex farCell = fixture.indexOf(QStringLiteral("D"), 7);
        view.setCurrentIndex(fixture.indexOf(QStringLiteral("D"), 0));
        if (action == "click") {
            view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(farCell).center());
        } else if (action == "Right" || action == "Left") {
            for (int column = 0; column < 7; ++column)
                QTest::keyClick(&view, Qt::Key_Right, Qt::NoModifier);
            for (int column = 7; action == "Left" && column > 1; --column)
                QTest::keyClick(&view, Qt::Key_Left, Qt::NoModifier);
        } else if (action == "scrollTo") {
            strip->scrollTo(farCell);
        } else {
            QWheelEvent wheel(QPointF(5, 40), strip->viewport()->mapToGlobal(QPoint(5, 40)), QPoint(), QPoint(-120, 0),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(strip->viewport(), &wheel);
        }
        const int currentColumn = action == "click" || action == "Right" ? 7 : action == "Left" ? 1 : 0;
        QCOMPARE(view.currentIndex(), fixture.indexOf(QStringLiteral("D"), currentColumn));
        if (currentColumn > 0) // the main view's current cell is not left under the strip
            QVERIFY(view.visualRect(view.currentIndex()).left() >= strip->width());
        // Horizontal offset, header offset, column at the strip's left edge, vertical offset as the main view's.
        QCOMPARE((QList<int>{strip->horizontalScrollBar()->value(), strip->horizontalHeader()->offset(), strip->columnAt(0),
                             strip->verticalScrollBar()->value()}), (QList<int>{0, 0, 0, view.verticalScrollBar()->value()}));
        QVERIFY(view.verticalScrollBar()->value() > 0); // D is below the first screen: the strip followed down
    }

    void mouseClicks()
    {
        TreeViewFixture fixture(TreeOutline);
        fixture.view.setTreeModeDisplay(0, ZTVModeOption{1, 0});
        QVERIFY(fixture.shown());
        // "name before>after": a top-level row's check box sits right of its button, where a child's button would be.
        const auto clickCheckBox = [&fixture](const QString& name) {
            const QModelIndex row = fixture.indexOf(name);
            const int before = row.data(Qt::CheckStateRole).toInt();
            QTest::mouseClick(fixture.view.viewport(), Qt::LeftButton, {}, nodeCenter(fixture.view, row, 1));
            return QStringLiteral("%1 %2>%3").arg(name).arg(before).arg(row.data(Qt::CheckStateRole).toInt());
        };
        QCOMPARE(clickCheckBox(QStringLiteral("D")), QStringLiteral("D 0>2")); // unchecked becomes checked
        fixture.model.setData(fixture.indexOf(QStringLiteral("A2")), Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(clickCheckBox(QStringLiteral("A")), QStringLiteral("A 1>2")); // partially checked becomes checked
        QCOMPARE(clickCheckBox(QStringLiteral("D")), QStringLiteral("D 2>0")); // checked becomes unchecked

        QSignalSpy clicks(&fixture.view, &zTreeItemView::doTreeNodeClicked);
        // "signals when the click returns>after the event loop, view row the first one carries, shown rows" (A1 is view row 1)
        const auto clickA1 = [&](QTableView& view) {
            clicks.clear();
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, nodeCenter(view, fixture.indexOf(QStringLiteral("A1")), 1));
            const int whenClickReturns = clicks.count();
            QCoreApplication::processEvents();
            return QStringLiteral("%1>%2 of row %3, %4 rows").arg(whenClickReturns).arg(clicks.count()).arg(clicks.value(0).value(0).value<QModelIndex>().row()).arg(fixture.shownRowCount());
        };
        QCOMPARE(clickA1(fixture.view), QStringLiteral("0>1 of row 1, 7 rows")); // queued, and the view does not collapse A1
        fixture.view.setTreeModeDisplay(0, ZTVModeOption{0, 9}); // invalid style: the held delegate is wired again
        QCOMPARE(clickA1(fixture.view), QStringLiteral("0>2 of row 1, 7 rows"));

        zBaseTableView baseView;
        baseView.setModel(&fixture.model);
        baseView.setTreeModeDisplay(0, ZTVModeOption{0, 0});
        baseView.show();
        QVERIFY(QTest::qWaitForWindowExposed(&baseView));
        QCOMPARE(clickA1(baseView), QStringLiteral("0>0 of row -1, 6 rows")); // the base view collapses A1 itself
    }

    // The grid is filled as rectangles: exactly the pixels of Qt's own grid lines, around spans and under the frozen strip too.
    void gridTakesQtsPixels_data()
    {
        QTest::addColumn<QList<QRect>>("spans"); // requested: original rows
        QTest::addColumn<bool>("headersShown");
        QTest::addColumn<bool>("scrolledAndSelected"); // row 1 and column 2 hidden too
        QTest::addColumn<int>("frozenColumns"); // > 0: the column strip is compared
        const QList<QRect> spans{QRect(1, 0, 3, 1), QRect(0, 2, 2, 2), QRect(4, 7, 2, 3)};
        QTest::newRow("plain") << QList<QRect>() << true << false << 0;
        QTest::newRow("spans, one from the first row") << spans << true << false << 0;
        QTest::newRow("spans, headers hidden") << spans << false << false << 0;
        QTest::newRow("scrolled, hidden sections, selected and current cells") << spans << true << true << 0;
        QTest::newRow("frozen column strip") << spans << true << false << 2;
        QTest::newRow("frozen column strip, scrolled") << spans << true << true << 2;
    }
    void gridTakesQtsPixels()
    {
        QFETCH(QList<QRect>, spans);
        QFETCH(bool, headersShown);
        QFETCH(bool, scrolledAndSelected);
        QFETCH(int, frozenColumns);
        TreeViewFixture fixture(WideOutline, 8, {300, 170});
        fixture.view.setTreeModeDisplay(0, ZTVModeOption{0, 1});
        fixture.view.horizontalHeader()->setVisible(headersShown);
        fixture.view.verticalHeader()->setVisible(headersShown);
        fixture.view.setViewSpans(spans);
        fixture.view.primaryHeader()->setFrozenColumnCount(frozenColumns);
        QVERIFY(fixture.shown());
        if (scrolledAndSelected) {
            fixture.view.setRowHidden(1, true);
            fixture.view.setColumnHidden(2, true);
            fixture.view.setCurrentIndex(fixture.model.index(5, 3));
            fixture.view.selectionModel()->select(QItemSelection(fixture.model.index(6, 1), fixture.model.index(7, 4)), QItemSelectionModel::Select);
            fixture.view.verticalScrollBar()->setValue(2);
            fixture.view.horizontalScrollBar()->setValue(1);
        }
        QTableView* painted = frozenColumns > 0 ? static_cast<QTableView*>(fixture.view.primaryHeader()->vfrozenView()) : &fixture.view;
        QTableView plain;
        plain.setItemDelegateForColumn(0, painted->itemDelegateForColumn(0));
        mirrorInPlainView(*painted, plain);
        QCOMPARE(painted->viewport()->grab().toImage(), plain.viewport()->grab().toImage());
    }

    void displayStylesPaintDifferently()
    {
        TreeViewFixture fixture(TreeOutline + QStringLiteral("-D1\n--D1a\n--D1b-\n---D1b1\n-D2\n"), 4, {480, 320});
        fixture.model.dataStarting([&fixture](int role, const QModelIndex& index, const zBaseHeaderItem*, QVariant& value) { // names to read
            value = static_cast<NamedRow*>(fixture.model.findItemByIndex(index))->name(); return role == Qt::DisplayRole; });
        fixture.view.setColumnWidth(0, 200);
        QVERIFY(fixture.shown());
        QList<QImage> renders{fixture.view.grab().toImage()}; // without a tree delegate
        for (int displayStyle = 0; displayStyle < 4; ++displayStyle) {
            fixture.view.setTreeModeDisplay(0, ZTVModeOption{displayStyle % 2, displayStyle});
            renders.append(fixture.view.grab().toImage());
            for (int earlier = 0; earlier <= displayStyle; ++earlier)
                QVERIFY2(renders.at(earlier) != renders.last(), qPrintable(QStringLiteral("style %1 looks like render %2").arg(displayStyle).arg(earlier)));
        }
        fixture.view.setTreeNodeSize(QSize(INT_MAX, INT_MAX)); // the host's to set: painted without overflow, text pushed out
        QVERIFY(fixture.view.grab().toImage() != renders.last());
    }

    void delegateForIndex()
    {
        TreeViewFixture fixture(TreeOutline);
        QStyledItemDelegate cellDelegate, columnDelegate;
        auto rowDelegate = std::make_unique<QStyledItemDelegate>();
        const QHash<QAbstractItemDelegate*, QString> names{{&cellDelegate, "cell"}, {rowDelegate.get(), "row"},
            {&columnDelegate, "column"}, {fixture.view.itemDelegate(), "default"}, {nullptr, "null"}};
        const auto delegateOf = [&](const QString& name, int column) {
            return names.value(fixture.view.delegateForIndex(fixture.indexOf(name, column)), QStringLiteral("?"));
        };
        // C is original row 7, shown at view row 5 (B1 and B2 are hidden).
        QCOMPARE(delegateOf(QStringLiteral("C"), 1), QStringLiteral("default"));
        fixture.view.setItemDelegateForColumn(1, &columnDelegate);
        QCOMPARE(delegateOf(QStringLiteral("C"), 1), QStringLiteral("column"));
        fixture.view.setItemDelegateForRow(5, rowDelegate.get());
        fixture.view.setCellDelegate(5, 1, &cellDelegate);
        QCOMPARE(delegateOf(QStringLiteral("C"), 1), QStringLiteral("row")); // the cell key is the original row
        fixture.view.setCellDelegate(7, 1, &cellDelegate);
        QCOMPARE(delegateOf(QStringLiteral("C"), 1), QStringLiteral("cell"));
        fixture.view.setCellDelegate(7, 1, nullptr);
        QCOMPARE(delegateOf(QStringLiteral("C"), 1), QStringLiteral("null")); // an entry wins even when null
        rowDelegate.reset();
        QCOMPARE(delegateOf(QStringLiteral("C"), 2), QStringLiteral("null")); // so does a destroyed row delegate

        fixture.columns.moveColumn(3, 0); // shown column 0 is declared column 3
        fixture.view.setItemDelegateForColumn(0, &columnDelegate);
        QCOMPARE(delegateOf(QStringLiteral("D"), 0), QStringLiteral("default"));
        fixture.view.setItemDelegateForColumn(3, &columnDelegate);
        QCOMPARE(delegateOf(QStringLiteral("D"), 0), QStringLiteral("column"));
        QCOMPARE(fixture.view.delegateForIndex(QModelIndex()), nullptr);
    }

    void updateViewSpans_data()
    {
        // Six declared columns; "collapsed" names a row collapsed after the spans are set.
        QTest::addColumn<QList<QRect>>("requested");
        QTest::addColumn<QList<int>>("hiddenColumns");
        QTest::addColumn<int>("frozenColumns");
        QTest::addColumn<QString>("collapsed");
        QTest::addColumn<QString>("spans"); // main view | frozen column strip
        QTest::addColumn<QStringList>("warnings");
        const QString invalid = QStringLiteral("QTableView::setSpan: invalid span given: (%1)");
        using Rects = QList<QRect>;
        using Columns = QList<int>;

        QTest::newRow("first row mapped to its shown row") << Rects{QRect(1, 7, 2, 2)} << Columns{} << 0 << "" << "5,1 2x2 | " << QStringList();
        QTest::newRow("first row hidden: no span") << Rects{QRect(1, 5, 2, 2)} << Columns{} << 0 << "" << " | " << QStringList();
        QTest::newRow("rows below a hidden one are not mapped") << Rects{QRect(0, 4, 1, 3)} << Columns{} << 0 << "" << "4,0 3x1 | " << QStringList();
        QTest::newRow("original row out of range") << Rects{QRect(0, 9, 2, 2)} << Columns{} << 0 << "" << " | " << QStringList();
        QTest::newRow("spans follow a collapse") << Rects{QRect(0, 7, 2, 2), QRect(0, 3, 3, 1)} << Columns{} << 0 << "A" << "2,0 2x2 | " << QStringList();
        QTest::newRow("hidden column narrows the span") << Rects{QRect(1, 0, 4, 1)} << Columns{2} << 0 << "" << "0,1 1x3 | " << QStringList();
        QTest::newRow("hidden first column starts at next shown") << Rects{QRect(1, 0, 3, 2)} << Columns{1} << 0 << "" << "0,1 2x2 | " << QStringList();
        QTest::newRow("all columns hidden: no span") << Rects{QRect(1, 0, 2, 2)} << Columns{1, 2} << 0 << "" << " | " << QStringList();
        QTest::newRow("zero height reaches Qt's rules") << Rects{QRect(1, 7, 2, 0)} << Columns{} << 0 << "" << " | " << QStringList{invalid.arg("5, 1, 0, 2")};
        QTest::newRow("zero width keeps its column") << Rects{QRect(3, 7, 0, 2)} << Columns{2} << 0 << "" << " | " << QStringList{invalid.arg("5, 3, 2, 0")};
        QTest::newRow("negative size dropped silently") << Rects{QRect(1, 0, -2, 2), QRect(1, 0, 2, -3)} << Columns{} << 0 << "" << " | " << QStringList();
        QTest::newRow("lone single cell") << Rects{QRect(0, 0, 1, 1)} << Columns{} << 0 << "" << " | " << QStringList{QStringLiteral("QTableView::setSpan: single cell span won't be added")};
        QTest::newRow("start inside earlier span") << Rects{QRect(0, 0, 2, 3), QRect(1, 1, 2, 2)} << Columns{} << 0 << "" << "0,0 3x2 | " << QStringList{QStringLiteral("QTableView::setSpan: span cannot overlap")};
        QTest::newRow("free first cell overlapping later cells") << Rects{QRect(1, 1, 2, 2), QRect(0, 0, 2, 2)} << Columns{} << 0 << "" << "0,0 2x2; 1,1 2x2 | " << QStringList();
        QTest::newRow("span from a frozen section") << Rects{QRect(1, 7, 3, 2)} << Columns{} << 2 << "" << "5,1 2x3 | 5,1 2x3" << QStringList();
        QTest::newRow("frozen position of a shifted section") << Rects{QRect(2, 0, 2, 2)} << Columns{1} << 2 << "" << "0,1 2x2 | 0,1 2x2" << QStringList();
        QTest::newRow("span outside the frozen sections") << Rects{QRect(2, 0, 2, 2)} << Columns{} << 2 << "" << "0,2 2x2 | " << QStringList();
        QTest::newRow("zero height in a frozen section warns twice") << Rects{QRect(0, 1, 2, 0)} << Columns{} << 2 << "" << " | "
                                                                     << QStringList{invalid.arg("1, 0, 0, 2"), invalid.arg("1, 0, 0, 2")};
    }

    void updateViewSpans()
    {
        QFETCH(QList<QRect>, requested);
        QFETCH(QList<int>, hiddenColumns);
        QFETCH(int, frozenColumns);
        QFETCH(QString, collapsed);
        QFETCH(QString, spans);
        QFETCH(QStringList, warnings);
        TreeViewFixture fixture(TreeOutline, 6);
        for (int hiddenColumn : hiddenColumns)
            fixture.columns.setColumnHidden(hiddenColumn, true);
        fixture.view.primaryHeader()->setFrozenColumnCount(frozenColumns);
        FrozenView* frozenView = fixture.view.primaryHeader()->vfrozenView();
        fixture.view.setViewSpans({QRect(0, 0, 2, 2)}); // stale spans every call must clear

        SpanWarnings spanWarnings;
        fixture.view.setViewSpans(requested);
        if (!collapsed.isEmpty())
            fixture.model.setData(fixture.indexOf(collapsed), false, zTreeItemModel::TreeExpandedRole);
        QCOMPARE(spanWarnings.messages, warnings);
        QCOMPARE(spansOf(&fixture.view) + QStringLiteral(" | ") + (frozenView ? spansOf(frozenView) : QString()), spans);
    }

    void selectedItems()
    {
        TreeViewFixture fixture(TreeOutline);
        const auto itemsOf = [&fixture](const QList<QPoint>& selected) { // (column, view row) in selection order
            fixture.view.fakeSelection.clear();
            for (const QPoint& cell : selected)
                fixture.view.fakeSelection.append(fixture.model.index(cell.y(), cell.x()));
            return names(fixture.view.selectedItems());
        };
        // Nothing; one row twice, then another; the list's order, not the rows'; a row the model does not have.
        QCOMPARE(QStringList({itemsOf({}), itemsOf({{1, 0}, {2, 0}, {1, 3}}), itemsOf({{0, 5}, {0, 1}, {3, 5}}), itemsOf({{0, 2}, {0, 40}})}),
                 QStringList({"", "A A A2", "C A1 C", "A1a null"}));
    }

    // Qt 6 takes a cell's delegate from the view and never connects it: the view must hear its editor itself.
    void cellDelegateEditorCommitsAndCloses()
    {
        TreeViewFixture fixture(TreeOutline);
        QStyledItemDelegate cellDelegate;
        fixture.view.setCellDelegate(7, 1, &cellDelegate);
        QString written;
        fixture.model.editorStarting([&](int, const QModelIndex&, const zBaseHeaderItem*, QVariant& value) { written = value.toString(); return false; });
        const QModelIndex cell = fixture.indexOf(QStringLiteral("C"), 1);
        QVERIFY(fixture.shown());
        fixture.view.edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(fixture.view.indexWidget(cell));
        QVERIFY(editor);
        editor->setText(QStringLiteral("typed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits and closes from its event queue
        QCOMPARE(written, QStringLiteral("typed"));
        QCOMPARE(fixture.view.closeHints, QList<QAbstractItemDelegate::EndEditHint>{QAbstractItemDelegate::SubmitModelCache});
    }

    void cellDelegateAndCloseEditorTree()
    {
        TreeViewFixture fixture(TreeOutline);
        RecordingDelegate cellDelegate;
        auto* ownEditor = new QLineEdit(fixture.view.viewport());
        cellDelegate.setEditor(ownEditor);
        const QModelIndex current = fixture.indexOf(QStringLiteral("C"), 1), other = fixture.indexOf(QStringLiteral("A"), 2);
        fixture.view.setCellDelegate(7, 1, &cellDelegate);
        fixture.view.setCurrentIndex(current);
        QVERIFY(fixture.shown());
        fixture.view.grab();
        QCOMPARE(cellDelegate.paintedCells, QSet<QModelIndex>{current});
        fixture.view.closeEditorTree(); // nothing edited: no effect
        QVERIFY(fixture.view.closeHints.isEmpty() && ownEditor->isVisible());

        fixture.view.edit(current);
        QCOMPARE(cellDelegate.editedCells, QModelIndexList{current});
        fixture.view.closeEditorTree(); // the view's editor of the current cell is closed
        QCOMPARE(fixture.view.closeHints, QList<QAbstractItemDelegate::EndEditHint>{QAbstractItemDelegate::NoHint});
        QVERIFY(!fixture.view.indexWidget(current) && ownEditor->isVisible());

        fixture.view.edit(other);
        fixture.view.closeEditorTree(); // no editor on the current cell: its delegate's own editor is hidden, other cells' editors stay
        QVERIFY(!ownEditor->isVisible() && fixture.view.closeHints.size() == 1 && fixture.view.indexWidget(other));
    }
};

QTEST_MAIN(tst_zTreeItemView)
#include "tst_zTreeItemView.moc"
