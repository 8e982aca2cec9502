#pragma once

#include "Estimate.h"
#include "LoadProgress.h"
#include "RecoveryBase.h"

#include <QDateTime>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

class QLockFile;

/*!
 * A record of unsaved changes that a viewer left behind when it ended without cleaning up
 * (a crash, a kill, a power cut), read back to offer and replay them. Each record is a
 * folder with a journal, one line per change, on top of a base file:
 *
 *     itemviews-recovery 1
 *     base SIZE SHA1 USERFILE PATH        the file the changes apply to (texts percent-encoded)
 *     label TEXT                          how to name it to a person
 *     edit WORK TABLE ROWID FIELD n NUMBER | t TEXT
 *     insert WORK TABLE PARENTID|top POSITION NEWID   position among the parent's children, or in the table's rows
 *     delete WORK TABLE ROWID
 *     group N                             the N edits that follow are one step of the history
 *     index N                             an undo or redo moved the history to N commands done
 *     resumed                             a recovered session went on from here, with a new history
 *
 * The journal is untrusted input: a malformed line or a change that does not fit the base
 * is an error that names the line, never a crash. A last line without its end was cut by
 * the crash and is left out.
 *
 *     for (auto& record : RecoveryRecord::leftBehind(folder))
 *         if (record->read(&error) && record->baseUnchanged(&error)) estimate = record->restore(&error);
 */
class RecoveryRecord
{
public:
    /// One change as the journal holds it.
    struct Step
    {
        enum Kind { Edit, Insert, Delete, Index, Resumed, Group } kind;
        int work = 0;
        int table = 0;
        qint64 row = 0; // the row edited or deleted, or the parent of an insert
        bool top = false; // an insert at the top of the tree
        int number = 0; // the field edited, the insert's position, the history's index, or a group's edits
        qint64 newRow = 0; // the id an inserted row gets
        QVariant value;
        int line = 0;
    };

    ~RecoveryRecord();
    /// Records whose session has ended (their lock was free, and is now held here), the newest first.
    static std::vector<std::unique_ptr<RecoveryRecord>> leftBehind(const QString& root);
    static QString journalPath(const QString& folder) { return folder + QStringLiteral("/journal"); }

    /// Reads the journal; false with what is wrong and where when it is damaged.
    bool read(QString* error);
    /// Whether the base still has the bytes the record began on; false with a message when not.
    bool baseUnchanged(QString* error) const;
    /// Reads the base and replays the changes (on any thread); null with the line at fault.
    std::unique_ptr<Estimate> restore(QString* error, LoadProgress* progress = nullptr) const;
    /// Moves the record out of the way, kept for a person to look at; where it went.
    QString setAside();
    /// Deletes the record: its changes were discarded.
    void remove();
    /// Hands over the folder and its lock to a session that goes on with the record.
    std::unique_ptr<QLockFile> takeLock();

    const RecoveryBase& base() const { return m_base; }
    QString folder() const { return m_folder; }
    QDateTime lastChange() const;

private:
    RecoveryRecord(const QString& folder, std::unique_ptr<QLockFile> lock);
    bool readHeader(const QList<QByteArray>& lines, QString* problem);
    static bool parseStep(const QList<QByteArray>& tokens, Step* step);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    RecoveryBase m_base;
    QVector<Step> m_steps;
};
