#pragma once

#include "RollUp.h"

#include <QUndoCommand>

#include <memory>

class EstimateEditor;
class SubtreePlace;

/*!
 * A row inserted or deleted with everything below it, and the totals above it
 * rolled up again. A deleted subtree is kept, not destroyed, until the command goes.
 * One of EstimateEditor's own commands: only the editor makes them.
 */
class RowStructureCommand : public QUndoCommand
{
public:
    enum Kind { Insertion, Removal };
    /// An insertion is recorded once the row is in place: its first redo changes nothing.
    RowStructureCommand(EstimateEditor& editor, std::unique_ptr<SubtreePlace> place, Kind kind, const QString& text);
    ~RowStructureCommand() override;
    void redo() override;
    void undo() override;

private:
    void setPresent(bool present);

    EstimateEditor& m_editor; // not owned
    std::unique_ptr<SubtreePlace> m_place;
    Kind m_kind;
    bool m_done = false;
    QVector<RollUp::Change> m_totals; // planned at the first redo, once the rows have moved
};
