#pragma once

#include "itemviews_export.h"
#include "zBaseTableModel.h"

#include <QHash>
#include <QList>
#include <QVector>

#include <functional>
#include <memory>

class BaseDataItem;
class TableBaseObject;
class TreeBaseItem;
class WorkBaseObject;
class zTreeItemModelPrivate;

/*!
 * A tree of data-layer rows shown as a flat table. The host binds a list of
 * TreeBaseItem rows; the model keeps a copy (the original rows) and shows those
 * whose visible flag is set (the virtual rows). Every QModelIndex row is a
 * virtual row. The tree column answers the tree roles that tree delegates paint
 * from; writes of TreeExpandedRole expand and collapse.
 *
 *     tree             original rows   virtual rows (A1 collapsed)
 *     A                0 A             0 A
 *     +- A1 (closed)   1 A1            1 A1
 *     |  +- A1a        2 A1a           2 A2
 *     +- A2            3 A2            3 B
 *     B                4 B
 *
 * Depth: every walk of the model runs on an explicit stack and takes trees of any
 * depth, except setExpandeItemChild and setChildCheckState. Those two recurse once
 * per tree level through virtual dispatch, so that an override sees one call per
 * row in tree order; they are supported to 1,000 levels.
 *
 *     zTreeItemModel model;
 *     model.BindSrcData(&rows, true);   // flattens the tree into rows, pre-order
 *     view.setModel(&model);
 *
 * GUI thread only, like every model and view here; the rows may be built on a worker
 * thread and handed over before they are bound.
 */
class ITEMVIEWS_EXPORT zTreeItemModel : public zBaseTableModel
{
    Q_OBJECT
public:
    /// Roles answered on the tree column (and 212/213, 223 on any column).
    enum Role {
        TreeLevelRole = 205, ///< int: number of ancestors
        TreeChildCountRole = 206, ///< int: number of direct children
        TreeLastSiblingRole = 207, ///< bool: last shown sibling
        TreeExpandedRole = 208, ///< bool: expanded flag; a write expands or collapses
        TreeMaxLevelRole = 210, ///< int: depth of the deepest childless row
        TreeParentRowRole = 211, ///< int: virtual row of the parent, -1 if none or hidden
        TableLookupRoleA = 212, ///< value from the base's lookup tables
        TableLookupRoleB = 213, ///< same lookup as 212
        TreeAncestorLastFlagsRole = 219, ///< QList<bool>: per ancestor, top first: is it the last shown sibling
        TreeHasUncollapsableChildRole = 220, ///< bool: a direct child cannot be collapsed
        ClickedCellRole = 223, ///< write only: records the clicked cell (value = virtual column)
    };
    /// A cell hook: role, cell, column descriptor and the hook's own copy of the value.
    using DataHook = std::function<bool(int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value)>;
    /// A flags hook: cell, column descriptor and the flags to answer.
    using FlagsHook = std::function<bool(const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags)>;

    /// An unbound model: no rows, no hooks, no check states.
    explicit zTreeItemModel(QObject* parent = nullptr);
    ~zTreeItemModel() override;

    /// Binds the host's list (null unbinds); rebuild flattens the tree under its root rows into it first.
    void BindSrcData(QList<BaseDataItem*>* list, bool rebuild);
    /// The bound list, possibly null.
    QList<BaseDataItem*>* GetBindSrcData() const;
    /// Rebinds the bound list without flattening and makes the views re-read the model.
    void UpdateData() override;
    /*!
     * Follows a change the host made to the bound list: removedCount rows at position
     * left it and insertedCount rows now stand there (for rows whose visible flags
     * changed, the same rows and count). Ends in one call of UpdateData, which derives
     * only those rows again and leaves the model as a rebind without flattening would.
     *
     * The host vouches that nothing else changed since the model last derived its rows,
     * and that a row whose child list changed stands at position - 1 or above it, as in a
     * list in tree pre-order. Numbers that do not fit the list make UpdateData rebind.
     *
     *     rows.insert(at, newRow);             // after linking newRow into its parent
     *     model.boundRowsChanged(at, 0, 1);    // instead of BindSrcData(&rows, true)
     */
    void boundRowsChanged(int position, int removedCount, int insertedCount);

    /// The row shown at a virtual row, or null; the column is ignored.
    BaseDataItem* findItemByIndex(const QModelIndex& index) const;
    /// The row shown at a virtual row, or null.
    BaseDataItem* findItemByIndex(int virtualRow) const;
    /// First virtual row of a row, or -1 (also for null).
    Q_INVOKABLE int findVirtualIndexByItem(BaseDataItem* item) const;
    /// Original row of the row shown at a virtual row, or -1.
    Q_INVOKABLE int findModelIndexInData(int virtualRow) const;
    /// First original row of a row, or -1.
    Q_INVOKABLE int findOriginalIndexByItem(BaseDataItem* item) const;
    /// The row at an original row, or null.
    Q_INVOKABLE BaseDataItem* findItemByOriginalIndex(int originalRow) const;

    /// The row of the last clicked cell (recorded by a ClickedCellRole write), or null.
    BaseDataItem* getClickedItem() const;
    /// The virtual column of the last clicked cell, -1 before any click.
    int getClickedVirtualColumn() const;
    /// Virtual row of the clicked row: follows it as rows above are shown or hidden; -1 when hidden or none.
    int getClickedVirtualRow() const;

    /// The stored table, or null.
    TableBaseObject* GetTable() const;
    /// The table the rows belong to; stored only, not owned.
    void SetTable(TableBaseObject* table);
    /// The stored work, or null.
    WorkBaseObject* GetWrok() const;
    /// The work whose project is marked changed by every cell write; not owned.
    void SetWork(WorkBaseObject* work);

    /// First read hook, after the tree roles: true means it answered; an empty callable removes it.
    void dataStarting(DataHook hook);
    /// Second read hook, asked when the first is absent or declined: true means it answered.
    void dataEnding(DataHook hook);
    /// First write hook: false refuses the write; what it does to its value is not written.
    void editorStarting(DataHook hook);
    /// Second write hook, seeing the first one's copy of the value: false refuses the write.
    void editorEnding(DataHook hook);
    /// Flags hook, starting from no flags: true means its flags are the answer.
    void callFlags(FlagsHook hook);

    /// The row's own visible flag.
    virtual bool getRowIsVisible(BaseDataItem* row) const;
    /// Sets the row's own visible flag.
    virtual void setRowIsVisible(BaseDataItem* row, bool visible);
    /// Expands or collapses one row: its flag, then its descendants' visibility.
    virtual void setExpandeItem(BaseDataItem* row, bool expand);
    /// Shows or hides the descendants of a row, as far as their own expanded flags reach.
    /// Recurses once per level: supported to 1,000 levels below row.
    virtual void setExpandeItemChild(BaseDataItem* row, bool show);

    /// Inserts a new sibling directly after the shown row.
    void insertItemAfterIndex(QModelIndex index);
    /// Inserts a new sibling directly before the shown row.
    void insertItemBeforeIndex(QModelIndex index);
    /// Appends a new last child to the shown row.
    void insertItemUnderIndex(QModelIndex index);
    /// Deletes the shown row at the index with its subtree (nothing when out of range).
    void deleteItemByIndex(QModelIndex index);
    /// Deletes every row of the bound list and empties it.
    void deleteAll();
    /// Position name: positions from the top-level row down, joined by "-" ("2-0-2").
    QString unameItem(TreeBaseItem* row);

    using zBaseTableModel::data;
    using zBaseTableModel::flags;
    using zBaseTableModel::setData;

Q_SIGNALS:
    /// Declared for the host; the model never emits it.
    void SetDataEnd(int role, const zBaseHeaderItem* pHeader, BaseDataItem* item);
    /// Raised from rowCount when the number of shown rows differs from its previous answer.
    void doRowCountChanged(int oldRowCuont, int newRowCount);

protected:
    /// Number of shown rows; raises doRowCountChanged when it differs from the previous answer.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header) override;
    QFlags<Qt::ItemFlag> flags(const QModelIndex& index, const zBaseHeaderItem* header) const override;

    /// The tree-role answers of the tree column.
    QVariant treeDataRole(const QModelIndex& index, int role, const zBaseHeaderItem* header) const;
    /// Whether row is the last sibling that getRowIsVisible shows.
    bool isLastSibling(const QList<BaseDataItem*>& rootRows, BaseDataItem* row) const;
    /// Stores a check state and propagates it when "checkType" asks for it.
    virtual void setItemCheckState(BaseDataItem* row, int state);
    /// Gives every descendant of row the state. Recurses once per level: supported to 1,000 levels below row.
    virtual void setChildCheckState(BaseDataItem* row, int state);
    /// Appends every descendant of row whose collapsable flag is false, depth first.
    static void getCantCollaspeChildren(BaseDataItem* row, QList<BaseDataItem*>& out);
    /// Deletes row and its subtree; false only for null.
    bool deleteItem(BaseDataItem* row);

private:
    std::unique_ptr<zTreeItemModelPrivate> const d;
    Q_DECLARE_PRIVATE_D(d, zTreeItemModel)
};
