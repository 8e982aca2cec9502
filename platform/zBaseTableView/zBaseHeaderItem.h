#pragma once

#include "itemviews_platform_export.h"

#include <QString>

/*!
 * Describes one column of a z model: an identifier the host keys cells by, and
 * the title shown in the header.
 *
 *     auto* code = new zBaseHeaderItem("code", QObject::tr("Code"));
 *     columns.addColumn(code);
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseHeaderItem
{
public:
    explicit zBaseHeaderItem(const QString& identify, const QString& title = {});
    virtual ~zBaseHeaderItem() = default;

    const QString& headerIdentify() const { return m_identify; }
    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }

private:
    QString m_identify;
    QString m_title;
};
