#pragma once

#include "Estimate.h"
#include "RollUp.h"

#include <QHash>
#include <QObject>

#include <map>
#include <memory>

class QUndoStack;
class SubtreePlace;

/// Rows that came into or went out of one table's list, as one run: what a view needs to follow them.
struct StructureChange
{
    Estimate::Table* table = nullptr;
    int position = -1; // where the run starts in the table's list; -1: unknown, views rebind
    bool inserted = false; // the rows came (else they went)
    QList<BaseDataItem*> rows; // the run, in list order
};

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
    /// Completes one row just inserted as completeNewRows would, without reading every row of the table.
    void completeNewRow(Estimate::Table& table, BaseDataItem* row);
    /// True while the ids of a new estimate are still read between events (the next id of a new row).
    bool isReadingIds() const { return !m_idsToRead.isEmpty(); }
    /// Whether a row below this one would still be within the levels a file holds.
    static bool hasRoomBelow(BaseDataItem* row);

Q_SIGNALS:
    /// Cell values changed: views repaint.
    void valuesChanged();
    /// Rows came or went: views follow the change.
    void structureChanged(const StructureChange& change);
    /// A cell edit is about to go on the undo stack, with the value as stored.
    void cellEditing(BaseDataItem* row, int field, const QVariant& value);
    /// The next count cellEditing signals go on the undo stack together, as one step.
    void cellsEditing(int count);
    /// A row is about to be deleted, undoably.
    void rowRemoving(Estimate::Table* table, BaseDataItem* row);
    /// An inserted row is about to go on the undo stack.
    void rowInserting(Estimate::Table* table, BaseDataItem* row);

private:
    // The undo commands are the editor's own details: it alone makes them, and they change the
    // estimate only through the three functions below.
    friend class CellEditCommand;
    friend class RowStructureCommand;
    /// Stores cell values and marks the differences they make.
    void applyChanges(const QVector<RollUp::Change>& changes, RollUp::Direction direction);
    /// The totals above a place whose children changed.
    QVector<RollUp::Change> planChainAbove(SubtreePlace& place);
    /// The rows of a table were taken out or put back.
    void announceStructure(const StructureChange& change);

    /// The largest ids of a table's rows with their counts: the next id without a pass over the table.
    /// Holds the top of all ids while it is not empty; emptied by removals, it is read again in full.
    struct TopIds
    {
        static constexpr size_t kept = 64;
        std::map<qint64, int> counts;
        bool all = true; // no id was left out: any id may join
        int read = 0; // rows of the table's list read so far, between events
        bool complete = false; // every row read: counts follow the changes from now on
        void add(qint64 id);
        void remove(qint64 id);
        void readRows(const QList<BaseDataItem*>& rows, int end);
    };
    TopIds& topIds(Estimate::Table& table);
    /// Reads the ids of the estimate's tables in slices between events, so that the first insert does not.
    void readIdsSlice();

    QList<Estimate::Table*> m_idsToRead;
    QHash<Estimate::Table*, TopIds> m_topIds;
    QUndoStack* m_undoStack; // child
    RollUp m_rollUp;
    Estimate* m_estimate = nullptr; // not owned
};
