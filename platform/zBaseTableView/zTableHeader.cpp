#include "zTableHeader.h"

#include "FrozenView.h"

zTableHeader::zTableHeader(Qt::Orientation orientation, QTableView* view)
    : QHeaderView(orientation, view)
    , m_view(view)
{
    setSectionsClickable(true);
}

QList<int> zTableHeader::frozenVSections() const
{
    QList<int> sections;
    for (int virtualColumn = 0; m_vfrozenView && virtualColumn < m_vfrozenView->frozenCount(); ++virtualColumn)
        sections.append(virtualColumn);
    return sections;
}

void zTableHeader::setFrozenColumnCount(int count)
{
    if (!m_vfrozenView)
        m_vfrozenView = new FrozenView(m_view, Qt::Vertical);
    m_vfrozenView->setFrozenCount(count);
}

void zTableHeader::setFrozenRowCount(int count)
{
    if (!hfrozenView)
        hfrozenView = new FrozenView(m_view, Qt::Horizontal);
    hfrozenView->setFrozenCount(count);
}

void zTableHeader::followView()
{
    for (FrozenView* strip : {m_vfrozenView, hfrozenView}) {
        if (strip)
            strip->followMainView();
    }
}
