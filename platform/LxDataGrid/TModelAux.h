#pragma once

#include "itemviews_platform_export.h"

#include <QVariant>

namespace Qtitan {

class HeaderItem;

/// The cell a host's custom-data callback is asked about, and the value it may answer.
struct ITEMVIEWS_PLATFORM_EXPORT TModelAux
{
    int row = -1;
    int column = -1;
    int role = 0;
    const HeaderItem* header = nullptr; // not owned
    QVariant value;
};

} // namespace Qtitan
