#include "WorkbookExport.h"

#include "EstimateColumns.h"
#include "EstimateFields.h"
#include "RollUp.h"
#include "ShownTable.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int longestText = 32767; // characters a cell holds
constexpr int longestFormula = 8192; // characters
constexpr int mostArguments = 255; // of one function
constexpr int mostIndent = 15;
constexpr double widestColumn = 80; // characters

QString columnName(int column)
{
    QString name;
    for (int rest = column + 1; rest > 0; rest = (rest - 1) / 26)
        name.prepend(QChar('A' + (rest - 1) % 26));
    return name;
}

QByteArray cellText(const QString& text)
{
    if (text.size() <= longestText)
        return text.toUtf8();
    return text.left(text.at(longestText - 1).isHighSurrogate() ? longestText - 1 : longestText).toUtf8();
}

// Characters a number takes in the "#,##0.00" format.
int numberWidth(double number)
{
    const QString digits = QString::number(std::abs(number), 'f', 0);
    return digits.size() + (digits.size() - 1) / 3 + 3 + (number < 0 ? 1 : 0);
}

QString sheetName(const ShownTable& table)
{
    QString name = table.tableName();
    for (QChar& character : name) {
        if (QStringLiteral("[]:*?/\\").contains(character))
            character = QLatin1Char(' ');
    }
    name = name.left(31).trimmed();
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Estimate") : name;
}

// One pass over the rows, writing each as it comes: libxlsxwriter's constant-memory mode keeps one row.
class SheetWriter
{
public:
    SheetWriter(lxw_workbook* workbook, lxw_worksheet* sheet, const ShownTable& table)
        : m_workbook(workbook)
        , m_sheet(sheet)
        , m_columns(table.columns())
        , m_widths(m_columns.size(), 0.0)
    {
        m_header = workbook_add_format(workbook);
        format_set_bold(m_header);
        for (bool bold : {false, true}) {
            m_number[bold] = workbook_add_format(workbook);
            format_set_num_format(m_number[bold], "#,##0.00");
            if (bold)
                format_set_bold(m_number[bold]);
        }
        for (int column = 0; column < m_columns.size(); ++column) {
            const int field = m_columns.at(column).field;
            if (field == EstimateField::Quantity)
                m_quantity = column;
            else if (field == EstimateField::UnitPrice)
                m_unitPrice = column;
            else if (field == EstimateField::Total)
                m_total = column;
        }
        if (m_total >= 0)
            findUncountedBlocks(table);
    }

    void writeHeader()
    {
        for (int column = 0; column < m_columns.size(); ++column) {
            check(worksheet_write_string(m_sheet, 0, lxw_col_t(column), cellText(m_columns.at(column).title).constData(), m_header));
            m_widths[column] = m_columns.at(column).title.size();
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
        // The outline's buttons sit on the parent rows, above their children.
        worksheet_outline_settings(m_sheet, LXW_TRUE, LXW_FALSE, LXW_FALSE, LXW_FALSE);
    }

    void writeRow(const ShownTable::Row& row)
    {
        const qint64 sheetRow = ++m_lastRow;
        if (int(m_ancestorRows.size()) <= row.level)
            m_ancestorRows.resize(row.level + 1);
        m_ancestorRows[row.level] = sheetRow;
        lxw_row_col_options options{uint8_t(!row.shown), uint8_t(std::min(row.level, WorkbookExport::maxOutlineLevel)), uint8_t(row.folded)};
        check(worksheet_set_row_opt(m_sheet, lxw_row_t(sheetRow), LXW_DEF_ROW_HEIGHT, nullptr, &options));
        const bool bold = row.item->getRowType() == EstimateRowType::Section;
        for (int column = 0; column < m_columns.size(); ++column) {
            const ShownTable::Column& shown = m_columns.at(column);
            if (column == m_total) {
                writeTotal(row, sheetRow, bold);
                continue;
            }
            const QVariant value = ShownTable::value(row, shown);
            if (!value.isValid())
                continue;
            if (EstimateFields::isNumeric(shown.field)) {
                check(worksheet_write_number(m_sheet, lxw_row_t(sheetRow), lxw_col_t(column), value.toDouble(), m_number[bold]));
                m_widths[column] = std::max<double>(m_widths[column], numberWidth(value.toDouble()));
            } else {
                const int indent = shown.field == EstimateField::Name ? std::min(row.level, mostIndent) : 0;
                const QString text = value.toString();
                check(worksheet_write_string(m_sheet, lxw_row_t(sheetRow), lxw_col_t(column), cellText(text).constData(), textFormat(indent, bold)));
                m_widths[column] = std::max<double>(m_widths[column], text.size() + indent * 3);
            }
        }
    }

    void sizeColumns()
    {
        for (int column = 0; column < m_columns.size(); ++column)
            check(worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column), std::min(m_widths[column] + 2, widestColumn), nullptr));
    }

    lxw_error error() const { return m_error; }

private:
    void check(lxw_error error)
    {
        if (m_error == LXW_NO_ERROR)
            m_error = error;
    }

    lxw_format* textFormat(int indent, bool bold)
    {
        lxw_format*& format = m_text[bold][indent];
        if (!format) {
            format = workbook_add_format(m_workbook);
            format_set_indent(format, uint8_t(indent));
            if (bold)
                format_set_bold(format);
        }
        return format;
    }

    QString cell(int column, qint64 sheetRow, bool fixedRow = false) const
    {
        return columnName(column) + (fixedRow ? QStringLiteral("$") : QString()) + QString::number(sheetRow + 1);
    }

    QString range(qint64 first, qint64 last) const
    {
        return first == last ? cell(m_total, first) : cell(m_total, first) + QLatin1Char(':') + cell(m_total, last);
    }

    // The descendants of each row that does not count in its parent, in sheet order.
    void findUncountedBlocks(const ShownTable& table)
    {
        qint64 sheetRow = 0;
        table.forEachRow([this, &sheetRow](const ShownTable::Row& row) {
            ++sheetRow;
            const qint64 below = row.item->getChildrenItemCount();
            if (below > 0 && !RollUp::countsInParent(row.item))
                m_uncounted.push_back({sheetRow + 1, sheetRow + below});
            return true;
        });
    }

    // SUBTOTAL(9, ...) over a block of rows without the descendants of rows that do not count; empty when
    // even that is longer than a formula may be (hundreds of notes with rows of their own in one block).
    QString blockSum(qint64 first, qint64 last) const
    {
        QStringList ranges;
        qint64 from = first;
        // The block's own row's descendants start at first: those of rows inside it, later.
        auto uncounted = std::lower_bound(m_uncounted.cbegin(), m_uncounted.cend(), std::make_pair(first + 1, qint64(0)));
        for (; uncounted != m_uncounted.cend() && uncounted->first <= last; ++uncounted) {
            if (uncounted->first < from) // inside a block left out already
                continue;
            ranges.append(range(from, uncounted->first - 1));
            from = uncounted->second + 1;
        }
        if (from <= last)
            ranges.append(range(from, last));
        QStringList sums;
        for (int start = 0; start < ranges.size(); start += mostArguments - 1)
            sums.append(QStringLiteral("SUBTOTAL(9,%1)").arg(ranges.mid(start, mostArguments - 1).join(QLatin1Char(','))));
        const QString formula = sums.join(QLatin1Char('+'));
        return formula.size() < longestFormula ? formula : QString();
    }

    void writeTotal(const ShownTable::Row& row, qint64 sheetRow, bool bold)
    {
        BaseDataItem* item = row.item;
        const QVariant stored = item->getValue(EstimateField::Total);
        const qint64 below = item->getChildrenItemCount();
        const bool enclosed = row.level > 0; // a SUBTOTAL above sees this cell
        // A number no SUBTOTAL above counts: the SUBTOTAL of the header's text adds nothing but marks the cell.
        const QString uncounted = QStringLiteral("SUBTOTAL(9,%1)+").arg(cell(m_total, 0, true));
        QString formula;
        if (item->getRowType() == EstimateRowType::Subtotal && enclosed)
            formula = QStringLiteral("SUBTOTAL(9,%1)").arg(cell(m_total, m_ancestorRows.at(row.level - 1)));
        else if (below > 0)
            formula = blockSum(sheetRow + 1, sheetRow + below);
        else if (RollUp::isPricedLeaf(item) && m_quantity >= 0 && m_unitPrice >= 0)
            formula = cell(m_quantity, sheetRow) + QLatin1Char('*') + cell(m_unitPrice, sheetRow);
        if (!formula.isEmpty() && !formula.startsWith(QLatin1String("SUBTOTAL")) && enclosed && !RollUp::countsInParent(item))
            formula.prepend(uncounted);
        if (formula.isEmpty() && stored.isValid() && (below > 0 || (enclosed && !RollUp::countsInParent(item))))
            formula = uncounted + QString::number(stored.toDouble(), 'g', 17);
        if (!stored.isValid() && formula.isEmpty())
            return;
        m_widths[m_total] = std::max<double>(m_widths[m_total], numberWidth(stored.toDouble()));
        if (formula.isEmpty())
            check(worksheet_write_number(m_sheet, lxw_row_t(sheetRow), lxw_col_t(m_total), stored.toDouble(), m_number[bold]));
        else
            check(worksheet_write_formula_num(m_sheet, lxw_row_t(sheetRow), lxw_col_t(m_total), formula.toUtf8().constData(),
                                              m_number[bold], stored.toDouble()));
    }

    lxw_workbook* m_workbook;
    lxw_worksheet* m_sheet;
    QVector<ShownTable::Column> m_columns;
    std::vector<double> m_widths; // characters
    lxw_format* m_header = nullptr;
    lxw_format* m_number[2] = {};
    lxw_format* m_text[2][mostIndent + 1] = {};
    int m_quantity = -1;
    int m_unitPrice = -1;
    int m_total = -1;
    qint64 m_lastRow = 0; // the header's
    std::vector<qint64> m_ancestorRows; // sheet row of the last row seen at each level
    std::vector<std::pair<qint64, qint64>> m_uncounted; // first and last sheet row
    lxw_error m_error = LXW_NO_ERROR;
};
}

bool WorkbookExport::write(const ShownTable& table, const QString& path, QString* error)
{
    const qint64 rows = table.rowCount();
    if (rows + 1 > maxSheetRows) {
        *error = QObject::tr("%1: the table has %L2 rows; a worksheet holds %L3 rows below its header (%L4 in all)")
                     .arg(path)
                     .arg(rows)
                     .arg(maxSheetRows - 1)
                     .arg(maxSheetRows);
        return false;
    }
    // Written under a temporary name beside the target and renamed when whole: never a partial workbook.
    const QFileInfo target(path);
    QTemporaryFile temporary(target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temporary.open()) {
        *error = QObject::tr("%1: cannot write: %2").arg(path, temporary.errorString());
        return false;
    }
    // The permissions a new file gets, or those of the file it replaces.
    temporary.setPermissions(target.exists() ? QFile::permissions(path)
                                             : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    temporary.close();
    const QByteArray temporaryName = QFile::encodeName(temporary.fileName());
    lxw_workbook_options options{LXW_TRUE, nullptr, LXW_FALSE};
    lxw_workbook* workbook = workbook_new_opt(temporaryName.constData(), &options);
    const QByteArray title = table.projectName().toUtf8();
    const QByteArray subject = (table.workName() + QStringLiteral(" / ") + table.tableName()).toUtf8();
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, sheetName(table).toUtf8().constData()) : nullptr;
    lxw_error failure = sheet ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (sheet) {
        lxw_doc_properties properties{};
        properties.title = const_cast<char*>(title.constData());
        properties.subject = const_cast<char*>(subject.constData());
        workbook_set_properties(workbook, &properties);
        SheetWriter writer(workbook, sheet, table);
        writer.writeHeader();
        table.forEachRow([&writer](const ShownTable::Row& row) {
            writer.writeRow(row);
            return true;
        });
        writer.sizeColumns();
        failure = writer.error();
    }
    const lxw_error closed = workbook ? workbook_close(workbook) : LXW_ERROR_CREATING_XLSX_FILE;
    if (failure == LXW_NO_ERROR)
        failure = closed;
    if (failure == LXW_NO_ERROR && std::rename(temporaryName.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        failure = LXW_ERROR_CREATING_XLSX_FILE;
    if (failure != LXW_NO_ERROR) {
        *error = QObject::tr("%1: cannot write the workbook: %2").arg(path, QString::fromUtf8(lxw_strerror(failure)));
        return false;
    }
    temporary.setAutoRemove(false); // it is the workbook now
    return true;
}
