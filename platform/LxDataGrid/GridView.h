#pragma once

#include "itemviews_platform_export.h"

#include <QTableView>

namespace Qtitan {

class BaseTableModel;

/*!
 * A small grid over a Qtitan::BaseTableModel. The tree column is painted from the
 * model's tree queries (level, tree lines, fold button), a click on the fold
 * button folds or unfolds the row's block, rows the model reports invisible are
 * hidden, and the current cell is kept as the model's clicked cell (restored
 * whenever the model is reset, e.g. after binding another table). The rows' fold
 * flags belong to the data layer, which other views change too: hidden rows are
 * read again whenever the grid is shown and whenever its model is reset.
 *
 *     Qtitan::GridView grid;
 *     grid.setModel(&model);
 *     grid.setTreeColumn(1);
 */
class ITEMVIEWS_PLATFORM_EXPORT GridView : public QTableView
{
    Q_OBJECT
public:
    /// Roles the grid reads from its model.
    enum Role {
        AuditDifferenceRole = 487, ///< QMap<int, QColor> kind -> colour of a differing cell; the first colour tints it
    };

    explicit GridView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    /// The column drawn as a tree (-1: none).
    void setTreeColumn(int column);
    int treeColumn() const { return m_treeColumn; }
    /// Folds (true) or unfolds (false) a row's block, as a click on its button does.
    void setRowFolded(int row, bool folded);
    /// Hides every row the model reports invisible and shows the others.
    void syncHiddenRows();

protected:
    void showEvent(QShowEvent* event) override;
    /// Qt's paint with the grid filled as rectangles (TableGridPainter).
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followModelVisibility(BaseTableModel* model, int row);
    BaseTableModel* gridModel() const;
    void restoreClickedCell();

    int m_treeColumn = -1;
};

} // namespace Qtitan
