#pragma once

#include "itemviews_platform_export.h"

#include <QList>
#include <QObject>

namespace Qtitan {

class HeaderItem;

/*!
 * The ordered columns of a grid model; it owns its header items. The model
 * that holds it turns an append into a column insertion for attached views.
 *
 *     model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(3, "Quantity"));
 */
class ITEMVIEWS_PLATFORM_EXPORT TableHeaderColumn : public QObject
{
    Q_OBJECT
public:
    explicit TableHeaderColumn(QObject* parent = nullptr);
    ~TableHeaderColumn() override;

    int columnCount() const { return m_items.size(); }
    /// The header items in column order.
    QList<HeaderItem*> getHeaderData() const { return m_items; }
    /// Appends a column and takes ownership of its item (a null item is ignored).
    void addHeaderItem(HeaderItem* item);

Q_SIGNALS:
    void headerItemAboutToBeAdded(int column);
    void headerItemAdded(int column);

private:
    QList<HeaderItem*> m_items; // owned
};

} // namespace Qtitan
