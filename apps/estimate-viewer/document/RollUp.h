#pragma once

#include <QHash>
#include <QVariant>
#include <QVector>

class BaseDataItem;

/*!
 * Totals that roll up an estimate's tree. A row with children totals its children,
 * notes and subtotals left out; a subtotal row repeats that sum of its siblings; a
 * leaf is quantity x unit price, or keeps its stored total when it lacks either.
 * Stored totals are trusted as they are: only the chain above an edited row is
 * recomputed, and each parent's sum is kept so a repeated edit costs the depth.
 *
 *     RollUp rollUp;
 *     QVector<RollUp::Change> changes;
 *     if (rollUp.planCellEdit(row, EstimateField::Quantity, 12.5, &changes))
 *         rollUp.apply(changes, RollUp::Forward);
 */
class RollUp
{
public:
    /// One stored cell before and after an edit.
    struct Change
    {
        BaseDataItem* row;
        int field;
        QVariant before;
        QVariant after;
    };
    enum Direction { Forward, Backward };

    /// The cell write and the totals it changes; false (nothing planned) for a value that is refused.
    bool planCellEdit(BaseDataItem* row, int field, const QVariant& value, QVector<Change>* changes);
    /// The totals of the chain from a row whose children changed up to the top; false when one would not be finite.
    bool planChainFrom(BaseDataItem* row, QVector<Change>* changes);
    /// Stores the after values in order, or the before values in reverse order.
    void apply(const QVector<Change>& changes, Direction direction);
    /// Forgets every kept sum (another estimate is shown).
    void reset();
    /// Whether a row's total counts in its parent's (notes and subtotals do not).
    static bool countsInParent(BaseDataItem* row);
    /// Whether a row's total is its quantity x unit price: a leaf with both, not a subtotal.
    static bool isPricedLeaf(BaseDataItem* row);

private:
    struct ChildSums
    {
        double counted = 0; // totals of the children that count
        QVector<BaseDataItem*> subtotals;
    };
    const ChildSums& childSums(BaseDataItem* parent);
    bool planChain(BaseDataItem* row, double rowTotal, QVector<Change>* changes);
    void store(BaseDataItem* row, int field, const QVariant& value);

    QHash<BaseDataItem*, ChildSums> m_sums; // rows are not owned; valid for one tree shape
    quint64 m_shape = 0;
};
