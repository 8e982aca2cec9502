#pragma once

#include <QList>
#include <QString>
#include <QVariant>

class QTableView;
class ShownTable;

/*!
 * Writes what a table view shows as CSV for spreadsheets (RFC 4180, UTF-8, CRLF):
 * the shown columns in their shown order under their titles, the shown rows, and
 * numbers unformatted ("1234.5", not "1,234.50").
 *
 *     QString error;
 *     CsvExport::write(view, "bill.csv", &error);
 */
class CsvExport
{
public:
    static bool write(const QTableView& view, const QString& path, QString* error);
    static bool write(const ShownTable& table, const QString& path, QString* error);
    /// One field, quoted when it holds a comma, a quote or a line break.
    static QString quote(const QString& field);
    /// A cell's stored value as a spreadsheet reads it: a number as the shortest C-locale text
    /// that reads back as the same number, anything else as its text.
    static QString fieldText(const QVariant& value);
};
