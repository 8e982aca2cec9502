#include "RowPositionIndex_p.h"

#include <cstdint>

void RowPositionIndex::build(const QList<BaseDataItem*>& rows)
{
    size_t capacity = 16;
    while (capacity < size_t(rows.size()) * 2)
        capacity <<= 1;
    m_keys.assign(capacity, nullptr);
    m_positions.assign(capacity, -1);
    m_mask = capacity - 1;
    for (int position = 0; position < rows.size(); ++position) {
        const BaseDataItem* row = rows.at(position);
        if (!row)
            continue;
        size_t slot = slotOf(row);
        while (m_keys[slot] && m_keys[slot] != row)
            slot = (slot + 1) & m_mask;
        if (!m_keys[slot]) { // the first position wins
            m_keys[slot] = row;
            m_positions[slot] = position;
        }
    }
}

void RowPositionIndex::clear()
{
    m_keys.clear();
    m_positions.clear();
    m_mask = 0;
}

int RowPositionIndex::firstPosition(const BaseDataItem* row) const
{
    if (!row || m_keys.empty())
        return -1;
    for (size_t slot = slotOf(row); m_keys[slot]; slot = (slot + 1) & m_mask) {
        if (m_keys[slot] == row)
            return m_positions[slot];
    }
    return -1;
}

size_t RowPositionIndex::slotOf(const BaseDataItem* row) const
{
    // Fibonacci hashing: heap pointers share their low bits, the multiply spreads them.
    const uint64_t key = reinterpret_cast<uintptr_t>(row);
    return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & m_mask;
}
