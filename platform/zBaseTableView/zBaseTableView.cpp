#include "zBaseTableView.h"

#include "CellPaintShortcut.h"
#include "DrawTreeDelegate.h"
#include "StyleDrawLineDelegate_1.h"
#include "zBaseHeaderColumn.h"
#include "zBaseTableModel.h"
#include "zStyleDrawTextNodeAndDotLineDelegate.h"
#include "zStyleNoneDelegate.h"
#include "zStyleNotLevelsDelegate.h"
#include "FrozenView.h"
#include "TableGridPainter.h"
#include "zTableHeader.h"
#include "zTreeRole.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QtWidgets/private/qabstractitemview_p.h>

#include <algorithm>

namespace {

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
/*
 * The view's default delegate: Qt's own delegate lookup is not virtual, so every
 * cell without a Qt row or column delegate lands here and is handed to whatever
 * the view's delegateForIndex() chooses. A cell in a row or column that also has
 * a Qt delegate is served by that delegate directly, so there Qt's choice can
 * still differ from delegateForIndex() (a cell delegate, for one, is not used).
 */
class CellDelegateDispatcher : public QStyledItemDelegate
{
public:
    explicit CellDelegateDispatcher(zBaseTableView* view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (QAbstractItemDelegate* chosen = choice(index))
            return chosen->paint(painter, option, index);
        // QStyledItemDelegate::paint, without the style's work on a cell it would leave blank.
        QStyleOptionViewItem itemOption = option;
        initStyleOption(&itemOption, index);
        if (CellPaintShortcut::drawsNothing(itemOption))
            return;
        QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, option.widget);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        return chosen ? chosen->sizeHint(option, index) : QStyledItemDelegate::sizeHint(option, index);
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        if (!chosen)
            return QStyledItemDelegate::createEditor(parent, option, index);
        // The view listens to this delegate only: pass on what the chosen one reports about its editor.
        connect(chosen, &QAbstractItemDelegate::commitData, this, &QAbstractItemDelegate::commitData,
                Qt::UniqueConnection);
        connect(chosen, &QAbstractItemDelegate::closeEditor, this, &QAbstractItemDelegate::closeEditor,
                Qt::UniqueConnection);
        return chosen->createEditor(parent, option, index);
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        chosen ? chosen->destroyEditor(editor, index) : QStyledItemDelegate::destroyEditor(editor, index);
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        chosen ? chosen->setEditorData(editor, index) : QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        chosen ? chosen->setModelData(editor, model, index) : QStyledItemDelegate::setModelData(editor, model, index);
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override
    {
        QAbstractItemDelegate* chosen = choice(index);
        chosen ? chosen->updateEditorGeometry(editor, option, index)
               : QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
    {
        QAbstractItemDelegate* chosen = choice(index);
        return chosen ? chosen->editorEvent(event, model, option, index)
                      : QStyledItemDelegate::editorEvent(event, model, option, index);
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        QAbstractItemDelegate* chosen = choice(index);
        return chosen ? chosen->helpEvent(event, view, option, index)
                      : QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    // Null when the view chose this delegate (or none): then it serves the cell itself, never recursing.
    QAbstractItemDelegate* choice(const QModelIndex& index) const
    {
        QAbstractItemDelegate* chosen = m_view->delegateForIndex(index);
        return chosen == this ? nullptr : chosen;
    }

    zBaseTableView* m_view; // the parent
};
#endif

bool findDelegateEntry(const QMap<int, QPointer<QAbstractItemDelegate>>& entries, int key,
                       QAbstractItemDelegate*& delegate)
{
    const auto entry = entries.constFind(key);
    if (entry == entries.constEnd())
        return false;
    delegate = entry.value();
    return true;
}

} // namespace

zBaseTableView::zBaseTableView(QWidget* parent)
    : QTableView(parent)
{
    primaryTableHeader = new zTableHeader(Qt::Horizontal, this);
    setHorizontalHeader(primaryTableHeader);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    setItemDelegate(new CellDelegateDispatcher(this));
#endif
}

zBaseTableView::~zBaseTableView() = default;

void zBaseTableView::setModel(QAbstractItemModel* model)
{
    if (tableModel)
        disconnect(tableModel, &QAbstractItemModel::modelReset, this, nullptr);
    QTableView::setModel(model);
    tableModel = qobject_cast<zBaseTableModel*>(model);
    headerColumn = tableModel ? tableModel->getHeaderColumn() : nullptr;
    if (tableModel)
        connect(tableModel, &QAbstractItemModel::modelReset, this, &zBaseTableView::modelWasReset);
    for (zTableHeader* header : {primaryTableHeader, secondaryTableHeader}) {
        if (header)
            header->followView();
    }
}

zBaseTableModel* zBaseTableView::model() const
{
    return tableModel;
}

bool zBaseTableView::isEditing() const
{
    return state() == QAbstractItemView::EditingState;
}

void zBaseTableView::setViewSpans(const QList<QRect>& spans)
{
    viewSpans = spans;
    updateViewSpans();
}

quint64 zBaseTableView::cellKey(int originalRow, int column)
{
    return (quint64(qint64(originalRow)) << 32) | quint64(quint32(column));
}

void zBaseTableView::setCellDelegate(int originalRow, int column, QAbstractItemDelegate* delegate)
{
    cellDelegates.insert(cellKey(originalRow, column), delegate);
    viewport()->update();
}

void zBaseTableView::setTreeModeDisplay(int column, const ZTVModeOption& option)
{
    if (!tableModel)
        return;
    tableModel->setTreeColumn(column);
    treeColumn = column;
    if (DrawTreeDelegate* created = createTreeDelegate(column, option))
        treeDelegate = created;
    if (!treeDelegate)
        return;
    connectTreeDelegate();
    setItemDelegateForColumn(column, treeDelegate);
}

QAbstractItemDelegate* zBaseTableView::delegateForIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    QAbstractItemDelegate* delegate = nullptr;
    if (findRowDelegate(index.row(), delegate) || findColumnDelegate(index.column(), delegate))
        return delegate;
    return itemDelegate();
}

void zBaseTableView::updateViewSpans()
{
    clearSpans();
    for (const QRect& span : qAsConst(viewSpans))
        setSpan(span.top(), span.left(), span.height(), span.width());
}

void zBaseTableView::setTreeNodeSize(const QSize& size)
{
    if (!treeDelegate)
        return;
    treeDelegate->options().treeNodeSize = size;
    viewport()->update();
}

QList<BaseDataItem*> zBaseTableView::selectedItems() const
{
    return {};
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
QAbstractItemDelegate* zBaseTableView::itemDelegateForIndex(const QModelIndex& index) const
{
    // Qt dereferences the answer unchecked: a destroyed or null entry falls back to the default delegate.
    QAbstractItemDelegate* chosen = delegateForIndex(index);
    if (!chosen)
        return itemDelegate();
    hearEditorsOf(chosen);
    return chosen;
}
#endif

QModelIndexList zBaseTableView::selectedIndexes() const
{
    return QTableView::selectedIndexes();
}

void zBaseTableView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTableView::scrollTo(index, hint);
    const FrozenView* strip = primaryTableHeader->vfrozenView();
    if (!index.isValid() || !strip || strip->isHidden() || index.column() < strip->frozenCount())
        return;
    // The strip lies over the viewport's leading pixels; scroll back one column (or the pixels) at a time.
    QScrollBar* bar = horizontalScrollBar();
    for (int covered = strip->width() - visualRect(index).left(); covered > 0 && bar->value() > 0;
         covered = strip->width() - visualRect(index).left())
        bar->setValue(bar->value() - (horizontalScrollMode() == ScrollPerItem ? 1 : covered));
}

void zBaseTableView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
}

void zBaseTableView::slotTreeNodeExpanded(const QHash<int, bool>& rows)
{
    if (!tableModel)
        return;
    QList<int> viewRows = rows.keys();
    // Bottom up: expanding a row moves only the rows below it.
    std::sort(viewRows.begin(), viewRows.end(), std::greater<int>());
    for (int viewRow : qAsConst(viewRows))
        tableModel->setData(treeIndex(viewRow), rows.value(viewRow), zTreeRole::Expanded);
}

void zBaseTableView::treeNodeCheckBoxClick(const QModelIndex& index)
{
    const QModelIndex checkIndex = treeIndex(index.row());
    if (!tableModel || !checkIndex.isValid())
        return;
    const bool checked = checkIndex.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    tableModel->setData(checkIndex, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

void zBaseTableView::doRequestSpecMenuItem(QMenu*, const QModelIndex&)
{
}

void zBaseTableView::updateGeometries()
{
    QTableView::updateGeometries();
    for (zTableHeader* header : {primaryTableHeader, secondaryTableHeader}) {
        if (header)
            header->followView();
    }
}

void zBaseTableView::paintEvent(QPaintEvent* event)
{
    TableGridPainter::paint(this, d_ptr.data(), event, [this](QPaintEvent* e) { QTableView::paintEvent(e); });
}

DrawTreeDelegate* zBaseTableView::createTreeDelegate(int column, const ZTVModeOption& option)
{
    switch (option.displayStyle) {
    case 0: return new zStyleNoneDelegate(this, column, option, nullptr);
    case 1: return new StyleDrawLineDelegate_1(this, option);
    case 2: return new zStyleDrawTextNodeAndDotLineDelegate(this, column, option, nullptr);
    case 3: return new zStyleNotLevelsDelegate(this, column, option, nullptr);
    default: return nullptr;
    }
}

void zBaseTableView::connectTreeDelegate()
{
    connect(treeDelegate, &DrawTreeDelegate::signalEditable, this, [this](int column, bool editable) {
        if (tableModel)
            tableModel->setColumnEditable(column, editable);
    });
    connect(treeDelegate, &zBaseDelegate::doRequestSpecMenuItem, this, &zBaseTableView::doRequestSpecMenuItem,
            Qt::DirectConnection);
    connect(treeDelegate, &DrawTreeDelegate::signalTreeNodeClick, this, &zBaseTableView::slotTreeNodeExpanded);
    connect(treeDelegate, &DrawTreeDelegate::signalTreeNodeCheckBoxClick, this,
            &zBaseTableView::treeNodeCheckBoxClick);
}

QModelIndex zBaseTableView::treeIndex(int viewRow) const
{
    if (!tableModel)
        return {};
    const int treeViewColumn = headerColumn ? headerColumn->originalIndexToVirtualIndex(treeColumn) : treeColumn;
    return tableModel->index(viewRow, treeViewColumn);
}

// Qt does not export the private class's type information, which the sanitizer's vptr check would need.
#if defined(__GNUC__)
#define NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define NO_VPTR_CHECK
#endif

NO_VPTR_CHECK bool zBaseTableView::findRowDelegate(int viewRow, QAbstractItemDelegate*& delegate) const
{
    const auto* d = static_cast<const QAbstractItemViewPrivate*>(d_ptr.data());
    return findDelegateEntry(d->rowDelegates, viewRow, delegate);
}

NO_VPTR_CHECK bool zBaseTableView::findColumnDelegate(int column, QAbstractItemDelegate*& delegate) const
{
    const auto* d = static_cast<const QAbstractItemViewPrivate*>(d_ptr.data());
    return findDelegateEntry(d->columnDelegates, column, delegate);
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
void zBaseTableView::hearEditorsOf(QAbstractItemDelegate* delegate) const
{
    if (isRegisteredWithQt(delegate))
        return;
    auto* self = const_cast<zBaseTableView*>(this);
    connect(delegate, &QAbstractItemDelegate::commitData, self, &zBaseTableView::commitFromOwnDelegate,
            Qt::UniqueConnection);
    connect(delegate, &QAbstractItemDelegate::closeEditor, self, &zBaseTableView::closeFromOwnDelegate,
            Qt::UniqueConnection);
}

// A delegate registered with Qt after it was heard here reaches the view through Qt too: pass on once.
void zBaseTableView::commitFromOwnDelegate(QWidget* editor)
{
    if (!isRegisteredWithQt(sender()))
        commitData(editor);
}

void zBaseTableView::closeFromOwnDelegate(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (!isRegisteredWithQt(sender()))
        closeEditor(editor, hint);
}

NO_VPTR_CHECK bool zBaseTableView::isRegisteredWithQt(const QObject* delegate) const
{
    const auto* d = static_cast<const QAbstractItemViewPrivate*>(d_ptr.data());
    return d->delegateRefCount(static_cast<const QAbstractItemDelegate*>(delegate)) > 0;
}
#endif

void zBaseTableView::modelWasReset()
{
    headerColumn = tableModel ? tableModel->getHeaderColumn() : nullptr;
    updateViewSpans();
}
