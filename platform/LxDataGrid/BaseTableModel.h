#pragma once

#include "itemviews_export.h"

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
class ITEMVIEWS_EXPORT BaseTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit BaseTableModel(QObject* parent = nullptr);
    ~BaseTableModel() override;

    /// The clicked cell, kept in memory; the flag asks for a remembered cell, which this base has not.
    virtual void SetClickRow(int row);
    virtual void SetClickCol(int col);
    virtual void SetClickRowAndCol(int row, int col);
    virtual int GetClickRow(bool fromSettings) const;
    virtual int GetClickCol(bool fromSettings) const;
    virtual QPair<int, int> GetClickRowAndCol() const;
    /// Makes attached views re-read the row count and every cell (a model reset).
    virtual void UpdateData();

    /// Tree column queries, by row.
    virtual void getParentLevelNeedDrawLine(int row, QVector<int>& levels);
    virtual int getMaxLevel();
    virtual int getItemLevel(int row);
    virtual bool getFold(int row);
    virtual bool getChildLineDrawFlag(int row, int level);
    virtual bool getHorizontalLineDrawFlags(int row);
    virtual bool getVerticalLineDrawFlags(int row);
    virtual bool hasChildrenItem(int row);
    virtual bool isLastChild(int row);
    virtual bool isVisible(int row);
    virtual bool getBtnShowState(int row);
    virtual bool getCheckBoxShowState(int row);
    virtual bool getLineShowState(int row);
    virtual Qt::CheckState getCheckBoxState(int row);
    virtual void setCheckBoxState(int row, Qt::CheckState state);
    virtual bool getCheckBoxEnable(int row);
    virtual void setCheckBoxEnable(int row, bool enable);
    virtual void setFold(int row, bool flag);
    virtual int getChildrenItemCnt(int row);
    virtual bool hasFoldParent(int row);
    virtual bool needFold(int parentRow, int row);
    virtual int lastFoldRowNumber(int row);
    virtual bool hasNotFlodChild(int row);
    virtual int getParentIndex(int row);
    virtual QVector<int> getExpandOrFlodChildren(int row, bool fold);

private:
    int m_clickRow = 0;
    int m_clickCol = 0;
};

} // namespace Qtitan
