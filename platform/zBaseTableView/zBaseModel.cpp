#include "zBaseModel.h"

zBaseModel::zBaseModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void zBaseModel::UpdateData()
{
    beginResetModel();
    endResetModel();
}
