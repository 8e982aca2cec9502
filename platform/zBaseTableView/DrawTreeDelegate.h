#pragma once

#include "ZTVModeOption.h"
#include "zBaseDelegate.h"

#include <QHash>

class QAbstractItemView;

/*!
 * Draws the tree column from the tree roles of a zTreeItemModel: indentation by
 * level, an expand/collapse button on rows with children, tree lines that stop
 * at a node's last shown sibling, an optional tri-state check box, then the
 * row's text. Clicks on the button and on the check box are reported as signals;
 * the delegate changes nothing itself.
 *
 *     A            [-] A
 *     +- A1         |-[+] A1
 *     +- A2         `---- A2
 *
 * The four display styles are subclasses that change the node, the lines and
 * the indentation.
 */
class ITEMVIEWS_PLATFORM_EXPORT DrawTreeDelegate : public zBaseDelegate
{
    Q_OBJECT
public:
    /// The view becomes the parent when no other parent is given.
    DrawTreeDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option, QObject* parent = nullptr);

    /// The delegate's own options, read at every paint.
    ZTVModeOption& options() { return m_option; }
    const ZTVModeOption& options() const { return m_option; }
    /// The declared column the delegate draws.
    int column() const { return m_column; }
    /// Makes the column editable or read-only (reported through signalEditable).
    void setEditable(bool editable);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

Q_SIGNALS:
    /// The delegate asks for its column to be made editable or read-only.
    void signalEditable(int column, bool editable);
    /// A node button was clicked: view row -> requested expanded state.
    void signalTreeNodeClick(const QHash<int, bool>& rows);
    /// A row's check box was clicked.
    void signalTreeNodeCheckBoxClick(const QModelIndex& index);
    /// A node button was clicked, with the clicked index.
    void doTreeNodeClicked(const QModelIndex& index);

protected:
    /// Whether rows are indented by their level.
    virtual bool indentsLevels() const { return true; }
    /// Pen style of the tree lines; Qt::NoPen draws none.
    virtual Qt::PenStyle treeLineStyle() const { return Qt::NoPen; }
    /// Draws the expand/collapse button: a box with a plus or a minus.
    virtual void drawNode(QPainter* painter, const QRect& nodeRect, bool expanded) const;

private:
    struct CellLayout;
    CellLayout layoutCell(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    bool showsCheckBox(const QModelIndex& index) const;
    void drawTreeLines(QPainter* painter, const CellLayout& layout, const QModelIndex& index) const;
    void drawCheckBox(QPainter* painter, const QStyleOptionViewItem& option, const CellLayout& layout,
                      const QModelIndex& index) const;

    int m_column;
    ZTVModeOption m_option;
};
