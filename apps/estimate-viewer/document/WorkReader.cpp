#include "WorkReader.h"

#include "EstimateFile.h"
#include "EstimateJson.h"
#include "RowFields.h"
#include "TableLinker.h"

#include <system_error>

using namespace simdjson;

namespace {
constexpr int progressStride = 4096; // rows between progress reports and cancel checks
constexpr int linkAsideRows = 1000; // tables smaller than this are linked at once: a thread would cost more
}

WorkReader::WorkReader(const char* file, size_t fileLength, std::string_view text, size_t capacity, const TextStart* skipped,
                       LoadProgress* progress)
    : m_ownIn(std::make_unique<JsonValueReader>(file, fileLength, text.data(), text.size(), skipped)), m_in(*m_ownIn),
      m_capacity(capacity), m_progress(progress), m_lastReported(text.data())
{
}

WorkReader::WorkReader(JsonValueReader& in, const char* file, TextStart* readStart, LoadProgress* progress)
    : m_in(in), m_progress(progress), m_lastReported(file), m_file(file), m_readStart(readStart)
{
}

WorkReader::~WorkReader()
{
    finishLinking();
}

bool WorkReader::read(Estimate& estimate, Estimate::Work& work, int workPos)
{
    const error_code code = m_in.iterate(m_parser, m_capacity);
    if (code != SUCCESS)
        return m_in.syntaxError(code);
    JsonPlace place;
    place.work = workPos;
    ondemand::value root;
    const bool read = m_in.check(m_in.document().get_value().get(root), place, "expected an object")
        && readWork(root, estimate, work, place);
    const bool linked = finishLinking();
    m_parser = ondemand::parser(); // an index of its own is as large as the work's text: the next work needs the memory
    m_in.forgetDocument();
    return linked && read;
}

bool WorkReader::readWork(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place)
{
    bool nodeIdSeen = false;
    bool tablesSeen = false;
    const bool read = m_in.fields(value, place, [&](std::string_view key, JsonValueReader::value& field) {
        int number = 0;
        if (key == "name")
            return m_in.text(field, place.at("name"), &work.name);
        if (key == "nodeId") {
            nodeIdSeen = true;
            if (!m_in.intNumber(field, place.at("nodeId"), &number))
                return false;
            work.work->setNodeId(number);
            return true;
        }
        if (key == "auditId") {
            if (!m_in.intNumber(field, place.at("auditId"), &number))
                return false;
            work.work->setAuditId(number);
            return true;
        }
        if (key != "tables")
            return m_in.unusedValue(field);
        tablesSeen = true;
        return m_in.elements(field, place.at("tables"), [&](JsonValueReader::value& table, int tablePos) {
            JsonPlace tablePlace = place;
            tablePlace.table = tablePos;
            return readTable(table, estimate, work, tablePlace);
        });
    });
    return read && m_in.missing(place.at("nodeId"), nodeIdSeen) && m_in.missing(place.at("tables"), tablesSeen);
}

bool WorkReader::readTable(JsonValueReader::value& value, Estimate& estimate, Estimate::Work& work, const JsonPlace& place)
{
    Estimate::Table& table = estimate.addTable(work, QString(), 0);
    QVector<LoadedRow> loaded;
    bool tableTypeSeen = false;
    bool rowsSeen = false;
    const bool read = m_in.fields(value, place, [&](std::string_view key, JsonValueReader::value& field) {
        int tableType = 0;
        if (key == "name")
            return m_in.text(field, place.at("name"), &table.name);
        if (key == "tableType") {
            tableTypeSeen = true;
            if (!m_in.intNumber(field, place.at("tableType"), &tableType))
                return false;
            table.table->setTableType(tableType);
            return true;
        }
        if (key != "rows")
            return m_in.unusedValue(field);
        rowsSeen = true;
        return readRows(field, table, loaded, place);
    });
    if (!read || !m_in.missing(place.at("tableType"), tableTypeSeen) || !m_in.missing(place.at("rows"), rowsSeen))
        return false;
    if (!finishLinking()) // one table at a time: the earlier one's problem comes first
        return false;
    if (loaded.size() < linkAsideRows) {
        QString problem;
        return linkTable(table, loaded, place, &problem) || m_in.setProblem(problem);
    }
    // Shared, so that the rows are still here to link in turn if no thread can be started.
    auto rows = std::make_shared<QVector<LoadedRow>>(std::move(loaded));
    m_linked = false;
    try {
        m_linking = std::thread([this, &table, rows, place] { m_linked = linkTable(table, *rows, place, &m_linkProblem); });
        return true;
    } catch (const std::system_error&) {
        m_linked = true;
        QString problem;
        return linkTable(table, *rows, place, &problem) || m_in.setProblem(problem);
    }
}

bool WorkReader::finishLinking()
{
    if (m_linking.joinable())
        m_linking.join();
    if (m_linked)
        return true;
    m_linked = true; // told once
    return m_in.setProblem(m_linkProblem);
}

bool WorkReader::readRows(JsonValueReader::value& value, Estimate::Table& table, QVector<LoadedRow>& loaded,
                          const JsonPlace& place)
{
    return m_in.elements(value, place.at("rows"), [&](JsonValueReader::value& row, int rowPos) {
        JsonPlace rowPlace = place;
        rowPlace.row = rowPos;
        loaded.append(LoadedRow());
        loaded.last().row = new TreeBaseItem;
        loaded.last().row->setOwner(table.table.get());
        table.rows.append(loaded.last().row); // owned by the table from here, also when reading fails
        return readRow(row, rowPlace, loaded.last()) && reportProgress();
    });
}

bool WorkReader::readRow(JsonValueReader::value& value, const JsonPlace& place, LoadedRow& loaded)
{
    int nextField = 0;
    const bool read = m_in.fields(value, place, [&](std::string_view key, JsonValueReader::value& field) {
        return readRowField(m_in, key, field, place, loaded, &nextField);
    });
    return read && m_in.missing(place.at("id"), loaded.hasId) && m_in.missing(place.at("type"), loaded.hasType);
}

// Also hands the text read so far back to the system, when there is text to hand back.
bool WorkReader::reportProgress()
{
    if ((!m_progress && !m_readStart) || ++m_rowsSinceReport < progressStride)
        return true;
    m_rowsSinceReport = 0;
    const char* location = m_in.currentLocation();
    if (location && m_readStart)
        forgetReadText(m_file, location, m_readStart);
    if (!m_progress)
        return true;
    if (location) {
        m_progress->done += qint64(location - m_lastReported);
        m_lastReported = location;
    }
    if (!m_progress->cancelled)
        return true;
    return m_in.setProblem(EstimateJson::cancelledMessage());
}
