#pragma once

#include "zBaseHeaderColumn.h"
#include "zBaseModel.h"

#include <QHash>
#include <QPointer>
#include <QVariant>

class zBaseHeaderColumn;
class zBaseHeaderItem;

/*!
 * Base of the z models. Qt's standard data/setData/flags reach the virtual
 * three-argument forms with the descriptor of the index's column, so a subclass
 * answers by column identifier, not by position. Columns come from a
 * zBaseHeaderColumn (not owned, may be null: then the model has no columns).
 *
 *     model.setHeaderColumn(&columns);
 *     model.setColumnValue("unit", "m2");   // read back through roles 212/213 of the tree model
 *
 * The base itself stores no cell values: it answers an invalid QVariant, accepts
 * every write with a dataChanged() of the cell, and makes cells editable unless
 * setColumnEditable() said otherwise.
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseTableModel : public zBaseModel
{
    Q_OBJECT
public:
    /// A model without columns.
    explicit zBaseTableModel(QObject* parent = nullptr);
    ~zBaseTableModel() override;

    /// Takes its columns from a collection (not owned; null: no columns) and follows its changes.
    void setHeaderColumn(zBaseHeaderColumn* columns);
    /// The column collection, or null.
    zBaseHeaderColumn* getHeaderColumn() const { return headerColumn; }
    /// The descriptor of a shown (virtual) column, or null.
    zBaseHeaderItem* headerItem(int virtualColumn) const;
    /// Whether cells of a declared (original) column take edits; true until set.
    void setColumnEditable(int originalColumn, bool editable);
    /// Whether cells of a declared column take edits.
    bool isColumnEditable(int originalColumn) const;

    /// Lookup value of one cell (original row, column identifier), read by the tree model's roles 212 and 213.
    void setCellValue(int originalRow, const QString& id, const QVariant& value);
    /// Lookup value of a whole original row, used where no cell value is set.
    void setRowValue(int originalRow, const QVariant& value);
    /// Lookup value of a whole column, used where no cell or row value is set.
    void setColumnValue(const QString& id, const QVariant& value);

    /// Number of shown columns of the collection (0 without one).
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    /// Column titles of the shown columns; row numbers (from 1) vertically.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    /// Qt's read: the three-argument form with the column's descriptor.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Qt's write: the three-argument form with the column's descriptor.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    /// Qt's flags: the two-argument form with the column's descriptor.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// A cell's value under a role, given its column's descriptor.
    virtual QVariant data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const;
    /// Writes a cell's value under a role, given its column's descriptor; true when taken.
    virtual bool setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header);
    /// A cell's flags, given its column's descriptor.
    virtual QFlags<Qt::ItemFlag> flags(const QModelIndex& index, const zBaseHeaderItem* header) const;

protected:
    /// The index's column is the declared tree column (false without a column collection).
    bool isTreeColumn(const QModelIndex& index) const;

    QPointer<zBaseHeaderColumn> headerColumn; // not owned
    QHash<int, QHash<QString, QVariant>> cellValues; // original row -> column id -> value
    QHash<int, QVariant> rowValues; // original row -> value
    QHash<QString, QVariant> columnValues; // column id -> value

private:
    void columnsChanged();

    QHash<int, bool> m_columnEditable; // by original column
};
