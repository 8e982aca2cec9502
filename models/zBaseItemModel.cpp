#include "zBaseItemModel.h"

#include "CellHooks_p.h"
#include "ScreenScale_p.h"

#include <BaseDataItem.h>

zBaseItemModel::zBaseItemModel(QObject* parent)
    : zBaseTableModel(parent)
    , m_hooks(std::make_unique<CellHooks>())
{
}

zBaseItemModel::~zBaseItemModel() = default;

void zBaseItemModel::BindSrcData(QList<BaseDataItem*>* list)
{
    m_boundList = list;
}

// Both z models store and run their hooks alike (CellHooks) but each in its own sequence; the
// differences are contract, not drift:
//                      zBaseItemModel                      zTreeItemModel
//   reads              hooks before anything               tree roles of the tree column first
//   height write       after the editor hooks (a refusal   before the editor hooks (stored even
//                      stores nothing)                     when they refuse)
//   callFlags preset   selectable|editable (3)             none (0)
//   callFlags result   false: the hook's flags answer      true: the hook's flags answer
void zBaseItemModel::dataStarting(DataHook hook) { m_hooks->dataStarting = std::move(hook); }
void zBaseItemModel::dataEnding(DataHook hook) { m_hooks->dataEnding = std::move(hook); }
void zBaseItemModel::editorStarting(DataHook hook) { m_hooks->editorStarting = std::move(hook); }
void zBaseItemModel::editorEnding(DataHook hook) { m_hooks->editorEnding = std::move(hook); }
void zBaseItemModel::callFlags(FlagsHook hook) { m_hooks->callFlags = std::move(hook); }

int zBaseItemModel::rowCount(const QModelIndex&) const
{
    return m_boundList ? m_boundList->size() : 0;
}

QVariant zBaseItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    for (const DataHook* readHook : {&m_hooks->dataStarting, &m_hooks->dataEnding}) {
        QVariant answer;
        if (CellHooks::run(*readHook, false, role, index, header, answer))
            return answer;
    }
    if (role != Qt::SizeHintRole)
        return zBaseTableModel::data(index, role, header);
    const BaseDataItem* row = rowAt(index);
    if (!row)
        return {};
    const double height = row->getRowHeight() * screenScale();
    // No height reads as a plain -1, where zTreeItemModel scales its -1 too: each its own rule.
    return height > 0 ? height : -1.0;
}

bool zBaseItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    QVariant hookValue = value;
    for (const DataHook* writeHook : {&m_hooks->editorStarting, &m_hooks->editorEnding}) {
        if (!CellHooks::run(*writeHook, true, role, index, header, hookValue))
            return false;
    }
    if (role == Qt::SizeHintRole) {
        BaseDataItem* row = rowAt(index);
        if (!row)
            return false;
        row->setRowHeight(value.toDouble() / screenScale());
    }
    return zBaseTableModel::setData(index, value, role, header);
}

QFlags<Qt::ItemFlag> zBaseItemModel::flags(const QModelIndex& index, const zBaseHeaderItem* header) const
{
    QFlags<Qt::ItemFlag> hookFlags = Qt::ItemIsSelectable | Qt::ItemIsEditable;
    if (!CellHooks::run(m_hooks->callFlags, true, index, header, hookFlags))
        return hookFlags;
    return zBaseTableModel::flags(index, header);
}

BaseDataItem* zBaseItemModel::rowAt(const QModelIndex& index) const
{
    return m_boundList ? m_boundList->value(index.row(), nullptr) : nullptr;
}
