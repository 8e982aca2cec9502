// The viewer on a generated estimate of a million rows: opening the file (parse, build the
// rows, bind every tab), collapsing and expanding its largest section in the tree tab (view and
// spans included), switching tabs (each tab re-reads the rows' fold flags when shown), a value edit
// rolled up and repainted, structural edits (delete, inserts, undo and redo, each followed by every
// tab and the events it leaves), find steps apart from revealing the match in a collapsed section,
// and what the recovery journal adds to each change on the GUI thread.
// The floor is a plain loop that reads one flag of every row.

#include "BenchHarness.h"

#include <EstimateEditor.h>
#include <EstimateGenerator.h>
#include <EstimateJson.h>
#include <FindBar.h>
#include <RecoveryJournal.h>
#include <TreeTab.h>
#include <ViewerWindow.h>

#include <BaseDataItemModel.h>
#include <zTreeItemView.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>

#include <cstdio>

using bench::BenchHarness;

namespace {

constexpr int kRows = 1000000; // per work; the first argument changes it (the growth rows of bench/README.md)
constexpr int kTreeColumn = 1;
constexpr int kJournalledChanges = 25; // what timeJournal makes

double msSince(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

BaseDataItem* largestSection(const QList<BaseDataItem*>& rows)
{
    BaseDataItem* largest = nullptr;
    for (BaseDataItem* row : rows) {
        if (!row->getParent() && (!largest || row->getChildrenItemCount() > largest->getChildrenItemCount()))
            largest = row;
    }
    return largest;
}

// Writes role 208 on the section's node, then lets the view repaint what it shows.
double toggle(TreeTab& tab, BaseDataItem* section, bool expand)
{
    zTreeItemModel* model = tab.model();
    QElapsedTimer timer;
    timer.start();
    const QModelIndex node = model->index(model->findVirtualIndexByItem(section), kTreeColumn);
    model->setData(node, expand, zTreeItemModel::TreeExpandedRole);
    tab.view()->viewport()->repaint();
    return msSince(timer);
}

// Brings a tab to the front as a click on it does, then paints it.
double showTab(QTabWidget* tabs, int position)
{
    QElapsedTimer timer;
    timer.start();
    tabs->setCurrentIndex(position);
    tabs->currentWidget()->repaint();
    return msSince(timer);
}

// The deepest priced row of a section: the roll-up walks its whole chain.
BaseDataItem* deepestLeaf(BaseDataItem* section)
{
    BaseDataItem* deepest = section;
    for (BaseDataItem* row : section->getAllBaseDataItemlist(true)) {
        if (row->getLevel() > deepest->getLevel() && row->getValue(EstimateField::Quantity).isValid())
            deepest = row;
    }
    return deepest;
}

// A quantity edit as a cell write makes it: roll-up, audit differences, then the shown tab repaints.
void editAndRepaint(ViewerWindow& window, TreeTab& tab, BaseDataItem* row, double quantity)
{
    window.editor()->editCell(row, EstimateField::Quantity, quantity);
    tab.view()->viewport()->repaint();
}

double findStep(ViewerWindow& window)
{
    return BenchHarness::bestOf(1, [&window] { window.findBar()->step(+1); });
}

// The longest slice of work the window does while the find bar reads the rest of the rows, and the whole time.
QPair<double, double> findUntilCounted(ViewerWindow& window)
{
    QElapsedTimer whole;
    whole.start();
    double longest = 0;
    while (window.findBar()->isSearching()) {
        QElapsedTimer slice;
        slice.start();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        longest = qMax(longest, msSince(slice));
    }
    return {longest, msSince(whole)};
}

// Sums every total of the table: what recomputing a whole estimate after each edit would cost at least.
double fullSumLoop(const QList<BaseDataItem*>& rows)
{
    QElapsedTimer timer;
    timer.start();
    double sum = 0;
    for (BaseDataItem* row : rows)
        sum += row->getValue(EstimateField::Total).toDouble();
    const double elapsed = msSince(timer);
    std::printf("  (sum of every total: %.2f)\n", sum);
    return elapsed;
}

double flagLoop(const QList<BaseDataItem*>& rows)
{
    QElapsedTimer timer;
    timer.start();
    int visible = 0;
    for (BaseDataItem* row : rows)
        visible += row->getVisible() ? 1 : 0;
    const double elapsed = msSince(timer);
    std::printf("  (floor loop saw %d visible rows)\n", visible);
    return elapsed;
}

// The recovery journal's own time per change: slots connected before and after its own run around it.
struct JournalCost
{
    void start() { timer.start(); }
    void stop()
    {
        const double elapsed = msSince(timer);
        longestMs = qMax(longestMs, elapsed);
        totalMs += elapsed;
    }
    QElapsedTimer timer;
    double longestMs = 0;
    double totalMs = 0;
};

template<typename Callback>
void onEveryChange(EstimateEditor* editor, Callback callback)
{
    QObject::connect(editor, &EstimateEditor::cellEditing, callback);
    QObject::connect(editor, &EstimateEditor::rowRemoving, callback);
    QObject::connect(editor, &EstimateEditor::rowInserting, callback);
    QObject::connect(editor->undoStack(), &QUndoStack::indexChanged, callback);
}

// Cell edits, undo and redo, a delete, inserts under a row and at the top, as the journal follows them.
JournalCost timeJournal(ViewerWindow& window, TreeTab& tab, BaseDataItem* leaf, const QString& path, const QString& root)
{
    JournalCost cost;
    EstimateEditor* editor = window.editor();
    editor->undoStack()->clear(); // a record starts on an empty history, as after a load or a save
    onEveryChange(editor, [&cost] { cost.start(); });
    RecoveryJournal journal(*editor, root);
    onEveryChange(editor, [&cost] { cost.stop(); });
    QElapsedTimer hashTimer;
    hashTimer.start();
    journal.startOver(window.estimate(), RecoveryBase::of(path, path, true));
    std::printf("recovery base: size and SHA-1 of the file (on the load worker): %.0f ms\n", msSince(hashTimer));
    for (int step = 0; step < 20; ++step)
        editor->editCell(leaf, EstimateField::Quantity, 10.0 + step);
    editor->undoStack()->undo();
    editor->undoStack()->redo();
    editor->removeRow(*window.estimate()->works.front()->tables.front(), leaf);
    tab.insertRowUnder(tab.model()->index(0, kTreeColumn));
    tab.view()->setCurrentIndex(tab.model()->index(0, 0));
    QKeyEvent insertKey(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    QApplication::sendEvent(tab.view(), &insertKey); // a row at the top: its place is found in the table's list
    journal.finish();
    return cost;
}

// One row of the printed table: a workload's time, with three decimals where it is far below the floor.
struct Timing
{
    const char* workload;
    double ms;
    bool small;
};

// The viewer with a generated estimate open, and the timings its workloads take in the order they are printed.
struct ViewerRun
{
    explicit ViewerRun(int rowsPerWork)
        : rowsPerWork(rowsPerWork)
        , path(dir.filePath("estimate.json"))
    {
    }

    void add(const char* workload, double ms, bool small = false) { timings.push_back({workload, ms, small}); }
    Estimate::Table& table() { return *window.estimate()->works.front()->tables.front(); }

    // Writes the file and reads it back alone, without the viewer.
    void generateAndRead()
    {
        QElapsedTimer timer;
        timer.start();
        QString error;
        EstimateJson::write(*EstimateGenerator::generate(rowsPerWork), path, &error);
        std::printf("generate and save %d rows per work: %.0f ms\n", rowsPerWork, msSince(timer));
        timer.restart();
        const bool readable = EstimateJson::read(path, &error) != nullptr;
        std::printf("read the file alone (parse and build rows): %.0f ms%s\n", msSince(timer), readable ? "" : " FAILED");
    }

    // Opens the file, then idles as the window is before a person's first edit: the editor reads the rows' ids between events.
    void open()
    {
        window.setProperty("headless", true);
        window.show();
        QEventLoop waitForLoad;
        QObject::connect(&window, &ViewerWindow::loadFinished, &waitForLoad, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        window.openFile(path);
        waitForLoad.exec();
        QApplication::processEvents();
        openMs = msSince(timer);
        while (window.editor()->isReadingIds()) {
            QElapsedTimer slice;
            slice.start();
            QApplication::processEvents();
            longestIdSliceMs = qMax(longestIdSliceMs, msSince(slice));
        }
        tab = window.findChild<TreeTab*>();
        section = largestSection(table().rows);
    }

    void foldAndSwitchTabs()
    {
        floorMs = flagLoop(table().rows);
        add("floor: one flag of every row", floorMs);
        add("collapse largest section", toggle(*tab, section, false));
        add("expand largest section", toggle(*tab, section, true));
        auto* tabs = window.findChild<QTabWidget*>();
        showTab(tabs, 1); // the first showing of a tab also lays it out
        showTab(tabs, 0);
        add("show the grid tab (hidden rows)", showTab(tabs, 1));
        add("show the tree tab (shown rows)", showTab(tabs, 0));
    }

    void editValues()
    {
        leaf = deepestLeaf(section);
        const double quantity = leaf->getValue(EstimateField::Quantity).toDouble();
        int step = 1;
        const double firstEditMs = BenchHarness::bestOf(1, [&] { editAndRepaint(window, *tab, leaf, quantity + step++); });
        const double editMs = BenchHarness::bestOf(20, [&] { editAndRepaint(window, *tab, leaf, quantity + step++); });
        const double rollUpMs = BenchHarness::bestOf(20, [&] { window.editor()->editCell(leaf, EstimateField::Quantity, quantity + step++); });
        const double undoMs = BenchHarness::bestOf(1, [&] {
            window.editor()->undoStack()->undo();
            tab->view()->viewport()->repaint();
        });
        add("sum of every total (no roll-up)", fullSumLoop(table().rows));
        add("edit + roll-up + repaint, first", firstEditMs, true);
        add("edit + roll-up + repaint, again", editMs, true);
        add("edit + roll-up alone, again", rollUpMs, true);
        add("undo an edit + repaint", undoMs, true);
        add("ids read after open, longest slice", longestIdSliceMs);
    }

    // Each structural edit as the window makes it: the tree tab and every other view follow, then events run.
    // Best of three rounds: the machine's other work makes a single edit's time uneven.
    void editStructure()
    {
        QUndoStack* undoStack = window.editor()->undoStack();
        double deleteMs = 1e300, undoDeleteMs = 1e300, redoDeleteMs = 1e300;
        for (int round = 0; round < kRounds; ++round) {
            deleteMs = qMin(deleteMs, timed([&] { window.editor()->removeRow(table(), leaf->getParent()); }));
            undoDeleteMs = qMin(undoDeleteMs, timed([&] { undoStack->undo(); }));
            redoDeleteMs = qMin(redoDeleteMs, timed([&] { undoStack->redo(); }));
            timed([&] { undoStack->undo(); });
        }
        add("delete an item (all tabs follow)", deleteMs);
        add("undo the delete", undoDeleteMs);
        add("redo the delete", redoDeleteMs);
        QKeyEvent insertKey(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
        double insertMs = 1e300, undoInsertMs = 1e300, redoInsertMs = 1e300, insertUnderMs = 1e300, insertTopMs = 1e300;
        for (int round = 0; round < kRounds; ++round) {
            tab->view()->setCurrentIndex(tab->model()->index(tab->model()->findVirtualIndexByItem(leaf), 0));
            insertMs = qMin(insertMs, timed([&] { QApplication::sendEvent(tab->view(), &insertKey); })); // the tree tab's insert-after key
            undoInsertMs = qMin(undoInsertMs, timed([&] { undoStack->undo(); }));
            redoInsertMs = qMin(redoInsertMs, timed([&] { undoStack->redo(); }));
            insertUnderMs = qMin(insertUnderMs, timed([&] {
                tab->insertRowUnder(tab->model()->index(tab->model()->findVirtualIndexByItem(leaf->getParent()), kTreeColumn));
            }));
            tab->view()->setCurrentIndex(tab->model()->index(0, 0));
            insertTopMs = qMin(insertTopMs, timed([&] { QApplication::sendEvent(tab->view(), &insertKey); })); // behind the first section's subtree
        }
        add("insert a row after (Insert key)", insertMs);
        add("undo the insert", undoInsertMs);
        add("redo the insert", redoInsertMs);
        add("insert a row under", insertUnderMs);
        add("insert after a top-level section", insertTopMs);
    }

    // A model maps a row to its position through an index it builds at the first look-up after a
    // rebind; that is part of showing a match, so it is timed apart from the steps.
    void find()
    {
        QList<BaseDataItem*>& rows = table().rows;
        add("tree: row position index, build", BenchHarness::bestOf(1, [&] { tab->model()->findVirtualIndexByItem(rows.last()); }));
        auto* gridModel = qobject_cast<BaseDataItemModel*>(window.findChild<QTableView*>(QStringLiteral("gridView"))->model());
        add("grid: row position index, build", BenchHarness::bestOf(1, [&] { gridModel->GetRowByItem(rows.last()); }));
        window.findBar()->field()->setText(QStringLiteral("FORMWORK"));
        add("tree find, first step", findStep(window)); // reads rows until the first match
        const QPair<double, double> counting = findUntilCounted(window);
        add("tree find, longest slice counting", counting.first);
        add("tree find, counting all matches", counting.second);
        add("tree find, next step", BenchHarness::bestOf(20, [&] { window.findBar()->step(+1); }), true);
        findStatus = window.findBar()->status();
        add("tree reveal in collapsed section", revealInCollapsedSection());
        // the tree's collapse changed no list: the grid's index stays
        add("grid: row position, index built", BenchHarness::bestOf(1, [&] { gridModel->GetRowByItem(rows.last()); }), true);
        window.findChild<QTabWidget*>()->setCurrentIndex(1);
        window.findBar()->field()->setText(QStringLiteral("Steel"));
        add("grid find + unfold, first step", findStep(window));
        add("grid find, longest slice counting", findUntilCounted(window).first);
        add("grid find + unfold, next step", BenchHarness::bestOf(20, [&] { window.findBar()->step(+1); }));
    }

    double revealInCollapsedSection()
    {
        BaseDataItem* subSection = leaf->getParent()->getParent();
        double revealMs = 1e300;
        for (int round = 0; round < kRounds; ++round) {
            for (BaseDataItem* root : Estimate::rootRows(table()))
                tab->model()->setData(tab->model()->index(tab->model()->findVirtualIndexByItem(root), kTreeColumn), false,
                                      zTreeItemModel::TreeExpandedRole);
            QApplication::processEvents();
            BaseDataItem* match = deepestLeaf(subSection);
            revealMs = qMin(revealMs, timed([&] { tab->reveal(match); }));
        }
        return revealMs;
    }

    void journal()
    {
        const JournalCost cost = timeJournal(window, *tab, deepestLeaf(largestSection(table().rows)), path, dir.filePath("recovery"));
        add("recovery journal, longest signal", cost.longestMs, true);
        add("recovery journal, mean change", cost.totalMs / kJournalledChanges, true);
    }

    void print()
    {
        std::printf("open in the viewer (read, build, bind all tabs): %.0f ms for %d rows\n", openMs, window.estimate()->rowCount());
        std::printf("edited row at level %d; find \"FORMWORK\" in the tree: %s\n", leaf->getLevel(), qPrintable(findStatus));
        std::printf("largest section: %d rows below it\n", section->getChildrenItemCount());
        std::printf("%-34s %10s %14s\n", "workload", "ms", "ratio to floor");
        for (const Timing& timing : timings)
            std::printf(timing.small ? "%-34s %10.3f %14.4f\n" : "%-34s %10.2f %14.1f\n", timing.workload, timing.ms, timing.ms / floorMs);
    }

    // An edit, then the events it leaves, timed together.
    template<typename Edit>
    static double timed(Edit edit)
    {
        return BenchHarness::bestOf(1, [&edit] {
            edit();
            QApplication::processEvents();
        });
    }

    static constexpr int kRounds = 3;
    const int rowsPerWork;
    QTemporaryDir dir;
    const QString path;
    ViewerWindow window;
    TreeTab* tab = nullptr; // not owned
    BaseDataItem* section = nullptr; // the largest top-level row
    BaseDataItem* leaf = nullptr; // the deepest priced row of section, which the edits change
    double openMs = 0;
    double longestIdSliceMs = 0;
    double floorMs = 0;
    QString findStatus;
    std::vector<Timing> timings;
};

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    ViewerRun run(argc > 1 ? QByteArray(argv[1]).toInt() : kRows);
    return harness.run({
        [&] { run.generateAndRead(); },
        [&] { run.open(); },
        [&] { run.foldAndSwitchTabs(); },
        [&] { run.editValues(); },
        [&] { run.editStructure(); },
        [&] { run.find(); },
        [&] { run.journal(); },
        [&] { run.print(); },
    });
}
