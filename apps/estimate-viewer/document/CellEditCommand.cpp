#include "CellEditCommand.h"

#include "EstimateEditor.h"

CellEditCommand::CellEditCommand(EstimateEditor& editor, const QVector<RollUp::Change>& changes, const QString& text)
    : QUndoCommand(text)
    , m_editor(editor)
    , m_changes(changes)
{
}

void CellEditCommand::redo()
{
    m_editor.applyChanges(m_changes, RollUp::Forward);
}

void CellEditCommand::undo()
{
    m_editor.applyChanges(m_changes, RollUp::Backward);
}
