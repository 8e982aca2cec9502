#include "RollUp.h"

#include "Estimate.h"
#include "EstimateFields.h"

#include <cmath>

namespace {
double storedTotal(BaseDataItem* row)
{
    return row->getValue(EstimateField::Total).toDouble();
}

QVariant cellAfter(BaseDataItem* row, int field, int editedField, const QVariant& value)
{
    return field == editedField ? value : row->getValue(field);
}

// A leaf's own total once a cell is written; a leaf without a quantity or a price keeps the one it has.
double leafTotal(BaseDataItem* row, int editedField, const QVariant& value)
{
    const QVariant quantity = cellAfter(row, EstimateField::Quantity, editedField, value);
    const QVariant unitPrice = cellAfter(row, EstimateField::UnitPrice, editedField, value);
    if (!quantity.isValid() || !unitPrice.isValid() || row->getRowType() == EstimateRowType::Subtotal)
        return storedTotal(row);
    return quantity.toDouble() * unitPrice.toDouble();
}
}

bool RollUp::planCellEdit(BaseDataItem* row, int field, const QVariant& value, QVector<Change>* changes)
{
    if (!row || EstimateFields::isComputed(field))
        return false;
    changes->append({row, field, row->getValue(field), value});
    if (field != EstimateField::Quantity && field != EstimateField::UnitPrice)
        return true;
    const double total = row->getChildrenCount() > 0 ? childSums(row).counted : leafTotal(row, field, value);
    return planChain(row, total, changes);
}

bool RollUp::planChainFrom(BaseDataItem* row, QVector<Change>* changes)
{
    return !row || planChain(row, childSums(row).counted, changes);
}

void RollUp::apply(const QVector<Change>& changes, Direction direction)
{
    if (direction == Forward) {
        for (const Change& change : changes)
            store(change.row, change.field, change.after);
    } else {
        for (auto change = changes.crbegin(); change != changes.crend(); ++change)
            store(change->row, change->field, change->before);
    }
}

void RollUp::reset()
{
    m_sums.clear();
}

bool RollUp::countsInParent(BaseDataItem* row)
{
    return row->getRowType() != EstimateRowType::Note && row->getRowType() != EstimateRowType::Subtotal;
}

bool RollUp::isPricedLeaf(BaseDataItem* row)
{
    return row->getChildrenCount() == 0 && row->getRowType() != EstimateRowType::Subtotal
        && row->getValue(EstimateField::Quantity).isValid() && row->getValue(EstimateField::UnitPrice).isValid();
}

const RollUp::ChildSums& RollUp::childSums(BaseDataItem* parent)
{
    if (m_shape != TreeBaseItem::shapeGeneration()) { // a child list changed somewhere: every kept sum may be stale
        m_sums.clear();
        m_shape = TreeBaseItem::shapeGeneration();
    }
    auto found = m_sums.find(parent);
    if (found != m_sums.end())
        return *found;
    ChildSums sums;
    for (BaseDataItem* child : parent->getBaseDataItemlist()) {
        if (child && countsInParent(child))
            sums.counted += storedTotal(child);
        else if (child && child->getRowType() == EstimateRowType::Subtotal)
            sums.subtotals.append(child);
    }
    return *m_sums.insert(parent, sums);
}

// Walks up from a row given its new total: each parent becomes its children's sum with the change below
// applied. A total that would not be finite refuses the whole edit.
bool RollUp::planChain(BaseDataItem* row, double rowTotal, QVector<Change>* changes)
{
    double total = rowTotal;
    for (BaseDataItem* current = row; current; current = current->getParent()) {
        if (!std::isfinite(total)) {
            changes->clear();
            return false;
        }
        const QVariant before = current->getValue(EstimateField::Total);
        changes->append({current, EstimateField::Total, before, total});
        for (BaseDataItem* subtotal : childSums(current).subtotals)
            changes->append({subtotal, EstimateField::Total, subtotal->getValue(EstimateField::Total), total});
        BaseDataItem* parent = current->getParent();
        if (!parent)
            break;
        const double change = countsInParent(current) ? total - before.toDouble() : 0.0;
        total = childSums(parent).counted + change;
    }
    return true;
}

void RollUp::store(BaseDataItem* row, int field, const QVariant& value)
{
    BaseDataItem* parent = row->getParent();
    if (field == EstimateField::Total && parent && countsInParent(row) && m_shape == TreeBaseItem::shapeGeneration()) {
        auto found = m_sums.find(parent);
        if (found != m_sums.end())
            found->counted += value.toDouble() - storedTotal(row);
    }
    row->setValue(field, value);
}
