#include "Estimate.h"

#include <QHash>

namespace {
qint64 rowId(BaseDataItem* row)
{
    return row->getValue(EstimateField::Id).toLongLong();
}

// Fills the index of rows by id on first use.
const QHash<qint64, BaseDataItem*>& byId(const QList<BaseDataItem*>& rows, QHash<qint64, BaseDataItem*>& index)
{
    if (index.isEmpty()) {
        index.reserve(rows.size());
        for (BaseDataItem* row : rows)
            index.insert(rowId(row), row);
    }
    return index;
}
}

Estimate::Estimate()
    : project(std::make_unique<ProjectWorks>())
    , topWork(std::make_unique<ConstructionWorks>())
    , audit(std::make_unique<AuditBusiness>())
{
    topWork->setOwner(project.get());
}

Estimate::~Estimate()
{
    for (const auto& work : works) {
        for (const auto& table : work->tables)
            qDeleteAll(table->rows);
    }
}

Estimate::Work& Estimate::addWork(const QString& name, int nodeId, int auditId)
{
    auto work = std::make_unique<Work>();
    work->name = name;
    work->work = std::make_unique<WorkBaseObject>();
    work->work->setOwner(project.get());
    work->work->setNodeId(nodeId);
    work->work->setAuditId(auditId);
    work->work->SetXmWorks(topWork.get());
    works.push_back(std::move(work));
    return *works.back();
}

Estimate::Table& Estimate::addTable(Work& work, const QString& name, int tableType)
{
    auto table = std::make_unique<Table>();
    table->name = name;
    table->table = std::make_unique<TableBaseObject>();
    table->table->setTableType(tableType);
    table->table->setOwner(work.work.get());
    work.tables.push_back(std::move(table));
    return *work.tables.back();
}

QList<BaseDataItem*> Estimate::rootRows(const Table& table)
{
    QList<BaseDataItem*> roots;
    for (BaseDataItem* row : table.rows) {
        if (!row->getParent())
            roots.append(row);
    }
    return roots;
}

QList<BaseDataItem*> Estimate::preOrder(const Table& table)
{
    QList<BaseDataItem*> ordered;
    for (BaseDataItem* root : rootRows(table)) {
        ordered.append(root);
        ordered.append(root->getAllBaseDataItemlist(true));
    }
    return ordered;
}

void Estimate::relateReviewed()
{
    const Work* submitted = workByNodeId(submittedNodeId);
    const Work* reviewed = workByNodeId(reviewedNodeId);
    if (!submitted || !reviewed)
        return;
    for (size_t tablePos = 0; tablePos < submitted->tables.size() && tablePos < reviewed->tables.size(); ++tablePos) {
        const QList<BaseDataItem*>& submittedRows = submitted->tables[tablePos]->rows;
        const QList<BaseDataItem*>& reviewedRows = reviewed->tables[tablePos]->rows;
        QHash<qint64, BaseDataItem*> submittedById; // built only if the two tables' rows do not line up
        for (int rowPos = 0; rowPos < reviewedRows.size(); ++rowPos) {
            const qint64 id = rowId(reviewedRows.at(rowPos));
            BaseDataItem* counterpart = rowPos < submittedRows.size() && rowId(submittedRows.at(rowPos)) == id
                ? submittedRows.at(rowPos)
                : byId(submittedRows, submittedById).value(id);
            if (counterpart) {
                audit->SetRelationItem(counterpart, reviewedRows.at(rowPos));
                markDifferences(counterpart, reviewedRows.at(rowPos));
            }
        }
    }
}

void Estimate::markDifferences(BaseDataItem* submitted, BaseDataItem* reviewed)
{
    const AuditBusiness::State changed{1, QColor(255, 140, 0)};
    for (int field : {int(EstimateField::Quantity), int(EstimateField::Total)}) {
        if (submitted->getValue(field) != reviewed->getValue(field)) {
            audit->SetDifference(submitted, field, changed);
            audit->SetDifference(reviewed, field, changed);
        }
    }
}

int Estimate::rowCount() const
{
    int rows = 0;
    for (const auto& work : works) {
        for (const auto& table : work->tables)
            rows += table->rows.size();
    }
    return rows;
}

Estimate::Work* Estimate::workByNodeId(int nodeId) const
{
    for (const auto& work : works) {
        if (work->work->getNodeId() == nodeId)
            return work.get();
    }
    return nullptr;
}
