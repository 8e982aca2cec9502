#include "zTreeItemModel.h"

#include "ScreenScale_p.h"
#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <ConstructionWorks.h>
#include <TreeBaseItem.h>
#include <WorkBaseObject.h>
#include <zBaseHeaderItem.h>

#include <algorithm>

// Reading and writing cells. A read asks, in turn, the tree roles of the tree column, the two read
// hooks, the stored check state and height, the lookup tables and the base; a write handles the
// expand role alone, then records the click, stores the height, asks the write hooks and only then
// marks the project changed (not for a click), stores a check state and hands the value to the base.

namespace {

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

} // namespace

// Both z models store and run their hooks alike (CellHooks) but each in its own sequence; the
// differences are contract, not drift:
//                      zBaseItemModel                      zTreeItemModel
//   reads              hooks before anything               tree roles of the tree column first
//   height write       after the editor hooks (a refusal   before the editor hooks (stored even
//                      stores nothing)                     when they refuse)
//   callFlags preset   selectable|editable (3)             none (0)
//   callFlags result   false: the hook's flags answer      true: the hook's flags answer
void zTreeItemModel::dataStarting(DataHook hook) { d_func()->m_hooks.dataStarting = std::move(hook); }
void zTreeItemModel::dataEnding(DataHook hook) { d_func()->m_hooks.dataEnding = std::move(hook); }
void zTreeItemModel::editorStarting(DataHook hook) { d_func()->m_hooks.editorStarting = std::move(hook); }
void zTreeItemModel::editorEnding(DataHook hook) { d_func()->m_hooks.editorEnding = std::move(hook); }
void zTreeItemModel::callFlags(FlagsHook hook) { d_func()->m_hooks.callFlags = std::move(hook); }

QVariant zTreeItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    if (isTreeRole(role) && isTreeColumn(index))
        return treeDataRole(index, role, header);
    Q_D(const zTreeItemModel);
    QVariant startingAnswer;
    if (CellHooks::run(d->m_hooks.dataStarting, false, role, index, header, startingAnswer))
        return startingAnswer;
    QVariant endingAnswer;
    if (CellHooks::run(d->m_hooks.dataEnding, false, role, index, header, endingAnswer))
        return endingAnswer;
    if (role == Qt::CheckStateRole && headerColumn)
        return isTreeColumn(index) ? d->storedCheckState(index.row()) : zBaseTableModel::data(index, role, header);
    if (role == Qt::SizeHintRole)
        return d->sizeHint(index.row());
    if (role == TableLookupRoleA || role == TableLookupRoleB)
        return d->lookupValue(index.row(), header);
    return zBaseTableModel::data(index, role, header);
}

bool zTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    Q_D(zTreeItemModel);
    if (role == TreeExpandedRole)
        return d->expandRequest(index.row(), value.toBool());
    QVariant hookValue = value; // what the hooks write here is never stored
    if (role == ClickedCellRole) {
        d->m_clickedItem = d->shownRow(index.row());
        d->m_clickedVirtualColumn = value.toInt();
    }
    if (role == Qt::SizeHintRole)
        d->storeRowHeight(index.row(), value);
    if (!CellHooks::run(d->m_hooks.editorStarting, true, role, index, header, hookValue)
        || !CellHooks::run(d->m_hooks.editorEnding, true, role, index, header, hookValue))
        return false;
    if (role != ClickedCellRole)
        d->markProjectChanged();
    if (role == Qt::CheckStateRole && isTreeColumn(index))
        setItemCheckState(d->shownRow(index.row()), value.toInt());
    return zBaseTableModel::setData(index, value, role, header);
}

QFlags<Qt::ItemFlag> zTreeItemModel::flags(const QModelIndex& index, const zBaseHeaderItem* header) const
{
    Q_D(const zTreeItemModel);
    QFlags<Qt::ItemFlag> hookFlags;
    if (CellHooks::run(d->m_hooks.callFlags, false, index, header, hookFlags))
        return hookFlags;
    return zBaseTableModel::flags(index, header);
}

QVariant zTreeItemModel::treeDataRole(const QModelIndex& index, int role, const zBaseHeaderItem*) const
{
    Q_D(const zTreeItemModel);
    BaseDataItem* row = d->shownRow(index.row());
    if (!row)
        return {};
    switch (role) {
    case TreeLevelRole:
        return ancestorCount(row);
    case TreeChildCountRole:
        return int(row->getBaseDataItemlist().size()); // an int on Qt 6 too, where sizes are qsizetype
    case TreeLastSiblingRole:
        return isLastSibling(d->m_rootRows, row);
    case TreeExpandedRole:
        return row->getExpanded();
    case TreeMaxLevelRole:
        return d->m_maxLevel;
    case TreeParentRowRole:
        return findVirtualIndexByItem(row->getParent());
    case TreeAncestorLastFlagsRole:
        return QVariant::fromValue(d->ancestorLastFlags(row));
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

QVariant zTreeItemModelPrivate::sizeHint(int virtualRow) const
{
    BaseDataItem* row = shownRow(virtualRow);
    if (!row)
        return {};
    const double height = row->getRowHeight();
    // No height reads as -1 scaled (-1.5 at 144 DPI), where zBaseItemModel answers a plain -1: each its own rule.
    return (height > 0 ? height : -1.0) * screenScale();
}

void zTreeItemModelPrivate::storeRowHeight(int virtualRow, const QVariant& value)
{
    if (BaseDataItem* row = shownRow(virtualRow))
        row->setRowHeight(value.toDouble() / screenScale());
}

QVariant zTreeItemModelPrivate::lookupValue(int virtualRow, const zBaseHeaderItem* header) const
{
    if (!header)
        return {};
    Q_Q(const zTreeItemModel);
    const int originalRow = q->findModelIndexInData(virtualRow);
    const QString& columnId = header->headerIdentify();
    const auto cellRow = q->cellValues.constFind(originalRow);
    if (cellRow != q->cellValues.cend() && cellRow->contains(columnId))
        return cellRow->value(columnId);
    const auto rowValue = q->rowValues.constFind(originalRow);
    if (rowValue != q->rowValues.cend())
        return *rowValue;
    return q->columnValues.value(columnId);
}

void zTreeItemModelPrivate::markProjectChanged()
{
    ConstructionWorks* project = m_work ? m_work->GetXmWorks() : nullptr;
    if (project && !project->getProjectWorkChanged())
        project->setProjectWorkChanged(true);
}

QList<bool> zTreeItemModelPrivate::ancestorLastFlags(BaseDataItem* row) const
{
    Q_Q(const zTreeItemModel);
    QList<bool> flags; // top-level ancestor first
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        flags.prepend(q->isLastSibling(m_rootRows, ancestor));
    return flags;
}
