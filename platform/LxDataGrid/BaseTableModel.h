#pragma once

#include "itemviews_platform_export.h"

#include <QAbstractTableModel>
#include <QPair>
#include <QVector>

namespace Qtitan {

/*!
 * Root of the grid library's models. Besides Qt's table model it keeps the
 * clicked cell in memory and declares the questions the grid asks to draw a
 * tree column over flat rows (level, parent, fold buttons, tree lines); the
 * answers here are those of a grid without a tree.
 *
 *     model.SetClickRowAndCol(4, 2);
 *     model.UpdateData();   // attached views re-read everything
 */
class ITEMVIEWS_PLATFORM_EXPORT BaseTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    /// A model with the clicked cell at (0, 0).
    explicit BaseTableModel(QObject* parent = nullptr);
    ~BaseTableModel() override;

    /// Records the clicked row.
    virtual void SetClickRow(int row);
    /// Records the clicked column.
    virtual void SetClickCol(int col);
    /// Records the clicked cell.
    virtual void SetClickRowAndCol(int row, int col);
    /// The clicked row; fromSettings asks for the remembered one where a subclass keeps it.
    virtual int GetClickRow(bool fromSettings) const;
    /// The clicked column; fromSettings asks for the remembered one where a subclass keeps it.
    virtual int GetClickCol(bool fromSettings) const;
    /// The clicked cell as (row, column).
    virtual QPair<int, int> GetClickRowAndCol() const;
    /// Makes attached views re-read the row count and every cell (a model reset).
    virtual void UpdateData();

    /// Appends the ancestor levels at which a vertical tree line passes the row.
    virtual void getParentLevelNeedDrawLine(int row, QVector<int>& levels);
    /// The deepest level the tree column indents to.
    virtual int getMaxLevel();
    /// The row's level, 0 at the top.
    virtual int getItemLevel(int row);
    /// The row has children and is folded.
    virtual bool getFold(int row);
    /// Whether the tree line from the row down to a level is drawn.
    virtual bool getChildLineDrawFlag(int row, int level);
    /// Whether the row's horizontal tree line is drawn.
    virtual bool getHorizontalLineDrawFlags(int row);
    /// Whether the row's vertical tree line is drawn.
    virtual bool getVerticalLineDrawFlags(int row);
    /// The row has at least one child.
    virtual bool hasChildrenItem(int row);
    /// The row is the last child of its parent.
    virtual bool isLastChild(int row);
    /// The row is shown (not folded away).
    virtual bool isVisible(int row);
    /// The row shows a fold button.
    virtual bool getBtnShowState(int row);
    /// The row shows a check box.
    virtual bool getCheckBoxShowState(int row);
    /// The row's tree lines are shown.
    virtual bool getLineShowState(int row);
    /// The state of the row's check box.
    virtual Qt::CheckState getCheckBoxState(int row);
    /// Sets the state of the row's check box.
    virtual void setCheckBoxState(int row, Qt::CheckState state);
    /// The row's check box takes clicks.
    virtual bool getCheckBoxEnable(int row);
    /// Enables or disables the row's check box.
    virtual void setCheckBoxEnable(int row, bool enable);
    /// Folds (false) or unfolds (true) the row: the flag is stored as its expanded flag.
    virtual void setFold(int row, bool flag);
    /// Number of descendants: the rows of the row's block, which follow it.
    virtual int getChildrenItemCnt(int row);
    /// Some ancestor of the row below the top level is expanded.
    virtual bool hasFoldParent(int row);
    /// A group row whose last child stays shown when the group folds.
    virtual bool hasNotFlodChild(int row);
    /// The row folds with the given parent row.
    virtual bool needFold(int parentRow, int row);
    /// The last row that folds with the row, or -1.
    virtual int lastFoldRowNumber(int row);
    /// The parent's row, or -1 at the top.
    virtual int getParentIndex(int row);
    /// Folds (true) or unfolds (false) the rows that fold with the row and returns them.
    virtual QVector<int> getExpandOrFlodChildren(int row, bool fold);

private:
    int m_clickRow = 0;
    int m_clickCol = 0;
};

} // namespace Qtitan
