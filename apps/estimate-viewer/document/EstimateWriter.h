#pragma once

#include "Estimate.h"
#include "JsonPlace.h"
#include "JsonWriter.h"

#include <QVector>

/*!
 * Writes an estimate as JSON text to a device, one row per line. A row's level is written as its
 * depth, so that a file always agrees with its own tree.
 *
 *     EstimateWriter writer(&file);
 *     if (!writer.write(estimate)) ... writer.problem()
 */
class EstimateWriter
{
public:
    explicit EstimateWriter(QIODevice* device) : m_device(device), m_out(device) {}

    bool write(const Estimate& estimate);
    QString problem() const { return m_problem; }
    qint64 bytesWritten() const { return m_out.bytesWritten(); }

private:
    bool writeWork(const Estimate::Work& work, JsonPlace place);
    bool writeTable(const Estimate::Table& table, JsonPlace place);
    int depthOf(BaseDataItem* row);

    QIODevice* m_device; // not owned
    JsonWriter m_out;
    QString m_problem;
    QVector<BaseDataItem*> m_path; // the last row written and its ancestors, root first
};
