#pragma once

#include "Estimate.h"
#include "JsonValueReader.h"
#include "LoadProgress.h"

#include <memory>
#include <string_view>
#include <vector>

/*!
 * Reads a whole estimate file: the top level (format, project, audit) and its works, each by a
 * WorkReader. One thread reads the works in turn, handing the text back to the system as it is read,
 * so that a large file does not stay in memory whole; more threads read works at once, each work cut
 * out of the file first.
 *
 *     EstimateReader reader(text.data(), text.size(), text.size() + SIMDJSON_PADDING, progress, threads);
 *     std::unique_ptr<Estimate> estimate = reader.read(&problem);
 */
class EstimateReader
{
public:
    /// `capacity`: the bytes of the text's buffer, its padding included.
    EstimateReader(const char* text, size_t length, size_t capacity, LoadProgress* progress, int threads = 1);

    /// The estimate, or null with the problem.
    std::unique_ptr<Estimate> read(QString* problem);

private:
    bool readDocument(Estimate& estimate, std::vector<std::string_view>* workTexts);
    bool readAudit(JsonValueReader::value& value, Estimate& estimate);
    bool readWorks(Estimate& estimate, const std::vector<std::string_view>& workTexts);

    const char* m_text;
    size_t m_length;
    size_t m_capacity;
    LoadProgress* m_progress; // not owned, may be null
    int m_threads;
    TextStart m_readStart; // of the file, once its bytes are handed back
    simdjson::ondemand::parser m_parser;
    JsonValueReader m_in;
    QString m_problem;
};
