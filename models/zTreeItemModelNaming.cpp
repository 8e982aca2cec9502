#include "zTreeItemModel.h"

#include "zTreeItemModel_p.h"

#include <BaseDataItem.h>
#include <TreeBaseItem.h>

#include <QStringList>

namespace {

int childPosition(BaseDataItem* owner, BaseDataItem* child)
{
    for (int position = 0; position < owner->getChildrenCount(); ++position) {
        if (owner->getChildrenAt(position) == child)
            return position;
    }
    return -1;
}

} // namespace

QString zTreeItemModel::unameItem(TreeBaseItem* row)
{
    if (!row)
        return {};
    Q_D(zTreeItemModel);
    const zTreeItemModelPrivate::OwnerIndex& owners = d->ownerIndex();
    QStringList parts;
    BaseDataItem* current = row;
    for (;;) {
        const int childPos = owners.childPositions.firstPosition(current);
        BaseDataItem* owner = childPos < 0 ? nullptr : d->m_originalRows.at(owners.ownerOfChild.at(childPos));
        if (!dynamic_cast<TreeBaseItem*>(owner))
            break;
        const int positionInOwner = childPosition(owner, current);
        if (positionInOwner >= 0)
            parts.prepend(QString::number(positionInOwner));
        current = owner;
    }
    parts.prepend(QString::number(owners.rootPositions.firstPosition(current)));
    return parts.join(QLatin1Char('-'));
}

const zTreeItemModelPrivate::OwnerIndex& zTreeItemModelPrivate::ownerIndex()
{
    // The host may relink children between binds: the owners are those of the child lists as they are now.
    if (m_ownerIndex && m_ownerIndex->treeShape == TreeBaseItem::shapeGeneration())
        return *m_ownerIndex;
    m_ownerIndex = std::make_unique<OwnerIndex>();
    m_ownerIndex->treeShape = TreeBaseItem::shapeGeneration();
    QList<BaseDataItem*> allChildren;
    for (int originalRow = 0; originalRow < m_originalRows.size(); ++originalRow) {
        BaseDataItem* owner = m_originalRows.at(originalRow);
        if (!owner)
            continue;
        for (BaseDataItem* child : owner->getBaseDataItemlist()) {
            allChildren.append(child);
            m_ownerIndex->ownerOfChild.append(originalRow);
        }
    }
    m_ownerIndex->childPositions.build(allChildren);
    m_ownerIndex->rootPositions.build(m_rootRows);
    return *m_ownerIndex;
}
