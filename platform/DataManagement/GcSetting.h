#pragma once

#include "itemviews_platform_export.h"

#include <QMap>
#include <QPair>

#include <tuple>

/*!
 * Project settings. Keeps the clicked cell (row, column) of each grid per
 * (audit id, node id, table type).
 *
 *     settings.SetMapZxCurIndex(auditId, nodeId, tableType, row, column);
 *     QPair<int, int> cell = settings.GetMapZxCurIndex(auditId, nodeId, tableType);
 */
class ITEMVIEWS_PLATFORM_EXPORT GcSetting
{
public:
    /// The stored cell, or (0, 0) for a key never stored.
    QPair<int, int> GetMapZxCurIndex(int auditId, int nodeId, int tableType) const;
    void SetMapZxCurIndex(int auditId, int nodeId, int tableType, int row, int column);

private:
    QMap<std::tuple<int, int, int>, QPair<int, int>> m_cells;
};
