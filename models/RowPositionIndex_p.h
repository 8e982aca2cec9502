#pragma once

#include <QList>

#include <vector>

class BaseDataItem;

/*!
 * First position of each row object in a row list, answered in O(1).
 * Built in one pass; an open-addressing table of pointers keeps the build close
 * to the cost of copying the list, which a QHash of a million rows is not.
 * Null entries are never indexed.
 */
class RowPositionIndex
{
public:
    void build(const QList<BaseDataItem*>& rows);
    void clear();
    /// First position of row in the list it was built from, or -1 (also for null).
    int firstPosition(const BaseDataItem* row) const;

private:
    size_t slotOf(const BaseDataItem* row) const;

    std::vector<const BaseDataItem*> m_keys; // empty slot = null
    std::vector<int> m_positions;
    size_t m_mask = 0;
};
