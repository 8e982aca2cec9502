#include "zStyleNoneDelegate.h"

zStyleNoneDelegate::zStyleNoneDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option,
                                       QObject* parent)
    : DrawTreeDelegate(view, column, option, parent)
{
}
