#include "EstimateEditor.h"

#include "CellEditCommand.h"
#include "EstimateColumns.h"
#include "EstimateJson.h"
#include "RowStructureCommand.h"
#include "SubtreePlace.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QUndoStack>

namespace {
QString rowLabel(BaseDataItem* row)
{
    const QString code = row->getValue(EstimateField::Code).toString();
    return code.isEmpty() ? row->getValue(EstimateField::Name).toString() : code;
}

QString columnTitle(int field)
{
    for (const EstimateColumns::Column& column : EstimateColumns::all()) {
        if (column.field == field)
            return column.title.toLower();
    }
    return {};
}
}

EstimateEditor::EstimateEditor(QObject* parent)
    : QObject(parent)
    , m_undoStack(new QUndoStack(this))
{
}

EstimateEditor::~EstimateEditor() = default;

void EstimateEditor::setEstimate(Estimate* estimate)
{
    m_undoStack->clear(); // first: removed rows kept for undo belong to the old estimate's tables
    m_rollUp.reset();
    m_estimate = estimate;
}

bool EstimateEditor::editCell(BaseDataItem* row, int field, const QVariant& typed)
{
    const QVariant value = EstimateColumns::parseCell(field, typed);
    if (!row || !value.isValid())
        return false;
    if (value == row->getValue(field))
        return true; // nothing changes, nothing to undo
    QVector<RollUp::Change> changes;
    if (!m_rollUp.planCellEdit(row, field, value, &changes))
        return false;
    Q_EMIT cellEditing(row, field, value);
    m_undoStack->push(new CellEditCommand(*this, changes, tr("edit %1 of %2").arg(columnTitle(field), rowLabel(row))));
    return true;
}

QVector<int> EstimateEditor::editCells(const QVector<CellEdit>& edits, const QString& text)
{
    QVector<int> refused;
    QVector<RollUp::Change> changes;
    QVector<CellEdit> written; // with the values as stored
    for (int position = 0; position < edits.size(); ++position) {
        const CellEdit& edit = edits.at(position);
        const QVariant value = EstimateColumns::parseCell(edit.field, edit.typed);
        QVector<RollUp::Change> planned;
        if (!edit.row || !value.isValid()) {
            refused.append(position);
        } else if (value != edit.row->getValue(edit.field)) {
            if (!m_rollUp.planCellEdit(edit.row, edit.field, value, &planned)) {
                refused.append(position);
                continue;
            }
            m_rollUp.apply(planned, RollUp::Forward); // the next cell's totals build on this one's
            changes += planned;
            written.append({edit.row, edit.field, value});
        }
    }
    m_rollUp.apply(changes, RollUp::Backward); // the command writes them all
    if (written.isEmpty())
        return refused;
    // Each cell once, with its value before the first change and after the last.
    QVector<RollUp::Change> merged;
    QHash<QPair<BaseDataItem*, int>, int> mergedAt;
    for (const RollUp::Change& change : qAsConst(changes)) {
        const auto cell = qMakePair(change.row, change.field);
        const auto found = mergedAt.constFind(cell);
        if (found == mergedAt.constEnd()) {
            mergedAt.insert(cell, merged.size());
            merged.append(change);
        } else {
            merged[*found].after = change.after;
        }
    }
    Q_EMIT cellsEditing(written.size());
    for (const CellEdit& edit : qAsConst(written))
        Q_EMIT cellEditing(edit.row, edit.field, edit.typed);
    m_undoStack->push(new CellEditCommand(*this, merged, text));
    return refused;
}

void EstimateEditor::removeRow(Estimate::Table& table, BaseDataItem* row)
{
    if (!m_estimate || !row)
        return;
    Q_EMIT rowRemoving(&table, row);
    auto place = std::make_unique<SubtreePlace>(*m_estimate, table, row);
    m_undoStack->push(new RowStructureCommand(*this, std::move(place), RowStructureCommand::Removal,
                                              tr("delete %1").arg(rowLabel(row))));
}

void EstimateEditor::recordInsertion(Estimate::Table& table, BaseDataItem* row)
{
    if (!m_estimate || !row)
        return;
    Q_EMIT rowInserting(&table, row);
    auto place = std::make_unique<SubtreePlace>(*m_estimate, table, row);
    m_undoStack->push(new RowStructureCommand(*this, std::move(place), RowStructureCommand::Insertion, tr("insert a row")));
}

QList<BaseDataItem*> EstimateEditor::completeNewRows(Estimate::Table& table)
{
    QList<BaseDataItem*> completed;
    qint64 nextId = 0;
    for (BaseDataItem* row : qAsConst(table.rows))
        nextId = qMax(nextId, row->getValue(EstimateField::Id).toLongLong());
    for (BaseDataItem* row : qAsConst(table.rows)) {
        if (row->getValue(EstimateField::Id).isValid())
            continue;
        row->setValue(EstimateField::Id, ++nextId);
        row->setValue(EstimateField::Name, QStringLiteral("New item"));
        row->setRowType(EstimateRowType::Item);
        row->setOwner(table.table.get());
        row->setLevel(row->getParent() ? row->getParent()->getLevel() + 1 : 0);
        completed.append(row);
    }
    return completed;
}

bool EstimateEditor::hasRoomBelow(BaseDataItem* row)
{
    int levels = 1; // the new row's
    for (; row && levels < EstimateJson::maxLevels; row = row->getParent())
        ++levels;
    return !row; // the walk stops at the limit
}

void EstimateEditor::applyChanges(const QVector<RollUp::Change>& changes, RollUp::Direction direction)
{
    m_rollUp.apply(changes, direction);
    QSet<BaseDataItem*> marked;
    for (const RollUp::Change& change : changes) {
        if (m_estimate && !marked.contains(change.row)) {
            m_estimate->updateDifferences(change.row);
            marked.insert(change.row);
        }
    }
    Q_EMIT valuesChanged();
}

QVector<RollUp::Change> EstimateEditor::planChainAbove(SubtreePlace& place)
{
    QVector<RollUp::Change> changes;
    m_rollUp.planChainFrom(place.parent(), &changes);
    return changes;
}

void EstimateEditor::announceStructure()
{
    Q_EMIT structureChanged();
}
