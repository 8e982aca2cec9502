#include "BaseDataItemModel.h"

#include "AuditBusiness.h"
#include "BaseDataItemModel_p.h"
#include "HeaderItem.h"
#include "RowPositionIndex_p.h"
#include "SharedInterface.h"
#include "TableHeaderColumn.h"
#include "TreeBaseItem.h"
#include "WorkBaseObject.h"

#include <QColor>
#include <QHash>
#include <QMap>
#include <QSet>

#include <algorithm>

Q_LOGGING_CATEGORY(lcGridModel, "itemviews.gridmodel")

using GridModel::clickCellKey;
using GridModel::FoldSyncCode;
using GridModel::workOf;

namespace {
QString nullRowMessage()
{
    return QString::fromUtf8("对象 '%1' 为 Null").arg(QStringLiteral("item"));
}

// Removing each first occurrence in turn would cost a scan per ancestor: quadratic on a deep row.
void removeFirstOccurrences(QVector<int>& values, QHash<int, int>& counts)
{
    if (counts.isEmpty())
        return;
    const auto removed = std::remove_if(values.begin(), values.end(), [&counts](int value) {
        const auto count = counts.find(value);
        return count != counts.end() && (*count)-- > 0;
    });
    values.erase(removed, values.end());
}

int mappedTableType(int tableType)
{
    for (const GridModel::TableTypeFamily& family : GridModel::UsageTableTypeFamilies) {
        if (tableType >= family.first && tableType <= family.last)
            return tableType - family.offset;
    }
    return tableType; // outside every family (2000 among them): used as it is
}

void registerMetaTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<BaseDataItem*>("BaseDataItem*");
        // Registering the containers also registers their iterable converters.
        qRegisterMetaType<QSet<int>>();
        qRegisterMetaType<QMap<int, QColor>>();
        return true;
    }();
    Q_UNUSED(registered);
}
} // namespace

BaseDataItemModel::BaseDataItemModel(QObject* parent)
    : Qtitan::TableModel(parent)
    , m_positions(std::make_unique<RowPositionIndex>())
{
    registerMetaTypes();
}

BaseDataItemModel::~BaseDataItemModel() = default;

void BaseDataItemModel::BindSrcData(QList<BaseDataItem*>* list)
{
    if (list != m_rows) {
        // Restored through the base's setter: the settings are neither written nor keyed by the old list.
        if (!list || list->isEmpty()) {
            Qtitan::BaseTableModel::SetClickRowAndCol(0, 0);
        } else if (const auto key = clickCellKey(list)) {
            const QPair<int, int> cell = key->storedCell();
            Qtitan::BaseTableModel::SetClickRowAndCol(cell.first, cell.second);
        }
        m_rows = list;
    }
    // The host rebinds after changing its list, so every bind refreshes the positions.
    if (m_rows)
        m_positions->build(*m_rows);
    else
        m_positions->clear();
}

QList<BaseDataItem*>* BaseDataItemModel::All()
{
    return m_rows;
}

QList<BaseDataItem*>* BaseDataItemModel::getTotalData() const
{
    return m_rows;
}

BaseDataItem* BaseDataItemModel::GetBean(int row)
{
    return itemAt(row);
}

TreeBaseItem* BaseDataItemModel::GetTreeBean(int row)
{
    return dynamic_cast<TreeBaseItem*>(itemAt(row));
}

int BaseDataItemModel::Row(const QModelIndex& index)
{
    return index.row();
}

int BaseDataItemModel::GetRowByItem(BaseDataItem* item)
{
    return firstPositionOf(item);
}

int BaseDataItemModel::GetMaxLevel()
{
    return 0;
}

void BaseDataItemModel::SetDataMode(int mode)
{
    m_dataMode = mode;
}

void BaseDataItemModel::SetDataModeByField()
{
    m_dataMode = 1;
}

Qtitan::HeaderItem* BaseDataItemModel::GetColumn(int col)
{
    if (col >= m_headerColumn->columnCount())
        return nullptr;
    return m_headerColumn->getHeaderData().value(col);
}

Qtitan::HeaderItem* BaseDataItemModel::GetColumn(QString name)
{
    const QList<Qtitan::HeaderItem*> items = m_headerColumn->getHeaderData();
    for (int col = 0; col < m_headerColumn->columnCount(); ++col) {
        Qtitan::HeaderItem* item = items.value(col);
        if (item && item->name() == name)
            return item;
    }
    return nullptr;
}

void BaseDataItemModel::setRowBlockSelect(int row) const
{
    if (BaseDataItem* item = itemAt(row))
        item->SetBlock(1);
}

void BaseDataItemModel::resetRowBlockSelect(int row) const
{
    if (BaseDataItem* item = itemAt(row))
        item->SetBlock(0);
}

void BaseDataItemModel::clearBlockSelect() const
{
    if (!m_rows)
        return;
    for (BaseDataItem* item : qAsConst(*m_rows)) {
        if (item)
            item->SetBlock(0);
    }
}

QList<int> BaseDataItemModel::getAllBlockSelectionRows() const
{
    QList<int> curIndexes;
    if (!m_rows)
        return curIndexes;
    for (BaseDataItem* item : qAsConst(*m_rows)) {
        if (item && item->IsBlock())
            curIndexes.append(item->getCurIndex());
    }
    return curIndexes;
}

int BaseDataItemModel::rowCount(const QModelIndex&) const
{
    return m_rows ? m_rows->size() : 0;
}

void BaseDataItemModel::getParentLevelNeedDrawLine(int row, QVector<int>& levels)
{
    if (!m_rows || row == -1 || row >= m_rows->size())
        return;
    QVector<int> ancestorRows; // parent first, up to the top level
    const int parentRow = getParentIndex(row);
    if (parentRow >= 0) {
        ancestorRows.append(parentRow);
        getParentRows(parentRow, ancestorRows);
    }
    for (int i = 1; i < ancestorRows.size(); ++i)
        levels.append(getItemLevel(ancestorRows.at(i)));
    // A last child's line ends at it: no line in its parent's level column passes below it.
    QHash<int, int> endedLines; // level -> how many of its first occurrences to remove
    for (int i = 0; i + 1 < ancestorRows.size(); ++i) {
        if (isLastChild(ancestorRows.at(i)))
            ++endedLines[getItemLevel(ancestorRows.at(i + 1))];
    }
    removeFirstOccurrences(levels, endedLines);
}

int BaseDataItemModel::getMaxLevel()
{
    return 2;
}

int BaseDataItemModel::getItemLevel(int row)
{
    BaseDataItem* item = itemAt(row);
    return item ? item->getLevel() : -1;
}

bool BaseDataItemModel::getFold(int row)
{
    BaseDataItem* item = itemAt(row);
    if (!item) {
        qCWarning(lcGridModel, "%s", qUtf8Printable(nullRowMessage()));
        return false;
    }
    return !item->getBaseDataItemlist().isEmpty() && !item->getExpanded();
}

bool BaseDataItemModel::hasChildrenItem(int row)
{
    BaseDataItem* item = itemAt(row);
    return item && !item->getBaseDataItemlist().isEmpty();
}

bool BaseDataItemModel::isLastChild(int row)
{
    BaseDataItem* item = itemAt(row);
    if (!item || !item->getParent())
        return true;
    BaseDataItem* parent = itemAt(getParentIndex(row));
    if (!parent || parent->getBaseDataItemlist().isEmpty())
        return true;
    // Identity in the parent's child list, not position in the flat list.
    return parent->getBaseDataItemlist().last() == item;
}

bool BaseDataItemModel::isVisible(int row)
{
    BaseDataItem* item = itemAt(row);
    return item ? item->getVisible() : true;
}

bool BaseDataItemModel::getBtnShowState(int row)
{
    BaseDataItem* item = itemAt(row);
    if (!item) {
        qCWarning(lcGridModel, "%s", qUtf8Printable(nullRowMessage()));
        return false;
    }
    return !item->getBaseDataItemlist().isEmpty();
}

// A fixed alternating pattern, deliberately: this model keeps no check state of its own, and a
// host that shows the grid's check boxes overrides both of these.
Qt::CheckState BaseDataItemModel::getCheckBoxState(int row)
{
    return row % 2 == 0 ? Qt::Checked : Qt::Unchecked;
}

bool BaseDataItemModel::getCheckBoxEnable(int row)
{
    return row % 2 != 0;
}

int BaseDataItemModel::getChildrenItemCnt(int row)
{
    BaseDataItem* item = itemAt(row);
    return item ? item->getChildrenItemCount() : 0;
}

int BaseDataItemModel::getParentIndex(int row)
{
    BaseDataItem* item = itemAt(row);
    TreeBaseItem* parent = item ? item->getParent() : nullptr;
    return parent ? firstPositionOf(parent) : -1;
}

QVariant BaseDataItemModel::data(const QModelIndex& index, int role, const Qtitan::HeaderItem* header) const
{
    BaseDataItem* item = index.isValid() && index.column() >= 0 ? itemAt(index.row()) : nullptr;
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fieldData(index, role, item, header);
    case Qt::SizeHintRole: // unscaled: the grid scales row heights itself
        return item->getRowHeight() > 0 ? item->getRowHeight() : -1.0;
    case AuditIsSSRole:
    case AuditDifferenceRole:
    case AuditOpenRole:
    case AuditSSFocusedRowsRole:
        return auditData(item, role, header);
    default:
        return Qtitan::TableModel::data(index, role, header);
    }
}

bool BaseDataItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const Qtitan::HeaderItem* header)
{
    BaseDataItem* item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item)
        return false;
    if (role == Qt::SizeHintRole) {
        item->setRowHeight(value.toDouble());
    } else if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (!header)
            return false;
        const QVariant oldValue = item->getValue(header->fieldNumber());
        item->setValue(header->fieldNumber(), value);
        WorkBaseObject* work = workOf(item);
        if (role == Qt::EditRole && oldValue != value && work)
            work->setProjectWorkChanged(true);
    }
    return true; // other roles are accepted and change nothing
}

Qt::ItemFlags BaseDataItemModel::flags(const QModelIndex&, const Qtitan::HeaderItem*) const
{
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

QVariant BaseDataItemModel::verticalHeaderData(int, int) const
{
    return QVariant();
}

void BaseDataItemModel::CustomModelData(std::function<bool(Qtitan::TModelAux&)> callback)
{
    m_customData = std::move(callback);
}

AuditBusiness* BaseDataItemModel::GetAudit()
{
    return m_audit;
}

void BaseDataItemModel::SetAudit(AuditBusiness* audit)
{
    if (audit == m_audit)
        return;
    if (m_audit)
        disconnect(m_audit, nullptr, this, nullptr);
    m_audit = audit;
    if (!audit)
        return;
    // The model is the context: destroying it ends the connection.
    connect(audit, &AuditBusiness::OnSync, this,
            [this](int code, int value, const QVariant& payload) { applyFoldSync(code, value, payload); });
}

void BaseDataItemModel::post2GoCode(int row, QList<BaseDataItem*>* list, const Qtitan::HeaderItem* header)
{
    BaseDataItem* item = list && header && row >= 0 && row < list->size() ? list->at(row) : nullptr;
    if (!item)
        return;
    const TableBaseObject* table = item->getOwner();
    const quint32 tableType = quint32(mappedTableType(table ? table->getTableType() : 0));
    const quint32 rowType = item->getRowType() == GridModel::NoRowType ? GridModel::NoRowTypeUsageCode : quint32(item->getRowType());
    // Bits 24-31 row type, 16-23 mapped table type, 0-15 field number, each its low bits; then +30000,
    // in unsigned arithmetic: the shift and the carry may pass the sign bit.
    quint32 code = (rowType << 24) | ((tableType & 0xFFu) << 16) | (quint32(header->fieldNumber()) & 0xFFFFu);
    code += 30000u;
    SharedInterface::UseFunc(int(code), QStringLiteral(""));
    SharedInterface::EndUseFun(int(code), QStringLiteral(""));
}

BaseDataItem* BaseDataItemModel::itemAt(int row) const
{
    return m_rows && row >= 0 && row < m_rows->size() ? m_rows->at(row) : nullptr;
}

int BaseDataItemModel::firstPositionOf(BaseDataItem* item)
{
    if (!m_rows)
        return -1;
    if (!item) // null entries are not indexed
        return m_rows->indexOf(nullptr);
    int position = m_positions->firstPosition(item);
    if (position >= 0 && (position >= m_rows->size() || m_rows->at(position) != item)) {
        // The list changed without a rebind: a stale hit is caught here, a miss is trusted.
        m_positions->build(*m_rows);
        position = m_positions->firstPosition(item);
    }
    return position;
}

void BaseDataItemModel::getParentRows(int row, QVector<int>& rows)
{
    int ancestorRow = row;
    while (m_rows && ancestorRow < m_rows->size()) {
        ancestorRow = getParentIndex(ancestorRow);
        if (ancestorRow < 0)
            return;
        rows.append(ancestorRow);
    }
}

QVariant BaseDataItemModel::fieldData(const QModelIndex& index, int role, BaseDataItem* item,
                                      const Qtitan::HeaderItem* header) const
{
    if (m_dataMode != 0 && m_dataMode != 1)
        return Qtitan::TableModel::data(index, role, header);
    if (!header)
        return QVariant();
    if (m_dataMode == 0 && header->fieldNumber() == CurIndexFieldNumber)
        return item->getCurIndex();
    return item->getValue(header->fieldNumber());
}

void BaseDataItemModel::applyFoldSync(int code, int value, const QVariant& payload)
{
    if (code != FoldSyncCode || (value != 0 && value != 1) || !payload.canConvert<BaseDataItem*>())
        return;
    BaseDataItem* row = payload.value<BaseDataItem*>();
    if (!row) {
        qCWarning(lcGridModel, "%s", qUtf8Printable(nullRowMessage()));
        return;
    }
    bool ok = false;
    BaseDataItem* counterpart = m_audit ? m_audit->GetRelationItem(row, ok) : nullptr;
    if (!ok || !counterpart)
        return;
    counterpart->setExpanded(value == 0); // 0 = unfolded
    GridModel::applyFoldToDescendants(counterpart);
    UpdateData();
}
