#pragma once

#include "itemviews_platform_export.h"

class QStyleOptionViewItem;

namespace CellPaintShortcut {

/*!
 * Whether the style draws nothing at all for an item of this option (filled in by
 * initStyleOption): no text, icon, check box, background brush, selection, focus or
 * hover, drawn by Qt's own Fusion, Windows or common style (a style sheet or a
 * proxy style may draw any item, so there the answer is false). Most cells of a wide
 * estimate are empty, and Qt's item drawing lays out and clips each one all the same;
 * a delegate skips the drawing for these.
 */
ITEMVIEWS_PLATFORM_EXPORT bool drawsNothing(const QStyleOptionViewItem& option);

} // namespace CellPaintShortcut
