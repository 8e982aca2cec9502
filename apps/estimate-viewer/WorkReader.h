#pragma once

#include "Estimate.h"
#include "JsonValueReader.h"
#include "LoadProgress.h"
#include "LoadedRow.h"

/*!
 * Reads one work of an estimate from its own text, cut out of the file by the whole-file reader:
 * its tables and their rows, linked into trees. Works are independent, so several are read at once,
 * each by a reader of its own. Places and line numbers stay those of the whole file.
 *
 *     WorkReader reader(file, fileLength, workText, capacity, &readStart, progress);
 *     if (!reader.read(estimate, work, workPos)) ... reader.problem()
 */
class WorkReader
{
public:
    /// `capacity`: the bytes readable from the work's start (the rest of the file pads it).
    WorkReader(const char* file, size_t fileLength, std::string_view text, size_t capacity, const TextStart* skipped,
               LoadProgress* progress);

    /// Reads with a parser shared by works read in turn, rather than one of its own.
    void shareParser(simdjson::ondemand::parser* parser) { m_parser = parser; }
    bool read(Estimate& estimate, Estimate::Work& work, int workPos);
    const QString& problem() const { return m_in.problem(); }

private:
    bool readWork(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place);
    bool readTable(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place);
    bool readRows(JsonValueReader::value& value, Estimate::Table& table, QVector<LoadedRow>& loaded, const JsonPlace& place);
    bool readRow(JsonValueReader::value& value, const JsonPlace& place, LoadedRow& loaded);
    bool reportProgress();

    JsonValueReader m_in;
    size_t m_capacity;
    LoadProgress* m_progress; // not owned, may be null
    const char* m_lastReported;
    int m_rowsSinceReport = 0;
    simdjson::ondemand::parser m_ownParser;
    simdjson::ondemand::parser* m_parser = &m_ownParser;
};
