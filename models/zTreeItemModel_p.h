#pragma once

// State of zTreeItemModel behind its one pointer, shared by its sources; not installed, so it
// may change in a patch release.

#include "CellHooks_p.h"
#include "RowPositionIndex_p.h"
#include "zTreeItemModel.h"

#include <QHash>
#include <QList>
#include <QVector>

#include <memory>

class zTreeItemModelPrivate
{
    Q_DECLARE_PUBLIC(zTreeItemModel)
public:
    struct AncestorCounter;
    struct DeletionBatch;
    struct OwnerIndex;

    /// What an edit changed in the bound list, so that UpdateData derives only those rows again.
    struct Change
    {
        bool recorded = false; // the edit knows all it changed; otherwise UpdateData rebinds
        bool vouched = false; // the host says nothing else changed since the rows were derived
        QVector<QPair<int, int>> removedRuns; // (original row, count), ascending: rows that left the list
        int insertedAt = 0; // rows [insertedAt, insertedAt + insertedCount) of the list are new, after the removals
        int insertedCount = 0;
        QList<BaseDataItem*> parents; // rows whose child lists changed: they may start or stop counting for the level
        int chainFrom = -1; // and so may the original row before this one and its ancestors
    };

    explicit zTreeItemModelPrivate(zTreeItemModel* q);

    /// The row shown at a virtual row, or null: findItemByIndex without a second trip through the pointer.
    BaseDataItem* shownRow(int virtualRow) const { return m_visibleRows.value(virtualRow, nullptr); }

    void deriveRow(BaseDataItem* row, bool collectRootRows, AncestorCounter& levels);
    static int countedLevel(BaseDataItem* row, AncestorCounter& levels);
    void countLevel(int level, int delta);
    void rebuildShownRows();
    void reserveDerivedRows(int rows);
    bool stillDerivedFrom(const QList<BaseDataItem*>& list) const;
    void startShownRows(bool sameRows = false);
    bool placeRow(BaseDataItem* row);
    const EditedPositionIndex& originalPositions() const;
    bool followsBoundList() const;
    bool applyChange();
    int shownBefore(int originalRow) const;
    int rootsBefore(int originalRow) const;
    void removeOriginalRows(int originalRow, int count);
    void insertOriginalRows(int originalRow, int count);
    void placeOriginalRowsAgain(int originalRow, int count);
    void recountLevel(BaseDataItem* row, AncestorCounter& levels);
    bool expandRequest(int virtualRow, bool expand);
    void placeRowsFollowingSpans();
    QVariant storedCheckState(int virtualRow) const;
    QVariant sizeHint(int virtualRow) const;
    void storeRowHeight(int virtualRow, const QVariant& value);
    QVariant lookupValue(int virtualRow, const zBaseHeaderItem* header) const;
    void markProjectChanged();
    int summedCheckState(BaseDataItem* parent) const;
    void insertSibling(const QModelIndex& index, int offset);
    QList<bool> ancestorLastFlags(BaseDataItem* row) const;
    void unlinkFromParent(BaseDataItem* row);
    int destroySubtree(BaseDataItem* row);
    void forgetRows(const QList<BaseDataItem*>& rows, const RowPositionIndex& positions, bool recordChange);
    bool takeOutOfBoundList(const QList<BaseDataItem*>& rows);
    const OwnerIndex& ownerIndex();

    zTreeItemModel* const q_ptr; // owns this
    QList<BaseDataItem*>* m_boundList = nullptr; // not owned
    QList<BaseDataItem*> m_rootRows;
    QList<BaseDataItem*> m_originalRows;
    QList<BaseDataItem*> m_visibleRows;
    QList<BaseDataItem*> m_hiddenRows;
    int m_maxLevel = 0;
    QHash<BaseDataItem*, int> m_checkStates;
    BaseDataItem* m_clickedItem = nullptr; // not owned
    int m_clickedVirtualColumn = -1;
    mutable int m_lastReportedRowCount = -1;
    CellHooks m_hooks;
    WorkBaseObject* m_work = nullptr; // not owned
    TableBaseObject* m_table = nullptr; // not owned
    DeletionBatch* m_deletionBatch = nullptr; // not owned; set while deleteAll runs
    Change m_change; // recorded by an edit for the UpdateData that ends it
    bool m_flagsTouched = false; // visible flags changed through the model since the shown rows were derived
    quint64 m_derivedShape = 0; // TreeBaseItem::shapeGeneration() the last full bind read the trees at; 0 none

    // Derived from the original and visible rows, rebuilt with them.
    mutable EditedPositionIndex m_originalPositions; // built on first use after a bind, then follows the edits
    QVector<int> m_virtualRowOfOriginal; // -1 for hidden rows
    QVector<int> m_levelOfOriginal; // ancestors of a childless row with a parent, -1 for rows that do not count
    QVector<int> m_rowsAtLevel; // how many original rows count at each level: the maximum level survives removals
    std::unique_ptr<OwnerIndex> m_ownerIndex; // built on first unameItem after a bind
};

/// Who lists a row as its child first, and where the root rows are: O(1) answers for unameItem.
struct zTreeItemModelPrivate::OwnerIndex
{
    RowPositionIndex childPositions; // over the child lists of the original rows, concatenated in order
    QVector<int> ownerOfChild; // original row owning each entry of the concatenation
    RowPositionIndex rootPositions;
    quint64 treeShape = 0; // TreeBaseItem::shapeGeneration() the child lists were read at
};
