#pragma once

#include "Estimate.h"
#include "RecoveryBase.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <future>
#include <memory>

class EstimateEditor;
class QLockFile;
class RecoveryRecord;

/*!
 * Keeps the unsaved changes of the shown estimate on disk, so that a crash, a kill or a
 * power cut loses at most the last two seconds of them. Each change an editor makes,
 * and each undo or redo, is appended to a journal on top of the file the estimate came
 * from (the format is in RecoveryRecord.h), in a folder of this session's own under the
 * recovery folder; a lock tells other viewers that the session still runs.
 *
 *     RecoveryJournal journal(editor, recoveryFolder);
 *     journal.startOver(estimate, RecoveryBase::of(path, path, true));   // opened or saved
 *     editor.editCell(row, EstimateField::Quantity, 12.5);              // a line in the journal
 */
class RecoveryJournal : public QObject
{
    Q_OBJECT
public:
    RecoveryJournal(EstimateEditor& editor, const QString& root, QObject* parent = nullptr);
    ~RecoveryJournal() override;

    /// A file in this session's folder where a worker may write the base of an estimate that has no file.
    QString newBasePath();
    /// Another estimate is shown, or the shown one was saved: changes from now on apply to base.
    void startOver(Estimate* estimate, const RecoveryBase& base);
    /// Goes on with a recovered record, whose estimate startOver has just been given.
    void resume(RecoveryRecord& record);
    /// The session ends cleanly: nothing it kept is needed any more.
    void finish();

Q_SIGNALS:
    /// The changes can no longer be kept (a disk error); a person should know.
    void failed(const QString& message);

private:
    void writeEdit(BaseDataItem* row, int field, const QVariant& value);
    void writeStructure(const char* kind, Estimate::Table* table, BaseDataItem* row);
    void writeChange(const QByteArray& line);
    void followIndex(int index);
    bool begin();
    void append(const QByteArray& line);
    QByteArray address(const TableBaseObject* table) const;
    void fail(const QString& reason);
    void closeJournal();
    void syncSoon();

    EstimateEditor& m_editor; // not owned
    QString m_folder; // this session's
    std::unique_ptr<QLockFile> m_lock;
    QFile m_journal;
    Estimate* m_estimate = nullptr; // not owned
    RecoveryBase m_base;
    int m_expectedIndex = 0; // the history's index after the last line written
    bool m_broken = false; // a write failed: nothing more is written until the next start
    QTimer m_syncTimer;
    std::future<void> m_sync; // to the disk, off the GUI thread
};
