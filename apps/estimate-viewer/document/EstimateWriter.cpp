#include "EstimateWriter.h"

#include "EstimateJson.h"
#include "RowFields.h"

#include <QIODevice>

bool EstimateWriter::write(const Estimate& estimate)
{
    m_out.open("{");
    m_out.key("format");
    m_out.string(QLatin1String(estimateFormatName));
    m_out.key("project");
    m_out.string(estimate.projectName);
    if (estimate.submittedNodeId >= 0 || estimate.reviewedNodeId >= 0) {
        m_out.key("audit");
        m_out.open("{");
        m_out.key("submitted");
        m_out.integer(estimate.submittedNodeId);
        m_out.key("reviewed");
        m_out.integer(estimate.reviewedNodeId);
        m_out.close("}");
    }
    m_out.key("works");
    m_out.open("[");
    JsonPlace place;
    for (place.work = 0; place.work < int(estimate.works.size()); ++place.work) {
        m_out.separate(place.work == 0 ? "\n" : ",\n");
        if (!writeWork(*estimate.works.at(size_t(place.work)), place))
            return false;
    }
    m_out.close("]");
    m_out.close("}\n");
    if (!m_out.finish())
        m_problem = QStringLiteral("could not write the whole file: %1").arg(m_device->errorString());
    return m_problem.isEmpty();
}

bool EstimateWriter::writeWork(const Estimate::Work& work, JsonPlace place)
{
    m_out.open("{");
    m_out.key("name");
    m_out.string(work.name);
    m_out.key("nodeId");
    m_out.integer(work.work->getNodeId());
    m_out.key("auditId");
    m_out.integer(work.work->getAuditId());
    m_out.key("tables");
    m_out.open("[");
    for (place.table = 0; place.table < int(work.tables.size()); ++place.table) {
        m_out.separate(place.table == 0 ? "" : ",");
        if (!writeTable(*work.tables.at(size_t(place.table)), place))
            return false;
    }
    m_out.close("]");
    m_out.close("}");
    return true;
}

bool EstimateWriter::writeTable(const Estimate::Table& table, JsonPlace place)
{
    m_path.clear();
    m_out.open("{");
    m_out.key("name");
    m_out.string(table.name);
    m_out.key("tableType");
    m_out.integer(table.table->getTableType());
    m_out.key("rows");
    m_out.open("[");
    for (place.row = 0; place.row < table.rows.size(); ++place.row) {
        m_out.separate(place.row == 0 ? "\n" : ",\n");
        BaseDataItem* row = table.rows.at(place.row);
        const int depth = depthOf(row);
        if (depth >= EstimateJson::maxLevels) { // the file could not be read back
            m_problem = place.at("parent").text()
                + QStringLiteral(": the row is more than %1 levels deep; a file holds at most %1").arg(EstimateJson::maxLevels);
            return false;
        }
        if (!writeRow(m_out, row, depth, place, &m_problem))
            return false;
    }
    m_out.close("]");
    m_out.close("}");
    return true;
}

// Rows come in pre-order, where the path above the last row answers at once; any other order walks up,
// stopping past the limit.
int EstimateWriter::depthOf(BaseDataItem* row)
{
    BaseDataItem* parent = row->getParent();
    while (!m_path.isEmpty() && m_path.last() != parent)
        m_path.removeLast();
    if (parent && m_path.isEmpty()) {
        int depth = 1;
        for (parent = parent->getParent(); parent && depth <= EstimateJson::maxLevels; parent = parent->getParent())
            ++depth;
        return depth;
    }
    m_path.append(row);
    return m_path.size() - 1;
}
