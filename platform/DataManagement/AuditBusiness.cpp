#include "AuditBusiness.h"

AuditBusiness::AuditBusiness(QObject* parent)
    : QObject(parent)
{
}

AuditBusiness::State AuditBusiness::GetDifference(BaseDataItem* row, const AuditHeaderItem* header) const
{
    if (!header)
        return {};
    return m_differences.value(row).value(header->fieldNumber);
}

BaseDataItem* AuditBusiness::GetRelationItem(BaseDataItem* row, bool& ok) const
{
    const auto found = m_relations.constFind(row);
    ok = found != m_relations.constEnd();
    return ok ? found.value() : nullptr;
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
    m_relations.insert(row, counterpart);
    m_relations.insert(counterpart, row);
}

void AuditBusiness::ReserveRelations(int pairs)
{
    m_relations.reserve(m_relations.size() + 2 * qBound(0, pairs, INT_MAX / 4));
}

void AuditBusiness::ForgetRow(BaseDataItem* row)
{
    if (BaseDataItem* counterpart = m_relations.take(row)) {
        if (m_relations.value(counterpart) == row)
            m_relations.remove(counterpart);
    }
    m_ssRows.remove(row);
    m_differences.remove(row);
}
