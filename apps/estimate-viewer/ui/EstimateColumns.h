#pragma once

#include "Estimate.h"

#include <QColor>
#include <QString>
#include <QVariant>
#include <QVector>

class QHeaderView;
class zBaseHeaderColumn;
class zBaseHeaderItem;
namespace Qtitan {
class TableHeaderColumn;
}

/*!
 * The columns every view of an estimate shows, and the one place that reads a
 * row's cells by column, formats its numbers and sizes the columns to them. What a
 * typed value becomes is the fields' rule (EstimateFields).
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

    /// Display text (a long text cut, elided) or edit value (all of it) of a row's cell.
    static QVariant cell(BaseDataItem* row, int field, int role);
    /// A number as every view shows it: the locale's grouping, two decimals.
    static QString formatNumber(double number);
    /// Sizes a view's columns so the widest code and total of an estimate show whole in its font.
    static void applyDefaultWidths(QHeaderView& header, int descriptionWidth);
    /// Widens a view's total column, never narrowing it, so that a total this large shows whole.
    static void fitTotal(QHeaderView& header, double largest);
};
