#pragma once

#include "itemviews_platform_export.h"

/*!
 * Base of the data layer's containers: anything that has a table type.
 */
class ITEMVIEWS_PLATFORM_EXPORT LxObject
{
public:
    virtual ~LxObject() = default;

    virtual int getTableType() const { return m_tableType; }
    void setTableType(int tableType) { m_tableType = tableType; }

private:
    int m_tableType = 0;
};
