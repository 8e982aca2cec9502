#include "zStyleNotLevelsDelegate.h"

zStyleNotLevelsDelegate::zStyleNotLevelsDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option,
                                                 QObject* parent)
    : DrawTreeDelegate(view, column, option, parent)
{
}
