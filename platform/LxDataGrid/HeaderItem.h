#pragma once

#include "itemviews_platform_export.h"

#include <QString>

namespace Qtitan {

/*!
 * Describes one grid column: the field number rows store its value under, the
 * title shown in the header, and two attributes the audit service keys on.
 *
 *     columns->addHeaderItem(new Qtitan::HeaderItem(3, QObject::tr("Quantity")));
 */
class ITEMVIEWS_PLATFORM_EXPORT HeaderItem
{
public:
    explicit HeaderItem(int fieldNumber, const QString& name = {}, int auditAttribute1 = 0, int auditAttribute2 = 0);
    virtual ~HeaderItem() = default;

    int fieldNumber() const { return m_fieldNumber; }
    const QString& name() const { return m_name; }
    int auditAttribute1() const { return m_auditAttribute1; }
    int auditAttribute2() const { return m_auditAttribute2; }

private:
    int m_fieldNumber;
    QString m_name;
    int m_auditAttribute1;
    int m_auditAttribute2;
};

} // namespace Qtitan
