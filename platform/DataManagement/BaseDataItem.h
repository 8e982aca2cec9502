#pragma once

#include "itemviews_platform_export.h"

#include <QPair>
#include <QList>
#include <QVariant>
#include <QVector>

#include <functional>

class TableBaseObject;
class TreeBaseItem;

/*!
 * One row of the data layer: cell values by field number plus the row flags the
 * models read (block mark, height, type, current index, expanded, visible,
 * collapsable, level). The tree operations are declared here with the answers
 * of a row that has no tree around it; TreeBaseItem gives them substance, so a
 * model can ask any row without a cast.
 *
 *     BaseDataItem row;
 *     row.setValue(3, 12.5);
 *     row.setRowHeight(24);
 *
 * Rows may be built on a worker thread and handed to the GUI thread once built, through
 * something that synchronises (a future, a join, a queued signal); from then on, and always
 * while a model is bound to them, only the GUI thread touches them.
 */
class ITEMVIEWS_PLATFORM_EXPORT BaseDataItem
{
public:
    BaseDataItem() = default;
    virtual ~BaseDataItem() = default;
    BaseDataItem(const BaseDataItem&) = delete;
    BaseDataItem& operator=(const BaseDataItem&) = delete;

    /// The block mark of block selection: true when set.
    bool IsBlock() const { return m_block != 0; }
    /// 1 sets the block mark, 0 clears it.
    void SetBlock(signed char block) { m_block = block; }

    /// Row height in 96-DPI units; 0 or below means "no height".
    double getRowHeight() const { return m_rowHeight; }
    void setRowHeight(double height) { m_rowHeight = height; }

    /// The owning table, or null.
    TableBaseObject* getOwner() const { return m_owner; }
    void setOwner(TableBaseObject* owner) { m_owner = owner; }

    /// Cell value stored under a field number; invalid when none is stored.
    virtual QVariant getValue(const int& fieldNumber);
    virtual void setValue(const int& fieldNumber, const QVariant& value);
    virtual int getRowType() const { return m_rowType; }
    void setRowType(int rowType) { m_rowType = rowType; }
    /// The row's sequence number, shown by the grid's reserved column.
    virtual int getCurIndex() const { return m_curIndex; }
    void setCurIndex(int curIndex) { m_curIndex = curIndex; }

    /// Rows drawn inside this one; never null.
    virtual QList<BaseDataItem*>* getSpanChildrenRows() { return &m_spanChildren; }
    void setSpanChildrenRows(const QList<BaseDataItem*>& rows) { m_spanChildren = rows; }

    /// Descendants in pre-order (recursive) or the direct children.
    virtual QList<BaseDataItem*> getAllBaseDataItemlist(const bool& recursive);
    /// Calls visit(parent, child) for every pair below this row, parents first.
    virtual void getAllBaseDataItemlist(std::function<void(BaseDataItem* parent, BaseDataItem* child)> visit,
                                        const bool& recursive);

    virtual TreeBaseItem* getParent() { return nullptr; }
    /// Direct children in order; empty for a row without a tree.
    virtual const QList<BaseDataItem*>& getBaseDataItemlist();
    virtual int getChildrenCount() { return 0; }
    /// Number of descendants (they follow the row in a pre-order list).
    virtual int getChildrenItemCount() { return 0; }
    virtual BaseDataItem* getChildrenAt(int position);
    virtual int getLevel() const { return m_level; }
    void setLevel(int level) { m_level = level; }

    virtual bool getExpanded() { return m_expanded; }
    virtual void setExpanded(bool expanded) { m_expanded = expanded; }
    virtual bool getVisible() { return m_visible; }
    virtual void setVisible(bool visible) { m_visible = visible; }
    virtual bool getCollapsable() { return m_collapsable; }
    void setCollapsable(bool collapsable) { m_collapsable = collapsable; }

private:
    // A row holds a handful of fields: a vector sorted by field number costs one allocation, a hash one per field.
    QVector<QPair<int, QVariant>> m_values;
    QList<BaseDataItem*> m_spanChildren;
    TableBaseObject* m_owner = nullptr; // not owned
    double m_rowHeight = 0.0;
    int m_rowType = 0;
    int m_curIndex = 0;
    int m_level = 0;
    signed char m_block = 0;
    bool m_expanded = true;
    bool m_visible = true;
    bool m_collapsable = true;
};

// Rows travel in QVariant payloads (the audit service's fold-sync messages) under the name "BaseDataItem*".
Q_DECLARE_METATYPE(BaseDataItem*)
