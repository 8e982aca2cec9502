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
 * rows are read in slices between events, so no step holds the window up however
 * large the estimate: a step whose match is not read yet waits for it, and the
 * count grows ("3 of 17…") until every row is read.
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
    /// The rows changed or went: what was read of them is dropped.
    void invalidate();
    /// True while rows are still being read.
    bool isSearching() const { return m_scanScheduled; }
    /// "3 of 17", "3 of 17…" while counting, "No matches", or empty before a search.
    QString status() const;
    QLineEdit* field() const { return m_field; }

private:
    void restart(const Scope& scope);
    void readSlice();
    void scheduleSlice();
    bool isComplete() const;
    /// Goes to the pending step's match once it is known; true when none is pending any more.
    bool settlePending();

    std::function<Scope()> m_currentScope;
    QLineEdit* m_field; // child
    QLabel* m_status; // child
    Scope m_scope; // the rows being read and how to show one
    QString m_text;
    QVector<int> m_matches; // list positions read so far, ascending
    int m_readRows = 0; // rows 0 .. m_readRows - 1 are read
    int m_current = -1;
    int m_pending = 0; // a step waiting for its match: +1 or -1
    bool m_stale = true;
    bool m_scanScheduled = false;
};
