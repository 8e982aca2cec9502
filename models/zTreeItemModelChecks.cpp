#include "zTreeItemModel.h"

#include "CheckTypeProperty_p.h"
#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

// Check states live in the model, per row object. With the check mode on, a change is pushed down
// to every descendant and summed up through every ancestor, each from its direct children only.

void zTreeItemModel::setItemCheckState(BaseDataItem* row, int state)
{
    if (!row)
        return;
    Q_D(zTreeItemModel);
    d->m_checkStates.insert(row, state);
    // Re-read on every change: the view or the host may switch the mode at any time.
    if (property(CheckTypeProperty).toInt() == 0)
        return;
    // One level at a time: each ancestor from its direct children, after the level below is stored.
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        d->m_checkStates.insert(ancestor, d->summedCheckState(ancestor));
    if (state != Qt::PartiallyChecked) {
        // One growth, not twenty; no more than the bound rows, whatever a corrupt tree counts.
        d->m_checkStates.reserve(d->m_checkStates.size() + qMin(row->getChildrenItemCount(), d->m_originalRows.size()));
        setChildCheckState(row, state);
    }
}

void zTreeItemModel::setChildCheckState(BaseDataItem* row, int state)
{
    if (!row)
        return;
    Q_D(zTreeItemModel);
    const QList<BaseDataItem*> children = row->getBaseDataItemlist();
    for (BaseDataItem* child : children) {
        if (!child)
            continue;
        d->m_checkStates.insert(child, state);
        if (child->getChildrenCount() > 0)
            setChildCheckState(child, state);
    }
}

QVariant zTreeItemModelPrivate::storedCheckState(int virtualRow) const
{
    const auto state = m_checkStates.constFind(shownRow(virtualRow));
    return state == m_checkStates.cend() ? QVariant(false) : QVariant(*state); // never checked reads false
}

int zTreeItemModelPrivate::summedCheckState(BaseDataItem* parent) const
{
    const QList<BaseDataItem*> children = parent->getBaseDataItemlist();
    float sum = 0.0f; // single precision is contract: past 2^24 children the sum rounds as a float does
    for (BaseDataItem* child : children) {
        const int state = m_checkStates.value(child, Qt::Unchecked);
        if (state == Qt::Checked)
            sum += 1.0f;
        else if (state == Qt::PartiallyChecked)
            sum += 0.5f;
    }
    if (sum == 0.0f)
        return Qt::Unchecked;
    return sum == float(children.size()) ? Qt::Checked : Qt::PartiallyChecked;
}
