#include "zBaseHeaderColumn.h"

#include "zBaseHeaderItem.h"

zBaseHeaderColumn::zBaseHeaderColumn(QObject* parent)
    : QObject(parent)
{
}

zBaseHeaderColumn::~zBaseHeaderColumn()
{
    qDeleteAll(m_items);
}

void zBaseHeaderColumn::addColumn(zBaseHeaderItem* item)
{
    m_displayOrder.append(m_items.size());
    m_items.append(item);
    m_hidden.append(false);
    rebuildMapping();
}

zBaseHeaderItem* zBaseHeaderColumn::itemByOriginalIndex(int originalColumn) const
{
    return m_items.value(originalColumn, nullptr);
}

int zBaseHeaderColumn::originalIndexOf(const QString& identify) const
{
    for (int originalColumn = 0; originalColumn < m_items.size(); ++originalColumn) {
        if (m_items.at(originalColumn) && m_items.at(originalColumn)->headerIdentify() == identify)
            return originalColumn;
    }
    return -1;
}

void zBaseHeaderColumn::setColumnHidden(int originalColumn, bool hidden)
{
    if (originalColumn < 0 || originalColumn >= m_hidden.size() || m_hidden.at(originalColumn) == hidden)
        return;
    m_hidden[originalColumn] = hidden;
    rebuildMapping();
}

void zBaseHeaderColumn::moveColumn(int fromDisplayPosition, int toDisplayPosition)
{
    const int count = m_displayOrder.size();
    if (fromDisplayPosition < 0 || fromDisplayPosition >= count || toDisplayPosition < 0
        || toDisplayPosition >= count || fromDisplayPosition == toDisplayPosition)
        return;
    m_displayOrder.move(fromDisplayPosition, toDisplayPosition);
    rebuildMapping();
}

int zBaseHeaderColumn::virtualIndexToOriginalIndex(int virtualColumn) const
{
    return m_virtualToOriginal.value(virtualColumn, -1);
}

int zBaseHeaderColumn::originalIndexToVirtualIndex(int originalColumn) const
{
    return m_originalToVirtual.value(originalColumn, -1);
}

bool zBaseHeaderColumn::isColumnVisibleByOriginalIndex(int originalColumn) const
{
    return originalIndexToVirtualIndex(originalColumn) >= 0;
}

void zBaseHeaderColumn::rebuildMapping()
{
    m_virtualToOriginal.clear();
    m_originalToVirtual.fill(-1, m_items.size());
    for (int originalColumn : qAsConst(m_displayOrder)) {
        if (m_hidden.at(originalColumn))
            continue;
        m_originalToVirtual[originalColumn] = m_virtualToOriginal.size();
        m_virtualToOriginal.append(originalColumn);
    }
    Q_EMIT columnsChanged();
}
