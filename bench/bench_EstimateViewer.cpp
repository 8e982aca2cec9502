// The viewer on a generated estimate of a million rows: opening the file (parse, build the
// rows, bind every tab), collapsing and expanding its largest section in the tree tab (view and
// spans included), switching tabs (each tab re-reads the rows' fold flags when shown), a value edit
// rolled up and repainted, structural edits (delete, inserts, undo and redo, each followed by every
// tab and the events it leaves), find steps apart from revealing the match in a collapsed section,
// and what the recovery journal adds to each change on the GUI thread.
// The floor is a plain loop that reads one flag of every row.

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
double editAndRepaint(ViewerWindow& window, TreeTab& tab, BaseDataItem* row, double quantity)
{
    QElapsedTimer timer;
    timer.start();
    window.editor()->editCell(row, EstimateField::Quantity, quantity);
    tab.view()->viewport()->repaint();
    return msSince(timer);
}

template<typename Work>
double bestOf(int runs, Work work)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run)
        best = qMin(best, work());
    return best;
}

double findStep(ViewerWindow& window, int direction)
{
    QElapsedTimer timer;
    timer.start();
    window.findBar()->step(direction);
    return msSince(timer);
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

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("estimate.json");
    const int rowsPerWork = argc > 1 ? QByteArray(argv[1]).toInt() : kRows;

    QElapsedTimer timer;
    timer.start();
    QString error;
    EstimateJson::write(*EstimateGenerator::generate(rowsPerWork), path, &error);
    std::printf("generate and save %d rows per work: %.0f ms\n", rowsPerWork, msSince(timer));

    timer.restart();
    const bool readable = EstimateJson::read(path, &error) != nullptr;
    std::printf("read the file alone (parse and build rows): %.0f ms%s\n", msSince(timer), readable ? "" : " FAILED");

    ViewerWindow window;
    window.setProperty("headless", true);
    window.show();
    QEventLoop waitForLoad;
    QObject::connect(&window, &ViewerWindow::loadFinished, &waitForLoad, &QEventLoop::quit);
    timer.restart();
    window.openFile(path);
    waitForLoad.exec();
    QApplication::processEvents();
    const double openMs = msSince(timer);
    // Idle as the window is before a person's first edit: the editor reads the rows' ids between events.
    double longestIdSlice = 0;
    while (window.editor()->isReadingIds()) {
        QElapsedTimer slice;
        slice.start();
        QApplication::processEvents();
        longestIdSlice = qMax(longestIdSlice, msSince(slice));
    }

    TreeTab* tab = window.findChild<TreeTab*>();
    QList<BaseDataItem*>& rows = window.estimate()->works.front()->tables.front()->rows;
    BaseDataItem* section = largestSection(rows);
    const double floorMs = flagLoop(rows);
    const double collapseMs = toggle(*tab, section, false);
    const double expandMs = toggle(*tab, section, true);
    auto* tabs = window.findChild<QTabWidget*>();
    showTab(tabs, 1); // the first showing of a tab also lays it out
    showTab(tabs, 0);
    const double gridTabMs = showTab(tabs, 1);
    const double treeTabMs = showTab(tabs, 0);

    BaseDataItem* leaf = deepestLeaf(section);
    const double quantity = leaf->getValue(EstimateField::Quantity).toDouble();
    const double firstEditMs = editAndRepaint(window, *tab, leaf, quantity + 1);
    int step = 2;
    const double editMs = bestOf(20, [&] { return editAndRepaint(window, *tab, leaf, quantity + step++); });
    const double rollUpMs = bestOf(20, [&] {
        QElapsedTimer timer;
        timer.start();
        window.editor()->editCell(leaf, EstimateField::Quantity, quantity + step++);
        return msSince(timer);
    });
    const double undoMs = bestOf(1, [&] {
        QElapsedTimer timer;
        timer.start();
        window.editor()->undoStack()->undo();
        tab->view()->viewport()->repaint();
        return msSince(timer);
    });
    const double sumMs = fullSumLoop(rows);
    BaseDataItem* subSection = leaf->getParent()->getParent();
    // Each structural edit as the window makes it: the tree tab and every other view follow, then events run.
    const auto timed = [](auto edit) {
        QElapsedTimer timer;
        timer.start();
        edit();
        QApplication::processEvents();
        return msSince(timer);
    };
    // Best of three rounds: the machine's other work makes a single edit's time uneven.
    QUndoStack* undoStack = window.editor()->undoStack();
    constexpr int kRounds = 3;
    double deleteMs = 1e300, undoDeleteMs = 1e300, redoDeleteMs = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        deleteMs = qMin(deleteMs, timed([&] { window.editor()->removeRow(*window.estimate()->works.front()->tables.front(), leaf->getParent()); }));
        undoDeleteMs = qMin(undoDeleteMs, timed([&] { undoStack->undo(); }));
        redoDeleteMs = qMin(redoDeleteMs, timed([&] { undoStack->redo(); }));
        timed([&] { undoStack->undo(); });
    }
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

    // Find. A model maps a row to its position through an index it builds at the first look-up after
    // a rebind; that is part of showing a match, so it is timed apart from the steps.
    QElapsedTimer indexTimer;
    indexTimer.start();
    tab->model()->findVirtualIndexByItem(rows.last());
    const double treeIndexMs = msSince(indexTimer);
    auto* gridModel = qobject_cast<BaseDataItemModel*>(window.findChild<QTableView*>(QStringLiteral("gridView"))->model());
    indexTimer.restart();
    gridModel->GetRowByItem(rows.last());
    const double gridIndexMs = msSince(indexTimer);
    window.findBar()->field()->setText(QStringLiteral("FORMWORK"));
    const double firstFindMs = findStep(window, +1); // reads rows until the first match
    const QPair<double, double> counting = findUntilCounted(window);
    const double stepMs = bestOf(20, [&] { return findStep(window, +1); });
    const QString findStatus = window.findBar()->status();
    double treeRevealMs = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        for (BaseDataItem* root : Estimate::rootRows(*window.estimate()->works.front()->tables.front()))
            tab->model()->setData(tab->model()->index(tab->model()->findVirtualIndexByItem(root), kTreeColumn), false,
                                  zTreeItemModel::TreeExpandedRole);
        QApplication::processEvents();
        BaseDataItem* match = deepestLeaf(subSection);
        treeRevealMs = qMin(treeRevealMs, timed([&] { tab->reveal(match); }));
    }
    indexTimer.restart();
    gridModel->GetRowByItem(rows.last()); // the tree's collapse changed no list: the grid's index stays
    const double gridIndexAgainMs = msSince(indexTimer);
    window.findChild<QTabWidget*>()->setCurrentIndex(1);
    window.findBar()->field()->setText(QStringLiteral("Steel"));
    const double gridFirstFindMs = findStep(window, +1);
    const QPair<double, double> gridCounting = findUntilCounted(window);
    const double gridStepMs = bestOf(20, [&] { return findStep(window, +1); });

    const JournalCost journal = timeJournal(window, *tab, deepestLeaf(largestSection(rows)), path, dir.filePath("recovery"));

    std::printf("open in the viewer (read, build, bind all tabs): %.0f ms for %d rows\n", openMs, window.estimate()->rowCount());
    std::printf("edited row at level %d; find \"FORMWORK\" in the tree: %s\n", leaf->getLevel(), qPrintable(findStatus));
    std::printf("largest section: %d rows below it\n", section->getChildrenItemCount());
    std::printf("%-34s %10s %14s\n", "workload", "ms", "ratio to floor");
    std::printf("%-34s %10.2f %14s\n", "floor: one flag of every row", floorMs, "1.0");
    std::printf("%-34s %10.2f %14.1f\n", "collapse largest section", collapseMs, collapseMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "expand largest section", expandMs, expandMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "show the grid tab (hidden rows)", gridTabMs, gridTabMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "show the tree tab (shown rows)", treeTabMs, treeTabMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "sum of every total (no roll-up)", sumMs, sumMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "edit + roll-up + repaint, first", firstEditMs, firstEditMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "edit + roll-up + repaint, again", editMs, editMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "edit + roll-up alone, again", rollUpMs, rollUpMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "undo an edit + repaint", undoMs, undoMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "ids read after open, longest slice", longestIdSlice, longestIdSlice / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "delete an item (all tabs follow)", deleteMs, deleteMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "undo the delete", undoDeleteMs, undoDeleteMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "redo the delete", redoDeleteMs, redoDeleteMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "insert a row after (Insert key)", insertMs, insertMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "undo the insert", undoInsertMs, undoInsertMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "redo the insert", redoInsertMs, redoInsertMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "insert a row under", insertUnderMs, insertUnderMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "insert after a top-level section", insertTopMs, insertTopMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "tree: row position index, build", treeIndexMs, treeIndexMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "grid: row position index, build", gridIndexMs, gridIndexMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "tree find, first step", firstFindMs, firstFindMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "tree find, longest slice counting", counting.first, counting.first / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "tree find, counting all matches", counting.second, counting.second / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "tree find, next step", stepMs, stepMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "tree reveal in collapsed section", treeRevealMs, treeRevealMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "grid: row position, index built", gridIndexAgainMs, gridIndexAgainMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "grid find + unfold, first step", gridFirstFindMs, gridFirstFindMs / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "grid find, longest slice counting", gridCounting.first, gridCounting.first / floorMs);
    std::printf("%-34s %10.2f %14.1f\n", "grid find + unfold, next step", gridStepMs, gridStepMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "recovery journal, longest signal", journal.longestMs, journal.longestMs / floorMs);
    std::printf("%-34s %10.3f %14.4f\n", "recovery journal, mean change", journal.totalMs / kJournalledChanges, journal.totalMs / kJournalledChanges / floorMs);
    return 0;
}
