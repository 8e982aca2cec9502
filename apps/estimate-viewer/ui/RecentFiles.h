#pragma once

#include <QStringList>

/*!
 * The estimate files opened last, the newest first, kept across runs in the application's
 * settings (QSettings under the application's organisation and name). Paths are absolute,
 * each listed once.
 *
 *     RecentFiles::add(path);                  // opened
 *     for (const QString& path : RecentFiles::list()) ...
 */
class RecentFiles
{
public:
    static constexpr int maxCount = 8;
    static QStringList list();
    /// Makes a file the newest; the oldest beyond maxCount go.
    static void add(const QString& path);
    static void remove(const QString& path);
};
