#pragma once

#include "ZTVModeOption.h"

#include <QMap>
#include <QPointer>
#include <QRect>
#include <QTableView>

class BaseDataItem;
class DrawTreeDelegate;
class QMenu;
class zBaseHeaderColumn;
class zBaseTableModel;
class zTableHeader;

/*!
 * The table-view library's view: a QTableView over a zBaseTableModel with a tree
 * column drawn by a tree delegate, per-cell delegates, requested spans that are
 * re-applied whenever the model resets, and frozen column/row strips.
 *
 *     view.setModel(&model);
 *     view.setTreeModeDisplay(0, option);
 *     view.setViewSpans({QRect(0, 1, 3, 2)});   // from original row 1, column 0: 3 columns wide, 2 rows high
 *
 * Every cell is served by the delegate delegateForIndex() chooses, so a delegate
 * registered for a single cell paints and edits it. Qt 6 asks the view for each
 * cell's delegate (itemDelegateForIndex, virtual there); Qt 5's lookup is not
 * virtual, so there a dispatching default delegate hands each cell on.
 */
class ITEMVIEWS_PLATFORM_EXPORT zBaseTableView : public QTableView
{
    Q_OBJECT
public:
    explicit zBaseTableView(QWidget* parent = nullptr);
    ~zBaseTableView() override;

    void setModel(QAbstractItemModel* model) override;
    /// The model as a zBaseTableModel, or null.
    zBaseTableModel* model() const;
    /// An editor is open.
    bool isEditing() const;
    /// The header that owns the frozen strips.
    zTableHeader* primaryHeader() const { return primaryTableHeader; }

    /// Stores the requested spans (rectangles in the model's original rows and columns) and applies them.
    void setViewSpans(const QList<QRect>& spans);
    QList<QRect> getViewSpans() const { return viewSpans; }
    /// Key of a cell delegate: original row in the high 32 bits, shown column in the low 32 bits.
    static quint64 cellKey(int originalRow, int column);
    /// Registers the delegate of one cell; a null delegate is an entry too (the cell gets none).
    void setCellDelegate(int originalRow, int column, QAbstractItemDelegate* delegate);

    /// Makes a declared column the tree column, drawn by the delegate of option.displayStyle.
    virtual void setTreeModeDisplay(int column, const ZTVModeOption& option);
    /// The delegate that serves a cell.
    virtual QAbstractItemDelegate* delegateForIndex(const QModelIndex& index) const;
    /// Clears the spans and applies the requested ones; called on every model reset.
    virtual void updateViewSpans();
    /// Size of the tree delegate's expand/collapse button.
    virtual void setTreeNodeSize(const QSize& size);
    /// The data rows behind the selected cells; the base view knows none.
    virtual QList<BaseDataItem*> selectedItems() const;

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    /// delegateForIndex(), or the default delegate where that chooses none.
    QAbstractItemDelegate* itemDelegateForIndex(const QModelIndex& index) const override;
#endif
    QModelIndexList selectedIndexes() const override;
    /// Qt's scrollTo, then a cell that would lie under the frozen column strip is brought out beside it.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

public Q_SLOTS:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    /// Expands or collapses the given view rows (view row -> expanded) through the model.
    void slotTreeNodeExpanded(const QHash<int, bool>& rows);
    /// Toggles a row's check state on the tree column: checked becomes unchecked, anything else checked.
    void treeNodeCheckBoxClick(const QModelIndex& index);
    /// A delegate builds a context menu for a cell; override to add entries.
    virtual void doRequestSpecMenuItem(QMenu* menu, const QModelIndex& index);

protected:
    void updateGeometries() override;
    /// Qt's paint with the grid filled as rectangles (TableGridPainter).
    void paintEvent(QPaintEvent* event) override;

    /// The tree delegate of a display style (0 to 3), or null for any other value.
    DrawTreeDelegate* createTreeDelegate(int column, const ZTVModeOption& option);
    /// Connects treeDelegate's edit, menu, node and check-box signals to this view.
    void connectTreeDelegate();
    /// The index of a view row in the tree column (shown position of the declared tree column).
    QModelIndex treeIndex(int viewRow) const;
    /// Qt's row / column delegate entries: true when one is registered; delegate is null once destroyed.
    bool findRowDelegate(int viewRow, QAbstractItemDelegate*& delegate) const;
    bool findColumnDelegate(int column, QAbstractItemDelegate*& delegate) const;

    QPointer<zBaseTableModel> tableModel; // not owned
    QPointer<DrawTreeDelegate> treeDelegate; // a child of this view, never deleted by it
    int treeColumn = 0; // declared (original) column
    QPointer<zBaseHeaderColumn> headerColumn; // the model's columns, not owned
    zTableHeader* primaryTableHeader = nullptr; // the horizontal header, a child
    zTableHeader* secondaryTableHeader = nullptr; // a second header row of subclasses, may stay null
    QMap<quint64, QPointer<QAbstractItemDelegate>> cellDelegates; // not owned
    QList<QRect> viewSpans; // original rows and columns

private:
    void modelWasReset();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // Qt hears the editor signals of the delegates registered with it only; these pass on the others'.
    void hearEditorsOf(QAbstractItemDelegate* delegate) const;
    void commitFromOwnDelegate(QWidget* editor);
    void closeFromOwnDelegate(QWidget* editor, QAbstractItemDelegate::EndEditHint hint);
    bool isRegisteredWithQt(const QObject* delegate) const;
#endif
};
