#pragma once

#include <QString>

class QPagedPaintDevice;
class ShownTable;

/*!
 * Prints a table as the view shows it, on a printer or in a PDF: the shown rows (a
 * folded section is its one row, with its total) in the shown columns, rows
 * indented by level and sections in bold. Each page repeats the project and table
 * name and the column headers, and is numbered "Page 3 of 12". Columns share the
 * page width: numbers and codes as wide as their widest value, the description the
 * rest; a table wider than the page is drawn smaller to fit it. Rows are one line
 * each and never split between pages.
 *
 *     TablePrinter(ShownTable(view, estimate)).print(printer);
 */
class TablePrinter
{
public:
    explicit TablePrinter(const ShownTable& table);

    /// Paints the pages on a printer or PDF writer (a printer's page range is honoured); false when it cannot paint.
    bool print(QPagedPaintDevice& device) const;
    /// Pages the table takes on a device.
    int pageCount(const QPagedPaintDevice& device) const;
    /// Writes an A4 PDF, whole or not at all.
    static bool writePdf(const ShownTable& table, const QString& path, QString* error);

private:
    const ShownTable& m_table;
};
