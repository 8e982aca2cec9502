#pragma once

// State of zBaseItemModel behind its one pointer; not installed, so it may change in a patch release.

#include "CellHooks_p.h"

#include <QList>

class BaseDataItem;
class TableBaseObject;
class WorkBaseObject;

class zBaseItemModelPrivate
{
public:
    /// The bound row behind an index's row, or null.
    BaseDataItem* rowAt(const QModelIndex& index) const;

    WorkBaseObject* m_work = nullptr; // not owned
    TableBaseObject* m_table = nullptr; // not owned
    QList<BaseDataItem*>* m_boundList = nullptr; // not owned
    CellHooks m_hooks;
};
