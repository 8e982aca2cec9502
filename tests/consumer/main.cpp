// A host that binds a two-row tree to the tree model through the installed package.
#include <QGuiApplication>
#include <TreeBaseItem.h>
#include <zTreeItemModel.h>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TreeBaseItem parent;
    TreeBaseItem child;
    parent.setBaseDataItemListDirect({&child});
    child.setParentAlone(&parent);
    QList<BaseDataItem*> rows{&parent};
    zTreeItemModel model;
    model.BindSrcData(&rows, true);
    return rows.size() == 2 && model.findOriginalIndexByItem(&child) == 1 ? 0 : 1;
}
