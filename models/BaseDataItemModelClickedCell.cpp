#include "BaseDataItemModel.h"

#include "BaseDataItemModel_p.h"
#include "ProjectWorks.h"
#include "WorkBaseObject.h"

// The clicked cell lives twice: in the grid base's memory and, per (audit id, node id, table type),
// in the project settings. A setter writes both only when the cell changes; the getters read the
// settings when asked to and clamp what they find, since a stored row or column may be negative.

using GridModel::ClickCellKey;
using GridModel::clickCellKey;

QPair<int, int> ClickCellKey::storedCell() const
{
    return settings->GetMapZxCurIndex(auditId, nodeId, tableType);
}

void ClickCellKey::store(int row, int col) const
{
    settings->SetMapZxCurIndex(auditId, nodeId, tableType, row, col);
}

// Row 0 names the work and table: all rows of a bound list belong to one table.
std::optional<ClickCellKey> GridModel::clickCellKey(const QList<BaseDataItem*>* rows)
{
    BaseDataItem* first = rows && !rows->isEmpty() ? rows->first() : nullptr;
    TableBaseObject* table = first ? first->getOwner() : nullptr;
    WorkBaseObject* work = table ? table->getOwner() : nullptr;
    ProjectWorks* project = work ? work->getOwner() : nullptr;
    if (!project)
        return std::nullopt;
    return ClickCellKey{project->GetGcSetting(), work->getAuditId(), work->getNodeId(), table->getTableType()};
}

void BaseDataItemModel::SetClickRow(int row)
{
    if (row == Qtitan::BaseTableModel::GetClickRow(false))
        return;
    Qtitan::BaseTableModel::SetClickRow(row);
    d_func()->writeClickCell(row, Qtitan::BaseTableModel::GetClickCol(false));
}

void BaseDataItemModel::SetClickCol(int col)
{
    if (col == Qtitan::BaseTableModel::GetClickCol(false))
        return;
    Qtitan::BaseTableModel::SetClickCol(col);
    d_func()->writeClickCell(Qtitan::BaseTableModel::GetClickRow(false), col);
}

void BaseDataItemModel::SetClickRowAndCol(int row, int col)
{
    if (qMakePair(row, col) == Qtitan::BaseTableModel::GetClickRowAndCol())
        return;
    Qtitan::BaseTableModel::SetClickRowAndCol(row, col);
    d_func()->writeClickCell(row, col);
}

int BaseDataItemModel::GetClickRow(bool fromSettings) const
{
    Q_D(const BaseDataItemModel);
    if (!d->m_rows)
        return -1;
    int row = Qtitan::BaseTableModel::GetClickRow(false);
    const auto key = fromSettings ? clickCellKey(d->m_rows) : std::nullopt;
    if (key)
        row = key->storedCell().first;
    if (row >= 0)
        return row;
    return d->m_rows->isEmpty() ? row : 0; // an empty list keeps the negative row
}

int BaseDataItemModel::GetClickCol(bool fromSettings) const
{
    Q_D(const BaseDataItemModel);
    if (!d->m_rows)
        return -1;
    int col = Qtitan::BaseTableModel::GetClickCol(false);
    const auto key = fromSettings ? clickCellKey(d->m_rows) : std::nullopt;
    if (key)
        col = key->storedCell().second;
    return qMax(col, 0);
}

QPair<int, int> BaseDataItemModel::GetClickRowAndCol() const
{
    Q_D(const BaseDataItemModel);
    if (!d->m_rows)
        return qMakePair(0, 0);
    QPair<int, int> cell = Qtitan::BaseTableModel::GetClickRowAndCol();
    if (const auto key = clickCellKey(d->m_rows))
        cell = key->storedCell();
    if (cell.first < 0 && !d->m_rows->isEmpty())
        cell.first = 0;
    cell.second = qMax(cell.second, 0);
    return cell;
}

void BaseDataItemModelPrivate::writeClickCell(int row, int col) const
{
    if (const auto key = clickCellKey(m_rows))
        key->store(row, col);
}
