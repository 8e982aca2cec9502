#include "TreeBaseItem.h"

#include <QVector>

#include <atomic>
#include <climits>

namespace {
// Bumped whenever any tree changes shape. A cached descendant count is valid only
// for the generation it was computed in; child lists are the truth, and parent
// links need not agree with them, so no narrower invalidation would be exact.
// Atomic because a loading thread builds and frees rows while the GUI thread edits
// its own trees. Relaxed is enough: the value only has to be new, and a tree reaches
// another thread through the host's own hand-over, which orders the bumps before it.
std::atomic<quint64> g_treeShape{1};

// A row of the descendant count's walk: what it has counted so far and its next child.
struct CountFrame
{
    TreeBaseItem* row;
    int nextChild;
    qint64 descendants;
};
}

TreeBaseItem::TreeBaseItem() = default;

TreeBaseItem::~TreeBaseItem()
{
    treeShapeChanged();
}

int TreeBaseItem::getChildrenItemCount()
{
    const quint64 shape = shapeGeneration();
    if (m_cachedShape == shape)
        return m_cachedDescendants;
    // Counted as empty until finished: a row met again below itself (a cycle) ends the walk there.
    const auto startCount = [shape](TreeBaseItem* row) {
        row->m_cachedDescendants = 0;
        row->m_cachedShape = shape;
        return CountFrame{row, 0, 0};
    };
    // Post-order with an explicit stack: estimates can nest deeper than is safe to recurse.
    QVector<CountFrame> pending{startCount(this)};
    for (;;) {
        CountFrame& top = pending.last();
        if (top.nextChild < top.row->m_children.size()) {
            BaseDataItem* child = top.row->m_children.at(top.nextChild++);
            auto* treeChild = dynamic_cast<TreeBaseItem*>(child);
            if (treeChild && treeChild->m_cachedShape != shape)
                pending.append(startCount(treeChild)); // may move top: the loop starts over
            else if (child) // a null entry never reaches a flattened list
                top.descendants += 1 + (treeChild ? treeChild->m_cachedDescendants : child->getChildrenItemCount());
            continue;
        }
        const int descendants = int(qMin<qint64>(top.descendants, INT_MAX));
        top.row->m_cachedDescendants = descendants;
        pending.removeLast();
        if (pending.isEmpty())
            return descendants;
        pending.last().descendants += 1 + descendants;
    }
}

void TreeBaseItem::setParentAlone(TreeBaseItem* parent)
{
    m_parent = parent;
}

void TreeBaseItem::setBaseDataItemListDirect(const QList<BaseDataItem*>& children)
{
    m_children = children;
    treeShapeChanged();
}

quint64 TreeBaseItem::shapeGeneration()
{
    return g_treeShape.load(std::memory_order_relaxed);
}

void TreeBaseItem::treeShapeChanged()
{
    g_treeShape.fetch_add(1, std::memory_order_relaxed);
}
