#pragma once

#include "Estimate.h"

#include <zBaseHeaderColumn.h>
#include <zTreeItemModel.h>

#include <QWidget>

class zTreeItemView;

/*!
 * The tree tab: one table of the estimate in zTreeItemView. Cells come from the
 * model's hooks, section rows span their text columns, the code column is frozen,
 * nodes expand and collapse on their button, rows can be inserted and deleted
 * from a context menu, and F4-F7 / Ctrl+click / Shift+click select blocks.
 * Other tabs fold the same rows: the tab shows the rows' flags again when shown.
 */
class TreeTab : public QWidget
{
    Q_OBJECT
public:
    explicit TreeTab(QWidget* parent = nullptr);

    /// Shows a table (null: nothing); its row list becomes the tree's pre-order.
    void setTable(Estimate::Table* table);
    void setDisplay(int displayStyle, bool checkBoxes);
    zTreeItemView* view() const { return m_view; }
    zTreeItemModel* model() { return &m_model; }
    /// Deletes the shown row at an index with everything below it; other views rebind.
    void deleteRow(const QModelIndex& index);

Q_SIGNALS:
    /// A line for the status bar: shown rows, all rows, block-selected rows.
    void statusChanged(const QString& text);
    /// Rows are about to be destroyed by a delete.
    void rowsAboutToBeDestroyed(const QList<BaseDataItem*>& rows);
    /// Rows were inserted or deleted: other views of the table must rebind.
    void rowsChanged();
    /// A row was collapsed (folded) or expanded here; its flags and its descendants' are set already.
    void rowFolded(BaseDataItem* row, bool folded);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void installHooks();
    void toggleNode(const QModelIndex& index);
    void rereadFolds();
    void showContextMenu(const QPoint& position);
    void rebindAfterEdit();
    void applySectionSpans();
    void reportStatus();

    zBaseHeaderColumn m_columns;
    zTreeItemModel m_model;
    zTreeItemView* m_view; // child
    Estimate::Table* m_table = nullptr; // not owned
    int m_shownRows = 0;
    int m_displayStyle = 1;
    bool m_checkBoxes = false;
};
