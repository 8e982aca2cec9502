#include "GridTab.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"

#include <GridView.h>
#include <TableHeaderColumn.h>

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
constexpr int treeColumn = 1;

Qtitan::GridView* makeGrid(EstimateGridModel& model, QWidget* parent, const QString& name, int descriptionWidth)
{
    EstimateColumns::fill(*model.getHeaderColumn());
    auto* grid = new Qtitan::GridView(parent);
    model.refreshWhenShown(grid);
    grid->setObjectName(name);
    grid->setModel(&model);
    grid->setTreeColumn(treeColumn);
    EstimateColumns::applyDefaultWidths(*grid->horizontalHeader(), descriptionWidth);
    return grid;
}

// Unfolds the folded rows above a row, from the top, then selects and shows it.
void revealRow(Qtitan::GridView& grid, BaseDataItemModel& model, int row)
{
    QVector<int> ancestors;
    for (BaseDataItem* ancestor = model.GetBean(row)->getParent(); ancestor; ancestor = ancestor->getParent())
        ancestors.prepend(model.GetRowByItem(ancestor));
    for (int ancestorRow : qAsConst(ancestors)) {
        if (ancestorRow >= 0 && model.getFold(ancestorRow))
            grid.setRowFolded(ancestorRow, false);
    }
    const QModelIndex index = model.index(row, treeColumn);
    grid.setCurrentIndex(index);
    grid.scrollTo(index);
}

FindBar::Scope findIn(Qtitan::GridView& grid, BaseDataItemModel& model)
{
    return {model.All(), [&grid, &model](int row) { revealRow(grid, model, row); }};
}

// Part 0 binds the rows, 1 shows them; -1 does both. A new list is shown at once, hidden or not;
// what follows on it may wait for the grid to be shown.
void bind(EstimateGridModel& model, Estimate::Table* table, int part = -1)
{
    if (part <= 0)
        model.BindSrcData(table ? &table->rows : nullptr);
    if (part != 0)
        model.refreshNow();
}

// The model follows the run of rows if it shows that table's list; its grid refreshes once shown.
void follow(EstimateGridModel& model, const StructureChange& change)
{
    if (!change.table || model.All() != &change.table->rows)
        return;
    if (change.position < 0) {
        bind(model, change.table);
        return;
    }
    const int count = change.rows.size();
    model.listRowsChanged(change.position, change.inserted ? 0 : count, change.inserted ? count : 0);
}
}

GridTab::GridTab(QWidget* parent)
    : QWidget(parent)
    , m_tableChooser(new QComboBox(this))
    , m_grid(makeGrid(m_model, this, QStringLiteral("gridView"), 340))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(m_tableChooser);
    layout->addWidget(m_grid);
    connect(m_tableChooser, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &GridTab::showTable);
}

void GridTab::setEstimate(Estimate* estimate, bool bindNow)
{
    m_estimate = estimate;
    m_model.SetAudit(estimate ? estimate->audit.get() : nullptr);
    m_tables.clear();
    const QSignalBlocker blocker(m_tableChooser);
    m_tableChooser->clear();
    for (size_t workPos = 0; estimate && workPos < estimate->works.size(); ++workPos) {
        const auto& work = estimate->works[workPos];
        for (const auto& table : work->tables) {
            m_tables.append(table.get());
            m_tableChooser->addItem(work->name + QStringLiteral(" / ") + table->name);
        }
    }
    if (bindNow)
        showTable(0);
    else
        bind(m_model, nullptr, 0); // the rows shown before are let go of at once
}

void GridTab::bindPart(int part)
{
    bind(m_model, m_tables.value(m_tableChooser->currentIndex(), nullptr), part);
}

void GridTab::showTable(int tablePosition)
{
    bind(m_model, m_tables.value(tablePosition, nullptr));
}

FindBar::Scope GridTab::findScope()
{
    return findIn(*m_grid, m_model);
}

void GridTab::refresh()
{
    showTable(m_tableChooser->currentIndex());
}

void GridTab::followStructure(const StructureChange& change)
{
    follow(m_model, change);
}

void GridTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_model.catchUp();
}

AuditTab::AuditTab(QWidget* parent)
    : QWidget(parent)
    , m_submittedGrid(makeGrid(m_submittedModel, this, QStringLiteral("submittedGrid"), 150))
    , m_reviewedGrid(makeGrid(m_reviewedModel, this, QStringLiteral("reviewedGrid"), 150))
    , m_focusedGrid(m_submittedGrid)
{
    m_submittedGrid->installEventFilter(this);
    m_reviewedGrid->installEventFilter(this);
    auto* splitter = new QSplitter(this);
    for (auto side : {std::make_pair(m_submittedGrid, tr("Submitted")), std::make_pair(m_reviewedGrid, tr("Reviewed"))}) {
        auto* pane = new QWidget(splitter);
        auto* paneLayout = new QVBoxLayout(pane);
        paneLayout->setContentsMargins(0, 4, 0, 0);
        paneLayout->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(side.second), pane));
        side.first->setParent(pane);
        paneLayout->addWidget(side.first);
        splitter->addWidget(pane);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

void AuditTab::setEstimate(Estimate* estimate, bool bindNow)
{
    m_estimate = estimate;
    if (!bindNow) { // the models let go of the rows shown before at once
        bind(m_submittedModel, nullptr);
        bind(m_reviewedModel, nullptr);
    }
    m_submittedModel.SetAudit(estimate ? estimate->audit.get() : nullptr);
    m_reviewedModel.SetAudit(estimate ? estimate->audit.get() : nullptr);
    if (bindNow)
        refresh();
}

void AuditTab::setEditor(EstimateEditor* editor)
{
    m_submittedModel.setEditor(editor);
    m_reviewedModel.setEditor(editor);
}

FindBar::Scope AuditTab::findScope()
{
    return findIn(*m_focusedGrid, m_focusedGrid == m_submittedGrid ? m_submittedModel : m_reviewedModel);
}

bool AuditTab::eventFilter(QObject* watched, QEvent* event)
{
    // The find bar takes focus from the grids, so the side to search is the one focused last.
    if (event->type() == QEvent::FocusIn && (watched == m_submittedGrid || watched == m_reviewedGrid))
        m_focusedGrid = static_cast<Qtitan::GridView*>(watched);
    return QWidget::eventFilter(watched, event);
}

void AuditTab::refresh()
{
    bindSide(false);
    bindSide(true);
}

void AuditTab::bindSide(bool reviewed, int part)
{
    const int nodeId = !m_estimate ? -1 : reviewed ? m_estimate->reviewedNodeId : m_estimate->submittedNodeId;
    Estimate::Work* work = m_estimate ? m_estimate->workByNodeId(nodeId) : nullptr;
    bind(reviewed ? m_reviewedModel : m_submittedModel, work && !work->tables.empty() ? work->tables.front().get() : nullptr, part);
}

void AuditTab::followStructure(const StructureChange& change)
{
    follow(m_submittedModel, change);
    follow(m_reviewedModel, change);
}

void AuditTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_submittedModel.catchUp();
    m_reviewedModel.catchUp();
}

void AuditTab::followFold(BaseDataItem* row, bool folded)
{
    // Through the side that shows the row: its model asks the audit service to fold the counterpart.
    for (BaseDataItemModel* side : {&m_submittedModel, &m_reviewedModel}) {
        const int position = side->GetRowByItem(row);
        if (position >= 0) {
            side->setFold(position, !folded); // the flag is the expanded flag
            return;
        }
    }
}
