#include "FindBar.h"

#include "Estimate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStringMatcher>
#include <QTimer>
#include <QToolButton>

namespace {
bool cellContains(BaseDataItem* row, int field, const QStringMatcher& matcher)
{
    const QVariant value = row->getValue(field);
    if (value.userType() == QMetaType::QString) // read in place: a million copies show in a search
        return matcher.indexIn(*static_cast<const QString*>(value.constData())) >= 0;
    return matcher.indexIn(value.toString()) >= 0;
}

bool rowMatches(BaseDataItem* row, const QStringMatcher& matcher)
{
    return cellContains(row, EstimateField::Code, matcher) || cellContains(row, EstimateField::Name, matcher);
}

constexpr int rowsPerSlice = 65536; // a few milliseconds of reading: events are served between slices
}

FindBar::FindBar(std::function<Scope()> currentScope, QWidget* parent)
    : QWidget(parent)
    , m_currentScope(std::move(currentScope))
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    m_field->setPlaceholderText(tr("Find code or description"));
    m_field->setClearButtonEnabled(true);
    auto* previous = new QToolButton(this);
    previous->setArrowType(Qt::UpArrow);
    auto* next = new QToolButton(this);
    next->setArrowType(Qt::DownArrow);
    auto* close = new QToolButton(this);
    close->setText(tr("Close"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(new QLabel(tr("Find:"), this));
    layout->addWidget(m_field, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_status);
    layout->addWidget(close);
    connect(m_field, &QLineEdit::returnPressed, this, [this] { step(+1); });
    connect(m_field, &QLineEdit::textChanged, this, [this] { m_status->clear(); });
    connect(previous, &QToolButton::clicked, this, [this] { step(-1); });
    connect(next, &QToolButton::clicked, this, [this] { step(+1); });
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::hide, Qt::WidgetWithChildrenShortcut);
}

void FindBar::open()
{
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::step(int direction)
{
    show(); // F3 after the bar was closed: the count shows again
    const Scope scope = m_currentScope();
    if (!scope.rows || m_field->text().isEmpty())
        return;
    if (m_stale || scope.rows != m_scope.rows || m_field->text() != m_text)
        restart(scope);
    m_pending = direction;
    if (!settlePending())
        readSlice();
}

void FindBar::invalidate()
{
    m_stale = true;
    m_pending = 0;
}

QString FindBar::status() const
{
    if (m_text.isEmpty() || m_stale)
        return {};
    if (m_matches.isEmpty())
        return isComplete() ? tr("No matches") : tr("Searching…");
    const QString count = tr("%L1").arg(m_matches.size()) + (isComplete() ? QString() : QStringLiteral("…"));
    return tr("%L1 of %2").arg(m_current + 1).arg(count);
}

void FindBar::restart(const Scope& scope)
{
    m_scope = scope;
    m_text = m_field->text();
    m_matches.clear();
    m_readRows = 0;
    m_current = -1;
    m_stale = false;
}

// Reads one slice of rows, settles a waiting step if it can, and goes on after the next events.
void FindBar::readSlice()
{
    m_scanScheduled = false;
    if (m_stale)
        return; // the rows changed or went: the next step starts over
    const QStringMatcher matcher(m_text, Qt::CaseInsensitive);
    const QList<BaseDataItem*>& rows = *m_scope.rows;
    const int end = qMin(rows.size(), m_readRows + rowsPerSlice);
    for (; m_readRows < end; ++m_readRows) {
        if (rowMatches(rows.at(m_readRows), matcher))
            m_matches.append(m_readRows);
    }
    if (settlePending() && isComplete())
        m_status->setText(status());
    else
        scheduleSlice();
}

void FindBar::scheduleSlice()
{
    m_status->setText(status());
    if (m_scanScheduled || isComplete())
        return;
    m_scanScheduled = true;
    QTimer::singleShot(0, this, &FindBar::readSlice);
}

bool FindBar::isComplete() const
{
    return m_scope.rows && m_readRows >= m_scope.rows->size();
}

bool FindBar::settlePending()
{
    if (m_pending == 0)
        return true;
    const int wanted = m_current + m_pending;
    int next = -1;
    if (wanted >= 0 && wanted < m_matches.size())
        next = wanted;
    else if (isComplete() && !m_matches.isEmpty())
        next = m_pending > 0 ? 0 : m_matches.size() - 1; // round the end
    else if (!isComplete())
        return false; // its match is not read yet
    m_pending = 0;
    if (next >= 0) {
        m_current = next;
        m_scope.show(m_matches.at(m_current));
    }
    m_status->setText(status());
    return true;
}
