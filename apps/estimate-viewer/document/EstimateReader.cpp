#include "EstimateReader.h"

#include "EstimateFile.h"
#include "RowFields.h"
#include "WorkPool.h"
#include "WorkReader.h"

using namespace simdjson;

EstimateReader::EstimateReader(const char* text, size_t length, size_t capacity, LoadProgress* progress, int threads)
    : m_text(text), m_length(length), m_capacity(capacity), m_progress(progress), m_threads(threads),
      m_in(text, length, text, length, &m_readStart)
{
}

std::unique_ptr<Estimate> EstimateReader::read(QString* problem)
{
    auto estimate = std::make_unique<Estimate>();
    std::vector<std::string_view> workTexts;
    if (!readDocument(*estimate, &workTexts)) {
        *problem = m_in.problem();
        return nullptr;
    }
    if (!readWorks(*estimate, workTexts)) {
        *problem = m_problem;
        return nullptr;
    }
    estimate->relateReviewed();
    return estimate;
}

// The top level. One thread reads each work where it is met; for more, a work's text is only cut out here.
bool EstimateReader::readDocument(Estimate& estimate, std::vector<std::string_view>* workTexts)
{
    const error_code code = m_in.iterate(m_parser, m_capacity);
    if (code != SUCCESS)
        return m_in.syntaxError(code);
    ondemand::value root;
    const error_code rootCode = m_in.document().get_value().get(root);
    if (!m_in.check(rootCode == SCALAR_DOCUMENT_AS_VALUE ? INCORRECT_TYPE : rootCode, JsonPlace(), "expected an object"))
        return false;
    const QString wrongFormat = QStringLiteral("expected \"%1\"").arg(QLatin1String(estimateFormatName));
    bool formatSeen = false;
    bool worksSeen = false;
    WorkReader inTurn(m_in, m_text, &m_readStart, m_progress);
    const bool read = m_in.fields(root, JsonPlace(), [&](std::string_view key, ondemand::value& value) {
        if (key == "format") {
            std::string_view format;
            formatSeen = value.get_string().get(format) == SUCCESS && format == estimateFormatName;
            return formatSeen || m_in.fail(JsonPlace{"format"}, wrongFormat);
        }
        if (key == "project")
            return m_in.text(value, JsonPlace().at("project"), &estimate.projectName);
        if (key == "audit")
            return readAudit(value, estimate);
        if (key != "works")
            return m_in.unusedValue(value);
        worksSeen = true;
        return m_in.elements(value, JsonPlace().at("works"), [&](ondemand::value& work, int workPos) {
            JsonPlace place;
            place.work = workPos;
            if (m_threads == 1)
                return inTurn.readWork(work, estimate, estimate.addWork(QString(), 0, 0), place);
            ondemand::object object;
            std::string_view workText;
            if (!m_in.check(work.get_object().get(object), place, "expected an object")
                || !m_in.check(object.raw_json().get(workText), place, "expected an object"))
                return false;
            workTexts->push_back(workText);
            return true;
        });
    });
    if (!inTurn.finishLinking() || !read)
        return false;
    if (!formatSeen)
        return m_in.fail(JsonPlace{"format"}, wrongFormat);
    if (m_in.currentLocation())
        return m_in.syntaxError(TRAILING_CONTENT);
    return m_in.missing(JsonPlace().at("works"), worksSeen);
}

bool EstimateReader::readAudit(ondemand::value& value, Estimate& estimate)
{
    const JsonPlace place{"audit"};
    return m_in.fields(value, JsonPlace().at("audit"), [&](std::string_view key, ondemand::value& nodeId) {
        if (key == "submitted")
            return m_in.intNumber(nodeId, place.at("submitted"), &estimate.submittedNodeId);
        if (key == "reviewed")
            return m_in.intNumber(nodeId, place.at("reviewed"), &estimate.reviewedNodeId);
        return m_in.unusedValue(nodeId);
    });
}

// Works are independent: up to m_threads of them are read at once, each from a text of its own. One
// thread reads each work where the whole file's index meets it: a second index would cost a second pass.
bool EstimateReader::readWorks(Estimate& estimate, const std::vector<std::string_view>& workTexts)
{
    m_parser = ondemand::parser(); // the whole file's index is no longer needed
    m_in.forgetDocument();
    if (m_threads == 1)
        return true; // read already
    std::vector<std::unique_ptr<WorkReader>> readers;
    std::vector<Estimate::Work*> works;
    for (std::string_view text : workTexts) {
        works.push_back(&estimate.addWork(QString(), 0, 0));
        const size_t capacity = m_capacity - size_t(text.data() - m_text); // the rest of the file pads each work
        readers.push_back(std::make_unique<WorkReader>(m_text, m_length, text, capacity, &m_readStart, m_progress));
    }
    std::vector<char> succeeded(workTexts.size(), 0);
    runInThreads(workTexts.size(), m_threads, [&](size_t workPos) {
        succeeded[workPos] = readers[workPos]->read(estimate, *works[workPos], int(workPos));
    });
    for (size_t workPos = 0; workPos < workTexts.size(); ++workPos) {
        if (!succeeded[workPos]) {
            m_problem = readers[workPos]->problem();
            return false;
        }
    }
    return true;
}
