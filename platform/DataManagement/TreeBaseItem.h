#pragma once

#include "BaseDataItem.h"

/*!
 * A row of a tree: a parent link and an ordered list of children. The host owns
 * every row; destroying a row does not destroy its children (the tree model's
 * deletes walk subtrees row by row).
 *
 * Threads: a tree belongs to one thread at a time. A loading thread may build,
 * relink and destroy the rows of trees no other thread is using, while the GUI
 * thread reads and edits the trees it shows; the host hands a finished tree over
 * with its own synchronisation (a queued signal, a mutex). Only the process-wide
 * shape generation is shared between threads, and it is atomic.
 *
 *     TreeBaseItem parent, child;
 *     parent.setBaseDataItemListDirect({&child});
 *     child.setParentAlone(&parent);
 */
class ITEMVIEWS_PLATFORM_EXPORT TreeBaseItem : public BaseDataItem
{
public:
    TreeBaseItem();
    ~TreeBaseItem() override;

    TreeBaseItem* getParent() override { return m_parent; }
    const QList<BaseDataItem*>& getBaseDataItemlist() override { return m_children; }
    int getChildrenCount() override { return m_children.size(); }
    /// Counted from the child lists, without recursion; cached until any tree in the process changes
    /// shape, so painting every row stays O(1) per row. Saturates at INT_MAX.
    int getChildrenItemCount() override;

    /// Sets the parent link only; no child list changes.
    void setParentAlone(TreeBaseItem* parent);
    /// Replaces the child list; the children's parent links are left alone.
    void setBaseDataItemListDirect(const QList<BaseDataItem*>& children);
    /// Changes whenever any tree in the process changes shape: lets caches over child lists know they are stale.
    static quint64 shapeGeneration();

private:
    static void treeShapeChanged();

    QList<BaseDataItem*> m_children; // not owned
    TreeBaseItem* m_parent = nullptr; // not owned
    int m_cachedDescendants = 0;
    quint64 m_cachedShape = 0; // shape generation the cache belongs to; 0 never matches
};
