#include "zTreeItemView.h"

#include "CheckTypeProperty_p.h"
#include "DrawTreeDelegate.h"
#include "FrozenView.h"
#include "zBaseHeaderColumn.h"
#include "zBaseWidgetDelegate.h"
#include "zTableHeader.h"
#include "zTreeItemModel.h"

namespace {

// Sets one span with Qt's span rules and messages ("invalid span given", "span cannot
// overlap", "single cell span won't be added"). The public setSpan gives exactly what a write
// to the private span store would (Qt Widgets does not export QSpanCollection), and Qt merges
// the repaint each call schedules into one.
void _setSpan(QTableView* view, int row, int column, int rowSpan, int columnSpan)
{
    view->setSpan(row, column, rowSpan, columnSpan);
}

// Spans are set as if their shown columns were adjacent: from the first shown one, as many as are shown.
void mapSpanColumns(const zBaseHeaderColumn* columns, QRect& span)
{
    int shownCount = 0;
    int firstVirtualColumn = -1;
    // Columns past the declared ones are never shown, so the walk stops there.
    const int lastOriginalColumn = columns ? qMin(span.right(), columns->originalCount() - 1) : span.right();
    for (int originalColumn = span.left(); originalColumn <= lastOriginalColumn; ++originalColumn) {
        if (columns && !columns->isColumnVisibleByOriginalIndex(originalColumn))
            continue;
        if (shownCount++ == 0)
            firstVirtualColumn = columns ? columns->originalIndexToVirtualIndex(originalColumn) : originalColumn;
    }
    if (shownCount == 0) {
        span.setWidth(-1);
        return;
    }
    span.moveLeft(firstVirtualColumn);
    span.setWidth(shownCount);
}

// Only the first row is mapped: the span covers as many shown rows as it asked for.
bool mapSpanToView(const zTreeItemModel& model, const zBaseHeaderColumn* columns, QRect& span)
{
    BaseDataItem* firstRow = model.findItemByOriginalIndex(span.top());
    const int virtualRow = firstRow ? model.findVirtualIndexByItem(firstRow) : -1;
    if (virtualRow < 0)
        return false;
    span.moveTop(virtualRow);
    if (span.width() > 0)
        mapSpanColumns(columns, span);
    // Zero sizes go on to Qt's rules, which report them; negative ones are dropped silently.
    return span.top() >= 0 && span.left() >= 0 && span.height() >= 0 && span.width() >= 0;
}

} // namespace

zTreeItemView::zTreeItemView(QWidget* parent)
    : zBaseTableView(parent)
{
}

zTreeItemView::~zTreeItemView() = default;

void zTreeItemView::setTreeModeDisplay(int column, const ZTVModeOption& option)
{
    if (tableModel)
        tableModel->setProperty(CheckTypeProperty, option.checkMode != 0 ? 1 : 0);
    zBaseTableView::setTreeModeDisplay(column, option);
    // Node clicks go to the host only, after the click's event handling has returned. Not a unique
    // connection, deliberately: like the base view's wiring of the delegate, each call adds one, so a
    // call with a style outside 0 to 3 (which keeps the held delegate) doubles each click signal.
    disconnect(treeDelegate, &DrawTreeDelegate::signalTreeNodeClick, this, &zBaseTableView::slotTreeNodeExpanded);
    connect(treeDelegate, &DrawTreeDelegate::doTreeNodeClicked, this, &zTreeItemView::doTreeNodeClicked,
            Qt::QueuedConnection);
    handDelegateToFrozenViews(column);
}

QAbstractItemDelegate* zTreeItemView::delegateForIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    if (const auto* treeModel = qobject_cast<const zTreeItemModel*>(QTableView::model())) {
        const int originalRow = treeModel->findOriginalIndexByItem(treeModel->findItemByIndex(index));
        const auto cellEntry = cellDelegates.constFind(cellKey(originalRow, index.column()));
        if (cellEntry != cellDelegates.constEnd())
            return cellEntry.value();
    }
    QAbstractItemDelegate* delegate = nullptr;
    if (findRowDelegate(index.row(), delegate))
        return delegate;
    const int originalColumn = headerColumn ? headerColumn->virtualIndexToOriginalIndex(index.column()) : index.column();
    if (findColumnDelegate(originalColumn, delegate))
        return delegate;
    return itemDelegate();
}

void zTreeItemView::updateViewSpans()
{
    const zTableHeader* header = primaryTableHeader ? primaryTableHeader : secondaryTableHeader;
    FrozenView* frozenView = header ? header->vfrozenView() : nullptr;
    const QList<int> frozenSections = frozenView ? header->frozenVSections() : QList<int>();
    if (frozenView)
        frozenView->clearSpans();
    clearSpans();
    const auto* treeModel = qobject_cast<const zTreeItemModel*>(QTableView::model());
    const QList<QRect> requestedSpans = viewSpans;
    for (QRect span : requestedSpans) {
        if (!treeModel || !mapSpanToView(*treeModel, headerColumn, span))
            continue;
        _setSpan(this, span.top(), span.left(), span.height(), span.width());
        const int frozenColumn = frozenSections.indexOf(span.left());
        if (frozenColumn >= 0)
            _setSpan(frozenView, span.top(), frozenColumn, span.height(), span.width());
    }
    viewport()->update();
}

void zTreeItemView::setTreeNodeSize(const QSize& size)
{
    if (treeDelegate)
        treeDelegate->options().treeNodeSize = size;
}

QList<BaseDataItem*> zTreeItemView::selectedItems() const
{
    const auto* treeModel = qobject_cast<const zTreeItemModel*>(QTableView::model());
    if (!treeModel)
        return {};
    QList<BaseDataItem*> items;
    const QModelIndexList selected = selectedIndexes();
    for (const QModelIndex& index : selected)
        items.append(treeModel->findItemByIndex(index));
    return items;
}

void zTreeItemView::closeEditorTree()
{
    if (!isEditing())
        return;
    const QModelIndex current = currentIndex();
    // indexWidget reads the view's editor registry: the editor opened for this very index.
    if (QWidget* editor = indexWidget(current)) {
        closeEditor(editor, QAbstractItemDelegate::NoHint);
        return;
    }
    const auto* widgetDelegate = qobject_cast<const zBaseWidgetDelegate*>(delegateForIndex(current));
    if (QWidget* ownEditor = widgetDelegate ? widgetDelegate->editor() : nullptr)
        ownEditor->hide();
}

void zTreeItemView::handDelegateToFrozenViews(int column)
{
    QAbstractItemDelegate* columnDelegate = itemDelegateForColumn(column);
    for (zTableHeader* header : {primaryTableHeader, secondaryTableHeader}) {
        if (!header)
            continue;
        for (FrozenView* frozenView : {header->hfrozenView, header->vfrozenView()}) {
            if (frozenView)
                frozenView->setItemDelegateForColumn(column, columnDelegate);
        }
    }
}
