// How the grid model's tree queries scale with the estimate.
//
// 1. The queries the grid asks for each row of a painted 50-row viewport, on
//    estimates of 10k and 1M rows: the cost per viewport should not grow.
// 2. Folding and unfolding a block of 100k rows (getExpandOrFlodChildren)
//    against a plain loop over the same rows, and against a 10k-row block:
//    the cost should be linear in the block.
// 3. The grid view hiding and showing rows (Qtitan::GridView) at 100k and 1M
//    rows: syncing an estimate collapsed to its sections and expanded again,
//    and folding and unfolding a top-level row that holds every other row,
//    each against a plain loop reading the visible flag of every row. Qt's own
//    row-by-row setRowHidden, linear per call, is shown at 10k and 20k rows.

#include "BenchGrid.h"
#include "BenchHarness.h"

#include <BaseDataItemModel.h>
#include <GridView.h>
#include <TreeBaseItem.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QVector>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace bench;

/// A flat pre-order list of tree rows, owning them.
struct Estimate
{
    std::vector<std::unique_ptr<TreeBaseItem>> owned;
    QList<BaseDataItem*> rows;

    TreeBaseItem* add(TreeBaseItem* parent, int level)
    {
        owned.push_back(std::make_unique<TreeBaseItem>());
        TreeBaseItem* row = owned.back().get();
        row->setLevel(level);
        row->setRowType(level == 0 ? 5 : 0);
        row->setParentAlone(parent);
        rows.append(row);
        return row;
    }

    /// Appends a subtree in pre-order, fanouts[d] children at depth d + 1; returns its root.
    TreeBaseItem* addSubtree(TreeBaseItem* parent, int level, const QVector<int>& fanouts)
    {
        TreeBaseItem* row = add(parent, level);
        if (level >= fanouts.size())
            return row;
        QList<BaseDataItem*> children;
        for (int child = 0; child < fanouts.at(level); ++child)
            children.append(addSubtree(row, level + 1, fanouts));
        row->setBaseDataItemListDirect(children);
        return row;
    }

    explicit Estimate(int rowCount, const QVector<int>& fanouts)
    {
        owned.reserve(size_t(rowCount) + 2000);
        rows.reserve(rowCount + 2000);
        while (rows.size() < rowCount)
            addSubtree(nullptr, 0, fanouts);
    }
};

struct ViewportCost
{
    double repainted; // the same viewport painted again and again, as a grid repaints
    double scattered; // viewports spread over the whole list (cold memory at 1M rows)
};

/// Nanoseconds per painted viewport.
ViewportCost viewportCost(int rowCount, long* sink)
{
    Estimate estimate(rowCount, {10, 10, 9});
    BaseDataItemModel model;
    model.BindSrcData(&estimate.rows);
    const int positions = estimate.rows.size() - 50;
    const int paints = 20000;
    *sink += gridViewportQueries(model, positions / 2); // warm the descendant counts
    QElapsedTimer timer;
    timer.start();
    for (int paint = 0; paint < paints; ++paint)
        *sink += gridViewportQueries(model, positions / 2);
    const double repainted = double(timer.nsecsElapsed()) / paints;
    timer.restart();
    for (int paint = 0; paint < paints; ++paint)
        *sink += gridViewportQueries(model, int((qint64(paint) * 7919 * 127) % positions));
    return {repainted, double(timer.nsecsElapsed()) / paints};
}

/// Best time of five runs, in nanoseconds.
double bestNs(const std::function<void()>& work)
{
    return BenchHarness::bestOf(5, work) * 1e6;
}

struct FoldCost
{
    double model; // one fold and one unfold through getExpandOrFlodChildren
    double plainLoop; // the same visibility changes in a bare loop
};

FoldCost foldCost(int blockRows, long* sink)
{
    Estimate estimate(1, {blockRows / 1000, 999});
    BaseDataItemModel model;
    model.BindSrcData(&estimate.rows);
    const double modelCost = bestNs([&] {
        *sink += model.getExpandOrFlodChildren(0, true).size();
        *sink += model.getExpandOrFlodChildren(0, false).size();
    });
    const double plainCost = bestNs([&] {
        QVector<int> touched;
        for (int row = 1; row < estimate.rows.size(); ++row) {
            estimate.rows.at(row)->setVisible(false);
            touched.append(row);
        }
        *sink += touched.size();
        touched.clear();
        for (int row = 1; row < estimate.rows.size(); ++row) {
            BaseDataItem* item = estimate.rows.at(row);
            TreeBaseItem* parent = item->getParent();
            if (parent->getVisible() && parent->getExpanded())
                item->setVisible(true);
            touched.append(row);
        }
        *sink += touched.size();
    });
    return {modelCost, plainCost};
}

struct HideShowCost
{
    double collapse; // sync a view of every row to an estimate collapsed to its sections
    double expand; // sync it back to every row shown
    double fold; // fold the one top-level row: every other row hides
    double unfold;
    double floor; // a plain loop reading every row's visible flag
};

void setSectionsCollapsed(const QList<BaseDataItem*>& rows, bool collapsed)
{
    for (BaseDataItem* row : rows) {
        const bool section = !row->getParent();
        row->setExpanded(section ? !collapsed : true);
        row->setVisible(section || !collapsed);
    }
}

// Best of a few changes, each from the state prepare leaves and timed up to the moment the view
// can place a row again (the header's layout included).
double timedHideShow(Qtitan::GridView& view, const std::function<void()>& prepare, const std::function<void()>& change)
{
    const int lastRow = view.model()->rowCount() - 1;
    const auto placeRow = [&view, lastRow] { view.rowViewportPosition(lastRow); };
    return BenchHarness::bestOf(5, [&] { prepare(); placeRow(); }, [&] { change(); placeRow(); }) * 1e6;
}

HideShowCost hideShowCost(int rowCount, long* sink)
{
    Estimate sections(rowCount, {10, 10, 9});
    Estimate oneBlock(1, {rowCount / 1000, 999});
    BaseDataItemModel model;
    Qtitan::GridView view;
    view.resize(800, 600);
    const auto syncTo = [&](bool collapsed) {
        return [&, collapsed] { setSectionsCollapsed(sections.rows, collapsed); view.syncHiddenRows(); };
    };
    const auto foldTo = [&view](bool folded) { return [&view, folded] { view.setRowFolded(0, folded); }; };
    model.BindSrcData(&sections.rows);
    view.setModel(&model);
    HideShowCost cost{};
    cost.collapse = timedHideShow(view, syncTo(false), syncTo(true));
    cost.expand = timedHideShow(view, syncTo(true), syncTo(false));
    model.BindSrcData(&oneBlock.rows);
    view.setModel(&model);
    cost.fold = timedHideShow(view, foldTo(false), foldTo(true));
    cost.unfold = timedHideShow(view, foldTo(true), foldTo(false));
    cost.floor = bestNs([&] {
        for (int row = 0; row < model.rowCount(); ++row)
            *sink += model.isVisible(row);
    });
    return cost;
}

/// Qt's row-by-row hiding with the header live, the quadratic way the grid view avoids: every other row, in milliseconds.
double rowByRowHiding(int rowCount)
{
    QTableView view;
    QStandardItemModel model(rowCount, 1);
    view.setModel(&model);
    view.resize(800, 600);
    QElapsedTimer timer;
    timer.start();
    for (int row = 0; row < rowCount; row += 2)
        view.setRowHidden(row, true);
    return timer.nsecsElapsed() / 1e6;
}

void viewportCosts(long* sink)
{
    const ViewportCost small = viewportCost(10000, sink);
    const ViewportCost large = viewportCost(1000000, sink);
    std::printf("painted 50-row viewport, all tree queries (ns per viewport):\n");
    std::printf("  repainted: %.0f at 10k rows, %.0f at 1M rows, ratio 1M / 10k = %.2f (flat is 1)\n",
                small.repainted, large.repainted, large.repainted / small.repainted);
    std::printf("  scattered: %.0f at 10k rows, %.0f at 1M rows, ratio 1M / 10k = %.2f (cold memory only)\n",
                small.scattered, large.scattered, large.scattered / small.scattered);
}

void foldCosts(long* sink)
{
    const FoldCost foldSmall = foldCost(10000, sink);
    const FoldCost foldLarge = foldCost(100000, sink);
    std::printf("getExpandOrFlodChildren, fold + unfold: %.2f ms on a 10k block, %.2f ms on a 100k block\n",
                foldSmall.model / 1e6, foldLarge.model / 1e6);
    std::printf("  ratio 100k / 10k = %.1f (linear is 10; the plain loop's own ratio is %.1f)\n",
                foldLarge.model / foldSmall.model, foldLarge.plainLoop / foldSmall.plainLoop);
    std::printf("  ratio to a plain loop over the same rows = %.2f at 100k, %.2f at 10k\n",
                foldLarge.model / foldLarge.plainLoop, foldSmall.model / foldSmall.plainLoop);
}

void hideShowCosts(long* sink)
{
    std::printf("grid view hide / show, ms, and ratio to a plain loop reading every visible flag:\n");
    for (int rows : {100000, 1000000}) {
        const HideShowCost cost = hideShowCost(rows, sink);
        std::printf("  %7d rows: floor %.2f; collapse %.2f (%.1fx); expand %.2f (%.1fx); fold %.2f (%.1fx); unfold %.2f (%.1fx)\n",
                    rows, cost.floor / 1e6, cost.collapse / 1e6, cost.collapse / cost.floor, cost.expand / 1e6,
                    cost.expand / cost.floor, cost.fold / 1e6, cost.fold / cost.floor, cost.unfold / 1e6, cost.unfold / cost.floor);
    }
    const double hiding10k = rowByRowHiding(10000), hiding20k = rowByRowHiding(20000);
    std::printf("  Qt's row-by-row setRowHidden, header live: %.0f ms at 10k rows, %.0f ms at 20k (ratio %.1f; linear is 2)\n",
                hiding10k, hiding20k, hiding20k / hiding10k);
}

} // namespace

int main(int argc, char** argv)
{
    BenchHarness harness(argc, argv);
    long sink = 0;
    return harness.run({
        [&] { viewportCosts(&sink); },
        [&] { foldCosts(&sink); },
        [&] { hideShowCosts(&sink); },
        [&] { std::printf("(checksum %ld)\n", sink); },
    });
}
