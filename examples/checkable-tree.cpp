// A tree of estimate rows with tri-state check boxes (checking an item updates its
// section), section titles spanning the description and unit columns, and the code
// column frozen while the others scroll. Node buttons expand and collapse.
#include "RunExample.h"

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zTableHeader.h>
#include <zTreeItemModel.h>
#include <zTreeItemView.h>

#include <QHeaderView>

#include <memory>
#include <vector>

namespace {
const QStringList columnIds = {"code", "name", "unit", "quantity"}; // a row keeps column i under field i
constexpr int treeColumn = 1;

// The host owns its rows; the models only point at them.
std::vector<std::unique_ptr<TreeBaseItem>> ownedRows;

TreeBaseItem* addRow(TreeBaseItem* parent, const QVariantList& cells)
{
    ownedRows.push_back(std::make_unique<TreeBaseItem>());
    TreeBaseItem* row = ownedRows.back().get();
    for (int field = 0; field < cells.size(); ++field)
        row->setValue(field, cells.at(field));
    if (parent) {
        QList<BaseDataItem*> children = parent->getBaseDataItemlist();
        children.append(row);
        parent->setBaseDataItemListDirect(children);
        row->setParentAlone(parent);
    }
    return row;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<BaseDataItem*> rows; // the top-level rows; binding flattens the whole tree into it
    const QStringList sections = {"Substructure", "Frame", "Roof"};
    for (int s = 0; s < sections.size(); ++s) {
        TreeBaseItem* section = addRow(nullptr, {QString::number(s + 1), sections.at(s)});
        rows.append(section);
        for (int item = 1; item <= 3; ++item)
            addRow(section, {QString("%1.%2").arg(s + 1).arg(item), QString("Item %1").arg(item), "m3", 10.0 * item});
    }

    zBaseHeaderColumn columns;
    for (const QString& id : columnIds)
        columns.addColumn(new zBaseHeaderItem(id, id));
    zTreeItemModel model;
    model.setHeaderColumn(&columns);
    model.BindSrcData(&rows, true);
    model.dataStarting([&model](int role, const QModelIndex& index, const zBaseHeaderItem* column, QVariant& value) {
        if (role != Qt::DisplayRole || !column)
            return false; // not answered: the model goes on
        value = model.findItemByIndex(index)->getValue(columnIds.indexOf(column->headerIdentify()));
        return true;
    });

    zTreeItemView view;
    view.setModel(&model);
    ZTVModeOption option;
    option.displayStyle = 1; // solid tree lines
    option.checkMode = 1; // a check box on every row, linked to parents and children
    view.setTreeModeDisplay(treeColumn, option);
    view.primaryHeader()->setFrozenColumnCount(1);
    view.horizontalHeader()->resizeSection(treeColumn, 180);
    QList<QRect> spans; // in original rows and declared columns: they follow expand and collapse
    for (int originalRow = 0; originalRow < rows.size(); ++originalRow) {
        if (rows.at(originalRow)->getChildrenCount() > 0)
            spans.append(QRect(treeColumn, originalRow, 2, 1));
    }
    view.setViewSpans(spans);
    QObject::connect(&view, &zTreeItemView::doTreeNodeClicked, &model, [&model](const QModelIndex& index) {
        const bool expanded = index.data(zTreeItemModel::TreeExpandedRole).toBool();
        model.setData(index, !expanded, zTreeItemModel::TreeExpandedRole);
    });

    model.setData(model.index(1, treeColumn), Qt::Checked, Qt::CheckStateRole); // "Substructure" turns partial
    model.setData(model.index(4, treeColumn), false, zTreeItemModel::TreeExpandedRole); // "Frame" collapses
    view.resize(640, 360);
    return runExample(app, view);
}
