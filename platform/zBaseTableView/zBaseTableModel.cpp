#include "zBaseTableModel.h"

#include "zBaseHeaderColumn.h"
#include "zBaseHeaderItem.h"

zBaseTableModel::zBaseTableModel(QObject* parent)
    : zBaseModel(parent)
{
}

zBaseTableModel::~zBaseTableModel() = default;

void zBaseTableModel::setHeaderColumn(zBaseHeaderColumn* columns)
{
    if (headerColumn == columns)
        return;
    beginResetModel();
    if (headerColumn)
        disconnect(headerColumn, nullptr, this, nullptr);
    headerColumn = columns;
    if (columns)
        connect(columns, &zBaseHeaderColumn::columnsChanged, this, &zBaseTableModel::columnsChanged);
    endResetModel();
}

zBaseHeaderItem* zBaseTableModel::headerItem(int virtualColumn) const
{
    if (!headerColumn)
        return nullptr;
    return headerColumn->itemByOriginalIndex(headerColumn->virtualIndexToOriginalIndex(virtualColumn));
}

void zBaseTableModel::setColumnEditable(int originalColumn, bool editable)
{
    m_columnEditable.insert(originalColumn, editable);
}

bool zBaseTableModel::isColumnEditable(int originalColumn) const
{
    return m_columnEditable.value(originalColumn, true);
}

void zBaseTableModel::setCellValue(int originalRow, const QString& id, const QVariant& value)
{
    cellValues[originalRow].insert(id, value);
}

void zBaseTableModel::setRowValue(int originalRow, const QVariant& value)
{
    rowValues.insert(originalRow, value);
}

void zBaseTableModel::setColumnValue(const QString& id, const QVariant& value)
{
    columnValues.insert(id, value);
}

int zBaseTableModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !headerColumn)
        return 0;
    return headerColumn->virtualCount();
}

QVariant zBaseTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const zBaseHeaderItem* header = headerItem(section);
        return header ? QVariant(header->title()) : QVariant();
    }
    return zBaseModel::headerData(section, orientation, role);
}

QVariant zBaseTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    return data(index, role, headerItem(index.column()));
}

bool zBaseTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    return setData(index, value, role, headerItem(index.column()));
}

Qt::ItemFlags zBaseTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return flags(index, headerItem(index.column()));
}

QVariant zBaseTableModel::data(const QModelIndex&, int, const zBaseHeaderItem*) const
{
    return {};
}

bool zBaseTableModel::setData(const QModelIndex& index, const QVariant&, int role, const zBaseHeaderItem*)
{
    Q_EMIT dataChanged(index, index, {role});
    return true;
}

QFlags<Qt::ItemFlag> zBaseTableModel::flags(const QModelIndex& index, const zBaseHeaderItem*) const
{
    QFlags<Qt::ItemFlag> cellFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    const int originalColumn = headerColumn ? headerColumn->virtualIndexToOriginalIndex(index.column()) : -1;
    if (isColumnEditable(originalColumn))
        cellFlags |= Qt::ItemIsEditable;
    return cellFlags;
}

bool zBaseTableModel::isTreeColumn(const QModelIndex& index) const
{
    return headerColumn && headerColumn->virtualIndexToOriginalIndex(index.column()) == treeColumn;
}

void zBaseTableModel::columnsChanged()
{
    beginResetModel();
    endResetModel();
}
