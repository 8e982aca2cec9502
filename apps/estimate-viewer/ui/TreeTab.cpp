#include "TreeTab.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"
#include "EstimateFields.h"

#include <TreeBaseItem.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemViewBlock.h>
#include <zTableHeader.h>
#include <zTreeItemView.h>

#include <QEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {
constexpr int treeColumn = 1; // the description column draws the tree

// A section row's description spans the columns up to the unit price.
QRect sectionSpan(int originalRow)
{
    return QRect(treeColumn, originalRow, EstimateColumns::all().size() - 2, 1);
}
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

TreeTab::Prepared TreeTab::prepare(const Estimate::Table* table)
{
    return {sectionSpans(table), inPreOrder(table)};
}

// Each part is a pass over the table's rows. A list in pre-order already is bound as it is, which
// takes one pass where flattening the tree takes two, and the refresh that shows the rows finds
// them as bound and asks only which are visible.
void TreeTab::setTablePart(Estimate::Table* table, int part, const Prepared* prepared)
{
    switch (part) {
    case 0:
        m_table = table;
        m_model.SetTable(table ? table->table.get() : nullptr);
        m_model.SetWork(table ? table->table->getOwner() : nullptr);
        m_model.BindSrcData(table ? &table->rows : nullptr, !(prepared && prepared->inPreOrder));
        break;
    case 1:
        // By position in the list: found again when the bind put the list in pre-order.
        m_sectionSpans = prepared && prepared->inPreOrder ? prepared->spans : sectionSpans(m_table);
        m_view->setViewSpans(m_sectionSpans);
        countBlocks();
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
    // Block selection acts on F4-F7 and on Ctrl+ and Shift+clicks; recount once it has.
    const bool blockKey = event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() >= Qt::Key_F4
        && static_cast<QKeyEvent*>(event)->key() <= Qt::Key_F7;
    const bool blockClick = event->type() == QEvent::MouseButtonRelease
        && (static_cast<QMouseEvent*>(event)->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
    if (blockKey || blockClick) {
        countBlocks();
        reportStatus();
    }
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
        if (!EstimateFields::isComputed(EstimateColumns::fieldOf(header)))
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
    // From the top, as expand requests would: a row expands only while it is shown. The flags are set
    // first and the tree then follows the one run of rows below the topmost row expanded.
    QList<BaseDataItem*> expanded;
    for (BaseDataItem* ancestor : qAsConst(ancestors)) {
        const bool shown = expanded.isEmpty() ? m_model.findVirtualIndexByItem(ancestor) >= 0 : m_model.getRowIsVisible(ancestor);
        if (!ancestor->getExpanded() && shown) {
            m_model.setExpandeItem(ancestor, true);
            expanded.append(ancestor);
        }
    }
    if (!expanded.isEmpty()) {
        const int top = m_model.findOriginalIndexByItem(expanded.first());
        const int rows = 1 + expanded.first()->getChildrenItemCount(); // in pre-order, its subtree follows it
        m_model.boundRowsChanged(top, rows, rows);
        for (BaseDataItem* ancestor : qAsConst(expanded))
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
    countBlocks();
}

void TreeTab::followStructure(const StructureChange& change)
{
    if (!m_table || change.table != m_table)
        return;
    if (change.position < 0) {
        rebind();
        return;
    }
    const int count = change.rows.size();
    shiftSectionSpans(change);
    m_model.boundRowsChanged(change.position, change.inserted ? 0 : count, change.inserted ? count : 0);
    for (BaseDataItem* row : change.rows)
        m_blockedRows += row->IsBlock() ? (change.inserted ? 1 : -1) : 0;
    reportStatus();
}

// The new row goes into the table's list where flattening the tree again would put it, and the tree
// follows that one row; the model's insert has linked it into the tree already.
bool TreeTab::insertRow(void (zTreeItemModel::*insert)(QModelIndex), const QModelIndex& index)
{
    BaseDataItem* at = m_model.findItemByIndex(index);
    if (!m_table || !m_editor || !at)
        return false;
    TreeBaseItem* parent = insert == &zTreeItemModel::insertItemUnderIndex ? dynamic_cast<TreeBaseItem*>(at) : at->getParent();
    const QList<BaseDataItem*> siblingsBefore = parent ? parent->getBaseDataItemlist() : QList<BaseDataItem*>();
    const int rowsBefore = m_table->rows.size();
    const int atBefore = m_model.findOriginalIndexByItem(at);
    BaseDataItem* row = nullptr;
    int position = -1;
    if (!parent && insert == &zTreeItemModel::insertItemAfterIndex && at->getChildrenCount() > 0 && atBefore >= 0) {
        // After a top-level row with a subtree, flattening puts the new row behind the subtree: it goes there
        // at once, instead of beside the row and then past its subtree.
        row = new TreeBaseItem; // owned by the table's rows from here on
        position = atBefore + 1 + at->getChildrenItemCount();
        m_table->rows.insert(position, row);
        m_model.boundRowsChanged(position, 0, 1);
    } else {
        (m_model.*insert)(index);
    }
    if (!row && parent) {
        const QList<BaseDataItem*>& siblings = parent->getBaseDataItemlist();
        int childPos = 0;
        while (childPos < siblingsBefore.size() && siblingsBefore.at(childPos) == siblings.at(childPos))
            ++childPos;
        row = siblings.size() == siblingsBefore.size() + 1 ? siblings.at(childPos) : nullptr;
        BaseDataItem* previous = childPos > 0 ? siblings.at(childPos - 1) : parent; // and its subtree
        const int previousAt = row ? m_model.findOriginalIndexByItem(previous) : -1;
        position = previousAt < 0 ? -1 : previousAt + 1 + (previous == parent ? 0 : previous->getChildrenItemCount());
        if (position >= 0) {
            m_table->rows.insert(position, row);
            m_model.boundRowsChanged(position, 0, 1); // the model's insert left the list alone
        }
    } else if (!row && m_table->rows.size() == rowsBefore + 1) {
        // A top-level row without a subtree behind it: the model put the new row beside it.
        position = insert == &zTreeItemModel::insertItemAfterIndex ? atBefore + 1 : atBefore;
        row = m_table->rows.value(position);
    }
    if (!row || position < 0) {
        rebind();
        const QList<BaseDataItem*> inserted = EstimateEditor::completeNewRows(*m_table);
        Q_EMIT rowsChanged(StructureChange{m_table, -1, true, inserted});
        for (BaseDataItem* newRow : inserted)
            m_editor->recordInsertion(*m_table, newRow);
        return true;
    }
    m_editor->completeNewRow(*m_table, row);
    const StructureChange change{m_table, position, true, {row}};
    shiftSectionSpans(change);
    Q_EMIT rowsChanged(change);
    m_editor->recordInsertion(*m_table, row);
    return true;
}

void TreeTab::applySectionSpans()
{
    m_sectionSpans = sectionSpans(m_table);
    m_view->setViewSpans(m_sectionSpans);
}

// The spans are by original row: those of rows that went go, those below the run move, new sections get one.
void TreeTab::shiftSectionSpans(const StructureChange& change)
{
    const int count = change.rows.size();
    QList<QRect> added; // the new sections', in order, placed before the first span below them
    for (int offset = 0; change.inserted && offset < count; ++offset) {
        if (change.rows.at(offset)->getRowType() == EstimateRowType::Section)
            added.append(sectionSpan(change.position + offset));
    }
    QList<QRect> spans;
    for (QRect span : qAsConst(m_sectionSpans)) {
        if (span.top() >= change.position) {
            spans += added;
            added.clear();
        }
        if (!change.inserted && span.top() >= change.position && span.top() < change.position + count)
            continue;
        if (span.top() >= change.position)
            span.moveTop(span.top() + (change.inserted ? count : -count));
        spans.append(span);
    }
    m_sectionSpans = spans + added;
    m_view->setViewSpans(m_sectionSpans);
}

void TreeTab::countBlocks()
{
    m_blockedRows = 0;
    for (int row = 0; m_table && row < m_table->rows.size(); ++row)
        m_blockedRows += m_table->rows.at(row)->IsBlock() ? 1 : 0;
}

bool TreeTab::inPreOrder(const Estimate::Table* table)
{
    if (!table)
        return false;
    // The last row and its ancestors, each with the position of its next child to come.
    struct Open
    {
        BaseDataItem* row;
        int nextChild;
    };
    std::vector<Open> path;
    const auto allChildrenCame = [](const Open& open) { return open.nextChild == open.row->getChildrenCount(); };
    for (BaseDataItem* row : table->rows) {
        if (!row)
            return false;
        BaseDataItem* parent = row->getParent();
        for (; !path.empty() && path.back().row != parent; path.pop_back()) {
            if (!allChildrenCame(path.back()))
                return false;
        }
        if (parent) {
            if (path.empty())
                return false; // its parent is not above it
            Open& open = path.back();
            const QList<BaseDataItem*>& children = parent->getBaseDataItemlist();
            if (open.nextChild >= children.size() || children.at(open.nextChild) != row)
                return false;
            ++open.nextChild;
        }
        path.push_back({row, 0});
    }
    return std::all_of(path.cbegin(), path.cend(), allChildrenCame);
}

QList<QRect> TreeTab::sectionSpans(const Estimate::Table* table)
{
    QList<QRect> spans;
    for (int originalRow = 0; table && originalRow < table->rows.size(); ++originalRow) {
        if (table->rows.at(originalRow)->getRowType() == EstimateRowType::Section)
            spans.append(sectionSpan(originalRow));
    }
    return spans;
}

void TreeTab::reportStatus()
{
    const int allRows = m_table ? m_table->rows.size() : 0;
    Q_EMIT statusChanged(tr("%L1 of %L2 rows shown, %L3 block-selected").arg(m_shownRows).arg(allRows).arg(m_blockedRows));
}
