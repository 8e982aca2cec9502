#pragma once

#include <BaseDataItemModel.h>

#include <QPointer>

class EstimateEditor;
class QWidget;

/*!
 * The grid model as the estimate's grids use it: numbers shown like every other
 * view shows them, and cell edits handed to the editor so totals roll up and can
 * be undone.
 */
class EstimateGridModel : public BaseDataItemModel
{
    Q_OBJECT
public:
    explicit EstimateGridModel(QObject* parent = nullptr);
    /// Edits go to this editor (null: the grid is read-only).
    void setEditor(EstimateEditor* editor) { m_editor = editor; }
    /// While grid is hidden, refreshes wait until catchUp: a hidden grid reads nothing, and a refresh
    /// of a large grid costs a pass over its rows.
    void refreshWhenShown(QWidget* grid) { m_grid = grid; }
    /// The refresh that waited, if any (the grid is about to be shown).
    void catchUp();
    /// Refreshes even while hidden.
    void refreshNow();
    void UpdateData() override;

    QVariant data(const QModelIndex& index, int role, const Qtitan::HeaderItem* header) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role, const Qtitan::HeaderItem* header) override;
    Qt::ItemFlags flags(const QModelIndex& index, const Qtitan::HeaderItem* header) const override;
    using BaseDataItemModel::data;
    using BaseDataItemModel::setData;
    using BaseDataItemModel::flags;

private:
    EstimateEditor* m_editor = nullptr; // not owned
    QPointer<QWidget> m_grid;
    bool m_refreshWaiting = false;
};
