#pragma once

#include "Estimate.h"

#include "EstimateGridModel.h"
#include "FindBar.h"

#include <QWidget>

class QComboBox;
struct StructureChange;
namespace Qtitan {
class GridView;
}

/*!
 * The grid tab: any table of the estimate in the grid, chosen from a list. The
 * tree column is painted from the grid model's tree queries; the cell last
 * clicked in a table comes back when that table is opened again. Its model
 * follows the estimate's audit service, so a fold here folds the counterpart too.
 */
class GridTab : public QWidget
{
    Q_OBJECT
public:
    explicit GridTab(QWidget* parent = nullptr);

    /// Shows the estimate's first table (null: none); without bindNow the grid stays empty until bindPart 0 and 1.
    void setEstimate(Estimate* estimate, bool bindNow = true);
    /// Binds the chosen table's rows (part 0), then shows them (part 1): one part per call, for callers that bind in turns.
    void bindPart(int part);
    /// Shows the table at a position of the list (works and tables in file order).
    void showTable(int tablePosition);
    /// The rows of the shown table changed: rebind and repaint.
    void refresh();
    /// A run of rows came into or went out of a table's list: the grid follows it if it shows that table.
    void followStructure(const StructureChange& change);
    void setEditor(EstimateEditor* editor) { m_model.setEditor(editor); }
    FindBar::Scope findScope();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Estimate* m_estimate = nullptr; // not owned
    QList<Estimate::Table*> m_tables;
    QComboBox* m_tableChooser; // child
    EstimateGridModel m_model;
    Qtitan::GridView* m_grid; // child
};

/*!
 * The audit tab: the submitted and the reviewed estimate side by side, two grid
 * models following one audit service. Folding a row on one side folds its
 * counterpart on the other; cells that differ are coloured.
 */
class AuditTab : public QWidget
{
    Q_OBJECT
public:
    explicit AuditTab(QWidget* parent = nullptr);

    /// Shows the estimate (null: none); without bind, the sides stay empty until bindSide or refresh.
    void setEstimate(Estimate* estimate, bool bindNow = true);
    /// Binds one side to its work's first table; part 0 binds the rows, 1 shows them, -1 both (for callers that bind in turns).
    void bindSide(bool reviewed, int part = -1);
    void refresh();
    /// A run of rows came into or went out of a table's list: the sides showing that table follow it.
    void followStructure(const StructureChange& change);
    /// A row was folded or unfolded in another tab: its counterpart on the other side follows.
    void followFold(BaseDataItem* row, bool folded);
    void setEditor(EstimateEditor* editor);
    /// Finds in the side that had focus last.
    FindBar::Scope findScope();
    /// The side that had focus last.
    Qtitan::GridView* focusedGrid() const { return m_focusedGrid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    EstimateGridModel m_submittedModel;
    EstimateGridModel m_reviewedModel;
    Qtitan::GridView* m_submittedGrid; // child
    Qtitan::GridView* m_reviewedGrid; // child
    Qtitan::GridView* m_focusedGrid; // one of the two
    Estimate* m_estimate = nullptr; // not owned
};
