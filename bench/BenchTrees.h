#pragma once
// The trees the benchmark programs share: a tree of TreeBaseItem rows shaped
// like an estimate, the same shape in a QStandardItemModel and a QTreeView for
// the peers, its plain pre-order walk (the floor of a bind), and a ten-column header.

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>

#include <QCoreApplication>
#include <QStandardItemModel>
#include <QTreeView>

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

// The same shape as makeSubtree in a QStandardItemModel, for the peers: the children of a row at
// parentLevel, depth first.
inline void appendStandardSubtree(QStandardItem* parent, int parentLevel, int fanOut, int& budget)
{
    QList<QStandardItem*> children;
    for (int childPos = 0; childPos < fanOut && budget > 0; ++childPos) {
        auto* child = new QStandardItem(QStringLiteral("row %1").arg(budget));
        --budget;
        if (parentLevel + 2 < treeLevels)
            appendStandardSubtree(child, parentLevel + 1, fanOut, budget);
        children.append(child);
    }
    parent->appendRows(children);
}

/// buildTree's shape with ten columns, as the peers show it.
inline void buildStandardTree(QStandardItemModel& model, int rows, int rootCount)
{
    model.setColumnCount(10);
    for (int rootPos = 0; rootPos < rootCount; ++rootPos) {
        auto* root = new QStandardItem(QStringLiteral("root %1").arg(rootPos));
        int budget = rows / rootCount - 1;
        appendStandardSubtree(root, 0, fanOutFor(rows / rootCount), budget);
        model.appendRow(root);
    }
}

/// buildStandardTree's rows in an expanded QTreeView: the peer of a collapse and an expand.
struct ExpandedTreeView
{
    ExpandedTreeView(int rows, int rootCount)
    {
        buildStandardTree(source, rows, rootCount);
        view.setUniformRowHeights(true);
        view.setModel(&source);
        view.resize(800, 600);
        view.show();
        view.expandAll();
        QCoreApplication::processEvents();
    }
    QStandardItemModel source;
    QTreeView view;
};

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
