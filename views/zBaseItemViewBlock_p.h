#pragma once

// State of zBaseItemViewBlock behind its one pointer; not installed, so it may change in a patch release.

#include "zBaseItemViewBlock.h"

class QEvent;
class QModelIndex;

class zBaseItemViewBlockPrivate
{
public:
    enum class Action : int { None, SelectAll, UnselectAll, ToggleRow, BlockBegin, BlockEnd, ShiftExtend };
    class Rows;
    using BlockSetter = zBaseItemViewBlock::BlockSetter;
    using BlockTest = zBaseItemViewBlock::BlockTest;

    zBaseItemViewBlockPrivate(QTableView* view, BlockSetter setBlock, BlockTest isBlock);

    /// Which action an event on a watched object asks for; decides only, changes nothing.
    static Action actionFor(const QObject* watched, const QEvent* event, const QTableView* view);
    /// Runs an action on the rows of the view's model and repaints the view if it ran.
    void runAction(Action action, const QModelIndex& index);
    bool applyAction(Action action, const Rows& rows) const;

    static bool markAll(const Rows& rows, bool on);
    bool toggleRow(const Rows& rows) const;
    static bool blockBegin(const Rows& rows);
    static bool blockEnd(const Rows& rows);
    static bool shiftExtend(const Rows& rows);

    QTableView* m_view; // not owned: the view is our parent
    BlockSetter m_setBlock;
    BlockTest m_isBlock;
};
