#include "zTreeItemModel.h"

#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

#include <algorithm>
#include <utility>

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
    if (!rebuild && list && list == d->m_boundList && d->stillDerivedFrom(*list)) {
        d->m_change = {};
        d->rebuildShownRows(); // visibility is the one thing that may have changed
        return;
    }
    // Taken before any tree is read: a change while deriving makes the next bind derive again.
    const quint64 shape = TreeBaseItem::shapeGeneration();
    d->m_boundList = list;
    d->m_change = {};
    d->m_rootRows.clear();
    d->m_originalPositions.clear();
    d->m_ownerIndex.reset();
    d->m_maxLevel = 0;
    d->m_levelOfOriginal.clear();
    d->m_rowsAtLevel.clear();
    if (rebuild && list) {
        for (BaseDataItem* row : qAsConst(*list)) {
            if (row && !row->getParent())
                d->m_rootRows.append(row);
        }
        d->m_originalRows.clear();
        d->startShownRows();
        // As a rule the tree holds as many rows as the list.
        d->m_originalRows.reserve(list->size());
        d->reserveDerivedRows(list->size());
        zTreeItemModelPrivate::AncestorCounter levels;
        // Each row is derived as it is flattened: one sweep over a large tree instead of two.
        forEachPreOrder(d->m_rootRows, [d, &levels](BaseDataItem* row) {
            d->m_originalRows.append(row);
            d->deriveRow(row, false, levels);
        });
        *list = d->m_originalRows;
        d->m_derivedShape = shape;
        return;
    }
    d->m_originalRows = list ? *list : QList<BaseDataItem*>();
    d->startShownRows();
    d->reserveDerivedRows(d->m_originalRows.size());
    zTreeItemModelPrivate::AncestorCounter levels;
    for (BaseDataItem* row : qAsConst(d->m_originalRows))
        d->deriveRow(row, true, levels);
    d->m_derivedShape = shape;
}

QList<BaseDataItem*>* zTreeItemModel::GetBindSrcData() const
{
    Q_D(const zTreeItemModel);
    return d->m_boundList;
}

void zTreeItemModel::UpdateData()
{
    // An edit that recorded what it changed has only those rows derived again; the result is the
    // rebind's, without a pass over every row.
    Q_D(zTreeItemModel);
    if (!d->applyChange())
        BindSrcData(d->m_boundList, false);
    zBaseModel::UpdateData();
}

void zTreeItemModel::boundRowsChanged(int position, int removedCount, int insertedCount)
{
    Q_D(zTreeItemModel);
    d->m_change = {};
    const int listSize = d->m_boundList ? d->m_boundList->size() : -1;
    if (position >= 0 && removedCount >= 0 && insertedCount >= 0 && position + removedCount <= d->m_originalRows.size()
        && position + insertedCount <= listSize) {
        d->m_change.recorded = true;
        d->m_change.vouched = true;
        if (removedCount > 0)
            d->m_change.removedRuns.append(qMakePair(position, removedCount));
        d->m_change.insertedAt = position;
        d->m_change.insertedCount = insertedCount;
        d->m_change.chainFrom = position;
    }
    UpdateData();
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
    const int originalRow = d->originalPositions().position(item);
    return originalRow < 0 ? -1 : d->m_virtualRowOfOriginal.at(originalRow);
}

int zTreeItemModel::findModelIndexInData(int virtualRow) const
{
    Q_D(const zTreeItemModel);
    return d->originalPositions().position(d->shownRow(virtualRow));
}

int zTreeItemModel::findOriginalIndexByItem(BaseDataItem* item) const
{
    Q_D(const zTreeItemModel);
    return d->originalPositions().position(item);
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
    Q_D(zTreeItemModel);
    d->m_flagsTouched = true; // the next edit's UpdateData derives every row again
    row->setVisible(visible);
}

// Everything derived from one original row, appended in original-row order; the root rows too
// unless they were collected before flattening.
void zTreeItemModelPrivate::deriveRow(BaseDataItem* row, bool collectRootRows, AncestorCounter& levels)
{
    placeRow(row);
    const int level = countedLevel(row, levels);
    m_levelOfOriginal.append(level);
    countLevel(level, 1);
    if (row && !row->getParent() && collectRootRows)
        m_rootRows.append(row);
}

// The level a row adds to the maximum level: its ancestors when it has a parent and no children, else -1.
int zTreeItemModelPrivate::countedLevel(BaseDataItem* row, AncestorCounter& levels)
{
    return row && row->getParent() && row->getChildrenCount() == 0 ? levels.ancestorsOf(row) : -1;
}

void zTreeItemModelPrivate::countLevel(int level, int delta)
{
    if (level < 0)
        return;
    if (level >= m_rowsAtLevel.size())
        m_rowsAtLevel.resize(level + 1);
    m_rowsAtLevel[level] += delta;
    if (delta > 0) {
        m_maxLevel = qMax(m_maxLevel, level);
        return;
    }
    while (m_maxLevel > 0 && m_rowsAtLevel.value(m_maxLevel) == 0)
        --m_maxLevel;
}

void zTreeItemModelPrivate::rebuildShownRows()
{
    startShownRows(true);
    for (BaseDataItem* row : qAsConst(m_originalRows))
        placeRow(row);
}

void zTreeItemModelPrivate::reserveDerivedRows(int rows)
{
    m_visibleRows.reserve(rows);
    m_virtualRowOfOriginal.reserve(rows);
    m_levelOfOriginal.reserve(rows);
}

// The list holds the original rows as they were derived (it shares their very copy, which any change
// to either would have detached), and no tree has changed shape since: the root rows, the levels and
// the positions, all read from the rows' parent links and child lists, still hold.
bool zTreeItemModelPrivate::stillDerivedFrom(const QList<BaseDataItem*>& list) const
{
    return m_derivedShape == TreeBaseItem::shapeGeneration() && list.size() == m_originalRows.size()
        && (list.isEmpty() || list.constBegin() == m_originalRows.constBegin());
}

namespace {
// Emptied to be filled again with about as many rows: a list nothing shares keeps its memory, which
// on a large tree saves touching as much fresh memory, page by page, at every pass.
template <typename List>
void emptyKeepingMemory(List& list)
{
    if (list.isDetached())
        list.erase(list.begin(), list.end());
    else
        list.clear();
}
} // namespace

// The same original rows are placed again, so the lists keep their memory; a bind starts afresh.
void zTreeItemModelPrivate::startShownRows(bool sameRows)
{
    if (sameRows) {
        emptyKeepingMemory(m_visibleRows);
        emptyKeepingMemory(m_hiddenRows);
        emptyKeepingMemory(m_virtualRowOfOriginal);
    } else {
        m_visibleRows.clear();
        m_hiddenRows.clear();
        m_virtualRowOfOriginal.clear();
    }
    m_flagsTouched = false;
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

const EditedPositionIndex& zTreeItemModelPrivate::originalPositions() const
{
    if (!m_originalPositions.isBuilt())
        m_originalPositions.build(m_originalRows);
    return m_originalPositions;
}

void zTreeItemModel::setExpandeItem(BaseDataItem* row, bool expand)
{
    if (!row)
        return;
    d_func()->m_flagsTouched = true;
    row->setExpanded(expand);
    setExpandeItemChild(row, expand);
}

void zTreeItemModel::setExpandeItemChild(BaseDataItem* row, bool show)
{
    if (!row)
        return;
    d_func()->m_flagsTouched = true;
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
    startShownRows(true);
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


// The rows of the bound list are the original rows, and the shown rows follow the flags as they are:
// what an edit may take for granted before it records what it changes.
bool zTreeItemModelPrivate::followsBoundList() const
{
    return m_boundList && !m_flagsTouched && !m_deletionBatch && m_boundList->size() == m_originalRows.size();
}

// Derives again only the rows an edit recorded, leaving every list and count as BindSrcData(list, false)
// would. False, changing nothing, when there is no such record or the list does not fit it.
bool zTreeItemModelPrivate::applyChange()
{
    const Change change = std::exchange(m_change, Change());
    if (!change.recorded || (m_flagsTouched && !change.vouched) || !m_boundList)
        return false;
    int removedCount = 0;
    int end = 0;
    for (const auto& run : change.removedRuns) {
        if (run.first < end || run.second <= 0)
            return false;
        end = run.first + run.second;
        removedCount += run.second;
    }
    if (end > m_originalRows.size() || m_boundList->size() != m_originalRows.size() - removedCount + change.insertedCount
        || change.insertedAt < 0 || change.insertedAt + change.insertedCount > m_boundList->size())
        return false;
    if (originalPositions().hasDuplicates())
        return false; // a row listed twice has more than one place to follow
    const bool sameRows = change.removedRuns.size() == 1 && change.removedRuns.first().first == change.insertedAt
        && change.removedRuns.first().second == change.insertedCount
        && std::equal(m_originalRows.cbegin() + change.insertedAt, m_originalRows.cbegin() + change.insertedAt + change.insertedCount,
                      m_boundList->cbegin() + change.insertedAt);
    if (sameRows) { // only visible flags changed there: the rows stay, only where they show moves
        placeOriginalRowsAgain(change.insertedAt, change.insertedCount);
    } else {
        for (int run = change.removedRuns.size() - 1; run >= 0; --run) // from the end: earlier positions stay put
            removeOriginalRows(change.removedRuns.at(run).first, change.removedRuns.at(run).second);
        insertOriginalRows(change.insertedAt, change.insertedCount);
    }
    if (m_originalPositions.hasDuplicates())
        m_originalPositions.clear(); // taken again in full, which finds first positions
    AncestorCounter levels;
    for (BaseDataItem* parent : change.parents)
        recountLevel(parent, levels);
    if (change.chainFrom > 0 && change.chainFrom <= m_originalRows.size()) {
        for (BaseDataItem* row = m_originalRows.at(change.chainFrom - 1); row; row = row->getParent())
            recountLevel(row, levels);
    }
    m_ownerIndex.reset();
    m_flagsTouched = false;
    m_derivedShape = 0; // edited in place: the next rebind derives everything again
    return true;
}

// Virtual row at which the original row would be shown: the shown rows before it.
int zTreeItemModelPrivate::shownBefore(int originalRow) const
{
    for (int row = originalRow; row < m_virtualRowOfOriginal.size(); ++row) {
        if (m_virtualRowOfOriginal.at(row) >= 0)
            return m_virtualRowOfOriginal.at(row);
    }
    return m_visibleRows.size();
}

// Root rows standing before an original row; the positions are those before the edit under way.
int zTreeItemModelPrivate::rootsBefore(int originalRow) const
{
    const EditedPositionIndex& positions = originalPositions();
    const auto first = std::lower_bound(m_rootRows.cbegin(), m_rootRows.cend(), originalRow,
                                        [&positions](BaseDataItem* root, int row) { return positions.position(root) < row; });
    return int(first - m_rootRows.cbegin());
}

namespace {
// The virtual rows of the shown rows from an original row on move by delta; hidden rows keep -1.
// A plain loop over the data, which the compiler vectorises: it runs over every row below an edit.
void shiftShownRows(QVector<int>& virtualRows, int from, int delta)
{
    if (delta == 0 || from >= virtualRows.size())
        return;
    int* row = virtualRows.data() + from;
    int* const end = virtualRows.data() + virtualRows.size();
    for (; row != end; ++row)
        *row += *row >= 0 ? delta : 0;
}

// list[at, at) replaced by inserted: one move of the tail, however many rows come in.
void insertAll(QList<BaseDataItem*>& list, int at, const QList<BaseDataItem*>& inserted)
{
    if (inserted.size() == 1) {
        list.insert(at, inserted.first());
        return;
    }
    if (inserted.isEmpty())
        return;
    QList<BaseDataItem*> joined;
    joined.reserve(list.size() + inserted.size());
    joined.append(list.mid(0, at));
    joined.append(inserted);
    joined.append(list.mid(at));
    list.swap(joined);
}
} // namespace

void zTreeItemModelPrivate::removeOriginalRows(int originalRow, int count)
{
    const int virtualRow = shownBefore(originalRow);
    int shown = 0;
    for (int row = originalRow; row < originalRow + count; ++row) {
        shown += m_virtualRowOfOriginal.at(row) >= 0 ? 1 : 0;
        countLevel(m_levelOfOriginal.at(row), -1);
    }
    const int firstRoot = rootsBefore(originalRow);
    const int roots = rootsBefore(originalRow + count) - firstRoot;
    m_rootRows.erase(m_rootRows.begin() + firstRoot, m_rootRows.begin() + firstRoot + roots);
    m_visibleRows.erase(m_visibleRows.begin() + virtualRow, m_visibleRows.begin() + virtualRow + shown);
    const int hiddenRow = originalRow - virtualRow;
    m_hiddenRows.erase(m_hiddenRows.begin() + hiddenRow, m_hiddenRows.begin() + hiddenRow + count - shown);
    m_originalRows.erase(m_originalRows.begin() + originalRow, m_originalRows.begin() + originalRow + count);
    m_virtualRowOfOriginal.remove(originalRow, count);
    m_levelOfOriginal.remove(originalRow, count);
    shiftShownRows(m_virtualRowOfOriginal, originalRow, -shown);
    m_originalPositions.removed(originalRow, count);
}


void zTreeItemModelPrivate::insertOriginalRows(int originalRow, int count)
{
    if (count <= 0)
        return;
    Q_Q(const zTreeItemModel);
    const int virtualRow = shownBefore(originalRow);
    const int firstRoot = rootsBefore(originalRow);
    const QList<BaseDataItem*> rows = m_boundList->mid(originalRow, count);
    QList<BaseDataItem*> shown, hidden, roots;
    QVector<int> virtualRows(count), levels(count);
    AncestorCounter ancestors;
    for (int offset = 0; offset < count; ++offset) {
        BaseDataItem* row = rows.at(offset);
        const bool isShown = row && q->getRowIsVisible(row); // virtual, as a rebind asks it
        virtualRows[offset] = isShown ? virtualRow + shown.size() : -1;
        (isShown ? shown : hidden).append(row);
        levels[offset] = countedLevel(row, ancestors);
        countLevel(levels.at(offset), 1);
        if (row && !row->getParent())
            roots.append(row);
    }
    insertAll(m_rootRows, firstRoot, roots);
    insertAll(m_visibleRows, virtualRow, shown);
    insertAll(m_hiddenRows, originalRow - virtualRow, hidden);
    insertAll(m_originalRows, originalRow, rows);
    shiftShownRows(m_virtualRowOfOriginal, originalRow, shown.size());
    m_virtualRowOfOriginal.insert(originalRow, count, -1);
    std::copy(virtualRows.cbegin(), virtualRows.cend(), m_virtualRowOfOriginal.begin() + originalRow);
    m_levelOfOriginal.insert(originalRow, count, -1);
    std::copy(levels.cbegin(), levels.cend(), m_levelOfOriginal.begin() + originalRow);
    m_originalPositions.inserted(m_originalRows, originalRow, count);
}

// Shown and hidden rows of a run of original rows derived again, with getRowIsVisible as a rebind asks it.
void zTreeItemModelPrivate::placeOriginalRowsAgain(int originalRow, int count)
{
    Q_Q(const zTreeItemModel);
    const int virtualRow = shownBefore(originalRow);
    int wasShown = 0;
    QList<BaseDataItem*> shown, hidden;
    for (int offset = 0; offset < count; ++offset) {
        BaseDataItem* row = m_originalRows.at(originalRow + offset);
        int& virtualOfRow = m_virtualRowOfOriginal[originalRow + offset];
        wasShown += virtualOfRow >= 0 ? 1 : 0;
        const bool isShown = row && q->getRowIsVisible(row); // virtual, as a rebind asks it
        virtualOfRow = isShown ? virtualRow + shown.size() : -1;
        (isShown ? shown : hidden).append(row);
    }
    const int hiddenRow = originalRow - virtualRow;
    m_visibleRows.erase(m_visibleRows.begin() + virtualRow, m_visibleRows.begin() + virtualRow + wasShown);
    insertAll(m_visibleRows, virtualRow, shown);
    m_hiddenRows.erase(m_hiddenRows.begin() + hiddenRow, m_hiddenRows.begin() + hiddenRow + count - wasShown);
    insertAll(m_hiddenRows, hiddenRow, hidden);
    shiftShownRows(m_virtualRowOfOriginal, originalRow + count, shown.size() - wasShown);
}

// A row whose child list changed may start or stop counting for the maximum level.
void zTreeItemModelPrivate::recountLevel(BaseDataItem* row, AncestorCounter& levels)
{
    const int originalRow = originalPositions().position(row);
    if (originalRow < 0)
        return;
    const int level = countedLevel(row, levels);
    if (level == m_levelOfOriginal.at(originalRow))
        return;
    countLevel(m_levelOfOriginal.at(originalRow), -1);
    countLevel(level, 1);
    m_levelOfOriginal[originalRow] = level;
}
