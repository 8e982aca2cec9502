#pragma once

#include "LxObject.h"

class WorkBaseObject;

/*!
 * A table of rows inside a work. Rows point at it with BaseDataItem::setOwner.
 *
 *     TableBaseObject table;
 *     table.setTableType(1001);
 *     table.setOwner(&work);
 */
class ITEMVIEWS_PLATFORM_EXPORT TableBaseObject : public LxObject
{
public:
    /// The owning work, or null.
    WorkBaseObject* getOwner() const { return m_owner; }
    void setOwner(WorkBaseObject* owner) { m_owner = owner; }

private:
    WorkBaseObject* m_owner = nullptr; // not owned
};
