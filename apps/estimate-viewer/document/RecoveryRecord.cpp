#include "RecoveryRecord.h"

#include "EstimateEditor.h"
#include "EstimateJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QUndoStack>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 maxJournalBytes = 256 << 20; // far beyond an afternoon of typing
constexpr int maxTables = 100000;

QString tr(const char* text)
{
    return QCoreApplication::translate("RecoveryRecord", text);
}

bool readInt(const QByteArray& token, int low, int high, int* number)
{
    bool isNumber = false;
    const qint64 read = token.toLongLong(&isNumber);
    *number = int(qBound(qint64(low), read, qint64(high)));
    return isNumber && read >= low && read <= high;
}

bool readId(const QByteArray& token, qint64* id)
{
    bool isNumber = false;
    *id = token.toLongLong(&isNumber);
    return isNumber;
}

bool readValue(const QByteArray& kind, const QByteArray& token, QVariant* value)
{
    bool isNumber = false;
    const double number = token.toDouble(&isNumber);
    if (kind == "n")
        *value = number;
    else if (kind == "t")
        *value = QString::fromUtf8(QByteArray::fromPercentEncoding(token));
    return kind == "t" || (kind == "n" && isNumber && std::isfinite(number));
}

// The replay of a journal: the same editor a person's changes went through, so totals,
// audit differences and the undo history come out as they did.
class Replay
{
public:
    explicit Replay(Estimate& estimate)
        : m_estimate(estimate)
    {
        m_editor.setEstimate(&estimate);
    }
    bool apply(const RecoveryRecord::Step& step, QString* problem);

private:
    Estimate::Table* tableOf(const RecoveryRecord::Step& step, QString* problem) const;
    BaseDataItem* rowById(Estimate::Table& table, qint64 id, QString* problem);
    bool insert(Estimate::Table& table, const RecoveryRecord::Step& step, QString* problem);

    Estimate& m_estimate;
    EstimateEditor m_editor;
    QHash<qint64, BaseDataItem*> m_ids; // rows of one table by id; built again after the rows changed
    Estimate::Table* m_idsOf = nullptr;
    // The edits of a group read so far. A journal that ends within a group ends before that step was
    // done (the crash came while its edits were written): they are never applied.
    QVector<EstimateEditor::CellEdit> m_group;
    int m_groupSize = 0;
};

bool Replay::apply(const RecoveryRecord::Step& step, QString* problem)
{
    using Step = RecoveryRecord::Step;
    if (m_group.size() < m_groupSize && step.kind != Step::Edit) {
        *problem = tr("a group of %1 edits holds only %2").arg(m_groupSize).arg(m_group.size());
        return false;
    }
    if (step.kind == Step::Group) {
        m_group.clear();
        m_groupSize = step.number;
        return true;
    }
    if (step.kind == Step::Index || step.kind == Step::Resumed) {
        m_idsOf = nullptr;
        if (step.kind == Step::Resumed)
            m_editor.undoStack()->clear();
        else if (step.number <= m_editor.undoStack()->count())
            m_editor.undoStack()->setIndex(step.number);
        else
            *problem = tr("the history holds only %1 changes").arg(m_editor.undoStack()->count());
        return problem->isEmpty();
    }
    Estimate::Table* table = tableOf(step, problem);
    if (table && step.kind == Step::Insert)
        return insert(*table, step, problem);
    BaseDataItem* row = table ? rowById(*table, step.row, problem) : nullptr;
    if (row && step.kind == Step::Delete) {
        m_editor.removeRow(*table, row);
        m_idsOf = nullptr;
    } else if (row && m_group.size() < m_groupSize) { // as the person's edits went: all at once
        m_group.append({row, step.number, step.value});
        if (m_group.size() == m_groupSize && !m_editor.editCells(m_group, QString()).isEmpty())
            *problem = tr("a value of the group is refused");
        if (m_group.size() == m_groupSize)
            m_groupSize = 0;
    } else if (row && !m_editor.editCell(row, step.number, step.value)) {
        *problem = tr("the value is refused");
    }
    return problem->isEmpty();
}

Estimate::Table* Replay::tableOf(const RecoveryRecord::Step& step, QString* problem) const
{
    const bool found = step.work < int(m_estimate.works.size()) && step.table < int(m_estimate.works[step.work]->tables.size());
    if (!found)
        *problem = tr("the estimate has no table %1 in work %2").arg(step.table).arg(step.work);
    return found ? m_estimate.works[step.work]->tables[step.table].get() : nullptr;
}

BaseDataItem* Replay::rowById(Estimate::Table& table, qint64 id, QString* problem)
{
    if (m_idsOf != &table) {
        m_ids.clear();
        for (BaseDataItem* row : qAsConst(table.rows))
            m_ids.insert(row->getValue(EstimateField::Id).toLongLong(), row);
        m_idsOf = &table;
    }
    BaseDataItem* row = m_ids.value(id);
    if (!row)
        *problem = tr("no row has id %1").arg(id);
    return row;
}

// As the tree tab inserts: the table's rows in pre-order, the new row completed as a person's.
bool Replay::insert(Estimate::Table& table, const RecoveryRecord::Step& step, QString* problem)
{
    auto* parent = step.top ? nullptr : dynamic_cast<TreeBaseItem*>(rowById(table, step.row, problem));
    if (!step.top && (!parent || !EstimateEditor::hasRoomBelow(parent))) {
        *problem = tr("no row can go under row %1").arg(step.row);
        return false;
    }
    table.rows = Estimate::preOrder(table);
    QList<BaseDataItem*> siblings = parent ? parent->getBaseDataItemlist() : table.rows;
    if (step.number > siblings.size()) {
        *problem = tr("position %1 is past the end").arg(step.number);
        return false;
    }
    auto* row = new TreeBaseItem; // owned by the table's rows from here on
    siblings.insert(step.number, row);
    if (parent) {
        row->setParentAlone(parent);
        parent->setBaseDataItemListDirect(siblings);
        siblings = Estimate::preOrder(table);
    }
    table.rows = siblings;
    EstimateEditor::completeNewRows(table);
    if (row->getValue(EstimateField::Id).toLongLong() != step.newRow) {
        *problem = tr("the new row would have id %1").arg(row->getValue(EstimateField::Id).toLongLong());
        return false;
    }
    m_editor.recordInsertion(table, row);
    m_idsOf = nullptr;
    return true;
}
} // namespace

RecoveryRecord::RecoveryRecord(const QString& folder, std::unique_ptr<QLockFile> lock)
    : m_folder(folder)
    , m_lock(std::move(lock))
{
}

RecoveryRecord::~RecoveryRecord() = default;

std::vector<std::unique_ptr<RecoveryRecord>> RecoveryRecord::leftBehind(const QString& root)
{
    std::vector<std::unique_ptr<RecoveryRecord>> records;
    const QDir rootDir(root);
    for (const QString& name : root.isEmpty() ? QStringList() : rootDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QUuid(name).isNull()) // not a session's folder: one set aside, or not ours
            continue;
        auto lock = std::make_unique<QLockFile>(rootDir.filePath(name + QStringLiteral(".lock")));
        lock->setStaleLockTime(0); // the lock of a session still running is never stale, however old
        if (!lock->tryLock(0))
            continue;
        const QString folder = rootDir.filePath(name);
        if (QFile::exists(journalPath(folder)))
            records.emplace_back(new RecoveryRecord(folder, std::move(lock)));
        else
            QDir(folder).removeRecursively(); // the session ended before its first change
    }
    std::sort(records.begin(), records.end(), [](const auto& one, const auto& other) { return one->lastChange() > other->lastChange(); });
    return records;
}

bool RecoveryRecord::read(QString* error)
{
    QFile file(journalPath(m_folder));
    QString problem;
    QList<QByteArray> lines;
    if (!file.open(QIODevice::ReadOnly))
        problem = file.errorString();
    else if (file.size() > maxJournalBytes)
        problem = tr("it is larger than any journal of changes");
    else
        lines = file.readAll().split('\n');
    if (!lines.isEmpty())
        lines.removeLast(); // after the last line end: empty, or a line the crash cut short
    if (problem.isEmpty())
        readHeader(lines, &problem);
    for (int lineNumber = 4; problem.isEmpty() && lineNumber <= lines.size(); ++lineNumber) {
        Step step{Step::Edit};
        step.line = lineNumber;
        if (parseStep(lines.at(lineNumber - 1).split(' '), &step))
            m_steps.append(step);
        else
            problem = tr("line %1 is not a change").arg(lineNumber);
    }
    if (!problem.isEmpty())
        *error = tr("%1: %2").arg(journalPath(m_folder), problem);
    return problem.isEmpty();
}

bool RecoveryRecord::baseUnchanged(QString* error) const
{
    if (RecoveryBase::of(m_base.path, m_base.label, m_base.userFile).sameBytes(m_base))
        return true;
    *error = tr("%1 is gone or has changed since the unsaved changes were made; they were not applied to it").arg(m_base.label);
    return false;
}

std::unique_ptr<Estimate> RecoveryRecord::restore(QString* error, LoadProgress* progress) const
{
    std::unique_ptr<Estimate> estimate = EstimateJson::read(m_base.path, error, progress);
    if (!estimate)
        return nullptr;
    Replay replay(*estimate);
    for (const Step& step : m_steps) {
        QString problem;
        if (!replay.apply(step, &problem)) {
            *error = tr("%1: line %2: %3").arg(journalPath(m_folder)).arg(step.line).arg(problem);
            return nullptr;
        }
    }
    return estimate;
}

QString RecoveryRecord::setAside()
{
    const QString target = m_folder + QStringLiteral(".set-aside");
    if (QDir().rename(m_folder, target))
        m_folder = target;
    return m_folder;
}

void RecoveryRecord::remove()
{
    QDir(m_folder).removeRecursively();
}

std::unique_ptr<QLockFile> RecoveryRecord::takeLock()
{
    return std::move(m_lock);
}

QDateTime RecoveryRecord::lastChange() const
{
    return QFileInfo(journalPath(m_folder)).lastModified();
}

bool RecoveryRecord::readHeader(const QList<QByteArray>& lines, QString* problem)
{
    const QList<QByteArray> base = lines.value(1).split(' ');
    const QList<QByteArray> label = lines.value(2).split(' ');
    bool isNumber = false;
    m_base.size = base.value(1).toLongLong(&isNumber);
    m_base.checksum = base.value(2);
    m_base.userFile = base.value(3) == "1";
    m_base.path = QString::fromUtf8(QByteArray::fromPercentEncoding(base.value(4)));
    m_base.label = QString::fromUtf8(QByteArray::fromPercentEncoding(label.value(1)));
    const bool valid = lines.value(0) == "itemviews-recovery 1" && base.size() == 5 && base.at(0) == "base" && isNumber
        && m_base.size >= 0 && m_base.checksum.size() == 40 && label.size() == 2 && label.at(0) == "label";
    if (!valid)
        *problem = tr("its first three lines do not say what the changes apply to");
    return valid;
}

bool RecoveryRecord::parseStep(const QList<QByteArray>& tokens, Step* step)
{
    const QByteArray& kind = tokens.at(0);
    const int count = tokens.size();
    if (kind == "index" && count == 2)
        return step->kind = Step::Index, readInt(tokens.at(1), 0, INT_MAX, &step->number);
    if (kind == "group" && count == 2)
        return step->kind = Step::Group, readInt(tokens.at(1), 1, INT_MAX, &step->number);
    if (kind == "resumed" && count == 1)
        return step->kind = Step::Resumed, true;
    const bool table = count >= 4 && readInt(tokens.at(1), 0, maxTables, &step->work) && readInt(tokens.at(2), 0, maxTables, &step->table);
    if (kind == "delete" && count == 4)
        return step->kind = Step::Delete, table && readId(tokens.at(3), &step->row);
    if (kind == "edit" && count == 7) {
        step->kind = Step::Edit;
        return table && readId(tokens.at(3), &step->row) && readInt(tokens.at(4), EstimateField::Code, EstimateField::UnitPrice, &step->number)
            && readValue(tokens.at(5), tokens.at(6), &step->value);
    }
    step->kind = Step::Insert;
    step->top = count == 6 && tokens.at(3) == "top";
    return kind == "insert" && count == 6 && table && (step->top || readId(tokens.at(3), &step->row))
        && readInt(tokens.at(4), 0, INT_MAX, &step->number) && readId(tokens.at(5), &step->newRow);
}
