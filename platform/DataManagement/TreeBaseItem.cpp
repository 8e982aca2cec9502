#include "TreeBaseItem.h"

namespace {
// Bumped whenever any tree changes shape. A cached descendant count is valid only
// for the generation it was computed in; child lists are the truth, and parent
// links need not agree with them, so no narrower invalidation would be exact.
quint64 g_treeShape = 1;
}

TreeBaseItem::TreeBaseItem() = default;

TreeBaseItem::~TreeBaseItem()
{
    treeShapeChanged();
}

int TreeBaseItem::getChildrenItemCount()
{
    if (m_cachedShape == g_treeShape)
        return m_cachedDescendants;
    int descendants = 0;
    for (BaseDataItem* child : qAsConst(m_children)) {
        if (child) // a null entry never reaches a flattened list
            descendants += 1 + child->getChildrenItemCount();
    }
    m_cachedDescendants = descendants;
    m_cachedShape = g_treeShape;
    return descendants;
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
    return g_treeShape;
}

void TreeBaseItem::treeShapeChanged()
{
    ++g_treeShape;
}
