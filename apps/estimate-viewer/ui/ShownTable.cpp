#include "ShownTable.h"

#include "EstimateColumns.h"

#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <zBaseItemModel.h>
#include <zTreeItemModel.h>

#include <QHeaderView>
#include <QSet>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace {
int fieldOfColumn(QAbstractItemModel* model, int column)
{
    if (auto* grid = qobject_cast<BaseDataItemModel*>(model)) {
        const Qtitan::HeaderItem* header = grid->GetColumn(column);
        return header ? header->fieldNumber() : -1;
    }
    if (auto* table = qobject_cast<zBaseTableModel*>(model))
        return EstimateColumns::fieldOf(table->headerItem(column));
    return -1;
}
}

ShownTable::ShownTable(const QTableView& view, const Estimate* estimate)
{
    QAbstractItemModel* model = view.model();
    for (int logical : shownColumns(view))
        m_columns.append({fieldOfColumn(model, logical), model->headerData(logical, Qt::Horizontal).toString()});

    // The tree model holds only the rows it shows; the grid and the list hold them all and the view hides some.
    const QList<BaseDataItem*>* rows = nullptr;
    if (auto* tree = qobject_cast<zTreeItemModel*>(model)) {
        rows = tree->GetBindSrcData();
        m_isShown = [tree](BaseDataItem* row) { return tree->findVirtualIndexByItem(row) >= 0; };
    } else if (auto* grid = qobject_cast<BaseDataItemModel*>(model)) {
        rows = grid->All();
        m_isShown = [grid, &view](BaseDataItem* row) { return !view.isRowHidden(grid->GetRowByItem(row)); };
    } else if (auto* list = qobject_cast<zBaseItemModel*>(model)) {
        rows = list->GetBindSrcData();
        QSet<BaseDataItem*> hidden; // as a rule none: the list hides no rows of its own
        for (int position = 0; rows && position < rows->size(); ++position) {
            if (view.isRowHidden(position))
                hidden.insert(rows->at(position));
        }
        m_isShown = [hidden](BaseDataItem* row) { return !hidden.contains(row); };
    }
    for (BaseDataItem* row : rows ? *rows : QList<BaseDataItem*>()) {
        if (row && !row->getParent())
            m_roots.append(row);
    }

    if (!estimate)
        return;
    for (const auto& work : estimate->works) {
        for (const auto& table : work->tables) {
            if (&table->rows == rows) {
                m_projectName = estimate->projectName;
                m_workName = work->name;
                m_tableName = table->name;
            }
        }
    }
}

qint64 ShownTable::rowCount() const
{
    qint64 count = 0;
    for (BaseDataItem* root : m_roots)
        count += 1 + root->getChildrenItemCount();
    return count;
}

bool ShownTable::forEachRow(const std::function<bool(const Row& row)>& visit) const
{
    // Depth-first with a stack of child lists: as deep as the tree goes, without recursion.
    std::vector<std::pair<const QList<BaseDataItem*>*, int>> stack{{&m_roots, 0}};
    while (!stack.empty()) {
        auto& [children, next] = stack.back();
        if (next == children->size()) {
            stack.pop_back();
            continue;
        }
        BaseDataItem* row = children->at(next++);
        if (!row)
            continue;
        const QList<BaseDataItem*>& rowChildren = row->getBaseDataItemlist();
        const bool shown = m_isShown(row);
        const bool folded = shown && std::any_of(rowChildren.cbegin(), rowChildren.cend(), [this](BaseDataItem* child) { return child && !m_isShown(child); });
        if (!visit({row, int(stack.size()) - 1, shown, folded}))
            return false;
        if (row->getChildrenCount() > 0)
            stack.emplace_back(&row->getBaseDataItemlist(), 0);
    }
    return true;
}

QVariant ShownTable::value(const Row& row, const Column& column)
{
    return EstimateColumns::cell(row.item, column.field, Qt::EditRole);
}

QList<int> ShownTable::shownColumns(const QTableView& view)
{
    QList<int> columns;
    const QHeaderView* header = view.horizontalHeader();
    for (int visual = 0; view.model() && visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!view.isColumnHidden(logical))
            columns.append(logical);
    }
    return columns;
}
