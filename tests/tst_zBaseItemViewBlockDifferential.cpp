// Random sequences of real key presses and mouse clicks on a table view with block
// selection, checked against a plain reference of the block rules after every event:
// the marks of every row and the calls the host's setter and test received.
//
// ITEMVIEWS_DIFF_STEPS sets the total number of events (default 200000, 3000 under
// AddressSanitizer), ITEMVIEWS_DIFF_SEED (default 1) the first sequence's seed; each
// sequence of 200 events runs on a fresh view with its own seed.

#include "TestHelpers.h"

#include <BaseDataItem.h>
#include <BaseDataItemModel.h>
#include <HeaderItem.h>
#include <TableHeaderColumn.h>
#include <zBaseHeaderColumn.h>
#include <zBaseHeaderItem.h>
#include <zBaseItemModel.h>
#include <zBaseItemViewBlock.h>
#include <zTreeItemModel.h>

#include <QTableView>
#include <QtTest>

#include <memory>

#include <random>
#include <vector>

namespace {

const int eventsPerSequence = 200;

enum class Kind { Grid, Flat, Tree };
enum class Action { None, SelectAll, UnselectAll, Toggle, BlockBegin, BlockEnd, ShiftExtend };

// ---------------------------------------------------------------------------
// The reference: marks per list position, the rules as straight loops.

struct Reference
{
    QList<BaseDataItem*> list; // null entries keep their position
    std::vector<bool> marks;
    QStringList calls;

    bool marked(int position) const { return list.at(position) && marks[position]; }
    void mark(int position, bool on) // through the host's setter
    {
        if (!list.at(position))
            return;
        calls.append(QString::number(position) + (on ? '+' : '-'));
        marks[position] = on;
    }
    void setDirectly(int position, bool on)
    {
        if (list.at(position))
            marks[position] = on;
    }
    QString text() const
    {
        QString out;
        for (int position = 0; position < list.size(); ++position)
            out += !list.at(position) ? 'x' : marks[position] ? '1' : '0';
        return out;
    }

    void run(Action action, BaseDataItem* row)
    {
        const int n = list.size();
        const int p = row ? list.indexOf(row) : -1;
        if (action == Action::SelectAll || action == Action::UnselectAll) {
            for (int i = 0; i < n; ++i)
                mark(i, action == Action::SelectAll);
        } else if (action == Action::Toggle && p >= 0) {
            calls.append('?' + QString::number(p));
            mark(p, !marks[p]);
        } else if (action == Action::BlockBegin && p >= 0) {
            for (int i = 0; i < n; ++i) {
                if (i < p)
                    mark(i, false);
                if (i > p && marked(i)) {
                    for (int j = p; j <= i - 1; ++j)
                        mark(j, true);
                    break;
                }
            }
            mark(p, true);
        } else if (action == Action::BlockEnd && p >= 0) {
            for (int i = n - 1; i >= 0; --i) {
                if (i > p)
                    mark(i, false);
                if (i < p && marked(i)) {
                    for (int j = i; j <= p - 1; ++j)
                        mark(j, true);
                    break;
                }
            }
            mark(p, true);
        } else if (action == Action::ShiftExtend && p >= 0) {
            shiftExtend(p);
        }
    }

    void shiftExtend(int p)
    {
        const int n = list.size();
        int down = -1;
        for (int i = p; i < n && down < 0; ++i)
            down = marked(i) ? i : -1;
        int up = -1;
        for (int i = p; i >= 0 && up < 0; --i)
            up = marked(i) ? i : -1;
        if (up >= 0 && down >= 0 && p - up >= down - p) {
            for (int i = 0; i < n; ++i) {
                if (i < p)
                    mark(i, false);
                else if (i <= down)
                    mark(i, true);
            }
        } else if (up >= 0) {
            for (int i = 0; i < n; ++i) {
                if (i >= up && i <= p)
                    mark(i, true);
                else if (i > p)
                    mark(i, false);
            }
        } else if (down >= 0) {
            for (int i = 0; i < n; ++i) {
                if (i < p)
                    setDirectly(i, false);
                else if (i <= down)
                    setDirectly(i, true);
            }
        }
        mark(p, true);
    }
};

// The controller's input table, written out plainly.
Action keyAction(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier || modifiers & Qt::AltModifier)
        return Action::None;
    switch (key) {
    case Qt::Key_F4: return Action::SelectAll;
    case Qt::Key_F5: return Action::BlockBegin;
    case Qt::Key_F6: return Action::BlockEnd;
    case Qt::Key_F7: return Action::UnselectAll;
    }
    return Action::None;
}

Action releaseAction(Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (button != Qt::LeftButton)
        return Action::None;
    if (modifiers == Qt::ControlModifier)
        return Action::Toggle;
    return modifiers == Qt::ShiftModifier ? Action::ShiftExtend : Action::None;
}

// ---------------------------------------------------------------------------
// The system under test: a shown view over one of the three models, with a recording host.

QString randomOutline(std::mt19937& random, Kind kind, int rowCount)
{
    QString outline;
    int previousDepth = 0;
    for (int row = 0; row < rowCount; ++row) {
        const int depth = kind == Kind::Tree && row > 0 ? int(random() % uint(qMin(previousDepth + 2, 3))) : 0;
        const char* flags[] = {"", "", "", "!", "-", "+"};
        outline += QString(depth, '-') + 'r' + QString::number(row) + flags[random() % 6] + '\n';
        previousDepth = depth;
    }
    return outline;
}

class Sequence
{
public:
    explicit Sequence(quint32 seed);
    /// Step 0 is the set-up; every later step sends one random event.
    QString step(int number);
    /// The first difference in marks or host calls, or what the model tester reported.
    QString difference() const;

private:
    QModelIndex randomViewIndex();
    BaseDataItem* rowAt(const QModelIndex& index) const;
    QString send(Action& action, BaseDataItem*& row);
    QString actualMarks() const;

    QString m_difference;

    std::mt19937 m_random;
    Kind m_kind;
    TreeFixture m_tree; // before the view: the rows outlive it
    zBaseHeaderColumn m_columns;
    Reference m_reference;
    QList<BaseDataItem*> m_list;
    QStringList m_calls;
    QTableView m_view;
    std::unique_ptr<ToleratedModelTester> m_tester; // goes before the view's model
};

Sequence::Sequence(quint32 seed)
    : m_random(seed)
    , m_kind(Kind(m_random() % 3))
    , m_tree(randomOutline(m_random, m_kind, 5 + int(m_random() % 26)))
    , m_list(m_tree.rows())
{
    const uint density = 1 + m_random() % 4;
    for (int position = 0; position < m_list.size(); ++position) {
        // Only childless top rows become null, so the tree keeps its shape.
        const bool leaf = position + 1 == m_list.size() || m_tree.roots().contains(m_list.at(position + 1));
        if (m_tree.roots().contains(m_list.at(position)) && leaf && m_random() % 12 == 0)
            m_list[position] = nullptr;
        else
            m_list.at(position)->SetBlock(m_random() % 5 < density);
        m_reference.marks.push_back(m_list.at(position) && m_list.at(position)->IsBlock());
    }
    m_reference.list = m_list;
    m_columns.addColumn(new zBaseHeaderItem(QStringLiteral("name")));
    if (m_kind == Kind::Grid) {
        auto* grid = new BaseDataItemModel(&m_view);
        grid->getHeaderColumn()->addHeaderItem(new Qtitan::HeaderItem(1, QStringLiteral("name")));
        grid->BindSrcData(&m_list);
        m_view.setModel(grid);
    } else if (m_kind == Kind::Flat) {
        auto* flat = new zBaseItemModel(&m_view);
        flat->setHeaderColumn(&m_columns);
        flat->BindSrcData(&m_list);
        m_view.setModel(flat);
    } else {
        auto* tree = new zTreeItemModel(&m_view);
        tree->setHeaderColumn(&m_columns);
        tree->BindSrcData(&m_list, false);
        m_view.setModel(tree);
    }
    // Each model's mandated deviations: the bare double size hint, a row count that ignores its
    // parent, and the grid's flags for the invalid index.
    m_tester = std::make_unique<ToleratedModelTester>(m_view.model(),
        Tolerated::flatRowCountIgnoresParent + QStringList{Tolerated::doubleSizeHint, Tolerated::flagsOfInvalidIndex});
    zBaseItemViewBlock* block = zBaseItemViewBlock::RegistUseBlock(&m_view);
    block->RegistSetBlockFun(
        [this](BaseDataItem* row, bool on) {
            m_calls.append(QString::number(m_list.indexOf(row)) + (on ? '+' : '-'));
            row->SetBlock(on);
        },
        [this](BaseDataItem* row) {
            m_calls.append('?' + QString::number(m_list.indexOf(row)));
            return row->IsBlock();
        });
    m_view.resize(300, 1500); // every row in sight: a click never scrolls
    m_view.show();
    QCoreApplication::processEvents();
}

// The row a model shows at an index; the tree model shows visible rows only.
BaseDataItem* Sequence::rowAt(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    if (m_kind == Kind::Tree)
        return static_cast<zTreeItemModel*>(m_view.model())->findItemByIndex(index);
    return m_list.value(index.row(), nullptr);
}

QModelIndex Sequence::randomViewIndex()
{
    const int viewRows = m_view.model()->rowCount();
    if (viewRows == 0 || m_random() % 10 == 0)
        return {}; // below the last row
    return m_view.model()->index(int(m_random() % uint(viewRows)), int(m_random() % 2));
}

Qt::KeyboardModifiers randomModifiers(std::mt19937& random)
{
    const Qt::KeyboardModifiers common[] = {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                            Qt::ShiftModifier, Qt::ControlModifier | Qt::ShiftModifier, Qt::AltModifier,
                                            Qt::ShiftModifier | Qt::MetaModifier, Qt::ControlModifier | Qt::AltModifier};
    return common[random() % 9];
}

// Sends one real event; returns its description and what the reference should do with which row.
QString Sequence::send(Action& action, BaseDataItem*& row)
{
    const Qt::KeyboardModifiers modifiers = randomModifiers(m_random);
    const QString mods = QString::number(int(modifiers), 16);
    if (m_random() % 2 == 0) {
        if (m_random() % 3 == 0)
            m_view.setCurrentIndex(randomViewIndex());
        const Qt::Key keys[] = {Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F5, Qt::Key_F6, Qt::Key_F3, Qt::Key_F8};
        const Qt::Key key = keys[m_random() % 8];
        action = keyAction(key, modifiers);
        row = rowAt(m_view.currentIndex());
        const QString text = QStringLiteral("key F%1 modifiers %2 current view row %3").arg(key - Qt::Key_F1 + 1).arg(mods).arg(m_view.currentIndex().row());
        QTest::keyClick(&m_view, key, modifiers);
        return text;
    }
    const QModelIndex target = randomViewIndex();
    const QPoint position = target.isValid() ? m_view.visualRect(target).center() : QPoint(5, m_view.viewport()->height() - 5);
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    const Qt::MouseButton button = buttons[m_random() % 5];
    const int how = int(m_random() % 6); // 0..3 click, 4 press, 5 release
    action = how == 4 ? Action::None : releaseAction(button, modifiers);
    row = rowAt(m_view.indexAt(position));
    if (how == 4)
        QTest::mousePress(m_view.viewport(), button, modifiers, position);
    else if (how == 5)
        QTest::mouseRelease(m_view.viewport(), button, modifiers, position);
    else
        QTest::mouseClick(m_view.viewport(), button, modifiers, position);
    return QStringLiteral("mouse %1 button %2 modifiers %3 view row %4").arg(how < 4 ? "click" : how == 4 ? "press" : "release").arg(int(button)).arg(mods).arg(target.row());
}

QString Sequence::actualMarks() const
{
    QString out;
    for (BaseDataItem* row : m_list)
        out += !row ? 'x' : row->IsBlock() ? '1' : '0';
    return out;
}

QString Sequence::step(int number)
{
    if (number == 0)
        return QStringLiteral("set-up");
    const QString before = m_reference.text();
    m_calls.clear();
    m_reference.calls.clear();
    Action action = Action::None;
    BaseDataItem* row = nullptr;
    const QString event = send(action, row);
    m_reference.run(action, row);
    m_difference.clear();
    if (actualMarks() != m_reference.text() || m_calls != m_reference.calls)
        m_difference = QStringLiteral("marks before %1\nmarks %2, expected %3\ncalls %4\nexpected %5")
            .arg(before, actualMarks(), m_reference.text(), m_calls.join(' '), m_reference.calls.join(' '));
    return event;
}

QString Sequence::difference() const
{
    return m_difference.isEmpty() && !m_tester->failures().isEmpty() ? "model tester: " + m_tester->failures().join("; ") : m_difference;
}

} // namespace

class tst_zBaseItemViewBlockDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomEventsAgreeWithReference() { runDifferential<Sequence>(200000, 3000, eventsPerSequence); }
};

DIFFERENTIAL_TEST_MAIN(tst_zBaseItemViewBlockDifferential)
#include "tst_zBaseItemViewBlockDifferential.moc"
