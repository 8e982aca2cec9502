#include "BaseDataItem.h"

#include <QPair>
#include <QVector>

#include <algorithm>

namespace {
bool fieldBefore(const QPair<int, QVariant>& entry, int fieldNumber)
{
    return entry.first < fieldNumber;
}
}

QVariant BaseDataItem::getValue(const int& fieldNumber)
{
    const auto found = std::lower_bound(m_values.cbegin(), m_values.cend(), fieldNumber, fieldBefore);
    return found != m_values.cend() && found->first == fieldNumber ? found->second : QVariant();
}

void BaseDataItem::setValue(const int& fieldNumber, const QVariant& value)
{
    const auto found = std::lower_bound(m_values.begin(), m_values.end(), fieldNumber, fieldBefore);
    if (found != m_values.end() && found->first == fieldNumber) {
        found->second = value;
        return;
    }
    const int position = int(found - m_values.begin());
    if (m_values.isEmpty())
        m_values.reserve(8); // one allocation for a row's handful of fields, not one per growth step
    m_values.insert(position, qMakePair(fieldNumber, value));
}

QList<BaseDataItem*> BaseDataItem::getAllBaseDataItemlist(const bool& recursive)
{
    QList<BaseDataItem*> rows;
    getAllBaseDataItemlist([&rows](BaseDataItem*, BaseDataItem* child) { rows.append(child); }, recursive);
    return rows;
}

void BaseDataItem::getAllBaseDataItemlist(std::function<void(BaseDataItem*, BaseDataItem*)> visit,
                                          const bool& recursive)
{
    // Explicit stack of (parent, child) pairs: estimates can nest deeper than is safe to recurse.
    QVector<QPair<BaseDataItem*, BaseDataItem*>> pending;
    auto pushChildren = [&pending](BaseDataItem* parent) {
        const QList<BaseDataItem*>& children = parent->getBaseDataItemlist();
        for (int childPos = children.size() - 1; childPos >= 0; --childPos)
            pending.append(qMakePair(parent, children.at(childPos)));
    };
    pushChildren(this);
    while (!pending.isEmpty()) {
        const QPair<BaseDataItem*, BaseDataItem*> pair = pending.takeLast();
        visit(pair.first, pair.second);
        if (recursive && pair.second)
            pushChildren(pair.second);
    }
}

const QList<BaseDataItem*>& BaseDataItem::getBaseDataItemlist()
{
    static const QList<BaseDataItem*> noChildren;
    return noChildren;
}

BaseDataItem* BaseDataItem::getChildrenAt(int position)
{
    const QList<BaseDataItem*>& children = getBaseDataItemlist();
    return position >= 0 && position < children.size() ? children.at(position) : nullptr;
}
