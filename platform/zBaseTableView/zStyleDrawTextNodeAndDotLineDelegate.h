#pragma once

#include "DrawTreeDelegate.h"

/*!
 * Display style 2: levels indented, the node drawn as a "+" or "-" sign, dotted tree lines.
 *
 *     view.setTreeModeDisplay(0, option);   // option.displayStyle = 2
 */
class ITEMVIEWS_PLATFORM_EXPORT zStyleDrawTextNodeAndDotLineDelegate : public DrawTreeDelegate
{
    Q_OBJECT
public:
    zStyleDrawTextNodeAndDotLineDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option, QObject* parent = nullptr);

protected:
    Qt::PenStyle treeLineStyle() const override { return Qt::DotLine; }
    void drawNode(QPainter* painter, const QRect& nodeRect, bool expanded) const override;
};
