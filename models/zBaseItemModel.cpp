#include "zBaseItemModel.h"

#include "ScreenScale_p.h"

#include <BaseDataItem.h>

namespace {

// Runs a copy, so a hook that replaces itself is not destroyed while it runs.
template <typename Hook, typename... Args>
bool runHook(const Hook& stored, Args&... args)
{
    const Hook hook = stored;
    return hook(args...);
}

} // namespace

zBaseItemModel::zBaseItemModel(QObject* parent)
    : zBaseTableModel(parent)
{
}

zBaseItemModel::~zBaseItemModel() = default;

void zBaseItemModel::BindSrcData(QList<BaseDataItem*>* list)
{
    m_boundList = list;
}

void zBaseItemModel::dataStarting(DataHook hook) { m_dataStarting = std::move(hook); }
void zBaseItemModel::dataEnding(DataHook hook) { m_dataEnding = std::move(hook); }
void zBaseItemModel::editorStarting(DataHook hook) { m_editorStarting = std::move(hook); }
void zBaseItemModel::editorEnding(DataHook hook) { m_editorEnding = std::move(hook); }
void zBaseItemModel::callFlags(FlagsHook hook) { m_callFlags = std::move(hook); }

int zBaseItemModel::rowCount(const QModelIndex&) const
{
    return m_boundList ? m_boundList->size() : 0;
}

QVariant zBaseItemModel::data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const
{
    for (const DataHook* readHook : {&m_dataStarting, &m_dataEnding}) {
        QVariant answer;
        if (*readHook && runHook(*readHook, role, index, header, answer))
            return answer;
    }
    if (role != Qt::SizeHintRole)
        return zBaseTableModel::data(index, role, header);
    const BaseDataItem* row = rowAt(index);
    if (!row)
        return {};
    const double height = row->getRowHeight() * screenScale();
    return height > 0 ? height : -1.0;
}

bool zBaseItemModel::setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header)
{
    QVariant hookValue = value;
    for (const DataHook* writeHook : {&m_editorStarting, &m_editorEnding}) {
        if (*writeHook && !runHook(*writeHook, role, index, header, hookValue))
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
    if (m_callFlags && !runHook(m_callFlags, index, header, hookFlags))
        return hookFlags;
    return zBaseTableModel::flags(index, header);
}

BaseDataItem* zBaseItemModel::rowAt(const QModelIndex& index) const
{
    return m_boundList ? m_boundList->value(index.row(), nullptr) : nullptr;
}
