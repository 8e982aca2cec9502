#include "EstimateClipboard.h"

#include "CsvExport.h"
#include "EstimateColumns.h"
#include "EstimateEditor.h"
#include "EstimateFields.h"
#include "ShownTable.h"

#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zTreeItemModel.h>

#include <QItemSelectionModel>
#include <QMimeData>
#include <QSet>
#include <QTableView>

#include <algorithm>
#include <functional>

namespace {
// What a view's model shows: the list of rows that block selection marks (every bound row, folded ones
// included), and the row and the field behind a cell. The viewer's tables use the library's three models.
struct Rows
{
    QList<BaseDataItem*>* list = nullptr;
    std::function<BaseDataItem*(int modelRow)> at;
    std::function<int(int column)> field;
};

Rows rowsOf(QAbstractItemModel* model)
{
    Rows rows;
    if (auto* grid = qobject_cast<BaseDataItemModel*>(model)) {
        rows.list = grid->All();
        rows.at = [grid](int row) { return grid->GetBean(row); };
        rows.field = [grid](int column) {
            const Qtitan::HeaderItem* header = grid->GetColumn(column);
            return header ? header->fieldNumber() : -1;
        };
        return rows;
    }
    if (auto* flat = qobject_cast<zBaseItemModel*>(model)) {
        rows.list = flat->GetBindSrcData();
        rows.at = [list = rows.list](int row) { return list ? list->value(row) : nullptr; };
    } else if (auto* tree = qobject_cast<zTreeItemModel*>(model)) {
        rows.list = tree->GetBindSrcData();
        rows.at = [tree](int row) { return tree->findItemByIndex(row); };
    } else {
        return {};
    }
    auto* columns = static_cast<zBaseTableModel*>(model);
    rows.field = [columns](int column) { return EstimateColumns::fieldOf(columns->headerItem(column)); };
    return rows;
}

// A field as spreadsheets quote it in tab-separated text.
QString tabField(const QString& text)
{
    if (!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
        && !text.startsWith(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

QMimeData* mimeData(const QVector<QVector<QVariant>>& cells)
{
    QStringList lines;
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body><table>\n");
    for (const QVector<QVariant>& line : cells) {
        QStringList fields;
        html += QLatin1String("<tr>");
        for (const QVariant& value : line) {
            const QString text = CsvExport::fieldText(value);
            fields.append(tabField(text));
            html += QLatin1String("<td>") + text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))
                + QLatin1String("</td>");
        }
        lines.append(fields.join(QLatin1Char('\t')));
        html += QLatin1String("</tr>\n");
    }
    auto* data = new QMimeData;
    data->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    data->setHtml(html + QLatin1String("</table></body></html>\n"));
    return data;
}

// Why a pasted cell was left as it was, in the order the status bar lists them.
enum Skip { NotANumber, Empty, Computed, NotPriced, ReadOnly, PastLastRow, PastLastColumn, OutOfRange, SkipKinds };
} // namespace

QMimeData* EstimateClipboard::copy(const QTableView& view)
{
    const Rows rows = rowsOf(view.model());
    if (!rows.at)
        return nullptr;
    const QList<int> columns = ShownTable::shownColumns(view);
    QVector<QVector<QVariant>> cells;
    for (BaseDataItem* row : rows.list ? *rows.list : QList<BaseDataItem*>()) {
        if (!row || !row->IsBlock())
            continue;
        QVector<QVariant> line;
        for (int column : columns)
            line.append(EstimateColumns::cell(row, rows.field(column), Qt::EditRole));
        cells.append(line);
    }
    if (!cells.isEmpty())
        return mimeData(cells);

    // No block: the selected cells, within the rectangle that holds them all; the others in it stay empty.
    QModelIndexList selected = view.selectionModel() ? view.selectionModel()->selectedIndexes() : QModelIndexList();
    if (selected.isEmpty() && view.currentIndex().isValid())
        selected.append(view.currentIndex());
    QSet<QPair<int, int>> chosen;
    int top = INT_MAX, bottom = -1, first = INT_MAX, last = -1;
    for (const QModelIndex& index : qAsConst(selected)) {
        const int position = columns.indexOf(index.column());
        if (position < 0)
            continue;
        chosen.insert(qMakePair(index.row(), index.column()));
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        first = std::min(first, position);
        last = std::max(last, position);
    }
    for (int modelRow = top; modelRow <= bottom; ++modelRow) {
        if (view.isRowHidden(modelRow))
            continue;
        QVector<QVariant> line;
        for (int position = first; position <= last; ++position) {
            const int column = columns.at(position);
            const bool isChosen = chosen.contains(qMakePair(modelRow, column));
            line.append(isChosen ? EstimateColumns::cell(rows.at(modelRow), rows.field(column), Qt::EditRole) : QVariant());
        }
        cells.append(line);
    }
    return cells.isEmpty() ? nullptr : mimeData(cells);
}

QString EstimateClipboard::paste(QTableView& view, EstimateEditor& editor, const QString& text)
{
    const QVector<QStringList> block = readBlock(text);
    const Rows rows = rowsOf(view.model());
    const QModelIndex current = view.currentIndex();
    if (block.isEmpty())
        return tr("Nothing pasted: the clipboard holds no text");
    if (!rows.at || !current.isValid())
        return tr("Nothing pasted: choose the cell to paste into first");
    const QAbstractItemModel& model = *view.model();
    const QList<int> columns = ShownTable::shownColumns(view);
    const int firstColumn = columns.indexOf(current.column());
    QVector<int> shownRows; // from the current row down, as many as the block has lines
    for (int modelRow = current.row(); modelRow < model.rowCount() && shownRows.size() < block.size(); ++modelRow) {
        if (!view.isRowHidden(modelRow))
            shownRows.append(modelRow);
    }

    int skipped[SkipKinds] = {};
    int cellCount = 0;
    QVector<EstimateEditor::CellEdit> edits;
    for (int line = 0; line < block.size(); ++line) {
        for (int position = 0; position < block.at(line).size(); ++position) {
            ++cellCount;
            const QString& value = block.at(line).at(position);
            const int column = firstColumn < 0 ? -1 : columns.value(firstColumn + position, -1);
            const int field = column < 0 ? -1 : rows.field(column);
            const bool pricing = field == EstimateField::Quantity || field == EstimateField::UnitPrice;
            if (line >= shownRows.size())
                ++skipped[PastLastRow];
            else if (column < 0)
                ++skipped[PastLastColumn];
            else if (EstimateFields::isComputed(field))
                ++skipped[Computed];
            else if (!pricing)
                ++skipped[NotPriced];
            else if (!(model.flags(model.index(shownRows.at(line), column)) & Qt::ItemIsEditable))
                ++skipped[ReadOnly];
            else if (value.trimmed().isEmpty())
                ++skipped[Empty];
            else if (!EstimateFields::parseCell(field, value).isValid())
                ++skipped[NotANumber];
            else
                edits.append({rows.at(shownRows.at(line)), field, value});
        }
    }
    const QVector<int> refused = editor.editCells(edits, tr("paste of %n cells", nullptr, edits.size()));
    skipped[OutOfRange] += refused.size(); // a total above would not be a finite number

    const int pasted = edits.size() - refused.size();
    const int skippedCount = cellCount - pasted;
    if (skippedCount == 0)
        return tr("Pasted %n cells", nullptr, pasted);
    const QStringList reasons = {tr("not a number"), tr("empty"), tr("a computed total"), tr("not a quantity or unit price"),
                                 tr("read-only"), tr("past the last row"), tr("past the last column"),
                                 tr("a total out of range")};
    QStringList said;
    for (int kind = 0; kind < SkipKinds; ++kind) {
        if (skipped[kind] > 0)
            said.append(QStringLiteral("%1 %2").arg(skipped[kind]).arg(reasons.at(kind)));
    }
    return tr("Pasted %1 of %2 cells; %3 skipped, left as they were: %4")
        .arg(pasted)
        .arg(cellCount)
        .arg(skippedCount)
        .arg(said.join(QLatin1String(", ")));
}

QVector<QStringList> EstimateClipboard::readBlock(const QString& text)
{
    QVector<QStringList> lines;
    QStringList fields;
    QString field;
    bool quoted = false;
    bool atFieldStart = true;
    const auto nextIs = [&text](int position, char character) {
        return position + 1 < text.size() && text.at(position + 1) == QLatin1Char(character);
    };
    for (int position = 0; position < text.size(); ++position) {
        const QChar character = text.at(position);
        if (quoted && character == QLatin1Char('"') && nextIs(position, '"')) {
            field += character;
            ++position;
        } else if (quoted) {
            quoted = character != QLatin1Char('"');
            if (quoted)
                field += character;
        } else if (character == QLatin1Char('"') && atFieldStart) {
            quoted = true;
            atFieldStart = false;
        } else if (character == QLatin1Char('\t')) {
            fields.append(field);
            field.clear();
            atFieldStart = true;
        } else if (character == QLatin1Char('\n') || character == QLatin1Char('\r')) {
            if (character == QLatin1Char('\r') && nextIs(position, '\n'))
                ++position;
            fields.append(field);
            lines.append(fields);
            fields.clear();
            field.clear();
            atFieldStart = true;
        } else {
            field += character;
            atFieldStart = false;
        }
    }
    if (!atFieldStart || !fields.isEmpty()) // the last line had no line end
        lines.append(fields << field);
    return lines;
}
