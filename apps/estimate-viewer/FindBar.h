#pragma once

#include <QVector>
#include <QWidget>

#include <functional>

class BaseDataItem;
class QLabel;
class QLineEdit;

/*!
 * The find bar: finds rows whose code or description contains the text, case
 * aside, in the rows of the current tab, and shows each match ("3 of 17"). The
 * matches are listed once per text and row list, so a step costs no search.
 *
 *     FindBar bar([&] { return currentTab->findScope(); });
 *     bar.open();        // Ctrl+F
 *     bar.step(+1);      // Enter, F3; -1 for Shift+F3
 */
class FindBar : public QWidget
{
    Q_OBJECT
public:
    /// Where to search: a row list, and how to reveal and select one of its rows.
    struct Scope
    {
        const QList<BaseDataItem*>* rows = nullptr;
        std::function<void(int listPosition)> show;
    };
    explicit FindBar(std::function<Scope()> currentScope, QWidget* parent = nullptr);

    /// Shows the bar with its text selected, ready for typing.
    void open();
    /// Goes to the next (+1) or previous (-1) match, wrapping round.
    void step(int direction);
    /// Rows changed: the matches are listed again at the next step.
    void invalidate();
    /// "3 of 17", "No matches", or empty before a search.
    QString status() const;
    QLineEdit* field() const { return m_field; }

private:
    void listMatches(const Scope& scope);

    std::function<Scope()> m_currentScope;
    QLineEdit* m_field; // child
    QLabel* m_status; // child
    QVector<int> m_matches; // list positions, ascending
    const QList<BaseDataItem*>* m_matchedRows = nullptr; // not owned; the list m_matches belongs to
    QString m_matchedText;
    bool m_stale = true;
    int m_current = -1;
};
