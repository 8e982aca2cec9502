#include "zStyleDrawTextNodeAndDotLineDelegate.h"

#include <QPainter>

zStyleDrawTextNodeAndDotLineDelegate::zStyleDrawTextNodeAndDotLineDelegate(QAbstractItemView* view, int column,
                                                                           const ZTVModeOption& option,
                                                                           QObject* parent)
    : DrawTreeDelegate(view, column, option, parent)
{
}

void zStyleDrawTextNodeAndDotLineDelegate::drawNode(QPainter* painter, const QRect& nodeRect, bool expanded) const
{
    QFont font = painter->font();
    font.setBold(true);
    painter->setFont(font);
    // Wider than the button so the sign is not clipped by a small node size.
    const QRect signRect = nodeRect.adjusted(-4, -4, 4, 4);
    painter->drawText(signRect, Qt::AlignCenter, expanded ? QStringLiteral("-") : QStringLiteral("+"));
}
