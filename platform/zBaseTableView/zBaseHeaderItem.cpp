#include "zBaseHeaderItem.h"

zBaseHeaderItem::zBaseHeaderItem(const QString& identify, const QString& title)
    : m_identify(identify)
    , m_title(title)
{
}
