#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

class EstimateEditor;
class QMimeData;
class QTableView;

/*!
 * Copy and paste between a view of an estimate's rows (any of the viewer's tables) and a
 * spreadsheet. A copy holds the block-selected rows of the view's row list, folded ones
 * included, or else the selected cells, in the shown columns: tab-separated text and an
 * HTML table, numbers unformatted in the C locale so that a spreadsheet reads them as
 * numbers. A paste writes a block of tab-separated text into the quantity and unit-price
 * cells from the current cell on, right and down, as one step of the editor's history;
 * each cell that cannot take its value is left as it was, and the line returned for the
 * status bar counts them by reason.
 *
 *     QGuiApplication::clipboard()->setMimeData(EstimateClipboard::copy(*view));
 *     statusBar()->showMessage(EstimateClipboard::paste(*view, editor, clipboard->text()));
 */
class EstimateClipboard
{
    Q_DECLARE_TR_FUNCTIONS(EstimateClipboard)
public:
    /// The block-selected rows, or else the selected cells; null when the view shows no
    /// rows of an estimate or nothing is selected. The caller owns it.
    static QMimeData* copy(const QTableView& view);
    /// Writes a block of tab-separated text from the view's current cell on; says what was
    /// written and what was skipped, and why.
    static QString paste(QTableView& view, EstimateEditor& editor, const QString& text);
    /// Tab-separated text as rows of fields, as spreadsheets write it: lines end in \n or \r\n,
    /// the last line end is optional, a field in double quotes may hold tabs, line ends and "".
    static QVector<QStringList> readBlock(const QString& text);
};
