// Random sequences of real key presses and mouse clicks on a table view with block
// selection, checked against the block rules after every event: the marks of every row
// and the calls the host's setter and test received, in order.
//
// ITEMVIEWS_DIFF_STEPS sets the total number of events (default 200000, 3000 under
// AddressSanitizer), ITEMVIEWS_DIFF_SEED (default 1) the first sequence's seed; each
// sequence of 200 events runs on a fresh view with its own seed.

#include "BlockFixture.h"

#include <memory>
#include <random>

namespace {

const int eventsPerSequence = 200;

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

    // Modifiers as "Ctrl+Shift+", input as "F5" or "right release"; p is -1 where no row is.
    void run(const QString& modifiers, const QString& input, int p)
    {
        const int n = marks.size();
        const bool keyActs = !modifiers.contains(QLatin1String("Ctrl")) && !modifiers.contains(QLatin1String("Alt"));
        const bool leftRelease = input == QLatin1String("click") || input == QLatin1String("release");
        if (keyActs && (input == QLatin1String("F4") || input == QLatin1String("F7")))
            return markRange(0, n - 1, input == QLatin1String("F4"));
        if (p < 0)
            return;
        if (leftRelease && modifiers == QLatin1String("Ctrl+")) {
            calls.append('?' + QString::number(p));
            return mark(p, marks[p] != '1');
        }
        // The nearest marked rows after and before p, and at or after and at or before p.
        const int below = marks.indexOf('1', p + 1), above = p > 0 ? marks.lastIndexOf('1', p - 1) : -1;
        const int down = marks.indexOf('1', p), up = marks.lastIndexOf('1', p);
        if (keyActs && input == QLatin1String("F5")) { // clear above, stretch the nearest block below up to p
            markRange(0, p - 1, false);
            markRange(p, below - 1, true);
        } else if (keyActs && input == QLatin1String("F6")) { // clear below from the bottom, stretch the nearest block above down
            for (int position = n - 1; position > p; --position)
                mark(position, false);
            if (above >= 0)
                markRange(above, p - 1, true);
        } else if (!leftRelease || modifiers != QLatin1String("Shift+")) {
            return;
        } else if (up >= 0 && down >= 0 && p - up >= down - p) { // Shift+click joins the nearer block, a tie the one below
            markRange(0, p - 1, false);
            markRange(p, down, true);
        } else if (up >= 0) {
            markRange(up, p, true);
            markRange(p + 1, n - 1, false);
        } else {
            for (int position = 0; position <= down; ++position) // only a block below: set directly, the setter hears nothing
                marks[position] = marks[position] == 'x' ? 'x' : position < p ? '0' : '1';
        }
        mark(p, true);
    }
};

// Rows for a sequence: an outline (one level for the grid and flat models, up to three for the tree, rows
// hidden, collapsed or expanded at random) and its marks, where only childless top rows may be null.
std::pair<QString, QString> randomRows(std::mt19937& random, bool tree)
{
    const int rowCount = 5 + int(random() % 26);
    const uint density = 1 + random() % 4;
    QVector<int> depths{0};
    while (depths.size() < rowCount)
        depths.append(tree ? int(random() % uint(qMin(depths.last() + 2, 3))) : 0);
    QString outline, marks;
    for (int row = 0; row < rowCount; ++row) {
        const char* flags[] = {"", "", "", "!", "-", "+"};
        outline += QString(depths[row], '-') + 'r' + QString::number(row) + flags[random() % 6] + '\n';
        const bool childlessTop = depths[row] == 0 && (row + 1 == rowCount || depths[row + 1] == 0);
        marks += childlessTop && random() % 12 == 0 ? 'x' : random() % 5 < density ? '1' : '0';
    }
    return {outline, marks};
}

class Sequence
{
    std::mt19937 m_random;
    std::unique_ptr<BlockFixture> m_fixture;
    std::unique_ptr<ToleratedModelTester> m_tester; // goes before the view's model
    Reference m_reference;
    QString m_difference;

    // The list position of the row a model shows at an index; the tree model shows visible rows only.
    int listPosition(const QModelIndex& viewIndex) const
    {
        const auto* tree = qobject_cast<const zTreeItemModel*>(m_fixture->view.model());
        BaseDataItem* row = !viewIndex.isValid() ? nullptr
            : tree ? tree->findItemByIndex(viewIndex) : m_fixture->list.value(viewIndex.row(), nullptr);
        return row ? m_fixture->list.indexOf(row) : -1;
    }
    QModelIndex randomViewIndex()
    {
        const QAbstractItemModel* model = m_fixture->view.model();
        if (model->rowCount() == 0 || m_random() % 10 == 0)
            return {}; // below the last row
        return model->index(int(m_random() % uint(model->rowCount())), int(m_random() % 2));
    }

public:
    explicit Sequence(quint32 seed)
        : m_random(seed)
    {
        const QString kind = QStringList{"grid", "flat", "tree"}.at(int(m_random() % 3));
        const auto rows = randomRows(m_random, kind == QLatin1String("tree"));
        m_fixture = std::make_unique<BlockFixture>(kind, rows.first, rows.second);
        m_reference.marks = rows.second;
        // Each model's mandated deviations: the bare double size hint, a row count that ignores its
        // parent, and the grid's flags for the invalid index.
        m_tester = std::make_unique<ToleratedModelTester>(m_fixture->view.model(),
            Tolerated::flatRowCountIgnoresParent + QStringList{Tolerated::doubleSizeHint, Tolerated::flagsOfInvalidIndex});
    }

    /// Step 0 is the set-up; every later step sends one random event.
    QString step(int number)
    {
        if (number == 0)
            return QStringLiteral("set-up");
        QTableView& view = m_fixture->view;
        static const QStringList common{"", "Ctrl+", "Shift+", "Ctrl+", "Shift+", "Ctrl+Shift+", "Alt+", "Shift+Meta+", "Ctrl+Alt+"};
        static const QStringList buttons{"", "", "", "right ", "middle "}, clicks{"click", "click", "click", "click", "press", "release"};
        const QString modifiers = common.at(int(m_random() % 9));
        QString input;
        QModelIndex target;
        if (m_random() % 2 == 0) { // a key on the current cell, sometimes moved first
            if (m_random() % 3 == 0)
                view.setCurrentIndex(randomViewIndex());
            target = view.currentIndex();
            input = QStringLiteral("F") + "45674538"[m_random() % 8]; // F5 and F6 twice as often
        } else {
            target = randomViewIndex();
            input = buttons.at(int(m_random() % 5)) + clicks.at(int(m_random() % 6));
        }
        const QString before = m_reference.marks;
        m_fixture->calls.clear();
        m_reference.calls.clear();
        m_reference.run(modifiers, input, listPosition(target));
        sendAction(view, modifiers + input, target);
        const QString marks = m_fixture->marks();
        m_difference = marks == m_reference.marks && m_fixture->calls == m_reference.calls ? QString()
            : QStringLiteral("marks before %1\nmarks %2, expected %3\ncalls %4\nexpected %5")
                  .arg(before, marks, m_reference.marks, m_fixture->calls.join(' '), m_reference.calls.join(' '));
        return QStringLiteral("%1 at view row %2").arg(modifiers + input).arg(target.row());
    }

    /// The first difference in marks or host calls, or what the model tester reported.
    QString difference() const
    {
        return m_difference.isEmpty() && !m_tester->failures().isEmpty() ? "model tester: " + m_tester->failures().join("; ") : m_difference;
    }
};

} // namespace

class tst_zBaseItemViewBlockDifferential : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomEventsAgreeWithReference() { runDifferential<Sequence>(200000, 3000, eventsPerSequence); }
};

DIFFERENTIAL_TEST_MAIN(tst_zBaseItemViewBlockDifferential)
#include "tst_zBaseItemViewBlockDifferential.moc"
