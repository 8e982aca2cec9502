#include "GridTab.h"

#include "EstimateColumns.h"

#include <GridView.h>
#include <TableHeaderColumn.h>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
constexpr int treeColumn = 1;

Qtitan::GridView* makeGrid(BaseDataItemModel& model, QWidget* parent)
{
    EstimateColumns::fill(*model.getHeaderColumn());
    auto* grid = new Qtitan::GridView(parent);
    grid->setModel(&model);
    grid->setTreeColumn(treeColumn);
    grid->horizontalHeader()->resizeSection(treeColumn, 340);
    return grid;
}

void bind(BaseDataItemModel& model, Estimate::Table* table)
{
    model.BindSrcData(table ? &table->rows : nullptr);
    model.UpdateData();
}
}

GridTab::GridTab(QWidget* parent)
    : QWidget(parent)
    , m_tableChooser(new QComboBox(this))
    , m_grid(makeGrid(m_model, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(m_tableChooser);
    layout->addWidget(m_grid);
    connect(m_tableChooser, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &GridTab::showTable);
}

void GridTab::setEstimate(Estimate* estimate)
{
    m_estimate = estimate;
    m_model.SetAudit(estimate->audit.get());
    m_tables.clear();
    const QSignalBlocker blocker(m_tableChooser);
    m_tableChooser->clear();
    for (const auto& work : estimate->works) {
        for (const auto& table : work->tables) {
            m_tables.append(table.get());
            m_tableChooser->addItem(work->name + QStringLiteral(" / ") + table->name);
        }
    }
    showTable(0);
}

void GridTab::showTable(int tablePosition)
{
    bind(m_model, m_tables.value(tablePosition, nullptr));
}

void GridTab::refresh()
{
    showTable(m_tableChooser->currentIndex());
}

AuditTab::AuditTab(QWidget* parent)
    : QWidget(parent)
    , m_submittedGrid(makeGrid(m_submittedModel, this))
    , m_reviewedGrid(makeGrid(m_reviewedModel, this))
{
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

void AuditTab::setEstimate(Estimate* estimate)
{
    m_estimate = estimate;
    m_submittedModel.SetAudit(estimate->audit.get());
    m_reviewedModel.SetAudit(estimate->audit.get());
    refresh();
}

void AuditTab::refresh()
{
    auto firstTable = [this](int nodeId) -> Estimate::Table* {
        Estimate::Work* work = m_estimate ? m_estimate->workByNodeId(nodeId) : nullptr;
        return work && !work->tables.empty() ? work->tables.front().get() : nullptr;
    };
    bind(m_submittedModel, firstTable(m_estimate ? m_estimate->submittedNodeId : -1));
    bind(m_reviewedModel, firstTable(m_estimate ? m_estimate->reviewedNodeId : -1));
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
