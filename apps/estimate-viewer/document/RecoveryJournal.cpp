#include "RecoveryJournal.h"

#include "EstimateEditor.h"
#include "RecoveryRecord.h"

#include <QDir>
#include <QLockFile>
#include <QUndoStack>
#include <QUuid>

#include <unistd.h>

namespace {
constexpr int syncDelayMs = 1000; // a line reaches the disk within this plus the sync's own time: under 2 s

QByteArray idOf(BaseDataItem* row)
{
    return QByteArray::number(row->getValue(EstimateField::Id).toLongLong());
}

QByteArray encoded(const QString& text)
{
    return text.toUtf8().toPercentEncoding();
}
}

RecoveryJournal::RecoveryJournal(EstimateEditor& editor, const QString& root, QObject* parent)
    : QObject(parent)
    , m_editor(editor)
    , m_folder(QDir(root).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces)))
    , m_lock(std::make_unique<QLockFile>(m_folder + QStringLiteral(".lock")))
{
    // The lock first: a folder without a held lock is a finished session's, free to clean up.
    m_broken = !QDir().mkpath(root) || !m_lock->tryLock(0) || !QDir().mkpath(m_folder);
    connect(&editor, &EstimateEditor::cellEditing, this, &RecoveryJournal::writeEdit);
    connect(&editor, &EstimateEditor::cellsEditing, this, [this](int count) {
        if (begin()) // no change of the history by itself: the edits that follow are
            append("group " + QByteArray::number(count));
    });
    connect(&editor, &EstimateEditor::rowRemoving, this, [this](Estimate::Table* table, BaseDataItem* row) { writeStructure("delete", table, row); });
    connect(&editor, &EstimateEditor::rowInserting, this, [this](Estimate::Table* table, BaseDataItem* row) { writeStructure("insert", table, row); });
    connect(editor.undoStack(), &QUndoStack::indexChanged, this, &RecoveryJournal::followIndex);
    // A history cleared because the editor goes is no change: the record stays as it was.
    // (The stack is taken now: by then the editor is only a QObject.)
    connect(&editor, &QObject::destroyed, this, [this, stack = editor.undoStack()] { disconnect(stack, nullptr, this, nullptr); });
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(syncDelayMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &RecoveryJournal::syncSoon);
}

RecoveryJournal::~RecoveryJournal()
{
    closeJournal(); // the record stays: only a clean end (finish) says its changes are not needed
}

QString RecoveryJournal::newBasePath()
{
    // Unique: a base of an estimate still shown may be in the folder, from this session or a recovered one.
    return QStringLiteral("%1/base-%2.json").arg(m_folder, QUuid::createUuid().toString(QUuid::WithoutBraces));
}

void RecoveryJournal::startOver(Estimate* estimate, const RecoveryBase& base)
{
    closeJournal();
    const QString basePath = QFileInfo(base.path).absoluteFilePath();
    for (const QFileInfo& file : QDir(m_folder).entryInfoList(QDir::Files)) {
        if (file.absoluteFilePath() != basePath)
            QFile::remove(file.absoluteFilePath());
    }
    m_estimate = estimate;
    m_base = base;
    m_broken = !m_lock || !m_lock->isLocked();
    m_expectedIndex = m_editor.undoStack()->index();
}

void RecoveryJournal::resume(RecoveryRecord& record)
{
    QDir(m_folder).removeRecursively();
    m_lock = record.takeLock();
    m_folder = record.folder();
    m_journal.setFileName(RecoveryRecord::journalPath(m_folder));
    if (!m_journal.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return fail(m_journal.errorString());
    // A line the crash cut short goes: the record's next line starts on a line of its own.
    const qint64 end = m_journal.readAll().lastIndexOf('\n') + 1;
    if (!m_journal.resize(end) || !m_journal.seek(end))
        return fail(m_journal.errorString());
    m_expectedIndex = m_editor.undoStack()->index();
    append("resumed");
}

void RecoveryJournal::finish()
{
    closeJournal();
    QDir(m_folder).removeRecursively();
    m_lock.reset();
    m_estimate = nullptr;
}

void RecoveryJournal::writeEdit(BaseDataItem* row, int field, const QVariant& value)
{
    const QByteArray text = value.userType() == QMetaType::Double ? "n " + QByteArray::number(value.toDouble(), 'g', 17)
                                                                   : "t " + encoded(value.toString());
    writeChange("edit " + address(row->getOwner()) + ' ' + idOf(row) + ' ' + QByteArray::number(field) + ' ' + text);
}

void RecoveryJournal::writeStructure(const char* kind, Estimate::Table* table, BaseDataItem* row)
{
    QByteArray line = kind + (' ' + address(table->table.get())) + ' ';
    if (qstrcmp(kind, "insert") == 0) {
        TreeBaseItem* parent = row->getParent();
        const int position = parent ? parent->getBaseDataItemlist().indexOf(row) : table->rows.indexOf(row);
        line += (parent ? idOf(parent) : QByteArray("top")) + ' ' + QByteArray::number(position) + ' ';
    }
    writeChange(line + idOf(row));
}

void RecoveryJournal::writeChange(const QByteArray& line)
{
    const int indexBefore = m_editor.undoStack()->index();
    if (begin())
        append(line);
    m_expectedIndex = indexBefore + 1; // the push that follows
}

void RecoveryJournal::followIndex(int index)
{
    if (m_journal.isOpen() && index != m_expectedIndex)
        append("index " + QByteArray::number(index));
    m_expectedIndex = index;
}

// The journal starts at the first change, when the history is still empty.
bool RecoveryJournal::begin()
{
    if (m_journal.isOpen() || m_broken || !m_estimate)
        return m_journal.isOpen();
    if (!m_base.isValid() || m_editor.undoStack()->count() > 0) {
        fail(tr("the estimate's base could not be kept"));
        return false;
    }
    m_journal.setFileName(RecoveryRecord::journalPath(m_folder));
    if (!m_journal.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        fail(m_journal.errorString());
        return false;
    }
    append("itemviews-recovery 1\nbase " + QByteArray::number(m_base.size) + ' ' + m_base.checksum + ' '
           + (m_base.userFile ? '1' : '0') + ' ' + encoded(m_base.path) + "\nlabel " + encoded(m_base.label));
    return m_journal.isOpen();
}

// One write per line, straight to the system: a killed process loses nothing written.
void RecoveryJournal::append(const QByteArray& line)
{
    const QByteArray text = line + '\n';
    if (m_journal.write(text) != text.size())
        return fail(m_journal.errorString());
    if (!m_syncTimer.isActive())
        m_syncTimer.start();
}

QByteArray RecoveryJournal::address(const TableBaseObject* table) const
{
    for (size_t work = 0; m_estimate && work < m_estimate->works.size(); ++work) {
        const auto& tables = m_estimate->works[work]->tables;
        for (size_t tablePos = 0; tablePos < tables.size(); ++tablePos) {
            if (tables[tablePos]->table.get() == table)
                return QByteArray::number(qulonglong(work)) + ' ' + QByteArray::number(qulonglong(tablePos));
        }
    }
    return "none none"; // read back as a damaged line: never replayed onto the wrong rows
}

// A record missing a change would bring back a state that never was: none is better.
void RecoveryJournal::fail(const QString& reason)
{
    closeJournal();
    QFile::remove(RecoveryRecord::journalPath(m_folder));
    m_broken = true;
    Q_EMIT failed(tr("Unsaved changes are no longer kept for recovery: %1").arg(reason));
}

void RecoveryJournal::closeJournal()
{
    m_syncTimer.stop();
    if (m_sync.valid())
        m_sync.wait(); // the descriptor it syncs must stay open until it is done
    m_journal.close();
}

// A power cut loses what only the system's cache holds; the sync waits for the disk, so a worker does it.
void RecoveryJournal::syncSoon()
{
    if (m_sync.valid() && m_sync.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return m_syncTimer.start(); // the last one is still going
    if (m_journal.isOpen())
        m_sync = std::async(std::launch::async, [descriptor = m_journal.handle()] { ::fdatasync(descriptor); });
}
