#pragma once
// Helpers shared by the test executables: logical DPI, a model tester that
// tolerates exactly the deviations our models are required to have, and tree
// fixtures built from text outlines.

#include <TreeBaseItem.h>
#include <zBaseHeaderColumn.h>
#include <zTreeItemModel.h>

#include <QtTest>

#include <memory>

/// Sets the primary screen's logical DPI for real; true when the screen reports it.
bool setLogicalDpi(qreal dpi);

/// Prefixes of QAbstractItemModelTester warnings a test may tolerate, each for a reason.
namespace Tolerated {
/// The z models answer Qt::SizeHintRole with a bare double (the view scales row heights itself).
extern const QString doubleSizeHint;
/// The tree model is flat: rowCount ignores its parent, so the tester finds rows under the
/// first cell that index() does not hand out (the one message Qt 5.15.8's tester prints for it).
extern const QStringList flatRowCountIgnoresParent;
/// The grid model answers flags 35 for every index, the invalid one included.
extern const QString flagsOfInvalidIndex;
}

/// Attaches QAbstractItemModelTester in warning mode and records every warning it
/// prints, except those starting with one of the tolerated prefixes. A test checks
/// failures() is empty after its mutations.
class ToleratedModelTester
{
public:
    ToleratedModelTester(QAbstractItemModel* model, const QStringList& toleratedPrefixes);
    ~ToleratedModelTester();
    QStringList failures() const { return m_failures; }

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList m_tolerated;
    QStringList m_failures;
    QtMessageHandler m_previous = nullptr;
    ToleratedModelTester* m_outer = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

class NamedRow;
/// Live rows by their base address: a row of any type, even a destroyed one, can be looked up without a cast.
using RowRegistry = QHash<const BaseDataItem*, NamedRow*>;

/// A tree row that knows its name (stored under field 1) and leaves the fixture's registry when destroyed.
class NamedRow : public TreeBaseItem
{
public:
    NamedRow(const QString& name, RowRegistry* registry) : m_registry(registry) { setValue(1, name); registry->insert(this, this); }
    ~NamedRow() override { m_registry->remove(this); }
    QString name() { return getValue(1).toString(); }

private:
    RowRegistry* m_registry;
};

/// A tree built from an outline, one row per line, depth by leading dashes:
///
///     A          rows()  = [A, A1, A1a, A2, B]   (pre-order)
///     -A1
///     --A1a
///     -A2
///     B
///
/// A trailing "!" hides the row, a trailing "#" makes it not collapsable, a trailing "+" / "-" after
/// the name sets expanded true / false (default true). "C*3" is a chain: C1, its only child C2, its only
/// child C3 (with the same flags). Rows still alive are deleted with the fixture.
class TreeFixture
{
public:
    explicit TreeFixture(const QString& outline);
    ~TreeFixture() { qDeleteAll(RowRegistry(m_alive)); } // each row leaves m_alive as it goes

    NamedRow* row(const QString& name) const;
    QList<BaseDataItem*> rows() const { return m_preOrder; }
    bool isAlive(BaseDataItem* row) const { return m_alive.contains(row); }
    int aliveCount() const { return m_alive.size(); }
    /// A row made by the fixture's rules but linked to nothing.
    NamedRow* makeRow(const QString& name) { return new NamedRow(name, &m_alive); }

private:
    void appendRow(const QString& name, bool visible, bool expanded, QList<NamedRow*>& path);

    RowRegistry m_alive;
    QList<BaseDataItem*> m_preOrder;
};

/// Differential tests: random operation sequences applied to a model and to a plain statement of
/// its rules, compared after every step. runDifferential drives one:
///
///     Sequence sequence(seed);          // fresh rows, models and reference from a seed
///     sequence.step(n)                  // applies step n (0: the set-up), returns what it did
///     sequence.difference()             // the first disagreement after it, or empty
///
/// Sequences of perSequence steps each get their own seed, from ITEMVIEWS_DIFF_SEED (default 1) on,
/// until ITEMVIEWS_DIFF_STEPS steps are done (default: normalSteps, sanitizerSteps under
/// AddressSanitizer). A failure names its seed and step and the variables that replay it.
template <typename Sequence>
void runDifferential(int normalSteps, int sanitizerSteps, int perSequence)
{
#ifdef __SANITIZE_ADDRESS__
    normalSteps = sanitizerSteps;
#endif
    Q_UNUSED(sanitizerSteps);
    const int totalSteps = qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_STEPS") ? qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_STEPS") : normalSteps;
    const quint32 firstSeed = qEnvironmentVariableIsSet("ITEMVIEWS_DIFF_SEED") ? quint32(qEnvironmentVariableIntValue("ITEMVIEWS_DIFF_SEED")) : 1;
    for (int done = 0, number = 0; done < totalSteps; done += perSequence, ++number) {
        const quint32 seed = firstSeed + quint32(number);
        Sequence sequence(seed);
        for (int step = 0; step <= qMin(perSequence, totalSteps - done); ++step) {
            const QString what = sequence.step(step);
            const QString difference = sequence.difference();
            if (!difference.isEmpty())
                QFAIL(qPrintable(QStringLiteral("seed %1 step %2 (replay: ITEMVIEWS_DIFF_SEED=%1 ITEMVIEWS_DIFF_STEPS=%2) %3:\n%4")
                                     .arg(seed).arg(step).arg(what, difference)));
        }
    }
}

/// Gives a long differential run (ITEMVIEWS_DIFF_STEPS) a per-function time limit to match, unless
/// QTEST_FUNCTION_TIMEOUT is set. QtTest reads it once, as the first test function starts: call before qExec.
bool raiseTimeLimitForLongRun();

/// QTEST_MAIN for a differential test: the time limit is raised before main runs.
#define DIFFERENTIAL_TEST_MAIN(TestObject) \
    static const bool timeLimitRaised = raiseTimeLimitForLongRun(); \
    QTEST_MAIN(TestObject)

/// Type and value, so that int 0 and bool false never compare equal; a QList<bool> as its flags.
QString describe(const QVariant& value);

/// Names of rows joined by spaces ("null" for a null entry, "?" for a row without a name).
QString names(const QList<BaseDataItem*>& rows);

/// A tree model that hides rows by name on top of their own flag and counts refreshes: a test sees
/// whether the model reaches getRowIsVisible and UpdateData through virtual dispatch.
class TreeProbeModel : public zTreeItemModel
{
public:
    bool getRowIsVisible(BaseDataItem* row) const override
    {
        return (hiddenNames.isEmpty() || !hiddenNames.contains(row->getValue(1).toString())) && zTreeItemModel::getRowIsVisible(row);
    }
    void UpdateData() override { ++updateDataCalls; zTreeItemModel::UpdateData(); }
    /// An index the model never handed out, e.g. one left over from before a refresh.
    QModelIndex staleIndex(int virtualRow, int column) const { return createIndex(virtualRow, column); }
    using zTreeItemModel::deleteItem;
    using zTreeItemModel::getCantCollaspeChildren;

    QSet<QString> hiddenNames;
    int updateDataCalls = 0;
};

/// From now on the tree model's delete lines are recorded, other messages go on to QtTest's handler.
void recordTreeDeleteLines();
/// The delete lines so far, each as its row count when text, file, function and category are right, verbatim otherwise.
QStringList& treeDeleteLines();

/// A TreeFixture bound to a TreeProbeModel with three declared columns ("code", "name", "qty"): column 0 is
/// hidden and the tree column is declared column 2, so the tree column is shown column 1 (treeColumn).
/// Rows go by their outline names; at() also takes a number (that virtual row, even out of range) and
/// "null" (no row). The steps act as a user or the host would; the facts read one answer each.
class TreeScenario
{
public:
    static constexpr int treeColumn = 1;
    static const char* const sampleTree; // A, A1, A1a, A2, B, B1

    explicit TreeScenario(const QString& outline = QLatin1String(sampleTree));
    ~TreeScenario();
    QAbstractItemModel* qt() { return &model; }
    NamedRow* row(const QString& name) const { return tree.row(name); }
    QList<BaseDataItem*> rows(const QString& rowNames) const;
    QModelIndex at(const QString& name, int column = treeColumn);
    QVariant read(const QString& name, int role, int column = treeColumn) { return qt()->data(at(name, column), role); }

    bool expand(const QString& name) { return qt()->setData(at(name, 0), true, zTreeItemModel::TreeExpandedRole); }
    bool collapse(const QString& name) { return qt()->setData(at(name, 0), false, zTreeItemModel::TreeExpandedRole); }
    /// Binds the named rows afresh (rebuild: flattened under the top-level ones), then one refresh not counted.
    void bind(const QString& rowNames, bool rebuild = false);
    /// The host rewrites its list in place and refreshes the model.
    void hostEditsList(const QString& rowNames);
    void setCheckMode(int mode) { model.setProperty("checkType", mode); }
    bool check(const QString& name, int state, int column = treeColumn);
    void click(const QString& name) { qt()->setData(at(name, 0), 0, zTreeItemModel::ClickedCellRole); }
    /// Every read is answered by a starting hook with answer.
    void hookAnswersReads(const QString& answer);
    /// Appends row to newParent's children and links it back; its old parent keeps it only when keepOld.
    void relink(const QString& name, const QString& newParent, bool keepOld);

    QString shown();
    QString originalRows();
    QString listed() const { return names(list); }
    QString maxLevel() { return qt()->data(model.index(0, treeColumn), zTreeItemModel::TreeMaxLevelRole).toString(); }
    QString expandedRows() const { return aliveRowsWhere(&BaseDataItem::getExpanded); }
    /// "name:state" of the live rows with a stored state (the others read false).
    QString checkStates();
    /// A's children, "?" for rows the model made, then A's child count as the model answers it ("A1 A2 #2").
    QString childrenOfA();
    QString clicked() const { return names({model.getClickedItem()}); }
    QString deleteLog() const { return treeDeleteLines().join(QLatin1Char(' ')); }

    TreeFixture tree;
    QList<BaseDataItem*> list;
    zBaseHeaderColumn columns;
    TreeProbeModel model;
    std::unique_ptr<ToleratedModelTester> tester;
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};

private:
    QString aliveRowsWhere(bool (BaseDataItem::*flag)()) const;
};
