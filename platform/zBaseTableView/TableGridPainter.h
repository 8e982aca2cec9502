#pragma once

#include "itemviews_platform_export.h"

#include <functional>

class QObjectData;
class QPaintEvent;
class QStyleOptionViewItem;
class QTableView;

/*!
 * Paints a QTableView's solid grid as one filled rectangle per shown row and
 * one per shown column, in exactly the pixels Qt's own grid lines take: the
 * last pixel row of every row, the last pixel column of every column, left out
 * inside spans as Qt leaves them out. Qt strokes each of those lines pixel by
 * pixel, which takes most of a table's paint; a filled rectangle is one memory
 * fill per pixel row.
 *
 *     void MyTable::paintEvent(QPaintEvent* event)
 *     {
 *         TableGridPainter::paint(this, d_ptr.data(), event,
 *                                 [this](QPaintEvent* e) { QTableView::paintEvent(e); });
 *     }
 *
 * Cells keep the size Qt gives them with the grid shown (one pixel less each
 * way). Where the faster grid could differ from Qt's (another grid style, right
 * to left, a drag under way, a style that asks for the leading lines of a table
 * without headers) Qt paints the grid itself.
 */
namespace TableGridPainter {

/// Runs paintTable (the view's QTableView::paintEvent) with Qt's grid lines off, then fills the grid.
ITEMVIEWS_PLATFORM_EXPORT void paint(QTableView* view, QObjectData* viewPrivate, QPaintEvent* event,
                                     const std::function<void(QPaintEvent*)>& paintTable);

} // namespace TableGridPainter
