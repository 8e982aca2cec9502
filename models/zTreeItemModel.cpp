#include "zTreeItemModel.h"

#include "CellHooks_p.h"
#include "CheckTypeProperty_p.h"
#include "RowPositionIndex_p.h"
#include "ScreenScale_p.h"

#include <BaseDataItem.h>
#include <ConstructionWorks.h>
#include <TreeBaseItem.h>
#include <WorkBaseObject.h>
#include <zBaseHeaderItem.h>

#include <QDebug>
#include <QLoggingCategory>
#include <QScopedValueRollback>

#include <algorithm>
#include <vector>

// Enabled at debug by default (only "qt." categories start with debug off), as the delete line needs.
Q_LOGGING_CATEGORY(lcTreeModel, "itemviews.treemodel")

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

int ancestorCount(BaseDataItem* row)
{
    int steps = 0;
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        ++steps;
    return steps;
}

bool isTreeRole(int role)
{
    switch (role) {
    case zTreeItemModel::TreeLevelRole:
    case zTreeItemModel::TreeChildCountRole:
    case zTreeItemModel::TreeLastSiblingRole:
    case zTreeItemModel::TreeExpandedRole:
    case zTreeItemModel::TreeMaxLevelRole:
    case zTreeItemModel::TreeParentRowRole:
    case zTreeItemModel::TreeAncestorLastFlagsRole:
    case zTreeItemModel::TreeHasUncollapsableChildRole:
        return true;
    default:
        return false;
    }
}

bool hasUncollapsableChild(BaseDataItem* row)
{
    const QList<BaseDataItem*>& children = row->getBaseDataItemlist();
    return std::any_of(children.cbegin(), children.cend(),
                       [](BaseDataItem* child) { return child && !child->getCollapsable(); });
}

int childPosition(BaseDataItem* owner, BaseDataItem* child)
{
    for (int position = 0; position < owner->getChildrenCount(); ++position) {
        if (owner->getChildrenAt(position) == child)
            return position;
    }
    return -1;
}

} // namespace

/// Rows destroyed so far by one deleteAll, by their first position in its snapshot of the bound list.
struct zTreeItemModel::DeletionBatch
{
    explicit DeletionBatch(const QList<BaseDataItem*>& snapshot)
        : destroyedAt(size_t(snapshot.size()), false)
    {
        snapshotPositions.build(snapshot);
    }
    void markDestroyed(const QList<BaseDataItem*>& rows)
    {
        for (BaseDataItem* row : rows) {
            const int position = snapshotPositions.firstPosition(row);
            if (position >= 0)
                destroyedAt[size_t(position)] = true;
        }
    }
    bool isDestroyed(BaseDataItem* row) const
    {
        const int position = snapshotPositions.firstPosition(row);
        return position >= 0 && destroyedAt[size_t(position)];
    }

    RowPositionIndex snapshotPositions;
    std::vector<bool> destroyedAt;
};

/// Ancestor counts within one bind. Estimates are shallow and walked up directly; past a few
/// dozen levels the counts are remembered, as a walk per childless row would be quadratic in the
/// depth of a comb-shaped tree (a deep chain with a leaf at every level).
struct zTreeItemModel::AncestorCounter
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

/// Who lists a row as its child first, and where the root rows are: O(1) answers for unameItem.
struct zTreeItemModel::OwnerIndex
{
    RowPositionIndex childPositions; // over the child lists of the original rows, concatenated in order
    QVector<int> ownerOfChild; // original row owning each entry of the concatenation
    RowPositionIndex rootPositions;
    quint64 treeShape = 0; // TreeBaseItem::shapeGeneration() the child lists were read at
};

zTreeItemModel::zTreeItemModel(QObject* parent)
    : zBaseTableModel(parent)
    , m_hooks(std::make_unique<CellHooks>())
{
    qRegisterMetaType<QList<bool>>("QList<bool>");
}

zTreeItemModel::~zTreeItemModel() = default;

void zTreeItemModel::BindSrcData(QList<BaseDataItem*>* list, bool rebuild)
{
    m_boundList = list;
    m_rootRows.clear();
    m_originalPositions.reset();
    m_ownerIndex.reset();
    m_maxLevel = 0;
    if (rebuild && list) {
        for (BaseDataItem* row : qAsConst(*list)) {
            if (row && !row->getParent())
                m_rootRows.append(row);
        }
        m_originalRows.clear();
        startShownRows();
        AncestorCounter levels;
        // Each row is derived as it is flattened: one sweep over a large tree instead of two.
        forEachPreOrder(m_rootRows, [this, &levels](BaseDataItem* row) {
            m_originalRows.append(row);
            deriveRow(row, false, levels);
        });
        *list = m_originalRows;
        return;
    }
    m_originalRows = list ? *list : QList<BaseDataItem*>();
    startShownRows();
    AncestorCounter levels;
    for (BaseDataItem* row : qAsConst(m_originalRows))
        deriveRow(row, true, levels);
}

void zTreeItemModel::UpdateData()
{
    BindSrcData(m_boundList, false);
    zBaseModel::UpdateData();
}

int zTreeItemModel::rowCount(const QModelIndex&) const
{
    const int shownRows = m_visibleRows.size();
    if (shownRows != m_lastReportedRowCount) {
        const int previous = m_lastReportedRowCount;
        m_lastReportedRowCount = shownRows;
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
    return m_visibleRows.value(virtualRow, nullptr);
}

int zTreeItemModel::findVirtualIndexByItem(BaseDataItem* item) const
{
    // Visibility is a property of the row object, so every occurrence of a row is
    // shown or hidden alike: its first shown position is that of its first original one.
    const int originalRow = findOriginalIndexByItem(item);
    return originalRow < 0 ? -1 : m_virtualRowOfOriginal.at(originalRow);
}

int zTreeItemModel::findModelIndexInData(int virtualRow) const
{
    return findOriginalIndexByItem(findItemByIndex(virtualRow));
}

int zTreeItemModel::findOriginalIndexByItem(BaseDataItem* item) const
{
    return originalPositions().firstPosition(item);
}

BaseDataItem* zTreeItemModel::findItemByOriginalIndex(int originalRow) const
{
    return m_originalRows.value(originalRow, nullptr);
}

int zTreeItemModel::getClickedVirtualRow() const
{
    return findVirtualIndexByItem(m_clickedItem);
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
void zTreeItemModel::deriveRow(BaseDataItem* row, bool collectRootRows, AncestorCounter& levels)
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

void zTreeItemModel::rebuildShownRows()
{
    startShownRows();
    for (BaseDataItem* row : qAsConst(m_originalRows))
        placeRow(row);
}

void zTreeItemModel::startShownRows()
{
    m_visibleRows.clear();
    m_hiddenRows.clear();
    m_virtualRowOfOriginal.clear();
    m_visibleRows.reserve(m_originalRows.size());
    m_virtualRowOfOriginal.reserve(m_originalRows.size());
}

bool zTreeItemModel::placeRow(BaseDataItem* row)
{
    // A null entry keeps its original position but is never shown.
    const bool shown = row && getRowIsVisible(row);
    m_virtualRowOfOriginal.append(shown ? m_visibleRows.size() : -1);
    (shown ? m_visibleRows : m_hiddenRows).append(row);
    return shown;
}

const RowPositionIndex& zTreeItemModel::originalPositions() const
{
    if (!m_originalPositions) {
        m_originalPositions = std::make_unique<RowPositionIndex>();
        m_originalPositions->build(m_originalRows);
    }
    return *m_originalPositions;
}

// Both z models store and run their hooks alike (CellHooks) but each in its own sequence; the
// differences are contract, not drift:
//                      zBaseItemModel                      zTreeItemModel
//   reads              hooks before anything               tree roles of the tree column first
//   height write       after the editor hooks (a refusal   before the editor hooks (stored even
//                      stores nothing)                     when they refuse)
//   callFlags preset   selectable|editable (3)             none (0)
//   callFlags result   false: the hook's flags answer      true: the hook's flags answer
void zTreeItemModel::dataStarting(DataHook hook) { m_hooks->dataStarting = std::move(hook); }
void zTreeItemModel::dataEnding(DataHook hook) { m_hooks->dataEnding = std::move(hook); }
void zTreeItemModel::editorStarting(DataHook hook) { m_hooks->editorStarting = std::move(hook); }
void zTreeItemModel::editorEnding(DataHook hook) { m_hooks->editorEnding = std::move(hook); }
void zTreeItemModel::callFlags(FlagsHook hook) { m_hooks->callFlags = std::move(hook); }

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

void zTreeItemModel::insertItemAfterIndex(QModelIndex index)
{
    insertSibling(index, 1);
}

void zTreeItemModel::insertItemBeforeIndex(QModelIndex index)
{
    insertSibling(index, 0);
}

void zTreeItemModel::insertItemUnderIndex(QModelIndex index)
{
    auto* row = dynamic_cast<TreeBaseItem*>(findItemByIndex(index));
    if (!row)
        return;
    QList<BaseDataItem*> children = row->getBaseDataItemlist();
    auto* newRow = new TreeBaseItem; // owned by the tree from now on
    children.append(newRow);
    newRow->setParentAlone(row);
    row->setBaseDataItemListDirect(children);
    UpdateData();
}

void zTreeItemModel::deleteItemByIndex(QModelIndex index)
{
    deleteItem(findItemByIndex(index));
}

void zTreeItemModel::deleteAll()
{
    if (!m_boundList)
        return;
    const QList<BaseDataItem*> snapshot = *m_boundList;
    bool deletedAny = false;
    {
        DeletionBatch batch(snapshot);
        const QScopedValueRollback<DeletionBatch*> inBatch(m_deletionBatch, &batch);
        for (BaseDataItem* row : snapshot) {
            // A row of the snapshot may have gone with the subtree of an earlier one.
            if (row && !batch.isDestroyed(row))
                deletedAny = deleteItem(row) || deletedAny;
        }
    }
    m_boundList->clear();
    // One refresh for the whole call instead of one per row: a rebind per row makes this quadratic,
    // and since every step runs synchronously on the GUI thread no view can see the states between.
    if (deletedAny)
        UpdateData();
}

QString zTreeItemModel::unameItem(TreeBaseItem* row)
{
    if (!row)
        return {};
    const OwnerIndex& owners = ownerIndex();
    QStringList parts;
    BaseDataItem* current = row;
    for (;;) {
        const int childPos = owners.childPositions.firstPosition(current);
        BaseDataItem* owner = childPos < 0 ? nullptr : m_originalRows.at(owners.ownerOfChild.at(childPos));
        if (!dynamic_cast<TreeBaseItem*>(owner))
            break;
        const int positionInOwner = childPosition(owner, current);
        if (positionInOwner >= 0)
            parts.prepend(QString::number(positionInOwner));
        current = owner;
    }
    parts.prepend(QString::number(owners.rootPositions.firstPosition(current)));
    return parts.join(QLatin1Char('-'));
}

QVariant zTreeItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    if (isTreeRole(role) && isTreeColumn(index))
        return treeDataRole(index, role, header);
    QVariant startingAnswer;
    if (CellHooks::run(m_hooks->dataStarting, false, role, index, header, startingAnswer))
        return startingAnswer;
    QVariant endingAnswer;
    if (CellHooks::run(m_hooks->dataEnding, false, role, index, header, endingAnswer))
        return endingAnswer;
    if (role == Qt::CheckStateRole && headerColumn)
        return isTreeColumn(index) ? storedCheckState(index.row()) : zBaseTableModel::data(index, role, header);
    if (role == Qt::SizeHintRole)
        return sizeHint(index.row());
    if (role == TableLookupRoleA || role == TableLookupRoleB)
        return lookupValue(index.row(), header);
    return zBaseTableModel::data(index, role, header);
}

bool zTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    if (role == TreeExpandedRole)
        return expandRequest(index.row(), value.toBool());
    QVariant hookValue = value; // what the hooks write here is never stored
    if (role == ClickedCellRole) {
        m_clickedItem = findItemByIndex(index);
        m_clickedVirtualColumn = value.toInt();
    }
    if (role == Qt::SizeHintRole)
        storeRowHeight(index.row(), value);
    if (!CellHooks::run(m_hooks->editorStarting, true, role, index, header, hookValue)
        || !CellHooks::run(m_hooks->editorEnding, true, role, index, header, hookValue))
        return false;
    if (role != ClickedCellRole)
        markProjectChanged();
    if (role == Qt::CheckStateRole && isTreeColumn(index))
        setItemCheckState(findItemByIndex(index), value.toInt());
    return zBaseTableModel::setData(index, value, role, header);
}

QFlags<Qt::ItemFlag> zTreeItemModel::flags(const QModelIndex& index, const zBaseHeaderItem* header) const
{
    QFlags<Qt::ItemFlag> hookFlags;
    if (CellHooks::run(m_hooks->callFlags, false, index, header, hookFlags))
        return hookFlags;
    return zBaseTableModel::flags(index, header);
}

QVariant zTreeItemModel::treeDataRole(const QModelIndex& index, int role, const zBaseHeaderItem*) const
{
    BaseDataItem* row = findItemByIndex(index);
    if (!row)
        return {};
    switch (role) {
    case TreeLevelRole:
        return ancestorCount(row);
    case TreeChildCountRole:
        return row->getBaseDataItemlist().size();
    case TreeLastSiblingRole:
        return isLastSibling(m_rootRows, row);
    case TreeExpandedRole:
        return row->getExpanded();
    case TreeMaxLevelRole:
        return m_maxLevel;
    case TreeParentRowRole:
        return findVirtualIndexByItem(row->getParent());
    case TreeAncestorLastFlagsRole:
        return QVariant::fromValue(ancestorLastFlags(row));
    case TreeHasUncollapsableChildRole:
        return hasUncollapsableChild(row);
    default:
        return {};
    }
}

bool zTreeItemModel::isLastSibling(const QList<BaseDataItem*>& rootRows, BaseDataItem* row) const
{
    if (!row)
        return false;
    TreeBaseItem* parent = row->getParent();
    const QList<BaseDataItem*> siblings = parent ? parent->getBaseDataItemlist() : rootRows;
    // From the end: only the trailing hidden siblings are looked at.
    for (int siblingPos = siblings.size() - 1; siblingPos >= 0; --siblingPos) {
        BaseDataItem* sibling = siblings.at(siblingPos);
        if (sibling && getRowIsVisible(sibling))
            return sibling == row;
    }
    return false;
}

void zTreeItemModel::setItemCheckState(BaseDataItem* row, int state)
{
    if (!row)
        return;
    m_checkStates.insert(row, state);
    // Re-read on every change: the view or the host may switch the mode at any time.
    if (property(CheckTypeProperty).toInt() == 0)
        return;
    // One level at a time: each ancestor from its direct children, after the level below is stored.
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        m_checkStates.insert(ancestor, summedCheckState(ancestor));
    if (state != Qt::PartiallyChecked) {
        // One growth, not twenty; no more than the bound rows, whatever a corrupt tree counts.
        m_checkStates.reserve(m_checkStates.size() + qMin(row->getChildrenItemCount(), m_originalRows.size()));
        setChildCheckState(row, state);
    }
}

void zTreeItemModel::setChildCheckState(BaseDataItem* row, int state)
{
    if (!row)
        return;
    const QList<BaseDataItem*> children = row->getBaseDataItemlist();
    for (BaseDataItem* child : children) {
        if (!child)
            continue;
        m_checkStates.insert(child, state);
        if (child->getChildrenCount() > 0)
            setChildCheckState(child, state);
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

bool zTreeItemModel::deleteItem(BaseDataItem* row)
{
    if (!row)
        return false;
    const int destroyedCount = destroySubtree(row);
    // The file is named explicitly: __FILE__ would carry the build's full path.
    if (lcTreeModel().isDebugEnabled()) {
        QMessageLogger("zTreeItemModel", __LINE__, Q_FUNC_INFO, lcTreeModel().categoryName()).debug()
            << "zTreeItemModel::deleteItem" << " deleted: " << destroyedCount << " rows";
    }
    if (!m_deletionBatch)
        UpdateData();
    return true;
}

bool zTreeItemModel::expandRequest(int virtualRow, bool expand)
{
    BaseDataItem* row = findItemByIndex(virtualRow);
    if (!row)
        return false;
    setExpandeItem(row, expand);
    m_visibleRows.clear();
    m_hiddenRows.clear();
    placeRowsFollowingSpans();
    zBaseModel::UpdateData(); // the rows are derived already; the model's own UpdateData would rebind
    return true;
}

// Rows drawn inside another row follow that row's visibility (a row listed for both ends hidden).
// The spans are collected while the rows are placed, so a tree without spans takes one pass.
void zTreeItemModel::placeRowsFollowingSpans()
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
    for (BaseDataItem* spannedRow : qAsConst(shownBySpan)) {
        if (spannedRow)
            setRowIsVisible(spannedRow, true);
    }
    for (BaseDataItem* spannedRow : qAsConst(hiddenBySpan)) {
        if (spannedRow)
            setRowIsVisible(spannedRow, false);
    }
    rebuildShownRows();
}

QVariant zTreeItemModel::storedCheckState(int virtualRow) const
{
    const auto state = m_checkStates.constFind(findItemByIndex(virtualRow));
    return state == m_checkStates.cend() ? QVariant(false) : QVariant(*state); // never checked reads false
}

QVariant zTreeItemModel::sizeHint(int virtualRow) const
{
    BaseDataItem* row = findItemByIndex(virtualRow);
    if (!row)
        return {};
    const double height = row->getRowHeight();
    return (height > 0 ? height : -1.0) * screenScale();
}

void zTreeItemModel::storeRowHeight(int virtualRow, const QVariant& value)
{
    if (BaseDataItem* row = findItemByIndex(virtualRow))
        row->setRowHeight(value.toDouble() / screenScale());
}

QVariant zTreeItemModel::lookupValue(int virtualRow, const zBaseHeaderItem* header) const
{
    if (!header)
        return {};
    const int originalRow = findModelIndexInData(virtualRow);
    const QString& columnId = header->headerIdentify();
    const auto cellRow = cellValues.constFind(originalRow);
    if (cellRow != cellValues.cend() && cellRow->contains(columnId))
        return cellRow->value(columnId);
    const auto rowValue = rowValues.constFind(originalRow);
    if (rowValue != rowValues.cend())
        return *rowValue;
    return columnValues.value(columnId);
}

void zTreeItemModel::markProjectChanged()
{
    ConstructionWorks* project = m_work ? m_work->GetXmWorks() : nullptr;
    if (project && !project->getProjectWorkChanged())
        project->setProjectWorkChanged(true);
}

int zTreeItemModel::summedCheckState(BaseDataItem* parent) const
{
    const QList<BaseDataItem*> children = parent->getBaseDataItemlist();
    float sum = 0.0f; // single precision: half states of many children must add up as they always have
    for (BaseDataItem* child : children) {
        const int state = m_checkStates.value(child, Qt::Unchecked);
        if (state == Qt::Checked)
            sum += 1.0f;
        else if (state == Qt::PartiallyChecked)
            sum += 0.5f;
    }
    if (sum == 0.0f)
        return Qt::Unchecked;
    return sum == float(children.size()) ? Qt::Checked : Qt::PartiallyChecked;
}

void zTreeItemModel::insertSibling(const QModelIndex& index, int offset)
{
    auto* row = dynamic_cast<TreeBaseItem*>(findItemByIndex(index));
    if (!row)
        return;
    if (TreeBaseItem* parent = row->getParent()) {
        QList<BaseDataItem*> siblings = parent->getBaseDataItemlist();
        const int position = siblings.indexOf(row);
        if (position >= 0) {
            auto* newRow = new TreeBaseItem; // owned by the tree from now on
            siblings.insert(position + offset, newRow);
            newRow->setParentAlone(parent);
        }
        parent->setBaseDataItemListDirect(siblings);
    } else if (m_boundList) {
        const int position = m_boundList->indexOf(row);
        if (position >= 0)
            m_boundList->insert(position + offset, new TreeBaseItem);
    }
    UpdateData();
}

QList<bool> zTreeItemModel::ancestorLastFlags(BaseDataItem* row) const
{
    QList<bool> flags; // top-level ancestor first
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        flags.prepend(isLastSibling(m_rootRows, ancestor));
    return flags;
}

void zTreeItemModel::unlinkFromParent(BaseDataItem* row)
{
    TreeBaseItem* parent = row->getParent();
    if (!parent)
        return; // a top-level row leaves the bound list with the rest of its subtree
    QList<BaseDataItem*> siblings = parent->getBaseDataItemlist();
    if (siblings.removeOne(row))
        parent->setBaseDataItemListDirect(siblings);
}

// Unlinks row, forgets it and its subtree everywhere and destroys them; the count includes null entries.
int zTreeItemModel::destroySubtree(BaseDataItem* row)
{
    unlinkFromParent(row);
    QList<BaseDataItem*> doomed = row->getAllBaseDataItemlist(true);
    doomed.append(row); // destroyed last, after its descendants
    RowPositionIndex doomedPositions;
    doomedPositions.build(doomed);
    forgetRows(doomed, doomedPositions);
    for (int position = 0; position < doomed.size(); ++position) {
        BaseDataItem* doomedRow = doomed.at(position);
        // A row listed twice (a corrupt tree) is destroyed once.
        if (doomedRow && doomedPositions.firstPosition(doomedRow) == position)
            delete doomedRow;
    }
    return doomed.size();
}

// No reference to a row survives its destruction: a new row at a freed address starts clean.
void zTreeItemModel::forgetRows(const QList<BaseDataItem*>& rows, const RowPositionIndex& positions)
{
    for (BaseDataItem* row : rows) {
        m_checkStates.remove(row);
        if (row == m_clickedItem)
            m_clickedItem = nullptr;
    }
    if (m_deletionBatch) {
        m_deletionBatch->markDestroyed(rows); // deleteAll empties the bound list at its end
        return;
    }
    if (!m_boundList)
        return;
    QList<BaseDataItem*> kept;
    kept.reserve(m_boundList->size());
    for (BaseDataItem* boundRow : qAsConst(*m_boundList)) {
        if (positions.firstPosition(boundRow) < 0)
            kept.append(boundRow);
    }
    if (kept.size() != m_boundList->size())
        *m_boundList = kept;
}

const zTreeItemModel::OwnerIndex& zTreeItemModel::ownerIndex()
{
    // The host may relink children between binds: the owners are those of the child lists as they are now.
    if (m_ownerIndex && m_ownerIndex->treeShape == TreeBaseItem::shapeGeneration())
        return *m_ownerIndex;
    m_ownerIndex = std::make_unique<OwnerIndex>();
    m_ownerIndex->treeShape = TreeBaseItem::shapeGeneration();
    QList<BaseDataItem*> allChildren;
    for (int originalRow = 0; originalRow < m_originalRows.size(); ++originalRow) {
        BaseDataItem* owner = m_originalRows.at(originalRow);
        if (!owner)
            continue;
        for (BaseDataItem* child : owner->getBaseDataItemlist()) {
            allChildren.append(child);
            m_ownerIndex->ownerOfChild.append(originalRow);
        }
    }
    m_ownerIndex->childPositions.build(allChildren);
    m_ownerIndex->rootPositions.build(m_rootRows);
    return *m_ownerIndex;
}
