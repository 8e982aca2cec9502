#include "TableGridPainter.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QTableView>
#include <QtWidgets/private/qtableview_p.h>

#include <algorithm>
#include <vector>

namespace {

// Qt does not export the private class's type information, which the sanitizer's vptr check would need.
#if defined(__GNUC__)
#define NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))
#else
#define NO_VPTR_CHECK
#endif

// The item view's states and item options are protected; a class derived from it may name them.
struct ViewStates : QAbstractItemView
{
    static constexpr State dragging = DraggingState;

    // The options the view paints its items with, which say how the style draws its grid.
    static QStyleOptionViewItem itemOption(const QAbstractItemView* view)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        QStyleOptionViewItem option;
        (view->*&ViewStates::initViewItemOption)(&option);
        return option;
#else
        return (view->*&ViewStates::viewOptions)();
#endif
    }
};

// What the table view keeps private: whether Qt would draw a solid grid now, and its pen style.
NO_VPTR_CHECK bool qtDrawsSolidGrid(QObjectData* viewPrivate)
{
    const auto* d = static_cast<const QTableViewPrivate*>(viewPrivate);
    // The drop indicator is drawn over the grid; a drag leaves the whole paint to Qt.
    return d->showGrid && d->gridStyle == Qt::SolidLine && d->scrollDelayOffset.isNull()
        && d->state != ViewStates::dragging;
}

NO_VPTR_CHECK void setQtGridStyle(QObjectData* viewPrivate, Qt::PenStyle style)
{
    static_cast<QTableViewPrivate*>(viewPrivate)->gridStyle = style;
}

NO_VPTR_CHECK bool hasSpans(QObjectData* viewPrivate)
{
    // The member itself, not Qt's inline hasSpans(): that is compiled here without the attribute.
    return !static_cast<const QTableViewPrivate*>(viewPrivate)->spans.spans.empty();
}

// The shown sections whose visual indexes lie in [first, last], in visual order.
std::vector<int> shownSections(const QHeaderView* header, int first, int last)
{
    std::vector<int> sections;
    for (int visual = first; visual <= last; ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            sections.push_back(logical);
    }
    return sections;
}

/*
 * The pixels Qt keeps the grid out of: every span shown among the given cells, one
 * pixel row and column less at its bottom and right (those carry the span's own grid
 * line). Qt lets the grid through at a span's top pixel row when the span's first row
 * has the number of the first column in visual order, and at its left pixel column when
 * its first row is the first in visual order (room for the leading lines it draws
 * without headers); the same pixels are let through here.
 */
QRegion spanPixels(const QTableView* view, const std::vector<int>& rows, const std::vector<int>& columns)
{
    const QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    std::vector<QRect> found;
    QRegion covered;
    for (int row : rows) {
        for (int column : columns) {
            const int height = view->rowSpan(row, column);
            if (height == 1 && view->columnSpan(row, column) == 1)
                continue;
            const QRect rect = view->visualRect(model->index(row, column, root));
            if (std::find(found.cbegin(), found.cend(), rect) != found.cend())
                continue;
            found.push_back(rect);
            QRect shut = rect;
            int top = row;
            for (int above = row - 1; above >= 0 && above > row - height; --above) {
                if (view->visualRect(model->index(above, column, root)) != rect)
                    break;
                top = above;
            }
            if (view->horizontalHeader()->visualIndex(top) == 0)
                shut.setTop(shut.top() + 1);
            if (view->verticalHeader()->visualIndex(top) == 0)
                shut.setLeft(shut.left() + 1);
            covered += shut;
        }
    }
    return covered;
}

} // namespace

namespace TableGridPainter {

void paint(QTableView* view, QObjectData* viewPrivate, QPaintEvent* event, const std::function<void(QPaintEvent*)>& paintTable)
{
    const QStyleOptionViewItem option = ViewStates::itemOption(view);
    const QHeaderView* rowHeader = view->verticalHeader();
    const QHeaderView* columnHeader = view->horizontalHeader();
    bool fillsGrid = qtDrawsSolidGrid(viewPrivate) && view->isLeftToRight();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const bool headerHidden = rowHeader->isHidden() || columnHeader->isHidden();
    fillsGrid = fillsGrid
        && !(headerHidden && view->style()->styleHint(QStyle::SH_Table_AlwaysDrawLeftTopGridLines, &option, view));
#endif
    if (!fillsGrid) {
        paintTable(event);
        return;
    }
    // Cells are laid out for a shown grid; only the lines are left to the fill below.
    setQtGridStyle(viewPrivate, Qt::NoPen);
    paintTable(event);
    setQtGridStyle(viewPrivate, Qt::SolidLine);
    if (columnHeader->count() == 0 || rowHeader->count() == 0 || !view->itemDelegate())
        return;

    // The grid ends at the last row's and the last column's line.
    const int lastX = columnHeader->length() - columnHeader->offset() - 1;
    const int lastY = rowHeader->length() - rowHeader->offset() - 1;
    const QRect area = event->region().boundingRect() & QRect(0, 0, lastX + 1, lastY + 1)
        & view->viewport()->rect();
    if (area.isEmpty())
        return;
    const int top = rowHeader->visualIndexAt(area.top());
    int bottom = rowHeader->visualIndexAt(area.bottom());
    int left = columnHeader->visualIndexAt(area.left());
    int right = columnHeader->visualIndexAt(area.right());
    if (top == -1)
        return;
    if (bottom == -1)
        bottom = rowHeader->count() - 1;
    if (left == -1)
        left = 0;
    if (right == -1)
        right = columnHeader->count() - 1;
    const std::vector<int> rows = shownSections(rowHeader, top, bottom);
    const std::vector<int> columns = shownSections(columnHeader, left, right);
    const QRegion spans = hasSpans(viewPrivate) ? spanPixels(view, rows, columns) : QRegion();

    const QColor color = QColor::fromRgba(QRgb(view->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, view)));
    QPainter painter(view->viewport());
    const auto fill = [&](const QRect& line) {
        if (spans.isEmpty())
            return painter.fillRect(line, color);
        for (const QRect& piece : QRegion(line) - spans)
            painter.fillRect(piece, color);
    };
    // Rows first, then columns, as Qt draws them: a translucent colour meets itself at the crossings.
    for (int row : rows)
        fill(QRect(area.left(), rowHeader->sectionViewportPosition(row) + rowHeader->sectionSize(row) - 1, area.width(), 1));
    for (int column : columns) {
        const int x = columnHeader->sectionViewportPosition(column) + columnHeader->sectionSize(column) - 1;
        fill(QRect(x, area.top(), 1, area.height()));
    }
}

} // namespace TableGridPainter
