#pragma once

#include "itemviews_platform_export.h"

#include <QSize>

/*!
 * How a tree delegate draws the tree column. A view passes one to
 * setTreeModeDisplay; the delegate keeps its own copy (DrawTreeDelegate::options()).
 *
 *     ZTVModeOption option;
 *     option.displayStyle = 1;   // solid tree lines
 *     view.setTreeModeDisplay(0, option);
 */
struct ITEMVIEWS_PLATFORM_EXPORT ZTVModeOption
{
    /// 0: check boxes only where the model flags the cell user-checkable, unlinked;
    /// any other value: a tri-state check box on every row, linked to parents and children.
    int checkMode = 0;
    /// 0 no lines, 1 solid lines, 2 text node with dotted lines, 3 no level indentation.
    int displayStyle = 0;
    /// Size of the expand/collapse button (width, height).
    QSize treeNodeSize = QSize(9, 9);
};
