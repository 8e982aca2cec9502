#pragma once

#include "itemviews_export.h"
#include "zBaseTableModel.h"

#include <QList>

#include <functional>
#include <memory>

class BaseDataItem;
class TableBaseObject;
class WorkBaseObject;
class zBaseItemModelPrivate;

/*!
 * A host-owned list of data-layer rows shown as a flat table, one row per list
 * entry. The host can answer any cell read, refuse or watch any cell write and
 * decide any cell's flags through five hooks; row heights are stored in the rows
 * at 96 DPI and answered under Qt::SizeHintRole as a bare double scaled to the
 * screen.
 *
 *     zBaseItemModel model;
 *     model.BindSrcData(&rows);   // no signal: attach the view afterwards or refresh it
 *     model.dataStarting([](int role, const QModelIndex&, const zBaseHeaderItem*, QVariant& v) { ... });
 *
 * GUI thread only, like every model and view here; the rows may be built on a worker
 * thread and handed over before they are bound.
 */
class ITEMVIEWS_EXPORT zBaseItemModel : public zBaseTableModel
{
    Q_OBJECT
public:
    /// A cell hook: role, cell, column descriptor and the hook's own copy of the value.
    using DataHook = std::function<bool(int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value)>;
    /// A flags hook: cell, column descriptor and the flags to answer.
    using FlagsHook = std::function<bool(const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags)>;

    /// An unbound model: no list, no hooks, no table or work.
    explicit zBaseItemModel(QObject* parent = nullptr);
    ~zBaseItemModel() override;

    /// Binds the host's list (null unbinds); views see it at their next reset or refresh.
    void BindSrcData(QList<BaseDataItem*>* list);
    /// The bound list, possibly null.
    QList<BaseDataItem*>* GetBindSrcData() const;

    /// The table the rows belong to; stored for the host, not owned.
    void SetTable(TableBaseObject* table);
    /// The stored table, or null.
    TableBaseObject* GetTable() const;
    /// The work the rows belong to; stored for the host, not owned.
    void SetWork(WorkBaseObject* work);
    /// The stored work, or null.
    WorkBaseObject* GetWrok();

    /// First read hook, before the model answers: true means the hook answered with its value.
    void dataStarting(DataHook hook);
    /// Second read hook, asked when the first is absent or declined: true means it answered.
    void dataEnding(DataHook hook);
    /// First write hook: false refuses the write; what it does to its value is not written.
    void editorStarting(DataHook hook);
    /// Second write hook, seeing the first one's copy of the value: false refuses the write.
    void editorEnding(DataHook hook);
    /// Flags hook, starting from selectable|editable: false means its flags are the answer.
    void callFlags(FlagsHook hook);

    /// Number of rows in the bound list, 0 when unbound; the parent is ignored.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header) override;
    QFlags<Qt::ItemFlag> flags(const QModelIndex& index, const zBaseHeaderItem* header) const override;

    using zBaseTableModel::data;
    using zBaseTableModel::flags;
    using zBaseTableModel::setData;

private:
    std::unique_ptr<zBaseItemModelPrivate> const d;
    Q_DECLARE_PRIVATE_D(d, zBaseItemModel)
};
