#pragma once

#include "Estimate.h"
#include "EstimateEditor.h"

#include <QPair>
#include <QVector>

/*!
 * Where a row and everything below it sit in a table, so the subtree can be taken
 * out and put back exactly there: the undo of a delete and of an insert. While
 * taken out the rows belong to this object, and the audit service forgets them.
 *
 *     SubtreePlace place(estimate, table, row);
 *     place.detach();   // the rows leave the tree and the table's list
 *     place.attach();   // and come back at the same place
 */
class SubtreePlace
{
public:
    SubtreePlace(Estimate& estimate, Estimate::Table& table, BaseDataItem* top);
    ~SubtreePlace();
    SubtreePlace(const SubtreePlace&) = delete;
    SubtreePlace& operator=(const SubtreePlace&) = delete;

    /// Takes the rows out; says where from (position -1 when they were not one run of the list).
    StructureChange detach();
    /// Puts the rows back as one run; says where.
    StructureChange attach();
    /// The parent the subtree hangs under (null for a top-level row).
    TreeBaseItem* parent() const { return m_parent; }

private:
    Estimate& m_estimate; // not owned
    Estimate::Table& m_table; // not owned
    BaseDataItem* m_top; // owned while detached, with every row below it
    TreeBaseItem* m_parent; // not owned
    int m_childPosition = -1;
    int m_listPosition = -1;
    QList<BaseDataItem*> m_rows; // the subtree in pre-order, while detached
    QVector<QPair<BaseDataItem*, BaseDataItem*>> m_counterparts; // row -> its audit counterpart, while detached
    bool m_detached = false;
};
