#pragma once

#include "Estimate.h"

#include <QByteArray>
#include <QString>

#include <memory>

/*!
 * Reads and writes estimates as JSON (the format is described in the README).
 * Errors name the file and the place: "site.json: works[0].tables[1].rows[17].parent:
 * no row has id 999". Writing is atomic: a failed write leaves the old file as it was.
 *
 *     QString error;
 *     std::unique_ptr<Estimate> estimate = EstimateJson::read(path, &error);
 *     EstimateJson::write(*estimate, path, &error);
 */
class EstimateJson
{
public:
    static std::unique_ptr<Estimate> read(const QString& path, QString* error);
    static std::unique_ptr<Estimate> parse(const QByteArray& json, const QString& fileName, QString* error);
    static bool write(const Estimate& estimate, const QString& path, QString* error);
    static QByteArray serialize(const Estimate& estimate);
};
