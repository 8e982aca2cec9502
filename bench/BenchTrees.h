#pragma once
// The trees and timing helpers the benchmark programs share: a tree of
// TreeBaseItem rows shaped like an estimate, its plain pre-order walk (the floor
// of a bind), a ten-column header, and best-of-N timing.

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace bench {

constexpr int treeLevels = 4; // a top-level row and three levels below it

// Smallest fan-out whose full subtree of treeLevels levels holds at least rowsPerRoot rows.
inline int fanOutFor(int rowsPerRoot)
{
    int fanOut = 1;
    while (1 + fanOut + fanOut * fanOut + fanOut * fanOut * fanOut < rowsPerRoot)
        ++fanOut;
    return fanOut;
}

inline TreeBaseItem* makeSubtree(TreeBaseItem* parent, int level, int fanOut, int& budget)
{
    auto* row = new TreeBaseItem;
    --budget;
    row->setParentAlone(parent);
    if (level + 1 < treeLevels) {
        QList<BaseDataItem*> children;
        for (int childPos = 0; childPos < fanOut && budget > 0; ++childPos)
            children.append(makeSubtree(row, level + 1, fanOut, budget));
        row->setBaseDataItemListDirect(children);
    }
    return row;
}

/// rootCount top-level rows of equal share, rows rows in all, everything expanded and shown.
inline QList<BaseDataItem*> buildTree(int rows, int rootCount)
{
    QList<BaseDataItem*> roots;
    const int rowsPerRoot = rows / rootCount;
    for (int rootPos = 0; rootPos < rootCount; ++rootPos) {
        int budget = rowsPerRoot;
        roots.append(makeSubtree(nullptr, 0, fanOutFor(rowsPerRoot), budget));
    }
    return roots;
}

// The floor of a bind: a plain pre-order walk of the tree into a vector.
inline std::vector<BaseDataItem*> preOrder(const QList<BaseDataItem*>& roots)
{
    std::vector<BaseDataItem*> flat;
    std::vector<BaseDataItem*> pending(roots.crbegin(), roots.crend());
    while (!pending.empty()) {
        BaseDataItem* row = pending.back();
        pending.pop_back();
        flat.push_back(row);
        const QList<BaseDataItem*>& children = row->getBaseDataItemlist();
        for (int childPos = children.size() - 1; childPos >= 0; --childPos)
            pending.push_back(children.at(childPos));
    }
    return flat;
}

inline void freeTree(const QList<BaseDataItem*>& roots)
{
    for (BaseDataItem* row : preOrder(roots))
        delete row;
}

inline double bestOf(int runs, const std::function<void()>& prepare, const std::function<void()>& measured)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        measured();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

inline double bestOf(int runs, const std::function<void()>& measured)
{
    return bestOf(runs, [] {}, measured);
}


struct Columns
{
    Columns()
    {
        for (int column = 0; column < 10; ++column)
            header.addColumn(new zBaseHeaderItem(QStringLiteral("c%1").arg(column)));
    }
    zBaseHeaderColumn header;
};

} // namespace bench
