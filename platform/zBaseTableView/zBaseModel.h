#pragma once

#include "itemviews_platform_export.h"

#include <QAbstractTableModel>

/*!
 * Root of the table-view library's models: a table model that knows which
 * declared column draws the tree, and that refreshes its views on request.
 *
 *     model.setTreeColumn(0);
 *     model.UpdateData();   // attached views re-read row count and data
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit zBaseModel(QObject* parent = nullptr);

    /// Makes attached views re-read the row count and every cell (a model reset).
    virtual void UpdateData();
    /// The declared (original) column that the tree delegate draws.
    void setTreeColumn(int originalColumn) { treeColumn = originalColumn; }
    int getTreeColumn() const { return treeColumn; }

protected:
    int treeColumn = 0;
};
