// The submitted and the reviewed estimate in two grids that follow one audit service:
// folding a section on either side folds its counterpart on the other, because every
// grid model that follows the service hears the fold of every other.
#include "RunExample.h"

#include <AuditBusiness.h>
#include <BaseDataItemModel.h>
#include <GridView.h>
#include <HeaderItem.h>
#include <TableBaseObject.h>
#include <TableHeaderColumn.h>
#include <TreeBaseItem.h>
#include <WorkBaseObject.h>

#include <QHBoxLayout>

#include <memory>
#include <vector>

namespace {
enum Field { Code = 1, Name = 2, Total = 3 };

// One side of the audit: a work with one table whose rows are listed in tree pre-order.
struct Estimate
{
    WorkBaseObject work;
    TableBaseObject table;
    std::vector<std::unique_ptr<TreeBaseItem>> ownedRows; // the host owns the rows
    QList<BaseDataItem*> rows;

    explicit Estimate(double priceFactor)
    {
        table.setOwner(&work); // folds of rows with a table and a work reach the audit service
        for (int section = 1; section <= 3; ++section) {
            TreeBaseItem* parent = addRow(nullptr, QString::number(section), QString("Section %1").arg(section), 0);
            for (int item = 1; item <= 3; ++item)
                addRow(parent, QString("%1.%2").arg(section).arg(item), QString("Item %1").arg(item), 100.0 * item * priceFactor);
        }
    }

    TreeBaseItem* addRow(TreeBaseItem* parent, const QString& code, const QString& name, double total)
    {
        ownedRows.push_back(std::make_unique<TreeBaseItem>());
        TreeBaseItem* row = ownedRows.back().get();
        row->setValue(Code, code);
        row->setValue(Name, name);
        row->setValue(Total, total);
        row->setOwner(&table);
        if (parent) {
            parent->setBaseDataItemListDirect(parent->getBaseDataItemlist() + QList<BaseDataItem*>{row});
            row->setParentAlone(parent);
            row->setLevel(1);
        }
        rows.append(row);
        return row;
    }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Estimate submitted(1.0);
    Estimate reviewed(0.9);
    AuditBusiness audit;
    for (int row = 0; row < submitted.rows.size(); ++row)
        audit.SetRelationItem(submitted.rows.at(row), reviewed.rows.at(row));

    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    BaseDataItemModel submittedModel;
    BaseDataItemModel reviewedModel;
    QList<Qtitan::GridView*> grids;
    for (auto side : {std::make_pair(&submittedModel, &submitted), std::make_pair(&reviewedModel, &reviewed)}) {
        BaseDataItemModel* model = side.first;
        model->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(Code, "Code"));
        model->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(Name, "Description"));
        model->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(Total, "Total"));
        model->BindSrcData(&side.second->rows);
        model->SetAudit(&audit);
        auto* grid = new Qtitan::GridView(&window);
        grid->setModel(model);
        grid->setTreeColumn(1);
        layout->addWidget(grid);
        grids.append(grid);
    }

    grids.first()->setRowFolded(4, true); // as a click on section 2's fold button: the reviewed side folds too
    window.resize(900, 360);
    return runExample(app, window);
}
