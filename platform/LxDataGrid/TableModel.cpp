#include "TableModel.h"

#include "HeaderItem.h"
#include "TableHeaderColumn.h"

namespace Qtitan {

TableModel::TableModel(QObject* parent)
    : BaseTableModel(parent)
    , m_headerColumn(new TableHeaderColumn(this))
{
    connect(m_headerColumn, &TableHeaderColumn::headerItemAboutToBeAdded, this,
            [this](int column) { beginInsertColumns(QModelIndex(), column, column); });
    connect(m_headerColumn, &TableHeaderColumn::headerItemAdded, this, [this](int) { endInsertColumns(); });
}

TableModel::~TableModel() = default;

HeaderItem* TableModel::headerItemAt(int column) const
{
    return m_headerColumn->getHeaderData().value(column);
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_headerColumn->columnCount();
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return verticalHeaderData(section, role);
    const HeaderItem* header = headerItemAt(section);
    if (!header || role != Qt::DisplayRole)
        return QVariant();
    return header->name();
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    return data(index, role, headerItemAt(index.column()));
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    return setData(index, value, role, headerItemAt(index.column()));
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    return flags(index, headerItemAt(index.column()));
}

QVariant TableModel::data(const QModelIndex&, int, const HeaderItem*) const
{
    return QVariant();
}

bool TableModel::setData(const QModelIndex&, const QVariant&, int, const HeaderItem*)
{
    return false;
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index, const HeaderItem*) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant TableModel::verticalHeaderData(int row, int role) const
{
    return role == Qt::DisplayRole ? QVariant(row + 1) : QVariant();
}

} // namespace Qtitan
