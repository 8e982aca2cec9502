#include "StyleDrawLineDelegate_1.h"

#include "zBaseModel.h"

#include <QAbstractItemView>

namespace {

int treeColumnOf(QAbstractItemView* view)
{
    const auto* model = view ? qobject_cast<const zBaseModel*>(view->model()) : nullptr;
    return model ? model->getTreeColumn() : 0;
}

} // namespace

StyleDrawLineDelegate_1::StyleDrawLineDelegate_1(QAbstractItemView* view, const ZTVModeOption& option)
    : DrawTreeDelegate(view, treeColumnOf(view), option)
{
}
