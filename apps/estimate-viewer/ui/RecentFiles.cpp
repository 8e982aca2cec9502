#include "RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const QString key = QStringLiteral("files/recent");

void store(const QStringList& paths)
{
    QSettings().setValue(key, paths);
}
}

QStringList RecentFiles::list()
{
    return QSettings().value(key).toStringList().mid(0, maxCount);
}

void RecentFiles::add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList paths = list();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    store(paths.mid(0, maxCount));
}

void RecentFiles::remove(const QString& path)
{
    QStringList paths = list();
    paths.removeAll(QFileInfo(path).absoluteFilePath());
    store(paths);
}
