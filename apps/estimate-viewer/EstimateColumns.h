#pragma once

#include "Estimate.h"

#include <QColor>
#include <QString>
#include <QVariant>
#include <QVector>

class zBaseHeaderColumn;
class zBaseHeaderItem;
namespace Qtitan {
class TableHeaderColumn;
}

/*!
 * The columns every view of an estimate shows, and the one place that reads and
 * writes a row's cells by column: a quantity or unit price written recomputes the
 * row's total.
 */
class EstimateColumns
{
public:
    struct Column
    {
        QString id;
        QString title;
        int field;
    };
    static const QVector<Column>& all();
    /// The field behind a column identifier, or -1.
    static int fieldOf(const QString& columnId);
    static int fieldOf(const zBaseHeaderItem* header);
    /// Background of block-selected rows.
    static QColor blockColour() { return QColor(255, 228, 160); }
    static void fill(zBaseHeaderColumn& columns);
    static void fill(Qtitan::TableHeaderColumn& columns);

    /// Display text or edit value of a row's cell.
    static QVariant cell(BaseDataItem* row, int field, int role);
    /// Writes a cell; false when the column is computed, or a number is due and the value or the total is not a finite one.
    static bool writeCell(BaseDataItem* row, int field, const QVariant& value);
    static bool isComputed(int field) { return field == EstimateField::Total; }
};
