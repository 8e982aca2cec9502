#pragma once

#include "DrawTreeDelegate.h"

/*!
 * Display style 1: levels indented, boxed expand buttons joined by solid tree lines.
 * It draws the column that the view's model declares as its tree column.
 *
 *     view.setTreeModeDisplay(0, option);   // option.displayStyle = 1
 */
class ITEMVIEWS_PLATFORM_EXPORT StyleDrawLineDelegate_1 : public DrawTreeDelegate
{
    Q_OBJECT
public:
    StyleDrawLineDelegate_1(QAbstractItemView* view, const ZTVModeOption& option);

protected:
    Qt::PenStyle treeLineStyle() const override { return Qt::SolidLine; }
};
