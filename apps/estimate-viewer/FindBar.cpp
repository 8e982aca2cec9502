#include "FindBar.h"

#include "Estimate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStringMatcher>
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
    if (m_stale || scope.rows != m_matchedRows || m_field->text() != m_matchedText)
        listMatches(scope);
    if (m_matches.isEmpty()) {
        m_status->setText(tr("No matches"));
        return;
    }
    const int count = m_matches.size();
    m_current = m_current < 0 && direction < 0 ? count - 1 : (m_current + direction + count) % count;
    m_status->setText(status());
    scope.show(m_matches.at(m_current));
}

void FindBar::invalidate()
{
    m_stale = true;
}

QString FindBar::status() const
{
    if (m_matchedText.isEmpty())
        return {};
    return m_matches.isEmpty() ? tr("No matches") : tr("%L1 of %L2").arg(m_current + 1).arg(m_matches.size());
}

void FindBar::listMatches(const Scope& scope)
{
    const QString text = m_field->text();
    const QStringMatcher matcher(text, Qt::CaseInsensitive);
    // A longer text on the same rows can only match rows that matched before: typing narrows.
    const bool narrows = !m_stale && scope.rows == m_matchedRows && !m_matchedText.isEmpty()
        && text.contains(m_matchedText, Qt::CaseInsensitive);
    QVector<int> matches;
    if (narrows) {
        for (int listPosition : qAsConst(m_matches)) {
            if (rowMatches(scope.rows->at(listPosition), matcher))
                matches.append(listPosition);
        }
    } else {
        for (int listPosition = 0; listPosition < scope.rows->size(); ++listPosition) {
            if (rowMatches(scope.rows->at(listPosition), matcher))
                matches.append(listPosition);
        }
    }
    m_matches = matches;
    m_matchedText = text;
    m_matchedRows = scope.rows;
    m_stale = false;
    m_current = -1;
}
