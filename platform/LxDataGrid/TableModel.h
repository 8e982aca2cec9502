#pragma once

#include "BaseTableModel.h"

#include <QVariant>

namespace Qtitan {

class HeaderItem;
class TableHeaderColumn;

/*!
 * A grid model with a column collection. Qt's standard data/setData/flags reach
 * the virtual forms that also take the column's HeaderItem (null past the last
 * column), so a subclass answers by field number, not by position. Column
 * count and header titles come from the collection, which the model owns.
 *
 *     model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(3, "Quantity"));
 *     model.data(model.index(0, 0));   // reaches data(index, role, <item of field 3>)
 *
 * The base answers no cell (invalid QVariant), refuses writes, and makes valid
 * cells selectable and enabled.
 */
class ITEMVIEWS_PLATFORM_EXPORT TableModel : public BaseTableModel
{
    Q_OBJECT
public:
    /// A model with an empty column collection.
    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    /// The column collection; never null while the model lives.
    TableHeaderColumn* getHeaderColumn() const { return m_headerColumn; }

    /// Number of columns in the collection.
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    /// Column names horizontally, verticalHeaderData() vertically.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    /// Qt's read: the three-argument form with the column's header item.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Qt's write: the three-argument form with the column's header item.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    /// Qt's flags: the two-argument form with the column's header item.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// A cell's value under a role, given its column's header item (null past the last column).
    virtual QVariant data(const QModelIndex& index, int role, const HeaderItem* header) const;
    /// Writes a cell's value under a role, given its column's header item; true when taken.
    virtual bool setData(const QModelIndex& index, const QVariant& value, int role, const HeaderItem* header);
    /// A cell's flags, given its column's header item.
    virtual Qt::ItemFlags flags(const QModelIndex& index, const HeaderItem* header) const;
    /// Vertical header: the 1-based row number.
    virtual QVariant verticalHeaderData(int row, int role) const;

protected:
    TableHeaderColumn* m_headerColumn; // owned (child object)

private:
    HeaderItem* headerItemAt(int column) const;
};

} // namespace Qtitan
