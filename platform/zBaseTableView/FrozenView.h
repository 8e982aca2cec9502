#pragma once

#include "itemviews_platform_export.h"

#include <QTableView>

/*!
 * A strip of a table view that stays in place while the rest scrolls: a real
 * QTableView over the same model and selection, laid over the main view's
 * leading columns (Qt::Vertical strip, scrolls vertically with the main view)
 * or leading rows (Qt::Horizontal strip, scrolls horizontally with it). It never
 * scrolls along the frozen direction, whatever cell is current.
 * zTableHeader creates and places them; the main view is the parent.
 */
class ITEMVIEWS_PLATFORM_EXPORT FrozenView : public QTableView
{
    Q_OBJECT
public:
    FrozenView(QTableView* mainView, Qt::Orientation orientation);

    /// Number of leading columns (vertical strip) or rows (horizontal strip) shown; 0 hides the strip.
    void setFrozenCount(int count);
    int frozenCount() const { return m_frozenCount; }
    /// Takes over the main view's model, selection, section sizes and places itself over it.
    void followMainView();

protected:
    void updateGeometries() override;
    /// Qt's paint with the grid filled as rectangles, as the main view's.
    void paintEvent(QPaintEvent* event) override;

private:
    void followSectionSizes();
    void placeOverMainView();
    QRect stripGeometry() const;

    QTableView* m_mainView; // not owned: the parent
    Qt::Orientation m_orientation;
    int m_frozenCount = 0;
};
