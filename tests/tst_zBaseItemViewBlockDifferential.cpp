// Random sequences of real key presses and mouse clicks on a table view with block
// selection, checked against the block rules after every event: the marks of every row
// and the calls the host's setter and test received, in order.
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

namespace {

const int eventsPerSequence = 200;

enum class Kind { Grid, Flat, Tree };
// The key actions in key order: F<n> asks for Action(n - 3).
enum class Action { None, SelectAll, BlockBegin, BlockEnd, UnselectAll, Toggle, ShiftExtend };

// The block rules over the marks by list position ('1', '0', 'x' a null entry), recording the
// calls the host's setter ("3+", "3-") and test ("?3") should receive.
struct Reference
{
    QString marks;
    QStringList calls;

    void mark(int position, bool on)
    {
        if (marks[position] == 'x')
            return;
        calls.append(QString::number(position) + (on ? '+' : '-'));
        marks[position] = on ? '1' : '0';
    }
    void markRange(int first, int last, bool on)
    {
        for (int position = first; position <= last; ++position)
            mark(position, on);
    }
    int nearestMarked(int position, int direction) const
    {
        for (; position >= 0 && position < marks.size(); position += direction) {
            if (marks[position] == '1')
                return position;
        }
        return -1;
    }

    void run(Action action, int p)
    {
        const int n = marks.size();
        if (action == Action::SelectAll || action == Action::UnselectAll)
            return markRange(0, n - 1, action == Action::SelectAll);
        if (p < 0 || action == Action::None)
            return;
        if (action == Action::Toggle) {
            calls.append('?' + QString::number(p));
            return mark(p, marks[p] != '1');
        }
        if (action == Action::BlockBegin) { // clear above, stretch the nearest block below up to p
            markRange(0, p - 1, false);
            if (nearestMarked(p + 1, 1) >= 0)
                markRange(p, nearestMarked(p + 1, 1) - 1, true);
        } else if (action == Action::BlockEnd) { // clear below from the bottom, stretch the nearest block above down
            for (int position = n - 1; position > p; --position)
                mark(position, false);
            if (nearestMarked(p - 1, -1) >= 0)
                markRange(nearestMarked(p - 1, -1), p - 1, true);
        } else { // Shift+click joins the nearer block, a tie the one below
            const int down = nearestMarked(p, 1), up = nearestMarked(p, -1);
            if (up >= 0 && down >= 0 && p - up >= down - p) {
                markRange(0, p - 1, false);
                markRange(p, down, true);
            } else if (up >= 0) {
                markRange(up, p, true);
                markRange(p + 1, n - 1, false);
            } else {
                for (int position = 0; position <= down; ++position) // set directly: the setter hears nothing
                    marks[position] = marks[position] == 'x' ? 'x' : position < p ? '0' : '1';
            }
        }
        mark(p, true);
    }
};

QString marksOf(const QList<BaseDataItem*>& list)
{
    QString out;
    for (BaseDataItem* row : list)
        out += !row ? 'x' : row->IsBlock() ? '1' : '0';
    return out;
}

QString randomOutline(std::mt19937& random, Kind kind, int rowCount)
{
    QString outline;
    for (int row = 0, depth = 0; row < rowCount; ++row) {
        depth = kind == Kind::Tree && row > 0 ? int(random() % uint(qMin(depth + 2, 3))) : 0;
        const char* flags[] = {"", "", "", "!", "-", "+"};
        outline += QString(depth, '-') + 'r' + QString::number(row) + flags[random() % 6] + '\n';
    }
    return outline;
}

// A shown view over one of the three models, with a recording host, and the rules beside it.
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
    int listPosition(const QModelIndex& viewIndex) const;
    QString send(Action& action, int& position);

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
    }
    m_reference.marks = marksOf(m_list);
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
    zBaseItemViewBlock::RegistUseBlock(&m_view)->RegistSetBlockFun(
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

// The list position of the row a model shows at an index; the tree model shows visible rows only.
int Sequence::listPosition(const QModelIndex& viewIndex) const
{
    BaseDataItem* row = !viewIndex.isValid() ? nullptr
        : m_kind == Kind::Tree ? static_cast<zTreeItemModel*>(m_view.model())->findItemByIndex(viewIndex)
                               : m_list.value(viewIndex.row(), nullptr);
    return row ? m_list.indexOf(row) : -1;
}

QModelIndex Sequence::randomViewIndex()
{
    const int viewRows = m_view.model()->rowCount();
    if (viewRows == 0 || m_random() % 10 == 0)
        return {}; // below the last row
    return m_view.model()->index(int(m_random() % uint(viewRows)), int(m_random() % 2));
}

// Sends one real event; returns its description, and the action and list position the rules get.
QString Sequence::send(Action& action, int& position)
{
    const Qt::KeyboardModifiers common[] = {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier, Qt::ControlModifier,
                                            Qt::ShiftModifier, Qt::ControlModifier | Qt::ShiftModifier, Qt::AltModifier,
                                            Qt::ShiftModifier | Qt::MetaModifier, Qt::ControlModifier | Qt::AltModifier};
    const Qt::KeyboardModifiers modifiers = common[m_random() % 9];
    const QString mods = QString::number(int(modifiers), 16);
    if (m_random() % 2 == 0) {
        if (m_random() % 3 == 0)
            m_view.setCurrentIndex(randomViewIndex());
        const int f = QByteArrayLiteral("45674538").at(int(m_random() % 8)) - '0'; // F5 and F6 twice as often
        action = f < 4 || f > 7 || modifiers & (Qt::ControlModifier | Qt::AltModifier) ? Action::None : Action(f - 3);
        position = listPosition(m_view.currentIndex());
        const QString text = QStringLiteral("key F%1 modifiers %2 current view row %3").arg(f).arg(mods).arg(m_view.currentIndex().row());
        QTest::keyClick(&m_view, Qt::Key(Qt::Key_F1 + f - 1), modifiers);
        return text;
    }
    const QModelIndex target = randomViewIndex();
    const QPoint point = target.isValid() ? m_view.visualRect(target).center() : QPoint(5, m_view.viewport()->height() - 5);
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    const Qt::MouseButton button = buttons[m_random() % 5];
    const int how = int(m_random() % 6); // 0..3 click, 4 press, 5 release
    const bool leftRelease = how != 4 && button == Qt::LeftButton;
    action = !leftRelease ? Action::None : modifiers == Qt::ControlModifier ? Action::Toggle
        : modifiers == Qt::ShiftModifier ? Action::ShiftExtend : Action::None;
    position = listPosition(m_view.indexAt(point));
    if (how == 4)
        QTest::mousePress(m_view.viewport(), button, modifiers, point);
    else if (how == 5)
        QTest::mouseRelease(m_view.viewport(), button, modifiers, point);
    else
        QTest::mouseClick(m_view.viewport(), button, modifiers, point);
    return QStringLiteral("mouse %1 button %2 modifiers %3 view row %4").arg(how < 4 ? "click" : how == 4 ? "press" : "release").arg(int(button)).arg(mods).arg(target.row());
}

QString Sequence::step(int number)
{
    if (number == 0)
        return QStringLiteral("set-up");
    const QString before = m_reference.marks;
    m_calls.clear();
    m_reference.calls.clear();
    Action action = Action::None;
    int position = -1;
    const QString event = send(action, position);
    m_reference.run(action, position);
    const QString marks = marksOf(m_list);
    m_difference.clear();
    if (marks != m_reference.marks || m_calls != m_reference.calls)
        m_difference = QStringLiteral("marks before %1\nmarks %2, expected %3\ncalls %4\nexpected %5")
            .arg(before, marks, m_reference.marks, m_calls.join(' '), m_reference.calls.join(' '));
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
