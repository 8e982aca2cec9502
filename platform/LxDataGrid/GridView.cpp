#include "GridView.h"

#include "BaseTableModel.h"
#include "TableGridPainter.h"

#include <QAssociativeIterable>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace Qtitan {

namespace {

constexpr int indentWidth = 18;
constexpr int buttonSize = 9;
// Levels come from the rows as stored; deeper than this no indentation fits on any screen,
// and the clamp keeps every x of the tree part inside int.
constexpr int maxPaintedLevel = QWIDGETSIZE_MAX / indentWidth - 1;

int paintedLevel(int level)
{
    return qBound(0, level, maxPaintedLevel);
}

// Geometry of the tree part of a tree-column cell; level is a painted level.
struct TreeCellGeometry
{
    QRect cell;
    int level;
    int levelLeft(int atLevel) const { return cell.left() + paintedLevel(atLevel) * indentWidth; }
    QPoint centreOf(int atLevel) const { return {levelLeft(atLevel) + indentWidth / 2, cell.center().y()}; }
    QRect button() const
    {
        const QPoint centre = centreOf(level);
        return {centre.x() - buttonSize / 2, centre.y() - buttonSize / 2, buttonSize, buttonSize};
    }
    int textLeft() const { return levelLeft(level + 1); }
};

// Paints the tree column from the model's tree queries and the audit colour of every cell.
class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(GridView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        paintAuditColour(painter, option, index);
        auto* model = qobject_cast<BaseTableModel*>(m_view->model());
        if (!model || index.column() != m_view->treeColumn()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const TreeCellGeometry geometry{option.rect, paintedLevel(model->getItemLevel(index.row()))};
        painter->save();
        paintLines(painter, model, index.row(), geometry);
        if (model->getBtnShowState(index.row()))
            paintButton(painter, geometry, model->getFold(index.row()));
        painter->restore();
        QStyleOptionViewItem textOption(option);
        textOption.rect.setLeft(geometry.textLeft());
        QStyledItemDelegate::paint(painter, textOption, index);
    }

    // Amounts read as money and quantities do: grouped, two decimals (Qt's default is six significant digits).
    QString displayText(const QVariant& value, const QLocale& locale) const override
    {
        if (value.userType() == QMetaType::Double)
            return locale.toString(value.toDouble(), 'f', 2);
        return QStyledItemDelegate::displayText(value, locale);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data().userType() == QMetaType::Double)
            option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }

private:
    static void paintAuditColour(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index)
    {
        const QVariant difference = index.data(GridView::AuditDifferenceRole);
        if (!difference.canConvert<QVariantMap>()) // true for any map registered with its iterable converter
            return;
        const QAssociativeIterable colours = difference.value<QAssociativeIterable>();
        if (colours.begin() != colours.end())
            painter->fillRect(option.rect, (*colours.begin()).value<QColor>().lighter(160));
    }

    static void paintLines(QPainter* painter, BaseTableModel* model, int row, const TreeCellGeometry& geometry)
    {
        painter->setPen(QPen(QColor(150, 150, 150), 1, Qt::DotLine));
        QVector<int> passingLevels;
        model->getParentLevelNeedDrawLine(row, passingLevels);
        for (int level : qAsConst(passingLevels)) {
            const int x = geometry.centreOf(level).x();
            if (x <= geometry.cell.right()) // a deep row passes more lines than its cell shows
                painter->drawLine(x, geometry.cell.top(), x, geometry.cell.bottom());
        }
        if (geometry.level == 0)
            return;
        // The row's own connector: from its parent's line, which stops here at a last child.
        const QPoint parentLine = geometry.centreOf(geometry.level - 1);
        const int bottom = model->isLastChild(row) ? parentLine.y() : geometry.cell.bottom();
        painter->drawLine(parentLine.x(), geometry.cell.top(), parentLine.x(), bottom);
        painter->drawLine(parentLine.x(), parentLine.y(), geometry.centreOf(geometry.level).x(), parentLine.y());
    }

    static void paintButton(QPainter* painter, const TreeCellGeometry& geometry, bool folded)
    {
        const QRect button = geometry.button();
        painter->setPen(QColor(110, 110, 110));
        painter->setBrush(Qt::white);
        painter->drawRect(button);
        const QPoint centre = button.center();
        painter->drawLine(centre.x() - 2, centre.y(), centre.x() + 2, centre.y());
        if (folded)
            painter->drawLine(centre.x(), centre.y() - 2, centre.x(), centre.y() + 2);
    }

    GridView* m_view;
};

/*
 * While it lives, the header only records which rows are hidden. With updates on, every
 * hide or show also recomputes the position of every section (linear per row, quadratic
 * over a fold); with them off, the positions are recomputed once, when next asked.
 */
class HeaderLayoutBatch
{
public:
    // A header whose updates are off already (its own or its view's) is left alone: turning them
    // back "off" afterwards would pin them off when the view turns its own back on.
    explicit HeaderLayoutBatch(QHeaderView* header)
        : m_header(header)
        , m_updatesWereEnabled(header->updatesEnabled())
    {
        if (m_updatesWereEnabled)
            header->setUpdatesEnabled(false);
    }
    ~HeaderLayoutBatch()
    {
        if (m_updatesWereEnabled)
            m_header->setUpdatesEnabled(true);
    }
    HeaderLayoutBatch(const HeaderLayoutBatch&) = delete;
    HeaderLayoutBatch& operator=(const HeaderLayoutBatch&) = delete;

private:
    QHeaderView* m_header; // not owned
    bool m_updatesWereEnabled;
};

} // namespace

GridView::GridView(QWidget* parent)
    : QTableView(parent)
{
    setItemDelegate(new GridDelegate(this));
    verticalHeader()->setDefaultSectionSize(22);
    setSelectionBehavior(QAbstractItemView::SelectItems);
}

void GridView::setModel(QAbstractItemModel* model)
{
    if (QAbstractItemModel* previous = this->model())
        disconnect(previous, nullptr, this, nullptr);
    QTableView::setModel(model);
    if (model) {
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            syncHiddenRows();
            restoreClickedCell();
        });
    }
    syncHiddenRows();
    restoreClickedCell();
}

void GridView::setTreeColumn(int column)
{
    m_treeColumn = column;
    viewport()->update();
}

void GridView::setRowFolded(int row, bool folded)
{
    BaseTableModel* model = gridModel();
    if (!model || !model->getBtnShowState(row))
        return;
    model->setFold(row, !folded); // the flag is the expanded flag
    const QVector<int> changedRows = model->getExpandOrFlodChildren(row, folded);
    {
        const HeaderLayoutBatch batch(verticalHeader());
        for (int changedRow : changedRows)
            followModelVisibility(model, changedRow);
    }
    viewport()->update();
}

void GridView::syncHiddenRows()
{
    BaseTableModel* model = gridModel();
    if (!model)
        return;
    const HeaderLayoutBatch batch(verticalHeader());
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row)
        followModelVisibility(model, row);
}

void GridView::showEvent(QShowEvent* event)
{
    QTableView::showEvent(event);
    syncHiddenRows(); // another view may have folded these rows while this one was hidden
}

void GridView::paintEvent(QPaintEvent* event)
{
    TableGridPainter::paint(this, d_ptr.data(), event, [this](QPaintEvent* e) { QTableView::paintEvent(e); });
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    BaseTableModel* model = gridModel();
    if (model && index.isValid() && index.column() == m_treeColumn && event->button() == Qt::LeftButton) {
        const TreeCellGeometry geometry{visualRect(index), paintedLevel(model->getItemLevel(index.row()))};
        if (model->getBtnShowState(index.row()) && geometry.button().adjusted(-3, -3, 3, 3).contains(event->pos())) {
            setRowFolded(index.row(), !model->getFold(index.row()));
            return;
        }
    }
    QTableView::mousePressEvent(event);
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (BaseTableModel* model = gridModel(); model && current.isValid())
        model->SetClickRowAndCol(current.row(), current.column());
}

void GridView::followModelVisibility(BaseTableModel* model, int row)
{
    const bool hidden = !model->isVisible(row);
    if (hidden != isRowHidden(row)) // an unchanged row costs the header nothing
        setRowHidden(row, hidden);
}

BaseTableModel* GridView::gridModel() const
{
    return qobject_cast<BaseTableModel*>(model());
}

void GridView::restoreClickedCell()
{
    BaseTableModel* model = gridModel();
    if (!model || model->rowCount() == 0)
        return;
    const QPair<int, int> cell = model->GetClickRowAndCol();
    const QModelIndex index = model->index(cell.first, cell.second);
    if (index.isValid()) {
        setCurrentIndex(index);
        scrollTo(index);
    }
}

} // namespace Qtitan
