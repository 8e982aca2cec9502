#include "BaseDataItemModel.h"

#include "AuditBusiness.h"
#include "BaseDataItemModel_p.h"
#include "TreeBaseItem.h"
#include "WorkBaseObject.h"

#include <climits>

// The rows that fold with a row are its block (the descendants that follow it in pre-order)
// except a trailing run of its direct children of fold-exempt row types:
//
//     row           type  parent
//      0 A            1     -      folding row 0 hides rows 1 to 4
//      1 -a           1     0
//      2 -b           7     0      exempt, but rows that fold follow it
//      3 -c           1     0
//      4 --c1         7     3      exempt, but not a direct child of row 0
//      5 -d           7     0      the trailing run: stays shown
//      6 -e          12     0
//
// The queries below call each other through the virtual operations, so a host that
// redefines one (getParentIndex, getChildrenItemCnt...) is seen by the rest.

using GridModel::FoldSyncCode;
using GridModel::GroupRowType;
using GridModel::isFoldExemptType;
using GridModel::workOf;

void BaseDataItemModel::setFold(int row, bool flag)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    if (!item)
        return;
    item->setExpanded(flag);
    WorkBaseObject* work = workOf(item);
    if (!work)
        return;
    work->setProjectWorkChanged(true);
    if (d->m_audit) // the payload type must be BaseDataItem* or followers ignore it
        d->m_audit->EmitSync(FoldSyncCode, flag ? 0 : 1, QVariant::fromValue<BaseDataItem*>(item));
}

bool BaseDataItemModel::hasFoldParent(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    TreeBaseItem* ancestor = item ? item->getParent() : nullptr;
    // The top-level ancestor is never asked.
    while (ancestor && ancestor->getParent()) {
        if (ancestor->getExpanded())
            return true;
        ancestor = ancestor->getParent();
    }
    return false;
}

bool BaseDataItemModel::needFold(int parentRow, int row)
{
    Q_D(BaseDataItemModel);
    if (!d->m_rows || row >= d->m_rows->size())
        return false;
    if (getParentIndex(row) != parentRow || parentRow == -1)
        return true;
    BaseDataItem* parent = d->itemAt(parentRow);
    if (!parent || parent->getRowType() != GroupRowType)
        return true;
    BaseDataItem* item = d->itemAt(row);
    return !(item && isFoldExemptType(item->getRowType()));
}

int BaseDataItemModel::lastFoldRowNumber(int row)
{
    Q_D(BaseDataItemModel);
    if (!d->m_rows)
        return -1;
    const int lastBlockRow = int(qMin<qint64>(qint64(row) + getChildrenItemCnt(row), INT_MAX));
    for (int blockRow = lastBlockRow; blockRow > row; --blockRow) {
        if (getParentIndex(blockRow) != row)
            return blockRow;
        BaseDataItem* item = d->itemAt(blockRow);
        if (!item || !isFoldExemptType(item->getRowType()))
            return blockRow;
    }
    return -1;
}

bool BaseDataItemModel::hasNotFlodChild(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    if (!item)
        return true;
    if (item->getRowType() != GroupRowType)
        return false;
    const QList<BaseDataItem*>& children = item->getBaseDataItemlist();
    return !children.isEmpty() && children.last() && isFoldExemptType(children.last()->getRowType());
}

QVector<int> BaseDataItemModel::getExpandOrFlodChildren(int row, bool fold)
{
    Q_D(BaseDataItemModel);
    QVector<int> blockRows;
    if (!d->m_rows || row < 0 || row >= d->m_rows->size()) // a row past the list has no block, and row + 1 may overflow
        return blockRows;
    const int lastRow = qMin(lastFoldRowNumber(row), d->m_rows->size() - 1);
    blockRows.reserve(qMax(lastRow - row, 0));
    // Pre-order: a parent's visibility is settled before its children are reached.
    for (int blockRow = row + 1; blockRow <= lastRow; ++blockRow) {
        BaseDataItem* item = d->m_rows->at(blockRow);
        if (item && fold) {
            item->setVisible(false);
        } else if (item) {
            TreeBaseItem* parent = item->getParent();
            if (parent && parent->getVisible() && (parent->getExpanded() || isFoldExemptType(item->getRowType())))
                item->setVisible(true);
        }
        blockRows.append(blockRow);
    }
    return blockRows;
}
