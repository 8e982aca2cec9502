#pragma once

#include "DrawTreeDelegate.h"

/*!
 * Display style 3: every row starts at the cell's left edge (no level indentation),
 * boxed expand buttons, no tree lines.
 *
 *     view.setTreeModeDisplay(0, option);   // option.displayStyle = 3
 */
class ITEMVIEWS_PLATFORM_EXPORT zStyleNotLevelsDelegate : public DrawTreeDelegate
{
    Q_OBJECT
public:
    zStyleNotLevelsDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option, QObject* parent = nullptr);

protected:
    bool indentsLevels() const override { return false; }
};
