#pragma once

#include "Estimate.h"
#include "JsonValueReader.h"
#include "LoadProgress.h"
#include "LoadedRow.h"

#include <memory>
#include <thread>

/*!
 * Reads works of an estimate: their tables and their rows, linked into trees. Either out of the whole
 * file's document, as the whole-file reader meets them, or each from its own text cut out of the file,
 * so that several are read at once, each by a reader of its own. Places and line numbers stay those of
 * the whole file.
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
    /// Reads works met in the document that `in` reads, and hands the file's text back to the system
    /// as it goes (`readStart` sums up what is handed back; `in` counts lines from it).
    WorkReader(JsonValueReader& in, const char* file, TextStart* readStart, LoadProgress* progress);
    ~WorkReader();

    /// Reads the work's own text.
    bool read(Estimate& estimate, Estimate::Work& work, int workPos);
    /// Reads a work from its value in the document. The work's last table may still be linking on
    /// another thread when it returns: call finishLinking() once reading stops, whether it failed or not.
    bool readWork(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place);
    /// Waits for the table being linked, if any. False, with its problem taking the place of any met
    /// since (it comes earlier in the file), when it could not be linked.
    bool finishLinking();
    const QString& problem() const { return m_in.problem(); }

private:
    bool readTable(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place);
    bool readRows(JsonValueReader::value& value, Estimate::Table& table, QVector<LoadedRow>& loaded, const JsonPlace& place);
    bool readRow(JsonValueReader::value& value, const JsonPlace& place, LoadedRow& loaded);
    bool reportProgress();

    std::unique_ptr<JsonValueReader> m_ownIn; // null when reading out of another reader's document
    JsonValueReader& m_in;
    size_t m_capacity = 0;
    LoadProgress* m_progress; // not owned, may be null
    const char* m_lastReported;
    int m_rowsSinceReport = 0;
    simdjson::ondemand::parser m_parser; // for a work's own text
    const char* m_file = nullptr; // with m_readStart: the text to hand back as it is read, if any
    TextStart* m_readStart = nullptr;
    // A large table is linked on a thread of its own while the next one is read: the two touch
    // different rows and tables only. m_linked and m_linkProblem are the linking thread's until joined.
    std::thread m_linking;
    bool m_linked = true;
    QString m_linkProblem;
};
