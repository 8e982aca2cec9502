#pragma once

#include <QHash>
#include <QList>
#include <QPair>

#include <vector>

class BaseDataItem;

/// Asks for the cache line at address ahead of a write to it.
inline void prefetchForWrite(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address, 1);
#else
    (void)address;
#endif
}

/*!
 * First position of each row object in a row list, answered in O(1).
 * Built in one pass; an open-addressing table of pointers keeps the build close
 * to the cost of copying the list, which a QHash of a million rows is not.
 * A key and its position share a slot, so a look-up touches one cache line, and the
 * build asks for the slots of the rows a little ahead before it fills them: on a large
 * list nearly every slot is a miss, and misses waited for one at a time dominate.
 * Null entries are never indexed.
 */
class RowPositionIndex
{
public:
    void build(const QList<BaseDataItem*>& rows);
    void clear();
    /// First position of row in the list it was built from, or -1 (also for null).
    int firstPosition(const BaseDataItem* row) const;
    /// Whether some row stood more than once in the list it was built from.
    bool hasDuplicates() const { return m_duplicates; }

private:
    struct Slot
    {
        const BaseDataItem* row; // null: empty
        int position;
    };
    size_t slotOf(const BaseDataItem* row) const;

    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    bool m_duplicates = false;
};

/*!
 * Positions of the row objects of a list that changes by runs of inserted and removed
 * rows: an index of the whole list taken once, and the runs since. A run costs O(its rows)
 * instead of a new index of the whole list, a look-up O(runs since the index was taken);
 * past maxRuns runs the index is dropped and taken again at the next look-up.
 * Meant for lists without duplicates: a position is the row's only one.
 */
class EditedPositionIndex
{
public:
    static constexpr int maxRuns = 128;

    /// An index of rows as they are now.
    void build(const QList<BaseDataItem*>& rows);
    void clear();
    bool isBuilt() const { return m_built; }
    /// Whether some row stands twice (or a run inserted a row already listed): positions are then not unique.
    bool hasDuplicates() const { return m_duplicates; }
    /// Position of row in the list as last told, or -1 (also for null).
    int position(const BaseDataItem* row) const;
    /// rows[position, position + count) have left the list.
    void removed(int position, int count);
    /// rows[position, position + count) of the list as it is now have just been inserted.
    void inserted(const QList<BaseDataItem*>& rows, int position, int count);

private:
    struct Run
    {
        int position;
        int count; // inserted: > 0, removed: < 0
    };
    int follow(int position, size_t firstRun) const;

    RowPositionIndex m_taken;
    std::vector<Run> m_runs;
    QHash<const BaseDataItem*, QPair<int, int>> m_inserted; // row -> (position, run) of its latest insertion
    bool m_built = false;
    bool m_duplicates = false;
};
