#include "GcSetting.h"

QPair<int, int> GcSetting::GetMapZxCurIndex(int auditId, int nodeId, int tableType) const
{
    return m_cells.value(std::make_tuple(auditId, nodeId, tableType), qMakePair(0, 0));
}

void GcSetting::SetMapZxCurIndex(int auditId, int nodeId, int tableType, int row, int column)
{
    m_cells.insert(std::make_tuple(auditId, nodeId, tableType), qMakePair(row, column));
}
