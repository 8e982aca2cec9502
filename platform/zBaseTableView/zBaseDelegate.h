#pragma once

#include "itemviews_platform_export.h"

#include <QStyledItemDelegate>

class QMenu;

/*!
 * Base of the table-view library's delegates: a styled item delegate that can
 * ask its view for cell-specific context-menu entries.
 *
 *     connect(delegate, &zBaseDelegate::doRequestSpecMenuItem, view, &zBaseTableView::doRequestSpecMenuItem);
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit zBaseDelegate(QObject* parent = nullptr);

Q_SIGNALS:
    /// The delegate builds a context menu for the cell; receivers may add entries.
    void doRequestSpecMenuItem(QMenu* menu, const QModelIndex& index);
};
