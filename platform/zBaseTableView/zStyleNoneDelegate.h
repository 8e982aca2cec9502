#pragma once

#include "DrawTreeDelegate.h"

/*!
 * Display style 0: levels indented, boxed expand buttons, no tree lines.
 *
 *     view.setTreeModeDisplay(0, option);   // option.displayStyle = 0
 */
class ITEMVIEWS_PLATFORM_EXPORT zStyleNoneDelegate : public DrawTreeDelegate
{
    Q_OBJECT
public:
    zStyleNoneDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option, QObject* parent = nullptr);
};
