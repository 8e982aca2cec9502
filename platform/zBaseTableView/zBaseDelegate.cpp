#include "zBaseDelegate.h"

zBaseDelegate::zBaseDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}
