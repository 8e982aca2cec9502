#include "FlatTab.h"

#include "EstimateColumns.h"
#include "EstimateEditor.h"
#include "EstimateFields.h"

#include <zBaseHeaderItem.h>
#include <zBaseItemViewBlock.h>

#include <QHeaderView>

#include <utility>
#include <QTableView>
#include <QVBoxLayout>

FlatTab::FlatTab(QWidget* parent)
    : QWidget(parent)
    , m_view(new QTableView(this))
{
    EstimateColumns::fill(m_columns);
    m_model.setHeaderColumn(&m_columns);
    m_model.dataStarting([this](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        BaseDataItem* row = m_model.GetBindSrcData()->value(index.row());
        if (role == Qt::BackgroundRole && row && row->IsBlock()) {
            value = EstimateColumns::blockColour();
            return true;
        }
        value = EstimateColumns::cell(row, EstimateColumns::fieldOf(header), role);
        return value.isValid();
    });
    m_model.editorStarting([this](int role, const QModelIndex& index, const zBaseHeaderItem* header, QVariant& value) {
        return role != Qt::EditRole
            || (m_editor && m_editor->editCell(m_model.GetBindSrcData()->value(index.row()), EstimateColumns::fieldOf(header), value));
    });
    // Computed cells answer the preset flags without "enabled"/"editable" changes: selectable, read-only.
    m_model.callFlags([](const QModelIndex&, const zBaseHeaderItem* header, QFlags<Qt::ItemFlag>& flags) {
        if (!EstimateFields::isComputed(EstimateColumns::fieldOf(header)))
            return true; // the base's flags
        flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        return false;
    });
    m_view->setObjectName(QStringLiteral("flatView"));
    m_view->setModel(&m_model);
    m_view->verticalHeader()->setDefaultSectionSize(22);
    EstimateColumns::applyDefaultWidths(*m_view->horizontalHeader(), 340);
    zBaseItemViewBlock::RegistUseBlock(m_view);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

void FlatTab::setTable(Estimate::Table* table)
{
    m_table = table;
    refresh();
}

FindBar::Scope FlatTab::findScope()
{
    if (!m_table)
        return {};
    return {&m_table->rows, [this](int listPosition) {
        const QModelIndex index = m_model.index(listPosition, 1);
        m_view->setCurrentIndex(index);
        m_view->scrollTo(index);
    }};
}

// A hidden list reads nothing: its refresh, a pass over the rows for the header, waits until it is shown.
void FlatTab::followStructure(const StructureChange& change)
{
    if (change.table != m_table)
        return;
    if (isVisible())
        refresh();
    else
        m_refreshWaiting = true;
}

void FlatTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(m_refreshWaiting, false))
        refresh();
}

void FlatTab::refresh()
{
    m_model.SetTable(m_table ? m_table->table.get() : nullptr);
    m_model.BindSrcData(m_table ? &m_table->rows : nullptr);
    m_model.UpdateData();
}
