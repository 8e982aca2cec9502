#pragma once

#include "itemviews_export.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class BaseDataItem;
class QTableView;
class zBaseItemViewBlockPrivate;

/*!
 * Block selection of rows for a table view over one of the library's models:
 * F4 marks every row, F7 clears every mark, F5 / F6 make the current row the
 * first / last row of the block, Ctrl+click toggles a row and Shift+click joins
 * the clicked row to the nearer block. Marks are the rows' own block marks,
 * apart from the view's cell selection; the view handles every event as usual.
 *
 *     zBaseItemViewBlock* block = zBaseItemViewBlock::RegistUseBlock(view);   // owned by the view
 *     block->RegistSetBlockFun([](BaseDataItem* row, bool on) { ... }, {});  // keeps the default test
 *
 * GUI thread only: it lives with its view and changes the rows' marks there.
 */
class ITEMVIEWS_EXPORT zBaseItemViewBlock : public QObject
{
    Q_OBJECT
public:
    /// Sets (on) or clears a row's block mark.
    using BlockSetter = std::function<void(BaseDataItem* row, bool on)>;
    /// Whether a row's block mark is set.
    using BlockTest = std::function<bool(BaseDataItem* row)>;

    /// Becomes a child of the view, switches it to single item selection and filters its input.
    explicit zBaseItemViewBlock(QTableView* view);
    ~zBaseItemViewBlock() override;

    /// Adds block selection to a view; the view owns the returned controller.
    static zBaseItemViewBlock* RegistUseBlock(QTableView* view);
    /// Replaces the mark setter and the toggle's test; an empty argument keeps the current one.
    void RegistSetBlockFun(BlockSetter setter, BlockTest test);

protected:
    /// Runs the block action of a key press or click on the view; lets every event through.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<zBaseItemViewBlockPrivate> const d;
    Q_DECLARE_PRIVATE_D(d, zBaseItemViewBlock)
};
