#include "BaseDataItemModel.h"

#include "AuditBusiness.h"
#include "BaseDataItemModel_p.h"
#include "HeaderItem.h"

#include <QColor>
#include <QMap>
#include <QSet>

// Audit roles, and how a counterpart follows an audit fold. The message itself is taken apart in
// applyFoldSync (BaseDataItemModel.cpp), beside the connection that delivers it.

using GridModel::isFoldExemptType;
using GridModel::isSyncTableType;

// After an audit fold of a counterpart, its descendants follow their parents' visible and expanded flags.
void GridModel::applyFoldToDescendants(BaseDataItem* counterpart)
{
    TableBaseObject* table = counterpart->getOwner();
    const bool keepExemptRows = table && isSyncTableType(table->getTableType());
    auto follow = [keepExemptRows](BaseDataItem* parent, BaseDataItem* child) {
        if (!child)
            return;
        if (!parent->getVisible())
            child->setVisible(false);
        else
            child->setVisible((keepExemptRows && isFoldExemptType(child->getRowType())) || parent->getExpanded());
    };
    counterpart->getAllBaseDataItemlist(follow, true);
}

QVariant BaseDataItemModelPrivate::auditData(BaseDataItem* item, int role, const Qtitan::HeaderItem* header) const
{
    switch (role) {
    case BaseDataItemModel::AuditIsSSRole:
        return m_audit ? m_audit->IsSS(item->getOwner()) : false;
    case BaseDataItemModel::AuditOpenRole:
        return m_audit ? m_audit->IsAuditOpen(item->getOwner()) : false;
    case BaseDataItemModel::AuditSSFocusedRowsRole:
        if (!m_audit || !m_audit->IsSS(item))
            return QVariant();
        return QVariant::fromValue(m_audit->GetSSFocusedRows());
    default:
        return differenceData(item, header);
    }
}

QVariant BaseDataItemModelPrivate::differenceData(BaseDataItem* item, const Qtitan::HeaderItem* header) const
{
    if (!m_audit)
        return QStringLiteral("");
    if (!header)
        return QVariant();
    const AuditBusiness::AuditHeaderItem column{header->fieldNumber(), header->auditAttribute1(), header->auditAttribute2()};
    const AuditBusiness::State state = m_audit->GetDifference(item, &column);
    if (state.kind == 0)
        return QStringLiteral("");
    QMap<int, QColor> mark;
    mark.insert(int(state.kind), state.color); // the kind is signed
    return QVariant::fromValue(mark);
}
