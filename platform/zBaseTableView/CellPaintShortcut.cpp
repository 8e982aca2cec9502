#include "CellPaintShortcut.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWidget>

#include <cstring>

namespace CellPaintShortcut {

bool drawsNothing(const QStyleOptionViewItem& option)
{
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const char* styleClass = style->metaObject()->className();
    const bool plainStyle = std::strcmp(styleClass, "QFusionStyle") == 0 || std::strcmp(styleClass, "QWindowsStyle") == 0
        || std::strcmp(styleClass, "QCommonStyle") == 0;
    const QStyle::State shown = QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;
    return plainStyle && !(option.state & shown) && option.text.isEmpty() && option.icon.isNull()
        && !(option.features & QStyleOptionViewItem::HasCheckIndicator) && option.backgroundBrush.style() == Qt::NoBrush;
}

} // namespace CellPaintShortcut
