#include "zBaseWidgetDelegate.h"

zBaseWidgetDelegate::zBaseWidgetDelegate(QObject* parent)
    : zBaseDelegate(parent)
{
}
