// A host that binds a two-row tree to the tree model through the installed package.
#include <ItemViewsVersion.h>
#include <QGuiApplication>
#include <TreeBaseItem.h>
#include <zTreeItemModel.h>

static_assert(ITEMVIEWS_VERSION == ITEMVIEWS_VERSION_CHECK(PACKAGE_MAJOR, PACKAGE_MINOR, PACKAGE_PATCH),
              "the installed version header names the version of the package found");
static_assert(QT_VERSION_MAJOR == PACKAGE_QT_MAJOR, "ItemViews6 brings Qt 6, ItemViews Qt 5");

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
