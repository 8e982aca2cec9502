#include "zTreeItemModel.h"

#include "RowPositionIndex_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

namespace {

// Pre-order: each row, then the flattening of its children. Null rows are never
// flattened. An explicit stack keeps deep trees off the call stack.
QList<BaseDataItem*> flattenPreOrder(const QList<BaseDataItem*>& rootRows)
{
    QList<BaseDataItem*> flat;
    QVector<BaseDataItem*> pending;
    for (int rootPos = rootRows.size() - 1; rootPos >= 0; --rootPos)
        pending.append(rootRows.at(rootPos));
    while (!pending.isEmpty()) {
        BaseDataItem* row = pending.takeLast();
        if (!row)
            continue;
        flat.append(row);
        if (row->getChildrenCount() == 0)
            continue;
        const QList<BaseDataItem*>& children = row->getBaseDataItemlist();
        for (int childPos = children.size() - 1; childPos >= 0; --childPos)
            pending.append(children.at(childPos));
    }
    return flat;
}

int ancestorCount(BaseDataItem* row)
{
    int steps = 0;
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        ++steps;
    return steps;
}

} // namespace

zTreeItemModel::zTreeItemModel(QObject* parent)
    : zBaseTableModel(parent)
{
}

zTreeItemModel::~zTreeItemModel() = default;

void zTreeItemModel::BindSrcData(QList<BaseDataItem*>* list, bool rebuild)
{
    m_boundList = list;
    m_rootRows.clear();
    if (list) {
        for (BaseDataItem* row : qAsConst(*list)) {
            if (row && !row->getParent())
                m_rootRows.append(row);
        }
    }
    m_visibleRows.clear();
    m_hiddenRows.clear();
    if (rebuild && list) {
        m_originalRows = flattenPreOrder(m_rootRows);
        *list = m_originalRows;
    } else {
        m_originalRows = list ? *list : QList<BaseDataItem*>();
    }
    m_originalPositions.reset();
    rebuildShownRows();

    m_maxLevel = 0;
    for (BaseDataItem* row : qAsConst(m_originalRows)) {
        if (row && row->getChildrenCount() == 0 && row->getParent())
            m_maxLevel = qMax(m_maxLevel, ancestorCount(row));
    }
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

void zTreeItemModel::rebuildShownRows()
{
    m_visibleRows.clear();
    m_hiddenRows.clear();
    m_virtualRowOfOriginal.resize(m_originalRows.size());
    for (int originalRow = 0; originalRow < m_originalRows.size(); ++originalRow) {
        BaseDataItem* row = m_originalRows.at(originalRow);
        // A null entry keeps its original position but is never shown.
        if (row && getRowIsVisible(row)) {
            m_virtualRowOfOriginal[originalRow] = m_visibleRows.size();
            m_visibleRows.append(row);
        } else {
            m_virtualRowOfOriginal[originalRow] = -1;
            m_hiddenRows.append(row);
        }
    }
}

const RowPositionIndex& zTreeItemModel::originalPositions() const
{
    if (!m_originalPositions) {
        m_originalPositions = std::make_unique<RowPositionIndex>();
        m_originalPositions->build(m_originalRows);
    }
    return *m_originalPositions;
}

// ---- Not built yet: cells, expand requests, check states and structural edits. ----

void zTreeItemModel::dataStarting(DataHook hook) { m_dataStarting = std::move(hook); }
void zTreeItemModel::dataEnding(DataHook hook) { m_dataEnding = std::move(hook); }
void zTreeItemModel::editorStarting(DataHook hook) { m_editorStarting = std::move(hook); }
void zTreeItemModel::editorEnding(DataHook hook) { m_editorEnding = std::move(hook); }
void zTreeItemModel::callFlags(FlagsHook hook) { m_callFlags = std::move(hook); }

QVariant zTreeItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    return zBaseTableModel::data(index, role, header);
}

bool zTreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    return zBaseTableModel::setData(index, value, role, header);
}

QFlags<Qt::ItemFlag> zTreeItemModel::flags(const QModelIndex& index, const zBaseHeaderItem* header) const
{
    return zBaseTableModel::flags(index, header);
}

QVariant zTreeItemModel::treeDataRole(const QModelIndex&, int, const zBaseHeaderItem*) const { return {}; }
bool zTreeItemModel::isLastSibling(const QList<BaseDataItem*>&, BaseDataItem*) const { return false; }
void zTreeItemModel::setExpandeItem(BaseDataItem*, bool) {}
void zTreeItemModel::setExpandeItemChild(BaseDataItem*, bool) {}
void zTreeItemModel::setItemCheckState(BaseDataItem*, int) {}
void zTreeItemModel::setChildCheckState(BaseDataItem*, int) {}
void zTreeItemModel::getCantCollaspeChildren(BaseDataItem*, QList<BaseDataItem*>&) {}
void zTreeItemModel::insertItemAfterIndex(QModelIndex) {}
void zTreeItemModel::insertItemBeforeIndex(QModelIndex) {}
void zTreeItemModel::insertItemUnderIndex(QModelIndex) {}
bool zTreeItemModel::deleteItem(BaseDataItem*) { return false; }
void zTreeItemModel::deleteItemByIndex(QModelIndex) {}
void zTreeItemModel::deleteAll() {}
QString zTreeItemModel::unameItem(TreeBaseItem*) { return {}; }
