#include "EstimateGridModel.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"
#include "EstimateFields.h"

#include <HeaderItem.h>

#include <QWidget>

EstimateGridModel::EstimateGridModel(QObject* parent)
    : BaseDataItemModel(parent)
{
}

QVariant EstimateGridModel::data(const QModelIndex& index, int role, const Qtitan::HeaderItem* header) const
{
    const QList<BaseDataItem*>* rows = getTotalData();
    if (header && rows && (role == Qt::DisplayRole || role == Qt::TextAlignmentRole))
        return EstimateColumns::cell(rows->value(index.row()), header->fieldNumber(), role);
    return BaseDataItemModel::data(index, role, header);
}

bool EstimateGridModel::setData(const QModelIndex& index, const QVariant& value, int role, const Qtitan::HeaderItem* header)
{
    if (role != Qt::EditRole)
        return BaseDataItemModel::setData(index, value, role, header);
    return m_editor && header && m_editor->editCell(GetBean(index.row()), header->fieldNumber(), value);
}

Qt::ItemFlags EstimateGridModel::flags(const QModelIndex& index, const Qtitan::HeaderItem* header) const
{
    const Qt::ItemFlags all = BaseDataItemModel::flags(index, header);
    return header && EstimateFields::isComputed(header->fieldNumber()) ? all & ~Qt::ItemIsEditable : all;
}

void EstimateGridModel::UpdateData()
{
    if (m_grid && !m_grid->isVisible()) {
        m_refreshWaiting = true;
        return;
    }
    m_refreshWaiting = false;
    BaseDataItemModel::UpdateData();
}

void EstimateGridModel::refreshNow()
{
    m_refreshWaiting = false;
    BaseDataItemModel::UpdateData();
}

void EstimateGridModel::catchUp()
{
    if (!m_refreshWaiting)
        return;
    m_refreshWaiting = false;
    BaseDataItemModel::UpdateData();
}
