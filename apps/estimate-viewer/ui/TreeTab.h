#pragma once

#include "Estimate.h"
#include "FindBar.h"

#include <zBaseHeaderColumn.h>
#include <zTreeItemModel.h>

#include <QWidget>

class EstimateEditor;
struct StructureChange;
class zTreeItemView;

/*!
 * The tree tab: one table of the estimate in zTreeItemView. Cells come from the
 * model's hooks, section rows span their text columns, the code column is frozen,
 * nodes expand and collapse on their button, rows can be inserted and deleted
 * from a context menu, and F4-F7 / Ctrl+click / Shift+click select blocks. Edits,
 * inserts and deletes go through the editor, which can undo them. Other tabs fold
 * the same rows: the tab shows the rows' flags again when shown.
 */
class TreeTab : public QWidget
{
    Q_OBJECT
public:
    explicit TreeTab(QWidget* parent = nullptr);

    /// Shows a table (null: nothing); its row list becomes the tree's pre-order.
    void setTable(Estimate::Table* table);
    /// What binding a table needs to know of its rows, found by reading the rows alone: a thread that
    /// loads the table may find it before handing the table over.
    struct Prepared
    {
        QList<QRect> spans; // sectionSpans(table)
        bool inPreOrder = false; // inPreOrder(table): the bind need not flatten the tree again
    };
    static Prepared prepare(const Estimate::Table* table);
    /// setTable in parts, one per call, for a caller that spreads them over event-loop turns: part 0
    /// binds the rows, 1 spans the section rows, 2 shows the rows. prepared: prepare(table), found
    /// already, or null. After the last part the tab is as setTable leaves it.
    void setTablePart(Estimate::Table* table, int part, const Prepared* prepared = nullptr);
    /// The spans of a table's section rows, by position in its list.
    static QList<QRect> sectionSpans(const Estimate::Table* table);
    /// Whether a table's list is its tree flattened: its root rows in list order, each followed by
    /// the rows below it in pre-order, every row once. A bind with rebuild would leave it as it is.
    static bool inPreOrder(const Estimate::Table* table);
    static constexpr int tableParts = 3;
    /// Edits go to this editor (null: cells and rows cannot be changed).
    void setEditor(EstimateEditor* editor) { m_editor = editor; }
    void setDisplay(int displayStyle, bool checkBoxes);
    zTreeItemView* view() const { return m_view; }
    zTreeItemModel* model() { return &m_model; }
    /// Inserts a row under the shown row at an index, undoably; false, changing nothing, where the
    /// row would be deeper than a file holds (Estimate::maxLevels) or no editor is set.
    bool insertRowUnder(const QModelIndex& index);
    /// Deletes the shown row at an index with everything below it, undoably.
    void deleteRow(const QModelIndex& index);
    /// The table's rows came or went: show them again as a tree.
    void rebind();
    /// A run of rows came into or went out of a table's list: the tree follows it, in time proportional to the run.
    void followStructure(const StructureChange& change);
    /// Expands the collapsed rows above a row, then selects and shows it.
    void reveal(BaseDataItem* row);
    FindBar::Scope findScope();

Q_SIGNALS:
    /// A line for the status bar: shown rows, all rows, block-selected rows.
    void statusChanged(const QString& text);
    /// A row was inserted: other views of the table follow.
    void rowsChanged(const StructureChange& change);
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
    bool insertRow(void (zTreeItemModel::*insert)(QModelIndex), const QModelIndex& index);
    void applySectionSpans();
    void shiftSectionSpans(const StructureChange& change);
    void countBlocks();
    void reportStatus();

    zBaseHeaderColumn m_columns;
    zTreeItemModel m_model;
    zTreeItemView* m_view; // child
    Estimate::Table* m_table = nullptr; // not owned
    EstimateEditor* m_editor = nullptr; // not owned
    QList<QRect> m_sectionSpans; // by original row, in the view's order
    int m_shownRows = 0;
    int m_blockedRows = 0;
    int m_displayStyle = 1;
    bool m_checkBoxes = false;
};
