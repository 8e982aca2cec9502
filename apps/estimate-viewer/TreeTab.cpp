#include "TreeTab.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"

#include <zBaseHeaderItem.h>
#include <zBaseItemViewBlock.h>
#include <zTableHeader.h>
#include <zTreeItemView.h>

#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QVBoxLayout>

namespace {
constexpr int treeColumn = 1; // the description column draws the tree
constexpr int blockMarkRole = Qt::BackgroundRole;
}

TreeTab::TreeTab(QWidget* parent)
    : QWidget(parent)
    , m_view(new zTreeItemView(this))
{
    EstimateColumns::fill(m_columns);
    m_model.setHeaderColumn(&m_columns);
    installHooks();
    m_view->setModel(&m_model);
    m_view->primaryHeader()->setFrozenColumnCount(1);
    EstimateColumns::applyDefaultWidths(*m_view->horizontalHeader(), 360);
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_view->setObjectName(QStringLiteral("treeView"));
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    zBaseItemViewBlock::RegistUseBlock(m_view);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    setDisplay(m_displayStyle, m_checkBoxes);

    connect(m_view, &zTreeItemView::doTreeNodeClicked, this, &TreeTab::toggleNode);
    connect(m_view, &QWidget::customContextMenuRequested, this, &TreeTab::showContextMenu);
    connect(&m_model, &zTreeItemModel::doRowCountChanged, this, [this](int, int shownRows) {
        m_shownRows = shownRows;
        reportStatus();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

void TreeTab::setTable(Estimate::Table* table)
{
    for (int part = 0; part < tableParts; ++part)
        setTablePart(table, part);
}

void TreeTab::setTablePart(Estimate::Table* table, int part, const QList<QRect>* spans)
{
    switch (part) {
    case 0:
        m_table = table;
        m_model.SetTable(table ? table->table.get() : nullptr);
        m_model.SetWork(table ? table->table->getOwner() : nullptr);
        m_model.BindSrcData(table ? &table->rows : nullptr, true);
        break;
    case 1:
        spans ? m_view->setViewSpans(*spans) : applySectionSpans();
        break;
    default:
        m_model.UpdateData();
        break;
    }
}

void TreeTab::setDisplay(int displayStyle, bool checkBoxes)
{
    m_displayStyle = displayStyle;
    m_checkBoxes = checkBoxes;
    ZTVModeOption option;
    option.displayStyle = displayStyle;
    option.checkMode = checkBoxes ? 1 : 0;
    m_view->setTreeModeDisplay(treeColumn, option);
    m_view->viewport()->update();
}

void TreeTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    rereadFolds();
}

bool TreeTab::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress && !m_view->isEditing()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Insert) { // the context menu's delete and insert-after
            if (key == Qt::Key_Delete)
                deleteRow(m_view->currentIndex());
            else
                insertRow(&zTreeItemModel::insertItemAfterIndex, m_view->currentIndex());
            return true;
        }
    }
    // Block selection acts on key presses and mouse releases; recount once it has.
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease)
        reportStatus();
    return QWidget::eventFilter(watched, event);
}

void TreeTab::installHooks()
{
    m_model.dataStarting([this](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        BaseDataItem* row = m_model.findItemByIndex(index);
        if (!row)
            return false;
        if (role == blockMarkRole && row->IsBlock()) {
            value = EstimateColumns::blockColour();
            return true;
        }
        if (role == Qt::FontRole && row->getRowType() == EstimateRowType::Section) {
            QFont bold;
            bold.setBold(true);
            value = bold;
            return true;
        }
        value = EstimateColumns::cell(row, EstimateColumns::fieldOf(header), role);
        return value.isValid();
    });
    m_model.editorStarting([this](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        return role != Qt::EditRole
            || (m_editor && m_editor->editCell(m_model.findItemByIndex(index), EstimateColumns::fieldOf(header), value));
    });
    m_model.callFlags([](const QModelIndex&, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags) {
        if (!EstimateColumns::isComputed(EstimateColumns::fieldOf(header)))
            return false;
        flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled; // totals are computed, never typed
        return true;
    });
}

void TreeTab::toggleNode(const QModelIndex& index)
{
    const bool expanded = index.data(zTreeItemModel::TreeExpandedRole).toBool();
    BaseDataItem* row = m_model.findItemByIndex(index);
    if (m_model.setData(index, !expanded, zTreeItemModel::TreeExpandedRole))
        Q_EMIT rowFolded(row, expanded);
}

// The shown rows are rebuilt from the rows' flags; the current cell stays where it was when still shown.
void TreeTab::rereadFolds()
{
    const QModelIndex current = m_view->currentIndex();
    BaseDataItem* currentRow = m_model.findItemByIndex(current);
    m_model.UpdateData();
    const int shownRow = m_model.findVirtualIndexByItem(currentRow);
    if (shownRow >= 0)
        m_view->setCurrentIndex(m_model.index(shownRow, current.column()));
}

void TreeTab::showContextMenu(const QPoint& position)
{
    const QModelIndex index = m_view->indexAt(position);
    if (!index.isValid() || !m_table)
        return;
    QMenu menu(this);
    menu.addAction(tr("Insert row before"), this, [this, index] { insertRow(&zTreeItemModel::insertItemBeforeIndex, index); });
    menu.addAction(tr("Insert row after"), this, [this, index] { insertRow(&zTreeItemModel::insertItemAfterIndex, index); });
    QAction* insertUnder = menu.addAction(tr("Insert row under"), this, [this, index] { insertRowUnder(index); });
    insertUnder->setEnabled(EstimateEditor::hasRoomBelow(m_model.findItemByIndex(index)));
    menu.addSeparator();
    menu.addAction(tr("Delete row"), this, [this, index] { deleteRow(index); });
    menu.exec(m_view->viewport()->mapToGlobal(position));
}

bool TreeTab::insertRowUnder(const QModelIndex& index)
{
    return EstimateEditor::hasRoomBelow(m_model.findItemByIndex(index)) && insertRow(&zTreeItemModel::insertItemUnderIndex, index);
}

void TreeTab::deleteRow(const QModelIndex& index)
{
    // The rows are taken out, not destroyed, so the delete can be undone.
    if (BaseDataItem* row = m_model.findItemByIndex(index); row && m_table && m_editor)
        m_editor->removeRow(*m_table, row);
}

void TreeTab::reveal(BaseDataItem* row)
{
    QList<BaseDataItem*> ancestors;
    for (BaseDataItem* ancestor = row->getParent(); ancestor; ancestor = ancestor->getParent())
        ancestors.prepend(ancestor);
    for (BaseDataItem* ancestor : qAsConst(ancestors)) { // from the top: a row expands only while it is shown
        const int virtualRow = m_model.findVirtualIndexByItem(ancestor);
        if (!ancestor->getExpanded() && virtualRow >= 0
            && m_model.setData(m_model.index(virtualRow, treeColumn), true, zTreeItemModel::TreeExpandedRole))
            Q_EMIT rowFolded(ancestor, false); // the counterpart on the audit's other side unfolds too
    }
    // The code cell: the frozen strip would scroll sideways to follow a current cell outside it.
    const QModelIndex index = m_model.index(m_model.findVirtualIndexByItem(row), 0);
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index);
}

FindBar::Scope TreeTab::findScope()
{
    if (!m_table)
        return {};
    return {&m_table->rows, [this](int listPosition) { reveal(m_table->rows.at(listPosition)); }};
}

void TreeTab::rebind()
{
    if (!m_table)
        return;
    // A row inserted under a parent joins the list only when the tree is flattened again.
    m_model.BindSrcData(&m_table->rows, true);
    applySectionSpans();
    m_model.UpdateData();
}

bool TreeTab::insertRow(void (zTreeItemModel::*insert)(QModelIndex), const QModelIndex& index)
{
    if (!m_table || !m_editor || !m_model.findItemByIndex(index))
        return false;
    (m_model.*insert)(index);
    rebind();
    const QList<BaseDataItem*> inserted = EstimateEditor::completeNewRows(*m_table);
    Q_EMIT rowsChanged();
    for (BaseDataItem* row : inserted)
        m_editor->recordInsertion(*m_table, row);
    return true;
}

void TreeTab::applySectionSpans()
{
    m_view->setViewSpans(sectionSpans(m_table));
}

QList<QRect> TreeTab::sectionSpans(const Estimate::Table* table)
{
    QList<QRect> spans;
    const int spannedColumns = EstimateColumns::all().size() - 2; // description to unit price
    for (int originalRow = 0; table && originalRow < table->rows.size(); ++originalRow) {
        if (table->rows.at(originalRow)->getRowType() == EstimateRowType::Section)
            spans.append(QRect(treeColumn, originalRow, spannedColumns, 1));
    }
    return spans;
}

void TreeTab::reportStatus()
{
    int blocked = 0;
    const int allRows = m_table ? m_table->rows.size() : 0;
    for (int row = 0; row < allRows; ++row)
        blocked += m_table->rows.at(row)->IsBlock() ? 1 : 0;
    Q_EMIT statusChanged(tr("%L1 of %L2 rows shown, %L3 block-selected").arg(m_shownRows).arg(allRows).arg(blocked));
}
