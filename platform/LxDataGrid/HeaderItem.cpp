#include "HeaderItem.h"

namespace Qtitan {

HeaderItem::HeaderItem(int fieldNumber, const QString& name, int auditAttribute1, int auditAttribute2)
    : m_fieldNumber(fieldNumber)
    , m_name(name)
    , m_auditAttribute1(auditAttribute1)
    , m_auditAttribute2(auditAttribute2)
{
}

} // namespace Qtitan
