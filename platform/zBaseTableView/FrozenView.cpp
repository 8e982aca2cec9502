#include "FrozenView.h"

#include "TableGridPainter.h"

#include <utility>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>

#include <utility>

FrozenView::FrozenView(QTableView* mainView, Qt::Orientation orientation)
    : QTableView(mainView)
    , m_mainView(mainView)
    , m_orientation(orientation)
{
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const bool columnStrip = orientation == Qt::Vertical;
    (columnStrip ? verticalHeader() : horizontalHeader())->hide();
    QScrollBar* ownBar = columnStrip ? verticalScrollBar() : horizontalScrollBar();
    QScrollBar* mainBar = columnStrip ? mainView->verticalScrollBar() : mainView->horizontalScrollBar();
    connect(mainBar, &QScrollBar::valueChanged, ownBar, &QScrollBar::setValue);
    connect(ownBar, &QScrollBar::valueChanged, mainBar, &QScrollBar::setValue);
    QHeaderView* mainSections = columnStrip ? mainView->verticalHeader() : mainView->horizontalHeader();
    QHeaderView* ownSections = columnStrip ? verticalHeader() : horizontalHeader();
    // Rows of a column strip (columns of a row strip) keep the main view's sizes one by one.
    connect(mainSections, &QHeaderView::sectionResized, ownSections,
            [ownSections](int section, int, int newSize) { ownSections->resizeSection(section, newSize); });
    hide();
}

void FrozenView::setFrozenCount(int count)
{
    m_frozenCount = qMax(0, count);
    followMainView();
}

void FrozenView::followMainView()
{
    if (model() != m_mainView->model())
        setModel(m_mainView->model());
    QItemSelectionModel* mainSelection = m_mainView->selectionModel();
    if (mainSelection && mainSelection != selectionModel() && mainSelection->model() == model())
        setSelectionModel(mainSelection);
    setVerticalScrollMode(m_mainView->verticalScrollMode());
    setHorizontalScrollMode(m_mainView->horizontalScrollMode());
    followSectionSizes();
    placeOverMainView();
}

void FrozenView::updateGeometries()
{
    QTableView::updateGeometries();
    // Only here does Qt give a scroll bar its range: with none, no current cell, key, wheel or drag moves the strip.
    (m_orientation == Qt::Vertical ? horizontalScrollBar() : verticalScrollBar())->setRange(0, 0);
}

void FrozenView::paintEvent(QPaintEvent* event)
{
    TableGridPainter::paint(this, d_ptr.data(), event, [this](QPaintEvent* e) { QTableView::paintEvent(e); });
}

void FrozenView::followSectionSizes()
{
    // Qt walks every section on setDefaultSectionSize, even for the size it has: a million-row strip
    // would take a pass over its rows at each layout of the main view.
    for (const auto& headers : {std::make_pair(verticalHeader(), m_mainView->verticalHeader()),
                          std::make_pair(horizontalHeader(), m_mainView->horizontalHeader())}) {
        if (headers.first->defaultSectionSize() != headers.second->defaultSectionSize())
            headers.first->setDefaultSectionSize(headers.second->defaultSectionSize());
    }
    for (int frozen = 0; frozen < m_frozenCount; ++frozen) {
        if (m_orientation == Qt::Vertical)
            setColumnWidth(frozen, m_mainView->columnWidth(frozen));
        else
            setRowHeight(frozen, m_mainView->rowHeight(frozen));
    }
}

void FrozenView::placeOverMainView()
{
    if (m_frozenCount == 0 || !model()) {
        hide();
        return;
    }
    horizontalHeader()->setFixedHeight(m_mainView->horizontalHeader()->height());
    verticalHeader()->setFixedWidth(m_mainView->verticalHeader()->width());
    setGeometry(stripGeometry());
    show();
    raise();
}

QRect FrozenView::stripGeometry() const
{
    const QHeaderView* mainTop = m_mainView->horizontalHeader();
    const QHeaderView* mainLeft = m_mainView->verticalHeader();
    const int frame = m_mainView->frameWidth();
    // isHidden, not isVisible: the strip is placed before the window is first shown too.
    const int topHeight = mainTop->isHidden() ? 0 : mainTop->height();
    const int leftWidth = mainLeft->isHidden() ? 0 : mainLeft->width();
    const QRect viewport = m_mainView->viewport()->geometry();
    if (m_orientation == Qt::Vertical) {
        const int stripWidth = mainTop->sectionPosition(m_frozenCount - 1) + mainTop->sectionSize(m_frozenCount - 1);
        return QRect(frame + leftWidth, frame, stripWidth, topHeight + viewport.height());
    }
    const int stripHeight = mainLeft->sectionPosition(m_frozenCount - 1) + mainLeft->sectionSize(m_frozenCount - 1);
    return QRect(frame, frame + topHeight, leftWidth + viewport.width(), stripHeight);
}
