#pragma once

#include <AuditBusiness.h>
#include <ConstructionWorks.h>
#include <ProjectWorks.h>
#include <TableBaseObject.h>
#include <TreeBaseItem.h>

#include <QList>
#include <QString>

#include <memory>
#include <vector>

/// Field numbers under which a row keeps its cells.
namespace EstimateField {
enum : int { Id = 1, Code = 2, Name = 3, Unit = 4, Quantity = 5, UnitPrice = 6, Total = 7 };
}

/// Row types of an estimate; note and subtotal rows stay put when their section folds.
namespace EstimateRowType {
enum : int { Item = 1, SubItem = 2, Section = 5, SubSection = 6, Note = 7, Subtotal = 12 };
}

/*!
 * An estimate in memory: a project with works, each work with tables of tree rows.
 * Owns every object it holds; rows are owned through each table's row list, so a
 * tree model that deletes rows from that list (and only from it) keeps the two in step.
 *
 *     Estimate estimate;
 *     Estimate::Table& table = *estimate.works[0]->tables[0];
 *     model.BindSrcData(&table.rows, true);
 */
class Estimate
{
public:
    struct Table
    {
        QString name;
        std::unique_ptr<TableBaseObject> table;
        QList<BaseDataItem*> rows; // owned; every row of the tree, pre-order after a rebuild bind
    };
    struct Work
    {
        QString name;
        std::unique_ptr<WorkBaseObject> work;
        std::vector<std::unique_ptr<Table>> tables;
    };

    /// Levels a tree may have: the tree model expands and checks rows by recursion, one call per level.
    static constexpr int maxLevels = 1000;

    Estimate();
    ~Estimate();
    Estimate(const Estimate&) = delete;
    Estimate& operator=(const Estimate&) = delete;

    /// Adds an empty work owned by the project.
    Work& addWork(const QString& name, int nodeId, int auditId);
    /// Adds an empty table to a work.
    Table& addTable(Work& work, const QString& name, int tableType);
    /// Rows of a table whose parent is null, in list order.
    static QList<BaseDataItem*> rootRows(const Table& table);
    /// Rows of a table's tree in pre-order, whatever the order of its list.
    static QList<BaseDataItem*> preOrder(const Table& table);
    /// Relates every row of the reviewed work to the row with the same id in the same table of the submitted one.
    void relateReviewed();
    /// Marks or clears the differences of a row and its reviewed (or submitted) counterpart.
    void updateDifferences(BaseDataItem* row);
    int rowCount() const;
    /// The work with that node id, or null.
    Work* workByNodeId(int nodeId) const;
    /// Frees an estimate on a thread kept for that, so that letting go of millions of rows costs the
    /// caller's thread (the GUI thread) nothing; estimates are freed one after the other, in turn.
    /// When the process ends, what is not freed yet stays as it is: the system takes it back at once.
    /// The estimate must be shown nowhere any more; its audit service may still live on the caller's thread.
    static void dispose(std::unique_ptr<Estimate> estimate);

    QString projectName;
    std::unique_ptr<ProjectWorks> project;
    std::unique_ptr<ConstructionWorks> topWork;
    std::unique_ptr<AuditBusiness> audit;
    std::vector<std::unique_ptr<Work>> works;
    int submittedNodeId = -1; // the audit pair, -1 when the estimate has none
    int reviewedNodeId = -1;

    /// Deletes up to `count` rows of the tables, the last first; true once no row is left.
    bool deleteRows(int count);

private:
    void markDifferences(BaseDataItem* submitted, BaseDataItem* reviewed, bool noneMarked = false);

    bool m_differencesMarked = false; // false: no difference was ever marked, none needs clearing
};
