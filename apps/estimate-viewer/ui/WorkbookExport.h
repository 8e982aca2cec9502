#pragma once

#include <QString>

class ShownTable;

/*!
 * Writes a table as a spreadsheet workbook (.xlsx) that an estimator goes on working
 * in: the tree as the sheet's row outline, folded where the view has it folded; codes
 * and descriptions as text; quantities, prices and totals as numbers with two
 * decimals; a frozen bold header; columns as wide as their contents.
 *
 * Every total the estimate computes is a live formula whose cached value is the
 * viewer's total. A leaf is quantity * unit price. A parent sums its block of
 * descendants with SUBTOTAL(9, ...), which skips the cells that hold a SUBTOTAL
 * themselves; so every total that must not be counted again (a parent's, a
 * subtotal's, a note's) holds a SUBTOTAL too, and each priced leaf is counted once,
 * by every parent above it. The descendants of rows that do not count (notes,
 * subtotals) are left out of the ranges above them. One range per parent keeps
 * the formulas short whatever the number of children.
 *
 * Rows are streamed to the file in order, so memory does not grow with the table.
 * A sheet holds 1,048,576 rows and 8 outline levels: a larger table is refused
 * before anything is written, and rows deeper than the outline allows group at its
 * deepest level. The file appears whole or not at all.
 */
class WorkbookExport
{
public:
    /// Rows of a worksheet, the header included.
    static constexpr qint64 maxSheetRows = 1048576;
    /// Outline levels below the top rows.
    static constexpr int maxOutlineLevel = 7;

    static bool write(const ShownTable& table, const QString& path, QString* error);
};
