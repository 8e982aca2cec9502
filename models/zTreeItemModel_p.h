#pragma once

// State of zTreeItemModel shared by its sources; not installed.

#include "RowPositionIndex_p.h"
#include "zTreeItemModel.h"

#include <QVector>

/// Who lists a row as its child first, and where the root rows are: O(1) answers for unameItem.
struct zTreeItemModel::OwnerIndex
{
    RowPositionIndex childPositions; // over the child lists of the original rows, concatenated in order
    QVector<int> ownerOfChild; // original row owning each entry of the concatenation
    RowPositionIndex rootPositions;
    quint64 treeShape = 0; // TreeBaseItem::shapeGeneration() the child lists were read at
};
