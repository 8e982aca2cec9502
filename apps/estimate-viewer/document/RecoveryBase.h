#pragma once

#include <QByteArray>
#include <QString>

/*!
 * The file a recovery record replays its changes onto, and what tells that it is still the
 * file the record began on: its size and a checksum of its bytes.
 *
 *     RecoveryBase base = RecoveryBase::of(path, path, true);   // on a worker: it reads the whole file
 *     if (RecoveryBase::of(base.path, base.label, true).sameBytes(base)) ...
 */
struct RecoveryBase
{
    /// Reads a file and notes its size and checksum; not valid when it cannot be read.
    static RecoveryBase of(const QString& path, const QString& label, bool userFile);
    bool isValid() const { return size >= 0; }
    bool sameBytes(const RecoveryBase& other) const { return size == other.size && checksum == other.checksum; }

    QString path; // the user's file, the bundled sample, or a copy the record wrote itself
    QString label; // how the recovery question names the estimate
    bool userFile = false; // saving the recovered estimate goes back to path
    qint64 size = -1;
    QByteArray checksum; // SHA-1 of the bytes, in hex
};
