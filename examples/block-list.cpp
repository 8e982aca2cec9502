// A flat list of estimate lines with host hooks (cell values, a computed total that is
// read-only, a refused negative quantity, block-marked rows highlighted) and block
// selection: F4 marks all, F5 / F6 begin / end a block, F7 clears, Ctrl+click toggles a
// row and Shift+click extends the nearer block.
#include "RunExample.h"

#include <BaseDataItem.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>

#include <QKeyEvent>
#include <QTableView>

#include <memory>
#include <vector>

namespace {
const QStringList columnIds = {"name", "quantity", "unitPrice", "total"}; // a row keeps column i under field i
enum Field { Name = 0, Quantity = 1, UnitPrice = 2, Total = 3 };

QVariant cell(BaseDataItem* row, int field)
{
    if (field == Total)
        return row->getValue(Quantity).toDouble() * row->getValue(UnitPrice).toDouble();
    return row->getValue(field);
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::vector<std::unique_ptr<BaseDataItem>> ownedRows; // the host owns the rows
    QList<BaseDataItem*> rows;
    for (int line = 1; line <= 8; ++line) {
        ownedRows.push_back(std::make_unique<BaseDataItem>());
        ownedRows.back()->setValue(Name, QString("Line %1").arg(line));
        ownedRows.back()->setValue(Quantity, 2.5 * line);
        ownedRows.back()->setValue(UnitPrice, 40.0);
        rows.append(ownedRows.back().get());
    }

    zBaseHeaderColumn columns;
    for (const QString& id : columnIds)
        columns.addColumn(new zBaseHeaderItem(id, id));
    zBaseItemModel model;
    model.setHeaderColumn(&columns);
    model.BindSrcData(&rows);
    auto fieldOf = [](const zBaseHeaderItem* column) { return column ? columnIds.indexOf(column->headerIdentify()) : -1; };
    model.dataStarting([&](int role, const QModelIndex& index, const zBaseHeaderItem* column, QVariant& value) {
        BaseDataItem* row = rows.value(index.row());
        if (role == Qt::BackgroundRole && row->IsBlock())
            value = QColor(255, 236, 170);
        else if (role == Qt::DisplayRole || role == Qt::EditRole)
            value = cell(row, fieldOf(column));
        return value.isValid(); // not answered: the model goes on
    });
    model.editorStarting([&](int role, const QModelIndex& index, const zBaseHeaderItem* column, QVariant& value) {
        if (role != Qt::EditRole)
            return true;
        if (fieldOf(column) == Quantity && value.toDouble() < 0)
            return false; // refused: nothing is written
        rows.value(index.row())->setValue(fieldOf(column), value);
        return true;
    });
    model.callFlags([&](const QModelIndex&, const zBaseHeaderItem* column, QFlags<Qt::ItemFlag>& flags) {
        if (fieldOf(column) != Total)
            return true; // the model answers
        flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        return false; // the total is computed, never typed
    });

    QTableView view;
    view.setModel(&model);
    zBaseItemViewBlock::RegistUseBlock(&view); // the view owns the controller
    for (auto [viewRow, key] : {std::make_pair(2, Qt::Key_F5), std::make_pair(4, Qt::Key_F6)}) {
        view.setCurrentIndex(model.index(viewRow, 0)); // as the user would: F5 on line 3, F6 on line 5
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&view, &press);
    }
    view.resize(560, 320);
    return runExample(app, view);
}
