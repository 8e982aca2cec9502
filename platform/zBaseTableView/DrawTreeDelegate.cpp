#include "DrawTreeDelegate.h"

#include "zTreeRole.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {

const int CheckBoxMargin = 2;

// Levels and node sizes are the host's to set: past the widest widget nothing shows, and
// bounding every offset by it keeps the cell arithmetic inside int.
int boundedExtent(qint64 extent)
{
    return int(qBound(qint64(0), extent, qint64(QWIDGETSIZE_MAX)));
}

QStyle* styleOf(const QStyleOptionViewItem& option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

} // namespace

/*
 * One indentation slot per level; the row's own slot holds its button, the slot
 * left of it the connector to its parent:
 *
 *     slot 0   slot 1   slot 2
 *     [-]      A
 *      |-------[+]      A1          connector in slot 0, button in slot 1
 *      `---------------- A2         last shown sibling: the line stops here
 */
struct DrawTreeDelegate::CellLayout
{
    int slotWidth = 0;
    int ownSlot = 0; // slot of the row's button
    QRect cell;
    QRect node;
    QRect check; // empty when no check box is shown
    QRect text;

    int slotLeft(int slot) const { return cell.left() + boundedExtent(qint64(slot) * slotWidth); }
    int slotCenterX(int slot) const { return slotLeft(slot) + slotWidth / 2; }
};

DrawTreeDelegate::DrawTreeDelegate(QAbstractItemView* view, int column, const ZTVModeOption& option, QObject* parent)
    : zBaseDelegate(parent ? parent : view)
    , m_column(column)
    , m_option(option)
{
}

void DrawTreeDelegate::setEditable(bool editable)
{
    Q_EMIT signalEditable(m_column, editable);
}

DrawTreeDelegate::CellLayout DrawTreeDelegate::layoutCell(const QStyleOptionViewItem& option,
                                                          const QModelIndex& index) const
{
    CellLayout layout;
    const QSize nodeSize(boundedExtent(m_option.treeNodeSize.width()), boundedExtent(m_option.treeNodeSize.height()));
    layout.cell = option.rect;
    layout.slotWidth = qMax(nodeSize.width() + 8, 16);
    layout.ownSlot = indentsLevels() ? qMax(0, index.data(zTreeRole::Level).toInt()) : 0;
    const QRect ownSlot(layout.slotLeft(layout.ownSlot), layout.cell.top(), layout.slotWidth, layout.cell.height());
    layout.node = QRect(QPoint(), nodeSize);
    layout.node.moveCenter(ownSlot.center());
    int textLeft = ownSlot.right() + 1;
    if (showsCheckBox(index)) {
        const int side = styleOf(option)->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
        layout.check = QRect(textLeft + CheckBoxMargin, layout.cell.top(), side, layout.cell.height());
        layout.check.setHeight(qMin(side, layout.cell.height()));
        layout.check.moveTop(layout.cell.top() + (layout.cell.height() - layout.check.height()) / 2);
        textLeft = layout.check.right() + 1 + CheckBoxMargin;
    }
    layout.text = QRect(QPoint(textLeft, layout.cell.top()), layout.cell.bottomRight());
    return layout;
}

bool DrawTreeDelegate::showsCheckBox(const QModelIndex& index) const
{
    return m_option.checkMode != 0 || index.flags().testFlag(Qt::ItemIsUserCheckable);
}

void DrawTreeDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem itemOption = option;
    initStyleOption(&itemOption, index);
    // The check box is ours; the style would draw another one at the cell's left.
    itemOption.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    QStyle* style = styleOf(option);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &itemOption, painter, option.widget);

    const CellLayout layout = layoutCell(option, index);
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(QPen(option.palette.color(QPalette::Mid), 1, treeLineStyle()));
    if (treeLineStyle() != Qt::NoPen)
        drawTreeLines(painter, layout, index);
    if (index.data(zTreeRole::ChildCount).toInt() > 0) {
        painter->setPen(option.palette.color(QPalette::Text));
        drawNode(painter, layout.node, index.data(zTreeRole::Expanded).toBool());
    }
    painter->restore();
    if (!layout.check.isEmpty())
        drawCheckBox(painter, option, layout, index);

    itemOption.rect = layout.text;
    style->drawControl(QStyle::CE_ItemViewItem, &itemOption, painter, option.widget);
}

void DrawTreeDelegate::drawTreeLines(QPainter* painter, const CellLayout& layout, const QModelIndex& index) const
{
    const int level = layout.ownSlot;
    const QRect& cell = layout.cell;
    const int middleY = cell.center().y();
    const QList<bool> ancestorIsLast = index.data(zTreeRole::AncestorLastFlags).value<QList<bool>>();
    // Slot s carries the line joining ancestor s+1 to its next shown sibling.
    // Only the slots that start inside the cell: a deep row has more ancestors than the cell shows.
    for (int slot = 0; slot + 1 < level && layout.slotLeft(slot) <= cell.right(); ++slot) {
        if (!ancestorIsLast.value(slot + 1, true))
            painter->drawLine(layout.slotCenterX(slot), cell.top(), layout.slotCenterX(slot), cell.bottom());
    }
    if (level > 0) {
        const int connectorX = layout.slotCenterX(level - 1);
        const bool lastSibling = index.data(zTreeRole::LastSibling).toBool();
        painter->drawLine(connectorX, cell.top(), connectorX, lastSibling ? middleY : cell.bottom());
        painter->drawLine(connectorX, middleY, layout.node.left(), middleY);
    }
    const bool opensBelow = index.data(zTreeRole::ChildCount).toInt() > 0 && index.data(zTreeRole::Expanded).toBool();
    if (opensBelow)
        painter->drawLine(layout.slotCenterX(level), layout.node.bottom(), layout.slotCenterX(level), cell.bottom());
}

void DrawTreeDelegate::drawNode(QPainter* painter, const QRect& nodeRect, bool expanded) const
{
    const QRect box = nodeRect.adjusted(0, 0, -1, -1);
    painter->drawRect(box);
    const QPoint center = box.center();
    const int arm = qMax(1, box.width() / 2 - 2);
    painter->drawLine(center.x() - arm, center.y(), center.x() + arm, center.y());
    if (!expanded)
        painter->drawLine(center.x(), center.y() - arm, center.x(), center.y() + arm);
}

void DrawTreeDelegate::drawCheckBox(QPainter* painter, const QStyleOptionViewItem& option,
                                    const CellLayout& layout, const QModelIndex& index) const
{
    QStyleOptionViewItem checkOption = option;
    checkOption.rect = layout.check;
    checkOption.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
    switch (index.data(Qt::CheckStateRole).toInt()) {
    case Qt::Checked: checkOption.state |= QStyle::State_On; break;
    case Qt::PartiallyChecked: checkOption.state |= QStyle::State_NoChange; break;
    default: checkOption.state |= QStyle::State_Off; break;
    }
    styleOf(option)->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &checkOption, painter, option.widget);
}

QSize DrawTreeDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = zBaseDelegate::sizeHint(option, index);
    const CellLayout layout = layoutCell(option, index);
    size.rwidth() += layout.text.left() - layout.cell.left();
    return size;
}

bool DrawTreeDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return zBaseDelegate::editorEvent(event, model, option, index);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const CellLayout layout = layoutCell(option, index);
    const bool onNode = index.data(zTreeRole::ChildCount).toInt() > 0 && layout.node.contains(mouse->pos());
    const bool onCheckBox = layout.check.contains(mouse->pos());
    // Press and double click on a button or box are swallowed so they neither select nor edit.
    if (type == QEvent::MouseButtonRelease && onNode) {
        Q_EMIT signalTreeNodeClick({{index.row(), !index.data(zTreeRole::Expanded).toBool()}});
        Q_EMIT doTreeNodeClicked(index);
    } else if (type == QEvent::MouseButtonRelease && onCheckBox) {
        Q_EMIT signalTreeNodeCheckBoxClick(index);
    }
    return onNode || onCheckBox;
}
