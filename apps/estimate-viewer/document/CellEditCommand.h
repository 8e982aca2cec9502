#pragma once

#include "RollUp.h"

#include <QUndoCommand>

class EstimateEditor;

/// A cell edit with the totals it rolled up; undo puts every stored value back as it was.
/// One of EstimateEditor's own commands: only the editor makes them.
class CellEditCommand : public QUndoCommand
{
public:
    CellEditCommand(EstimateEditor& editor, const QVector<RollUp::Change>& changes, const QString& text);
    void redo() override;
    void undo() override;

private:
    EstimateEditor& m_editor; // not owned
    QVector<RollUp::Change> m_changes;
};
