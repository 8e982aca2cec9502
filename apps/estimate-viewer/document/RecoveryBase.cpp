#include "RecoveryBase.h"

#include <QCryptographicHash>
#include <QFile>

RecoveryBase RecoveryBase::of(const QString& path, const QString& label, bool userFile)
{
    RecoveryBase base{path, label, userFile};
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (file.open(QIODevice::ReadOnly) && hash.addData(&file) && file.atEnd()) {
        base.size = file.size();
        base.checksum = hash.result().toHex();
    }
    return base;
}
