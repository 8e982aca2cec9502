#pragma once

#include "Estimate.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

class QTableView;

/*!
 * What a table view shows, as every export reads it: the shown columns in their shown
 * order, and the table's rows in tree order (parents before their children), each
 * with its level and whether the view shows it or has it folded away. The view's own
 * model decides: the tree's collapsed nodes, the grid's folds, a hidden column.
 *
 *     ShownTable table(*window.currentTable(), window.estimate());
 *     table.forEachRow([&](const ShownTable::Row& row) {
 *         if (row.shown) ...;
 *         return true;
 *     });
 */
class ShownTable
{
public:
    struct Column
    {
        int field; ///< EstimateField, -1 for a column the estimate does not know
        QString title;
    };
    struct Row
    {
        BaseDataItem* item;
        int level; ///< number of ancestors
        bool shown;
        bool folded; ///< shown with children the view does not show
    };

    /// Reads the view's columns and folds; estimate (optional) names the project and table.
    explicit ShownTable(const QTableView& view, const Estimate* estimate = nullptr);

    const QVector<Column>& columns() const { return m_columns; }
    QString projectName() const { return m_projectName; }
    QString workName() const { return m_workName; }
    QString tableName() const { return m_tableName; }
    /// Every row of the table, shown or not.
    qint64 rowCount() const;
    /// Calls visit for each row in tree order until it returns false; false when it did.
    bool forEachRow(const std::function<bool(const Row& row)>& visit) const;
    /// A cell as stored: a number for numeric columns, text otherwise, invalid when empty.
    static QVariant value(const Row& row, const Column& column);
    /// The view's logical columns that are not hidden, in the order it shows them.
    static QList<int> shownColumns(const QTableView& view);

private:
    QVector<Column> m_columns;
    QList<BaseDataItem*> m_roots;
    std::function<bool(BaseDataItem*)> m_isShown;
    QString m_projectName;
    QString m_workName;
    QString m_tableName;
};
