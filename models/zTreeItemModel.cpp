#include "zTreeItemModel.h"

#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

// Binding and the rows shown: a bind flattens the original rows once, and the visible and hidden
// rows, with the virtual row of each original row, are derived again from them whenever visibility
// changes. Cells, check states, structural edits and names have their own zTreeItemModel*.cpp.

namespace {

// Pre-order: each row, then the flattening of its children. Null rows are never
// flattened. An explicit stack keeps deep trees off the call stack.
template <typename Visit>
void forEachPreOrder(const QList<BaseDataItem*>& rootRows, Visit visit)
{
    QVector<BaseDataItem*> pending;
    for (int rootPos = rootRows.size() - 1; rootPos >= 0; --rootPos)
        pending.append(rootRows.at(rootPos));
    while (!pending.isEmpty()) {
        BaseDataItem* row = pending.takeLast();
        if (!row)
            continue;
        visit(row);
        if (row->getChildrenCount() == 0)
            continue;
        const QList<BaseDataItem*>& children = row->getBaseDataItemlist();
        for (int childPos = children.size() - 1; childPos >= 0; --childPos)
            pending.append(children.at(childPos));
    }
}

} // namespace

/// Ancestor counts within one bind. Estimates are shallow and walked up directly; past a few
/// dozen levels the counts are remembered, as a walk per childless row would be quadratic in the
/// depth of a comb-shaped tree (a deep chain with a leaf at every level).
struct zTreeItemModelPrivate::AncestorCounter
{
    int ancestorsOf(BaseDataItem* row)
    {
        BaseDataItem* parent = row->getParent();
        if (!parent)
            return 0;
        if (parent != lastParent) // siblings mostly follow one another
            lastParentAncestors = countAncestors(parent);
        lastParent = parent;
        return lastParentAncestors + 1;
    }

private:
    static constexpr int directWalkLimit = 64;

    int countAncestors(BaseDataItem* row)
    {
        int steps = 0;
        BaseDataItem* ancestor = row->getParent();
        for (; ancestor && steps < directWalkLimit; ancestor = ancestor->getParent())
            ++steps;
        return ancestor ? steps + 1 + rememberedAncestors(ancestor) : steps;
    }
    int rememberedAncestors(BaseDataItem* row)
    {
        uncounted.clear();
        BaseDataItem* ancestor = row;
        auto counted = counts.constEnd();
        for (; ancestor && (counted = counts.constFind(ancestor)) == counts.constEnd(); ancestor = ancestor->getParent())
            uncounted.append(ancestor);
        int ancestors = ancestor ? *counted : -1; // the topmost uncounted row is a root or a counted row's child
        for (int pos = uncounted.size() - 1; pos >= 0; --pos)
            counts.insert(uncounted.at(pos), ++ancestors);
        return ancestors;
    }

    QHash<BaseDataItem*, int> counts; // only rows met beyond a direct walk
    QVector<BaseDataItem*> uncounted; // kept between calls: one allocation per bind
    BaseDataItem* lastParent = nullptr;
    int lastParentAncestors = 0;
};

zTreeItemModelPrivate::zTreeItemModelPrivate(zTreeItemModel* q)
    : q_ptr(q)
{
}

zTreeItemModel::zTreeItemModel(QObject* parent)
    : zBaseTableModel(parent)
    , d(std::make_unique<zTreeItemModelPrivate>(this))
{
    qRegisterMetaType<QList<bool>>("QList<bool>");
}

zTreeItemModel::~zTreeItemModel() = default;

void zTreeItemModel::BindSrcData(QList<BaseDataItem*>* list, bool rebuild)
{
    Q_D(zTreeItemModel);
    d->m_boundList = list;
    d->m_rootRows.clear();
    d->m_originalPositions.reset();
    d->m_ownerIndex.reset();
    d->m_maxLevel = 0;
    if (rebuild && list) {
        for (BaseDataItem* row : qAsConst(*list)) {
            if (row && !row->getParent())
                d->m_rootRows.append(row);
        }
        d->m_originalRows.clear();
        d->startShownRows();
        zTreeItemModelPrivate::AncestorCounter levels;
        // Each row is derived as it is flattened: one sweep over a large tree instead of two.
        forEachPreOrder(d->m_rootRows, [d, &levels](BaseDataItem* row) {
            d->m_originalRows.append(row);
            d->deriveRow(row, false, levels);
        });
        *list = d->m_originalRows;
        return;
    }
    d->m_originalRows = list ? *list : QList<BaseDataItem*>();
    d->startShownRows();
    zTreeItemModelPrivate::AncestorCounter levels;
    for (BaseDataItem* row : qAsConst(d->m_originalRows))
        d->deriveRow(row, true, levels);
}

QList<BaseDataItem*>* zTreeItemModel::GetBindSrcData() const
{
    Q_D(const zTreeItemModel);
    return d->m_boundList;
}

void zTreeItemModel::UpdateData()
{
    BindSrcData(d_func()->m_boundList, false);
    zBaseModel::UpdateData();
}

int zTreeItemModel::rowCount(const QModelIndex&) const
{
    Q_D(const zTreeItemModel);
    const int shownRows = d->m_visibleRows.size();
    if (shownRows != d->m_lastReportedRowCount) {
        const int previous = d->m_lastReportedRowCount;
        d->m_lastReportedRowCount = shownRows;
        // A const query that signals: the row count is only known to have changed when a view asks.
        Q_EMIT const_cast<zTreeItemModel*>(this)->doRowCountChanged(previous, shownRows);
    }
    return shownRows;
}

BaseDataItem* zTreeItemModel::findItemByIndex(const QModelIndex& index) const
{
    return findItemByIndex(index.row());
}

BaseDataItem* zTreeItemModel::findItemByIndex(int virtualRow) const
{
    Q_D(const zTreeItemModel);
    return d->shownRow(virtualRow);
}

int zTreeItemModel::findVirtualIndexByItem(BaseDataItem* item) const
{
    // Visibility is a property of the row object, so every occurrence of a row is
    // shown or hidden alike: its first shown position is that of its first original one.
    Q_D(const zTreeItemModel);
    const int originalRow = d->originalPositions().firstPosition(item);
    return originalRow < 0 ? -1 : d->m_virtualRowOfOriginal.at(originalRow);
}

int zTreeItemModel::findModelIndexInData(int virtualRow) const
{
    Q_D(const zTreeItemModel);
    return d->originalPositions().firstPosition(d->shownRow(virtualRow));
}

int zTreeItemModel::findOriginalIndexByItem(BaseDataItem* item) const
{
    Q_D(const zTreeItemModel);
    return d->originalPositions().firstPosition(item);
}

BaseDataItem* zTreeItemModel::findItemByOriginalIndex(int originalRow) const
{
    Q_D(const zTreeItemModel);
    return d->m_originalRows.value(originalRow, nullptr);
}

BaseDataItem* zTreeItemModel::getClickedItem() const
{
    Q_D(const zTreeItemModel);
    return d->m_clickedItem;
}

int zTreeItemModel::getClickedVirtualColumn() const
{
    Q_D(const zTreeItemModel);
    return d->m_clickedVirtualColumn;
}

int zTreeItemModel::getClickedVirtualRow() const
{
    Q_D(const zTreeItemModel);
    return findVirtualIndexByItem(d->m_clickedItem);
}

TableBaseObject* zTreeItemModel::GetTable() const
{
    Q_D(const zTreeItemModel);
    return d->m_table;
}

void zTreeItemModel::SetTable(TableBaseObject* table)
{
    Q_D(zTreeItemModel);
    d->m_table = table;
}

WorkBaseObject* zTreeItemModel::GetWrok() const
{
    Q_D(const zTreeItemModel);
    return d->m_work;
}

void zTreeItemModel::SetWork(WorkBaseObject* work)
{
    Q_D(zTreeItemModel);
    d->m_work = work;
}

bool zTreeItemModel::getRowIsVisible(BaseDataItem* row) const
{
    return row->getVisible();
}

void zTreeItemModel::setRowIsVisible(BaseDataItem* row, bool visible)
{
    row->setVisible(visible);
}

// Everything derived from one original row, appended in original-row order; the root rows too
// unless they were collected before flattening.
void zTreeItemModelPrivate::deriveRow(BaseDataItem* row, bool collectRootRows, AncestorCounter& levels)
{
    placeRow(row);
    if (!row)
        return;
    TreeBaseItem* parent = row->getParent();
    if (!parent && collectRootRows)
        m_rootRows.append(row);
    else if (parent && row->getChildrenCount() == 0)
        m_maxLevel = qMax(m_maxLevel, levels.ancestorsOf(row));
}

void zTreeItemModelPrivate::rebuildShownRows()
{
    startShownRows();
    for (BaseDataItem* row : qAsConst(m_originalRows))
        placeRow(row);
}

void zTreeItemModelPrivate::startShownRows()
{
    m_visibleRows.clear();
    m_hiddenRows.clear();
    m_virtualRowOfOriginal.clear();
    m_visibleRows.reserve(m_originalRows.size());
    m_virtualRowOfOriginal.reserve(m_originalRows.size());
}

bool zTreeItemModelPrivate::placeRow(BaseDataItem* row)
{
    Q_Q(const zTreeItemModel);
    // A null entry keeps its original position but is never shown.
    const bool shown = row && q->getRowIsVisible(row);
    m_virtualRowOfOriginal.append(shown ? m_visibleRows.size() : -1);
    (shown ? m_visibleRows : m_hiddenRows).append(row);
    return shown;
}

const RowPositionIndex& zTreeItemModelPrivate::originalPositions() const
{
    if (!m_originalPositions) {
        m_originalPositions = std::make_unique<RowPositionIndex>();
        m_originalPositions->build(m_originalRows);
    }
    return *m_originalPositions;
}

void zTreeItemModel::setExpandeItem(BaseDataItem* row, bool expand)
{
    if (!row)
        return;
    row->setExpanded(expand);
    setExpandeItemChild(row, expand);
}

void zTreeItemModel::setExpandeItemChild(BaseDataItem* row, bool show)
{
    if (!row)
        return;
    const QList<BaseDataItem*> children = row->getBaseDataItemlist(); // a shared copy: overrides may edit the tree
    for (BaseDataItem* child : children) {
        if (!child)
            continue;
        setRowIsVisible(child, show);
        setExpandeItemChild(child, child->getExpanded() && getRowIsVisible(child));
    }
}

void zTreeItemModel::getCantCollaspeChildren(BaseDataItem* row, QList<BaseDataItem*>& out)
{
    if (!row)
        return;
    forEachPreOrder(row->getBaseDataItemlist(), [&out](BaseDataItem* descendant) {
        if (!descendant->getCollapsable())
            out.append(descendant);
    });
}

bool zTreeItemModelPrivate::expandRequest(int virtualRow, bool expand)
{
    Q_Q(zTreeItemModel);
    BaseDataItem* row = shownRow(virtualRow);
    if (!row)
        return false;
    q->setExpandeItem(row, expand);
    m_visibleRows.clear();
    m_hiddenRows.clear();
    placeRowsFollowingSpans();
    q->zBaseModel::UpdateData(); // the rows are derived already; the model's own UpdateData would rebind
    return true;
}

// Rows drawn inside another row follow that row's visibility (a row listed for both ends hidden).
// The spans are collected while the rows are placed, so a tree without spans takes one pass.
void zTreeItemModelPrivate::placeRowsFollowingSpans()
{
    QList<BaseDataItem*> shownBySpan;
    QList<BaseDataItem*> hiddenBySpan;
    startShownRows();
    for (BaseDataItem* row : qAsConst(m_originalRows)) {
        const bool shown = placeRow(row);
        const QList<BaseDataItem*>* spanned = row ? row->getSpanChildrenRows() : nullptr;
        if (spanned && !spanned->isEmpty())
            (shown ? shownBySpan : hiddenBySpan).append(*spanned);
    }
    if (shownBySpan.isEmpty() && hiddenBySpan.isEmpty())
        return;
    Q_Q(zTreeItemModel);
    for (BaseDataItem* spannedRow : qAsConst(shownBySpan)) {
        if (spannedRow)
            q->setRowIsVisible(spannedRow, true);
    }
    for (BaseDataItem* spannedRow : qAsConst(hiddenBySpan)) {
        if (spannedRow)
            q->setRowIsVisible(spannedRow, false);
    }
    rebuildShownRows();
}

