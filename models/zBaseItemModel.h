#pragma once

#include "zBaseTableModel.h"

#include <QList>

#include <functional>

class BaseDataItem;
class TableBaseObject;
class WorkBaseObject;

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
 */
class ITEMVIEWS_EXPORT zBaseItemModel : public zBaseTableModel
{
    Q_OBJECT
public:
    using DataHook = std::function<bool(int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value)>;
    using FlagsHook = std::function<bool(const QModelIndex& index, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags)>;

    explicit zBaseItemModel(QObject* parent = nullptr);
    ~zBaseItemModel() override;

    /// Binds the host's list (null unbinds); views see it at their next reset or refresh.
    void BindSrcData(QList<BaseDataItem*>* list);
    /// The bound list, possibly null.
    QList<BaseDataItem*>* GetBindSrcData() const { return m_boundList; }

    void SetTable(TableBaseObject* table) { m_table = table; }
    TableBaseObject* GetTable() const { return m_table; }
    void SetWork(WorkBaseObject* work) { m_work = work; }
    WorkBaseObject* GetWrok() { return m_work; }

    /// Read hooks: true means the hook answered with its value.
    void dataStarting(DataHook hook);
    void dataEnding(DataHook hook);
    /// Write hooks: false refuses the write; what they do to their value is not written.
    void editorStarting(DataHook hook);
    void editorEnding(DataHook hook);
    /// Flags hook, starting from selectable|editable: false means its flags are the answer.
    void callFlags(FlagsHook hook);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role, const zBaseHeaderItem* header) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role, const zBaseHeaderItem* header) override;
    QFlags<Qt::ItemFlag> flags(const QModelIndex& index, const zBaseHeaderItem* header) const override;

    using zBaseTableModel::data;
    using zBaseTableModel::flags;
    using zBaseTableModel::setData;

private:
    BaseDataItem* rowAt(const QModelIndex& index) const;

    WorkBaseObject* m_work = nullptr; // not owned
    TableBaseObject* m_table = nullptr; // not owned
    QList<BaseDataItem*>* m_boundList = nullptr; // not owned
    DataHook m_dataStarting;
    DataHook m_dataEnding;
    DataHook m_editorStarting;
    DataHook m_editorEnding;
    FlagsHook m_callFlags;
};
