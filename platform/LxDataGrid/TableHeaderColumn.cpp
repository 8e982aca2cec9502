#include "TableHeaderColumn.h"

#include "HeaderItem.h"

namespace Qtitan {

TableHeaderColumn::TableHeaderColumn(QObject* parent)
    : QObject(parent)
{
}

TableHeaderColumn::~TableHeaderColumn()
{
    qDeleteAll(m_items);
}

void TableHeaderColumn::addHeaderItem(HeaderItem* item)
{
    if (!item)
        return;
    const int column = m_items.size();
    Q_EMIT headerItemAboutToBeAdded(column);
    m_items.append(item);
    Q_EMIT headerItemAdded(column);
}

} // namespace Qtitan
