// How the grid model's tree queries scale with the estimate.
//
// 1. The queries the grid asks for each row of a painted 50-row viewport, on
//    estimates of 10k and 1M rows: the cost per viewport should not grow.
// 2. Folding and unfolding a block of 100k rows (getExpandOrFlodChildren)
//    against a plain loop over the same rows, and against a 10k-row block:
//    the cost should be linear in the block.

#include "BenchGrid.h"

#include <BaseDataItemModel.h>
#include <TreeBaseItem.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QVector>

#include <cstdio>
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

/// Best time of a few runs, in nanoseconds.
template<typename Work>
double bestOf(Work work)
{
    double best = 1e18;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = qMin(best, double(timer.nsecsElapsed()));
    }
    return best;
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
    const double modelCost = bestOf([&] {
        *sink += model.getExpandOrFlodChildren(0, true).size();
        *sink += model.getExpandOrFlodChildren(0, false).size();
    });
    const double plainCost = bestOf([&] {
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    long sink = 0;

    const ViewportCost small = viewportCost(10000, &sink);
    const ViewportCost large = viewportCost(1000000, &sink);
    std::printf("painted 50-row viewport, all tree queries (ns per viewport):\n");
    std::printf("  repainted: %.0f at 10k rows, %.0f at 1M rows, ratio 1M / 10k = %.2f (flat is 1)\n",
                small.repainted, large.repainted, large.repainted / small.repainted);
    std::printf("  scattered: %.0f at 10k rows, %.0f at 1M rows, ratio 1M / 10k = %.2f (cold memory only)\n",
                small.scattered, large.scattered, large.scattered / small.scattered);

    const FoldCost foldSmall = foldCost(10000, &sink);
    const FoldCost foldLarge = foldCost(100000, &sink);
    std::printf("getExpandOrFlodChildren, fold + unfold: %.2f ms on a 10k block, %.2f ms on a 100k block\n",
                foldSmall.model / 1e6, foldLarge.model / 1e6);
    std::printf("  ratio 100k / 10k = %.1f (linear is 10; the plain loop's own ratio is %.1f)\n",
                foldLarge.model / foldSmall.model, foldLarge.plainLoop / foldSmall.plainLoop);
    std::printf("  ratio to a plain loop over the same rows = %.2f at 100k, %.2f at 10k\n",
                foldLarge.model / foldLarge.plainLoop, foldSmall.model / foldSmall.plainLoop);
    std::printf("(checksum %ld)\n", sink);
    return 0;
}
