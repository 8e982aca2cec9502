#pragma once

#include "itemviews_export.h"
#include "TModelAux.h"
#include "TableModel.h"

#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

class AuditBusiness;
class BaseDataItem;
class BaseDataItemModelPrivate;
class TreeBaseItem;

/*!
 * The model behind the grid: a host-owned flat row list in tree pre-order, one
 * grid row per list entry. Columns are Qtitan::HeaderItem field numbers. The
 * tree lives in the row objects; the grid asks for levels, parents, folds and
 * tree lines by row number. The model also answers audit roles, keeps the
 * clicked cell per work in the project settings, follows an audit service's
 * fold synchronisation and lists block-marked rows.
 *
 *     BaseDataItemModel model;
 *     model.getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(3, "Quantity"));
 *     model.BindSrcData(&rows);   // rebind after changing the list
 *
 *     Rows     level  getParentIndex
 *      0 A       0      -1
 *      1 -A1     1       0
 *      2 --A1a   2       1
 *      3 -A2     1       0
 *
 * GUI thread only, like every model and view here; the rows may be built on a worker
 * thread and handed over before they are bound.
 */
class ITEMVIEWS_EXPORT BaseDataItemModel : public Qtitan::TableModel
{
    Q_OBJECT
public:
    /// Roles of the audit (review) service.
    enum AuditRole {
        AuditIsSSRole = 486, ///< bool: the row's table is under review
        AuditDifferenceRole = 487, ///< QMap<int, QColor> kind -> colour of the cell, or ""
        AuditOpenRole = 488, ///< bool: the audit is open for the row's table
        AuditSSFocusedRowsRole = 494, ///< QSet<int> of focused rows, only for a row under review
    };
    /// A column with this field number shows each row's current index.
    static constexpr int CurIndexFieldNumber = 1046;

    /// An unbound model: no list, data mode 0, no audit service.
    explicit BaseDataItemModel(QObject* parent = nullptr);
    ~BaseDataItemModel() override;

    /// Binds the host's list (not owned; null unbinds) and restores its remembered clicked cell.
    void BindSrcData(QList<BaseDataItem*>* list);
    /*!
     * Follows a change the host made to the bound list: removedCount rows at position
     * left it and insertedCount rows now stand there. The row positions the tree queries
     * look up follow in time proportional to the change, then the grid refreshes through
     * UpdateData: the same answers as binding the list again and calling UpdateData.
     * Numbers that do not fit the list make the model take its positions afresh.
     */
    void listRowsChanged(int position, int removedCount, int insertedCount);
    /// The bound list, or null.
    QList<BaseDataItem*>* All();
    /// The bound list, or null (the same as All()).
    QList<BaseDataItem*>* getTotalData() const;
    /// The row's object, or null.
    BaseDataItem* GetBean(int row);
    /// The row's object when it is a tree row, or null.
    TreeBaseItem* GetTreeBean(int row);
    /// The index's row, unchecked.
    int Row(const QModelIndex& index);
    /// First position of item in the bound list, or -1.
    int GetRowByItem(BaseDataItem* item);
    /// Always 0 (unlike getMaxLevel()).
    int GetMaxLevel();
    /// How display and edit reads are answered: 0 by field (1046 = current index), 1 by field only.
    void SetDataMode(int mode);
    /// Data mode 1: reads by field only.
    void SetDataModeByField();
    /// The header item of a column, or null.
    Qtitan::HeaderItem* GetColumn(int col);
    /// The first column whose name equals name, or null.
    Qtitan::HeaderItem* GetColumn(QString name);

    /// Sets the block mark of a row (in the row itself).
    void setRowBlockSelect(int row) const;
    /// Clears the block mark of a row.
    void resetRowBlockSelect(int row) const;
    /// Clears the block mark of every bound row.
    void clearBlockSelect() const;
    /// The current indexes (not positions) of the marked rows, in list order.
    QList<int> getAllBlockSelectionRows() const;

    /// Size of the bound list, 0 when unbound; the parent is ignored.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;

    void SetClickRow(int row) override;
    void SetClickCol(int col) override;
    void SetClickRowAndCol(int row, int col) override;
    int GetClickRow(bool fromSettings) const override;
    int GetClickCol(bool fromSettings) const override;
    QPair<int, int> GetClickRowAndCol() const override;

    void getParentLevelNeedDrawLine(int row, QVector<int>& levels) override;
    int getMaxLevel() override;
    int getItemLevel(int row) override;
    bool getFold(int row) override;
    bool hasChildrenItem(int row) override;
    bool isLastChild(int row) override;
    bool isVisible(int row) override;
    bool getBtnShowState(int row) override;
    Qt::CheckState getCheckBoxState(int row) override;
    bool getCheckBoxEnable(int row) override;
    void setFold(int row, bool flag) override;
    int getChildrenItemCnt(int row) override;
    bool hasFoldParent(int row) override;
    bool needFold(int parentRow, int row) override;
    int lastFoldRowNumber(int row) override;
    bool hasNotFlodChild(int row) override;
    int getParentIndex(int row) override;
    QVector<int> getExpandOrFlodChildren(int row, bool fold) override;

    QVariant data(const QModelIndex& index, int role, const Qtitan::HeaderItem* header) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role, const Qtitan::HeaderItem* header) override;
    Qt::ItemFlags flags(const QModelIndex& index, const Qtitan::HeaderItem* header) const override;
    QVariant verticalHeaderData(int row, int role) const override;

    /// Stores a host callback (never invoked by the model).
    virtual void CustomModelData(std::function<bool(Qtitan::TModelAux&)> callback);
    /// The audit service followed, or null.
    virtual AuditBusiness* GetAudit();
    /// Follows an audit service's fold synchronisation (null: none); not owned.
    virtual void SetAudit(AuditBusiness* audit);

    // Qt's two- and three-argument forms stay visible beside the overloads above.
    using Qtitan::TableModel::data;
    using Qtitan::TableModel::setData;
    using Qtitan::TableModel::flags;

protected:
    /// Reports the usage code of a cell of list (any list) in the column of header.
    void post2GoCode(int row, QList<BaseDataItem*>* list, const Qtitan::HeaderItem* header);

private:
    std::unique_ptr<BaseDataItemModelPrivate> const d;
    Q_DECLARE_PRIVATE_D(d, BaseDataItemModel)
};
