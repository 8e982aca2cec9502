#pragma once

#include "Estimate.h"
#include "FindBar.h"

#include <zBaseHeaderColumn.h>
#include <zBaseItemModel.h>

#include <QWidget>

class EstimateEditor;
class QTableView;
struct StructureChange;

/*!
 * The flat tab: one table's rows as a plain list in zBaseItemModel. Its hooks
 * supply the cells, hand edits to the editor and make computed cells (totals) read-only.
 */
class FlatTab : public QWidget
{
    Q_OBJECT
public:
    explicit FlatTab(QWidget* parent = nullptr);

    void setTable(Estimate::Table* table);
    /// Edits go to this editor (null: cells cannot be changed).
    void setEditor(EstimateEditor* editor) { m_editor = editor; }
    /// The rows of the table changed: rebind and repaint.
    void refresh();
    /// A run of rows came into or went out of a table's list: the list follows it, once shown.
    void followStructure(const StructureChange& change);
    FindBar::Scope findScope();

protected:
    void showEvent(QShowEvent* event) override;

private:
    zBaseHeaderColumn m_columns;
    zBaseItemModel m_model;
    QTableView* m_view; // child
    Estimate::Table* m_table = nullptr; // not owned
    EstimateEditor* m_editor = nullptr; // not owned
    bool m_refreshWaiting = false; // rows changed while hidden
};
