#pragma once

#include "itemviews_platform_export.h"

#include <QHeaderView>

class FrozenView;
class QTableView;

/*!
 * A table view's header that can freeze the view's leading sections: the
 * leading columns in a strip that scrolls only vertically (vfrozenView) and the
 * leading rows in a strip that scrolls only horizontally (hfrozenView).
 *
 *     view.primaryHeader()->setFrozenColumnCount(2);   // columns 0 and 1 stay in place
 */
class ITEMVIEWS_PLATFORM_EXPORT zTableHeader : public QHeaderView
{
    Q_OBJECT
public:
    zTableHeader(Qt::Orientation orientation, QTableView* view);

    /// The strip of frozen columns, or null until columns are frozen.
    FrozenView* vfrozenView() const { return m_vfrozenView; }
    /// The frozen shown columns; a section's position in the list is its column in vfrozenView.
    QList<int> frozenVSections() const;
    /// Freezes the leading count shown columns (0 hides the strip).
    void setFrozenColumnCount(int count);
    /// Freezes the leading count rows (0 hides the strip).
    void setFrozenRowCount(int count);
    /// Makes the strips follow the view's model, section sizes and geometry.
    void followView();

protected:
    FrozenView* hfrozenView = nullptr; // strip of frozen rows, a child of the view; null until rows are frozen

private:
    friend class zTreeItemView; // hands its tree delegate to every strip

    QTableView* m_view; // not owned
    FrozenView* m_vfrozenView = nullptr; // a child of the view
};
