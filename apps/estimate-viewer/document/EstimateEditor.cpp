#include "EstimateEditor.h"

#include "CellEditCommand.h"
#include "EstimateFields.h"
#include "RowStructureCommand.h"
#include "SubtreePlace.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QTimer>
#include <QUndoStack>

namespace {
QString rowLabel(BaseDataItem* row)
{
    const QString code = row->getValue(EstimateField::Code).toString();
    return code.isEmpty() ? row->getValue(EstimateField::Name).toString() : code;
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
    m_topIds.clear();
    m_idsToRead.clear();
    m_rollUp.reset();
    m_estimate = estimate;
    for (size_t work = 0; estimate && work < estimate->works.size(); ++work) {
        for (const auto& table : estimate->works[work]->tables)
            m_idsToRead.append(table.get());
    }
    if (!m_idsToRead.isEmpty())
        QTimer::singleShot(0, this, &EstimateEditor::readIdsSlice);
}

bool EstimateEditor::editCell(BaseDataItem* row, int field, const QVariant& typed)
{
    const QVariant value = EstimateFields::parseCell(field, typed);
    if (!row || !value.isValid())
        return false;
    if (value == row->getValue(field))
        return true; // nothing changes, nothing to undo
    QVector<RollUp::Change> changes;
    if (!m_rollUp.planCellEdit(row, field, value, &changes))
        return false;
    Q_EMIT cellEditing(row, field, value);
    const QString text = tr("edit %1 of %2").arg(EstimateFields::title(field).toLower(), rowLabel(row));
    m_undoStack->push(new CellEditCommand(*this, changes, text));
    return true;
}

QVector<int> EstimateEditor::editCells(const QVector<CellEdit>& edits, const QString& text)
{
    QVector<int> refused;
    QVector<RollUp::Change> changes;
    QVector<CellEdit> written; // with the values as stored
    for (int position = 0; position < edits.size(); ++position) {
        const CellEdit& edit = edits.at(position);
        const QVariant value = EstimateFields::parseCell(edit.field, edit.typed);
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

void EstimateEditor::completeNewRow(Estimate::Table& table, BaseDataItem* row)
{
    if (!row || row->getValue(EstimateField::Id).isValid())
        return;
    TopIds& ids = topIds(table);
    const qint64 id = qMax<qint64>(0, ids.counts.empty() ? 0 : ids.counts.rbegin()->first) + 1;
    row->setValue(EstimateField::Id, id);
    row->setValue(EstimateField::Name, QStringLiteral("New item"));
    row->setRowType(EstimateRowType::Item);
    row->setOwner(table.table.get());
    row->setLevel(row->getParent() ? row->getParent()->getLevel() + 1 : 0);
    ids.add(id);
}

EstimateEditor::TopIds& EstimateEditor::topIds(Estimate::Table& table)
{
    TopIds& ids = m_topIds[&table];
    if (ids.complete && ids.counts.empty()) // every kept id went: the table is read again
        ids = TopIds();
    ids.readRows(table.rows, table.rows.size());
    return ids;
}

void EstimateEditor::readIdsSlice()
{
    constexpr int sliceRows = 16384; // a few milliseconds on a busy machine
    for (int budget = sliceRows; budget > 0 && !m_idsToRead.isEmpty();) {
        Estimate::Table* table = m_idsToRead.first();
        TopIds& ids = m_topIds[table];
        const int end = int(qMin<qint64>(table->rows.size(), qint64(ids.read) + budget));
        budget -= end - ids.read;
        ids.readRows(table->rows, end);
        if (ids.complete)
            m_idsToRead.removeFirst();
    }
    if (!m_idsToRead.isEmpty())
        QTimer::singleShot(0, this, &EstimateEditor::readIdsSlice);
}

void EstimateEditor::TopIds::readRows(const QList<BaseDataItem*>& rows, int end)
{
    for (; !complete && read < end; ++read) {
        const QVariant id = rows.at(read)->getValue(EstimateField::Id);
        if (id.isValid())
            add(id.toLongLong());
    }
    complete = read >= rows.size();
}

void EstimateEditor::TopIds::add(qint64 id)
{
    if (!all && (counts.empty() || id < counts.begin()->first))
        return; // below every kept id: ids left out may lie between
    ++counts[id];
    if (counts.size() > kept) {
        counts.erase(counts.begin());
        all = false;
    }
}

void EstimateEditor::TopIds::remove(qint64 id)
{
    const auto found = counts.find(id);
    if (found != counts.end() && --found->second == 0)
        counts.erase(found);
}

bool EstimateEditor::hasRoomBelow(BaseDataItem* row)
{
    int levels = 1; // the new row's
    for (; row && levels < Estimate::maxLevels; row = row->getParent())
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

void EstimateEditor::announceStructure(const StructureChange& change)
{
    auto ids = change.table ? m_topIds.find(change.table) : m_topIds.end();
    if (ids != m_topIds.end() && !ids->complete) { // rows moved under the reading: it starts over
        *ids = TopIds();
        ids = m_topIds.end();
    }
    for (BaseDataItem* row : change.rows) {
        const QVariant id = row && ids != m_topIds.end() ? row->getValue(EstimateField::Id) : QVariant();
        if (id.isValid())
            change.inserted ? ids->add(id.toLongLong()) : ids->remove(id.toLongLong());
    }
    Q_EMIT structureChanged(change);
}
