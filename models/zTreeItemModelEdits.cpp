#include "zTreeItemModel.h"

#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

#include <QDebug>
#include <QLoggingCategory>
#include <QScopedValueRollback>

#include <algorithm>

#include <vector>

// Structural edits. The model owns the rows it creates and destroys, and no reference to a
// destroyed row survives in it: check states, the clicked row and the bound list forget it first.

// Enabled at debug by default (only "qt." categories start with debug off), as the delete line needs.
Q_LOGGING_CATEGORY(lcTreeModel, "itemviews.treemodel")

/// Rows destroyed so far by one deleteAll, by their first position in its snapshot of the bound list.
struct zTreeItemModelPrivate::DeletionBatch
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

void zTreeItemModel::insertItemAfterIndex(QModelIndex index)
{
    Q_D(zTreeItemModel);
    d->insertSibling(index, 1);
}

void zTreeItemModel::insertItemBeforeIndex(QModelIndex index)
{
    Q_D(zTreeItemModel);
    d->insertSibling(index, 0);
}

void zTreeItemModel::insertItemUnderIndex(QModelIndex index)
{
    auto* row = dynamic_cast<TreeBaseItem*>(findItemByIndex(index));
    if (!row)
        return;
    Q_D(zTreeItemModel);
    d->m_change = {};
    if (d->followsBoundList()) { // the bound list stays as it is: only the row's own level may stop counting
        d->m_change.recorded = true;
        d->m_change.parents = {row};
    }
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
    Q_D(zTreeItemModel);
    if (!d->m_boundList)
        return;
    const QList<BaseDataItem*> snapshot = *d->m_boundList;
    bool deletedAny = false;
    {
        zTreeItemModelPrivate::DeletionBatch batch(snapshot);
        const QScopedValueRollback<zTreeItemModelPrivate::DeletionBatch*> inBatch(d->m_deletionBatch, &batch);
        for (BaseDataItem* row : snapshot) {
            // A row of the snapshot may have gone with the subtree of an earlier one.
            if (row && !batch.isDestroyed(row))
                deletedAny = deleteItem(row) || deletedAny;
        }
    }
    d->m_boundList->clear();
    // One refresh for the whole call instead of one per row: a rebind per row makes this quadratic,
    // and since every step runs synchronously on the GUI thread no view can see the states between.
    if (deletedAny)
        UpdateData();
}

bool zTreeItemModel::deleteItem(BaseDataItem* row)
{
    if (!row)
        return false;
    Q_D(zTreeItemModel);
    const int destroyedCount = d->destroySubtree(row);
    // The file is named explicitly: __FILE__ would carry the build's full path.
    if (lcTreeModel().isDebugEnabled()) {
        QMessageLogger("zTreeItemModel", __LINE__, Q_FUNC_INFO, lcTreeModel().categoryName()).debug()
            << "zTreeItemModel::deleteItem" << " deleted: " << destroyedCount << " rows";
    }
    if (!d->m_deletionBatch)
        UpdateData();
    return true;
}

void zTreeItemModelPrivate::insertSibling(const QModelIndex& index, int offset)
{
    Q_Q(zTreeItemModel);
    auto* row = dynamic_cast<TreeBaseItem*>(shownRow(index.row()));
    if (!row)
        return;
    m_change = {};
    const bool follows = followsBoundList();
    if (TreeBaseItem* parent = row->getParent()) {
        m_change.recorded = follows; // a child list changes, the bound list does not
        m_change.parents = {parent};
        QList<BaseDataItem*> siblings = parent->getBaseDataItemlist();
        const int position = siblings.indexOf(row);
        if (position >= 0) {
            auto* newRow = new TreeBaseItem; // owned by the tree from now on
            siblings.insert(position + offset, newRow);
            newRow->setParentAlone(parent);
        }
        parent->setBaseDataItemListDirect(siblings);
    } else if (m_boundList) {
        int position = follows ? originalPositions().position(row) : -1;
        if (position < 0 || originalPositions().hasDuplicates() || m_boundList->at(position) != row)
            position = m_boundList->indexOf(row);
        else
            m_change.recorded = true;
        if (position >= 0) {
            m_boundList->insert(position + offset, new TreeBaseItem);
            m_change.insertedAt = position + offset;
            m_change.insertedCount = 1;
        }
    }
    q->UpdateData();
}

void zTreeItemModelPrivate::unlinkFromParent(BaseDataItem* row)
{
    TreeBaseItem* parent = row->getParent();
    if (!parent)
        return; // a top-level row leaves the bound list with the rest of its subtree
    QList<BaseDataItem*> siblings = parent->getBaseDataItemlist();
    if (siblings.removeOne(row))
        parent->setBaseDataItemListDirect(siblings);
}

// Unlinks row, forgets it and its subtree everywhere and destroys them; the count includes null entries.
int zTreeItemModelPrivate::destroySubtree(BaseDataItem* row)
{
    m_change = {};
    const bool follows = followsBoundList();
    TreeBaseItem* parent = row->getParent();
    unlinkFromParent(row);
    QList<BaseDataItem*> doomed = row->getAllBaseDataItemlist(true);
    doomed.append(row); // destroyed last, after its descendants
    RowPositionIndex doomedPositions;
    doomedPositions.build(doomed);
    forgetRows(doomed, doomedPositions, follows);
    if (m_change.recorded && parent && doomedPositions.firstPosition(parent) < 0)
        m_change.parents = {parent}; // it may have lost its last child
    for (int position = 0; position < doomed.size(); ++position) {
        BaseDataItem* doomedRow = doomed.at(position);
        // A row listed twice (a corrupt tree) is destroyed once.
        if (doomedRow && doomedPositions.firstPosition(doomedRow) == position)
            delete doomedRow;
    }
    return doomed.size();
}

// No reference to a row survives its destruction: a new row at a freed address starts clean.
void zTreeItemModelPrivate::forgetRows(const QList<BaseDataItem*>& rows, const RowPositionIndex& positions, bool recordChange)
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
    if (!m_boundList || (recordChange && takeOutOfBoundList(rows)))
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

// Takes rows out of a bound list that holds the original rows, found through their positions rather than
// a pass over the list, and records where they were. rows: a subtree, its top last. False, changing
// nothing, when the list does not hold them where the positions say.
bool zTreeItemModelPrivate::takeOutOfBoundList(const QList<BaseDataItem*>& rows)
{
    const EditedPositionIndex& positions = originalPositions();
    if (positions.hasDuplicates())
        return false;
    QList<BaseDataItem*>& list = *m_boundList;
    QVector<QPair<int, int>> runs;
    // In a list in tree pre-order the subtree is one run from its top.
    BaseDataItem* top = rows.last();
    const int topAt = positions.position(top);
    bool oneRun = topAt >= 0 && topAt + rows.size() <= list.size() && list.at(topAt) == top;
    for (int offset = 0; oneRun && offset < rows.size() - 1; ++offset)
        oneRun = rows.at(offset) && list.at(topAt + 1 + offset) == rows.at(offset);
    if (oneRun) {
        runs.append(qMakePair(topAt, int(rows.size())));
    } else {
        QVector<int> at;
        for (BaseDataItem* row : rows) {
            const int position = positions.position(row);
            if (position >= 0 && list.value(position) != row)
                return false;
            if (position >= 0)
                at.append(position);
        }
        std::sort(at.begin(), at.end());
        at.erase(std::unique(at.begin(), at.end()), at.end());
        for (int position : qAsConst(at)) {
            if (!runs.isEmpty() && runs.last().first + runs.last().second == position)
                ++runs.last().second;
            else
                runs.append(qMakePair(position, 1));
        }
    }
    if (!runs.isEmpty()) { // one move of the rows after the first run
        int kept = runs.first().first;
        for (int run = 0; run < runs.size(); ++run) {
            const int next = run + 1 < runs.size() ? runs.at(run + 1).first : list.size();
            for (int row = runs.at(run).first + runs.at(run).second; row < next; ++row)
                list[kept++] = list.at(row);
        }
        list.erase(list.begin() + kept, list.end());
    }
    m_change.recorded = true;
    m_change.removedRuns = runs;
    return true;
}
