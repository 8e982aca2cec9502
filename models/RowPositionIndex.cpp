#include "RowPositionIndex_p.h"

#include <cstdint>

void RowPositionIndex::build(const QList<BaseDataItem*>& rows)
{
    size_t capacity = 16;
    while (capacity < size_t(rows.size()) * 2)
        capacity <<= 1;
    m_slots.assign(capacity, Slot{nullptr, -1});
    m_mask = capacity - 1;
    m_duplicates = false;
    constexpr int lookAhead = 16; // rows whose slots are on their way while one is filled
    const int count = rows.size();
    for (int position = 0; position < count; ++position) {
        if (position + lookAhead < count) {
            if (const BaseDataItem* ahead = rows.at(position + lookAhead))
                prefetchForWrite(&m_slots[slotOf(ahead)]);
        }
        const BaseDataItem* row = rows.at(position);
        if (!row)
            continue;
        size_t slot = slotOf(row);
        while (m_slots[slot].row && m_slots[slot].row != row)
            slot = (slot + 1) & m_mask;
        if (!m_slots[slot].row) { // the first position wins
            m_slots[slot] = Slot{row, position};
        } else {
            m_duplicates = true;
        }
    }
}

void RowPositionIndex::clear()
{
    m_slots.clear();
    m_mask = 0;
    m_duplicates = false;
}

int RowPositionIndex::firstPosition(const BaseDataItem* row) const
{
    if (!row || m_slots.empty())
        return -1;
    for (size_t slot = slotOf(row); m_slots[slot].row; slot = (slot + 1) & m_mask) {
        if (m_slots[slot].row == row)
            return m_slots[slot].position;
    }
    return -1;
}

size_t RowPositionIndex::slotOf(const BaseDataItem* row) const
{
    // Fibonacci hashing: heap pointers share their low bits, the multiply spreads them.
    const uint64_t key = reinterpret_cast<uintptr_t>(row);
    return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & m_mask;
}

void EditedPositionIndex::build(const QList<BaseDataItem*>& rows)
{
    m_taken.build(rows);
    m_runs.clear();
    m_inserted.clear();
    m_built = true;
    m_duplicates = m_taken.hasDuplicates();
}

void EditedPositionIndex::clear()
{
    m_taken.clear();
    m_runs.clear();
    m_inserted.clear();
    m_built = false;
    m_duplicates = false;
}

int EditedPositionIndex::position(const BaseDataItem* row) const
{
    if (!row || !m_built)
        return -1;
    const auto inserted = m_inserted.constFind(row);
    if (inserted != m_inserted.constEnd())
        return follow(inserted->first, size_t(inserted->second) + 1);
    const int taken = m_taken.firstPosition(row);
    return taken < 0 ? -1 : follow(taken, 0);
}

// Where a row that stood at position before run firstRun stands now; -1 once a run removed it.
int EditedPositionIndex::follow(int position, size_t firstRun) const
{
    for (size_t run = firstRun; run < m_runs.size(); ++run) {
        const Run& edit = m_runs[run];
        if (position < edit.position)
            continue;
        if (edit.count > 0)
            position += edit.count;
        else if (position < edit.position - edit.count)
            return -1;
        else
            position += edit.count;
    }
    return position;
}

void EditedPositionIndex::removed(int position, int count)
{
    if (!m_built || count <= 0)
        return;
    if (m_runs.size() >= size_t(maxRuns)) {
        clear();
        return;
    }
    m_runs.push_back({position, -count});
}

void EditedPositionIndex::inserted(const QList<BaseDataItem*>& rows, int position, int count)
{
    if (!m_built || count <= 0)
        return;
    if (m_runs.size() >= size_t(maxRuns)) {
        clear();
        return;
    }
    for (int offset = 0; offset < count && !m_duplicates; ++offset)
        m_duplicates = this->position(rows.at(position + offset)) >= 0;
    const int run = int(m_runs.size());
    m_runs.push_back({position, count});
    for (int offset = 0; offset < count; ++offset) {
        const BaseDataItem* row = rows.at(position + offset);
        if (!row)
            continue;
        const auto earlier = m_inserted.constFind(row);
        if (earlier != m_inserted.constEnd() && earlier->second == run)
            m_duplicates = true; // twice in this run
        m_inserted.insert(row, qMakePair(position + offset, run));
    }
}
