#include "SubtreePlace.h"

#include <QSet>

#include <utility>

SubtreePlace::SubtreePlace(Estimate& estimate, Estimate::Table& table, BaseDataItem* top)
    : m_estimate(estimate)
    , m_table(table)
    , m_top(top)
    , m_parent(top->getParent())
{
}

SubtreePlace::~SubtreePlace()
{
    if (m_detached)
        qDeleteAll(m_rows);
}

StructureChange SubtreePlace::detach()
{
    if (m_detached)
        return {&m_table, -1, false, {}};
    if (m_parent) {
        QList<BaseDataItem*> children = m_parent->getBaseDataItemlist();
        m_childPosition = children.indexOf(m_top);
        children.removeAt(m_childPosition);
        m_parent->setBaseDataItemListDirect(children);
    }
    m_rows = m_top->getAllBaseDataItemlist(true);
    m_rows.prepend(m_top);
    m_listPosition = m_table.rows.indexOf(m_top);
    // In a list in tree pre-order the subtree is one run from its top.
    bool oneRun = m_listPosition >= 0 && m_listPosition + m_rows.size() <= m_table.rows.size();
    for (int offset = 0; oneRun && offset < m_rows.size(); ++offset)
        oneRun = m_table.rows.at(m_listPosition + offset) == m_rows.at(offset);
    if (oneRun) {
        m_table.rows.erase(m_table.rows.begin() + m_listPosition, m_table.rows.begin() + m_listPosition + m_rows.size());
    } else {
        const QSet<BaseDataItem*> leaving(m_rows.cbegin(), m_rows.cend());
        QList<BaseDataItem*> staying;
        staying.reserve(m_table.rows.size());
        for (BaseDataItem* row : qAsConst(m_table.rows)) { // one pass: removing row by row is quadratic
            if (!leaving.contains(row))
                staying.append(row);
        }
        m_table.rows = staying;
    }
    for (BaseDataItem* row : qAsConst(m_rows)) {
        bool related = false;
        if (BaseDataItem* counterpart = m_estimate.audit->GetRelationItem(row, related); related)
            m_counterparts.append(qMakePair(row, counterpart));
        m_estimate.audit->ForgetRow(row);
    }
    m_detached = true;
    return {&m_table, oneRun ? m_listPosition : -1, false, m_rows};
}

StructureChange SubtreePlace::attach()
{
    if (!m_detached)
        return {&m_table, -1, true, {}};
    if (m_parent) {
        QList<BaseDataItem*> children = m_parent->getBaseDataItemlist();
        children.insert(qBound(0, m_childPosition, children.size()), m_top);
        m_parent->setBaseDataItemListDirect(children);
    }
    const int listPosition = m_listPosition < 0 ? m_table.rows.size() : qMin(m_listPosition, m_table.rows.size());
    if (m_rows.size() == 1) {
        m_table.rows.insert(listPosition, m_top);
    } else {
        QList<BaseDataItem*> rows;
        rows.reserve(m_table.rows.size() + m_rows.size());
        rows.append(m_table.rows.mid(0, listPosition));
        rows.append(m_rows);
        rows.append(m_table.rows.mid(listPosition));
        m_table.rows.swap(rows);
    }
    for (const auto& pair : qAsConst(m_counterparts)) {
        m_estimate.audit->SetRelationItem(pair.first, pair.second);
        m_estimate.updateDifferences(pair.first);
    }
    m_counterparts.clear();
    m_detached = false;
    return {&m_table, listPosition, true, std::exchange(m_rows, {})};
}
