#pragma once

#include <QtGlobal>

#include <atomic>

/*!
 * Shared between the GUI thread and a thread that loads an estimate: how far the load got
 * (bytes of a file, rows of a generated estimate) and a request to stop.
 *
 *     LoadProgress progress;
 *     EstimateJson::read(path, &error, &progress); // another thread reads progress.done / progress.total
 */
struct LoadProgress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> cancelled{false};
};
