#pragma once

#include "itemviews_export.h"
#include "zBaseTableView.h"

/*!
 * A tree view over a zTreeItemModel: one declared column is drawn as a tree by
 * the delegate of a display style; node clicks reach the host as the queued
 * doTreeNodeClicked and decide nothing by themselves. Requested spans are given
 * in original rows and columns and follow expand, collapse and hidden columns.
 *
 *     zTreeItemView view;
 *     view.setModel(&treeModel);
 *     view.setTreeModeDisplay(0, option);   // after setModel
 *     connect(&view, &zTreeItemView::doTreeNodeClicked, host, &Host::toggleNode);
 *
 * GUI thread only, as every widget.
 */
class ITEMVIEWS_EXPORT zTreeItemView : public zBaseTableView
{
    Q_OBJECT
public:
    /// A view with no model and no tree delegate yet.
    explicit zTreeItemView(QWidget* parent = nullptr);
    ~zTreeItemView() override;

    /// Installs the tree delegate of option.displayStyle on the declared column, here and in every frozen strip.
    void setTreeModeDisplay(int column, const ZTVModeOption& option) override;
    /// Cell delegate (original row, shown column), then row delegate (view row), column delegate
    /// (declared column), then the default delegate.
    QAbstractItemDelegate* delegateForIndex(const QModelIndex& index) const override;
    /// Maps the requested spans to the rows and columns shown now, here and in the frozen column strip.
    void updateViewSpans() override;
    /// Size of the current tree delegate's button; no repaint.
    void setTreeNodeSize(const QSize& size) override;
    /// The row of every selected index, in selection order, duplicates and null rows kept.
    QList<BaseDataItem*> selectedItems() const override;

    /// Closes the editor of the current cell, or hides the own editor of its widget delegate.
    void closeEditorTree();

Q_SIGNALS:
    /// A node button was clicked; delivered from the event loop after the click.
    void doTreeNodeClicked(const QModelIndex& index);

private:
    void handDelegateToFrozenViews(int column);
};
