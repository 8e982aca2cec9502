#include "zBaseItemModel.h"

#include "ScreenScale_p.h"
#include "zBaseItemModel_p.h"

#include <BaseDataItem.h>

BaseDataItem* zBaseItemModelPrivate::rowAt(const QModelIndex& index) const
{
    return m_boundList ? m_boundList->value(index.row(), nullptr) : nullptr;
}

zBaseItemModel::zBaseItemModel(QObject* parent)
    : zBaseTableModel(parent)
    , d(std::make_unique<zBaseItemModelPrivate>())
{
}

zBaseItemModel::~zBaseItemModel() = default;

void zBaseItemModel::BindSrcData(QList<BaseDataItem*>* list)
{
    Q_D(zBaseItemModel);
    d->m_boundList = list;
}

QList<BaseDataItem*>* zBaseItemModel::GetBindSrcData() const
{
    Q_D(const zBaseItemModel);
    return d->m_boundList;
}

void zBaseItemModel::SetTable(TableBaseObject* table)
{
    Q_D(zBaseItemModel);
    d->m_table = table;
}

TableBaseObject* zBaseItemModel::GetTable() const
{
    Q_D(const zBaseItemModel);
    return d->m_table;
}

void zBaseItemModel::SetWork(WorkBaseObject* work)
{
    Q_D(zBaseItemModel);
    d->m_work = work;
}

WorkBaseObject* zBaseItemModel::GetWrok()
{
    Q_D(zBaseItemModel);
    return d->m_work;
}

// Both z models store and run their hooks alike (CellHooks) but each in its own sequence; the
// differences are contract, not drift:
//                      zBaseItemModel                      zTreeItemModel
//   reads              hooks before anything               tree roles of the tree column first
//   height write       after the editor hooks (a refusal   before the editor hooks (stored even
//                      stores nothing)                     when they refuse)
//   callFlags preset   selectable|editable (3)             none (0)
//   callFlags result   false: the hook's flags answer      true: the hook's flags answer
void zBaseItemModel::dataStarting(DataHook hook) { d_func()->m_hooks.dataStarting = std::move(hook); }
void zBaseItemModel::dataEnding(DataHook hook) { d_func()->m_hooks.dataEnding = std::move(hook); }
void zBaseItemModel::editorStarting(DataHook hook) { d_func()->m_hooks.editorStarting = std::move(hook); }
void zBaseItemModel::editorEnding(DataHook hook) { d_func()->m_hooks.editorEnding = std::move(hook); }
void zBaseItemModel::callFlags(FlagsHook hook) { d_func()->m_hooks.callFlags = std::move(hook); }

int zBaseItemModel::rowCount(const QModelIndex&) const
{
    Q_D(const zBaseItemModel);
    return d->m_boundList ? d->m_boundList->size() : 0;
}

QVariant zBaseItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    Q_D(const zBaseItemModel);
    for (const DataHook* readHook : {&d->m_hooks.dataStarting, &d->m_hooks.dataEnding}) {
        QVariant answer;
        if (CellHooks::run(*readHook, false, role, index, header, answer))
            return answer;
    }
    if (role != Qt::SizeHintRole)
        return zBaseTableModel::data(index, role, header);
    const BaseDataItem* row = d->rowAt(index);
    if (!row)
        return {};
    const double height = row->getRowHeight() * screenScale();
    // No height reads as a plain -1, where zTreeItemModel scales its -1 too: each its own rule.
    return height > 0 ? height : -1.0;
}

bool zBaseItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    Q_D(zBaseItemModel);
    QVariant hookValue = value;
    for (const DataHook* writeHook : {&d->m_hooks.editorStarting, &d->m_hooks.editorEnding}) {
        if (!CellHooks::run(*writeHook, true, role, index, header, hookValue))
            return false;
    }
    if (role == Qt::SizeHintRole) {
        BaseDataItem* row = d->rowAt(index);
        if (!row)
            return false;
        row->setRowHeight(value.toDouble() / screenScale());
    }
    return zBaseTableModel::setData(index, value, role, header);
}

QFlags<Qt::ItemFlag> zBaseItemModel::flags(const QModelIndex& index, const zBaseHeaderItem* header) const
{
    Q_D(const zBaseItemModel);
    QFlags<Qt::ItemFlag> hookFlags = Qt::ItemIsSelectable | Qt::ItemIsEditable;
    if (!CellHooks::run(d->m_hooks.callFlags, true, index, header, hookFlags))
        return hookFlags;
    return zBaseTableModel::flags(index, header);
}
