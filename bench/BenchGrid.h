#pragma once
// What the grid asks the grid model to paint its tree column, shared by the benchmarks.

#include <BaseDataItemModel.h>

#include <QVector>

namespace bench {

// Every per-row question the grid asks while painting a 50-row viewport of the tree column.
inline long gridViewportQueries(BaseDataItemModel& model, int firstRow)
{
    long answers = 0;
    QVector<int> levels;
    for (int row = firstRow; row < firstRow + 50; ++row) {
        levels.clear();
        model.getParentLevelNeedDrawLine(row, levels);
        answers += levels.size() + model.getItemLevel(row) + model.getParentIndex(row);
        answers += model.isLastChild(row) + model.getFold(row) + model.getBtnShowState(row);
        answers += model.hasFoldParent(row) + model.isVisible(row) + model.hasChildrenItem(row);
        answers += model.hasNotFlodChild(row) + model.getChildrenItemCnt(row);
        answers += model.needFold(model.getParentIndex(row), row);
    }
    return answers;
}

} // namespace bench
