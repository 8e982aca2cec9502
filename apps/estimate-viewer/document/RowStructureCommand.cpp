#include "RowStructureCommand.h"

#include "EstimateEditor.h"
#include "SubtreePlace.h"

RowStructureCommand::RowStructureCommand(EstimateEditor& editor, std::unique_ptr<SubtreePlace> place, Kind kind,
                                         const QString& text)
    : QUndoCommand(text)
    , m_editor(editor)
    , m_place(std::move(place))
    , m_kind(kind)
{
}

RowStructureCommand::~RowStructureCommand() = default;

void RowStructureCommand::redo()
{
    if (m_done || m_kind == Removal) // an insertion's row is in place already the first time
        setPresent(m_kind == Insertion);
    if (!m_done)
        m_totals = m_editor.planChainAbove(*m_place);
    m_done = true;
    m_editor.applyChanges(m_totals, RollUp::Forward);
}

void RowStructureCommand::undo()
{
    m_editor.applyChanges(m_totals, RollUp::Backward);
    setPresent(m_kind == Removal);
}

void RowStructureCommand::setPresent(bool present)
{
    m_editor.announceStructure(present ? m_place->attach() : m_place->detach());
}
