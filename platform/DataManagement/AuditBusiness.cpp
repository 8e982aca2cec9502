#include "AuditBusiness.h"

#include <vector>

// Row to counterpart in one flat table (open addressing, linear probing): an estimate relates millions of
// rows, and a node allocated per relation would cost more than the rest of reading a row.
class AuditBusiness::Relations
{
public:
    /// True, with the counterpart (which may be null), when the row has one.
    bool find(const BaseDataItem* row, BaseDataItem** counterpart) const
    {
        if (!row) {
            *counterpart = m_nullCounterpart;
            return m_hasNull;
        }
        for (size_t at = slotOf(row); !m_slots.empty(); at = next(at)) {
            if (!m_slots[at].row || m_slots[at].row == row) {
                *counterpart = m_slots[at].counterpart;
                return m_slots[at].row != nullptr;
            }
        }
        return false;
    }
    void insert(BaseDataItem* row, BaseDataItem* counterpart)
    {
        if (!row) {
            m_hasNull = true;
            m_nullCounterpart = counterpart;
            return;
        }
        reserve(m_count + 1);
        size_t at = slotOf(row);
        while (m_slots[at].row && m_slots[at].row != row)
            at = next(at);
        m_count += m_slots[at].row ? 0 : 1;
        m_slots[at] = Slot{row, counterpart};
    }
    /// Takes the row's entry out; true when there was one.
    bool remove(const BaseDataItem* row)
    {
        if (!row) {
            const bool had = m_hasNull;
            m_hasNull = false;
            m_nullCounterpart = nullptr;
            return had;
        }
        if (m_slots.empty())
            return false;
        size_t gap = slotOf(row);
        for (; m_slots[gap].row != row; gap = next(gap)) {
            if (!m_slots[gap].row)
                return false;
        }
        m_slots[gap] = Slot();
        --m_count;
        // Later entries of the run move back into the gap unless their home slot lies after it: every
        // lookup still meets its entry before an empty slot.
        for (size_t probe = next(gap); m_slots[probe].row; probe = next(probe)) {
            const size_t home = slotOf(m_slots[probe].row);
            const bool staysPut = gap <= probe ? (home > gap && home <= probe) : (home > gap || home <= probe);
            if (staysPut)
                continue;
            m_slots[gap] = m_slots[probe];
            m_slots[probe] = Slot();
            gap = probe;
        }
        return true;
    }
    size_t size() const { return m_count + (m_hasNull ? 1 : 0); }
    void reserve(size_t entries)
    {
        if (2 * entries <= m_slots.size())
            return;
        size_t capacity = 16;
        while (capacity < 2 * entries)
            capacity *= 2;
        std::vector<Slot> old(capacity);
        old.swap(m_slots);
        m_count = 0;
        for (const Slot& slot : old) {
            if (slot.row)
                insert(slot.row, slot.counterpart);
        }
    }

private:
    struct Slot
    {
        BaseDataItem* row = nullptr; // null: empty
        BaseDataItem* counterpart = nullptr;
    };
    size_t next(size_t at) const { return (at + 1) & (m_slots.size() - 1); }
    // Rows in one page of memory share a stretch of slots, placed by a hash of the page (splitmix64's
    // finaliser), each row at its own offset within it: rows made one after the other cost one cache miss
    // per page rather than one each, and pages still scatter over the table.
    size_t slotOf(const BaseDataItem* row) const
    {
        const quint64 address = quint64(quintptr(row));
        quint64 mixed = address >> 12;
        mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ULL;
        mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebULL;
        return size_t((mixed ^ (mixed >> 31)) + ((address >> 4) & 0xFF)) & (m_slots.size() - 1);
    }

    std::vector<Slot> m_slots; // empty, or a power of two at most half full
    size_t m_count = 0; // of the slots
    bool m_hasNull = false; // a null row has a counterpart too
    BaseDataItem* m_nullCounterpart = nullptr;
};

AuditBusiness::AuditBusiness(QObject* parent)
    : QObject(parent)
    , m_relations(std::make_unique<Relations>())
{
}

AuditBusiness::~AuditBusiness() = default;

AuditBusiness::State AuditBusiness::GetDifference(BaseDataItem* row, const AuditHeaderItem* header) const
{
    if (!header)
        return {};
    return m_differences.value(row).value(header->fieldNumber);
}

BaseDataItem* AuditBusiness::GetRelationItem(BaseDataItem* row, bool& ok) const
{
    BaseDataItem* counterpart = nullptr;
    ok = m_relations->find(row, &counterpart);
    return counterpart;
}

void AuditBusiness::EmitSync(int code, int value, QVariant payload)
{
    Q_EMIT OnSync(code, value, payload);
}

template<typename T>
static void setMember(QSet<T>& set, T value, bool on)
{
    if (on)
        set.insert(value);
    else
        set.remove(value);
}

void AuditBusiness::SetSS(TableBaseObject* table, bool on)
{
    setMember(m_ssTables, table, on);
}

void AuditBusiness::SetSS(BaseDataItem* row, bool on)
{
    setMember(m_ssRows, row, on);
}

void AuditBusiness::SetAuditOpen(TableBaseObject* table, bool open)
{
    setMember(m_openTables, table, open);
}

void AuditBusiness::SetDifference(BaseDataItem* row, int fieldNumber, State state)
{
    m_differences[row].insert(fieldNumber, state);
}

void AuditBusiness::SetRelationItem(BaseDataItem* row, BaseDataItem* counterpart)
{
    m_relations->insert(row, counterpart);
    m_relations->insert(counterpart, row);
}

void AuditBusiness::ReserveRelations(int pairs)
{
    m_relations->reserve(m_relations->size() + 2 * size_t(qBound(0, pairs, INT_MAX / 4)));
}

void AuditBusiness::ForgetRow(BaseDataItem* row)
{
    BaseDataItem* counterpart = nullptr;
    BaseDataItem* back = nullptr;
    if (m_relations->find(row, &counterpart) && m_relations->remove(row) && counterpart
        && m_relations->find(counterpart, &back) && back == row)
        m_relations->remove(counterpart);
    m_ssRows.remove(row);
    m_differences.remove(row);
}
