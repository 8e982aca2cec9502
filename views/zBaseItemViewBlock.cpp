#include "zBaseItemViewBlock.h"

#include "zBaseItemViewBlock_p.h"

#include "BaseDataItemModel.h"
#include "zBaseItemModel.h"
#include "zTreeItemModel.h"

#include <BaseDataItem.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTableView>

namespace {

// The row list of a view's model and the row behind an index (null when none).
struct ViewRows {
    QList<BaseDataItem*>* list = nullptr;
    BaseDataItem* row = nullptr;
};

ViewRows rowsOfList(QList<BaseDataItem*>* list, const QModelIndex& index)
{
    if (!list || !index.isValid())
        return {list, nullptr};
    return {list, list->value(index.row(), nullptr)};
}

// The tree model shows only visible rows, but its list holds hidden rows too.
ViewRows rowsOfModel(QAbstractItemModel* model, const QModelIndex& index)
{
    if (auto* grid = qobject_cast<BaseDataItemModel*>(model))
        return rowsOfList(grid->All(), index);
    if (auto* flat = qobject_cast<zBaseItemModel*>(model))
        return rowsOfList(flat->GetBindSrcData(), index);
    if (auto* tree = qobject_cast<zTreeItemModel*>(model))
        return {tree->GetBindSrcData(), tree->findItemByIndex(index)};
    return {};
}

} // namespace

/*
 * One action's rows: the list as it was when the action started (shared, copied
 * only if the setter changes the list) and the setter it started with, so a setter
 * that re-registers itself or edits the list cannot pull either away mid-scan.
 * Null entries keep their position but are never marked and never reach the setter.
 */
class zBaseItemViewBlockPrivate::Rows
{
public:
    Rows(const QList<BaseDataItem*>& list, BaseDataItem* current, BlockSetter setter)
        : m_list(list), m_current(current), m_setBlock(std::move(setter))
    {
    }

    int size() const { return m_list.size(); }
    BaseDataItem* current() const { return m_current; }
    /// First position of the current row, -1 when there is none.
    int currentPosition() const { return m_current ? m_list.indexOf(m_current) : -1; }
    bool isMarked(int position) const
    {
        const BaseDataItem* row = m_list.at(position);
        return row && row->IsBlock();
    }
    void mark(BaseDataItem* row, bool on) const
    {
        if (row)
            m_setBlock(row, on);
    }
    void markAt(int position, bool on) const { mark(m_list.at(position), on); }
    /// Marks first..last in ascending order through the setter.
    void markRange(int first, int last, bool on) const
    {
        for (int position = first; position <= last; ++position)
            markAt(position, on);
    }
    /// Sets the marks of first..last directly, bypassing the setter.
    void setBlockRange(int first, int last, bool on) const
    {
        for (int position = first; position <= last; ++position) {
            if (BaseDataItem* row = m_list.at(position))
                row->SetBlock(on ? 1 : 0);
        }
    }
    /// Nearest marked position at or after / at or before a position, -1 when none.
    int firstMarkedFrom(int position) const
    {
        for (; position < size(); ++position) {
            if (isMarked(position))
                return position;
        }
        return -1;
    }
    int lastMarkedUpTo(int position) const
    {
        for (; position >= 0; --position) {
            if (isMarked(position))
                return position;
        }
        return -1;
    }

private:
    const QList<BaseDataItem*> m_list;
    BaseDataItem* const m_current;
    const BlockSetter m_setBlock;
};

zBaseItemViewBlockPrivate::zBaseItemViewBlockPrivate(QTableView* view, BlockSetter setBlock, BlockTest isBlock)
    : m_view(view)
    , m_setBlock(std::move(setBlock))
    , m_isBlock(std::move(isBlock))
{
}

zBaseItemViewBlock::zBaseItemViewBlock(QTableView* view)
    : QObject(view)
    , d(std::make_unique<zBaseItemViewBlockPrivate>(
          view, [](BaseDataItem* row, bool on) { row->SetBlock(on ? 1 : 0); },
          [](BaseDataItem* row) { return row->IsBlock(); }))
{
    if (!view)
        return;
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectItems);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
}

zBaseItemViewBlock::~zBaseItemViewBlock() = default;

zBaseItemViewBlock* zBaseItemViewBlock::RegistUseBlock(QTableView* view)
{
    return view ? new zBaseItemViewBlock(view) : nullptr;
}

void zBaseItemViewBlock::RegistSetBlockFun(BlockSetter setter, BlockTest test)
{
    Q_D(zBaseItemViewBlock);
    if (setter)
        d->m_setBlock = std::move(setter);
    if (test)
        d->m_isBlock = std::move(test);
}

bool zBaseItemViewBlock::eventFilter(QObject* watched, QEvent* event)
{
    using Action = zBaseItemViewBlockPrivate::Action;
    Q_D(zBaseItemViewBlock);
    const Action action = d->actionFor(watched, event, d->m_view);
    if (action == Action::ToggleRow || action == Action::ShiftExtend)
        d->runAction(action, d->m_view->indexAt(static_cast<QMouseEvent*>(event)->pos()));
    else if (action != Action::None)
        d->runAction(action, d->m_view->currentIndex());
    return QObject::eventFilter(watched, event);
}

zBaseItemViewBlockPrivate::Action zBaseItemViewBlockPrivate::actionFor(const QObject* watched, const QEvent* event, const QTableView* view)
{
    if (event->type() == QEvent::KeyPress && watched == view) {
        const auto* keyEvent = static_cast<const QKeyEvent*>(event);
        if (keyEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return Action::None;
        switch (keyEvent->key()) {
        case Qt::Key_F4: return Action::SelectAll;
        case Qt::Key_F5: return Action::BlockBegin;
        case Qt::Key_F6: return Action::BlockEnd;
        case Qt::Key_F7: return Action::UnselectAll;
        default: return Action::None;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && view && watched == view->viewport()) {
        // On release buttons() no longer holds the released button; button() does.
        const auto* mouseEvent = static_cast<const QMouseEvent*>(event);
        if (mouseEvent->button() != Qt::LeftButton)
            return Action::None;
        if (mouseEvent->modifiers() == Qt::ControlModifier)
            return Action::ToggleRow;
        if (mouseEvent->modifiers() == Qt::ShiftModifier)
            return Action::ShiftExtend;
    }
    return Action::None;
}

void zBaseItemViewBlockPrivate::runAction(Action action, const QModelIndex& index)
{
    const ViewRows found = rowsOfModel(m_view->model(), index);
    if (!found.list)
        return;
    const Rows rows(*found.list, found.row, m_setBlock);
    if (!applyAction(action, rows))
        return;
    // The cells are the viewport's (the view's own update repaints its frame), and a view may show
    // some of its columns in views of its own, such as a frozen strip.
    m_view->viewport()->update();
    for (QAbstractItemView* part : m_view->findChildren<QAbstractItemView*>())
        part->viewport()->update();
}

bool zBaseItemViewBlockPrivate::applyAction(Action action, const Rows& rows) const
{
    switch (action) {
    case Action::SelectAll: return markAll(rows, true);
    case Action::UnselectAll: return markAll(rows, false);
    case Action::ToggleRow: return toggleRow(rows);
    case Action::BlockBegin: return blockBegin(rows);
    case Action::BlockEnd: return blockEnd(rows);
    case Action::ShiftExtend: return shiftExtend(rows);
    case Action::None: break;
    }
    return false;
}

bool zBaseItemViewBlockPrivate::markAll(const Rows& rows, bool on)
{
    rows.markRange(0, rows.size() - 1, on);
    return true;
}

bool zBaseItemViewBlockPrivate::toggleRow(const Rows& rows) const
{
    BaseDataItem* row = rows.current();
    if (!row)
        return false;
    const BlockTest isBlock = m_isBlock; // a copy: the test may re-register itself
    rows.mark(row, !isBlock(row));
    return true;
}

// Clears everything above the row and stretches the nearest block below up to it.
bool zBaseItemViewBlockPrivate::blockBegin(const Rows& rows)
{
    const int position = rows.currentPosition();
    if (position < 0)
        return false;
    rows.markRange(0, position - 1, false);
    for (int below = position + 1; below < rows.size(); ++below) {
        if (rows.isMarked(below)) {
            rows.markRange(position, below - 1, true);
            break;
        }
    }
    rows.mark(rows.current(), true);
    return true;
}

// The mirror of blockBegin: clears everything below from the last row up, then stretches the block above down.
bool zBaseItemViewBlockPrivate::blockEnd(const Rows& rows)
{
    const int position = rows.currentPosition();
    if (position < 0)
        return false;
    for (int below = rows.size() - 1; below > position; --below)
        rows.markAt(below, false);
    for (int above = position - 1; above >= 0; --above) {
        if (rows.isMarked(above)) {
            rows.markRange(above, position - 1, true);
            break;
        }
    }
    rows.mark(rows.current(), true);
    return true;
}

//      up ... position ... down      the row joins the nearer block; a tie joins the one below
bool zBaseItemViewBlockPrivate::shiftExtend(const Rows& rows)
{
    const int position = rows.currentPosition();
    if (position < 0)
        return false;
    const int down = rows.firstMarkedFrom(position);
    const int up = rows.lastMarkedUpTo(position);
    if (up >= 0 && down >= 0 && position - up >= down - position) {
        rows.markRange(0, position - 1, false);
        rows.markRange(position, down, true);
    } else if (up >= 0) {
        rows.markRange(up, position, true);
        rows.markRange(position + 1, rows.size() - 1, false);
    } else if (down >= 0) {
        // Past the setter (SetBlock on the rows), deliberately and unlike every other branch: a Shift+click
        // above every marked row joins the block below without telling a host's setter. Contract, not drift.
        rows.setBlockRange(0, position - 1, false);
        rows.setBlockRange(position, down, true);
    }
    rows.mark(rows.current(), true);
    return true;
}
