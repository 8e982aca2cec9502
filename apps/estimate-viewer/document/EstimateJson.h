#pragma once

#include "Estimate.h"
#include "LoadProgress.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;

/*!
 * Reads and writes estimates as JSON (the format is described in the README).
 * Errors name the file and the place: "site.json: works[0].tables[1].rows[17].parent:
 * no row has id 999". Writing streams into a temporary file that replaces the old one
 * only when complete, so a failed write leaves the old file as it was.
 *
 *     QString error;
 *     std::unique_ptr<Estimate> estimate = EstimateJson::read(path, &error);
 *     EstimateJson::write(*estimate, path, &error);
 */
class EstimateJson
{
public:
    /// Levels a file holds: as many as an estimate's tree may have.
    static constexpr int maxLevels = Estimate::maxLevels;

    /// Reads a file; works are read by up to `threads` threads at once.
    static std::unique_ptr<Estimate> read(const QString& path, QString* error, LoadProgress* progress = nullptr, int threads = 1);
    static std::unique_ptr<Estimate> parse(const QByteArray& json, const QString& fileName, QString* error);
    static bool write(const Estimate& estimate, const QString& path, QString* error);
    /// The file's text; empty with an error when something cannot be written (a number that is not finite).
    static QByteArray serialize(const Estimate& estimate, QString* error = nullptr);

    /// The error text of a read that was cancelled through its progress.
    static QString cancelledMessage();
};
