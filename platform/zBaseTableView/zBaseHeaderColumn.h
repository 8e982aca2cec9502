#pragma once

#include "itemviews_platform_export.h"

#include <QObject>
#include <QVector>

class zBaseHeaderItem;

/*!
 * The ordered columns of a z model. Columns are declared once (original index =
 * declaration order) and can then be hidden or moved; the model shows the
 * visible ones in display order, and a QModelIndex column is a shown (virtual)
 * column.
 *
 *     zBaseHeaderColumn columns;
 *     columns.addColumn(new zBaseHeaderItem("name", "Name"));
 *     columns.setColumnHidden(2, true);
 *
 * Declared columns ... 0 1 2 3     display order 3 0 1 2, column 2 hidden
 * virtual column ..... 0 1 2       -> original 3 0 1
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseHeaderColumn : public QObject
{
    Q_OBJECT
public:
    explicit zBaseHeaderColumn(QObject* parent = nullptr);
    ~zBaseHeaderColumn() override;

    /// Appends a column (owned) at the end of the display order.
    void addColumn(zBaseHeaderItem* item);
    /// Number of declared columns, shown or not.
    int originalCount() const { return m_items.size(); }
    /// Number of shown columns.
    int virtualCount() const { return m_virtualToOriginal.size(); }
    /// The column declared at that position, or null.
    zBaseHeaderItem* itemByOriginalIndex(int originalColumn) const;
    /// The declared position of a column identifier, or -1.
    int originalIndexOf(const QString& identify) const;

    void setColumnHidden(int originalColumn, bool hidden);
    /// Moves a column to another place of the display order (positions among all declared columns).
    void moveColumn(int fromDisplayPosition, int toDisplayPosition);

    /// Declared column of a shown column, or -1.
    int virtualIndexToOriginalIndex(int virtualColumn) const;
    /// Shown column of a declared column, or -1 when hidden or absent.
    int originalIndexToVirtualIndex(int originalColumn) const;
    bool isColumnVisibleByOriginalIndex(int originalColumn) const;

Q_SIGNALS:
    /// Columns were added, hidden, shown or moved.
    void columnsChanged();

private:
    void rebuildMapping();

    QVector<zBaseHeaderItem*> m_items; // owned, in declaration order
    QVector<int> m_displayOrder; // original columns in display order
    QVector<bool> m_hidden; // by original column
    QVector<int> m_virtualToOriginal;
    QVector<int> m_originalToVirtual;
};
