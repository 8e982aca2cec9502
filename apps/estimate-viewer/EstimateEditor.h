#pragma once

#include "Estimate.h"
#include "RollUp.h"

#include <QObject>

#include <memory>

class QUndoStack;
class SubtreePlace;

/*!
 * Every change a person makes to the shown estimate goes through here, as a command
 * on one undo stack: cell edits with their roll-up, inserted and deleted rows. It
 * keeps the audit differences in step and tells the views what to refresh.
 *
 *     EstimateEditor editor;
 *     editor.setEstimate(estimate);
 *     editor.editCell(row, EstimateField::Quantity, "12.5");
 *     editor.undoStack()->undo();
 */
class EstimateEditor : public QObject
{
    Q_OBJECT
public:
    explicit EstimateEditor(QObject* parent = nullptr);
    ~EstimateEditor() override;

    /// Starts over on another estimate (null: none); the undo history goes.
    void setEstimate(Estimate* estimate);
    QUndoStack* undoStack() const { return m_undoStack; }
    /// Writes what was typed into a cell and rolls the totals up; false when the value is refused.
    bool editCell(BaseDataItem* row, int field, const QVariant& typed);
    /// What is typed into one cell of several written at once.
    struct CellEdit
    {
        BaseDataItem* row;
        int field;
        QVariant typed;
    };
    /// Writes several cells as one step of the history, each total above them changed once; returns the
    /// positions of the edits refused as editCell refuses them, which change nothing.
    QVector<int> editCells(const QVector<CellEdit>& edits, const QString& text);
    /// Takes a row and its subtree out of a table, undoably.
    void removeRow(Estimate::Table& table, BaseDataItem* row);
    /// Records a row just inserted into a table, so the insert can be undone.
    void recordInsertion(Estimate::Table& table, BaseDataItem* row);
    /// Gives rows just inserted into a table (those without an id) what loaded rows have; returns them.
    static QList<BaseDataItem*> completeNewRows(Estimate::Table& table);
    /// Whether a row below this one would still be within the levels a file holds.
    static bool hasRoomBelow(BaseDataItem* row);

    /// For the commands: store cell values and mark the differences they make.
    void applyChanges(const QVector<RollUp::Change>& changes, RollUp::Direction direction);
    /// For the commands: the totals above a place whose children changed.
    QVector<RollUp::Change> planChainAbove(SubtreePlace& place);
    /// For the commands: the rows of a table were taken out or put back.
    void announceStructure();

Q_SIGNALS:
    /// Cell values changed: views repaint.
    void valuesChanged();
    /// Rows came or went: views rebind.
    void structureChanged();
    /// A cell edit is about to go on the undo stack, with the value as stored.
    void cellEditing(BaseDataItem* row, int field, const QVariant& value);
    /// The next count cellEditing signals go on the undo stack together, as one step.
    void cellsEditing(int count);
    /// A row is about to be deleted, undoably.
    void rowRemoving(Estimate::Table* table, BaseDataItem* row);
    /// An inserted row is about to go on the undo stack.
    void rowInserting(Estimate::Table* table, BaseDataItem* row);

private:
    QUndoStack* m_undoStack; // child
    RollUp m_rollUp;
    Estimate* m_estimate = nullptr; // not owned
};
