#include "BaseDataItemModel.h"

#include "AuditBusiness.h"
#include "BaseDataItemModel_p.h"
#include "HeaderItem.h"
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

BaseDataItemModelPrivate::BaseDataItemModelPrivate(BaseDataItemModel* q)
    : q_ptr(q)
{
}

BaseDataItemModel::BaseDataItemModel(QObject* parent)
    : Qtitan::TableModel(parent)
    , d(std::make_unique<BaseDataItemModelPrivate>(this))
{
    registerMetaTypes();
}

BaseDataItemModel::~BaseDataItemModel() = default;

void BaseDataItemModel::BindSrcData(QList<BaseDataItem*>* list)
{
    Q_D(BaseDataItemModel);
    if (list != d->m_rows) {
        // Restored through the base's setter: the settings are neither written nor keyed by the old list.
        if (!list || list->isEmpty()) {
            Qtitan::BaseTableModel::SetClickRowAndCol(0, 0);
        } else if (const auto key = clickCellKey(list)) {
            const QPair<int, int> cell = key->storedCell();
            Qtitan::BaseTableModel::SetClickRowAndCol(cell.first, cell.second);
        }
        d->m_rows = list;
    }
    // The host rebinds after changing its list, so every bind refreshes the positions.
    if (d->m_rows)
        d->m_positions.build(*d->m_rows);
    else
        d->m_positions.clear();
}

void BaseDataItemModel::listRowsChanged(int position, int removedCount, int insertedCount)
{
    Q_D(BaseDataItemModel);
    if (d->m_rows) {
        const int sizeBefore = d->m_rows->size() - insertedCount + removedCount;
        const bool fits = position >= 0 && removedCount >= 0 && insertedCount >= 0 && position + removedCount <= sizeBefore
            && position + insertedCount <= d->m_rows->size();
        if (fits && d->m_positions.isBuilt() && !d->m_positions.hasDuplicates()) {
            d->m_positions.removed(position, removedCount);
            d->m_positions.inserted(*d->m_rows, position, insertedCount);
        }
        // A list with a row twice gets first positions from a full index, as a bind takes it.
        if (!fits || d->m_positions.hasDuplicates())
            d->m_positions.build(*d->m_rows);
    }
    UpdateData();
}

QList<BaseDataItem*>* BaseDataItemModel::All()
{
    Q_D(BaseDataItemModel);
    return d->m_rows;
}

QList<BaseDataItem*>* BaseDataItemModel::getTotalData() const
{
    Q_D(const BaseDataItemModel);
    return d->m_rows;
}

BaseDataItem* BaseDataItemModel::GetBean(int row)
{
    Q_D(BaseDataItemModel);
    return d->itemAt(row);
}

TreeBaseItem* BaseDataItemModel::GetTreeBean(int row)
{
    Q_D(BaseDataItemModel);
    return dynamic_cast<TreeBaseItem*>(d->itemAt(row));
}

int BaseDataItemModel::Row(const QModelIndex& index)
{
    return index.row();
}

int BaseDataItemModel::GetRowByItem(BaseDataItem* item)
{
    Q_D(BaseDataItemModel);
    return d->firstPositionOf(item);
}

int BaseDataItemModel::GetMaxLevel()
{
    return 0;
}

void BaseDataItemModel::SetDataMode(int mode)
{
    Q_D(BaseDataItemModel);
    d->m_dataMode = mode;
}

void BaseDataItemModel::SetDataModeByField()
{
    Q_D(BaseDataItemModel);
    d->m_dataMode = 1;
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
    Q_D(const BaseDataItemModel);
    if (BaseDataItem* item = d->itemAt(row))
        item->SetBlock(1);
}

void BaseDataItemModel::resetRowBlockSelect(int row) const
{
    Q_D(const BaseDataItemModel);
    if (BaseDataItem* item = d->itemAt(row))
        item->SetBlock(0);
}

void BaseDataItemModel::clearBlockSelect() const
{
    Q_D(const BaseDataItemModel);
    if (!d->m_rows)
        return;
    for (BaseDataItem* item : qAsConst(*d->m_rows)) {
        if (item)
            item->SetBlock(0);
    }
}

QList<int> BaseDataItemModel::getAllBlockSelectionRows() const
{
    Q_D(const BaseDataItemModel);
    QList<int> curIndexes;
    if (!d->m_rows)
        return curIndexes;
    for (BaseDataItem* item : qAsConst(*d->m_rows)) {
        if (item && item->IsBlock())
            curIndexes.append(item->getCurIndex());
    }
    return curIndexes;
}

int BaseDataItemModel::rowCount(const QModelIndex&) const
{
    Q_D(const BaseDataItemModel);
    return d->m_rows ? d->m_rows->size() : 0;
}

void BaseDataItemModel::getParentLevelNeedDrawLine(int row, QVector<int>& levels)
{
    Q_D(BaseDataItemModel);
    if (!d->m_rows || row == -1 || row >= d->m_rows->size())
        return;
    QVector<int> ancestorRows; // parent first, up to the top level
    const int parentRow = getParentIndex(row);
    if (parentRow >= 0) {
        ancestorRows.append(parentRow);
        d->getParentRows(parentRow, ancestorRows);
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
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    return item ? item->getLevel() : -1;
}

bool BaseDataItemModel::getFold(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    if (!item) {
        qCWarning(lcGridModel, "%s", qUtf8Printable(nullRowMessage()));
        return false;
    }
    return !item->getBaseDataItemlist().isEmpty() && !item->getExpanded();
}

bool BaseDataItemModel::hasChildrenItem(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    return item && !item->getBaseDataItemlist().isEmpty();
}

bool BaseDataItemModel::isLastChild(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    if (!item || !item->getParent())
        return true;
    BaseDataItem* parent = d->itemAt(getParentIndex(row));
    if (!parent || parent->getBaseDataItemlist().isEmpty())
        return true;
    // Identity in the parent's child list, not position in the flat list.
    return parent->getBaseDataItemlist().last() == item;
}

bool BaseDataItemModel::isVisible(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    return item ? item->getVisible() : true;
}

bool BaseDataItemModel::getBtnShowState(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
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
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    return item ? item->getChildrenItemCount() : 0;
}

int BaseDataItemModel::getParentIndex(int row)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = d->itemAt(row);
    TreeBaseItem* parent = item ? item->getParent() : nullptr;
    return parent ? d->firstPositionOf(parent) : -1;
}

QVariant BaseDataItemModel::data(const QModelIndex& index, int role, const Qtitan::HeaderItem* header) const
{
    Q_D(const BaseDataItemModel);
    BaseDataItem* item = index.isValid() && index.column() >= 0 ? d->itemAt(index.row()) : nullptr;
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return d->fieldData(index, role, item, header);
    case Qt::SizeHintRole: // unscaled: the grid scales row heights itself
        return item->getRowHeight() > 0 ? item->getRowHeight() : -1.0;
    case AuditIsSSRole:
    case AuditDifferenceRole:
    case AuditOpenRole:
    case AuditSSFocusedRowsRole:
        return d->auditData(item, role, header);
    default:
        return Qtitan::TableModel::data(index, role, header);
    }
}

bool BaseDataItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const Qtitan::HeaderItem* header)
{
    Q_D(BaseDataItemModel);
    BaseDataItem* item = index.isValid() ? d->itemAt(index.row()) : nullptr;
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
    Q_D(BaseDataItemModel);
    d->m_customData = std::move(callback);
}

AuditBusiness* BaseDataItemModel::GetAudit()
{
    Q_D(BaseDataItemModel);
    return d->m_audit;
}

void BaseDataItemModel::SetAudit(AuditBusiness* audit)
{
    Q_D(BaseDataItemModel);
    if (audit == d->m_audit)
        return;
    if (d->m_audit)
        disconnect(d->m_audit, nullptr, this, nullptr);
    d->m_audit = audit;
    if (!audit)
        return;
    // The model is the context: destroying it ends the connection.
    connect(audit, &AuditBusiness::OnSync, this,
            [d](int code, int value, const QVariant& payload) { d->applyFoldSync(code, value, payload); });
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

BaseDataItem* BaseDataItemModelPrivate::itemAt(int row) const
{
    return m_rows && row >= 0 && row < m_rows->size() ? m_rows->at(row) : nullptr;
}

int BaseDataItemModelPrivate::firstPositionOf(BaseDataItem* item)
{
    if (!m_rows)
        return -1;
    if (!item) // null entries are not indexed
        return m_rows->indexOf(nullptr);
    if (!m_positions.isBuilt())
        m_positions.build(*m_rows);
    int position = m_positions.position(item);
    if (position >= 0 && (position >= m_rows->size() || m_rows->at(position) != item)) {
        // The list changed without a rebind: a stale hit is caught here, a miss is trusted.
        m_positions.build(*m_rows);
        position = m_positions.position(item);
    }
    return position;
}

void BaseDataItemModelPrivate::getParentRows(int row, QVector<int>& rows)
{
    Q_Q(BaseDataItemModel);
    int ancestorRow = row;
    while (m_rows && ancestorRow < m_rows->size()) {
        ancestorRow = q->getParentIndex(ancestorRow);
        if (ancestorRow < 0)
            return;
        rows.append(ancestorRow);
    }
}

QVariant BaseDataItemModelPrivate::fieldData(const QModelIndex& index, int role, BaseDataItem* item,
                                             const Qtitan::HeaderItem* header) const
{
    Q_Q(const BaseDataItemModel);
    if (m_dataMode != 0 && m_dataMode != 1)
        return q->Qtitan::TableModel::data(index, role, header);
    if (!header)
        return QVariant();
    if (m_dataMode == 0 && header->fieldNumber() == BaseDataItemModel::CurIndexFieldNumber)
        return item->getCurIndex();
    return item->getValue(header->fieldNumber());
}

void BaseDataItemModelPrivate::applyFoldSync(int code, int value, const QVariant& payload)
{
    if (code != FoldSyncCode || (value != 0 && value != 1) || !payload.canConvert<BaseDataItem*>())
        return;
    BaseDataItem* row = payload.value<BaseDataItem*>();
    if (!row) {
        // Named after the model, as hosts know it and filter its messages, not after its private class.
        if (lcGridModel().isWarningEnabled())
            QMessageLogger(__FILE__, __LINE__, "void BaseDataItemModel::applyFoldSync(int, int, const QVariant&)",
                           lcGridModel().categoryName()).warning("%s", qUtf8Printable(nullRowMessage()));
        return;
    }
    bool ok = false;
    BaseDataItem* counterpart = m_audit ? m_audit->GetRelationItem(row, ok) : nullptr;
    if (!ok || !counterpart)
        return;
    counterpart->setExpanded(value == 0); // 0 = unfolded
    GridModel::applyFoldToDescendants(counterpart);
    Q_Q(BaseDataItemModel);
    q->UpdateData();
}
